#include "gui_test_support.h"

#include <QDesktopServices>
#include <QDialog>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTest>

#include "platform/forwarding_socket.h"

namespace vindle::test {

UrlRecorder::UrlRecorder() {
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "Open");
}

UrlRecorder::~UrlRecorder() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

void UrlRecorder::Open(const QUrl& url) {
    m_urls.append(url);
}

ModalDialogCatcher::ModalDialogCatcher() {
    connect(&m_timer, &QTimer::timeout, this, &ModalDialogCatcher::Poll);
    m_timer.start(10);
}

void ModalDialogCatcher::Poll() {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog != nullptr && dialog->isVisible()) {
        m_seen.append(QString::fromLatin1(dialog->metaObject()->className()));
        dialog->reject();
    }
}

bool ProcessEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(1);
    }
    return true;
}

bool ShowAndActivate(QWidget& window) {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowExposed(&window) && QTest::qWaitForWindowActive(&window);
}

QPushButton* RetrieveButton(QWidget& window) {
    return window.findChild<QPushButton*>("retrieveButton");
}

QPushButton* BrowseButton(QWidget& window) {
    return window.findChild<QPushButton*>("browseButton");
}

QTreeWidget* DeviceList(QWidget& window) {
    return window.findChild<QTreeWidget*>("deviceList");
}

bool RunSearch(QWidget& window) {
    QPushButton* retrieve = RetrieveButton(window);
    QTest::mouseClick(retrieve, Qt::LeftButton);
    return ProcessEventsUntil([retrieve] { return retrieve->isEnabled(); });
}

std::vector<std::string> ColumnTexts(QTreeWidget& list, int column) {
    std::vector<std::string> texts;
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
        texts.push_back(list.topLevelItem(row)->text(column).toStdString());
    }
    return texts;
}

void ClickRow(QTreeWidget& list, int row, Qt::KeyboardModifiers modifiers) {
    const QRect rect = list.visualItemRect(list.topLevelItem(row));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, rect.center());
}

void ClickHeader(QTreeWidget& list, int column, Qt::MouseButton button) {
    QHeaderView* header = list.header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), button, {}, at);
}

class ProbeHoldNetwork::HeldSocket : public ForwardingUdpSocket {
  public:
    HeldSocket(ProbeHoldNetwork& owner, std::unique_ptr<UdpSocket> inner)
        : ForwardingUdpSocket(std::move(inner)), m_owner(owner) {}

    int WaitReadable(WaitTime limit) override {
        m_owner.HoldUntilShutdown();
        return ForwardingUdpSocket::WaitReadable(limit);
    }

  private:
    ProbeHoldNetwork& m_owner;
};

std::unique_ptr<UdpSocket> ProbeHoldNetwork::OpenUdpSocket() {
    std::unique_ptr<UdpSocket> socket = Inner().OpenUdpSocket();
    std::lock_guard lock(m_mutex);
    if (socket == nullptr || m_opened++ == 0) {
        return socket;
    }
    return std::make_unique<HeldSocket>(*this, std::move(socket));
}

void ProbeHoldNetwork::Shutdown() {
    // The inner network first, so that a released wait fails at once.
    Inner().Shutdown();
    {
        std::lock_guard lock(m_mutex);
        m_shutDown = true;
    }
    m_changed.notify_all();
}

bool ProbeHoldNetwork::WaitUntilProbeHeld(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_held > 0; });
}

void ProbeHoldNetwork::HoldUntilShutdown() {
    std::unique_lock lock(m_mutex);
    ++m_held;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_shutDown; });
}

}  // namespace vindle::test
