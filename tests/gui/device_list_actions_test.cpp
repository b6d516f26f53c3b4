#include "app/qt/device_list_actions.h"

#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "app/qt/qarv_vindle_dlg.h"
#include "fakes/fake_network.h"
#include "fakes/temp_dir.h"
#include "gui_test_support.h"

namespace vindle {
namespace {

constexpr std::int64_t kSecond = 1000000;

// The main window after a search that listed three printers, with the browser, the message box
// and the file dialog answered by the test.
class DeviceListActionsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_previousOpener = DeviceListActions::SetUrlOpener([this](const QUrl& url) {
            m_urls.append(url);
            return m_browserStarts;
        });
        m_previousMessageHook = DeviceListActions::SetMessageBoxHook([this](QMessageBox& box) {
            m_messages.append(box.text());
            EXPECT_EQ(box.windowTitle(), "Qarv Vindle");
            EXPECT_EQ(box.icon(), QMessageBox::Warning);
            EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
        });
        m_previousFileHook = DeviceListActions::SetFileDialogHook([this](QFileDialog& dialog) {
            EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
            dialog.selectNameFilter(m_saveFilter);
            dialog.selectFile(m_savePath);
            return true;
        });

        const std::array<const char*, 3> addresses = {"198.51.100.30", "198.51.100.4",
                                                      "198.51.100.200"};
        const std::array<const char*, 3> serials = {"SN30", "SN04", "SN200"};
        for (std::size_t index = 0; index < addresses.size(); ++index) {
            const auto tail = static_cast<std::uint8_t>(index + 1);
            FakePrinter printer = MakeFakePrinter(addresses[index], "QV-100", serials[index],
                                                  {0x00, 0x1b, 0x6e, 0x22, 0x10, tail});
            printer.discovery.delayMicros = kSecond;
            m_network.AddPrinter(printer);
        }
        m_dlg = std::make_unique<CQarvVindleDlg>(m_network, m_settings);
        ASSERT_TRUE(test::ShowAndActivate(*m_dlg));
        ASSERT_TRUE(test::RunSearch(*m_dlg));
        ASSERT_EQ(List()->topLevelItemCount(), 3);
    }

    void TearDown() override {
        m_dlg.reset();
        DeviceListActions::SetUrlOpener(m_previousOpener);
        DeviceListActions::SetMessageBoxHook(m_previousMessageHook);
        DeviceListActions::SetFileDialogHook(m_previousFileHook);
    }

    QTreeWidget* List() { return test::DeviceList(*m_dlg); }
    // The centre of `row` in the window's coordinates: the clicks below go through the window, as
    // the desktop's do, so that the application makes the double-clicks and context-menu events.
    QPoint RowCenter(int row) {
        const QPoint center = List()->visualItemRect(List()->topLevelItem(row)).center();
        return List()->viewport()->mapTo(m_dlg.get(), center);
    }
    QWindow* Window() { return m_dlg->windowHandle(); }
    QString Dir() const { return QString::fromStdString(m_dir.Path().string()) + "/"; }
    static QString Clipboard() { return QGuiApplication::clipboard()->text(); }

    // Right-clicks `row` and chooses the menu entry named `action`.
    void ChooseFromMenu(int row, const char* action) {
        QTest::mouseClick(Window(), Qt::RightButton, {}, RowCenter(row));
        ASSERT_TRUE(test::ProcessEventsUntil([] { return QApplication::activePopupWidget(); }));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        auto* entry = menu->findChild<QAction*>(action);
        ASSERT_NE(entry, nullptr) << action;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
        ASSERT_TRUE(test::ProcessEventsUntil([] { return !QApplication::activePopupWidget(); }));
    }

    // Saves the list through Tool, "Save List As" and returns the file written.
    QByteArray SaveList(const QString& name, const QString& filter, const QString& written) {
        m_savePath = Dir() + name;
        m_saveFilter = filter;
        QTest::keyClick(List(), Qt::Key_T, Qt::AltModifier);
        EXPECT_TRUE(test::ProcessEventsUntil([] { return QApplication::activePopupWidget(); }));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_S);
        QFile file(Dir() + written);
        EXPECT_TRUE(test::ProcessEventsUntil([&] { return file.exists(); }));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    ScopedTempDir m_dir;
    Settings m_settings = Settings::InFolder(m_dir.Path());
    FakeNetwork m_network;
    std::unique_ptr<CQarvVindleDlg> m_dlg;
    QList<QUrl> m_urls;
    bool m_browserStarts = true;
    QStringList m_messages;
    QString m_savePath;
    QString m_saveFilter;

  private:
    DeviceListActions::UrlOpener m_previousOpener;
    DeviceListActions::MessageBoxHook m_previousMessageHook;
    DeviceListActions::FileDialogHook m_previousFileHook;
};

TEST_F(DeviceListActionsTest, DoubleClickOpensThatRowsPage) {
    QTest::mouseDClick(Window(), Qt::LeftButton, {}, RowCenter(2));
    ASSERT_EQ(m_urls.size(), 1);
    EXPECT_EQ(m_urls[0], QUrl("http://198.51.100.200"));
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(DeviceListActionsTest, ContextMenuAndCtrlCActOnTheSelectedRows) {
    test::ClickRow(*List(), 0);
    test::ClickRow(*List(), 2, Qt::ControlModifier);

    ChooseFromMenu(2, "copyIpAction");
    EXPECT_EQ(Clipboard(), "198.51.100.4\n198.51.100.200");
    ChooseFromMenu(2, "copyMacAction");
    EXPECT_EQ(Clipboard(), "00:1b:6e:22:10:02\n00:1b:6e:22:10:03");
    ChooseFromMenu(0, "copyRowsAction");
    EXPECT_EQ(Clipboard().count('\n'), 3);
    EXPECT_TRUE(Clipboard().startsWith("IP Address\t"));
    ChooseFromMenu(2, "openWebPageAction");
    ASSERT_EQ(m_urls.size(), 1);
    EXPECT_EQ(m_urls[0], QUrl("http://198.51.100.200"));
    // The list on its own would copy the current cell only.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(List(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(Clipboard().startsWith("IP Address\t"));

    // Below the last row there is no menu.
    QTest::mouseClick(Window(), Qt::RightButton, {}, RowCenter(2) + QPoint(0, 100));
    QTest::qWait(50);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(DeviceListActionsTest, SaveListAsWritesTheFileAndTheFormatTheDialogChose) {
    const auto json = nlohmann::json::parse(
        SaveList("printers", "JSON files (*.json)", "printers.json").toStdString());
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[0]["ip"], "198.51.100.4");
    EXPECT_TRUE(
        SaveList("printers", "CSV files (*.csv)", "printers.csv").startsWith("IP Address,"));
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(DeviceListActionsTest, WithoutABrowserTheMessageShowsTheAddress) {
    m_browserStarts = false;
    test::ClickRow(*List(), 1);
    QTest::mouseClick(test::BrowseButton(*m_dlg), Qt::LeftButton);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains("http://198.51.100.30")) << m_messages[0].toStdString();
}

}  // namespace
}  // namespace vindle
