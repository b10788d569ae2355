//===- engine/mask_walker.cpp - The walk steered by the mask tree ---------===//

#include "engine/mask_walker.h"

#include "core/exceptions.h"
#include "fs/path_names.h"
#include "fs/wildcard.h"

#include <cstdint>

TTMaskWalker::TTMaskWalker(const TTMaskSet &maskSet)
    : state(0), maskSet(maskSet), node(&maskSet.Root()), walkNode(&maskSet.Root()), depth(0),
      recursiveHere(false), nameIndex(0), childIndex(0) {}

bool TTMaskWalker::Next(TTCandidate &candidate) {
  TTStringList components;
  if (!NextEntry(components, candidate)) {
    return false;
  }
  candidate.directory = JoinPathComponents(components);
  return true;
}

void TTMaskWalker::PutNodePath(TTStringList &components) const {
  components.Clear();
  for (std::int32_t i = 0; i < nodePath.Count(); ++i) {
    components.AddCopy(nodePath.At(i));
  }
}

bool TTMaskWalker::NextEntry(TTStringList &components, TTFindRecord &record) {
  components.Clear();
  for (;;) {
    switch (state) {
    case 0: // arriving at a node
      recursiveHere = !node->Masks(TTMaskKind::IncludeRecursive).IsEmpty();
      if (recursiveHere || AnyHasWildcards(node->Masks(TTMaskKind::IncludeLocal))) {
        walkNode = node;
        depth = 0;
        BeginWalk(JoinPathComponents(nodePath));
        state = 1;
      } else {
        nameIndex = 0;
        state = 2;
      }
      break;

    case 1: // listing the node's directory
      PutNodePath(components);
      if (WalkStep(components, record)) {
        return true;
      }
      if (recursiveHere) {
        // The descending listing covered the children already.
        if (!PopNode()) {
          return false;
        }
      } else {
        childIndex = 0;
      }
      state = 3;
      break;

    case 2: { // looking up the node's plain names
      const TTStringList &names = node->Masks(TTMaskKind::IncludeLocal);
      if (nameIndex >= names.Count()) {
        childIndex = 0;
        state = 3;
        break;
      }
      TTString path = JoinPathComponents(nodePath);
      path += names.At(nameIndex);
      ++nameIndex;
      // Yielded without a mask test, a directory too; but never a symbolic
      // link, nor a pipe, socket or device.
      if (FindOne(path, record) && !IsSymbolicLink(record) && !IsSpecialFile(record)) {
        PutNodePath(components);
        return true;
      }
      break;
    }

    case 3: // visiting the node's children
      if (childIndex >= node->ChildCount()) {
        if (!PopNode()) {
          return false; // back at the root: the walk is over
        }
        break;
      }
      childIndexStack.Add(reinterpret_cast<void *>(static_cast<std::intptr_t>(childIndex)));
      node = &node->Child(childIndex);
      nodePath.AddCopy(node->Name());
      state = 0;
      break;
    }
  }
}

bool TTMaskWalker::PopNode() {
  if (childIndexStack.IsEmpty()) {
    return false;
  }
  childIndex =
      static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(childIndexStack.Back())) + 1;
  childIndexStack.DeleteLast();
  nodePath.DeleteLast();
  node = node->Parent();
  return true;
}

bool TTMaskWalker::Accept(const TTFindRecord &record, bool &descend) {
  const bool selected = MaskSelects(*walkNode, depth == 0, record.name);
  if (IsDirectory(record)) {
    const bool plain = record.name != TTCurrentDirName() && record.name != TTParentDirName();
    descend = recursiveHere && plain;
    return selected && plain;
  }
  descend = false;
  return selected;
}

void TTMaskWalker::EnterDirectory(const TTString &name) {
  if (depth == 0) {
    if (const TTMaskNode *child = walkNode->FindChild(name)) {
      walkNode = child;
      return;
    }
  }
  ++depth;
}

void TTMaskWalker::LeaveDirectory() {
  if (depth > 0) {
    --depth;
    return;
  }
  if (walkNode->Parent() == nullptr) {
    throw static_cast<std::int32_t>(TTIntegerCode::walkAboveRoot);
  }
  walkNode = walkNode->Parent();
}
