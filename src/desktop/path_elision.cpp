//===- desktop/path_elision.cpp - A path cut to one line, last part kept --===//

#include "desktop/path_elision.h"

namespace {

bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

/// `text` with `kept` of its characters kept, the odd one at the start, and
/// an ellipsis in place of the rest; the cut moves off a surrogate pair.
std::u16string CutMiddle(std::u16string_view text, size_t kept) {
  size_t head = (kept + 1) / 2;
  size_t tail = kept - head;
  if (head > 0 && head < text.size() && IsLowSurrogate(text[head]))
    --head;
  size_t tailStart = text.size() - tail;
  if (tail > 0 && tailStart < text.size() && IsLowSurrogate(text[tailStart]))
    ++tailStart;
  std::u16string cut(text.substr(0, head));
  cut += kEllipsis;
  cut.append(text.substr(tailStart));
  return cut;
}

} // namespace

std::u16string ElideMiddle(std::u16string_view text, int width, const TextWidth &measure) {
  if (measure(text) <= width)
    return std::u16string(text);
  const std::u16string ellipsis(1, kEllipsis);
  if (measure(ellipsis) > width)
    return {};
  // The widest cut that fits: the width grows with the characters kept, so
  // a binary search over their count finds it in a few measurements even
  // for a long path.
  size_t fits = 0;
  size_t tooMany = text.size();
  while (tooMany - fits > 1) {
    const size_t kept = fits + (tooMany - fits) / 2;
    if (measure(CutMiddle(text, kept)) <= width)
      fits = kept;
    else
      tooMany = kept;
  }
  return CutMiddle(text, fits);
}

std::u16string ElidePath(std::u16string_view path, char16_t separator, int width,
                         const TextWidth &measure) {
  if (measure(path) <= width)
    return std::u16string(path);
  // The last part starts after the last separator that does not end the
  // path.
  const size_t searchEnd = path.size() >= 2 ? path.size() - 2 : 0;
  const size_t separatorAt = path.rfind(separator, searchEnd);
  const size_t lastStart = separatorAt == std::u16string_view::npos ? 0 : separatorAt + 1;
  const std::u16string_view head = path.substr(0, lastStart);
  const std::u16string_view last = path.substr(lastStart);
  const int room = width - measure(last);
  if (!head.empty() && room >= measure(std::u16string(1, kEllipsis))) {
    // At the least the folders shrink to the ellipsis alone.
    std::u16string folders = ElideMiddle(head, room, measure);
    if (folders.empty())
      folders.assign(1, kEllipsis);
    return folders + std::u16string(last);
  }
  return ElideMiddle(last, width, measure);
}
