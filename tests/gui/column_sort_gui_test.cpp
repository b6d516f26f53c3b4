// Sorting the device list by header clicks on the real main window: real mouse events on the
// header, searches on the fake network.
#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/qt/qarv_vindle_dlg.h"
#include "fakes/fake_network.h"
#include "fakes/temp_dir.h"
#include "gui_test_support.h"
#include "tsan/reply_pause_network.h"

namespace vindle {
namespace {

using Texts = std::vector<std::string>;

constexpr std::int64_t kSecond = 1000000;
constexpr int kAddress = 0;
constexpr int kMac = 1;
constexpr int kModel = 2;
constexpr int kSerial = 3;

struct PrinterRow {
    const char* address;
    const char* model;
    const char* serial;
    std::uint8_t macTail;
};

// Serial numbers that order digits before upper case before lower case, and addresses whose
// text order differs from their numeric order.
constexpr PrinterRow kFourPrinters[] = {
    {"198.51.100.30", "QV-200", "SN30", 0x30},
    {"198.51.100.4", "QV-100", "sn04", 0x04},
    {"198.51.100.200", "QV-300", "SN200", 0xc8},
    {"198.51.100.9", "qv-050", "9ABC", 0x09},
};

std::string MacText(std::uint8_t tail) {
    static constexpr char kDigits[] = "0123456789abcdef";
    return std::string("00:1b:6e:22:10:") + kDigits[tail >> 4] + kDigits[tail & 0x0F];
}

class ColumnSortGuiTest : public ::testing::Test {
  protected:
    // Each printer answers the discovery request half a second after the previous one.
    void AddPrinters(FakeNetwork& network, const std::vector<PrinterRow>& printers) {
        std::int64_t delay = kSecond / 2;
        for (const PrinterRow& row : printers) {
            FakePrinter printer = MakeFakePrinter(row.address, row.model, row.serial,
                                                  {0x00, 0x1b, 0x6e, 0x22, 0x10, row.macTail});
            printer.discovery.delayMicros = delay;
            delay += kSecond / 2;
            network.AddPrinter(printer);
            m_known[row.address] = row;
        }
    }
    void AddPrinters(const std::vector<PrinterRow>& printers) { AddPrinters(m_network, printers); }
    void AddFourPrinters() {
        AddPrinters(std::vector<PrinterRow>(std::begin(kFourPrinters), std::end(kFourPrinters)));
    }

    void Open(Network& network) {
        m_dlg = std::make_unique<CQarvVindleDlg>(network, m_settings);
        ASSERT_TRUE(test::ShowAndActivate(*m_dlg));
    }
    void Open() { Open(m_network); }

    QPushButton* Retrieve() { return test::RetrieveButton(*m_dlg); }
    QPushButton* Browse() { return test::BrowseButton(*m_dlg); }
    QTreeWidget* List() { return test::DeviceList(*m_dlg); }

    bool RunSearch() { return test::RunSearch(*m_dlg); }

    Texts Column(int column) { return test::ColumnTexts(*List(), column); }

    // Every row still holds the four texts of one printer: no swap split a row.
    void ExpectRowsIntact() {
        for (int row = 0; row < List()->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = List()->topLevelItem(row);
            const auto known = m_known.find(item->text(kAddress).toStdString());
            ASSERT_NE(known, m_known.end()) << "row " << row;
            EXPECT_EQ(item->text(kMac).toStdString(), MacText(known->second.macTail));
            EXPECT_EQ(item->text(kModel).toStdString(), known->second.model);
            EXPECT_EQ(item->text(kSerial).toStdString(), known->second.serial);
        }
    }

    int RowOf(const std::string& address) {
        const Texts addresses = Column(kAddress);
        const auto it = std::find(addresses.begin(), addresses.end(), address);
        return it == addresses.end() ? -1 : static_cast<int>(it - addresses.begin());
    }

    Texts SelectedAddresses() {
        Texts addresses;
        for (int row = 0; row < List()->topLevelItemCount(); ++row) {
            if (List()->topLevelItem(row)->isSelected()) {
                addresses.push_back(List()->topLevelItem(row)->text(kAddress).toStdString());
            }
        }
        return addresses;
    }

    std::string CurrentAddress() {
        const QTreeWidgetItem* current = List()->currentItem();
        return current == nullptr ? std::string() : current->text(kAddress).toStdString();
    }

    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        test::ClickRow(*List(), row, modifiers);
    }
    void ClickHeader(int column) { test::ClickHeader(*List(), column); }

    ScopedTempDir m_dir;
    Settings m_settings = Settings::InFolder(m_dir.Path());
    FakeNetwork m_network;
    // Lets a test stop the search between two replies; the window must not outlive it.
    test::ReplyPauseNetwork m_pause{m_network};
    std::map<std::string, PrinterRow> m_known;
    std::unique_ptr<CQarvVindleDlg> m_dlg;
};

TEST_F(ColumnSortGuiTest, TheSelectedAndFocusedRowsTravelWithTheirDevices) {
    AddFourPrinters();
    test::UrlRecorder browser;
    Open();
    ASSERT_TRUE(RunSearch());
    ASSERT_EQ(Column(kAddress),
              (Texts{"198.51.100.4", "198.51.100.9", "198.51.100.30", "198.51.100.200"}));

    ClickRow(RowOf("198.51.100.30"));
    // Every column both ways: the device visits several rows.
    for (int column : {kSerial, kModel, kMac, kAddress}) {
        for (int click = 0; click < 2; ++click) {
            ClickHeader(column);
            SCOPED_TRACE("column " + std::to_string(column) + " click " + std::to_string(click));
            EXPECT_EQ(SelectedAddresses(), Texts{"198.51.100.30"});
            EXPECT_EQ(CurrentAddress(), "198.51.100.30");
            ExpectRowsIntact();
        }
    }

    // Serial ascending puts the device third; Browse opens it there.
    ClickHeader(kSerial);
    ASSERT_EQ(RowOf("198.51.100.30"), 2);
    QTest::mouseClick(Browse(), Qt::LeftButton);
    ASSERT_EQ(browser.Urls().size(), 1);
    EXPECT_EQ(browser.Urls()[0], QUrl("http://198.51.100.30"));

    // The keyboard goes on from the device's new row.
    List()->setFocus();
    QTest::keyClick(List(), Qt::Key_Down);
    EXPECT_EQ(SelectedAddresses(), Texts{"198.51.100.4"});
    EXPECT_EQ(CurrentAddress(), "198.51.100.4");

    // Two selected rows, the later-clicked one focused: both stay selected through sorts, and
    // Browse opens whichever of them the sort put higher.
    ClickRow(RowOf("198.51.100.9"), Qt::ControlModifier);
    ASSERT_EQ(SelectedAddresses().size(), 2u);
    ClickHeader(kSerial);  // descending: .4 first, .9 last
    Texts selected = SelectedAddresses();
    EXPECT_EQ(selected, (Texts{"198.51.100.4", "198.51.100.9"}));
    EXPECT_EQ(CurrentAddress(), "198.51.100.9");
    QTest::mouseClick(Browse(), Qt::LeftButton);
    ASSERT_EQ(browser.Urls().size(), 2);
    EXPECT_EQ(browser.Urls()[1], QUrl("http://198.51.100.4"));

    ClickHeader(kModel);  // ascending: .4 (QV-100) before ... before .9 (qv-050)
    ClickHeader(kModel);  // descending: .9 first
    selected = SelectedAddresses();
    EXPECT_EQ(selected, (Texts{"198.51.100.9", "198.51.100.4"}));
    EXPECT_EQ(CurrentAddress(), "198.51.100.9");
    QTest::mouseClick(Browse(), Qt::LeftButton);
    ASSERT_EQ(browser.Urls().size(), 3);
    EXPECT_EQ(browser.Urls()[2], QUrl("http://198.51.100.9"));
}

TEST_F(ColumnSortGuiTest, RowsFoundAfterASortArePlacedByAddressAmongTheSortedRows) {
    AddPrinters({
        {"198.51.100.10", "QV-1", "SN-B", 0x10},
        {"198.51.100.30", "QV-2", "SN-A", 0x30},
        {"198.51.100.20", "QV-3", "SN-C", 0x20},
        {"198.51.100.40", "QV-4", "SN-D", 0x40},
    });
    // Paused before the third wait: two replies are listed, two are still to come.
    m_pause.PauseBeforeWait(3);
    Open(m_pause);
    QTest::mouseClick(Retrieve(), Qt::LeftButton);
    ASSERT_TRUE(test::ProcessEventsUntil(
        [&] { return m_pause.IsPaused() && Column(kAddress).size() == 2; }));
    ASSERT_FALSE(Retrieve()->isEnabled());
    ASSERT_EQ(Column(kAddress), (Texts{"198.51.100.10", "198.51.100.30"}));

    ClickHeader(kSerial);
    ASSERT_EQ(Column(kAddress), (Texts{"198.51.100.30", "198.51.100.10"}));
    ClickRow(1);  // 198.51.100.10

    m_pause.Resume();
    ASSERT_TRUE(test::ProcessEventsUntil([this] { return Retrieve()->isEnabled(); }));
    // .20 goes above the first row with a higher address (.30, now on top); .40 finds none
    // higher and goes last. Nothing re-sorts the list.
    EXPECT_EQ(Column(kAddress),
              (Texts{"198.51.100.20", "198.51.100.30", "198.51.100.10", "198.51.100.40"}));
    ExpectRowsIntact();
    EXPECT_EQ(SelectedAddresses(), Texts{"198.51.100.10"});
    EXPECT_EQ(m_dlg->SortColumn(), kSerial);
    EXPECT_TRUE(m_dlg->SortAscending());
}

}  // namespace
}  // namespace vindle
