// Sorting the device list by header clicks on the real main window: real mouse events on the
// header, searches on the fake network.
#include <QAbstractItemModel>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/qt/qarv_vindle_dlg.h"
#include "fakes/fake_network.h"
#include "fakes/temp_dir.h"
#include "gui_test_support.h"
#include "platform/ipv4_text.h"
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
    void ClickHeader(int column, Qt::MouseButton button = Qt::LeftButton) {
        test::ClickHeader(*List(), column, button);
    }

    // The column's texts sorted by `less`, reversed for a descending order.
    template <typename Less>
    Texts Sorted(int column, bool ascending, Less less) {
        Texts texts = Column(column);
        std::sort(texts.begin(), texts.end(), less);
        if (!ascending) {
            std::reverse(texts.begin(), texts.end());
        }
        return texts;
    }
    Texts SortedText(int column, bool ascending) {
        return Sorted(column, ascending, std::less<std::string>());
    }
    Texts SortedAddresses(bool ascending) {
        return Sorted(kAddress, ascending, [](const std::string& a, const std::string& b) {
            return ParseIpv4(a).value_or(0) < ParseIpv4(b).value_or(0);
        });
    }

    ScopedTempDir m_dir;
    Settings m_settings = Settings::InFolder(m_dir.Path());
    FakeNetwork m_network;
    // Lets a test stop the search between two replies; the window must not outlive it.
    test::ReplyPauseNetwork m_pause{m_network};
    std::map<std::string, PrinterRow> m_known;
    std::unique_ptr<CQarvVindleDlg> m_dlg;
};

TEST_F(ColumnSortGuiTest, RepeatedClicksOnAColumnSortAscendingThenDescendingForGood) {
    AddFourPrinters();
    Open();
    ASSERT_TRUE(RunSearch());
    ASSERT_EQ(List()->topLevelItemCount(), 4);
    EXPECT_EQ(m_dlg->SortColumn(), -1);
    EXPECT_TRUE(m_dlg->SortAscending());

    const Texts ascending = {"9ABC", "SN200", "SN30", "sn04"};
    const Texts descending(ascending.rbegin(), ascending.rend());
    ClickHeader(kSerial);
    EXPECT_EQ(m_dlg->SortColumn(), kSerial);
    EXPECT_TRUE(m_dlg->SortAscending());
    EXPECT_EQ(Column(kSerial), ascending);
    for (int click = 2; click <= 3; ++click) {
        ClickHeader(kSerial);
        EXPECT_EQ(m_dlg->SortColumn(), kSerial) << "click " << click;
        EXPECT_FALSE(m_dlg->SortAscending()) << "click " << click;
        EXPECT_EQ(Column(kSerial), descending) << "click " << click;
    }
    ExpectRowsIntact();

    // Another column starts ascending again, and so does coming back.
    ClickHeader(kModel);
    EXPECT_EQ(m_dlg->SortColumn(), kModel);
    EXPECT_TRUE(m_dlg->SortAscending());
    EXPECT_EQ(Column(kModel), SortedText(kModel, true));
    ClickHeader(kSerial);
    EXPECT_TRUE(m_dlg->SortAscending());
    EXPECT_EQ(Column(kSerial), ascending);
    ClickHeader(kMac);
    ClickHeader(kMac);
    EXPECT_EQ(Column(kMac), SortedText(kMac, false));
    ExpectRowsIntact();

    // The list's own sorting stays off: the rows are ordered by the window alone.
    EXPECT_FALSE(List()->isSortingEnabled());
    EXPECT_FALSE(List()->header()->isSortIndicatorShown());
}

TEST_F(ColumnSortGuiTest, ClicksWithOtherButtonsChangeNothing) {
    AddFourPrinters();
    Open();
    ASSERT_TRUE(RunSearch());
    ClickRow(1);
    // A left click first, so that the header has a section pressed before.
    ClickHeader(kSerial);
    ASSERT_EQ(m_dlg->SortColumn(), kSerial);
    ASSERT_TRUE(m_dlg->SortAscending());

    std::vector<Texts> before;
    for (int column = 0; column < 4; ++column) {
        before.push_back(Column(column));
    }
    const Texts selectedBefore = SelectedAddresses();
    const std::string currentBefore = CurrentAddress();
    QSignalSpy changes(List()->model(), &QAbstractItemModel::dataChanged);

    ClickHeader(kSerial, Qt::RightButton);
    ClickHeader(kAddress, Qt::RightButton);
    ClickHeader(kModel, Qt::MiddleButton);
    ClickHeader(kSerial, Qt::MiddleButton);

    EXPECT_EQ(m_dlg->SortColumn(), kSerial);
    EXPECT_TRUE(m_dlg->SortAscending());
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(Column(column), before[column]) << "column " << column;
    }
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(SelectedAddresses(), selectedBefore);
    EXPECT_EQ(CurrentAddress(), currentBefore);

    // The next left click on the same column is still the second one: descending.
    ClickHeader(kSerial);
    EXPECT_FALSE(m_dlg->SortAscending());
}

TEST_F(ColumnSortGuiTest, EmptyAndSingleRowListsMoveNothingButTakeTheClick) {
    Open();
    ASSERT_TRUE(RunSearch());
    ASSERT_EQ(List()->topLevelItemCount(), 0);
    ClickHeader(kModel);
    EXPECT_EQ(m_dlg->SortColumn(), kModel);
    EXPECT_TRUE(m_dlg->SortAscending());
    ClickHeader(kModel);
    EXPECT_EQ(m_dlg->SortColumn(), kModel);
    EXPECT_FALSE(m_dlg->SortAscending());
    EXPECT_EQ(List()->topLevelItemCount(), 0);

    AddPrinters({{"203.0.113.5", "QV-100", "SN5", 0x05}});
    ASSERT_TRUE(RunSearch());
    ASSERT_EQ(List()->topLevelItemCount(), 1);
    ClickRow(0);
    QSignalSpy changes(List()->model(), &QAbstractItemModel::dataChanged);

    ClickHeader(kMac);
    EXPECT_EQ(m_dlg->SortColumn(), kMac);
    EXPECT_TRUE(m_dlg->SortAscending());
    ClickHeader(kModel);
    ClickHeader(kModel);
    EXPECT_EQ(m_dlg->SortColumn(), kModel);
    EXPECT_FALSE(m_dlg->SortAscending());

    EXPECT_EQ(changes.count(), 0);
    ExpectRowsIntact();
    EXPECT_EQ(SelectedAddresses(), Texts{"203.0.113.5"});
    EXPECT_EQ(CurrentAddress(), "203.0.113.5");
}

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

TEST_F(ColumnSortGuiTest, AfterANewSearchTheLastClickedColumnSortsDescending) {
    AddFourPrinters();
    Open();
    ASSERT_TRUE(RunSearch());
    ClickHeader(kSerial);
    ASSERT_TRUE(m_dlg->SortAscending());

    // The new search places its rows by address and leaves the members alone.
    ASSERT_TRUE(RunSearch());
    EXPECT_EQ(Column(kAddress), SortedAddresses(true));
    EXPECT_EQ(m_dlg->SortColumn(), kSerial);
    EXPECT_TRUE(m_dlg->SortAscending());

    ClickHeader(kSerial);
    EXPECT_FALSE(m_dlg->SortAscending());
    EXPECT_EQ(Column(kSerial), (Texts{"sn04", "SN30", "SN200", "9ABC"}));
    ExpectRowsIntact();
}

TEST_F(ColumnSortGuiTest, TheAddressColumnSortsByNumberNotText) {
    AddPrinters({
        {"198.51.100.100", "QV-1", "S1", 0x01},
        {"198.51.100.9", "QV-2", "S2", 0x02},
        {"203.0.113.7", "QV-3", "S3", 0x03},
        {"198.51.100.10", "QV-4", "S4", 0x04},
        {"198.18.0.20", "QV-5", "S5", 0x05},
        {"198.51.100.1", "QV-6", "S6", 0x06},
    });
    Open();
    ASSERT_TRUE(RunSearch());
    // Scramble the rows first by another column.
    ClickHeader(kSerial);
    ClickHeader(kSerial);
    ASSERT_EQ(Column(kSerial), (Texts{"S6", "S5", "S4", "S3", "S2", "S1"}));

    const Texts numeric = {"198.18.0.20",   "198.51.100.1",   "198.51.100.9",
                           "198.51.100.10", "198.51.100.100", "203.0.113.7"};
    ClickHeader(kAddress);
    EXPECT_EQ(Column(kAddress), numeric);
    EXPECT_EQ(Column(kAddress), SortedAddresses(true));
    ClickHeader(kAddress);
    EXPECT_EQ(Column(kAddress), Texts(numeric.rbegin(), numeric.rend()));
    ExpectRowsIntact();

    // The same order a search places its rows in.
    ClickHeader(kSerial);
    ClickHeader(kAddress);
    const Texts sorted = Column(kAddress);
    ASSERT_TRUE(RunSearch());
    EXPECT_EQ(Column(kAddress), sorted);
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
