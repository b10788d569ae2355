//===- tests/desktop/path_elision_test.cpp - The path cut of both windows -===//

#include "desktop/path_elision.h"

#include <gtest/gtest.h>

namespace {

/// Every UTF-16 unit one unit wide: the cuts can be read off by counting.
int Units(std::u16string_view text) { return static_cast<int>(text.size()); }

struct Cut {
  const char16_t *path;
  int width;
  const char16_t *shown;
};

} // namespace

TEST(ElidePath, KeepsTheLastPartWholeAndCutsTheFoldersInTheMiddle) {
  const Cut cuts[] = {
      {u"/srv/docs/q1.doc", 16, u"/srv/docs/q1.doc"}, // fits
      {u"/srv/docs/Reports/q1.doc", 15, u"/srv\u2026rts/q1.doc"},
      {u"/srv/docs/Reports/", 12, u"/s\u2026/Reports/"},         // a folder keeps its last folder
      {u"/srv/docs/Reports/q1.doc", 7, u"\u2026q1.doc"},         // folders down to the ellipsis
      {u"/srv/a-very-long-file-name.doc", 9, u"a-ve\u2026.doc"}, // the last part alone, cut
      {u"report.doc", 5, u"re\u2026oc"},                         // no folders at all
      {u"/srv/docs/q1.doc", 0, u""},                             // no room even for the ellipsis
  };
  for (const Cut &cut : cuts)
    EXPECT_EQ(ElidePath(cut.path, u'/', cut.width, Units), std::u16string(cut.shown))
        << "width " << cut.width;
  EXPECT_EQ(ElidePath(u"C:\\Data\\Reports\\q1.doc", u'\\', 13, Units), u"C:\\\u2026ts\\q1.doc");
}

TEST(ElidePath, NeverSplitsASurrogatePair) {
  // U+1F4C4 twice between ASCII letters: a cut through the middle of a pair
  // would leave a lone surrogate that shows as garbage.
  const std::u16string name = u"a\U0001F4C4\U0001F4C4\U0001F4C4b";
  for (int width = 1; width <= static_cast<int>(name.size()); ++width) {
    const std::u16string shown = ElideMiddle(name, width, Units);
    EXPECT_LE(Units(shown), width);
    for (size_t i = 0; i < shown.size(); ++i) {
      const bool high = shown[i] >= 0xD800 && shown[i] <= 0xDBFF;
      const bool low = shown[i] >= 0xDC00 && shown[i] <= 0xDFFF;
      if (high) {
        EXPECT_TRUE(i + 1 < shown.size() && shown[i + 1] >= 0xDC00 && shown[i + 1] <= 0xDFFF);
      }
      if (low) {
        EXPECT_TRUE(i > 0 && shown[i - 1] >= 0xD800 && shown[i - 1] <= 0xDBFF);
      }
    }
  }
}
