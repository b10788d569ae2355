//===- win32ui/window_text.cpp - UTF-8 texts in and out of the windows -----===//

#include "win32ui/window_text.h"

#include "desktop/display_text.h"

std::wstring WideText(std::string_view utf8) {
  if (utf8.empty())
    return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8Text(std::wstring_view wide) {
  if (wide.empty())
    return {};
  // Without WC_ERR_INVALID_CHARS an unpaired surrogate becomes U+FFFD.
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::wstring DisplayWide(std::string_view bytes) { return WideText(DisplayText(bytes)); }

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

void SetControlText(HWND dialog, int id, std::string_view utf8) {
  SetDlgItemTextW(dialog, id, WideText(utf8).c_str());
}
