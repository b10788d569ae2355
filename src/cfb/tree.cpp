//===- cfb/tree.cpp - Paths, class ids, names and their order -------------===//
#include "cfb/tree.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>

namespace cfb {

namespace {

void AppendUtf8(std::string &out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// A run of the uppercase table: every `stride`-th character from `first` to
// `last` uppercases to itself plus `delta`.
struct UpperCaseRun {
  char16_t first;
  char16_t last;
  std::uint8_t stride;
  std::int32_t delta;
};

// The simple uppercase mappings of the basic plane, made from the Unicode
// character database by scripts/make_upper_case_table.py. Compiled in, so
// that the order of names written into a copy is the same on every machine,
// whatever locales it has.
constexpr UpperCaseRun kUpperCaseRuns[] = {
#include "cfb/upper_case_table.inc"
};

// MS-CFB 2.6.4: each UTF-16 code unit is uppercased on its own (simple case
// conversion); surrogates and characters whose uppercase lies outside the
// basic plane stay as they are (the table holds neither).
char16_t UpperCase(char16_t c) {
  if (c < 0x80)
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 0x20) : c;
  // The last run that starts at or before c.
  const UpperCaseRun *run =
      std::upper_bound(std::begin(kUpperCaseRuns), std::end(kUpperCaseRuns), c,
                       [](char16_t value, const UpperCaseRun &r) { return value < r.first; });
  if (run == std::begin(kUpperCaseRuns))
    return c;
  --run;
  if (c > run->last || (c - run->first) % run->stride != 0)
    return c;
  return static_cast<char16_t>(c + run->delta);
}

} // namespace

std::string Tree::PathOf(std::uint32_t index) const {
  if (index >= entries.size() || entries[index].kind == EntryKind::Root)
    return "/";
  std::vector<std::uint32_t> chain;
  // Parents always precede children in pre-order, so this walk ends at the root.
  for (std::uint32_t at = index; at < entries.size() && entries[at].kind != EntryKind::Root;
       at = entries[at].parent) {
    chain.push_back(at);
    if (chain.size() > entries.size())
      break;
  }
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += '/';
    path += entries[*it].displayName;
  }
  return path;
}

std::string FormatClassId(const ClassId &id) {
  // Registry form: the first three fields are little-endian integers.
  char text[40];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id[3],
                id[2], id[1], id[0], id[5], id[4], id[7], id[6], id[8], id[9], id[10], id[11],
                id[12], id[13], id[14], id[15]);
  return text;
}

std::string Utf16ToUtf8(const std::u16string &text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

int CompareNames(const std::u16string &a, const std::u16string &b) {
  if (a.size() != b.size())
    return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i])
      continue; // equal units have equal uppercase
    char16_t x = UpperCase(a[i]);
    char16_t y = UpperCase(b[i]);
    if (x != y)
      return x < y ? -1 : 1;
  }
  return 0;
}

} // namespace cfb
