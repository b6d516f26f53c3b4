#include "platform/system_network_core.h"

#include <algorithm>
#include <atomic>
#include <shared_mutex>
#include <unordered_map>
#include <utility>

#include "platform/resolved_host_address.h"
#include "platform/wait_deadline.h"

namespace vindle {

// Shared by the network and every socket it opened until the next Restart().
struct SystemNetworkState {
    // First, so that it outlives the wake-up signal.
    std::shared_ptr<SocketSystem> system;
    // Raised once by Shutdown() and never cleared, so it wakes every pending and later wait.
    std::unique_ptr<WakeSignal> wake;
    std::atomic<bool> shutDown{false};
    // Sends hold it shared; Shutdown() takes it exclusively, so once Shutdown() returns no send
    // is in flight and none will start.
    std::shared_mutex sendGate;

    explicit SystemNetworkState(std::shared_ptr<SocketSystem> owner)
        : system(std::move(owner)), wake(system->OpenWakeSignal()) {}
};

class SystemReplyPaths {
  public:
    std::optional<ReplyPath> To(Ipv4Address sender) {
        std::lock_guard lock(m_mutex);
        const auto known = m_bySender.find(sender);
        if (known == m_bySender.end()) {
            return std::nullopt;
        }
        return known->second;
    }

    void Learn(Ipv4Address sender, const ReplyPath& arrival, SocketSystem& system) {
        std::lock_guard lock(m_mutex);
        const auto known = m_bySender.find(sender);
        if (known != m_bySender.end() && known->second == arrival) {
            return;
        }
        if (system.TeachesNothing(arrival)) {
            if (known != m_bySender.end()) {
                m_bySender.erase(known);
            }
            return;
        }
        if (known == m_bySender.end() && m_bySender.size() >= kMaxReplyPaths) {
            m_bySender.clear();
        }
        m_bySender[sender] = arrival;
    }

    void Forget(Ipv4Address sender) {
        std::lock_guard lock(m_mutex);
        m_bySender.erase(sender);
    }

  private:
    // Bounds the remembered paths, so that a flood of senders cannot exhaust memory.
    static constexpr std::size_t kMaxReplyPaths = 4096;

    std::mutex m_mutex;
    std::unordered_map<Ipv4Address, ReplyPath> m_bySender;
};

namespace {

using Clock = std::chrono::steady_clock;

// One system wait lasts at most this long, then the deadline is checked again.
constexpr std::chrono::microseconds kWaitSlice = std::chrono::seconds(1000);
// How long a send refused for a full buffer pauses before it tries again.
constexpr std::chrono::microseconds kFullBufferPause = std::chrono::milliseconds(1);

class CoreUdpSocket final : public UdpSocket {
  public:
    CoreUdpSocket(std::unique_ptr<SystemSocket> socket, std::shared_ptr<SystemNetworkState> state,
                  std::shared_ptr<SystemReplyPaths> paths)
        : m_state(std::move(state)), m_paths(std::move(paths)), m_socket(std::move(socket)) {}

    bool EnableBroadcast() override { return m_socket->EnableBroadcast(); }

    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override {
        std::shared_lock gate(m_state->sendGate);
        m_lastSend = SendReport{};
        if (m_state->shutDown.load()) {
            return false;
        }
        if (address == kLimitedBroadcast) {
            if (const std::optional<std::vector<BroadcastInterface>> interfaces =
                    m_state->system->BroadcastInterfaces();
                interfaces && !interfaces->empty()) {
                return SendOnEveryInterface(*interfaces, port, data, size);
            }
        } else if (const std::optional<ReplyPath> path = m_paths->To(address)) {
            if (SendOnce(address, port, data, size, &*path)) {
                return true;
            }
            // The interface may have gone; the routing table may still know a way.
            m_paths->Forget(address);
        }
        return SendOnce(address, port, data, size, nullptr);
    }

    int WaitReadable(WaitTime limit) override {
        std::size_t ignored = 0;
        return WaitForAny({this}, limit, ignored);
    }

    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override {
        std::optional<ReplyPath> arrival;
        const int received = m_socket->Receive(buffer, capacity, sender, arrival);
        if (received >= 0 && arrival) {
            m_paths->Learn(sender, *arrival, *m_state->system);
        }
        return received;
    }

    SendReport LastSendReport() const override { return m_lastSend; }

    // Waits on the sockets together with the wake-up signal of each one's network state, so
    // that the shut-down of any of them ends the wait.
    static int WaitForAny(const std::vector<CoreUdpSocket*>& sockets, WaitTime limit,
                          std::size_t& readyIndex) {
        if (sockets.empty() || limit.seconds < 0 || limit.microseconds < 0) {
            return -1;
        }
        std::vector<SystemHandle> handles;
        std::vector<const SystemNetworkState*> states;
        for (const CoreUdpSocket* socket : sockets) {
            handles.push_back(socket->m_socket->Handle());
            if (std::find(states.begin(), states.end(), socket->m_state.get()) == states.end()) {
                states.push_back(socket->m_state.get());
            }
        }
        const auto anyShutDown = [&states] {
            return std::any_of(states.begin(), states.end(),
                               [](const auto* state) { return state->shutDown.load(); });
        };
        if (anyShutDown()) {
            return -1;
        }
        for (const SystemNetworkState* state : states) {
            handles.push_back(state->wake->Handle());
        }
        SocketSystem& system = *sockets.front()->m_state->system;
        const Clock::time_point deadline = WaitDeadline(limit);
        std::vector<bool> readable;
        for (;;) {
            const auto remaining =
                std::clamp(std::chrono::ceil<std::chrono::microseconds>(deadline - Clock::now()),
                           std::chrono::microseconds(0), kWaitSlice);
            const int ready = system.Poll(handles, remaining, readable);
            const auto firstWake = readable.begin() + std::ssize(sockets);
            if (ready < 0 || anyShutDown() ||
                std::find(firstWake, readable.end(), true) != readable.end()) {
                return -1;
            }
            if (const auto first = std::find(readable.begin(), firstWake, true);
                first != firstWake) {
                readyIndex = static_cast<std::size_t>(first - readable.begin());
                return 1;
            }
            if (Clock::now() >= deadline) {
                return 0;
            }
        }
    }

  private:
    // The limited broadcast once out of each interface, with the destination left as it is.
    bool SendOnEveryInterface(const std::vector<BroadcastInterface>& interfaces, std::uint16_t port,
                              const std::uint8_t* data, std::size_t size) {
        SendReport report;
        report.interfacesTried = static_cast<int>(interfaces.size());
        for (const BroadcastInterface& interface : interfaces) {
            const ReplyPath path{interface.index, 0};
            if (SendOnce(kLimitedBroadcast, port, data, size, &path)) {
                report.interfacesSent.push_back(interface.name);
            } else {
                report.interfacesFailed.push_back(interface.name);
                report.errorText = m_lastSend.errorText;
            }
        }
        // The request went out: a refusal on some interface is no failure to report.
        if (!report.interfacesSent.empty()) {
            report.errorText.clear();
        }
        m_lastSend = std::move(report);
        return !m_lastSend.interfacesSent.empty();
    }

    // One datagram, tried again while the system refuses it for a full buffer; notes the
    // system's text of a failure.
    bool SendOnce(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                  std::size_t size, const ReplyPath* path) {
        SocketSystem& system = *m_state->system;
        int error = 0;
        do {
            error = m_socket->SendOnce(address, port, data, size, path);
        } while (system.IsBufferFull(error) && PauseUnlessShutDown());
        m_lastSend.errorText = error == 0 ? std::string() : system.ErrorText(error);
        return error == 0;
    }

    // Gives a full buffer a moment to drain; false when the network was shut down instead.
    bool PauseUnlessShutDown() {
        std::vector<bool> ignored;
        m_state->system->Poll({m_state->wake->Handle()}, kFullBufferPause, ignored);
        return !m_state->shutDown.load();
    }

    // First: the state holds the system, which outlives the socket.
    std::shared_ptr<SystemNetworkState> m_state;
    std::shared_ptr<SystemReplyPaths> m_paths;
    std::unique_ptr<SystemSocket> m_socket;
    SendReport m_lastSend;
};

}  // namespace

SystemNetworkCore::SystemNetworkCore(std::shared_ptr<SocketSystem> system)
    : m_system(std::move(system)),
      m_state(std::make_shared<SystemNetworkState>(m_system)),
      m_replyPaths(std::make_shared<SystemReplyPaths>()) {}

SystemNetworkCore::~SystemNetworkCore() = default;

std::shared_ptr<SystemNetworkState> SystemNetworkCore::State() {
    std::lock_guard lock(m_stateMutex);
    return m_state;
}

std::unique_ptr<UdpSocket> SystemNetworkCore::OpenUdpSocket() {
    std::shared_ptr<SystemNetworkState> state = State();
    // Without the wake-up signal a shut-down could not end a wait, so no socket is offered.
    if (state->wake == nullptr || state->shutDown.load()) {
        return nullptr;
    }
    std::unique_ptr<SystemSocket> socket = m_system->OpenSocket();
    if (socket == nullptr) {
        return nullptr;
    }
    return std::make_unique<CoreUdpSocket>(std::move(socket), std::move(state), m_replyPaths);
}

void SystemNetworkCore::Shutdown() {
    const std::shared_ptr<SystemNetworkState> state = State();
    // Marked before the gate is taken, so that a send waiting for a full buffer gives up.
    const bool wasShutDown = state->shutDown.exchange(true);
    std::unique_lock gate(state->sendGate);
    if (!wasShutDown && state->wake != nullptr) {
        state->wake->Raise();
    }
}

void SystemNetworkCore::Restart() {
    auto fresh = std::make_shared<SystemNetworkState>(m_system);
    std::lock_guard lock(m_stateMutex);
    m_state = std::move(fresh);
}

std::optional<Ipv4Address> SystemNetworkCore::LocalAddress() {
    if (const std::vector<Ipv4Subnet> subnets = LocalSubnets(); !subnets.empty()) {
        return subnets.front().address;
    }
    return ResolvedHostAddress();
}

int SystemNetworkCore::WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                                       std::size_t& readyIndex) {
    std::vector<CoreUdpSocket*> own;
    for (UdpSocket* socket : sockets) {
        auto* core = dynamic_cast<CoreUdpSocket*>(socket);
        if (core == nullptr) {
            return -1;
        }
        own.push_back(core);
    }
    return CoreUdpSocket::WaitForAny(own, limit, readyIndex);
}

std::vector<Ipv4Subnet> SystemNetworkCore::LocalSubnets() {
    return m_system->InterfaceSubnets();
}

std::int64_t SystemNetworkCore::MonotonicMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

}  // namespace vindle
