//===- win32ui/path_line.cpp - A line of text that always shows a path's end ===//

#include "win32ui/path_line.h"

#include "desktop/path_elision.h"

#include <commctrl.h>

namespace {

/// `path` cut to the client width of `control`, measured in its font.
std::wstring CutToWidth(HWND control, const std::wstring &path) {
  RECT client;
  GetClientRect(control, &client);
  HDC dc = GetDC(control);
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  const TextWidth measure = [dc](std::u16string_view text) {
    const std::wstring wide(text.begin(), text.end());
    SIZE size = {};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    return static_cast<int>(size.cx);
  };
  const std::u16string cut = ElidePath(std::u16string(path.begin(), path.end()), u'\\',
                                       client.right - client.left, measure);
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return std::wstring(cut.begin(), cut.end());
}

TTTOOLINFOW ToolOf(HWND control) {
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  return tool;
}

} // namespace

PathLine::PathLine(HWND control) : control(control) {
  HWND dialog = GetParent(control);
  tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, GetModuleHandleW(nullptr),
                        nullptr);
  if (!tip)
    return;
  // Wide enough for a long path on a few lines.
  SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) / 2);
  TTTOOLINFOW tool = ToolOf(control);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.lpszText = const_cast<wchar_t *>(L"");
  SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void PathLine::Show(const std::wstring &shown) {
  path = shown;
  const std::wstring cut = CutToWidth(control, path);
  SetWindowTextW(control, cut.c_str());
  if (!tip)
    return;
  // An empty tip shows nothing: a path that fits has none.
  std::wstring text = cut == path ? std::wstring() : path;
  TTTOOLINFOW tool = ToolOf(control);
  tool.lpszText = text.data();
  SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}
