//===- fs/mask_set.cpp - The tree of directory names and mask lists -------===//

#include "fs/mask_set.h"

#include "fs/path_names.h"
#include "fs/wildcard.h"

TTMaskKind MaskKindOf(bool include, bool recursive) {
  return static_cast<TTMaskKind>((recursive ? 2 : 0) + (include ? 0 : 1));
}

TTMaskNode::TTMaskNode(const TTString &name, TTMaskNode *parent) : name(name), parent(parent) {}

TTMaskNode::~TTMaskNode() = default;

TTMaskNode *TTMaskNode::FindChild(const TTString &childName) const {
  for (std::int32_t i = 0; i < children.Count(); ++i) {
    TTMaskNode &child = Child(i);
    if (child.name.CompareNoCase(childName) == 0)
      return &child;
  }
  return nullptr;
}

TTMaskNode &TTMaskNode::FindOrAddChild(const TTString &childName) {
  if (TTMaskNode *found = FindChild(childName))
    return *found;
  std::int32_t index = children.Add(new TTMaskNode(childName, this));
  return children.At(index);
}

TTMaskSet::TTMaskSet() : root(new TTMaskNode(TTEmptyString(), nullptr)) {}

TTMaskSet::~TTMaskSet() { delete root; }

void TTMaskSet::Add(const TTString &maskPath, bool include, bool recursive) {
  AddMask(maskPath, MaskKindOf(include, recursive));
}

void TTMaskSet::AddMask(const TTString &maskPath, TTMaskKind kind) {
  TTStringList components;
  SplitPathComponents(maskPath, components);
  // Taken first, so an empty path is refused before any node is made.
  const TTString &mask = components.Back();
  TTMaskNode *node = root;
  for (std::int32_t i = 0; i + 1 < components.Count(); ++i)
    node = &node->FindOrAddChild(components.At(i));
  node->Masks(kind).AddCopy(mask);
}

void TTMaskSet::AddName(const TTString &name, TTMaskKind kind) {
  root->Masks(kind).AddCopy(LiteralNameMask(name));
}

bool MaskSelects(const TTMaskNode &node, bool atNode, const TTString &name) {
  bool selected = false;
  if (atNode) {
    if (AnyMaskMatches(node.Masks(TTMaskKind::ExcludeLocal), name))
      return false;
    selected = AnyMaskMatches(node.Masks(TTMaskKind::IncludeLocal), name);
  }
  for (const TTMaskNode *level = &node; level != nullptr; level = level->Parent()) {
    if (AnyMaskMatches(level->Masks(TTMaskKind::ExcludeRecursive), name))
      return false;
    if (!selected)
      selected = AnyMaskMatches(level->Masks(TTMaskKind::IncludeRecursive), name);
  }
  return selected;
}
