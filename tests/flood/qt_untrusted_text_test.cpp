// Hostile model and serial numbers in the real main window: its device list shows each byte as
// the one Latin-1 character of that number, as plain text, and "Browse" opens only the address
// the reply came from.

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/qt/qarv_vindle_dlg.h"
#include "fakes/fake_network.h"
#include "fakes/temp_dir.h"

namespace vindle {
namespace {

using namespace std::string_literals;

// Stands in for the desktop's browser while it exists.
class BrowserStandIn : public QObject {
    Q_OBJECT

  public:
    BrowserStandIn() { QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open"); }
    ~BrowserStandIn() override { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }

    QList<QUrl> urls;

  public Q_SLOTS:
    void Open(const QUrl& url) { urls.append(url); }
};

struct Hostile {
    const char* address;
    std::string model;
    std::string serial;
};

std::vector<Hostile> HostilePrinters() {
    return {
        {"198.51.100.21", "<b>x</b>", "<i>s</i>"},
        {"198.51.100.22", "<img src=x.png>", "<a href=#>"},
        {"198.51.100.23", "\x01\x07\b\t\n\r\x1b[31m", "\x1b]0;t\x07\x7f"},
        {"198.51.100.24", "\x80\x9b\xa0\xe9\xff", "\xc3\xa9\xef\xbb\xbf"},
        {"198.51.100.25", "http://10.9.9.9/", "10.0.0.99"},
    };
}

bool ProcessEventsUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 10'000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(1);
    }
    return done();
}

class MainWindowUntrustedTextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(m_dir.Path() / "QarvVindle.ini",
                  "[BroadCast]\r\nStatus=Enabled\r\n[SearchSpecifiedAddress]\r\nStatus=Disabled\r\n"
                  "[TimeOut]\r\nTimeVal=6\r\n");
        for (const Hostile& printer : HostilePrinters()) {
            m_network.AddPrinter(MakeFakePrinter(printer.address, printer.model, printer.serial,
                                                 {2, 0, 0, 0, 0, 1}));
        }
        m_dlg = std::make_unique<CQarvVindleDlg>(m_network, m_settings);
        m_dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dlg.get()));
        QTest::mouseClick(Button("retrieveButton"), Qt::LeftButton);
        ASSERT_TRUE(ProcessEventsUntil([this] { return Button("retrieveButton")->isEnabled(); }));
        ASSERT_NE(List(), nullptr);
        ASSERT_EQ(List()->topLevelItemCount(), static_cast<int>(HostilePrinters().size()));
    }

    QPushButton* Button(const char* name) { return m_dlg->findChild<QPushButton*>(name); }
    QTreeWidget* List() { return m_dlg->findChild<QTreeWidget*>("deviceList"); }

    ScopedTempDir m_dir;
    Settings m_settings = Settings::InFolder(m_dir.Path());
    FakeNetwork m_network;
    std::unique_ptr<CQarvVindleDlg> m_dlg;
};

TEST_F(MainWindowUntrustedTextTest, EachByteIsOnePlainCharacter) {
    const std::vector<Hostile> printers = HostilePrinters();
    QAbstractItemDelegate* delegate = List()->itemDelegate();
    auto* styled = qobject_cast<QStyledItemDelegate*>(delegate);
    // A delegate of its own could render markup; the plain one draws the text as it is.
    ASSERT_NE(styled, nullptr) << "the list has a delegate of its own";
    for (std::size_t i = 0; i < printers.size(); ++i) {
        SCOPED_TRACE(printers[i].address);
        QTreeWidgetItem* item = List()->topLevelItem(static_cast<int>(i));
        EXPECT_EQ(item->text(0), QString::fromLatin1(printers[i].address));
        const std::string texts[] = {printers[i].model, printers[i].serial};
        for (int c = 0; c < 2; ++c) {
            const int column = 2 + c;
            const QString shown = item->text(column);
            ASSERT_EQ(shown.size(), static_cast<qsizetype>(texts[c].size()));
            for (qsizetype k = 0; k < shown.size(); ++k) {
                EXPECT_EQ(shown.at(k).unicode(),
                          static_cast<unsigned char>(texts[c][static_cast<std::size_t>(k)]))
                    << "column " << column << " character " << k;
            }
            // Drawn as it is, markup included; the plain delegate only shows a line feed as a
            // line separator.
            QString drawn = shown;
            drawn.replace(QChar(u'\n'), QChar::LineSeparator);
            EXPECT_EQ(styled->displayText(item->data(column, Qt::DisplayRole), QLocale()), drawn);
            EXPECT_EQ(List()->itemWidget(item, column), nullptr);
            EXPECT_FALSE(item->data(column, Qt::ToolTipRole).isValid());
        }
    }
    // Painting the hostile rows must not trip over them.
    EXPECT_FALSE(List()->grab().isNull());
}

TEST_F(MainWindowUntrustedTextTest, BrowseOpensOnlyTheSendersAddress) {
    BrowserStandIn browser;
    const std::vector<Hostile> printers = HostilePrinters();
    for (std::size_t i = 0; i < printers.size(); ++i) {
        QTreeWidgetItem* item = List()->topLevelItem(static_cast<int>(i));
        List()->clearSelection();
        item->setSelected(true);
        QTest::mouseClick(Button("browseButton"), Qt::LeftButton);
        ASSERT_EQ(browser.urls.size(), static_cast<qsizetype>(i + 1));
        EXPECT_EQ(browser.urls.back(), QUrl(QStringLiteral("http://") + printers[i].address));
    }
}

}  // namespace
}  // namespace vindle

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "qt_untrusted_text_test.moc"
