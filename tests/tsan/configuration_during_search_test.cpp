// Saving the "Configuration Settings" dialog while a search runs: the worker reads the settings
// file for every reply it handles, the window's thread rewrites it. Each reply must see one whole
// configuration, the old or the new.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/qt/conset_dlg.h"
#include "app/qt/qarv_vindle_dlg.h"
#include "fakes/fake_network.h"
#include "fakes/temp_dir.h"
#include "gui_test_support.h"
#include "settings/settings_file.h"
#include "tsan/reply_pause_network.h"

namespace vindle {
namespace {

using Texts = std::vector<std::string>;

constexpr std::int64_t kSecond = 1000000;

// Answers every "Configuration Settings" dialog that opens: sets the "Search Specified Address"
// check box as asked and presses OK, with real mouse clicks.
class ConsetDriver : public QObject {
  public:
    ConsetDriver() {
        connect(&m_timer, &QTimer::timeout, this, &ConsetDriver::Poll);
        m_timer.start(2);
    }

    void SetSpecified(bool specified) { m_specified = specified; }
    int Saves() const { return m_saves; }

  private:
    void Poll() {
        auto* dialog = qobject_cast<CConsetDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        auto* check = dialog->findChild<QCheckBox*>("searchSpecifiedCheck");
        auto* ok = dialog->findChild<QPushButton*>("okButton");
        if (check == nullptr || ok == nullptr) {
            ADD_FAILURE() << "the dialog lacks its check box or OK";
            dialog->reject();
            return;
        }
        if (check->isChecked() != m_specified) {
            QTest::mouseClick(check, Qt::LeftButton);
        }
        QTest::mouseClick(ok, Qt::LeftButton);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "OK left the dialog open";
            dialog->reject();
            return;
        }
        ++m_saves;
    }

    QTimer m_timer;
    bool m_specified = true;
    int m_saves = 0;
};

class ConfigurationDuringSearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // An operator-error box would be a failure here; it is answered at once.
        m_previousHook = CConsetDlg::SetMessageBoxHook(
            [](QMessageBox& box) { ADD_FAILURE() << "message box: " << box.text().toStdString(); });
    }
    void TearDown() override {
        m_dlg.reset();
        CConsetDlg::SetMessageBoxHook(m_previousHook);
    }

    void AddPrinter(const std::string& address, std::int64_t delayMicros) {
        FakePrinter printer = MakeFakePrinter(address, "QV-100", "SN" + address.substr(11),
                                              {0x00, 0x1b, 0x6e, 0x22, 0x10, 0x01});
        printer.discovery.delayMicros = delayMicros;
        m_network.AddPrinter(printer);
    }

    void Open(Network& network) {
        m_dlg = std::make_unique<CQarvVindleDlg>(network, m_settings);
        ASSERT_TRUE(test::ShowAndActivate(*m_dlg));
    }

    QPushButton* Retrieve() { return test::RetrieveButton(*m_dlg); }
    QTreeWidget* List() { return test::DeviceList(*m_dlg); }
    QAction* ConfigurationAction() { return m_dlg->findChild<QAction*>("configurationAction"); }

    Texts Addresses() { return test::ColumnTexts(*List(), 0); }

    ScopedTempDir m_dir;
    Settings m_settings = Settings::InFolder(m_dir.Path());
    FakeNetwork m_network;
    test::ReplyPauseNetwork m_pause{m_network};
    std::unique_ptr<CQarvVindleDlg> m_dlg;
    CConsetDlg::MessageBoxHook m_previousHook;
};

TEST_F(ConfigurationDuringSearchTest, TheNextReplyAfterOkSeesTheNewMode) {
    AddPrinter("198.51.100.30", kSecond / 2);
    AddPrinter("198.51.100.20", kSecond);
    AddPrinter("198.51.100.10", 3 * kSecond / 2);
    AddPrinter("198.51.100.25", 2 * kSecond);
    m_pause.PauseBeforeWait(3);
    Open(m_pause);
    ASSERT_EQ(ReadSearchMode(Settings::InWorkingDirectory()), SearchMode::Broadcast);

    QTest::mouseClick(Retrieve(), Qt::LeftButton);
    // Broadcast status "Enabled": the first two replies are placed by address.
    ASSERT_TRUE(
        test::ProcessEventsUntil([&] { return m_pause.IsPaused() && Addresses().size() == 2; }));
    ASSERT_EQ(Addresses(), (Texts{"198.51.100.20", "198.51.100.30"}));

    // Tool > Configuration through the menu, as the operator does it, during the search.
    ConsetDriver driver;
    driver.SetSpecified(true);
    QWidget* focus = m_dlg->focusWidget() != nullptr ? m_dlg->focusWidget() : m_dlg.get();
    QTest::keyClick(focus, Qt::Key_T, Qt::AltModifier);
    ASSERT_TRUE(test::ProcessEventsUntil([] { return QApplication::activePopupWidget(); }));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_C);
    ASSERT_TRUE(test::ProcessEventsUntil([&] { return driver.Saves() == 1; }));
    ASSERT_EQ(ReadSearchMode(Settings::InWorkingDirectory()), SearchMode::Specified);
    EXPECT_FALSE(Retrieve()->isEnabled());

    m_pause.Resume();
    ASSERT_TRUE(test::ProcessEventsUntil([this] { return Retrieve()->isEnabled(); }));
    // Status "Disabled" from the next reply on: the broadcast search appends in arrival order.
    // Had the worker kept the old mode, the list would read .10, .20, .25, .30.
    EXPECT_EQ(Addresses(),
              (Texts{"198.51.100.20", "198.51.100.30", "198.51.100.10", "198.51.100.25"}));
    EXPECT_EQ(List()->topLevelItem(3)->text(3), QStringLiteral("SN25"));
}

TEST_F(ConfigurationDuringSearchTest, RepeatedSavesNeverHideTheModeFromTheWorker) {
    // Twenty printers in a scrambled address order, a tenth of a second apart.
    constexpr int kPrinters = 20;
    for (int i = 0; i < kPrinters; ++i) {
        const int host = 1 + (i * 7) % kPrinters;
        AddPrinter("198.51.100." + std::to_string(host), (i + 1) * kSecond / 10);
    }
    m_pause.PauseBeforeWait(2);
    Open(m_pause);
    ConsetDriver driver;

    QTest::mouseClick(Retrieve(), Qt::LeftButton);
    ASSERT_TRUE(test::ProcessEventsUntil([&] { return m_pause.IsPaused(); }));
    driver.SetSpecified(true);
    ConfigurationAction()->trigger();
    ASSERT_EQ(driver.Saves(), 1);
    m_pause.SlowEveryWait(std::chrono::milliseconds(5));
    m_pause.Resume();

    // Keep saving, flipping the mode each time, until the search has ended: every reply reads
    // the broadcast status while the file is being replaced.
    bool specified = true;
    while (!Retrieve()->isEnabled() && driver.Saves() < 2000) {
        specified = !specified;
        driver.SetSpecified(specified);
        ConfigurationAction()->trigger();
    }
    ASSERT_TRUE(test::ProcessEventsUntil([this] { return Retrieve()->isEnabled(); }));
    EXPECT_GT(driver.Saves(), 2);
    RecordProperty("saves", driver.Saves());

    // A reply that read no whole status ("" or a fragment) would have been dropped.
    const Texts addresses = Addresses();
    EXPECT_EQ(addresses.size(), static_cast<std::size_t>(kPrinters));
    EXPECT_EQ(std::set<std::string>(addresses.begin(), addresses.end()).size(), addresses.size());
    EXPECT_EQ(ReadSearchMode(Settings::InWorkingDirectory()),
              specified ? SearchMode::Specified : SearchMode::Broadcast);
    EXPECT_EQ(ReadTimeoutText(Settings::InWorkingDirectory()), "6");
}

}  // namespace
}  // namespace vindle
