//===- tests/desktop/browser_listing_test.cpp - Where browser items lead --===//

#include "desktop/browser_listing.h"

#include "fs/path_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

/// `path` written with slashes, in the platform's own separator.
TTString Native(std::string path) {
  for (char &c : path)
    if (c == '/')
      c = kPathSeparator;
  return TTString(path.c_str());
}

} // namespace

TEST(BrowserListing, ParentAndEnteredPathsFollowTheSeparator) {
  const struct {
    const char *current;
    const char *parent;
  } ups[] = {
      {"R/Data/Letters/", "R/Data/"}, {"R/Data/", "R/"}, {"R/", ""}, {"", ""}, {"/", ""},
  };
  for (const auto &up : ups)
    EXPECT_EQ(ParentPath(Native(up.current)), Native(up.parent)) << up.current;

  EXPECT_EQ(EnteredPath(Native("R/Data/"), BrowserItem{"Letters", BrowserItemKind::Directory}),
            Native("R/Data/Letters/"));
  // A drive root already ends with its separator.
  EXPECT_EQ(EnteredPath(TTString(), BrowserItem{Native("R/"), BrowserItemKind::Drive}),
            Native("R/"));
}

TEST(BrowserListing, SelectedItemsGiveBaseEntriesAndParentGivesNone) {
  TTObjectList<BaseEntry> entries;
  const TTString current = Native("R/Data/");
  EXPECT_FALSE(AppendBaseEntry(current, BrowserItem{"..", BrowserItemKind::Directory}, entries));
  EXPECT_TRUE(
      AppendBaseEntry(current, BrowserItem{"Letters", BrowserItemKind::Directory}, entries));
  EXPECT_TRUE(AppendBaseEntry(current, BrowserItem{"report.doc", BrowserItemKind::File}, entries));
  ASSERT_EQ(entries.Count(), 2);
  EXPECT_EQ(entries.At(0).path, Native("R/Data/Letters/"));
  EXPECT_FALSE(entries.At(0).isFile);
  EXPECT_EQ(entries.At(1).path, Native("R/Data/report.doc"));
  EXPECT_TRUE(entries.At(1).isFile);
}
