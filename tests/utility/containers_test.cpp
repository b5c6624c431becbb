#include <gtest/gtest.h>

#include "utility/arraysequence.h"
#include "utility/list.h"
#include "utility/zstring.h"

namespace {

TEST(List, GrowsFrom16ByDoublingAndKeepsOrder) {
    List<int> l;
    EXPECT_EQ(l.element, nullptr);
    EXPECT_EQ(l.array_size, 0);
    for (int i = 0; i < 16; ++i) l.Add(i * 3);
    EXPECT_EQ(l.array_size, 16);
    l.Add(48);
    EXPECT_EQ(l.array_size, 32);
    ASSERT_EQ(l.Size(), 17);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(l[i], i * 3);
    for (int i = 17; i < 33; ++i) l.Add(i);
    EXPECT_EQ(l.array_size, 64);
}

TEST(List, InitialCapacityReserveExactlyAndCompact) {
    List<int> l(5);
    EXPECT_EQ(l.array_size, 5);
    EXPECT_EQ(l.size, 0);
    for (int i = 0; i < 6; ++i) l.Add(i);
    EXPECT_EQ(l.array_size, 10);  // doubles from whatever the capacity was
    l.Compact();
    EXPECT_EQ(l.array_size, 6);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(l[i], i);
    l.SetSize(8);  // grows to exactly 8; the new slots are the caller's to fill
    EXPECT_EQ(l.array_size, 8);
    EXPECT_EQ(l.Size(), 8);
    EXPECT_EQ(l[5], 5);
}

TEST(List, AddUniqueCountAndRemoveKeepOrder) {
    int a = 1, b = 2, c = 3;
    List<int*> l;
    l.Add(&a);
    l.Add(&b);
    l.AddUnique(&a);
    EXPECT_EQ(l.Size(), 2);
    l.Add(&c);
    l.Add(&a);
    EXPECT_EQ(l.Count(&a), 2);
    l.Remove(&a);  // the first one
    ASSERT_EQ(l.Size(), 3);
    EXPECT_EQ(l[0], &b);
    EXPECT_EQ(l[1], &c);
    EXPECT_EQ(l[2], &a);
    l.RemoveAt(1);
    ASSERT_EQ(l.Size(), 2);
    EXPECT_EQ(l[1], &a);
}

TEST(List, RemovingTheOnlyElementKeepsTheBlock) {
    List<int> l;
    l.Add(7);
    l.Remove(7);
    EXPECT_EQ(l.Size(), 0);
    EXPECT_NE(l.element, nullptr);
    EXPECT_EQ(l.array_size, 16);
}

TEST(List, SetSizeZeroFreesAndNextAddAllocates16) {
    List<int> l;
    for (int i = 0; i < 40; ++i) l.Add(i);
    l.SetSize(0);
    EXPECT_EQ(l.element, nullptr);
    EXPECT_EQ(l.array_size, 0);
    EXPECT_EQ(l.size, 0);
    l.Add(9);
    EXPECT_EQ(l.array_size, 16);
    EXPECT_EQ(l[0], 9);
}

TEST(List, AddOfOwnElementWhileGrowing) {
    List<String> l;
    for (int i = 0; i < 16; ++i) l.Add(String("n"));
    l[0] = "first";
    l.Add(l[0]);  // the block moves during this add
    EXPECT_EQ(l[16], "first");
}

TEST(List, CopiesAreIndependent) {
    List<int> a;
    a.Add(1);
    a.Add(2);
    List<int> b(a);
    b[0] = 5;
    List<int> c;
    c = a;
    a[1] = 9;
    EXPECT_EQ(b[0], 5);
    EXPECT_EQ(b[1], 2);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[1], 2);
}

struct Huge {
    char bytes[1 << 20];
};

using ListDeathTest = ::testing::Test;

TEST(ListDeathTest, EveryAssertionNamesItsExpression) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_DEATH(
        {
            List<int> l;
            l.Compact();
        },
        "Assertion failed: s>0, file .*list\\.h, line [0-9]+");
    EXPECT_DEATH(
        {
            List<int> l;
            l.Add(1);
            l.Add(2);
            l.SetSize(1);
        },
        "Assertion failed: s>=size,");
    EXPECT_DEATH(
        {
            List<Huge> l;
            l.Reserve(1 << 30);
        },
        "Assertion failed: element,");
    EXPECT_DEATH(
        {
            List<int> l;
            l.Reserve(2);
            l.size = 3;  // a corrupted list
            l.Add(1);
        },
        "Assertion failed: size<=array_size,");
    EXPECT_DEATH(
        {
            List<int> l;
            l.Add(1);
            l.Remove(2);
        },
        "Assertion failed: i<size,");
    EXPECT_DEATH(
        {
            List<int> l;
            l.Add(1);
            l[-1] = 0;
        },
        "Assertion failed: i>=0 && i<size,");
    EXPECT_DEATH(
        {
            List<int> l;
            l.Add(1);
            (void)l[1];
        },
        "Assertion failed: i>=0 && i<size,");
    EXPECT_DEATH(
        {
            ArraySequence<char> a(2);
            (void)a[2];
        },
        "Assertion failed: index < used && index >= 0, file .*arraysequence\\.h");
    EXPECT_DEATH(
        {
            ArraySequence<int> a(2);
            a[-1] = 1;
        },
        "Assertion failed: index < used && index >= 0,");
}

TEST(ArraySequence, SizedFilledAndCopied) {
    ArraySequence<int> a(3);
    EXPECT_EQ(a.used, 3);
    EXPECT_EQ(a[0], 0);
    a[2] = 7;
    a.Add(8);
    ASSERT_EQ(a.Size(), 4);
    EXPECT_EQ(a[2], 7);
    EXPECT_EQ(a[3], 8);
    ArraySequence<int> b = a;
    b[3] = 1;
    EXPECT_EQ(a[3], 8);
    a.SetSize(0);
    EXPECT_EQ(a.used, 0);
    EXPECT_EQ(a.block, nullptr);
}

TEST(String, OwnsCopiesAndCompares) {
    String empty;
    EXPECT_STREQ(empty.c_str(), "");
    String fromNull(static_cast<const char*>(nullptr));
    EXPECT_TRUE(fromNull.Empty());
    char buffer[] = "abc";
    String a(buffer);
    buffer[0] = 'x';
    EXPECT_STREQ(a.c_str(), "abc");
    String b = a;
    b += "de";
    EXPECT_EQ(a, "abc");
    EXPECT_EQ(b, "abcde");
    EXPECT_EQ(b.Length(), 5);
    EXPECT_TRUE(a < b);
    EXPECT_NE(a, b);
    const String& self = a;
    a = self;
    EXPECT_EQ(a, "abc");
    a = a.c_str() + 1;  // assignment from its own characters
    EXPECT_EQ(a, "bc");
    a += a;
    EXPECT_EQ(a, "bcbc");
    EXPECT_EQ(String("hello", 3), "hel");
    EXPECT_EQ(String("Ab").Compare("ab") < 0, true);
}

}  // namespace
