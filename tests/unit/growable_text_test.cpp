#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "growable_text.h"
#include "test_heap.h"

using dedo::GrowableText;

class GrowableTextTest : public ::testing::Test {
protected:
    void SetUp() override { test_heap::Reset(); }
    void TearDown() override { EXPECT_EQ(test_heap::LiveBlocks(), 0u) << "a text leaked its block"; }
};

TEST_F(GrowableTextTest, StartsEmptyAndTreatsNullAsEmpty) {
    GrowableText text;
    EXPECT_EQ(text.Length(), 0u);
    EXPECT_STREQ(text.Chars(), "");
    ASSERT_TRUE(text.Assign("abc"));
    ASSERT_TRUE(text.Append(nullptr));
    EXPECT_STREQ(text.Chars(), "abc");
    ASSERT_TRUE(text.Assign(nullptr));
    EXPECT_EQ(text.Length(), 0u);
    EXPECT_STREQ(text.Chars(), "");
}

TEST_F(GrowableTextTest, AppendGrowsAndMayAppendItself) {
    GrowableText text;
    ASSERT_TRUE(text.Assign("ab"));
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(text.Append(text.Chars()));
    EXPECT_EQ(text.Length(), 2u << 10);
    EXPECT_EQ(std::string(text.Chars()).find_first_not_of("ab"), std::string::npos);
    EXPECT_EQ(std::string(text.Chars(), 4), "abab");
}

TEST_F(GrowableTextTest, BufferKeepsContentsAndReleaseStopsAtFirstZero) {
    GrowableText text;
    ASSERT_TRUE(text.Assign("keep"));
    char* buffer = text.GetBuffer(100);
    ASSERT_NE(buffer, nullptr);
    EXPECT_STREQ(buffer, "keep");
    std::memcpy(buffer, "one\0two", 8);
    text.ReleaseBuffer();
    EXPECT_EQ(text.Length(), 3u);
    EXPECT_STREQ(text.Chars(), "one");

    // A buffer filled to its last byte without a zero still ends inside the text.
    buffer = text.GetBuffer(5);
    ASSERT_NE(buffer, nullptr);
    std::memset(buffer, 'x', 5);
    text.ReleaseBuffer();
    EXPECT_GE(text.Length(), 5u);
    EXPECT_EQ(std::strlen(text.Chars()), text.Length());
}

TEST_F(GrowableTextTest, FormatProducesWholeOutputOfAnyLength) {
    GrowableText text;
    ASSERT_TRUE(text.Format("%s\\shell\\open\\command", "htmlfile"));
    EXPECT_STREQ(text.Chars(), "htmlfile\\shell\\open\\command");
    std::string longName(5000, 'c');
    ASSERT_TRUE(text.Format("%s|%d", longName.c_str(), 42));
    EXPECT_EQ(std::string(text.Chars()), longName + "|42");
    EXPECT_EQ(text.Length(), longName.size() + 3);
}

TEST_F(GrowableTextTest, RefusedMemoryIsReportedAndLeavesTheTextIntact) {
    GrowableText text;
    ASSERT_TRUE(text.Assign("before"));
    std::string big(4096, 'b');
    test_heap::RefuseAllocation(1);
    EXPECT_FALSE(text.Assign(big.c_str()));
    EXPECT_STREQ(text.Chars(), "before");
    test_heap::RefuseAllocation(1);
    EXPECT_FALSE(text.Append(big.c_str()));
    EXPECT_STREQ(text.Chars(), "before");
    test_heap::RefuseAllocation(1);
    EXPECT_EQ(text.GetBuffer(big.size()), nullptr);
    EXPECT_STREQ(text.Chars(), "before");
    test_heap::RefuseAllocation(1);
    EXPECT_FALSE(text.Format("%s", big.c_str()));
    EXPECT_EQ(std::strlen(text.Chars()), text.Length());

    GrowableText fresh;
    test_heap::RefuseAllocation(1);
    EXPECT_FALSE(fresh.Assign("x"));
    EXPECT_STREQ(fresh.Chars(), "");
}
