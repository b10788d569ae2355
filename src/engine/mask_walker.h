//===- engine/mask_walker.h - The walk steered by the mask tree -----------===//
///
/// \file
/// TTMaskWalker turns a TTMaskSet and the current directory into a stream of
/// candidates, one per call of Next, depth first. It steers by the mask
/// tree: a node whose masks hold wildcards, or that has recursive masks, has
/// its directory listed (descending into subdirectories only where recursive
/// masks apply); a node with only plain local names has each name looked up
/// directly; then the node's children are visited in the order they were
/// added. Every listed entry is tested with MaskSelects.
///
/// The state machine:
///   0  arriving at a node: decide between listing (1) and lookups (2);
///   1  the node's directory is being listed;
///   2  the node's plain names are being looked up;
///   3  the node's children are being visited.
/// A node whose listing descends has its children covered by that listing,
/// so they are not visited again as tree nodes.
///
/// The mask set must outlive the walker and stay unchanged while it walks,
/// and so must the current directory.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/lists.h"
#include "core/byte_string.h"
#include "engine/candidate.h"
#include "engine/directory_walker.h"
#include "fs/mask_set.h"

#include <cstdint>

class TTMaskWalker : public TTDirectoryWalker {
public:
  /// A walk over `maskSet`, starting in state 0 at its root.
  explicit TTMaskWalker(const TTMaskSet &maskSet);

  bool NextEntry(TTStringList &components, TTFindRecord &record) override;

  /// Fills every field of `candidate` with the next entry and gives true, or
  /// gives false when the walk is over; after false it keeps giving false.
  virtual bool Next(TTCandidate &candidate);

protected:
  bool Accept(const TTFindRecord &record, bool &descend) override;
  void EnterDirectory(const TTString &name) override;
  /// Throws the integer 98112723 when the walk would leave the root of the
  /// mask tree, which a balanced walk never does.
  void LeaveDirectory() override;

private:
  /// Steps up to the parent node, taking the child index after the one
  /// taken on the way down. False at the root.
  bool PopNode();
  /// Empties `components` and fills them with the node path.
  void PutNodePath(TTStringList &components) const;

  int state;
  const TTMaskSet &maskSet;
  const TTMaskNode *node;
  TTPointerList childIndexStack;
  TTStringList nodePath;
  const TTMaskNode *walkNode;
  std::int32_t depth;
  bool recursiveHere;
  std::int32_t nameIndex;
  std::int32_t childIndex;
};
