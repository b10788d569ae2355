//===- desktop/path_elision.h - A path cut to one line, last part kept ----===//
///
/// \file
/// The progress window's folder and file lines show a path on one line of a
/// fixed width. A path longer than the line is cut in the middle, not at the
/// end, and the cut stays clear of the last part (the file name, or the last
/// folder of a folder's path), so the part that tells which file is in hand
/// always shows. Both desktop front ends cut by this one rule; each measures
/// text with its own toolkit, in its own units (pixels).
///
//===----------------------------------------------------------------------===//
#pragma once

#include <functional>
#include <string>
#include <string_view>

/// The width `text` takes on the line.
using TextWidth = std::function<int(std::u16string_view text)>;

/// The ellipsis a cut leaves in place of what it took out (U+2026).
inline constexpr char16_t kEllipsis = u'\u2026';

/// `text` cut in its middle to fit `width`: as many characters of both ends
/// as fit around one ellipsis (the start gets the odd one). A text that fits
/// comes back whole; with no room even for the ellipsis the answer is empty.
/// A surrogate pair is never split.
std::u16string ElideMiddle(std::u16string_view text, int width, const TextWidth &measure);

/// `path` cut to `width`: the first folders, an ellipsis, then the last
/// part whole. The last part starts after the last `separator` that does
/// not end the path, so "/srv/docs/Reports/" keeps "Reports/". A last part
/// too long for the width by itself is cut in its own middle.
std::u16string ElidePath(std::u16string_view path, char16_t separator, int width,
                         const TextWidth &measure);
