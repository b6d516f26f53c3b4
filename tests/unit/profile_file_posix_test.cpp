#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fakes/temp_dir.h"
#include "settings/profile_file.h"

// Saves with POSIX file semantics: links, permission bits and inodes, folder permissions.
namespace vindle {
namespace {

namespace fs = std::filesystem;

constexpr char kFile[] = "test.ini";

ino_t Inode(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_ino;
}

mode_t PermissionBits(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

int CountEntries(const fs::path& folder) {
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) {
        ++entries;
    }
    return entries;
}

class ProfileFilePosixTest : public ::testing::Test {
  protected:
    ScopedTempDir m_dir;
};

TEST_F(ProfileFilePosixTest, WritesGoThroughASymbolicLinkToItsTarget) {
    fs::create_directory("real");
    WriteFile("real/target.ini", "[S]\nK=old\n");
    fs::create_symlink("real/target.ini", kFile);
    ASSERT_TRUE(WriteProfileString("S", "K", "new", kFile));
    EXPECT_TRUE(fs::is_symlink(kFile));
    EXPECT_EQ(ReadFile("real/target.ini"), "[S]\nK=new\n");
    EXPECT_EQ(CountEntries("real"), 1);

    // A dangling link creates its target.
    fs::create_symlink("real/created.ini", "dangling.ini");
    ASSERT_TRUE(WriteProfileString("S", "K", "v", "dangling.ini"));
    EXPECT_TRUE(fs::is_symlink("dangling.ini"));
    EXPECT_EQ(ReadFile("real/created.ini"), "[S]\nK=v\n");
}

TEST_F(ProfileFilePosixTest, ReplacementKeepsPermissionBitsAndLeavesNoTemporaryFile) {
    WriteFile(kFile, "[S]\nK=old\n");
    fs::permissions(kFile, fs::perms(0640));
    const ino_t before = Inode(kFile);
    ASSERT_TRUE(WriteProfileString("S", "K", "new", kFile));
    EXPECT_NE(Inode(kFile), before) << "expected a new file renamed into place";
    EXPECT_EQ(PermissionBits(kFile), 0640u);
    EXPECT_EQ(CountEntries("."), 1);
}

TEST_F(ProfileFilePosixTest, ReadOnlyFolderWithWritableFileIsRewrittenInPlace) {
    fs::create_directory("locked");
    WriteFile("locked/test.ini", "[S]\nK=a much longer old value\n");
    fs::permissions("locked", fs::perms(0555));
    const ino_t before = Inode("locked/test.ini");
    EXPECT_TRUE(WriteProfileString("S", "K", "new", "locked/test.ini"));
    EXPECT_EQ(ReadFile("locked/test.ini"), "[S]\nK=new\n");
    EXPECT_EQ(Inode("locked/test.ini"), before);
    EXPECT_EQ(CountEntries("locked"), 1);

    // With no file to rewrite there is nothing to fall back on.
    EXPECT_FALSE(WriteProfileString("S", "K", "new", "locked/absent.ini"));
    EXPECT_FALSE(fs::exists("locked/absent.ini"));
    fs::permissions("locked", fs::perms(0755));
}

}  // namespace
}  // namespace vindle
