#include "fakes/fake_network.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/ipv4_text.h"

namespace vindle {

namespace {

constexpr std::uint16_t kPrinterPort = 3001;
constexpr std::int64_t kMicrosPerSecond = 1000000;

template <std::size_t N>
void CopyText(std::array<std::uint8_t, N>& field, std::string_view text) {
    field.fill(0);
    std::memcpy(field.data(), text.data(), std::min(N, text.size()));
}

Ipv4Address HostBits(const FakePrinter& printer) {
    if (printer.prefixLength <= 0) {
        return kLimitedBroadcast;
    }
    if (printer.prefixLength >= 32) {
        return 0;
    }
    return (Ipv4Address{1} << (32 - printer.prefixLength)) - 1;
}

Ipv4Address DirectedBroadcast(const FakePrinter& printer) {
    return printer.address | HostBits(printer);
}

const FakeReply& ReplyOfKind(const FakePrinter& printer, std::uint8_t kind) {
    if (kind == 1) {
        return printer.discovery;
    }
    if (kind == 2) {
        return printer.serialNo;
    }
    return printer.macAddress;
}

}  // namespace

FakePrinter MakeFakePrinter(std::string_view address, std::string_view model,
                            std::string_view serial, std::array<std::uint8_t, 6> mac) {
    const std::optional<Ipv4Address> parsed = ParseIpv4(address);
    if (!parsed) {
        throw std::invalid_argument("fake printer address is not dotted-decimal");
    }
    FakePrinter printer;
    printer.address = *parsed;
    CopyText(printer.model, model);
    CopyText(printer.serial, serial);
    std::copy(mac.begin(), mac.end(), printer.mac.begin());
    return printer;
}

std::vector<std::uint8_t> BuildFakeReply(const FakePrinter& printer,
                                         const std::vector<std::uint8_t>& request) {
    std::vector<std::uint8_t> reply(request.begin(),
                                    request.begin() + std::min<std::size_t>(4, request.size()));
    reply.resize(4, 0);
    const std::uint8_t kind = reply[0];
    if (kind == 1) {
        reply.insert(reply.end(), printer.model.begin(), printer.model.end());
    } else if (kind == 2) {
        reply.insert(reply.end(), printer.serial.begin(), printer.serial.end());
    } else if (kind == 3) {
        reply.insert(reply.end(), printer.mac.begin(), printer.mac.end());
        reply.push_back(0);
    }
    return reply;
}

// One socket handed to the code under test; every call goes back to the network's lock.
class FakeNetwork::Socket : public UdpSocket {
  public:
    Socket(FakeNetwork& network, std::uint16_t port) : m_network(network), m_port(port) {}
    ~Socket() override { m_network.CloseSocket(m_port); }

    bool EnableBroadcast() override { return m_network.EnableBroadcastOn(m_port); }
    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override {
        return m_network.SendFrom(m_port, address, port, data, size);
    }
    int WaitReadable(WaitTime limit) override {
        std::size_t ignored = 0;
        return m_network.WaitOn({m_port}, limit, ignored);
    }
    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override {
        return m_network.ReceiveOn(m_port, buffer, capacity, sender);
    }
    SendReport LastSendReport() const override { return m_network.LastSendReportOf(m_port); }

    const FakeNetwork* Owner() const { return &m_network; }
    std::uint16_t Port() const { return m_port; }

  private:
    FakeNetwork& m_network;
    std::uint16_t m_port;
};

FakeNetwork::~FakeNetwork() = default;

std::unique_ptr<UdpSocket> FakeNetwork::OpenUdpSocket() {
    std::lock_guard lock(m_mutex);
    if (m_shutDown || m_openFails) {
        return nullptr;
    }
    const std::uint16_t port = m_nextPort++;
    const int ordinal = static_cast<int>(m_portsByOrdinal.size());
    m_portsByOrdinal.push_back(port);
    m_sockets[port] = SocketState{};
    m_mostOpen = std::max(m_mostOpen, static_cast<int>(m_sockets.size()));
    for (auto it = m_pendingInjections.begin(); it != m_pendingInjections.end();) {
        if (it->ordinal == ordinal) {
            QueueLocked(port, std::move(it->datagram));
            it = m_pendingInjections.erase(it);
        } else {
            ++it;
        }
    }
    return std::make_unique<Socket>(*this, port);
}

void FakeNetwork::Shutdown() {
    {
        std::lock_guard lock(m_mutex);
        m_shutDown = true;
        for (auto& [port, state] : m_sockets) {
            state.shutDown = true;
        }
    }
    m_holdChanged.notify_all();
}

void FakeNetwork::Restart() {
    std::lock_guard lock(m_mutex);
    m_shutDown = false;
}

std::optional<Ipv4Address> FakeNetwork::LocalAddress() {
    std::lock_guard lock(m_mutex);
    return m_localAddress;
}

void FakeNetwork::SetLocalAddress(std::optional<Ipv4Address> address) {
    std::lock_guard lock(m_mutex);
    m_localAddress = address;
}

int FakeNetwork::WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                                 std::size_t& readyIndex) {
    std::vector<std::uint16_t> ports;
    for (UdpSocket* socket : sockets) {
        const auto* own = dynamic_cast<const Socket*>(socket);
        if (own == nullptr || own->Owner() != this) {
            return -1;
        }
        ports.push_back(own->Port());
    }
    return WaitOn(ports, limit, readyIndex);
}

std::vector<Ipv4Subnet> FakeNetwork::LocalSubnets() {
    std::lock_guard lock(m_mutex);
    return LocalSubnetsLocked();
}

std::vector<Ipv4Subnet> FakeNetwork::LocalSubnetsLocked() const {
    if (m_localSubnets) {
        return *m_localSubnets;
    }
    if (m_localAddress) {
        return {{*m_localAddress, 0xFFFFFF00u}};
    }
    return {};
}

void FakeNetwork::SetLocalSubnets(std::vector<Ipv4Subnet> subnets) {
    std::lock_guard lock(m_mutex);
    m_localSubnets = std::move(subnets);
}

std::int64_t FakeNetwork::MonotonicMicros() {
    return Now();
}

SendReport FakeNetwork::LastSendReportOf(std::uint16_t port) {
    std::lock_guard lock(m_mutex);
    const auto socket = m_sockets.find(port);
    return socket == m_sockets.end() ? SendReport{} : socket->second.lastSend;
}

bool FakeNetwork::IsShutDownLocked(std::uint16_t port) const {
    const auto socket = m_sockets.find(port);
    return m_shutDown || socket == m_sockets.end() || socket->second.shutDown;
}

void FakeNetwork::AddPrinter(const FakePrinter& printer) {
    std::lock_guard lock(m_mutex);
    m_printers.push_back(printer);
}

void FakeNetwork::InjectDatagram(int socketOrdinal, std::vector<std::uint8_t> bytes,
                                 Ipv4Address sender, std::int64_t arrivalMicros) {
    std::lock_guard lock(m_mutex);
    Datagram datagram{arrivalMicros, 0, sender, std::move(bytes)};
    if (socketOrdinal >= 0 && socketOrdinal < static_cast<int>(m_portsByOrdinal.size())) {
        QueueLocked(m_portsByOrdinal[socketOrdinal], std::move(datagram));
    } else {
        m_pendingInjections.push_back({socketOrdinal, std::move(datagram)});
    }
}

void FakeNetwork::InjectDatagramToPort(std::uint16_t port, std::vector<std::uint8_t> bytes,
                                       Ipv4Address sender, std::int64_t arrivalMicros) {
    std::lock_guard lock(m_mutex);
    QueueLocked(port, Datagram{arrivalMicros, 0, sender, std::move(bytes)});
}

void FakeNetwork::SetRoutersDropDirectedBroadcasts(bool drop) {
    std::lock_guard lock(m_mutex);
    m_routersDropBroadcasts = drop;
}

void FakeNetwork::SetLoss(double requestLoss, double replyLoss, std::uint32_t seed) {
    std::lock_guard lock(m_mutex);
    m_requestLoss = requestLoss;
    m_replyLoss = replyLoss;
    m_lossDraws.seed(seed);
}

bool FakeNetwork::LostLocked(double probability) {
    return probability > 0 &&
           std::uniform_real_distribution<double>(0, 1)(m_lossDraws) < probability;
}

int FakeNetwork::MostSocketsOpen() {
    std::lock_guard lock(m_mutex);
    return m_mostOpen;
}

void FakeNetwork::SetOpenFails(bool fails) {
    std::lock_guard lock(m_mutex);
    m_openFails = fails;
}

void FakeNetwork::FailSendsAfter(int count) {
    std::lock_guard lock(m_mutex);
    m_sendsBeforeFailure = count;
}

void FakeNetwork::FailSendsTo(Ipv4Address destination) {
    std::lock_guard lock(m_mutex);
    m_failingDestinations.push_back(destination);
}

void FakeNetwork::FailNextWaits(int count) {
    std::lock_guard lock(m_mutex);
    m_waitsToFail = count;
}

std::int64_t FakeNetwork::Now() {
    std::lock_guard lock(m_mutex);
    return m_now;
}

void FakeNetwork::AdvanceTime(std::int64_t micros) {
    std::lock_guard lock(m_mutex);
    if (micros > 0) {
        m_now += micros;
    }
}

std::vector<FakeNetwork::SendRecord> FakeNetwork::Sends() {
    std::lock_guard lock(m_mutex);
    return m_sends;
}

std::vector<FakeNetwork::WaitRecord> FakeNetwork::Waits() {
    std::lock_guard lock(m_mutex);
    return m_waits;
}

std::vector<FakeNetwork::ReceiveRecord> FakeNetwork::Receives() {
    std::lock_guard lock(m_mutex);
    return m_receives;
}

int FakeNetwork::OpenedSocketCount() {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_portsByOrdinal.size());
}

int FakeNetwork::OpenSocketCount() {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_sockets.size());
}

std::uint16_t FakeNetwork::PortOfSocket(int ordinal) {
    std::lock_guard lock(m_mutex);
    if (ordinal < 0 || ordinal >= static_cast<int>(m_portsByOrdinal.size())) {
        return 0;
    }
    return m_portsByOrdinal[ordinal];
}

bool FakeNetwork::IsShutDown() {
    std::lock_guard lock(m_mutex);
    return m_shutDown;
}

void FakeNetwork::SetHold(bool hold) {
    {
        std::lock_guard lock(m_mutex);
        m_hold = hold;
    }
    m_holdChanged.notify_all();
}

bool FakeNetwork::WaitUntilBlocked(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_blockedChanged.wait_for(lock, timeout, [this] { return m_blockedWaits > 0; });
}

void FakeNetwork::CloseSocket(std::uint16_t port) {
    std::lock_guard lock(m_mutex);
    m_sockets.erase(port);
}

bool FakeNetwork::EnableBroadcastOn(std::uint16_t port) {
    std::lock_guard lock(m_mutex);
    auto it = m_sockets.find(port);
    if (it == m_sockets.end()) {
        return false;
    }
    it->second.broadcast = true;
    return true;
}

bool FakeNetwork::SendFrom(std::uint16_t port, Ipv4Address address, std::uint16_t destinationPort,
                           const std::uint8_t* data, std::size_t size) {
    std::lock_guard lock(m_mutex);
    SendRecord record{
        m_now, port, address, destinationPort, std::vector<std::uint8_t>(data, data + size), false};
    auto socket = m_sockets.find(port);
    const bool shutDown = IsShutDownLocked(port);
    const bool tooLong = size > kMaxDatagramBytes;
    bool fails = shutDown || tooLong || m_sendsBeforeFailure == 0;
    fails = fails || std::find(m_failingDestinations.begin(), m_failingDestinations.end(),
                               address) != m_failingDestinations.end();
    // As on Linux, the limited broadcast needs the broadcast permission.
    fails = fails || (address == kLimitedBroadcast && !socket->second.broadcast);
    if (!fails && m_sendsBeforeFailure > 0) {
        --m_sendsBeforeFailure;
    }
    record.accepted = !fails;
    m_sends.push_back(record);
    if (socket != m_sockets.end()) {
        // A send refused by the shut-down leaves an empty report: nothing reached the system.
        socket->second.lastSend = SendReport{};
        if (fails && !shutDown) {
            socket->second.lastSend.errorText = tooLong ? kTooLongText : kSendFailureText;
        }
    }
    if (!fails && destinationPort == kPrinterPort) {
        DeliverRequestLocked(port, address, record.bytes);
    }
    return !fails;
}

int FakeNetwork::WaitOn(const std::vector<std::uint16_t>& ports, WaitTime limit,
                        std::size_t& readyIndex) {
    std::unique_lock lock(m_mutex);
    WaitRecord record{m_now, m_now, ports.empty() ? std::uint16_t{0} : ports.front(), limit, -1};
    const auto anyShutDown = [this, &ports] {
        return std::any_of(ports.begin(), ports.end(),
                           [this](std::uint16_t port) { return IsShutDownLocked(port); });
    };
    if (m_hold && !anyShutDown()) {
        ++m_blockedWaits;
        m_blockedChanged.notify_all();
        m_holdChanged.wait(lock, [this, &anyShutDown] { return !m_hold || anyShutDown(); });
        --m_blockedWaits;
    }
    const auto finish = [&](int result) {
        record.result = result;
        record.endMicros = m_now;
        m_waits.push_back(record);
        return result;
    };
    if (ports.empty() || anyShutDown() || limit.seconds < 0 || limit.microseconds < 0) {
        return finish(-1);
    }
    if (m_waitsToFail > 0) {
        --m_waitsToFail;
        return finish(-1);
    }
    const std::int64_t duration =
        static_cast<std::int64_t>(limit.seconds) * kMicrosPerSecond + limit.microseconds;
    std::optional<std::int64_t> firstArrival;
    for (const std::uint16_t port : ports) {
        const std::deque<Datagram>& queue = m_sockets.at(port).queue;
        if (!queue.empty() && (!firstArrival || queue.front().arrivalMicros < *firstArrival)) {
            firstArrival = queue.front().arrivalMicros;
        }
    }
    if (!firstArrival || *firstArrival > m_now + duration) {
        m_now += duration;
        return finish(0);
    }
    m_now = std::max(m_now, *firstArrival);
    const auto ready = std::find_if(ports.begin(), ports.end(), [this](std::uint16_t port) {
        const std::deque<Datagram>& queue = m_sockets.at(port).queue;
        return !queue.empty() && queue.front().arrivalMicros <= m_now;
    });
    readyIndex = static_cast<std::size_t>(ready - ports.begin());
    return finish(1);
}

int FakeNetwork::ReceiveOn(std::uint16_t port, std::uint8_t* buffer, std::size_t capacity,
                           Ipv4Address& sender) {
    std::lock_guard lock(m_mutex);
    ReceiveRecord record{m_now, port, capacity, -1};
    auto socket = m_sockets.find(port);
    if (IsShutDownLocked(port) || socket->second.queue.empty()) {
        m_receives.push_back(record);
        return -1;
    }
    Datagram datagram = std::move(socket->second.queue.front());
    socket->second.queue.pop_front();
    m_now = std::max(m_now, datagram.arrivalMicros);
    record.timeMicros = m_now;
    if (datagram.bytes.size() <= capacity) {
        if (!datagram.bytes.empty()) {
            std::memcpy(buffer, datagram.bytes.data(), datagram.bytes.size());
        }
        sender = datagram.sender;
        record.result = static_cast<int>(datagram.bytes.size());
    }
    m_receives.push_back(record);
    return record.result;
}

void FakeNetwork::QueueLocked(std::uint16_t port, Datagram datagram) {
    auto socket = m_sockets.find(port);
    if (socket == m_sockets.end()) {
        return;
    }
    datagram.order = m_nextOrder++;
    std::deque<Datagram>& queue = socket->second.queue;
    const auto position =
        std::upper_bound(queue.begin(), queue.end(), datagram, [](const auto& a, const auto& b) {
            return a.arrivalMicros < b.arrivalMicros ||
                   (a.arrivalMicros == b.arrivalMicros && a.order < b.order);
        });
    queue.insert(position, std::move(datagram));
}

bool FakeNetwork::ReachesLocked(const FakePrinter& printer, Ipv4Address destination,
                                std::uint8_t kind) {
    if (destination == printer.address) {
        return true;
    }
    if (kind != 1) {
        return false;
    }
    if (destination == kLimitedBroadcast) {
        return true;
    }
    if (destination != DirectedBroadcast(printer)) {
        return false;
    }
    if (!m_routersDropBroadcasts) {
        return true;
    }
    const Ipv4Address mask = ~HostBits(printer);
    const std::vector<Ipv4Subnet> local = LocalSubnetsLocked();
    return std::any_of(local.begin(), local.end(), [&](const Ipv4Subnet& subnet) {
        return subnet.mask == mask && (subnet.address & mask) == (printer.address & mask);
    });
}

void FakeNetwork::DeliverRequestLocked(std::uint16_t port, Ipv4Address destination,
                                       const std::vector<std::uint8_t>& request) {
    if (request.size() < 7) {
        return;
    }
    const std::uint8_t kind = request[0];
    if (kind < 1 || kind > 3) {
        return;
    }
    for (const FakePrinter& printer : m_printers) {
        if (!ReachesLocked(printer, destination, kind) || LostLocked(m_requestLoss)) {
            continue;
        }
        const FakeReply& script = ReplyOfKind(printer, kind);
        std::vector<std::uint8_t> reply = BuildFakeReply(printer, request);
        int copies = 1;
        switch (script.behaviour) {
            case ReplyBehaviour::Normal:
                break;
            case ReplyBehaviour::Silent:
                copies = 0;
                break;
            case ReplyBehaviour::WrongHead:
                reply[1] = static_cast<std::uint8_t>(reply[1] - 1);
                break;
            case ReplyBehaviour::TooLong:
                reply.resize(reply.size() + script.tooLongExtra, 0x5A);
                break;
            case ReplyBehaviour::Short:
                reply.resize(4);
                break;
            case ReplyBehaviour::Twice:
                copies = 2;
                break;
            case ReplyBehaviour::Custom:
                reply = script.customBytes;
                break;
        }
        for (int copy = 0; copy < copies; ++copy) {
            if (LostLocked(m_replyLoss)) {
                continue;
            }
            const std::int64_t arrival = m_now + script.delayMicros + copy * script.repeatGapMicros;
            QueueLocked(port, Datagram{arrival, 0, printer.address, reply});
        }
    }
}

}  // namespace vindle
