//===- engine/copy_check.h - Read a fresh copy back before it replaces anything =//
///
/// \file
/// The last guard before a copy takes a document's place: the copy is opened
/// through the compound-file reader, which validates it as it would any
/// document, and compared with the open document entry by entry (the whole
/// tree; every entry's name, kind, class id, state bits and times; every
/// stream's bytes). A copy that does not read back as the document is never
/// put in its place.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <functional>
#include <string>

namespace cfb {
class Destination;
class Source;
} // namespace cfb

/// Reads the finished copy in `copy` (not yet released) back and compares it with
/// `document`, the source it was made from (still open). Returns an empty
/// text when both hold the same tree, otherwise why the copy must not be
/// used: "the copy differs from the document: <where>: <what>", or "the
/// copy could not be read back (...)" when a system call failed.
/// `checkpoint` is called after every megabyte compared; an exception it
/// throws ends the check and reaches the caller.
std::string CheckCopy(const cfb::Source &document, const cfb::Destination &copy,
                      const std::function<void()> &checkpoint = {});

/// Whether compressing runs check their copies: always, unless a benchmark
/// turned the check off with SetCopyCheckEnabled. Nothing from outside the
/// process (no environment, no option) can turn it off.
bool CopyCheckEnabled();

/// For benchmarks and tests only: turns the check of the copies off (to
/// measure what it costs; a copy is then used unchecked) or on again. Set it
/// only while no run is going on.
void SetCopyCheckEnabled(bool enabled);

/// For tests only: when set, called with the copy's path just before the
/// check reads it back, so that a test can damage the copy. Null otherwise.
extern void (*copyCheckTestHook)(const std::string &copyPath);
