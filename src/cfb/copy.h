//===- cfb/copy.h - Writing a tree as a fresh compound file ---------------===//
#pragma once

#include "cfb/layout.h"
#include "cfb/reader.h"
#include "cfb/tree.h"
#include "cfb/writer.h"

namespace cfb {

/// Writes `tree` as a complete compound file laid out by `layout`, front to
/// back, all of it handed to the file and, for a durable writer, on its way
/// to the disk (`Writer::Sync` waits for it). Stream bytes come from `reader`, whose
/// tree `tree` is (null only for a tree without stream data). Names, class
/// ids, state bits and times are written as they are in `tree`; the root is
/// named "Root Entry". Throws `IoError` (and `FormatError` if the source
/// shrank underneath).
void WriteCompoundFile(const Tree &tree, const Layout &layout, const Reader *reader,
                       Writer &writer);

/// The tree of an empty compound file: a root storage and nothing else.
Tree EmptyTree();

} // namespace cfb
