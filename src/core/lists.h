//===- core/lists.h - Growable lists and the scratch buffer -------------===//
///
/// \file
/// The program's collections: TTList, an array of fixed-size elements;
/// TTPointerList, a list of pointer-sized values it does not own;
/// TTObjectList<T>, a list that owns heap objects of type T (TTStringList is
/// the one of TTString); and TTBuffer<T>, a scratch array that a system call
/// fills.
///
/// Misuse throws a pointer to one of three constant texts (catch it as
/// `const char *`): kListCapacityError, kListIndexError, kListCountError.
/// A list is unchanged when one of them is thrown.
///
/// Capacities grow by 4 slots while at most 8 are allocated, by 16 up to 64,
/// and by a quarter beyond: 4, 8, 12, 28, 44, 60, 76, 95, 118, 147, ...
/// Deleting never lowers the capacity.
///
//===----------------------------------------------------------------------===//
#pragma once

#include "core/byte_string.h"

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <utility>

inline constexpr char kListCapacityError[] = "List: Capacity error";
inline constexpr char kListIndexError[] = "List: Index Error";
inline constexpr char kListCountError[] = "List: Count Error";

/// Throws the given list text as a pointer to constant bytes.
[[noreturn]] void ThrowListError(const char *text);

/// The base array: `count` elements of `elementSize` bytes, packed, in a block
/// of `capacity` slots. It destroys no elements; the derived lists decide
/// what an element is.
class TTList {
public:
  /// Largest capacity, in elements: 2^29.
  static constexpr std::int32_t kMaxCapacity = 0x20000000;

  explicit TTList(std::int32_t elementSize);
  TTList(const TTList &other);     ///< copies the element bytes
  TTList(TTList &&other) noexcept; ///< takes the other's elements
  TTList &operator=(const TTList &) = delete;
  TTList &operator=(TTList &&) = delete;
  virtual ~TTList();

  std::int32_t Count() const { return count; }
  bool IsEmpty() const { return count == 0; }
  std::int32_t Capacity() const { return capacity; }
  std::int32_t ElementSize() const { return elementSize; }

  /// Address of the element at `index` (0 <= index < Count()).
  void *ItemAt(std::int32_t index);
  const void *ItemAt(std::int32_t index) const;

  /// Deletes up to `n` elements from `index` (0 <= index <= Count(); a count
  /// past the end is cut short). Throws the index text for a bad index, then
  /// the count text for a negative count.
  virtual void DeleteRange(std::int32_t index, std::int32_t n);
  /// Deletes every element from `index` on.
  void DeleteFrom(std::int32_t index) {
    CheckRange(index, 0); // first, so `count - index` cannot overflow
    DeleteRange(index, count - index);
  }
  /// Deletes every element (an owning list destroys them).
  void Clear() { DeleteFrom(0); }
  /// Deletes the last element; an empty list throws the index text.
  void DeleteLast() { DeleteFrom(count - 1); }

  /// Sets the number of slots to exactly `n`; throws the capacity text when
  /// `n` is below Count() or above kMaxCapacity.
  void SetCapacity(std::int64_t n);

protected:
  /// Adds slots by the growth policy.
  void Grow();
  /// Grows when every slot is in use.
  void EnsureRoom() {
    if (count == capacity)
      Grow();
  }
  void CheckIndex(std::int64_t index) const {
    if (index < 0 || index >= count)
      ThrowListError(kListIndexError);
  }
  /// Checks a range and gives its count cut to the end of the list.
  std::int32_t CheckRange(std::int64_t index, std::int32_t n) const;
  /// Opens a slot at `index` (0 <= index <= Count()) for the caller to fill.
  void InsertSlot(std::int32_t index);
  void SwapWith(TTList &other) noexcept;

  std::int32_t capacity;
  std::int32_t count;
  unsigned char *items;
  std::int32_t elementSize;
};

/// A list of pointer-sized values (object pointers or integers) that it does
/// not own: destroying the list leaves the pointed-to objects alone.
class TTPointerList : public TTList {
public:
  TTPointerList() : TTList(sizeof(void *)) {}
  TTPointerList(const TTPointerList &other) = default;
  TTPointerList(TTPointerList &&other) noexcept = default;
  TTPointerList &operator=(const TTPointerList &other);
  TTPointerList &operator=(TTPointerList &&other) noexcept;
  ~TTPointerList() override = default;

  /// The value at `index`, by reference.
  void *&At(std::int32_t index) {
    CheckIndex(index);
    return Slots()[index];
  }
  void *At(std::int32_t index) const {
    CheckIndex(index);
    return Slots()[index];
  }
  void *&Back() { return At(count - 1); }
  void *Back() const { return At(count - 1); }

  /// Appends a value; returns its index.
  std::int32_t Add(void *value);
  /// Inserts a value at `index` (Count() appends).
  void Insert(std::int32_t index, void *value);

protected:
  void **Slots() { return reinterpret_cast<void **>(items); }
  void *const *Slots() const { return reinterpret_cast<void *const *>(items); }
};

/// A list that owns heap objects of type T: it destroys an object when its
/// element is deleted and all of them when the list is destroyed. A null
/// element is allowed and skipped. Copies are deep.
template <typename T> class TTObjectList : public TTPointerList {
public:
  TTObjectList() = default;
  /// Copies every object. When copying one throws, the copies already made
  /// are destroyed before the exception goes on (this list's destructor
  /// does not run for a constructor that did not finish).
  TTObjectList(const TTObjectList &other) : TTPointerList() {
    try {
      SetCapacity(other.count);
      for (std::int32_t i = 0; i < other.count; ++i) {
        const T *object = other.Pointer(i);
        Add(object == nullptr ? nullptr : new T(*object));
      }
    } catch (...) {
      TTObjectList::DeleteRange(0, count);
      throw;
    }
  }
  TTObjectList(TTObjectList &&other) noexcept : TTPointerList(std::move(other)) {}
  TTObjectList &operator=(const TTObjectList &other) {
    if (this != &other) {
      TTObjectList copy(other);
      SwapWith(copy);
    }
    return *this;
  }
  TTObjectList &operator=(TTObjectList &&other) noexcept {
    if (this != &other) {
      TTObjectList taken(std::move(other));
      SwapWith(taken);
    }
    return *this;
  }
  ~TTObjectList() override { TTObjectList::DeleteRange(0, count); }

  /// The object at `index`; its element must not be null.
  T &At(std::int32_t index) {
    T *object = Pointer(index);
    assert(object != nullptr && "TTObjectList::At on a null element");
    return *object;
  }
  const T &At(std::int32_t index) const {
    const T *object = Pointer(index);
    assert(object != nullptr && "TTObjectList::At on a null element");
    return *object;
  }
  T &Back() { return At(count - 1); }
  const T &Back() const { return At(count - 1); }
  /// The element at `index` as a pointer (possibly null).
  T *Pointer(std::int32_t index) { return static_cast<T *>(TTPointerList::At(index)); }
  const T *Pointer(std::int32_t index) const {
    return static_cast<const T *>(TTPointerList::At(index));
  }

  /// Destroys the objects of the range in index order, then removes their
  /// elements.
  void DeleteRange(std::int32_t index, std::int32_t n) override {
    n = CheckRange(index, n);
    for (std::int32_t i = index; i < index + n; ++i) {
      delete static_cast<T *>(Slots()[i]);
      Slots()[i] = nullptr;
    }
    TTPointerList::DeleteRange(index, n);
  }

  /// Appends an object and takes ownership of it, also when the append
  /// fails (the object is then destroyed). Returns its index.
  std::int32_t Add(T *object) {
    try {
      return TTPointerList::Add(object);
    } catch (...) {
      delete object;
      throw;
    }
  }
  /// Inserts an object at `index` (Count() appends) and takes ownership of
  /// it, also when the index is refused (the object is then destroyed).
  void Insert(std::int32_t index, T *object) {
    try {
      TTPointerList::Insert(index, object);
    } catch (...) {
      delete object;
      throw;
    }
  }
  /// Appends a heap copy of `value`; returns its index.
  std::int32_t AddCopy(const T &value) { return Add(new T(value)); }
  /// Inserts a heap copy of `value` at `index`.
  void InsertCopy(std::int32_t index, const T &value) { Insert(index, new T(value)); }

  /// Iteration over the objects (no element may be null).
  template <typename Pointer, typename Slot> class Iterator {
  public:
    explicit Iterator(Slot *slot) : slot(slot) {}
    auto &operator*() const { return *static_cast<Pointer>(*slot); }
    Iterator &operator++() {
      ++slot;
      return *this;
    }
    bool operator==(const Iterator &other) const { return slot == other.slot; }
    bool operator!=(const Iterator &other) const { return slot != other.slot; }

  private:
    Slot *slot;
  };
  using iterator = Iterator<T *, void *>;
  using const_iterator = Iterator<const T *, void *const>;
  iterator begin() { return iterator(Slots()); }
  iterator end() { return iterator(Slots() + count); }
  const_iterator begin() const { return const_iterator(Slots()); }
  const_iterator end() const { return const_iterator(Slots() + count); }
};

/// The list of strings.
using TTStringList = TTObjectList<TTString>;

/// A scratch array of T for a system call to fill. It only grows, and its
/// contents are not kept when it does.
template <typename T> class TTBuffer {
public:
  TTBuffer() = default;
  TTBuffer(const TTBuffer &) = delete;
  TTBuffer &operator=(const TTBuffer &) = delete;
  virtual ~TTBuffer() { delete[] data; }

  /// Makes room for at least `n` elements. A larger `n` replaces the array
  /// with `n` uninitialised elements; a smaller or equal one changes nothing.
  void Resize(std::int32_t n) {
    if (n <= size)
      return;
    T *fresh = new T[static_cast<std::size_t>(n)];
    delete[] data;
    data = fresh;
    size = n;
  }
  T *Data() { return data; }
  const T *Data() const { return data; }
  std::int32_t Size() const { return size; }

private:
  std::int32_t size = 0;
  T *data = nullptr;
};
