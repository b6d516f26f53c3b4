#include "gui_test_support.h"

#include <QDesktopServices>
#include <QDialog>
#include <QElapsedTimer>
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
    std::unique_ptr<UdpSocket> socket = m_inner.OpenUdpSocket();
    std::lock_guard lock(m_mutex);
    if (socket == nullptr || m_opened++ == 0) {
        return socket;
    }
    return std::make_unique<HeldSocket>(*this, std::move(socket));
}

void ProbeHoldNetwork::Shutdown() {
    // The inner network first, so that a released wait fails at once.
    m_inner.Shutdown();
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
