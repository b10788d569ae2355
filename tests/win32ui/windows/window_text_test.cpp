//===- tests/win32ui/windows/window_text_test.cpp - Texts to and from windows ===//

#include "win32ui/window_text.h"

#include <gtest/gtest.h>

#include <string>

TEST(WindowText, AnUnpairedSurrogateTypedIntoAFieldReachesTheRunAsReplacement) {
  // An edit field takes a lone surrogate from the keyboard (Alt codes, an
  // input method); the wildcards must still reach the run whole, the
  // masks around it unchanged.
  const std::wstring typed = std::wstring(L"*.doc ") + wchar_t(0xD800) + L"x *.xls";
  EXPECT_EQ(Utf8Text(typed), "*.doc \xEF\xBF\xBDx *.xls");
}

TEST(WindowText, NamesOutsideTheAnsiCodePageKeepEveryCharacter) {
  const std::string name = "Z\xC3\xBCrich \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80.doc";
  const std::wstring wide = WideText(name);
  EXPECT_EQ(wide, std::wstring(L"Z\u00FCrich \u6771\u4EAC ") + wchar_t(0xD83D) + wchar_t(0xDE00) +
                      L".doc");
  EXPECT_EQ(Utf8Text(wide), name);
}

TEST(WindowText, ANameIsShownOnOneLineWithItsBackslashesSingle) {
  EXPECT_EQ(DisplayWide("C:\\Data\\line\nbreak.doc"), L"C:\\Data\\line\\nbreak.doc");
}
