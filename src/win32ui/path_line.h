//===- win32ui/path_line.h - A line of text that always shows a path's end -===//
///
/// \file
/// PathLine shows a path on a one-line static text (the browser's path
/// label, the progress window's folder and file lines). A path longer than
/// the line is cut in the middle by ElidePath, not at its end, so the last
/// folder or the file name always shows; while it is cut, the whole path is
/// the line's tool tip. The control needs SS_NOTIFY for the tip to see the
/// mouse, and SS_NOPREFIX so that an ampersand in a name is text.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <string>

#include <windows.h>

class PathLine {
public:
  /// Works on static text `control`; its tool tip is owned by the
  /// control's dialog and destroyed with it.
  explicit PathLine(HWND control);
  PathLine(const PathLine &) = delete;
  PathLine &operator=(const PathLine &) = delete;

  /// Shows `path` (display text), cut to the line's width.
  void Show(const std::wstring &path);
  /// Cuts the path shown again, for the line's width now (after a DPI
  /// change has resized it).
  void Refit() { Show(path); }

private:
  HWND control;
  HWND tip = nullptr;
  std::wstring path; ///< as given, before any cut
};
