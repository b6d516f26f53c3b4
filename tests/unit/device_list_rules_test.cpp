#include "discovery/device_list_rules.h"

#include <gtest/gtest.h>

#include "fakes/fake_list_view.h"

namespace vindle {
namespace {

TEST(DeviceListRulesTest, OnlyAnAddressBecomesAWebPage) {
    EXPECT_EQ(WebPageAddress("198.51.100.4"), "http://198.51.100.4");
    for (const char* text : {"", "198.51.100", "198.51.100.4 ", "198.51.100.4/x", "a.b.c.d",
                             "198.51.100.256", "-1.2.3.4"}) {
        EXPECT_EQ(WebPageAddress(text), "") << text;
    }
}

TEST(DeviceListRulesTest, BrowseAndSortDirectionFollowTheirClicks) {
    EXPECT_FALSE(BrowseEnabledAfterSelectionChange(false, -1));
    EXPECT_TRUE(BrowseEnabledAfterSelectionChange(false, 0));
    EXPECT_TRUE(BrowseEnabledAfterSelectionChange(true, -1));  // never disabled again

    EXPECT_TRUE(SortAscendingAfterClick(-1, 0));
    EXPECT_FALSE(SortAscendingAfterClick(2, 2));
    EXPECT_TRUE(SortAscendingAfterClick(2, 3));
}

TEST(DeviceListRulesTest, TheFilesTypeDecidesTheExportFormat) {
    struct Case {
        const char* chosen;
        OutputFormat filter;
        const char* path;
        OutputFormat format;
    };
    const Case cases[] = {
        {"/d/list.JSON", OutputFormat::Csv, "/d/list.JSON", OutputFormat::Json},
        {"/d/list.csv", OutputFormat::Json, "/d/list.csv", OutputFormat::Csv},
        {"/d/list", OutputFormat::Json, "/d/list.json", OutputFormat::Json},
        {"/d/list", OutputFormat::Csv, "/d/list.csv", OutputFormat::Csv},
        {"/d/list.txt", OutputFormat::Json, "/d/list.txt", OutputFormat::Json},
        {"/d.x/list", OutputFormat::Csv, "/d.x/list.csv", OutputFormat::Csv},
        {"C:\\d.x\\list", OutputFormat::Csv, "C:\\d.x\\list.csv", OutputFormat::Csv},
    };
    for (const Case& c : cases) {
        const ExportTarget target = ChooseExportTarget(c.chosen, c.filter);
        EXPECT_EQ(target.path, c.path) << c.chosen;
        EXPECT_EQ(target.format, c.format) << c.chosen;
    }
}

TEST(DeviceListRulesTest, RowsAreReadFromTheListInItsOrderWithTheirSelection) {
    FakeListView list;
    list.AppendRow({"10.0.0.2", "02:00:00:00:00:02", "QV-2", "SN2"});
    list.AppendRow({"10.0.0.1", "02:00:00:00:00:01", "QV-1", "SN1"});
    list.AppendRow({"10.0.0.3", "02:00:00:00:00:03", "QV-3", "SN3"});
    list.SetRowState(0, {.selected = true});
    list.SetRowState(2, {.selected = true});

    const std::vector<DeviceRow> all = ReadDeviceRows(list, false);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].ip, "10.0.0.1");
    EXPECT_EQ(all[1].serial, "SN1");
    const std::vector<DeviceRow> selected = ReadDeviceRows(list, true);
    ASSERT_EQ(selected.size(), 2u);
    EXPECT_EQ(selected[1].model, "QV-3");
    EXPECT_EQ(SelectedColumnText(list, kMacAddressColumn), "02:00:00:00:00:02\n02:00:00:00:00:03");
}

}  // namespace
}  // namespace vindle
