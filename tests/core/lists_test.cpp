//===- tests/core/lists_test.cpp - Growable lists -----------------------===//

#include "core/lists.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

/// Runs `operation` and gives the list text it threw (compared by pointer:
/// the thrown value is one of the three constants), or "(no throw)".
template <typename F> std::string ListErrorOf(F operation) {
  try {
    operation();
  } catch (const char *text) {
    if (text != kListIndexError && text != kListCountError && text != kListCapacityError)
      return "(another pointer)";
    return text;
  }
  return "(no throw)";
}

void *Value(std::intptr_t n) { return reinterpret_cast<void *>(n); }
std::intptr_t Number(void *p) { return reinterpret_cast<std::intptr_t>(p); }

/// Values of a pointer list as numbers, for comparisons.
std::vector<std::intptr_t> Numbers(const TTPointerList &list) {
  std::vector<std::intptr_t> out;
  for (std::int32_t i = 0; i < list.Count(); ++i)
    out.push_back(Number(list.At(i)));
  return out;
}

TTPointerList ListOf(std::int32_t n) {
  TTPointerList list;
  for (std::int32_t i = 0; i < n; ++i)
    list.Add(Value(i));
  return list;
}

/// Counts live objects and records the order of destruction. Copying throws
/// once `copiesBeforeThrow` copies have been made (never when negative).
struct Counted {
  static int live;
  static int copiesBeforeThrow;
  static std::vector<int> destroyed;
  explicit Counted(int id) : id(id) { ++live; }
  Counted(const Counted &other) : id(other.id) {
    if (copiesBeforeThrow == 0)
      throw std::runtime_error("copy refused");
    if (copiesBeforeThrow > 0)
      --copiesBeforeThrow;
    ++live;
  }
  ~Counted() {
    --live;
    destroyed.push_back(id);
  }
  int id;
};
int Counted::live = 0;
int Counted::copiesBeforeThrow = -1;
std::vector<int> Counted::destroyed;

class ObjectListTest : public ::testing::Test {
protected:
  void SetUp() override {
    Counted::live = 0;
    Counted::copiesBeforeThrow = -1;
    Counted::destroyed.clear();
  }
  void TearDown() override { EXPECT_EQ(Counted::live, 0) << "leaked objects"; }
};

} // namespace

static_assert(sizeof(void *) == 8, "the lists are built for a 64-bit platform");

TEST(ListTest, ElementsArePointerSized) {
  TTPointerList list;
  EXPECT_EQ(list.ElementSize(), static_cast<std::int32_t>(sizeof(void *)));
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_TRUE(list.IsEmpty());
}

TEST(ListTest, CapacityGrowth) {
  const std::int32_t expected[] = {4, 8, 12, 28, 44, 60, 76, 95, 118, 147, 183};
  TTPointerList list;
  std::size_t next = 0;
  std::int32_t previous = 0;
  while (next < std::size(expected)) {
    std::int32_t index = list.Add(Value(list.Count()));
    EXPECT_EQ(index, list.Count() - 1);
    if (list.Capacity() != previous) {
      EXPECT_EQ(list.Capacity(), expected[next]) << "step " << next;
      EXPECT_EQ(list.Count(), previous + 1) << "grew before it was full";
      previous = list.Capacity();
      ++next;
    }
  }
  for (std::int32_t i = 0; i < list.Count(); ++i)
    ASSERT_EQ(Number(list.At(i)), i);

  // Deleting never lowers the capacity.
  list.Clear();
  EXPECT_EQ(list.Capacity(), 183);
}

TEST(ListTest, InsertPositions) {
  TTPointerList list = ListOf(3);
  list.Insert(3, Value(30)); // at the count: appends
  list.Insert(0, Value(-1));
  list.Insert(2, Value(15));
  EXPECT_EQ(Numbers(list), (std::vector<std::intptr_t>{-1, 0, 15, 1, 2, 30}));
  EXPECT_EQ(ListErrorOf([&] { list.Insert(7, Value(9)); }), kListIndexError);
  EXPECT_EQ(ListErrorOf([&] { list.Insert(-1, Value(9)); }), kListIndexError);
  EXPECT_EQ(list.Count(), 6);

  // Inserting into a full list grows it and moves the tail.
  TTPointerList full = ListOf(4);
  full.Insert(1, Value(9));
  EXPECT_EQ(full.Capacity(), 8);
  EXPECT_EQ(Numbers(full), (std::vector<std::intptr_t>{0, 9, 1, 2, 3}));
}

TEST(ListTest, DeleteRange) {
  TTPointerList list = ListOf(5);
  list.DeleteRange(5, 1);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(ListErrorOf([&] { list.DeleteRange(6, 0); }), kListIndexError);
  EXPECT_EQ(ListErrorOf([&] { list.DeleteRange(-1, 1); }), kListIndexError);
  EXPECT_EQ(ListErrorOf([&] { list.DeleteRange(1, -1); }), kListCountError);
  // The index is checked before the count.
  EXPECT_EQ(ListErrorOf([&] { list.DeleteRange(9, -1); }), kListIndexError);
  EXPECT_EQ(Numbers(list), (std::vector<std::intptr_t>{0, 1, 2, 3, 4}));

  list.DeleteRange(1, 2);
  EXPECT_EQ(Numbers(list), (std::vector<std::intptr_t>{0, 3, 4}));
  list.DeleteRange(1, 0);
  EXPECT_EQ(list.Count(), 3);

  TTPointerList tail = ListOf(5);
  tail.DeleteRange(2, 100);
  EXPECT_EQ(Numbers(tail), (std::vector<std::intptr_t>{0, 1}));
  EXPECT_EQ(tail.Capacity(), 8);
}

TEST(ListTest, EmptyListEdges) {
  TTPointerList list;
  EXPECT_EQ(ListErrorOf([&] { list.DeleteLast(); }), kListIndexError);
  EXPECT_EQ(ListErrorOf([&] { list.Back(); }), kListIndexError);
  EXPECT_EQ(ListErrorOf([&] { list.At(0); }), kListIndexError);
  EXPECT_EQ(ListErrorOf([&] { list.Clear(); }), "(no throw)");

  list = ListOf(3);
  EXPECT_EQ(Number(list.Back()), 2);
  list.DeleteLast();
  EXPECT_EQ(Numbers(list), (std::vector<std::intptr_t>{0, 1}));
  EXPECT_EQ(ListErrorOf([&] { list.At(2); }), kListIndexError);
  EXPECT_EQ(ListErrorOf([&] { list.DeleteFrom(3); }), kListIndexError);
  EXPECT_EQ(ListErrorOf([&] { list.DeleteFrom(INT32_MIN); }), kListIndexError);
  list.DeleteFrom(2);
  EXPECT_EQ(list.Count(), 2);
  list.At(1) = Value(7);
  EXPECT_EQ(Numbers(list), (std::vector<std::intptr_t>{0, 7}));
}

TEST(ListTest, ThrownTextIsAConstantPointer) {
  TTPointerList list;
  try {
    list.DeleteLast();
    FAIL() << "no throw";
  } catch (const void *value) { // also catchable as an untyped pointer
    EXPECT_EQ(value, static_cast<const void *>(kListIndexError));
    EXPECT_STREQ(static_cast<const char *>(value), "List: Index Error");
  }
  EXPECT_STREQ(kListCountError, "List: Count Error");
  EXPECT_STREQ(kListCapacityError, "List: Capacity error");
}

TEST(ListTest, SetCapacityLimits) {
  TTPointerList list = ListOf(5);
  EXPECT_EQ(ListErrorOf([&] { list.SetCapacity(4); }), kListCapacityError);
  EXPECT_EQ(ListErrorOf([&] { list.SetCapacity(TTList::kMaxCapacity + 1LL); }), kListCapacityError);
  EXPECT_EQ(list.Capacity(), 8);
  EXPECT_EQ(Numbers(list), (std::vector<std::intptr_t>{0, 1, 2, 3, 4}));
  list.SetCapacity(5);
  EXPECT_EQ(list.Capacity(), 5);
  EXPECT_EQ(Numbers(list), (std::vector<std::intptr_t>{0, 1, 2, 3, 4}));
  list.Clear();
  list.SetCapacity(0);
  EXPECT_EQ(list.Capacity(), 0);
}

TEST(ListTest, PointerListCopiesAreIndependent) {
  TTPointerList list = ListOf(3);
  TTPointerList copy(list);
  copy.At(0) = Value(42);
  copy.Add(Value(3));
  EXPECT_EQ(Numbers(list), (std::vector<std::intptr_t>{0, 1, 2}));
  EXPECT_EQ(Numbers(copy), (std::vector<std::intptr_t>{42, 1, 2, 3}));
}

TEST_F(ObjectListTest, DestroysItsObjectsNotAPointerListsTargets) {
  {
    TTObjectList<Counted> owned;
    for (int i = 0; i < 3; ++i)
      owned.AddCopy(Counted(i));
    EXPECT_EQ(Counted::live, 3);
  }
  EXPECT_EQ(Counted::live, 0);

  Counted a(1), b(2);
  {
    TTPointerList borrowed;
    borrowed.Add(&a);
    borrowed.Add(&b);
  }
  EXPECT_EQ(Counted::live, 2);
}

TEST_F(ObjectListTest, DeleteRangeDestroysInIndexOrder) {
  TTObjectList<Counted> list;
  for (int i = 0; i < 6; ++i)
    list.Add(new Counted(i));
  list.Add(nullptr); // a null element is skipped
  list.DeleteRange(1, 3);
  EXPECT_EQ(Counted::destroyed, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.At(1).id, 4);
  EXPECT_EQ(list.Pointer(3), nullptr);

  Counted::destroyed.clear();
  list.DeleteLast();
  EXPECT_TRUE(Counted::destroyed.empty());
  list.DeleteLast();
  EXPECT_EQ(Counted::destroyed, (std::vector<int>{5}));

  // Clear reaches the owning behaviour through the base class.
  TTList &base = list;
  base.Clear();
  EXPECT_EQ(Counted::live, 0);
}

TEST_F(ObjectListTest, RefusedInsertDoesNotLeak) {
  TTObjectList<Counted> list;
  list.AddCopy(Counted(0));
  EXPECT_EQ(ListErrorOf([&] { list.InsertCopy(2, Counted(7)); }), kListIndexError);
  EXPECT_EQ(ListErrorOf([&] { list.Insert(-1, new Counted(8)); }), kListIndexError);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(Counted::live, 1);
  list.InsertCopy(0, Counted(5));
  EXPECT_EQ(list.At(0).id, 5);
  EXPECT_EQ(list.Back().id, 0);
}

TEST_F(ObjectListTest, CopyThatThrowsPartWayLeaksNothing) {
  for (int failAt : {0, 1, 3, 4}) {
    SCOPED_TRACE(failAt);
    TTObjectList<Counted> list;
    for (int i = 0; i < 5; ++i)
      list.Add(new Counted(i));
    Counted::copiesBeforeThrow = failAt;
    EXPECT_THROW(TTObjectList<Counted> copy(list), std::runtime_error);
    EXPECT_EQ(Counted::live, 5) << "copies made before the throw were kept";
    // Assignment copies first: a failed one leaves the target as it was.
    TTObjectList<Counted> target;
    target.Add(new Counted(9));
    Counted::copiesBeforeThrow = failAt;
    EXPECT_THROW(target = list, std::runtime_error);
    EXPECT_EQ(Counted::live, 6);
    EXPECT_EQ(target.Count(), 1);
    Counted::copiesBeforeThrow = -1;
  }
}

TEST_F(ObjectListTest, LifetimesAcrossCapacities) {
  for (int n = 0; n <= 40; ++n) {
    TTObjectList<Counted> list;
    for (int i = 0; i < n; ++i)
      list.AddCopy(Counted(i));
    ASSERT_EQ(Counted::live, n);
    if (n > 2) {
      list.DeleteRange(n / 3, n / 3);
      ASSERT_EQ(Counted::live, n - n / 3);
      ASSERT_EQ(list.At(n / 3).id, 2 * (n / 3));
    }
    TTObjectList<Counted> copy(list);
    ASSERT_EQ(Counted::live, 2 * list.Count());
    for (std::int32_t i = 0; i < list.Count(); ++i)
      ASSERT_NE(&copy.At(i), &list.At(i));
  }
}

TEST_F(ObjectListTest, AssignmentIsDeep) {
  TTObjectList<Counted> a;
  a.AddCopy(Counted(1));
  a.AddCopy(Counted(2));
  TTObjectList<Counted> b;
  b.AddCopy(Counted(9));
  b = a;
  EXPECT_EQ(Counted::live, 4);
  ASSERT_EQ(b.Count(), 2);
  EXPECT_EQ(b.At(1).id, 2);
  b = b;
  EXPECT_EQ(b.Count(), 2);
  TTObjectList<Counted> moved(std::move(b));
  EXPECT_EQ(moved.Count(), 2);
  EXPECT_EQ(Counted::live, 4);
}

TEST(StringListTest, HoldsCopies) {
  TTString text("abc");
  TTStringList list;
  list.AddCopy(text);
  list.AddCopy("def");
  text += "x";
  EXPECT_STREQ(list.At(0).CStr(), "abc");
  std::string joined;
  for (const TTString &s : list)
    joined += s.CStr();
  EXPECT_EQ(joined, "abcdef");
}

TEST(BufferTest, OnlyGrows) {
  TTBuffer<char> buffer;
  EXPECT_EQ(buffer.Size(), 0);
  EXPECT_EQ(buffer.Data(), nullptr);
  buffer.Resize(261);
  std::memset(buffer.Data(), 'k', 261);
  char *data = buffer.Data();
  buffer.Resize(10);
  EXPECT_EQ(buffer.Size(), 261);
  EXPECT_EQ(buffer.Data(), data);
  EXPECT_EQ(buffer.Data()[260], 'k');
  buffer.Resize(300);
  EXPECT_EQ(buffer.Size(), 300);

  TTBuffer<char16_t> wide;
  wide.Resize(4);
  EXPECT_EQ(wide.Size(), 4);
}
