//===- win32ui/windows/window_pictures.cpp - Pictures of velkor.exe's windows -===//
///
/// \file
/// Not a test: draws the README's pictures of the Windows program, the main
/// window as it opens, the progress window in the middle of a run and the
/// About box, as BMP files into the folder VELKOR_WINDOW_PICTURES names
/// (docs/make_windows_screenshots.sh runs it under Wine on a virtual X
/// server and turns them into PNG files). Disabled, so the suite lists it
/// but never runs it; the script asks for it by name.
///
//===----------------------------------------------------------------------===//

#include "win32ui/windows/desktop_program.h"

#include "engine/run_messages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

// After the project's headers: <windows.h> defines macros they may name.
#include <windows.h>

namespace {

using namespace velkor::test;

/// Writes what the screen shows of `window`, its frame included, to `path`
/// as a 24-bit BMP file.
void WritePicture(HWND window, const std::string &path) {
  // The window is painted afresh and given a moment to reach the screen.
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  RECT frame;
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height; // bottom-up, as BMP files keep rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void *bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
  GdiFlush();

  const DWORD rowSize = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD pixelBytes = rowSize * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42; // "BM"
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + pixelBytes;
  info.bmiHeader.biSizeImage = pixelBytes;
  std::ofstream out(std::filesystem::path(Wide(path)), std::ios::binary);
  out.write(reinterpret_cast<const char *>(&file), sizeof file);
  out.write(reinterpret_cast<const char *>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(static_cast<const char *>(bits), pixelBytes);
  EXPECT_TRUE(out.good()) << path;

  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

TEST_F(DesktopProgramTest, DISABLED_DrawWindowPictures) {
  const char *pictures = std::getenv("VELKOR_WINDOW_PICTURES");
  ASSERT_NE(pictures, nullptr) << "VELKOR_WINDOW_PICTURES names no folder for the pictures";
  const std::string into = pictures;
  // Enough documents that the run is still going when it is drawn.
  constexpr int kDocuments = 3000;
  for (int i = 0; i < kDocuments; ++i)
    Place(i % 2 == 0 ? "text.doc" : "numbers.xls",
          "Reports\\report-" + std::to_string(1000 + i) + (i % 2 == 0 ? ".doc" : ".xls"));

  ASSERT_NO_FATAL_FAILURE(Start());
  WritePicture(main, into + "\\windows-main-window.bmp");

  PressButton(main, IDC_ABOUT);
  HWND about = program->WaitForDialog("About Velkor", {main});
  ASSERT_NE(about, nullptr);
  WritePicture(about, into + "\\windows-about-box.bmp");
  PressButton(about, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); }));

  ASSERT_NO_FATAL_FAILURE(Browse(folder));
  ASSERT_NO_FATAL_FAILURE(SelectItems({"Reports"}));
  PressButton(main, IDC_START);
  HWND progress = program->WaitForDialog(RunCaption::kCompressing, {main});
  ASSERT_NE(progress, nullptr);
  // A third of the way, so the file bar shows how far the run has come.
  ASSERT_TRUE(WaitUntil([&] {
    return !IsWindow(progress) ||
           std::atoi(ControlText(progress, IDC_DOCUMENT_FILES).c_str()) >= kDocuments / 3 + 20;
  }));
  WritePicture(progress, into + "\\windows-progress-window.bmp");
  PressButton(progress, IDCANCEL);
  EXPECT_EQ(program->DismissMessageBox().text, RunMessage::kStopped);
}

} // namespace
