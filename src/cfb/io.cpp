//===- cfb/io.cpp - File descriptors and full reads and writes ------------===//
#include "cfb/io.h"

namespace cfb {

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept {
  if (this != &other) {
    Close();
    fd = other.fd;
    other.fd = -1;
  }
  return *this;
}

FileDescriptor::~FileDescriptor() { Close(); }

} // namespace cfb
