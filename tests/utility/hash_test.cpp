#include <gtest/gtest.h>

#include <string>

#include "utility/stringhashtable.h"

namespace {

TEST(StringHashTable, HashOfKnownKeys) {
    EXPECT_EQ(StringHashTable::Hash("ab"), 292u);  // (98 + 2*97) % 317
    EXPECT_EQ(StringHashTable::Hash(""), 0u);
    EXPECT_EQ(StringHashTable::Hash(nullptr), 0u);
    EXPECT_EQ(StringHashTable::Hash("a"), 97u);
    // Bytes are unsigned: 0xff counts as 255.
    EXPECT_EQ(StringHashTable::Hash("\xff"), 255u);
    EXPECT_EQ(StringHashTable::Hash("\xff\xff"), (255u + 2u * 255u) % 317u);
    // A long key wraps the 32-bit sum: only the last 32 characters count.
    std::string long_key(40, 'z');
    uint32_t h = 0;
    for (unsigned char c : long_key) h = c + 2u * h;
    EXPECT_EQ(StringHashTable::Hash(long_key.c_str()), h % 317u);
    EXPECT_EQ(StringHashTable::Hash(("abcdefgh" + long_key).c_str()), h % 317u);
    EXPECT_EQ(StringHashTable::Hash("textures\\wood.bmp"), 152u);
}

TEST(StringHashTable, LaterInsertShadowsUntilRemoved) {
    StringHashTable t;
    int a = 0, b = 0;
    t.Insert("x", &a);
    t.Insert("x", &b);
    EXPECT_EQ(t.Find("x"), &b);
    EXPECT_EQ(t.Remove("x"), &b);
    EXPECT_EQ(t.Find("x"), &a);
    EXPECT_EQ(t.Remove("x"), &a);
    EXPECT_EQ(t.Find("x"), nullptr);
    EXPECT_EQ(t.Remove("x"), nullptr);
}

TEST(StringHashTable, CaseMattersAndNullKeysFindNothing) {
    StringHashTable t;
    int a = 0;
    t.Insert("Wood", &a);
    EXPECT_EQ(t.Find("Wood"), &a);
    EXPECT_EQ(t.Find("wood"), nullptr);
    EXPECT_EQ(t.Find(nullptr), nullptr);
    t.Insert(nullptr, &a);  // stored in bucket 0 under no name
    EXPECT_EQ(t.Find(nullptr), nullptr);
    EXPECT_EQ(t.Remove(nullptr), nullptr);
    EXPECT_EQ(t.Remove(nullptr, &a), &a);
}

TEST(StringHashTable, RemovalInsideAChainKeepsTheOthers) {
    // Three different keys of one bucket.
    std::string keys[3];
    int found = 0;
    unsigned target = StringHashTable::Hash("a");
    for (int c1 = 'a'; c1 <= 'z' && found < 3; ++c1)
        for (int c2 = 'a'; c2 <= 'z' && found < 3; ++c2)
            for (int c3 = 'a'; c3 <= 'z' && found < 3; ++c3) {
                char k[4] = {static_cast<char>(c1), static_cast<char>(c2), static_cast<char>(c3), 0};
                if (StringHashTable::Hash(k) == target) keys[found++] = k;
            }
    ASSERT_EQ(found, 3);
    StringHashTable t;
    int v[3];
    for (int i = 0; i < 3; ++i) t.Insert(keys[i].c_str(), &v[i]);
    EXPECT_EQ(t.Remove(keys[1].c_str()), &v[1]);  // middle of the chain
    EXPECT_EQ(t.Find(keys[0].c_str()), &v[0]);
    EXPECT_EQ(t.Find(keys[2].c_str()), &v[2]);
    EXPECT_EQ(t.Find(keys[1].c_str()), nullptr);
    // By value: the name is not compared, only the bucket.
    EXPECT_EQ(t.Remove(keys[2].c_str(), &v[0]), &v[0]);
    EXPECT_EQ(t.Find(keys[0].c_str()), nullptr);
    EXPECT_EQ(t.Remove(keys[2].c_str(), &v[1]), nullptr);
    EXPECT_EQ(t.Remove(keys[2].c_str()), &v[2]);  // the last, head of the bucket
    EXPECT_EQ(t.Find(keys[2].c_str()), nullptr);
}

TEST(StringHashTable, ForEachVisitsEveryEntry) {
    StringHashTable t;
    int a, b, c;
    t.Insert("one", &a);
    t.Insert("two", &b);
    t.Insert("two", &c);
    int count = 0;
    t.ForEach([&](const char* name, void*) {
        ++count;
        EXPECT_TRUE(std::string(name) == "one" || std::string(name) == "two");
    });
    EXPECT_EQ(count, 3);
}

}  // namespace
