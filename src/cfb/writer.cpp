//===- cfb/writer.cpp - Buffered sequential output ------------------------===//
#include "cfb/writer.h"

#include "cfb/error.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace cfb {

void Writer::Flush() {
  if (used == 0)
    return;
  WriteAll(descriptor.Get(), buffer.get(), used, path);
  written += used;
  used = 0;
  StartWriteback();
  if (checkpoint)
    checkpoint();
}

void Writer::ReserveHole(std::uint64_t offset, std::uint32_t length) {
  holePending = true;
  holeOffset = offset;
  holeLength = length;
  FillHoleIfReached();
}

std::size_t Writer::Limit(std::size_t wanted) {
  if (used == kBufferSize)
    Flush();
  std::size_t take = std::min(wanted, kBufferSize - used);
  if (holePending)
    take = static_cast<std::size_t>(std::min<std::uint64_t>(take, holeOffset - BytesWritten()));
  return take;
}

void Writer::FillHoleIfReached() {
  if (!holePending || BytesWritten() != holeOffset)
    return;
  holePending = false;
  AppendZeros(holeLength);
}

void Writer::Append(const void *bytes, std::size_t length) {
  const auto *from = static_cast<const std::uint8_t *>(bytes);
  while (length > 0) {
    std::size_t take = Limit(length);
    std::memcpy(buffer.get() + used, from, take);
    used += take;
    from += take;
    length -= take;
    FillHoleIfReached();
  }
}

void Writer::AppendZeros(std::uint64_t length) {
  while (length > 0) {
    std::size_t take =
        Limit(static_cast<std::size_t>(std::min<std::uint64_t>(length, kBufferSize)));
    std::memset(buffer.get() + used, 0, take);
    used += take;
    length -= take;
    FillHoleIfReached();
  }
}

void Writer::AppendBytes32(std::uint32_t value) {
  std::uint8_t bytes[4];
  Store32(bytes, value);
  Append(bytes, 4);
}

std::span<std::uint8_t> Writer::Room() {
  std::size_t room = Limit(kBufferSize);
  return {buffer.get() + used, room};
}

void Writer::Commit(std::size_t length) {
  assert(length <= kBufferSize - used && "committed more than the room given");
  used += length;
  FillHoleIfReached();
}

void Writer::Finish() {
  Flush();
  if (checkpoint)
    checkpoint();
  StartWriteback(true);
}

void Writer::Close() {
  if (!descriptor.IsOpen())
    return;
  int error = descriptor.Close();
  if (error != 0)
    throw IoError(error, "close", path);
}

} // namespace cfb
