//===- fs/mask_set.h - The tree of directory names and mask lists ---------===//
///
/// \file
/// A TTMaskSet holds the masks of a run as a tree: the root stands for the
/// directory in which a walk starts, every other node for the directory named
/// by the node names from the root down ("docs" under the root is docs/ there;
/// an empty first name starts at the file-system root, so "/data/*.xls" lands
/// under "" then "data"). Every node keeps four mask lists (TTMaskKind), and
/// MaskSelects decides from them whether an entry is selected.
///
/// Directory names in a mask path are names, not patterns, and compare
/// without regard to ASCII case. A set is filled before a walk and only read
/// during it.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/lists.h"
#include "core/byte_string.h"

#include <cstdint>

/// The four mask lists of a node.
enum class TTMaskKind : std::int32_t {
  IncludeLocal = 0,     ///< selects names directly in the node's directory
  ExcludeLocal = 1,     ///< rejects names directly in the node's directory
  IncludeRecursive = 2, ///< selects names there and in every directory below
  ExcludeRecursive = 3, ///< rejects names there and in every directory below
};

/// The kind for an include or exclude mask, local or recursive.
TTMaskKind MaskKindOf(bool include, bool recursive);

/// One directory of the mask tree.
class TTMaskNode {
public:
  /// A node named `name` under `parent` (null for the root).
  TTMaskNode(const TTString &name, TTMaskNode *parent);
  TTMaskNode(const TTMaskNode &) = delete;
  TTMaskNode &operator=(const TTMaskNode &) = delete;
  virtual ~TTMaskNode();

  /// The name as spelled in the first mask that reached this node.
  const TTString &Name() const { return name; }
  /// The parent node; null for the root.
  TTMaskNode *Parent() const { return parent; }
  std::int32_t ChildCount() const { return children.Count(); }
  /// The child at `index`, in the order the children were added.
  TTMaskNode &Child(std::int32_t index) const {
    return const_cast<TTMaskNode &>(children.At(index));
  }

  /// The first child whose name equals `childName` without regard to ASCII
  /// case, or null.
  TTMaskNode *FindChild(const TTString &childName) const;
  /// FindChild, or a new child appended with that name.
  TTMaskNode &FindOrAddChild(const TTString &childName);

  /// The mask list of one kind, in the order of addition.
  TTStringList &Masks(TTMaskKind kind) { return masks[static_cast<std::int32_t>(kind)]; }
  const TTStringList &Masks(TTMaskKind kind) const {
    return masks[static_cast<std::int32_t>(kind)];
  }

private:
  TTString name;
  TTMaskNode *parent;
  TTObjectList<TTMaskNode> children;
  TTStringList masks[4];
};

/// The mask tree; owns its root and through it every node.
class TTMaskSet {
public:
  TTMaskSet();
  TTMaskSet(const TTMaskSet &) = delete;
  TTMaskSet &operator=(const TTMaskSet &) = delete;
  ~TTMaskSet();

  TTMaskNode &Root() { return *root; }
  const TTMaskNode &Root() const { return *root; }

  /// AddMask with the kind MaskKindOf(include, recursive).
  void Add(const TTString &maskPath, bool include, bool recursive);
  /// Adds the last component of `maskPath` to the list of `kind` of the node
  /// its other components name, creating nodes on the way. An empty mask
  /// path has no last component and throws the list index text.
  void AddMask(const TTString &maskPath, TTMaskKind kind);
  /// Adds `name` to the root's list of `kind` as a literal name mask: it
  /// selects that one name (letters in any case), whatever "?" or "*" it
  /// holds. For a file the user picked, which is a name and not a pattern.
  void AddName(const TTString &name, TTMaskKind kind);

private:
  TTMaskNode *root;
};

/// Whether an entry called `name` is selected. `atNode` is true when the
/// entry lies directly in `node`'s directory, false when it lies in a
/// directory below it that has no node of its own. An exclusion at the node
/// or any ancestor wins over every inclusion; local lists count only at
/// their node and only with `atNode`.
bool MaskSelects(const TTMaskNode &node, bool atNode, const TTString &name);
