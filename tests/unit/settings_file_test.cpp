#include "settings/settings_file.h"
#include "settings/profile_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "fakes/temp_dir.h"

namespace vindle {
namespace {

namespace fs = std::filesystem;

constexpr char kFirstStart[] =
    "[BroadCast]\nStatus=Enabled\n"
    "[SearchSpecifiedAddress]\nStatus=Disabled\n"
    "[TimeOut]\nTimeVal=6\n";

// The file without its blank lines, which carry no meaning.
std::string Content() {
    std::string text = ReadFile(kSettingsFileName);
    std::string lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (end > start) {
            lines.append(text, start, end - start).push_back('\n');
        }
        start = end + 1;
    }
    return lines;
}

AddressEntry Entry(const char* address, const char* mask) {
    AddressEntry entry{};
    std::memcpy(entry.address, address, std::min(std::strlen(address), sizeof entry.address - 1));
    std::memcpy(entry.mask, mask, std::min(std::strlen(mask), sizeof entry.mask - 1));
    return entry;
}

struct Slots {
    // One slot more than handed to the reader, to catch a write past the end.
    char addresses[kMaxAddressEntries + 2][16] = {};
    char masks[kMaxAddressEntries + 2][16] = {};
};

class SettingsFileTest : public ::testing::Test {
  protected:
    ScopedTempDir m_dir;
    Settings m_settings = Settings::InFolder(m_dir.Path());
};

TEST_F(SettingsFileTest, FirstStartWritesTheThreeDefaultsInOrder) {
    EnsureSettingsFile(m_settings);
    EXPECT_EQ(ReadFile(kSettingsFileName), kFirstStart);
    EXPECT_EQ(ReadSearchMode(m_settings), SearchMode::Broadcast);
}

TEST_F(SettingsFileTest, AnExistingFileIsNeverRewrittenAtStart) {
    WriteFile(kSettingsFileName, "[BroadCast]\nStatus=Disabled\n");
    EnsureSettingsFile(m_settings);
    EXPECT_EQ(ReadFile(kSettingsFileName), "[BroadCast]\nStatus=Disabled\n");
    int seconds = -1;
    ReadTimeout(m_settings, seconds);
    EXPECT_EQ(seconds, 0);

    // A file that cannot be opened for writing keeps its settings.
    fs::permissions(kSettingsFileName, fs::perms(0444));
    EnsureSettingsFile(m_settings);
    EXPECT_EQ(ReadFile(kSettingsFileName), "[BroadCast]\nStatus=Disabled\n");
    fs::permissions(kSettingsFileName, fs::perms(0644));
}

TEST_F(SettingsFileTest, FailuresCarryTheSystemsReason) {
    EXPECT_TRUE(IsSystemReason(CheckSettingsReadable(m_settings).Reason(), ENOENT));
    EXPECT_TRUE(EnsureSettingsFile(m_settings).Ok());
    EXPECT_TRUE(CheckSettingsReadable(m_settings).Ok());
    EXPECT_EQ(m_settings.Path(), (m_dir.Path() / kSettingsFileName).string());

    // A folder where the file should be can be neither read, created nor replaced.
    fs::remove(kSettingsFileName);
    fs::create_directory(kSettingsFileName);
    EXPECT_TRUE(IsSystemReason(EnsureSettingsFile(m_settings).Reason(), EISDIR));
    EXPECT_TRUE(IsSystemReason(CheckSettingsReadable(m_settings).Reason(), EISDIR));
    EXPECT_TRUE(
        IsSystemReason(WriteSettings(m_settings, nullptr, 0, 6, "Disabled").Reason(), EISDIR));
    EXPECT_TRUE(fs::is_directory(kSettingsFileName));
}

TEST_F(SettingsFileTest, AFileThatCanNeitherBeOpenedNorCreatedGivesWayToTheUserFolder) {
    fs::create_directory(kSettingsFileName);
    Settings settings = m_settings;
    const SettingsStartup stays = PrepareSettings(settings);
    EXPECT_TRUE(IsSystemReason(stays.status.Reason(), EISDIR));
    EXPECT_FALSE(stays.MovedToUserFolder());

    const fs::path user = m_dir.Path() / "config" / "qarv-vindle";
    settings = Settings(m_settings.File(), user);
    const SettingsStartup moved = PrepareSettings(settings);
    EXPECT_TRUE(moved.status.Ok());
    EXPECT_EQ(moved.status.file, (user / kSettingsFileName).string());
    EXPECT_EQ(moved.abandoned.file, m_settings.Path());
    EXPECT_TRUE(IsSystemReason(moved.abandoned.Reason(), EISDIR));
    EXPECT_EQ(settings.File(), user / kSettingsFileName);
    EXPECT_EQ(ReadSearchMode(settings), SearchMode::Broadcast);

    // A usable file in the working directory always comes first.
    fs::remove(kSettingsFileName);
    settings = Settings(m_settings.File(), user);
    EXPECT_FALSE(PrepareSettings(settings).MovedToUserFolder());
    EXPECT_EQ(settings.File(), m_settings.File());
}

TEST_F(SettingsFileTest, ModeRuleComparesEightCharactersExactly) {
    struct Case {
        const char* broadcast;
        const char* specified;
        SearchMode mode;
    };
    const Case cases[] = {
        {"Enabled", "Disabled", SearchMode::Broadcast},
        {"Disabled", "Enabled", SearchMode::Specified},
        {"Enabled", "Enabled", SearchMode::Undefined},
        {"Disabled", "Disabled", SearchMode::Undefined},
        {"Disabledxyz", "Enabled", SearchMode::Specified},
        {"Enabledx", "Disabled", SearchMode::Undefined},
        {"enabled", "Disabled", SearchMode::Undefined},
        {"Enabled", "DISABLED", SearchMode::Undefined},
        {"", "Disabled", SearchMode::Undefined},
        {nullptr, "Disabled", SearchMode::Undefined},
        {"Enabled", nullptr, SearchMode::Undefined},
    };
    for (const Case& c : cases) {
        std::string text;
        if (c.broadcast != nullptr) {
            text += std::string("[BroadCast]\nStatus=") + c.broadcast + "\n";
        }
        if (c.specified != nullptr) {
            text += std::string("[SearchSpecifiedAddress]\nStatus=") + c.specified + "\n";
        }
        WriteFile(kSettingsFileName, text);
        EXPECT_EQ(ReadSearchMode(m_settings), c.mode) << text;
    }
    WriteFile(kSettingsFileName, "[BroadCast]\nStatus=Disabledxyz\n");
    EXPECT_EQ(ReadBroadcastStatus(m_settings), "Disabled");
    fs::remove(kSettingsFileName);
    EXPECT_EQ(ReadSearchMode(m_settings), SearchMode::Undefined);
    EXPECT_EQ(ReadBroadcastStatus(m_settings), "");
}

TEST_F(SettingsFileTest, TimeoutReadsThreeCharactersLikeAtoi) {
    const std::pair<const char*, int> cases[] = {
        {"1000", 100}, {"abc", 0}, {"0", 0}, {"120", 120}, {"6", 6}, {"12x", 12}, {"-5", -5},
    };
    for (const auto& [text, expected] : cases) {
        WriteFile(kSettingsFileName, std::string("[TimeOut]\nTimeVal=") + text + "\n");
        int seconds = -99;
        ReadTimeout(m_settings, seconds);
        EXPECT_EQ(seconds, expected) << text;
    }
    WriteFile(kSettingsFileName, "[TimeOut]\nTimeVal=1000\n");
    EXPECT_EQ(ReadTimeoutText(m_settings), "100");
    WriteFile(kSettingsFileName, "[BroadCast]\nStatus=Enabled\n");
    EXPECT_EQ(ReadTimeoutText(m_settings), "");
}

TEST_F(SettingsFileTest, ThoroughSearchIsOnOnlyForExactlyEnabledAndWrittenOnlyWhenUsed) {
    const std::pair<const char*, bool> cases[] = {
        {"[Search]\nThorough=Enabled\n", true},  {"[search]\nTHOROUGH=Enabled\n", true},
        {"[Search]\nThorough=enabled\n", false}, {"[Search]\nThorough=EnabledX\n", false},
        {"[Search]\nThorough=\n", false},        {"[BroadCast]\nStatus=Enabled\n", false},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ReadThoroughSearch(ProfileDocument("x.ini", text)), expected) << text;
    }
    const std::string plain = "[BroadCast]\nStatus=Enabled\n";
    ProfileDocument untouched("x.ini", plain);
    WriteThoroughSearch(untouched, false);
    EXPECT_EQ(untouched.Serialize(), ProfileDocument("x.ini", plain).Serialize());
    ProfileDocument document("x.ini", plain);
    WriteThoroughSearch(document, true);
    EXPECT_TRUE(ReadThoroughSearch(document));
    WriteThoroughSearch(document, false);
    EXPECT_FALSE(ReadThoroughSearch(document));
    EXPECT_NE(document.Serialize().find("Thorough=Disabled"), std::string::npos);
}

TEST_F(SettingsFileTest, AddressListPairsEntriesByPosition) {
    WriteFile(kSettingsFileName,
              "[SearchSpecifiedAddress]\nIPAddress=10.0.0.1,,10.0.0.2,10.0.0.3\n"
              "Subnet=,255.0.0.0,,255.255.0.0\n");
    Slots slots;
    int count = 0;
    ASSERT_EQ(ReadAddressList(m_settings, count, slots.addresses, slots.masks, kMaxAddressEntries),
              1);
    EXPECT_EQ(count, 2);
    EXPECT_STREQ(slots.addresses[0], "10.0.0.1");
    EXPECT_STREQ(slots.masks[0], "255.0.0.0");
    EXPECT_STREQ(slots.addresses[1], "10.0.0.2");
    EXPECT_STREQ(slots.masks[1], "255.255.0.0");
    EXPECT_STREQ(slots.addresses[2], "");
}

TEST_F(SettingsFileTest, FirstSlotRuleKeepsTheCallersOwnEntry) {
    WriteFile(kSettingsFileName,
              "[SearchSpecifiedAddress]\nIPAddress=10.0.0.1,10.0.0.2\nSubnet=255.0.0.0,"
              "255.255.255.255\n");
    Slots slots;
    std::strcpy(slots.addresses[0], "192.168.1.0");
    std::strcpy(slots.masks[0], "255.255.255.0");
    int count = 1;
    ASSERT_EQ(
        ReadAddressList(m_settings, count, slots.addresses, slots.masks, kMaxAddressEntries + 1),
        1);
    EXPECT_EQ(count, 3);
    EXPECT_STREQ(slots.addresses[0], "192.168.1.0");
    EXPECT_STREQ(slots.addresses[1], "10.0.0.1");
    EXPECT_STREQ(slots.masks[2], "255.255.255.255");
}

TEST_F(SettingsFileTest, NoListLeavesCountUnchanged) {
    const char* files[] = {
        "[SearchSpecifiedAddress]\nIPAddress=10.0.0.1\n",
        "[SearchSpecifiedAddress]\nSubnet=255.0.0.0\n",
        "[SearchSpecifiedAddress]\nIPAddress=\nSubnet=255.0.0.0\n",
        "[SearchSpecifiedAddress]\nIPAddress=,,,\nSubnet=,,\n",
        "[SearchSpecifiedAddress]\nIPAddress=1234567890123456\nSubnet=255.0.0.0\n",
    };
    for (const char* text : files) {
        WriteFile(kSettingsFileName, text);
        Slots slots;
        int count = 7;
        EXPECT_EQ(
            ReadAddressList(m_settings, count, slots.addresses, slots.masks, kMaxAddressEntries), 0)
            << text;
        EXPECT_EQ(count, 7) << text;
        EXPECT_STREQ(slots.addresses[0], "") << text;
    }
}

TEST_F(SettingsFileTest, HandEditedListsNeverOverrunTheSlots) {
    // 40 short entries fit in the 319 characters the reader takes.
    std::string addresses;
    std::string masks;
    for (int i = 0; i < 40; ++i) {
        addresses += "1.0.0." + std::to_string(i % 10) + ",";
        masks += "2.0.0." + std::to_string(i % 10) + ",";
    }
    WriteFile(kSettingsFileName,
              "[SearchSpecifiedAddress]\nIPAddress=" + addresses + "\nSubnet=" + masks + "\n");
    Slots slots;
    std::strcpy(slots.addresses[0], "own");
    int count = 1;
    ASSERT_EQ(
        ReadAddressList(m_settings, count, slots.addresses, slots.masks, kMaxAddressEntries + 1),
        1);
    EXPECT_EQ(count, kMaxAddressEntries + 1);
    EXPECT_STREQ(slots.addresses[kMaxAddressEntries], "1.0.0.9");
    EXPECT_STREQ(slots.addresses[kMaxAddressEntries + 1], "");
    EXPECT_STREQ(slots.masks[kMaxAddressEntries + 1], "");
}

TEST_F(SettingsFileTest, OverlongEntriesAreSkippedWithTheirPartner) {
    WriteFile(kSettingsFileName,
              "[SearchSpecifiedAddress]\n"
              "IPAddress=10.0.0.1,10.0.0.2xxxxxxxxx,10.0.0.3,10.0.0.4\n"
              "Subnet=255.0.0.0,255.255.0.0,255.255.255.0000000,255.255.255.255\n");
    Slots slots;
    int count = 0;
    ASSERT_EQ(ReadAddressList(m_settings, count, slots.addresses, slots.masks, kMaxAddressEntries),
              1);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(slots.addresses[0], "10.0.0.1");
    EXPECT_STREQ(slots.masks[0], "255.0.0.0");
    EXPECT_STREQ(slots.addresses[1], "10.0.0.4");
    EXPECT_STREQ(slots.masks[1], "255.255.255.255");
}

TEST_F(SettingsFileTest, BinaryBytesInListsStayWithinTheirSlots) {
    WriteFile(kSettingsFileName, std::string("[SearchSpecifiedAddress]\nIPAddress=\x01\xff\x7f,"
                                             "\x80\x80\nSubnet=\xfe\0\xfd,a\n",
                                             55));
    Slots slots;
    int count = 0;
    ASSERT_EQ(ReadAddressList(m_settings, count, slots.addresses, slots.masks, kMaxAddressEntries),
              1);
    EXPECT_EQ(count, 2);
    EXPECT_STREQ(slots.addresses[0], "\x01\xff\x7f");
    EXPECT_STREQ(slots.masks[0], "\xfe\xfd");
}

TEST_F(SettingsFileTest, UnshownEntriesAreFoundAndWrittenBackAfterTheRows) {
    // Beyond the slots, overlong, without a partner, and cut short by the reader's buffer.
    std::string addresses = "10.0.0.1,10.0.0.1234567890";
    std::string masks = "255.0.0.0,255.0.0.1";
    for (int i = 3; i <= 23; ++i) {
        addresses += ",10.0.0." + std::to_string(i);
        masks += ",255.0.0." + std::to_string(i);
    }
    masks += ",255.255.0.0";
    WriteFile(kSettingsFileName,
              "[SearchSpecifiedAddress]\nIPAddress=" + addresses + "\nSubnet=" + masks + "\n");
    UnshownPairs unshown = ReadUnshownAddressPairs(m_settings, kMaxAddressEntries);
    EXPECT_EQ(unshown.addresses, "10.0.0.1234567890,10.0.0.22,10.0.0.23");
    EXPECT_EQ(unshown.masks, "255.0.0.1,255.0.0.22,255.0.0.23,255.255.0.0");

    const AddressEntry row = Entry("10.9.9.9", "255.255.255.0");
    ASSERT_TRUE(WriteSettings(m_settings, &row, 1, 6, "Enabled", unshown).Ok());
    EXPECT_EQ(Content(),
              "[SearchSpecifiedAddress]\nIPAddress=10.9.9.9,10.0.0.1234567890,10.0.0.22,"
              "10.0.0.23\nSubnet=255.255.255.0,255.0.0.1,255.0.0.22,255.0.0.23,255.255.0.0\n"
              "Status=Enabled\n[BroadCast]\nStatus=Disabled\n[TimeOut]\nTimeVal=6\n");

    WriteFile(kSettingsFileName, "[SearchSpecifiedAddress]\nIPAddress=" + std::string(302, '1') +
                                     ",10.0.0.1,10.0.0.2\nSubnet=1,2,3\n");
    unshown = ReadUnshownAddressPairs(m_settings, kMaxAddressEntries);
    EXPECT_EQ(unshown.addresses, std::string(302, '1') + ",10.0.0.2");
    EXPECT_EQ(unshown.masks, "1,3");
}

class WriteSettingsTest : public SettingsFileTest {
  protected:
    void SetUp() override {
        WriteFile(kSettingsFileName,
                  "[BroadCast]\nStatus=Enabled\nNote=hand added\n"
                  "[SearchSpecifiedAddress]\nStatus=Disabled\nIPAddress=1.1.1.1\n"
                  "Subnet=255.0.0.0\n[TimeOut]\nTimeVal=6\n");
    }

    const AddressEntry m_entries[2] = {Entry("192.168.1.0", "255.255.255.0"),
                                       Entry("10.0.0.5", "255.255.255.255")};
};

TEST_F(WriteSettingsTest, CheckedWithEntriesStoresTheSpecifiedMode) {
    WriteSettings(m_settings, m_entries, 2, 10, "Enabled");
    EXPECT_EQ(Content(),
              "[BroadCast]\nStatus=Disabled\nNote=hand added\n"
              "[SearchSpecifiedAddress]\nStatus=Enabled\n"
              "IPAddress=192.168.1.0,10.0.0.5\nSubnet=255.255.255.0,255.255.255.255\n"
              "[TimeOut]\nTimeVal=10\n");
}

TEST_F(WriteSettingsTest, CheckedWithoutEntriesRemovesTheLists) {
    WriteSettings(m_settings, m_entries, 0, 120, "Enabled");
    EXPECT_EQ(Content(),
              "[BroadCast]\nStatus=Disabled\nNote=hand added\n"
              "[SearchSpecifiedAddress]\nStatus=Enabled\n"
              "[TimeOut]\nTimeVal=120\n");
}

TEST_F(WriteSettingsTest, ClearedWithEntriesKeepsTheListsForLater) {
    WriteSettings(m_settings, m_entries, 2, 6, "Disabled");
    EXPECT_EQ(Content(),
              "[BroadCast]\nStatus=Enabled\nNote=hand added\n"
              "[SearchSpecifiedAddress]\nStatus=Disabled\n"
              "IPAddress=192.168.1.0,10.0.0.5\nSubnet=255.255.255.0,255.255.255.255\n"
              "[TimeOut]\nTimeVal=6\n");
    EXPECT_EQ(ReadSearchMode(m_settings), SearchMode::Broadcast);
}

TEST_F(WriteSettingsTest, ClearedWithoutEntriesStoresBroadcastWithNoLists) {
    WriteFile(kSettingsFileName,
              "[SearchSpecifiedAddress]\nStatus=Enabled\nIPAddress=1.1.1.1\nSubnet=255.0.0.0\n");
    WriteSettings(m_settings, nullptr, 0, 7, "Disabled");
    EXPECT_EQ(Content(),
              "[SearchSpecifiedAddress]\nStatus=Disabled\n"
              "[BroadCast]\nStatus=Enabled\n"
              "[TimeOut]\nTimeVal=7\n");
}

TEST_F(WriteSettingsTest, SingleStepWritersReturnWhatTheyDid) {
    EXPECT_EQ(WriteAddressList(m_settings, m_entries, 1, "Disabled"), 1);
    EXPECT_EQ(WriteSubnetList(m_settings, m_entries, 1), 1);
    Slots slots;
    int count = 0;
    ASSERT_EQ(ReadAddressList(m_settings, count, slots.addresses, slots.masks, kMaxAddressEntries),
              1);
    EXPECT_EQ(count, 1);
    EXPECT_STREQ(slots.masks[0], "255.255.255.0");

    EXPECT_EQ(WriteAddressList(m_settings, m_entries, 0, "Enabled"), 0);
    EXPECT_EQ(ReadSearchMode(m_settings), SearchMode::Specified);
    EXPECT_EQ(ReadAddressList(m_settings, count, slots.addresses, slots.masks, kMaxAddressEntries),
              0);
}

// A reader on another thread must see the old settings or the new ones, never a mix: never two
// equal status values between the two status writes, never addresses without their masks.
TEST_F(WriteSettingsTest, AConcurrentReaderNeverSeesHalfASave) {
    const AddressEntry first = Entry("10.0.0.0", "255.0.0.0");
    WriteSettings(m_settings, &first, 1, 6, "Enabled");
    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> faults{0};
    std::thread reader([&] {
        while (!done) {
            if (ReadSearchMode(m_settings) == SearchMode::Undefined) {
                ++faults;
            }
            Slots slots;
            int count = 0;
            if (ReadAddressList(m_settings, count, slots.addresses, slots.masks,
                                kMaxAddressEntries) == 1) {
                for (int i = 0; i < count; ++i) {
                    // Generation n writes address "10.0.n.i" and mask "255.0.n.i".
                    if (std::strcmp(slots.addresses[i] + 3, slots.masks[i] + 4) != 0) {
                        ++faults;
                    }
                }
            }
            ++reads;
        }
    });
    for (int generation = 0; generation < 200; ++generation) {
        std::vector<AddressEntry> entries;
        for (int i = 0; i < 1 + generation % 3; ++i) {
            const std::string tail = "." + std::to_string(generation) + "." + std::to_string(i);
            entries.push_back(Entry(("10.0" + tail).c_str(), ("255.0" + tail).c_str()));
        }
        WriteSettings(m_settings, entries.data(), static_cast<int>(entries.size()), 6,
                      generation % 2 == 0 ? "Enabled" : "Disabled");
    }
    done = true;
    reader.join();
    EXPECT_EQ(faults, 0);
    EXPECT_GT(reads, 0);
}

TEST_F(SettingsFileTest, TimeoutIsStoredAsPlainDecimal) {
    WriteSettings(m_settings, nullptr, 0, 120, "Disabled");
    EXPECT_EQ(ReadTimeoutText(m_settings), "120");
    WriteSettings(m_settings, nullptr, 0, 6, "Disabled");
    EXPECT_EQ(ReadTimeoutText(m_settings), "6");
}

}  // namespace
}  // namespace vindle
