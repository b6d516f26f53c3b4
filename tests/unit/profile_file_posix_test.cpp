#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

#include "fakes/temp_dir.h"
#include "platform/atomic_file.h"
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
    std::string reason;
    EXPECT_FALSE(ReplaceFileContents("locked/absent.ini", "[S]\n", &reason));
    EXPECT_EQ(reason, std::generic_category().message(EACCES));
    EXPECT_FALSE(fs::exists("locked/absent.ini"));
    fs::permissions("locked", fs::perms(0755));
}

// The cases of the portable tests rest on the write bits, which root would otherwise ignore; here
// the system itself refuses: a user other than root in a folder only root may write.
TEST_F(ProfileFilePosixTest, TheSystemsRefusalIsPassedOn) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to become another user";
    }
    const std::string before = "[S]\nK=old\n";
    WriteFile(kFile, before);
    fs::permissions(".", fs::perms(0755));
    fs::permissions(kFile, fs::perms(0644));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        std::string reason;
        const bool refused = setgid(kNobody) == 0 && setuid(kNobody) == 0 &&
                             !ReplaceFileContents(kFile, "[S]\nK=new\n", &reason) &&
                             reason == std::generic_category().message(EACCES);
        _exit(refused ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(kFile), before);
    EXPECT_EQ(CountEntries("."), 1);
}

}  // namespace
}  // namespace vindle
