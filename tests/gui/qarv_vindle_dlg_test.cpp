#include "app/qt/qarv_vindle_dlg.h"

#include <QElapsedTimer>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "fakes/fake_network.h"
#include "fakes/temp_dir.h"
#include "gui_test_support.h"
#include "settings/settings_file.h"

namespace vindle {
namespace {

using std::chrono::milliseconds;

constexpr std::int64_t kSecond = 1000000;

FakePrinter Printer(const char* address, const char* model, const char* serial,
                    std::uint8_t macTail, std::int64_t delayMicros) {
    FakePrinter printer =
        MakeFakePrinter(address, model, serial, {0x00, 0x1b, 0x6e, 0x22, 0x10, macTail});
    printer.discovery.delayMicros = delayMicros;
    return printer;
}

// The main window on a fake network, in a working directory of its own.
class MainWindowTest : public ::testing::Test {
  protected:
    void Open(Network& network) {
        m_dlg = std::make_unique<CQarvVindleDlg>(network, m_settings);
        ASSERT_TRUE(test::ShowAndActivate(*m_dlg));
    }
    void Open() { Open(m_network); }

    QPushButton* Retrieve() { return test::RetrieveButton(*m_dlg); }
    QLabel* StatusLine() { return m_dlg->findChild<QLabel*>("statusLine"); }
    QPushButton* Browse() { return test::BrowseButton(*m_dlg); }
    QTreeWidget* List() { return test::DeviceList(*m_dlg); }

    // Three printers whose numeric address order differs from their text order.
    void AddThreePrinters() {
        m_network.AddPrinter(Printer("198.51.100.30", "QV-200", "SN30", 0x30, kSecond / 2));
        m_network.AddPrinter(Printer("198.51.100.4", "QV-100", "SN04", 0x04, kSecond));
        m_network.AddPrinter(Printer("198.51.100.200", "QV-300", "SN200", 0xc8, 2 * kSecond));
    }

    bool RunSearch() { return test::RunSearch(*m_dlg); }

    std::vector<std::string> Column(int column) { return test::ColumnTexts(*List(), column); }

    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        test::ClickRow(*List(), row, modifiers);
    }
    void ClickHeader(int column, Qt::MouseButton button = Qt::LeftButton) {
        test::ClickHeader(*List(), column, button);
    }

    ScopedTempDir m_dir;
    Settings m_settings = Settings::InFolder(m_dir.Path());
    FakeNetwork m_network;
    std::unique_ptr<CQarvVindleDlg> m_dlg;
};

TEST_F(MainWindowTest, OpensAsTheTemplateDescribes) {
    Open();
    EXPECT_EQ(m_dlg->windowTitle(), "Qarv Vindle");
    EXPECT_FALSE(m_dlg->windowIcon().isNull());
    EXPECT_EQ(m_dlg->minimumSize(), m_dlg->maximumSize());
    const Qt::WindowFlags flags = m_dlg->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));

    auto* title = m_dlg->findChild<QLabel*>("titleLabel");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), "Qarv Vindle");
    // A 32-pixel cell: ascent plus descent.
    EXPECT_LE(QFontMetrics(title->font()).height(), 32);
    EXPECT_GE(QFontMetrics(title->font()).height(), 30);
    EXPECT_EQ(title->font().styleHint(), QFont::Serif);

    EXPECT_EQ(Retrieve()->text(), "Retrieve");
    EXPECT_TRUE(Retrieve()->isDefault());
    EXPECT_TRUE(Retrieve()->isEnabled());
    EXPECT_TRUE(Retrieve()->hasFocus());
    EXPECT_EQ(Browse()->text(), "Browse");
    EXPECT_FALSE(Browse()->isEnabled());

    QTreeWidget* list = List();
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_FALSE(list->isSortingEnabled());
    EXPECT_EQ(list->topLevelItemCount(), 0);
    const std::array<const char*, 4> titles = {"IP Address", "MAC Address", "Model number",
                                               "Serial number"};
    ASSERT_EQ(list->columnCount(), 4);
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(list->headerItem()->text(column), titles[column]);
        EXPECT_EQ(list->header()->sectionSize(column), 115);
    }
    EXPECT_TRUE(list->header()->defaultAlignment().testFlag(Qt::AlignLeft));

    // Tab order: Retrieve, the list, Browse.
    EXPECT_EQ(Retrieve()->nextInFocusChain(), list);

    // The first start writes the default settings: a broadcast search.
    EXPECT_TRUE(std::filesystem::exists(m_dir.Path() / kSettingsFileName));
    EXPECT_EQ(ReadSearchMode(m_settings), SearchMode::Broadcast);
}

TEST_F(MainWindowTest, MenuHoldsItsCommandsWithoutShortcuts) {
    Open();
    auto* menuBar = m_dlg->findChild<QMenuBar*>("menuBar");
    ASSERT_NE(menuBar, nullptr);
    const QList<QAction*> menus = menuBar->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "Tool(&T)");
    EXPECT_EQ(menus[1]->text(), "Help(&H)");
    ASSERT_EQ(menus[0]->menu()->actions().size(), 2);
    ASSERT_EQ(menus[1]->menu()->actions().size(), 1);
    EXPECT_EQ(menus[0]->menu()->actions()[0]->text(), "Configuration(&C)");
    EXPECT_EQ(menus[0]->menu()->actions()[1]->text(), "Save List As(&S)...");
    EXPECT_TRUE(menus[0]->menu()->actions()[1]->shortcut().isEmpty());
    EXPECT_EQ(menus[1]->menu()->actions()[0]->text(), "About(&A)");
    EXPECT_TRUE(menus[0]->menu()->actions()[0]->shortcut().isEmpty());
    EXPECT_TRUE(menus[1]->menu()->actions()[0]->shortcut().isEmpty());
}

TEST_F(MainWindowTest, EveryTextFitsItsControl) {
    Open();
    const QRect client = m_dlg->findChild<QWidget*>("client")->rect();
    for (QPushButton* button : {Retrieve(), Browse()}) {
        const int needed = QFontMetrics(button->font()).horizontalAdvance(button->text()) +
                           2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin);
        EXPECT_LE(needed, button->width()) << button->text().toStdString();
        EXPECT_TRUE(client.contains(button->geometry()));
    }
    auto* title = m_dlg->findChild<QLabel*>("titleLabel");
    const QFontMetrics titleMetrics(title->font());
    EXPECT_LE(titleMetrics.horizontalAdvance(title->text()), title->width());
    EXPECT_LE(titleMetrics.height(), title->height());
    // Titles fit their 115-pixel columns, and the four columns fit the list.
    QHeaderView* header = List()->header();
    for (int column = 0; column < 4; ++column) {
        EXPECT_LE(
            QFontMetrics(header->font()).horizontalAdvance(List()->headerItem()->text(column)) +
                2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin),
            header->sectionSize(column));
    }
    EXPECT_LE(header->length(), List()->viewport()->width());
    EXPECT_TRUE(client.contains(List()->geometry()));
}

TEST_F(MainWindowTest, RetrieveListsPrintersInAddressOrderUntilTheQuietTimePasses) {
    AddThreePrinters();
    Open();

    QTest::mouseClick(Retrieve(), Qt::LeftButton);
    EXPECT_FALSE(Retrieve()->isEnabled());
    ASSERT_TRUE(test::ProcessEventsUntil([this] { return Retrieve()->isEnabled(); }));

    EXPECT_EQ(Column(0),
              (std::vector<std::string>{"198.51.100.4", "198.51.100.30", "198.51.100.200"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"00:1b:6e:22:10:04", "00:1b:6e:22:10:30",
                                                   "00:1b:6e:22:10:c8"}));
    EXPECT_EQ(Column(2), (std::vector<std::string>{"QV-100", "QV-200", "QV-300"}));
    EXPECT_EQ(Column(3), (std::vector<std::string>{"SN04", "SN30", "SN200"}));
    // The last reply came at 2 s; the search ended after 6 quiet seconds.
    EXPECT_EQ(m_network.Now(), 8 * kSecond);
    const FakeNetwork::WaitRecord last = m_network.Waits().back();
    EXPECT_EQ(last.limit, (WaitTime{6, 0}));
    EXPECT_EQ(last.result, 0);

    // A second search replaces the rows instead of adding to them.
    ASSERT_TRUE(RunSearch());
    EXPECT_EQ(List()->topLevelItemCount(), 3);
    EXPECT_EQ(m_network.OpenedSocketCount(), 2 + 2 * 3);
}

TEST_F(MainWindowTest, HeaderClicksSortAndTheSelectionMovesWithItsRow) {
    AddThreePrinters();
    test::UrlRecorder browser;
    Open();
    ASSERT_TRUE(RunSearch());
    EXPECT_FALSE(Browse()->isEnabled());
    ClickRow(2);  // 198.51.100.200
    EXPECT_TRUE(Browse()->isEnabled());

    ClickHeader(3);
    EXPECT_EQ(m_dlg->SortColumn(), 3);
    EXPECT_TRUE(m_dlg->SortAscending());
    EXPECT_EQ(Column(3), (std::vector<std::string>{"SN04", "SN200", "SN30"}));
    ClickHeader(3);
    EXPECT_FALSE(m_dlg->SortAscending());
    EXPECT_EQ(Column(3), (std::vector<std::string>{"SN30", "SN200", "SN04"}));

    // A right click changes nothing at all.
    ClickHeader(2, Qt::RightButton);
    EXPECT_EQ(m_dlg->SortColumn(), 3);
    EXPECT_EQ(Column(3), (std::vector<std::string>{"SN30", "SN200", "SN04"}));

    QTest::mouseClick(Browse(), Qt::LeftButton);
    ASSERT_EQ(browser.Urls().size(), 1);
    EXPECT_EQ(browser.Urls()[0], QUrl("http://198.51.100.200"));

    // The rows are ordered by the window alone: the list's own sorting stays off.
    EXPECT_FALSE(List()->isSortingEnabled());
    EXPECT_FALSE(List()->header()->isSortIndicatorShown());
}

TEST_F(MainWindowTest, EscapeNeverClosesTheWindowButTheCloseBoxDoes) {
    AddThreePrinters();
    Open();
    ASSERT_TRUE(RunSearch());
    ClickRow(0);
    ASSERT_TRUE(Browse()->isEnabled());

    for (QWidget* control :
         std::initializer_list<QWidget*>{Retrieve(), List(), Browse(), m_dlg.get()}) {
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Escape);
        EXPECT_TRUE(m_dlg->isVisible()) << control->objectName().toStdString();
    }

    m_dlg->windowHandle()->close();
    EXPECT_FALSE(m_dlg->isVisible());
}

TEST_F(MainWindowTest, EnterPressesRetrieveOnlyWhileItIsEnabled) {
    Open();
    m_network.SetHold(true);
    QTest::keyClick(Retrieve(), Qt::Key_Return);
    ASSERT_TRUE(
        test::ProcessEventsUntil([this] { return m_network.WaitUntilBlocked(milliseconds(1)); }));
    ASSERT_FALSE(Retrieve()->isEnabled());

    // The search runs: neither Enter (wherever the focus went) nor a click starts another.
    QTest::keyClick(m_dlg->focusWidget(), Qt::Key_Return);
    QTest::keyClick(List(), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::mouseClick(Retrieve(), Qt::LeftButton);
    EXPECT_EQ(m_network.OpenedSocketCount(), 1);

    m_network.SetHold(false);
    ASSERT_TRUE(test::ProcessEventsUntil([this] { return Retrieve()->isEnabled(); }));
    QTest::keyClick(List(), Qt::Key_Return);
    EXPECT_FALSE(Retrieve()->isEnabled());
    ASSERT_TRUE(test::ProcessEventsUntil([this] { return Retrieve()->isEnabled(); }));
    EXPECT_EQ(m_network.OpenedSocketCount(), 2);
}

TEST_F(MainWindowTest, AnUnusableSettingsFileIsReportedInTheStatusLineAndAtRetrieve) {
    // A folder where the file should be: it can be neither opened nor created, root or not.
    std::filesystem::create_directory(m_dir.Path() / kSettingsFileName);
    const QString path = QString::fromStdString((m_dir.Path() / kSettingsFileName).string());
    m_dlg = std::make_unique<CQarvVindleDlg>(m_network, m_settings);
    ASSERT_TRUE(test::ShowAndActivate(*m_dlg));
    // Said in the status line, without a box in the way; the tooltip holds the path.
    EXPECT_EQ(m_dlg->StatusText(),
              QStringLiteral("The settings file can be neither opened nor "
                             "created (Is a directory): searches cannot start"));
    EXPECT_EQ(StatusLine()->toolTip(), QStringLiteral("The settings file %1 can be neither opened "
                                                      "nor created:\nIs a directory\nSearches "
                                                      "cannot start until it can be read.")
                                           .arg(path));

    QTest::mouseClick(Retrieve(), Qt::LeftButton);
    EXPECT_TRUE(Retrieve()->isEnabled());
    EXPECT_EQ(m_network.OpenedSocketCount(), 0);
    EXPECT_EQ(m_dlg->StatusText(), QStringLiteral("The settings file cannot be read (Is a "
                                                  "directory): no search was started"));
    EXPECT_TRUE(m_dlg->findChildren<QMessageBox*>().isEmpty());
}

TEST_F(MainWindowTest, CommandsAreReachedThroughTheMenuMnemonicsOnly) {
    Open();
    test::ModalDialogCatcher catcher;

    QTest::keyClick(Retrieve(), Qt::Key_A, Qt::AltModifier);
    QTest::keyClick(Retrieve(), Qt::Key_C, Qt::AltModifier);
    QTest::qWait(100);
    EXPECT_TRUE(catcher.Seen().isEmpty());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    QTest::keyClick(Retrieve(), Qt::Key_H, Qt::AltModifier);
    ASSERT_TRUE(test::ProcessEventsUntil([] { return QApplication::activePopupWidget(); }));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_A);
    ASSERT_TRUE(test::ProcessEventsUntil([&] { return catcher.Seen().size() == 1; }));
    EXPECT_EQ(catcher.Seen()[0], "CAboutDlg");

    ASSERT_TRUE(test::ShowAndActivate(*m_dlg));
    QTest::keyClick(Retrieve(), Qt::Key_T, Qt::AltModifier);
    ASSERT_TRUE(test::ProcessEventsUntil([] { return QApplication::activePopupWidget(); }));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_C);
    ASSERT_TRUE(test::ProcessEventsUntil([&] { return catcher.Seen().size() == 2; }));
    EXPECT_EQ(catcher.Seen()[1], "CConsetDlg");
}

constexpr int kCloseRounds = 100;
// Far below the 6 s a search would otherwise wait, with room for a loaded machine.
constexpr qint64 kCloseLimitMs = 3000;

// Closes the window through its close box and destroys it: both at once, with every socket of
// the search closed.
void ExpectCloseBoxEndsAtOnce(std::unique_ptr<CQarvVindleDlg>& dlg, FakeNetwork& network,
                              int round) {
    QElapsedTimer clock;
    clock.start();
    dlg->windowHandle()->close();
    const bool closedAtOnce = !dlg->isVisible();
    dlg.reset();
    const qint64 elapsed = clock.elapsed();
    EXPECT_TRUE(closedAtOnce) << "round " << round;
    ASSERT_LT(elapsed, kCloseLimitMs) << "round " << round;
    EXPECT_EQ(network.OpenSocketCount(), 0) << "round " << round;
}

TEST_F(MainWindowTest, WorkerNeverWaitsForTheListAndClosingAtItsLastStepEndsAtOnce) {
    for (int round = 0; round < kCloseRounds; ++round) {
        FakeNetwork network;
        network.AddPrinter(Printer("198.51.100.7", "QV-100", "SN07", 0x07, 0));
        Open(network);
        QTest::mouseClick(Retrieve(), Qt::LeftButton);
        // This thread answers nothing, yet the worker lists the printer and ends its quiet wait:
        // its only call to this thread left is the one that enables "Retrieve".
        QElapsedTimer clock;
        clock.start();
        const auto quietWaitEnded = [&] {
            for (const auto& wait : network.Waits()) {
                if (wait.port == network.PortOfSocket(0) && wait.result == 0) {
                    return true;
                }
            }
            return false;
        };
        while (!quietWaitEnded() && clock.elapsed() < 5000) {
            QThread::usleep(200);
        }
        ASSERT_TRUE(quietWaitEnded()) << "round " << round;
        QThread::msleep(2);
        EXPECT_FALSE(Retrieve()->isEnabled()) << "round " << round;

        ExpectCloseBoxEndsAtOnce(m_dlg, network, round);
        ASSERT_FALSE(HasFatalFailure());
    }
}

TEST_F(MainWindowTest, ClosingDuringALongWaitEndsAtOnce) {
    for (int round = 0; round < kCloseRounds; ++round) {
        FakeNetwork network;
        network.SetHold(true);
        Open(network);
        QTest::mouseClick(Retrieve(), Qt::LeftButton);
        ASSERT_TRUE(test::ProcessEventsUntil([&] {
            return network.WaitUntilBlocked(milliseconds(1));
        })) << "round "
            << round;

        ExpectCloseBoxEndsAtOnce(m_dlg, network, round);
        ASSERT_FALSE(HasFatalFailure());
    }
}

TEST_F(MainWindowTest, ClosingDuringAProbeEndsAtOnce) {
    for (int round = 0; round < kCloseRounds; ++round) {
        FakeNetwork network;
        network.AddPrinter(Printer("198.51.100.9", "QV-100", "SN09", 0x09, 0));
        test::ProbeHoldNetwork probeHold(network);
        Open(probeHold);
        QTest::mouseClick(Retrieve(), Qt::LeftButton);
        ASSERT_TRUE(test::ProcessEventsUntil([&] {
            return probeHold.WaitUntilProbeHeld(milliseconds(1));
        })) << "round "
            << round;

        ExpectCloseBoxEndsAtOnce(m_dlg, network, round);
        ASSERT_FALSE(HasFatalFailure());
    }
}

}  // namespace
}  // namespace vindle
