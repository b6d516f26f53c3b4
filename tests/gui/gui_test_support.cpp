#include "gui_test_support.h"

#include <QDesktopServices>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>

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

class ProbeHoldNetwork::HeldSocket : public UdpSocket {
  public:
    HeldSocket(ProbeHoldNetwork& owner, std::unique_ptr<UdpSocket> inner)
        : m_owner(owner), m_inner(std::move(inner)) {}

    bool EnableBroadcast() override { return m_inner->EnableBroadcast(); }
    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override {
        return m_inner->SendTo(address, port, data, size);
    }
    int WaitReadable(WaitTime limit) override {
        m_owner.HoldUntilShutdown();
        return m_inner->WaitReadable(limit);
    }
    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override {
        return m_inner->ReceiveFrom(buffer, capacity, sender);
    }

  private:
    ProbeHoldNetwork& m_owner;
    std::unique_ptr<UdpSocket> m_inner;
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
