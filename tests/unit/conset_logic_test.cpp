#include "settings/conset_logic.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_control.h"
#include "fakes/fake_list_view.h"
#include "fakes/temp_dir.h"
#include "settings/settings_file.h"

namespace vindle {
namespace {

class FakeCheckBox : public CheckBoxControl {
  public:
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    bool IsEnabled() override { return m_enabled; }
    bool IsChecked() override { return m_checked; }
    void SetChecked(bool checked) override { m_checked = checked; }

  private:
    bool m_enabled = true;
    bool m_checked = false;
};

class FakeIpAddress : public IpAddressControl {
  public:
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    bool IsEnabled() override { return m_enabled; }
    std::array<int, 4> FieldValues() override { return m_fields; }
    std::string Text() override {
        return std::to_string(m_fields[0]) + "." + std::to_string(m_fields[1]) + "." +
               std::to_string(m_fields[2]) + "." + std::to_string(m_fields[3]);
    }
    void Set(int a, int b, int c, int d) { m_fields = {a, b, c, d}; }

  private:
    bool m_enabled = true;
    std::array<int, 4> m_fields{};
};

class FakeNumberEdit : public NumberEditControl {
  public:
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    bool IsEnabled() override { return m_enabled; }
    std::string Text() override { return m_text; }
    void SetText(const std::string& text) override { m_text = text; }

  private:
    bool m_enabled = true;
    std::string m_text;
};

// The dialog's controls in the states of its template, with the handlers over them.
class ConsetLogicTest : public ::testing::Test {
  protected:
    ConsetLogicTest() { m_list.SetEnabled(false); }

    // Adds a pair through the Add handler, as typed into the two fields.
    void Add(std::array<int, 4> address, std::array<int, 4> mask) {
        m_address.Set(address[0], address[1], address[2], address[3]);
        m_mask.Set(mask[0], mask[1], mask[2], mask[3]);
        m_logic.OnAdd();
    }

    void Check(bool checked) {
        m_checkBox.SetChecked(checked);
        m_logic.ApplyCheckBoxRule();
    }

    std::vector<std::string> Column(int column) { return m_rows.ColumnTexts(column); }

    ScopedTempDir m_dir;
    Settings m_settings = Settings::InFolder(m_dir.Path());
    FakeCheckBox m_checkBox;
    FakeControl m_addButton{false};
    FakeControl m_deleteButton{false};
    FakeListView m_rows;
    FakeControl m_list;
    FakeIpAddress m_address;
    FakeIpAddress m_mask;
    FakeNumberEdit m_timeout;
    std::vector<std::string> m_messages;
    ConsetLogic m_logic{m_settings,
                        ConsetControls{m_checkBox, m_addButton, m_deleteButton, m_rows, m_list,
                                       m_address, m_mask, m_timeout},
                        [this](const std::string& text) { m_messages.push_back(text); }};
};

TEST(ConsetChecksTest, AddressIsJudgedByItsFirstField) {
    for (int first : {0, 127, 224, 239, 255}) {
        EXPECT_FALSE(IsLegalAddress({first, 1, 1, 1})) << first;
    }
    for (int first : {1, 126, 128, 223}) {
        EXPECT_TRUE(IsLegalAddress({first, 0, 0, 0})) << first;
    }
    EXPECT_TRUE(IsLegalAddress({223, 255, 255, 255}));
}

TEST(ConsetChecksTest, MaskTableHoldsExactlyTheMasksWithEightToThirtyTwoOnes) {
    int accepted = 0;
    for (int ones = 0; ones <= 32; ++ones) {
        const unsigned mask = ones == 0 ? 0u : ~0u << (32 - ones);
        const std::string text =
            std::to_string(mask >> 24) + "." + std::to_string((mask >> 16) & 255) + "." +
            std::to_string((mask >> 8) & 255) + "." + std::to_string(mask & 255);
        EXPECT_EQ(IsInMaskTable(text), ones >= 8) << text;
        accepted += IsInMaskTable(text) ? 1 : 0;
    }
    EXPECT_EQ(accepted, 25);
    for (const char* text : {"", "0.0.0.0", "128.0.0.0", "255.255.255.000", " 255.0.0.0",
                             "255.0.0.0,", "\n", "255.255.255.25"}) {
        EXPECT_FALSE(IsInMaskTable(text)) << text;
    }
}

TEST(ConsetChecksTest, TimeoutTextConvertsLikeASignedDialogInteger) {
    EXPECT_EQ(ParseDialogInt("007"), 7);
    EXPECT_EQ(ParseDialogInt("120"), 120);
    EXPECT_EQ(ParseDialogInt("-5"), -5);
    EXPECT_EQ(ParseDialogInt(""), 0);
    EXPECT_EQ(ParseDialogInt("12a"), 0);
    EXPECT_EQ(ParseDialogInt("99999999999"), 0);
}

TEST_F(ConsetLogicTest, SpecifiedModeLoadsCheckedWithItsRows) {
    WriteFile(kSettingsFileName,
              "[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n"
              "IPAddress=10.0.0.1,10.0.0.2\nSubnet=255.0.0.0,255.255.0.0\n[TimeOut]\nTimeVal=10\n");
    m_logic.LoadSettings();
    EXPECT_TRUE(m_checkBox.IsChecked());
    EXPECT_EQ(Column(0), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"255.0.0.0", "255.255.0.0"}));
    EXPECT_TRUE(m_addButton.IsEnabled());
    EXPECT_FALSE(m_deleteButton.IsEnabled());
    EXPECT_TRUE(m_list.IsEnabled());
    EXPECT_TRUE(m_address.IsEnabled());
    EXPECT_TRUE(m_mask.IsEnabled());
    EXPECT_EQ(m_timeout.Text(), "10");
}

TEST_F(ConsetLogicTest, BroadcastModeShowsTheStoredRowsGreyed) {
    WriteFile(kSettingsFileName,
              "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
              "IPAddress=10.0.0.1\nSubnet=255.0.0.0\n[TimeOut]\nTimeVal=1000\n");
    m_logic.LoadSettings();
    EXPECT_FALSE(m_checkBox.IsChecked());
    EXPECT_EQ(Column(0), std::vector<std::string>{"10.0.0.1"});
    EXPECT_FALSE(m_addButton.IsEnabled());
    EXPECT_FALSE(m_list.IsEnabled());
    EXPECT_FALSE(m_address.IsEnabled());
    EXPECT_FALSE(m_mask.IsEnabled());
    EXPECT_EQ(m_timeout.Text(), "100");
}

TEST_F(ConsetLogicTest, UndefinedModeLoadsNoList) {
    WriteFile(kSettingsFileName,
              "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n"
              "IPAddress=10.0.0.1\nSubnet=255.0.0.0\n");
    m_logic.LoadSettings();
    EXPECT_FALSE(m_checkBox.IsChecked());
    EXPECT_EQ(m_rows.ItemCount(), 0);
    EXPECT_FALSE(m_address.IsEnabled());
    EXPECT_EQ(m_timeout.Text(), "");
}

TEST_F(ConsetLogicTest, TwentyStoredRowsLeaveAddDisabled) {
    std::string addresses;
    std::string masks;
    for (int i = 0; i < 20; ++i) {
        addresses += (i ? "," : "") + std::string("10.0.0.") + std::to_string(i);
        masks += (i ? "," : "") + std::string("255.0.0.0");
    }
    WriteFile(kSettingsFileName,
              "[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\n"
              "Status=Enabled\nIPAddress=" +
                  addresses + "\nSubnet=" + masks + "\n");
    m_logic.LoadSettings();
    EXPECT_EQ(m_rows.ItemCount(), 20);
    EXPECT_FALSE(m_addButton.IsEnabled());
}

TEST_F(ConsetLogicTest, RefusedAddsShowTheirMessageAndChangeNothing) {
    Check(true);
    Add({0, 0, 0, 0}, {255, 0, 0, 0});
    Add({127, 0, 0, 1}, {255, 0, 0, 0});
    Add({224, 0, 0, 0}, {255, 0, 0, 0});
    Add({10, 0, 0, 1}, {0, 0, 0, 0});
    Add({10, 0, 0, 1}, {128, 0, 0, 0});
    EXPECT_EQ(m_messages, (std::vector<std::string>{kIllegalAddressMessage, kIllegalAddressMessage,
                                                    kIllegalAddressMessage, kIllegalMaskMessage,
                                                    kIllegalMaskMessage}));
    EXPECT_EQ(m_rows.ItemCount(), 0);
    EXPECT_EQ(m_mask.Text(), "128.0.0.0");
}

TEST_F(ConsetLogicTest, RepeatedPairMovesToTheEndAndAnotherMaskAddsARow) {
    Check(true);
    Add({10, 0, 0, 1}, {255, 0, 0, 0});
    Add({10, 0, 0, 2}, {255, 0, 0, 0});
    Add({10, 0, 0, 1}, {255, 0, 0, 0});
    EXPECT_EQ(Column(0), (std::vector<std::string>{"10.0.0.2", "10.0.0.1"}));
    Add({10, 0, 0, 2}, {255, 255, 255, 255});
    EXPECT_EQ(Column(0), (std::vector<std::string>{"10.0.0.2", "10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"255.0.0.0", "255.0.0.0", "255.255.255.255"}));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(ConsetLogicTest, AddDisablesDeleteAndLeavesTheSelectionAlone) {
    Check(true);
    Add({10, 0, 0, 1}, {255, 0, 0, 0});
    m_rows.Select(0);
    m_logic.OnSelectionChanged();
    EXPECT_TRUE(m_deleteButton.IsEnabled());
    Add({10, 0, 0, 2}, {255, 0, 0, 0});
    EXPECT_FALSE(m_deleteButton.IsEnabled());
    EXPECT_EQ(m_rows.NextSelected(-1), 0);
    EXPECT_EQ(m_rows.NextSelected(0), -1);
}

TEST_F(ConsetLogicTest, TheTwentiethRowDisablesAddAndADeleteEnablesIt) {
    Check(true);
    for (int i = 1; i <= 20; ++i) {
        Add({10, 0, 0, i}, {255, 255, 255, 0});
    }
    EXPECT_EQ(m_rows.ItemCount(), 20);
    EXPECT_FALSE(m_addButton.IsEnabled());
    Add({10, 0, 0, 99}, {255, 255, 255, 0});
    EXPECT_EQ(m_rows.ItemCount(), 20);
    EXPECT_TRUE(m_messages.empty());

    m_rows.Select(4);
    m_logic.OnSelectionChanged();
    m_logic.OnDelete();
    EXPECT_EQ(m_rows.ItemCount(), 19);
    EXPECT_TRUE(m_addButton.IsEnabled());
    EXPECT_FALSE(m_deleteButton.IsEnabled());
}

TEST_F(ConsetLogicTest, DeleteRemovesExactlyTheSelectedRows) {
    Check(true);
    for (int i = 0; i < 6; ++i) {
        Add({10, 0, 0, i}, {255, 0, 0, 0});
    }
    m_rows.Select(0);
    m_rows.Select(2);
    m_rows.Select(5);
    m_logic.OnSelectionChanged();
    m_logic.OnDelete();
    EXPECT_EQ(Column(0), (std::vector<std::string>{"10.0.0.1", "10.0.0.3", "10.0.0.4"}));
}

TEST_F(ConsetLogicTest, ClearingTheBoxDisablesEverythingAndRecheckingKeepsDeleteOff) {
    Check(true);
    Add({10, 0, 0, 1}, {255, 0, 0, 0});
    m_rows.Select(0);
    m_logic.OnSelectionChanged();
    Check(false);
    EXPECT_FALSE(m_addButton.IsEnabled());
    EXPECT_FALSE(m_deleteButton.IsEnabled());
    EXPECT_FALSE(m_list.IsEnabled());
    EXPECT_FALSE(m_address.IsEnabled());
    EXPECT_EQ(m_rows.ItemCount(), 1);
    // A selection change while the box is cleared does not bring "Delete" back.
    m_logic.OnSelectionChanged();
    EXPECT_FALSE(m_deleteButton.IsEnabled());
    Check(true);
    EXPECT_TRUE(m_addButton.IsEnabled());
    EXPECT_FALSE(m_deleteButton.IsEnabled());
}

TEST_F(ConsetLogicTest, OkChecksTheTimeoutRangeBeforeWriting) {
    Check(true);
    for (const char* text : {"5", "121", "", "0", "-7"}) {
        m_timeout.SetText(text);
        EXPECT_FALSE(m_logic.OnOk()) << text;
    }
    EXPECT_EQ(m_messages.size(), 5u);
    EXPECT_EQ(m_messages.back(), kTimeoutRangeMessage);
    EXPECT_FALSE(std::filesystem::exists(kSettingsFileName));

    m_timeout.SetText("6");
    EXPECT_TRUE(m_logic.OnOk());
    m_timeout.SetText("120");
    EXPECT_TRUE(m_logic.OnOk());
    EXPECT_EQ(ReadTimeoutText(m_settings), "120");
}

TEST_F(ConsetLogicTest, OkSavesTheRowsInListOrderWhateverTheBox) {
    Check(true);
    Add({192, 168, 1, 0}, {255, 255, 255, 0});
    Add({10, 0, 0, 5}, {255, 255, 255, 255});
    Check(false);
    m_timeout.SetText("007");
    ASSERT_TRUE(m_logic.OnOk());
    EXPECT_EQ(ReadSearchMode(m_settings), SearchMode::Broadcast);
    EXPECT_EQ(ReadTimeoutText(m_settings), "7");
    char addresses[20][16] = {};
    char masks[20][16] = {};
    int count = 0;
    ASSERT_EQ(ReadAddressList(m_settings, count, addresses, masks, 20), 1);
    EXPECT_EQ(count, 2);
    EXPECT_STREQ(addresses[0], "192.168.1.0");
    EXPECT_STREQ(masks[1], "255.255.255.255");
}

}  // namespace
}  // namespace vindle
