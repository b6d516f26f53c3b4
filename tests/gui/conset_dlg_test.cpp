#include "app/qt/conset_dlg.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fakes/temp_dir.h"
#include "platform/qt/ip_address_edit.h"
#include "settings/settings_file.h"

namespace vindle {
namespace {

constexpr char kBroadcastWithList[] =
    "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
    "IPAddress=10.1.1.1,10.2.2.2\nSubnet=255.0.0.0,255.255.0.0\n[TimeOut]\nTimeVal=6\n";
constexpr char kSpecifiedEmpty[] =
    "[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n[TimeOut]\n"
    "TimeVal=6\n";

// The file's lines without the blank ones.
std::string Content() {
    std::string lines;
    for (const char c : ReadFile(kSettingsFileName)) {
        if (c != '\n' || (!lines.empty() && lines.back() != '\n')) {
            lines += c;
        }
    }
    return lines;
}

struct ShownMessage {
    QString text;
    QString title;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QWidget* owner;
};

// One "Configuration Settings" dialog, shown, over a settings file in a fresh folder. Message
// boxes are recorded and answered at once.
class ConsetDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_previousHook = CConsetDlg::SetMessageBoxHook([this](QMessageBox& box) {
            m_messages.push_back({box.text(), box.windowTitle(), box.icon(), box.standardButtons(),
                                  box.parentWidget()});
        });
    }

    void TearDown() override { CConsetDlg::SetMessageBoxHook(m_previousHook); }

    void Open(const std::string& file = "") {
        if (!file.empty()) {
            WriteFile(kSettingsFileName, file);
        }
        m_dialog = std::make_unique<CConsetDlg>(m_settings);
        m_dialog->show();
        QApplication::setActiveWindow(m_dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
    }

    template <typename T>
    T* Find(const char* name) {
        T* widget = m_dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
    QTreeWidget* List() { return Find<QTreeWidget>("addressList"); }
    QCheckBox* CheckBox() { return Find<QCheckBox>("searchSpecifiedCheck"); }

    void Click(QWidget* widget, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(widget, Qt::LeftButton, modifiers);
    }

    // Clears the field with the keyboard and types `text` part by part.
    void TypeInto(const char* name, const QString& text) {
        auto* edit = Find<IpAddressEdit>(name);
        for (int i = IpAddressEdit::kFieldCount - 1; i >= 0; --i) {
            Click(edit->Field(i));
            QTest::keyClick(edit->Field(i), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(edit->Field(i), Qt::Key_Delete);
        }
        for (const QChar c : text) {
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        }
    }

    void Add(const QString& address, const QString& mask) {
        TypeInto("addressEdit", address);
        TypeInto("maskEdit", mask);
        Click(Button("addButton"));
    }

    void SetTimeout(const QString& text) {
        auto* edit = Find<QLineEdit>("timeoutEdit");
        Click(edit);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTreeWidget* list = List();
        list->scrollToItem(list->topLevelItem(row));
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
    }

    std::vector<QString> Column(int column) {
        std::vector<QString> texts;
        for (int row = 0; row < List()->topLevelItemCount(); ++row) {
            texts.push_back(List()->topLevelItem(row)->text(column));
        }
        return texts;
    }

    std::vector<QString> Texts() {
        std::vector<QString> texts;
        for (const auto& message : m_messages) {
            texts.push_back(message.text);
        }
        return texts;
    }

    ScopedTempDir m_dir;
    Settings m_settings = Settings::InFolder(m_dir.Path());
    std::unique_ptr<CConsetDlg> m_dialog;
    std::vector<ShownMessage> m_messages;
    CConsetDlg::MessageBoxHook m_previousHook;
};

TEST_F(ConsetDlgTest, OpensWithTheTemplatesControlsAndStates) {
    Open(kBroadcastWithList);
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral("Configuration Settings"));
    EXPECT_EQ(CheckBox()->text(), QStringLiteral("   Search Specified Address"));
    EXPECT_FALSE(CheckBox()->isChecked());
    QTreeWidget* list = List();
    ASSERT_EQ(list->columnCount(), 2);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("IP Address"));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("Subnet Mask"));
    EXPECT_EQ(list->columnWidth(0), 115);
    EXPECT_EQ(list->columnWidth(1), 115);
    // The stored list shows greyed.
    EXPECT_EQ(Column(0), (std::vector<QString>{"10.1.1.1", "10.2.2.2"}));
    EXPECT_FALSE(list->isEnabled());
    EXPECT_FALSE(Find<IpAddressEdit>("addressEdit")->isEnabled());
    EXPECT_FALSE(Find<IpAddressEdit>("maskEdit")->isEnabled());
    EXPECT_FALSE(Button("addButton")->isEnabled());
    EXPECT_FALSE(Button("deleteButton")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>("timeoutEdit")->text(), QStringLiteral("6"));

    Click(CheckBox());
    EXPECT_TRUE(list->isEnabled());
    EXPECT_TRUE(Find<IpAddressEdit>("addressEdit")->isEnabled());
    EXPECT_TRUE(Button("addButton")->isEnabled());
    EXPECT_FALSE(Button("deleteButton")->isEnabled());
}

TEST_F(ConsetDlgTest, FieldsHaveAccessibleNamesAndTheirLabels) {
    Open(kBroadcastWithList);
    auto name = [](QWidget* widget) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        return accessible != nullptr ? accessible->text(QAccessible::Name) : QString();
    };
    auto* address = Find<IpAddressEdit>("addressEdit");
    auto* mask = Find<IpAddressEdit>("maskEdit");
    EXPECT_EQ(name(address), QStringLiteral("IP address"));
    EXPECT_EQ(name(address->Field(0)), QStringLiteral("IP address, part 1 of 4"));
    EXPECT_EQ(name(mask), QStringLiteral("Subnet mask"));
    EXPECT_EQ(name(mask->Field(3)), QStringLiteral("Subnet mask, part 4 of 4"));
    EXPECT_EQ(name(Find<QLineEdit>("timeoutEdit")), QStringLiteral("Timeout in seconds"));
    EXPECT_EQ(name(List()), QStringLiteral("Specified addresses"));
    EXPECT_EQ(Find<QLabel>("addressLabel")->buddy(), address);
    EXPECT_EQ(Find<QLabel>("maskLabel")->buddy(), mask);
    EXPECT_EQ(Find<QLabel>("timeoutLabel")->buddy(), Find<QLineEdit>("timeoutEdit"));
}

TEST_F(ConsetDlgTest, AddressesAreRefusedOrAcceptedByTheirFirstPart) {
    Open(kSpecifiedEmpty);
    for (const char* address : {"", "0.1.2.3", "127.0.0.1", "224.0.0.0", "255.255.255.255"}) {
        Add(QString::fromLatin1(address), QStringLiteral("255.0.0.0"));
    }
    EXPECT_EQ(Texts(), std::vector<QString>(5, QStringLiteral("Illegal IP Address")));
    EXPECT_EQ(List()->topLevelItemCount(), 0);

    const ShownMessage& box = m_messages.front();
    EXPECT_EQ(box.title, QStringLiteral("Qarv Vindle"));
    EXPECT_EQ(box.icon, QMessageBox::Warning);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(box.owner, m_dialog.get());

    Add(QStringLiteral("223.255.255.255"), QStringLiteral("255.0.0.0"));
    Add(QStringLiteral("1.0.0.0"), QStringLiteral("255.0.0.0"));
    EXPECT_EQ(m_messages.size(), 5u);
    EXPECT_EQ(Column(0), (std::vector<QString>{"223.255.255.255", "1.0.0.0"}));
    // Neither field is cleared by an Add.
    EXPECT_EQ(Find<IpAddressEdit>("addressEdit")->Text(), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(Find<IpAddressEdit>("maskEdit")->Text(), QStringLiteral("255.0.0.0"));
}

TEST_F(ConsetDlgTest, MasksMustBeInTheMaskTable) {
    Open(kSpecifiedEmpty);
    for (const char* mask : {"", "0.0.0.0", "128.0.0.0"}) {
        Add(QStringLiteral("10.0.0.1"), QString::fromLatin1(mask));
    }
    EXPECT_EQ(Texts(), std::vector<QString>(3, QStringLiteral("Illegal Subnet Mask")));
    for (const char* mask : {"255.0.0.0", "255.255.255.254", "255.255.255.255"}) {
        Add(QStringLiteral("10.0.0.1"), QString::fromLatin1(mask));
    }
    EXPECT_EQ(m_messages.size(), 3u);
    EXPECT_EQ(Column(1), (std::vector<QString>{"255.0.0.0", "255.255.255.254", "255.255.255.255"}));
}

TEST_F(ConsetDlgTest, RepeatedPairMovesToTheEndAndAnotherMaskAddsARow) {
    Open(kSpecifiedEmpty);
    Add(QStringLiteral("10.0.0.1"), QStringLiteral("255.0.0.0"));
    Add(QStringLiteral("10.0.0.2"), QStringLiteral("255.0.0.0"));
    Add(QStringLiteral("10.0.0.1"), QStringLiteral("255.0.0.0"));
    EXPECT_EQ(Column(0), (std::vector<QString>{"10.0.0.2", "10.0.0.1"}));
    Add(QStringLiteral("10.0.0.2"), QStringLiteral("255.255.0.0"));
    EXPECT_EQ(Column(0), (std::vector<QString>{"10.0.0.2", "10.0.0.1", "10.0.0.2"}));
    EXPECT_EQ(Column(1), (std::vector<QString>{"255.0.0.0", "255.0.0.0", "255.255.0.0"}));
    // New rows are not selected.
    EXPECT_TRUE(List()->selectedItems().isEmpty());
}

TEST_F(ConsetDlgTest, TwentyRowsDisableAddAndADeleteEnablesIt) {
    Open(kSpecifiedEmpty);
    for (int i = 1; i <= 20; ++i) {
        Add(QStringLiteral("10.0.0.%1").arg(i), QStringLiteral("255.255.255.0"));
    }
    EXPECT_EQ(List()->topLevelItemCount(), 20);
    EXPECT_FALSE(Button("addButton")->isEnabled());

    ClickRow(7);
    EXPECT_TRUE(Button("deleteButton")->isEnabled());
    Click(Button("deleteButton"));
    EXPECT_EQ(List()->topLevelItemCount(), 19);
    EXPECT_TRUE(Button("addButton")->isEnabled());
    EXPECT_FALSE(Button("deleteButton")->isEnabled());
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(ConsetDlgTest, DeleteRemovesExactlyTheSelectedRows) {
    Open(kSpecifiedEmpty);
    for (int i = 0; i < 6; ++i) {
        Add(QStringLiteral("10.0.0.%1").arg(i), QStringLiteral("255.0.0.0"));
    }
    ClickRow(1);
    ClickRow(3, Qt::ControlModifier);
    ClickRow(4, Qt::ControlModifier);
    Click(Button("deleteButton"));
    EXPECT_EQ(Column(0), (std::vector<QString>{"10.0.0.0", "10.0.0.2", "10.0.0.5"}));
}

TEST_F(ConsetDlgTest, RecheckingTheBoxKeepsDeleteOffUntilTheSelectionChanges) {
    Open(kSpecifiedEmpty);
    Add(QStringLiteral("10.0.0.1"), QStringLiteral("255.0.0.0"));
    Add(QStringLiteral("10.0.0.2"), QStringLiteral("255.0.0.0"));
    ClickRow(0);
    ASSERT_TRUE(Button("deleteButton")->isEnabled());
    Click(CheckBox());
    EXPECT_FALSE(Button("deleteButton")->isEnabled());
    EXPECT_FALSE(Button("addButton")->isEnabled());
    EXPECT_FALSE(List()->isEnabled());
    EXPECT_EQ(List()->topLevelItemCount(), 2);
    Click(CheckBox());
    EXPECT_FALSE(Button("deleteButton")->isEnabled());
    ClickRow(1);
    EXPECT_TRUE(Button("deleteButton")->isEnabled());
}

TEST_F(ConsetDlgTest, TimeoutOutsideSixToHundredTwentyIsRefused) {
    Open(kBroadcastWithList);
    const std::string before = ReadFile(kSettingsFileName);
    for (const char* text : {"5", "121", ""}) {
        SetTimeout(QString::fromLatin1(text));
        Click(Button("okButton"));
        EXPECT_TRUE(m_dialog->isVisible()) << text;
    }
    EXPECT_EQ(Texts(),
              std::vector<QString>(3, QStringLiteral("\"Timeout\" should be between 6 and 120")));
    EXPECT_EQ(ReadFile(kSettingsFileName), before);

    SetTimeout(QStringLiteral("6"));
    Click(Button("okButton"));
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(ReadTimeoutText(m_settings), "6");

    Open();
    SetTimeout(QStringLiteral("120"));
    QTest::keyClick(Find<QLineEdit>("timeoutEdit"), Qt::Key_Return);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(ReadTimeoutText(m_settings), "120");

    Open();
    SetTimeout(QStringLiteral("007"));
    Click(Button("okButton"));
    EXPECT_EQ(ReadTimeoutText(m_settings), "7");
    EXPECT_EQ(m_messages.size(), 3u);
}

TEST_F(ConsetDlgTest, CheckedWithRowsSavesTheSpecifiedMode) {
    Open(kSpecifiedEmpty);
    Add(QStringLiteral("192.168.1.0"), QStringLiteral("255.255.255.0"));
    Add(QStringLiteral("10.0.0.5"), QStringLiteral("255.255.255.255"));
    SetTimeout(QStringLiteral("10"));
    Click(Button("okButton"));
    EXPECT_EQ(Content(),
              "[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n"
              "IPAddress=192.168.1.0,10.0.0.5\nSubnet=255.255.255.0,255.255.255.255\n"
              "[TimeOut]\nTimeVal=10\n");
}

TEST_F(ConsetDlgTest, CheckedWithoutRowsSavesTheSpecifiedModeWithNoLists) {
    Open(kBroadcastWithList);
    Click(CheckBox());
    ClickRow(0);
    ClickRow(1, Qt::ControlModifier);
    Click(Button("deleteButton"));
    Click(Button("okButton"));
    EXPECT_EQ(Content(),
              "[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n"
              "[TimeOut]\nTimeVal=6\n");
}

TEST_F(ConsetDlgTest, ClearedWithRowsSavesBroadcastAndKeepsTheRows) {
    Open(kSpecifiedEmpty);
    Add(QStringLiteral("10.0.0.5"), QStringLiteral("255.255.255.255"));
    Click(CheckBox());
    Click(Button("okButton"));
    EXPECT_EQ(Content(),
              "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
              "IPAddress=10.0.0.5\nSubnet=255.255.255.255\n[TimeOut]\nTimeVal=6\n");

    // The next opening shows them greyed.
    Open();
    EXPECT_EQ(Column(0), std::vector<QString>{"10.0.0.5"});
    EXPECT_FALSE(List()->isEnabled());
    EXPECT_FALSE(CheckBox()->isChecked());
}

TEST_F(ConsetDlgTest, ClearedWithoutRowsSavesBroadcastWithNoLists) {
    Open(kSpecifiedEmpty);
    Click(CheckBox());
    Click(Button("okButton"));
    EXPECT_EQ(Content(),
              "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
              "[TimeOut]\nTimeVal=6\n");
}

TEST_F(ConsetDlgTest, AStatusPairSelectingNoModeOpensEmptyAndSavesBroadcast) {
    Open(
        "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n"
        "IPAddress=10.0.0.1\nSubnet=255.0.0.0\n[TimeOut]\nTimeVal=8\n");
    EXPECT_FALSE(CheckBox()->isChecked());
    EXPECT_EQ(List()->topLevelItemCount(), 0);
    Click(Button("okButton"));
    EXPECT_EQ(Content(),
              "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
              "[TimeOut]\nTimeVal=8\n");
}

TEST_F(ConsetDlgTest, AFailedSaveIsReportedAndTheDialogAndTheFileStay) {
    const std::string path = (m_dir.Path() / kSettingsFileName).string();
    // A read-only file: no write bit keeps even root from replacing it.
    Open(kBroadcastWithList);
    std::filesystem::permissions(kSettingsFileName, std::filesystem::perms(0444));
    Click(CheckBox());
    Click(Button("okButton"));
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_EQ(ReadFile(kSettingsFileName), kBroadcastWithList);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, QString::fromStdString("The settings could not be saved to " +
                                                         path + ":\nPermission denied"));
    EXPECT_EQ(m_messages[0].title, QStringLiteral("Qarv Vindle"));
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(m_messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(m_messages[0].owner, m_dialog.get());

    // A folder where the file should be: the system refuses, root or not.
    std::filesystem::remove(kSettingsFileName);
    std::filesystem::create_directory(kSettingsFileName);
    Click(Button("okButton"));
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_TRUE(std::filesystem::is_directory(kSettingsFileName));
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_TRUE(m_messages[1].text.endsWith(QStringLiteral(":\nIs a directory")));
}

TEST_F(ConsetDlgTest, EntriesTheDialogCannotShowSurviveASave) {
    // 22 pairs, the last address overlong and one mask without an address.
    std::string addresses;
    std::string masks;
    for (int i = 1; i <= 22; ++i) {
        addresses += "10.0.0." + std::to_string(i) + ",";
        masks += "255.255.255.0,";
    }
    addresses += "10.0.0.1234567890";
    masks += "255.0.0.0,255.255.0.0";
    const std::string file =
        "[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\n"
        "Status=Enabled\nIPAddress=" +
        addresses + "\nSubnet=" + masks + "\n[TimeOut]\nTimeVal=6\n";
    Open(file);
    EXPECT_EQ(List()->topLevelItemCount(), 20);
    Click(Button("okButton"));
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(Content(), file);
}

TEST_F(ConsetDlgTest, CancelAndEscapeLeaveTheFileUnchanged) {
    const std::string file = std::string(kBroadcastWithList) + "; hand-written note\n";
    Open(file);
    Click(CheckBox());
    Add(QStringLiteral("10.9.9.9"), QStringLiteral("255.0.0.0"));
    SetTimeout(QStringLiteral("99"));
    Click(Button("cancelButton"));
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(ReadFile(kSettingsFileName), file);

    Open();
    Click(CheckBox());
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(ReadFile(kSettingsFileName), file);
}

}  // namespace
}  // namespace vindle
