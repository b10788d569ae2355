//===- fs/wildcard.cpp - Matching names against wildcard masks ------------===//
//
// The matcher walks the mask once and keeps, for every name position, whether
// the mask read so far can end there. A backtracking matcher would try the
// rest of the mask again at each position for every wildcard and take
// exponential time on masks with several "*"; this one does mask length x
// name length steps and allocates nothing for names of ordinary length.
//
//===----------------------------------------------------------------------===//

#include "fs/wildcard.h"

#include <memory>

namespace {

/// The byte that marks a literal name mask: a name never holds it.
constexpr char kLiteralMark = '/';

} // namespace

TTString LiteralNameMask(const TTString &name) {
  TTString mask;
  mask += kLiteralMark;
  mask += name;
  return mask;
}

bool IsLiteralNameMask(const TTString &mask) {
  return !mask.IsEmpty() && mask.At(0) == kLiteralMark;
}

bool MatchWildcard(const TTString &mask, const TTString &name) {
  if (IsLiteralNameMask(mask))
    return name.CompareNoCase(mask.Mid(1)) == 0;
  const char *text = name.CStr();
  const std::int32_t n = name.Length();

  // reach[j]: the mask bytes read so far can match exactly text[0, j).
  unsigned char local[512];
  std::unique_ptr<unsigned char[]> heap;
  unsigned char *reach = local;
  if (n + 1 > static_cast<std::int32_t>(sizeof local)) {
    heap = std::make_unique<unsigned char[]>(static_cast<std::size_t>(n) + 1);
    reach = heap.get();
  }
  reach[0] = 1;
  for (std::int32_t j = 1; j <= n; ++j)
    reach[j] = 0;

  for (const char *m = mask.CStr(); *m != 0; ++m) {
    bool any = false;
    if (*m == '*') {
      // Zero or more bytes: every position from the first reachable one on.
      std::int32_t j = 0;
      while (j <= n && !reach[j])
        ++j;
      for (; j <= n; ++j) {
        reach[j] = 1;
        any = true;
      }
    } else if (*m == '?') {
      // Zero or one byte. Going down, each position still holds its old
      // value when it is read.
      for (std::int32_t j = n; j >= 0; --j) {
        if (j > 0 && reach[j - 1])
          reach[j] = 1;
        any = any || reach[j];
      }
    } else {
      const char c = FoldUpperAscii(*m);
      for (std::int32_t j = n; j > 0; --j) {
        reach[j] = reach[j - 1] && FoldUpperAscii(text[j - 1]) == c;
        any = any || reach[j];
      }
      reach[0] = 0;
    }
    if (!any)
      return false;
  }
  return reach[n] != 0;
}

bool HasWildcards(const TTString &text) {
  return IsLiteralNameMask(text) || text.FindOneOf(TTWildcardChars()) >= 0;
}

bool AnyMaskMatches(const TTStringList &masks, const TTString &name) {
  for (const TTString &mask : masks) {
    if (MatchWildcard(mask, name))
      return true;
  }
  return false;
}

bool AnyHasWildcards(const TTStringList &texts) {
  for (const TTString &text : texts) {
    if (HasWildcards(text))
      return true;
  }
  return false;
}
