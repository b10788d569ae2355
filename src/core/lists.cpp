//===- core/lists.cpp - Growable lists ----------------------------------===//

#include "core/lists.h"

#include <cstring>
#include <new>

void ThrowListError(const char *text) { throw text; }

namespace {

unsigned char *AllocateSlots(std::int64_t n, std::int32_t elementSize) {
  if (n == 0)
    return nullptr;
  return static_cast<unsigned char *>(::operator new(static_cast<std::size_t>(n) * elementSize));
}

} // namespace

TTList::TTList(std::int32_t elementSize)
    : capacity(0), count(0), items(nullptr), elementSize(elementSize) {
  assert(elementSize > 0 && "A list element has at least one byte");
}

TTList::TTList(const TTList &other)
    : capacity(0), count(0), items(nullptr), elementSize(other.elementSize) {
  items = AllocateSlots(other.count, elementSize);
  if (other.count > 0)
    std::memcpy(items, other.items, static_cast<std::size_t>(other.count) * elementSize);
  capacity = other.count;
  count = other.count;
}

TTList::TTList(TTList &&other) noexcept
    : capacity(other.capacity), count(other.count), items(other.items),
      elementSize(other.elementSize) {
  other.capacity = 0;
  other.count = 0;
  other.items = nullptr;
}

TTList::~TTList() { ::operator delete(items); }

void TTList::SwapWith(TTList &other) noexcept {
  assert(elementSize == other.elementSize && "Swapping lists of two element sizes");
  std::swap(capacity, other.capacity);
  std::swap(count, other.count);
  std::swap(items, other.items);
}

void *TTList::ItemAt(std::int32_t index) {
  CheckIndex(index);
  return items + static_cast<std::size_t>(index) * elementSize;
}

const void *TTList::ItemAt(std::int32_t index) const {
  CheckIndex(index);
  return items + static_cast<std::size_t>(index) * elementSize;
}

std::int32_t TTList::CheckRange(std::int64_t index, std::int32_t n) const {
  if (index < 0 || index > count)
    ThrowListError(kListIndexError);
  if (n < 0)
    ThrowListError(kListCountError);
  if (index + n > count)
    n = static_cast<std::int32_t>(count - index);
  return n;
}

void TTList::DeleteRange(std::int32_t index, std::int32_t n) {
  n = CheckRange(index, n);
  if (n <= 0)
    return;
  std::size_t tail = static_cast<std::size_t>(count - index - n) * elementSize;
  if (tail > 0)
    std::memmove(items + static_cast<std::size_t>(index) * elementSize,
                 items + static_cast<std::size_t>(index + n) * elementSize, tail);
  count -= n;
}

void TTList::SetCapacity(std::int64_t n) {
  if (n < count || n > kMaxCapacity)
    ThrowListError(kListCapacityError);
  if (n != capacity) {
    unsigned char *fresh = AllocateSlots(n, elementSize);
    std::int64_t kept = n < capacity ? n : capacity;
    if (kept > 0)
      std::memcpy(fresh, items, static_cast<std::size_t>(kept) * elementSize);
    ::operator delete(items);
    items = fresh;
  }
  capacity = static_cast<std::int32_t>(n);
}

void TTList::Grow() {
  // Small lists grow in small steps, larger ones by a quarter, so a long run
  // of appends costs amortised constant time.
  std::int64_t step = capacity <= 8 ? 4 : capacity <= 64 ? 16 : capacity / 4;
  std::int64_t target = capacity + step;
  // Near the limit the quarter step could overshoot it although there is
  // still room below it: then take the limit instead of failing.
  if (target > kMaxCapacity && capacity < kMaxCapacity)
    target = kMaxCapacity;
  SetCapacity(target);
}

void TTList::InsertSlot(std::int32_t index) {
  CheckRange(index, 1);
  EnsureRoom();
  std::size_t tail = static_cast<std::size_t>(count - index) * elementSize;
  if (tail > 0)
    std::memmove(items + static_cast<std::size_t>(index + 1) * elementSize,
                 items + static_cast<std::size_t>(index) * elementSize, tail);
  ++count;
}

TTPointerList &TTPointerList::operator=(const TTPointerList &other) {
  if (this != &other) {
    TTPointerList copy(other);
    SwapWith(copy);
  }
  return *this;
}

TTPointerList &TTPointerList::operator=(TTPointerList &&other) noexcept {
  if (this != &other) {
    TTPointerList taken(std::move(other));
    SwapWith(taken);
  }
  return *this;
}

std::int32_t TTPointerList::Add(void *value) {
  EnsureRoom();
  Slots()[count] = value;
  return count++;
}

void TTPointerList::Insert(std::int32_t index, void *value) {
  InsertSlot(index);
  Slots()[index] = value;
}
