//===- engine/recent_change.h - Leave documents that were just changed ----===//
///
/// \file
/// A document saved a few minutes ago is most likely still being worked on,
/// by a person or by a program that keeps no lock. A run with a minimum age
/// passes over every document whose modification or status-change time is
/// more recent than that age. A time in the future (a client of a file
/// server with its clock ahead) counts as recent: nothing says the document
/// is old.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <chrono>
#include <ctime>

struct DocumentIdentity;

/// What CompactDocument asks of a document beyond its being one.
struct DocumentRules {
  /// Documents changed less than this long ago are passed over; 0 takes
  /// them all.
  std::chrono::seconds minAge{0};
};

/// The reason given for a document passed over as recently changed.
inline constexpr const char *kChangedRecently = "changed recently";

/// True when `identity` was modified or had its status changed less than
/// `minAge` before `now`, or after `now`. Always false for a zero age.
bool ChangedRecently(const DocumentIdentity &identity, std::chrono::seconds minAge,
                     const timespec &now);

/// The same, measured against the system's clock now.
bool ChangedRecently(const DocumentIdentity &identity, std::chrono::seconds minAge);
