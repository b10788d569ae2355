//===- engine/windows/document_lease.cpp - Sharing modes instead of leases ===//

#include "engine/document_lease.h"

// The document is read through a handle opened with FILE_SHARE_READ only
// (cfb), which no program that wants to write can open beside; see the
// header. `handle` keeps that descriptor only to tell that Take was called.

DocumentLease::~DocumentLease() { Drop(); }

DocumentLease::State DocumentLease::Take(int descriptor) {
  Drop();
  if (descriptor < 0)
    return State::unavailable;
  handle = descriptor;
  return State::held;
}

bool DocumentLease::Broken() const { return false; }

void DocumentLease::Drop() { handle = -1; }
