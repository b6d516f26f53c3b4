#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

#include "platform/network.h"

namespace vindle {

// How a scripted printer answers one request kind.
enum class ReplyBehaviour {
    Normal,     // the full reply of the kind (21, 15 or 21 bytes)
    Silent,     // no answer at all
    WrongHead,  // the full reply, but byte 1 (the sequence byte) is one lower than requested
    TooLong,    // the full reply plus FakeReply::tooLongExtra bytes
    Short,      // the 4 head bytes only
    Twice,      // the full reply twice, the second FakeReply::repeatGapMicros after the first
    Custom,     // FakeReply::customBytes exactly as given
};

struct FakeReply {
    ReplyBehaviour behaviour = ReplyBehaviour::Normal;
    // Virtual time between the request's send and the reply's arrival.
    std::int64_t delayMicros = 0;
    std::int64_t repeatGapMicros = 0;
    std::size_t tooLongExtra = 1;
    std::vector<std::uint8_t> customBytes;
};

// A printer on the fake network. It answers a request whose byte 0 is 1, 2 or 3 and which is at
// least 7 bytes long, sent to port 3001; the reply repeats the request's bytes 0 to 3 and
// reaches only the socket (port) that sent the request.
// Kind 1 reaches it when sent to 255.255.255.255, to its directed subnet broadcast (by
// prefixLength) or to its own address; kinds 2 and 3 only when sent to its own address.
struct FakePrinter {
    Ipv4Address address = 0;
    int prefixLength = 24;
    std::array<std::uint8_t, 17> model{};
    std::array<std::uint8_t, 11> serial{};
    // Bytes 0 to 5: the MAC address; bytes 6 to 15: further bytes of the kind-3 reply.
    std::array<std::uint8_t, 16> mac{};
    FakeReply discovery;   // kind 1
    FakeReply serialNo;    // kind 2
    FakeReply macAddress;  // kind 3
};

// A printer with the given texts (cut to the field widths, zero-padded) and MAC bytes.
// `address` must be strict dotted-decimal text.
FakePrinter MakeFakePrinter(std::string_view address, std::string_view model,
                            std::string_view serial, std::array<std::uint8_t, 6> mac);

// Builds one reply datagram as a printer would send it for `request` (used by tests that
// inject replies themselves).
std::vector<std::uint8_t> BuildFakeReply(const FakePrinter& printer,
                                         const std::vector<std::uint8_t>& request);

// An in-memory UDP network with a virtual clock (microseconds, starting at 0).
//
// Sockets: every OpenUdpSocket() gets its own ephemeral port (50000, 50001, ...) and its own
// receive queue. Datagrams carry an arrival time; a socket's queue is ordered by it.
//
// Time: nothing advances the clock except waits (and Receive on an empty-but-scheduled queue,
// and AdvanceTime); MonotonicMicros() is Now(). WaitReadable(limit):
//   - network shut down, or a part of `limit` negative: -1 at once;
//   - a datagram has already arrived: 1, the clock stays;
//   - the next arrival lies within the limit (microseconds >= 1e6 count as whole seconds): the
//     clock moves to that arrival and the result is 1;
//   - otherwise the clock moves forward by the whole limit and the result is 0.
// WaitAnyReadable follows the same rules over several queues: the clock moves to the earliest
// arrival among them, and the lowest index among the sockets whose datagram has then arrived is
// ready. Every wait call is one record in Waits() (a multi-socket wait names its first socket).
// ReceiveFrom takes the earliest arrived datagram (if none has arrived yet it moves the clock to
// the next scheduled one; with an empty queue it fails). A datagram longer than the capacity is
// consumed and the call returns -1 without writing the buffer.
//
// Sends are recorded with their virtual time, source port, destination and bytes. Printers'
// replies are queued at send time with arrival = send time + delay. A closed socket's queue is
// dropped, and later replies to its port are lost. There are no interfaces: a limited broadcast
// is one datagram (its report names none), and no reply path is learnt.
//
// Everything takes one mutex, so a worker on a real thread and a test thread can share it.
//
// Hold mode, for tests that end a search from another thread (closing a window mid-search):
// after SetHold(true) every WaitReadable blocks for real until Shutdown() (then it returns -1) or
// SetHold(false) (then it continues with the virtual-time rules above). WaitUntilBlocked lets the
// test thread wait until a worker sits in such a blocked wait.
class FakeNetwork : public Network {
  public:
    struct SendRecord {
        std::int64_t timeMicros = 0;
        std::uint16_t sourcePort = 0;
        Ipv4Address destination = 0;
        std::uint16_t destinationPort = 0;
        std::vector<std::uint8_t> bytes;
        bool accepted = false;  // false when the send failed
    };
    struct WaitRecord {
        std::int64_t startMicros = 0;
        std::int64_t endMicros = 0;
        std::uint16_t port = 0;
        WaitTime limit;
        int result = 0;
    };
    struct ReceiveRecord {
        std::int64_t timeMicros = 0;
        std::uint16_t port = 0;
        std::size_t capacity = 0;
        int result = 0;
    };

    FakeNetwork() = default;
    ~FakeNetwork() override;

    // Network
    std::unique_ptr<UdpSocket> OpenUdpSocket() override;
    void Shutdown() override;
    void Restart() override;
    std::optional<Ipv4Address> LocalAddress() override;
    int WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                        std::size_t& readyIndex) override;
    std::vector<Ipv4Subnet> LocalSubnets() override;
    std::int64_t MonotonicMicros() override;

    // A failed send reports this as its reason; one refused by Shutdown() reports nothing.
    static constexpr char kSendFailureText[] = "Network is unreachable";
    // As UDP over IPv4, a datagram of more than kMaxDatagramBytes is refused, with this reason.
    static constexpr std::size_t kMaxDatagramBytes = 65507;
    static constexpr char kTooLongText[] = "Message too long";

    // --- Scripting ---
    void AddPrinter(const FakePrinter& printer);
    // Queues `bytes` from `sender` for the socket opened as number `socketOrdinal` (0 = the first
    // socket ever opened on this network, usually a search's socket), arriving at virtual time
    // `arrivalMicros`. May be called before that socket exists; it is delivered when it opens.
    void InjectDatagram(int socketOrdinal, std::vector<std::uint8_t> bytes, Ipv4Address sender,
                        std::int64_t arrivalMicros);
    // Same, addressed by an open socket's port; lost when no open socket has that port.
    void InjectDatagramToPort(std::uint16_t port, std::vector<std::uint8_t> bytes,
                              Ipv4Address sender, std::int64_t arrivalMicros);

    // What LocalAddress() gives; 198.51.100.2 until set.
    void SetLocalAddress(std::optional<Ipv4Address> address);
    // What LocalSubnets() gives; until set, LocalAddress() with a /24 mask (none without one).
    void SetLocalSubnets(std::vector<Ipv4Subnet> subnets);

    // --- Routers and loss ---
    // Routers that drop directed broadcasts, as routers do by default: such a broadcast then
    // reaches only printers whose subnet (address and prefixLength) is one of LocalSubnets();
    // unicast still reaches every printer.
    void SetRoutersDropDirectedBroadcasts(bool drop);
    // Each request as it reaches a printer, and each reply, is lost with these probabilities,
    // drawn from a generator seeded with `seed`, so a run repeats exactly.
    void SetLoss(double requestLoss, double replyLoss, std::uint32_t seed);

    // --- Failure switches ---
    void SetOpenFails(bool fails);
    // The first `count` sends succeed, every later one fails; a negative count never fails.
    void FailSendsAfter(int count);
    // Every send to `destination` fails.
    void FailSendsTo(Ipv4Address destination);
    // The next `count` waits fail (-1) at once, whatever their limit.
    void FailNextWaits(int count);

    // --- Clock ---
    std::int64_t Now();
    void AdvanceTime(std::int64_t micros);

    // --- Records ---
    std::vector<SendRecord> Sends();
    std::vector<WaitRecord> Waits();
    std::vector<ReceiveRecord> Receives();
    int OpenedSocketCount();
    int OpenSocketCount();  // opened and not yet closed
    int MostSocketsOpen();  // the most open at one time
    // The port of the socket opened as number `ordinal`, 0 when there is none.
    std::uint16_t PortOfSocket(int ordinal);
    bool IsShutDown();

    // --- Real-time hold ---
    void SetHold(bool hold);
    // True as soon as at least one thread is blocked in a held wait; false after `timeout`.
    bool WaitUntilBlocked(std::chrono::milliseconds timeout);

  private:
    class Socket;
    friend class Socket;

    struct Datagram {
        std::int64_t arrivalMicros = 0;
        std::uint64_t order = 0;  // keeps equal arrival times in queueing order
        Ipv4Address sender = 0;
        std::vector<std::uint8_t> bytes;
    };
    struct SocketState {
        bool open = true;
        bool broadcast = false;
        bool shutDown = false;  // opened before a Shutdown()
        SendReport lastSend;
        std::deque<Datagram> queue;
    };
    struct PendingInjection {
        int ordinal = 0;
        Datagram datagram;
    };

    // Called by the sockets; each takes the lock itself.
    void CloseSocket(std::uint16_t port);
    bool EnableBroadcastOn(std::uint16_t port);
    bool SendFrom(std::uint16_t port, Ipv4Address address, std::uint16_t destinationPort,
                  const std::uint8_t* data, std::size_t size);
    int WaitOn(const std::vector<std::uint16_t>& ports, WaitTime limit, std::size_t& readyIndex);
    int ReceiveOn(std::uint16_t port, std::uint8_t* buffer, std::size_t capacity,
                  Ipv4Address& sender);
    SendReport LastSendReportOf(std::uint16_t port);

    // Callers hold m_mutex.
    bool IsShutDownLocked(std::uint16_t port) const;
    void QueueLocked(std::uint16_t port, Datagram datagram);
    void DeliverRequestLocked(std::uint16_t port, Ipv4Address destination,
                              const std::vector<std::uint8_t>& request);
    std::vector<Ipv4Subnet> LocalSubnetsLocked() const;
    bool ReachesLocked(const FakePrinter& printer, Ipv4Address destination, std::uint8_t kind);
    bool LostLocked(double probability);

    std::mutex m_mutex;
    std::condition_variable m_holdChanged;
    std::condition_variable m_blockedChanged;
    std::int64_t m_now = 0;
    std::uint64_t m_nextOrder = 0;
    std::uint16_t m_nextPort = 50000;
    std::vector<std::uint16_t> m_portsByOrdinal;
    std::map<std::uint16_t, SocketState> m_sockets;
    std::vector<FakePrinter> m_printers;
    std::vector<PendingInjection> m_pendingInjections;
    std::vector<SendRecord> m_sends;
    std::vector<WaitRecord> m_waits;
    std::vector<ReceiveRecord> m_receives;
    std::vector<Ipv4Address> m_failingDestinations;
    bool m_shutDown = false;
    std::optional<Ipv4Address> m_localAddress = 0xC6336402u;  // 198.51.100.2
    std::optional<std::vector<Ipv4Subnet>> m_localSubnets;
    bool m_routersDropBroadcasts = false;
    double m_requestLoss = 0;
    double m_replyLoss = 0;
    std::mt19937 m_lossDraws;
    int m_mostOpen = 0;
    bool m_openFails = false;
    int m_sendsBeforeFailure = -1;
    int m_waitsToFail = 0;
    bool m_hold = false;
    int m_blockedWaits = 0;
};

}  // namespace vindle
