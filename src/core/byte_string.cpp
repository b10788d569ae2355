//===- core/byte_string.cpp - Growable byte string --------------------------===//

#include "core/byte_string.h"

#include "core/exceptions.h"

#include <cassert>
#include <cstring>

namespace {

[[noreturn]] void ThrowCapacityError() { throw TTExceptionMessage(kStringCapacityError); }

/// Length of a C text, refused when it could not fit any string.
std::int32_t CheckedTextLength(const char *text) {
  if (text == nullptr)
    return 0;
  std::size_t n = std::strlen(text);
  if (n > static_cast<std::size_t>(TTString::kMaxCapacity))
    ThrowCapacityError();
  return static_cast<std::int32_t>(n);
}

char FoldLowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

TTString::TTString() : buffer(nullptr), length(0), allocated(0) { SetCapacity(kDefaultCapacity); }

TTString::TTString(const char *text) : buffer(nullptr), length(0), allocated(0) {
  std::int32_t n = CheckedTextLength(text);
  SetCapacity(n);
  if (n > 0)
    std::memcpy(buffer, text, n);
  length = n;
  buffer[length] = 0;
}

TTString::TTString(const TTString &other) : TTString(other.buffer, other.length) {}

TTString::TTString(const char *bytes, std::int32_t count)
    : buffer(nullptr), length(0), allocated(0) {
  SetCapacity(count);
  if (count > 0)
    std::memcpy(buffer, bytes, count);
  length = count;
  buffer[length] = 0;
}

TTString::~TTString() { delete[] buffer; }

TTString &TTString::Assign(const TTString &other) {
  if (this == &other)
    return *this; // Emptying first would lose the text being copied.
  std::int32_t n = other.length;
  if (n + 1 != allocated) {
    // The new buffer is made before the old one goes, so a failed
    // allocation leaves the string as it was.
    char *fresh = new char[n + 1];
    delete[] buffer;
    buffer = fresh;
    allocated = n + 1;
  }
  std::memcpy(buffer, other.buffer, n);
  length = n;
  buffer[length] = 0;
  return *this;
}

TTString &TTString::Assign(const char *text) {
  if (text != nullptr && text >= buffer && text < buffer + allocated) {
    TTString copy(text); // The text lies inside this string's own buffer.
    return Assign(copy);
  }
  std::int32_t n = CheckedTextLength(text);
  if (n + 1 != allocated) {
    char *fresh = new char[n + 1];
    delete[] buffer;
    buffer = fresh;
    allocated = n + 1;
  }
  if (n > 0)
    std::memcpy(buffer, text, n);
  length = n;
  buffer[length] = 0;
  return *this;
}

void TTString::CheckPosition(std::int64_t index) const {
  if (index < 0 || index > length)
    throw TTExceptionMessage(kStringIndexError);
}

char TTString::At(std::int32_t index) const {
  CheckPosition(index);
  return buffer[index];
}

char &TTString::At(std::int32_t index) {
  CheckPosition(index);
  return buffer[index];
}

void TTString::Clear() {
  length = 0;
  buffer[0] = 0;
}

void TTString::SetCapacity(std::int64_t n) {
  if (n + 1 == allocated)
    return;
  if (n > kMaxCapacity || n < length)
    ThrowCapacityError();
  char *fresh = new char[n + 1];
  if (buffer != nullptr) {
    std::memcpy(fresh, buffer, length + 1);
    delete[] buffer;
  } else {
    fresh[0] = 0;
  }
  buffer = fresh;
  allocated = static_cast<std::int32_t>(n + 1);
}

void TTString::ReserveExtra(std::int64_t extra) {
  std::int64_t free = allocated - length - 1;
  if (extra <= free)
    return;
  // Small strings grow in small steps, larger ones by a quarter, so a long
  // run of single-byte appends costs amortised constant time.
  std::int64_t step = allocated <= 8 ? 4 : allocated <= 64 ? 16 : allocated / 4;
  if (free + step < extra)
    step = extra - free;
  std::int64_t capacity = allocated + step;
  // Near the limit the quarter step could overshoot it although the text
  // itself would fit: then take the limit instead of failing.
  if (capacity > kMaxCapacity && length + extra <= kMaxCapacity)
    capacity = kMaxCapacity;
  SetCapacity(capacity);
}

void TTString::AppendBytes(const char *bytes, std::int32_t count) {
  if (count <= 0)
    return;
  ReserveExtra(count);
  std::memcpy(buffer + length, bytes, count);
  length += count;
  buffer[length] = 0;
}

TTString &TTString::Append(char c) {
  assert(c != 0 && "A TTString cannot hold a NUL byte");
  if (c == 0)
    return *this;
  ReserveExtra(1);
  buffer[length] = c;
  ++length;
  buffer[length] = 0;
  return *this;
}

TTString &TTString::Append(const char *text) {
  if (text != nullptr && text >= buffer && text < buffer + allocated) {
    // Growing would free the bytes being appended: copy them first.
    TTString copy(text);
    return Append(copy);
  }
  AppendBytes(text, CheckedTextLength(text));
  return *this;
}

TTString &TTString::Append(const TTString &other) {
  if (this == &other) {
    std::int32_t n = length;
    ReserveExtra(n);
    std::memcpy(buffer + length, buffer, n);
    length += n;
    buffer[length] = 0;
    return *this;
  }
  AppendBytes(other.buffer, other.length);
  return *this;
}

std::int32_t TTString::Delete(std::int32_t index, std::int32_t count) {
  CheckPosition(index);
  if (count > length - index)
    count = length - index;
  if (count > 0) {
    std::memmove(buffer + index, buffer + index + count, length - index - count + 1);
    length -= count;
  }
  return length;
}

std::int32_t TTString::Replace(char from, char to) {
  if (from == to)
    return 0;
  assert(to != 0 && "A TTString cannot hold a NUL byte");
  std::int32_t replaced = 0;
  for (std::int32_t i = 0; i < length; ++i) {
    if (buffer[i] == from) {
      buffer[i] = to;
      ++replaced;
    }
  }
  return replaced;
}

const TTString &TTString::DefaultTrimSet() {
  static const TTString set(" \n\t");
  return set;
}

std::int32_t TTString::TrimLeft(const TTString &set) {
  std::int32_t i = 0;
  while (i < length && set.Find(buffer[i]) >= 0)
    ++i;
  return Delete(0, i);
}

std::int32_t TTString::TrimRight(const TTString &set) {
  std::int32_t i = length - 1;
  while (i >= 0 && set.Find(buffer[i]) >= 0)
    --i;
  return Delete(i + 1, length);
}

void TTString::Trim() {
  TrimRight();
  TrimLeft();
}

std::int32_t TTString::Find(char c, std::int32_t start) const {
  CheckPosition(start);
  const void *hit = std::memchr(buffer + start, c, length - start);
  return hit == nullptr ? -1 : static_cast<std::int32_t>(static_cast<const char *>(hit) - buffer);
}

std::int32_t TTString::FindOneOf(const TTString &set) const {
  for (std::int32_t i = 0; i < length; ++i) {
    if (std::memchr(set.buffer, buffer[i], set.length) != nullptr)
      return i;
  }
  return -1;
}

TTString TTString::Mid(std::int32_t start, std::int32_t count) const {
  CheckPosition(start);
  if (count < 0)
    ThrowCapacityError();
  if (count > length - start)
    count = length - start;
  return TTString(buffer + start, count);
}

TTString TTString::Mid(std::int32_t start) const {
  CheckPosition(start);
  return Mid(start, length - start);
}

TTString TTString::Left(std::int32_t count) const { return Mid(0, count); }

int TTString::Compare(const TTString &other) const {
  for (std::int32_t i = 0;; ++i) {
    auto a = static_cast<unsigned char>(buffer[i]);
    auto b = static_cast<unsigned char>(other.buffer[i]);
    if (a != b)
      return a < b ? -1 : 1;
    if (a == 0)
      return 0;
  }
}

int TTString::CompareNoCase(const TTString &other) const {
  for (std::int32_t i = 0;; ++i) {
    auto a = static_cast<unsigned char>(FoldLowerAscii(buffer[i]));
    auto b = static_cast<unsigned char>(FoldLowerAscii(other.buffer[i]));
    if (a != b)
      return a < b ? -1 : 1;
    if (a == 0)
      return 0;
  }
}

TTString operator+(const TTString &a, const TTString &b) {
  TTString result(a);
  result += b;
  return result;
}

TTString operator+(const TTString &a, const char *b) {
  TTString result(a);
  result += b;
  return result;
}

const TTString &TTEmptyString() {
  static const TTString text("");
  return text;
}

const TTString &TTAllEntriesMask() {
  static const TTString text("*");
  return text;
}

const TTString &TTCurrentDirName() {
  static const TTString text(".");
  return text;
}

const TTString &TTParentDirName() {
  static const TTString text("..");
  return text;
}

const TTString &TTWildcardChars() {
  static const TTString text("?*");
  return text;
}
