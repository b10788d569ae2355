//===- cfb/io.h - File descriptors, positioned reads and little-endian ----===//
///
/// \file
/// The few system-call wrappers the reader and writer share: an owned file
/// descriptor, opening a file for reading with writers shut out, full
/// positioned reads and writes that retry on EINTR and report failures as
/// `IoError`, and little-endian field access. Descriptors are C runtime
/// descriptors on both systems; on Windows each wraps a file handle.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace cfb {

/// Whether opening a file may follow a symbolic link at the path's last
/// component. A run that replaces documents refuses it: a link put in a
/// document's place must never make the run read another file.
enum class FinalLink { follow, refuse };

/// The bytes a caller had read from one file, for a report of what a run
/// read. Kept by the caller, so that it also holds what was read of a file
/// that was then refused.
struct ReadCount {
  std::uint64_t bytes = 0;
};

/// Owns one file descriptor; closes it (ignoring errors) on destruction.
class FileDescriptor {
public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd(fd) {}
  FileDescriptor(FileDescriptor &&other) noexcept : fd(other.fd) { other.fd = -1; }
  FileDescriptor &operator=(FileDescriptor &&other) noexcept;
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;
  ~FileDescriptor();

  int Get() const { return fd; }
  bool IsOpen() const { return fd >= 0; }
  /// Closes and reports the result of close(2) as errno (0 on success).
  int Close();

private:
  int fd = -1;
};

/// A regular file open for reading, and its size when it was opened.
struct ReadableFile {
  FileDescriptor descriptor;
  std::uint64_t size = 0;
};

/// Opens `path` for reading with writers shut out: shared locks on Linux,
/// the sharing mode FILE_SHARE_READ on Windows. Throws `IoError` when it
/// cannot be opened (ELOOP for a refused link or reparse point),
/// `InUseError` when another program holds it for writing, and
/// `FormatError` (`NotRegularFile`) for anything but a regular file.
ReadableFile OpenReadable(const std::string &path, FinalLink link);

/// Opens the file at `path` that this process writes through
/// `writerDescriptor`, to read it back. On Linux by its path, a final link
/// refused, under the writer's locks (shared by then). On Windows through a
/// duplicate of the writer's handle: whoever holds a copy's name may share
/// it with nobody, so no open by name would be let in. Throws as
/// `OpenReadable`.
ReadableFile OpenWrittenFile(int writerDescriptor, const std::string &path);

/// Reads up to `length` bytes at `offset`, retrying short reads and EINTR;
/// returns fewer only at the end of the file. Throws `IoError`.
std::size_t ReadAt(int fd, std::uint64_t offset, void *buffer, std::size_t length,
                   const std::string &path);

/// Writes all `length` bytes at the file's position. Throws `IoError` (ENOSPC...).
void WriteAll(int fd, const void *buffer, std::size_t length, const std::string &path);

inline std::uint16_t Load16(const std::uint8_t *p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Load32(const std::uint8_t *p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Load64(const std::uint8_t *p) {
  return Load32(p) | (static_cast<std::uint64_t>(Load32(p + 4)) << 32);
}
inline void Store16(std::uint8_t *p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Store32(std::uint8_t *p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Store64(std::uint8_t *p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i)
    p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace cfb
