#pragma once

#include <QApplication>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QWidget>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/forwarding_socket.h"
#include "platform/network.h"

namespace vindle::test {

// Takes the place of the desktop's browser for "http" URLs while it exists.
class UrlRecorder : public QObject {
    Q_OBJECT

  public:
    UrlRecorder();
    ~UrlRecorder() override;

    const QList<QUrl>& Urls() const { return m_urls; }

  public Q_SLOTS:
    void Open(const QUrl& url);

  private:
    QList<QUrl> m_urls;
};

// Watches for the next application-modal dialog while a test's key or mouse events open it:
// records its class name and rejects it, so that no test is left inside a nested event loop.
class ModalDialogCatcher : public QObject {
    Q_OBJECT

  public:
    ModalDialogCatcher();

    // Class names of the modal dialogs seen so far, in order.
    const QStringList& Seen() const { return m_seen; }

  private Q_SLOTS:
    void Poll();

  private:
    QTimer m_timer;
    QStringList m_seen;
};

// Processes events until `done` holds or `timeout` passes; true when it held.
bool ProcessEventsUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Shows `window` and waits until it is exposed and active.
bool ShowAndActivate(QWidget& window);

// The main window's controls, found by their object names.
QPushButton* RetrieveButton(QWidget& window);
QPushButton* BrowseButton(QWidget& window);
QTreeWidget* DeviceList(QWidget& window);

// Clicks "Retrieve" and processes events until the search has given the button back.
bool RunSearch(QWidget& window);

// The texts of one column of the list, top to bottom.
std::vector<std::string> ColumnTexts(QTreeWidget& list, int column);

// A real mouse click on a row of the list, or on a section of its header.
void ClickRow(QTreeWidget& list, int row, Qt::KeyboardModifiers modifiers = {});
void ClickHeader(QTreeWidget& list, int column, Qt::MouseButton button = Qt::LeftButton);

// A network that holds every wait on the sockets opened after the first one (the detail probes'
// sockets) until it is shut down, so that a test can catch a worker inside a probe. Everything
// else goes to `inner`.
class ProbeHoldNetwork : public ForwardingNetwork {
  public:
    explicit ProbeHoldNetwork(Network& inner) : ForwardingNetwork(inner) {}

    std::unique_ptr<UdpSocket> OpenUdpSocket() override;
    void Shutdown() override;

    // True as soon as a wait is held; false after `timeout`.
    bool WaitUntilProbeHeld(std::chrono::milliseconds timeout);

  private:
    class HeldSocket;

    void HoldUntilShutdown();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_opened = 0;
    int m_held = 0;
    bool m_shutDown = false;
};

}  // namespace vindle::test
