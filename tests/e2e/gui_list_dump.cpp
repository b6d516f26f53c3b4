// Runs the real main window on the real network (offscreen), presses "Retrieve", waits for the
// search to end and prints the device list as JSON: the rows the window shows, top to bottom.
// Used by the end-to-end tests inside the LAN sandbox.
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/qt/qarv_vindle_dlg.h"
#include "platform/posix/posix_network.h"

namespace {

QPushButton* FindButton(QWidget& window, const QString& text) {
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    vindle::PosixNetwork network;
    vindle::Settings settings = vindle::Settings::InWorkingDirectory();
    CQarvVindleDlg window(network, settings);
    window.show();

    QPushButton* retrieve = FindButton(window, "Retrieve");
    auto* list = window.findChild<QTreeWidget*>();
    if (retrieve == nullptr || list == nullptr) {
        std::fprintf(stderr, "gui_list_dump: the window has no Retrieve button or list\n");
        return 1;
    }
    QTest::mouseClick(retrieve, Qt::LeftButton);

    // The search has ended when "Retrieve" is enabled again; 120 s covers any configured wait.
    QElapsedTimer clock;
    clock.start();
    while (!retrieve->isEnabled()) {
        if (clock.elapsed() > 120000) {
            std::fprintf(stderr, "gui_list_dump: the search did not end\n");
            return 1;
        }
        QTest::qWait(20);
    }

    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = list->topLevelItem(row);
        rows.push_back({{"ip", item->text(0).toStdString()},
                        {"mac", item->text(1).toStdString()},
                        {"model", item->text(2).toStdString()},
                        {"serial", item->text(3).toStdString()}});
    }
    std::printf("%s\n", rows.dump(2).c_str());
    // How the window says the search ended, for tests that check the outcome.
    std::fprintf(stderr, "status line: %s\n", window.StatusText().toStdString().c_str());
    window.close();
    window.FinishSearch();
    return 0;
}
