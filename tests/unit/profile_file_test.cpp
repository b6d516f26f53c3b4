#include "settings/profile_file.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "fakes/temp_dir.h"
#include "platform/atomic_file.h"

namespace vindle {
namespace {

namespace fs = std::filesystem;

constexpr char kFile[] = "test.ini";

// Files in the folder other than the ones named: a left-over temporary file shows up here.
int CountEntries(const fs::path& folder) {
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) {
        ++entries;
    }
    return entries;
}

class ProfileFileTest : public ::testing::Test {
  protected:
    ScopedTempDir m_dir;
};

TEST_F(ProfileFileTest, MissingFileSectionOrKeyReadsEmpty) {
    EXPECT_EQ(ReadProfileString("BroadCast", "Status", 9, kFile), "");
    WriteFile(kFile, "[BroadCast]\nStatus=Enabled\n");
    EXPECT_EQ(ReadProfileString("Other", "Status", 9, kFile), "");
    EXPECT_EQ(ReadProfileString("BroadCast", "Missing", 9, kFile), "");
    EXPECT_FALSE(fs::exists("other.ini"));
}

TEST_F(ProfileFileTest, ValuesAreCutToBufferSizeLessOne) {
    WriteFile(kFile, "[S]\nK=Disabledxyz\n");
    EXPECT_EQ(ReadProfileString("S", "K", 9, kFile), "Disabled");
    EXPECT_EQ(ReadProfileString("S", "K", 2, kFile), "D");
    EXPECT_EQ(ReadProfileString("S", "K", 1, kFile), "");
    EXPECT_EQ(ReadProfileString("S", "K", 0, kFile), "");
    EXPECT_EQ(ReadProfileString("S", "K", 100, kFile), "Disabledxyz");
}

TEST_F(ProfileFileTest, NamesMatchWithoutRegardToCaseButValuesKeepTheirCase) {
    WriteFile(kFile, "[broadcast]\nSTATUS=EnAbled\n");
    EXPECT_EQ(ReadProfileString("BroadCast", "Status", 9, kFile), "EnAbled");

    ASSERT_TRUE(WriteProfileString("BROADCAST", "status", "Disabled", kFile));
    EXPECT_EQ(ReadFile(kFile), "[broadcast]\nSTATUS=Disabled\n");
}

TEST_F(ProfileFileTest, WritesCreateOrReplaceInCreationOrder) {
    ProfileDocument document(kFile);
    EXPECT_TRUE(document.WriteString("B", "Status", "Enabled"));
    EXPECT_TRUE(document.WriteString("A", "Status", "Disabled"));
    EXPECT_TRUE(document.WriteString("B", "Second", "2"));
    EXPECT_TRUE(document.WriteString("B", "Status", "Disabled"));
    // Nothing reaches the disk before the commit.
    EXPECT_FALSE(fs::exists(kFile));
    ASSERT_TRUE(document.Commit());
    EXPECT_EQ(ReadFile(kFile), "[B]\nStatus=Disabled\nSecond=2\n[A]\nStatus=Disabled\n");
    EXPECT_EQ(ProfileDocument(kFile).ReadString("b", "second", 10), "2");
}

TEST_F(ProfileFileTest, EmptiedSectionKeepsItsHeaderAndPlace) {
    WriteFile(kFile, "[A]\nx=1\n[S]\nStatus=Enabled\nIPAddress=1.2.3.4\nOwn=kept?\n[T]\ny=2\n");
    ASSERT_TRUE(EmptyProfileSection("s", kFile));
    EXPECT_EQ(ReadFile(kFile), "[A]\nx=1\n[S]\n[T]\ny=2\n");

    ASSERT_TRUE(WriteProfileString("S", "Status", "Disabled", kFile));
    EXPECT_EQ(ReadFile(kFile), "[A]\nx=1\n[S]\nStatus=Disabled\n[T]\ny=2\n");

    ASSERT_TRUE(EmptyProfileSection("New", kFile));
    EXPECT_EQ(ReadProfileString("New", "x", 10, kFile), "");
    EXPECT_NE(ReadFile(kFile).find("[New]"), std::string::npos);
}

TEST_F(ProfileFileTest, WindowsWrittenFilesReadTheSame) {
    WriteFile(kFile, "[BroadCast]\r\nStatus=Enabled\r\n[TimeOut]\r\nTimeVal=10\r\n");
    EXPECT_EQ(ReadProfileString("BroadCast", "Status", 9, kFile), "Enabled");
    EXPECT_EQ(ReadProfileString("TimeOut", "TimeVal", 4, kFile), "10");

    // A byte-order mark from a Windows editor does not hide the first section.
    WriteFile(kFile, "\xEF\xBB\xBF[BroadCast]\r\nStatus=Enabled\r\n");
    EXPECT_EQ(ReadProfileString("BroadCast", "Status", 9, kFile), "Enabled");
}

TEST_F(ProfileFileTest, SavesEndLinesAsTheSystemsOwnTools) {
    WriteFile(kFile, "[S]\nK=old\n");
    ASSERT_TRUE(WriteProfileString("S", "K", "new", kFile));
    const std::string end = kNativeLineEnd;
    EXPECT_EQ(ReadRawFile(kFile), "[S]" + end + "K=new" + end);
}

TEST_F(ProfileFileTest, HandAddedKeysAndCommentsSurviveARewrite) {
    WriteFile(kFile,
              "; settings for the printer room\n"
              "[BroadCast]\n"
              "Status=Enabled\n"
              "# note about the status\n"
              "Owner=Ops team\n"
              "[Mine]\n"
              "Colour=blue\n"
              "; closing remark\n");
    ASSERT_TRUE(WriteProfileString("BroadCast", "Status", "Disabled", kFile));
    const std::string text = ReadFile(kFile);
    for (const char* line :
         {"; settings for the printer room", "Status=Disabled", "# note about the status",
          "Owner=Ops team", "[Mine]", "Colour=blue", "; closing remark"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " missing from:\n" << text;
    }
    EXPECT_LT(text.find("Colour=blue"), text.find("; closing remark"));
}

TEST_F(ProfileFileTest, RefusesTextThatWouldBreakTheLineFormat) {
    ProfileDocument document(kFile);
    EXPECT_FALSE(document.WriteString("S", "K", "a\nInjected=1"));
    EXPECT_FALSE(document.WriteString("S", "K", "a\rb"));
    EXPECT_FALSE(document.WriteString("S", "K", std::string("a\0b", 3)));
    EXPECT_FALSE(document.WriteString("S", "K=1", "v"));
    EXPECT_FALSE(document.WriteString("S]x", "K", "v"));
    EXPECT_FALSE(document.WriteString("", "K", "v"));
    EXPECT_FALSE(document.WriteString("S", "", "v"));
    EXPECT_EQ(document.Serialize(), "");
}

TEST_F(ProfileFileTest, NulBytesDoNotHideTheRestOfTheFile) {
    WriteFile(kFile, std::string("[S]\nA=1\0\0junk\nB=2\n[T]\nC=3\n", 26));
    EXPECT_EQ(ReadProfileString("S", "B", 10, kFile), "2");
    ASSERT_TRUE(WriteProfileString("S", "A", "9", kFile));
    EXPECT_EQ(ReadProfileString("T", "C", 10, kFile), "3");
    EXPECT_EQ(ReadFile(kFile).find('\0'), std::string::npos);
}

TEST_F(ProfileFileTest, RandomBytesNeverBreakReadingOrWriting) {
    std::mt19937 random(20240601);
    const std::string alphabet = "[]=;#\r\n \tab\x01\x7f\x80\xff";
    for (int round = 0; round < 150; ++round) {
        std::string bytes(random() % 400, '\0');
        for (char& byte : bytes) {
            byte = random() % 3 == 0 ? static_cast<char>(random() % 256)
                                     : alphabet[random() % alphabet.size()];
        }
        WriteFile(kFile, bytes);
        ProfileDocument document(kFile);
        EXPECT_LE(document.ReadString("a", "b", 9).size(), 8u);
        ASSERT_TRUE(document.WriteString("S", "K", "v"));
        ASSERT_TRUE(document.Commit());
        EXPECT_EQ(ReadProfileString("S", "K", 9, kFile), "v") << "round " << round;
    }
}

// The fuzz harnesses read documents made from bytes in memory: the same parse as the file's.
TEST_F(ProfileFileTest, DocumentMadeFromTextReadsAsTheFileWouldAndTouchesNoFile) {
    const std::string text = "\xEF\xBB\xBF[BroadCast\r\nStatus=Enabled\r\n; note\n";
    WriteFile(kFile, text);
    const ProfileDocument fromText("other.ini", text);
    EXPECT_EQ(fromText.ReadString("broadcast", "status", 9), "Enabled");
    EXPECT_EQ(fromText.Serialize(), ProfileDocument(kFile).Serialize());
    EXPECT_FALSE(fs::exists("other.ini"));
}

TEST_F(ProfileFileTest, ReadOnlyFileIsNeverReplaced) {
    const std::string before = "[S]\nK=old\n; keep me\n";
    WriteFile(kFile, before);
    fs::permissions(kFile, fs::perms(0444));
    ProfileDocument document(kFile);
    ASSERT_TRUE(document.WriteString("S", "K", "new"));
    std::string reason;
    ASSERT_FALSE(document.Commit(&reason));
    EXPECT_TRUE(IsSystemReason(reason, EACCES)) << reason;
    EXPECT_EQ(ReadFile(kFile), before);
    EXPECT_EQ(fs::status(kFile).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(CountEntries("."), 1);
}

TEST_F(ProfileFileTest, AnUnreadableFileIsNotOverwritten) {
    fs::create_directory(kFile);
    ProfileDocument document(kFile);
    EXPECT_EQ(document.ReadString("S", "K", 9), "");
    ASSERT_TRUE(document.WriteString("S", "K", "v"));
    std::string reason;
    EXPECT_FALSE(document.Commit(&reason));
    EXPECT_TRUE(IsSystemReason(reason, EISDIR)) << reason;
    EXPECT_TRUE(IsSystemReason(document.ReadError(), EISDIR)) << document.ReadError();
    EXPECT_TRUE(fs::is_directory(kFile));
}

}  // namespace
}  // namespace vindle
