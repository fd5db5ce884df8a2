#include <gtest/gtest.h>

#include <string>

#include "fake_platform.h"
#include "file_rename.h"

using dedo::FakePlatform;

namespace {

struct RenameCase {
    const char* name;
    const char* from;  // null passes a null pointer
    const char* to;
    int expected;
    dedo::Dword expectedError;  // checked when the answer is 0
    bool moveCalled;
};

void PrintTo(const RenameCase& c, std::ostream* out) { *out << c.name; }

class RenameTable : public ::testing::TestWithParam<RenameCase> {};

TEST_P(RenameTable, AnswersAndLeavesTheMovesError) {
    const RenameCase& c = GetParam();
    FakePlatform platform;
    platform.AddFile("C:\\work\\a.txt", "a");
    platform.AddFile("C:\\work\\taken.txt", "taken");
    platform.AddFolder("C:\\work\\sub");
    platform.SetLastError(0xDEADBEEF);

    int result = dedo::RenameFile(platform, c.from, c.to);

    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(platform.CallCount(), c.moveCalled ? 1u : 0u);
    if (c.expected == 0) {
        EXPECT_EQ(platform.GetLastError(), c.expectedError);
        EXPECT_TRUE(platform.HasFile("C:\\work\\a.txt"));
        EXPECT_EQ(platform.FindFile("C:\\work\\taken.txt")->data, "taken");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenameTable,
    ::testing::Values(
        RenameCase{"same_folder", "C:\\work\\a.txt", "C:\\work\\b.txt", 1, 0, true},
        RenameCase{"into_other_folder", "C:\\work\\a.txt", "C:\\work\\sub\\a.txt", 1, 0, true},
        RenameCase{"new_name_taken_by_file", "C:\\work\\a.txt", "C:\\work\\taken.txt", 0,
                   dedo::kErrorAlreadyExists, true},
        RenameCase{"new_name_taken_by_folder", "C:\\work\\a.txt", "C:\\work\\sub", 0, dedo::kErrorAlreadyExists,
                   true},
        RenameCase{"existing_missing", "C:\\work\\none.txt", "C:\\work\\b.txt", 0, dedo::kErrorFileNotFound, true},
        RenameCase{"target_folder_missing", "C:\\work\\a.txt", "C:\\work\\nowhere\\b.txt", 0,
                   dedo::kErrorPathNotFound, true},
        RenameCase{"null_existing_name", nullptr, "C:\\work\\b.txt", 0, dedo::kErrorInvalidParameter, false},
        RenameCase{"null_new_name", "C:\\work\\a.txt", nullptr, 0, dedo::kErrorInvalidParameter, false}),
    [](const ::testing::TestParamInfo<RenameCase>& info) { return std::string(info.param.name); });

TEST(Rename, PassesBothNamesOnUnchangedInOrder) {
    FakePlatform platform;
    dedo::RenameFile(platform, " odd/Name\\A.TXT ", "rel\\b");
    ASSERT_EQ(platform.Calls().size(), 1u);
    EXPECT_EQ(platform.Calls()[0].name, "MoveFileA");
    EXPECT_EQ(platform.Calls()[0].detail, " odd/Name\\A.TXT  -> rel\\b");
}

TEST(Rename, KeepsWhateverErrorTheMoveLeft) {
    for (dedo::Dword error : {2u, 3u, 5u, 32u, 183u, 1234u}) {
        FakePlatform platform;
        platform.AddFile("a", "a");
        platform.FailCall(1, error);
        EXPECT_EQ(dedo::RenameFile(platform, "a", "b"), 0);
        EXPECT_EQ(platform.GetLastError(), error);
        EXPECT_TRUE(platform.HasFile("a"));
        EXPECT_FALSE(platform.HasFile("b"));
    }
}

TEST(Rename, MovesAFolderWithItsContents) {
    FakePlatform platform;
    platform.AddFile("C:\\old\\inner.txt", "x");
    EXPECT_EQ(dedo::RenameFile(platform, "C:\\old", "C:\\new"), 1);
    EXPECT_TRUE(platform.HasFile("C:\\new\\inner.txt"));
    EXPECT_FALSE(platform.HasFolder("C:\\old"));
}

}  // namespace
