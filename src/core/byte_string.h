//===- core/byte_string.h - Growable byte string ----------------------------===//
///
/// \file
/// TTString is the program's text type: a growable, heap-owned,
/// NUL-terminated string of single bytes, handled byte by byte with no
/// multi-byte awareness. Every path, file name and mask is a TTString; names
/// are kept as the bytes the file system uses.
///
/// Misuse throws TTExceptionMessage with "String: Capacity error" (a capacity
/// out of range, a negative count) or "String: Index Error" (a position out of
/// range). Nothing is modified before such a throw, so the string stays as it
/// was.
///
/// Counts, positions and lengths are 32-bit signed values.
///
//===----------------------------------------------------------------------===//
#pragma once

#include <cstdint>

/// The two texts of TTExceptionMessage that TTString throws.
inline constexpr char kStringCapacityError[] = "String: Capacity error";
inline constexpr char kStringIndexError[] = "String: Index Error";

class TTString {
public:
  /// Largest capacity (in characters) that may be requested: 2^30.
  static constexpr std::int32_t kMaxCapacity = 0x40000000;
  /// Capacity of a default-constructed string.
  static constexpr std::int32_t kDefaultCapacity = 15;

  /// An empty string with capacity 15.
  TTString();
  /// A copy of a NUL-terminated text, with capacity exactly its length.
  /// A null pointer counts as the empty text.
  TTString(const char *text);
  /// A copy with capacity exactly the other's length.
  TTString(const TTString &other);
  ~TTString();

  /// Empties the string, sets the capacity to exactly the other's length
  /// (so assignment may shrink the buffer) and copies its text.
  TTString &operator=(const TTString &other) { return Assign(other); }
  TTString &operator=(const char *text) { return Assign(text); }
  TTString &Assign(const TTString &other);
  TTString &Assign(const char *text);

  /// The text, always NUL-terminated.
  const char *CStr() const { return buffer; }
  std::int32_t Length() const { return length; }
  bool IsEmpty() const { return length == 0; }
  /// Capacity in characters (allocated bytes less the terminator).
  std::int32_t Capacity() const { return allocated - 1; }

  /// The byte at a position from 0 to Length(); Length() gives the
  /// terminator 0. Other positions throw "String: Index Error".
  char At(std::int32_t index) const;
  /// The byte at a position, by reference. Position Length() addresses the
  /// terminator, which must stay 0; no byte may be set to 0 either.
  char &At(std::int32_t index);

  /// Length becomes 0; the capacity stays.
  void Clear();

  TTString &Append(char c);
  TTString &Append(const char *text);
  TTString &Append(const TTString &other);
  TTString &operator+=(char c) { return Append(c); }
  TTString &operator+=(const char *text) { return Append(text); }
  TTString &operator+=(const TTString &other) { return Append(other); }

  /// Deletes up to `count` bytes from `index` (a count past the end is cut
  /// short; a count of 0 or less deletes nothing). Returns the new length.
  std::int32_t Delete(std::int32_t index, std::int32_t count);
  /// Replaces every byte `from` by `to`; returns how many were replaced
  /// (0 when `from` equals `to`).
  std::int32_t Replace(char from, char to);

  /// The default trim set: space, newline, tab (carriage return is not in it).
  static const TTString &DefaultTrimSet();
  /// Removes the longest prefix made of bytes of `set`; returns the new length.
  std::int32_t TrimLeft(const TTString &set);
  std::int32_t TrimLeft() { return TrimLeft(DefaultTrimSet()); }
  /// Removes the longest suffix made of bytes of `set`; returns the new length.
  std::int32_t TrimRight(const TTString &set);
  std::int32_t TrimRight() { return TrimRight(DefaultTrimSet()); }
  /// TrimRight then TrimLeft with the default set.
  void Trim();

  /// Index of the first `c` at or after `start`, or -1.
  std::int32_t Find(char c, std::int32_t start = 0) const;
  /// Index of the first byte of this string that occurs in `set`, or -1.
  std::int32_t FindOneOf(const TTString &set) const;
  /// `count` bytes from `start` (cut short at the end). A negative count
  /// throws "String: Capacity error".
  TTString Mid(std::int32_t start, std::int32_t count) const;
  TTString Mid(std::int32_t start) const;
  TTString Left(std::int32_t count) const;

  /// Byte-by-byte comparison as unsigned values: -1, 0 or 1.
  int Compare(const TTString &other) const;
  /// As Compare after folding the ASCII letters A-Z onto a-z (no locale).
  int CompareNoCase(const TTString &other) const;
  bool operator==(const TTString &other) const { return Compare(other) == 0; }
  bool operator!=(const TTString &other) const { return Compare(other) != 0; }

  /// Sets the capacity (in characters) to exactly `n`, growing or shrinking.
  /// Throws "String: Capacity error" when `n` exceeds kMaxCapacity or is
  /// below the current length.
  void SetCapacity(std::int64_t n);
  /// Makes room for `extra` more bytes by the growth policy: the capacity
  /// grows by 4 while at most 8 bytes are allocated, by 16 up to 64 bytes,
  /// and by a quarter of the allocation beyond, or by what is missing when
  /// that is more.
  void ReserveExtra(std::int64_t extra);

private:
  /// A string holding `count` bytes from `bytes`, with capacity `count`.
  TTString(const char *bytes, std::int32_t count);
  void CheckPosition(std::int64_t index) const;
  void AppendBytes(const char *bytes, std::int32_t count);

  char *buffer;
  std::int32_t length;
  std::int32_t allocated;
};

TTString operator+(const TTString &a, const TTString &b);
TTString operator+(const TTString &a, const char *b);

/// Folds the ASCII letters a-z onto A-Z; every other byte stays as it is.
inline char FoldUpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

/// Constant strings shared by the walk and the mask tree, created on first
/// use and destroyed at exit.
const TTString &TTEmptyString();    ///< ""
const TTString &TTAllEntriesMask(); ///< "*"
const TTString &TTCurrentDirName(); ///< "."
const TTString &TTParentDirName();  ///< ".."
const TTString &TTWildcardChars();  ///< "?*"
