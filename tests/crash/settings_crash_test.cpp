// Kills a process that saves the settings in a loop, a few hundred times, at random moments and
// at the moments around the commit of a save, and checks after every kill that the settings file
// holds exactly the old or the new settings.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "crash/crash_settings.h"
#include "fakes/temp_dir.h"

namespace vindle {
namespace {

constexpr int kKills = 300;
constexpr mode_t kFileMode = 0640;
constexpr int kReadyTimeoutMillis = 10000;

enum class KillMoment { BeforeRename, AfterRename, Random };

struct Child {
    pid_t pid = -1;
    bool ready = false;
};

// Starts the saving loop in `directory`; returns once it is about to save (or failed to start).
Child StartSaveLoop(const std::string& directory, const std::string& stopRequest) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return {};
    }
    Child child;
    child.pid = fork();
    if (child.pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (!stopRequest.empty()) {
            setenv("VINDLE_STOP_AT_RENAME", stopRequest.c_str(), 1);
        }
        execl(VINDLE_SETTINGS_SAVE_LOOP, VINDLE_SETTINGS_SAVE_LOOP, directory.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    pollfd ready{pipeFds[0], POLLIN, 0};
    char byte = 0;
    child.ready = child.pid > 0 && poll(&ready, 1, kReadyTimeoutMillis) == 1 &&
                  read(pipeFds[0], &byte, 1) == 1 && byte == 'R';
    close(pipeFds[0]);
    return child;
}

// Everything in the folder but the settings file itself: what interrupted saves left behind.
std::vector<std::string> StrayFiles(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (entry.path().filename() != kSettingsFileName) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

class SettingsCrashTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // After one save of each, the two texts alternate: B over A gives textB and A over B
        // gives textA, which is what the child's loop produces from a file holding textB.
        SaveSettingsA();
        SaveSettingsB();
        SaveSettingsA();
        textA = ReadFile(file);
        SaveSettingsB();
        textB = ReadFile(file);
        SaveSettingsA();
        ASSERT_EQ(ReadFile(file), textA);
        ASSERT_FALSE(textA.empty());
        ASSERT_FALSE(textB.empty());
        ASSERT_NE(textA, textB);

        const auto start = std::chrono::steady_clock::now();
        constexpr int kTimedSaves = 20;
        for (int i = 0; i < kTimedSaves / 2; ++i) {
            SaveSettingsB();
            SaveSettingsA();
        }
        saveMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count() /
                     kTimedSaves;
    }

    // The content the N-th save of the child's loop (counting from 1) writes.
    const std::string& TextOfSave(long n) const { return n % 2 == 1 ? textA : textB; }

    ScopedTempDir directory;
    std::filesystem::path file = directory.Path() / kSettingsFileName;
    std::string textA;
    std::string textB;
    long saveMicros = 0;
};

TEST_F(SettingsCrashTest, EveryKillLeavesExactlyTheOldOrTheNewSettings) {
    std::mt19937 rng(20240607);
    int survived = 0;
    int leftOld = 0;
    int leftNew = 0;
    int leftTemporary = 0;
    std::size_t strays = 0;

    for (int attempt = 0; attempt < kKills; ++attempt) {
        // The file before the child's first save; its saves then write A, B, A, ...
        WriteFile(file, textB);
        ASSERT_EQ(chmod(file.c_str(), kFileMode), 0);

        const auto moment = static_cast<KillMoment>(attempt % 3);
        const long stopAt = 1 + static_cast<long>(rng() % 4);
        std::string request;
        if (moment == KillMoment::BeforeRename) {
            request = "before:" + std::to_string(stopAt);
        } else if (moment == KillMoment::AfterRename) {
            request = "after:" + std::to_string(stopAt);
        }
        const Child child = StartSaveLoop(directory.Path().string(), request);
        ASSERT_GT(child.pid, 0);
        ASSERT_TRUE(child.ready) << "the saving loop did not start";

        std::string expected;
        if (moment == KillMoment::Random) {
            // Up to three saves' time, so that kills land in every phase of a save.
            const long delay = static_cast<long>(rng() % (3 * saveMicros + 1));
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
        } else {
            int status = 0;
            ASSERT_EQ(waitpid(child.pid, &status, WUNTRACED), child.pid);
            ASSERT_TRUE(WIFSTOPPED(status)) << "the child did not stop at rename " << stopAt;
            if (moment == KillMoment::BeforeRename) {
                // The new content is complete in the temporary file; only the rename is missing.
                expected = TextOfSave(stopAt - 1 == 0 ? 2 : stopAt - 1);
                bool completeTemporary = false;
                for (const std::string& name : StrayFiles(directory.Path())) {
                    completeTemporary |= ReadFile(directory.Path() / name) == TextOfSave(stopAt);
                }
                EXPECT_TRUE(completeTemporary) << "no finished temporary file before rename";
            } else {
                expected = TextOfSave(stopAt);
            }
        }
        kill(child.pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child.pid, &status, 0), child.pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        const std::string content = ReadFile(file);
        struct stat st {};
        const bool exists = stat(file.c_str(), &st) == 0;
        const std::size_t nowStrays = StrayFiles(directory.Path()).size();
        strays = std::max(strays, nowStrays);

        bool ok = exists && (content == textA || content == textB);
        EXPECT_TRUE(ok) << "kill " << attempt << " left " << content.size() << " bytes:\n"
                        << content;
        if (!expected.empty()) {
            EXPECT_EQ(content, expected) << "kill " << attempt;
            ok = ok && content == expected;
        }
        EXPECT_EQ(st.st_mode & 07777, kFileMode) << "kill " << attempt;
        ok = ok && (st.st_mode & 07777) == kFileMode;
        // A save removes what killed saves left behind, so temporary files never pile up: at
        // most the killed save's own and one that it had no time to remove; none once a save
        // has finished.
        EXPECT_LE(nowStrays, 2u) << "kill " << attempt;
        if (moment == KillMoment::AfterRename) {
            EXPECT_EQ(nowStrays, 0u) << "kill " << attempt;
        }
        survived += ok ? 1 : 0;
        leftOld += content == textB ? 1 : 0;
        leftNew += content == textA ? 1 : 0;
        leftTemporary += nowStrays > 0 ? 1 : 0;
    }

    std::printf(
        "kills survived: %d of %d (file left as B: %d, as A: %d; a temporary file left "
        "behind: %d, at most %zu at once; one save takes about %ld us)\n",
        survived, kKills, leftOld, leftNew, leftTemporary, strays, saveMicros);
    EXPECT_EQ(survived, kKills);
}

}  // namespace
}  // namespace vindle
