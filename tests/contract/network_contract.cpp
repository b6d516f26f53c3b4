#include "tests/contract/network_contract.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>

#include "platform/ipv4_text.h"

namespace vindle::contract {

// Each implementation instantiates only the suites it claims.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SystemNetworkContract);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(LanNetworkContract);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ReplyPathContract);

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Upper bound for a call that must return at once or end a wait early. Generous, so that a
// loaded machine never fails it; the waits it guards against last 10 s or forever.
constexpr auto kPromptly = 3s;

// A printer request of `kind` with sequence byte 0.
Bytes Request(int kind) {
    static constexpr std::uint8_t kSelectors[] = {0x22, 0x21, 0x23};
    return {static_cast<std::uint8_t>(kind), 0, 0, 0, 0x1B, 0x6E, kSelectors[kind - 1]};
}

Bytes Head(const Bytes& bytes) {
    return Bytes(bytes.begin(), bytes.begin() + std::min<std::ptrdiff_t>(4, std::ssize(bytes)));
}

bool Send(UdpSocket& socket, Ipv4Address address, std::uint16_t port, const Bytes& bytes) {
    return socket.SendTo(address, port, bytes.data(), bytes.size());
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

void ExpectNothingReported(const SendReport& report) {
    EXPECT_EQ(report.interfacesTried, 0);
    EXPECT_TRUE(report.interfacesSent.empty());
    EXPECT_TRUE(report.interfacesFailed.empty());
    EXPECT_EQ(report.errorText, "");
}

}  // namespace

void NetworkContract::SetUp() {
    m_harness = GetParam().make();
    ASSERT_NE(m_harness, nullptr);
}

std::unique_ptr<UdpSocket> NetworkContract::Open() {
    std::unique_ptr<UdpSocket> socket = Net().OpenUdpSocket();
    EXPECT_NE(socket, nullptr) << "no socket";
    return socket;
}

void NetworkContract::Introduce(UdpSocket& socket) {
    ASSERT_TRUE(Send(socket, m_harness->PeerAddress(), m_harness->PeerPort(), {1, 2, 3}));
    ASSERT_TRUE(m_harness->PeerHears(2s));
}

std::chrono::microseconds NetworkContract::Since(std::chrono::microseconds start) {
    return m_harness->Now() - start;
}

void LanNetworkContract::SetUp() {
    NetworkContract::SetUp();
    if (HasFatalFailure() || !Harness().NeedsSandbox()) {
        return;
    }
    const char* marker = std::getenv("VINDLE_LAN_SANDBOX");
    if (marker == nullptr || std::string(marker) != "1") {
        GTEST_SKIP() << "not inside scripts/lan-sandbox: nothing is sent (see network_contract.h)";
    }
    ASSERT_EQ(Sorted(Harness().BroadcastInterfaces()), kLinkInterfaces)
        << "not the contract's linked sandbox; nothing is sent (see network_contract.h)";
}

std::vector<Datagram> LanNetworkContract::Collect(UdpSocket& socket,
                                                  std::chrono::microseconds window) {
    std::vector<Datagram> datagrams;
    const std::chrono::microseconds end = Harness().Now() + window;
    for (std::chrono::microseconds now = Harness().Now(); now < end; now = Harness().Now()) {
        const int ready = socket.WaitReadable({0, static_cast<long>((end - now).count())});
        if (ready < 0) {
            ADD_FAILURE() << "a wait failed";
            break;
        }
        if (ready == 0) {
            continue;
        }
        Datagram datagram;
        datagram.bytes.resize(2048);
        const int length =
            socket.ReceiveFrom(datagram.bytes.data(), datagram.bytes.size(), datagram.sender);
        if (length < 0) {
            ADD_FAILURE() << "a receive failed";
            break;
        }
        datagram.bytes.resize(static_cast<std::size_t>(length));
        datagrams.push_back(std::move(datagram));
    }
    return datagrams;
}

// --- Every network ---

TEST_P(NetworkContract, DatagramsUpToTheBufferArriveWithTheirSender) {
    auto socket = Open();
    ASSERT_NE(socket, nullptr);
    Introduce(*socket);
    const Bytes exact(15, 0x41);
    Harness().PeerAnswers(exact);
    Harness().PeerAnswers({});

    std::uint8_t buffer[15] = {};
    Ipv4Address sender = 0;
    ASSERT_EQ(socket->WaitReadable({2, 0}), 1);
    EXPECT_EQ(socket->ReceiveFrom(buffer, sizeof buffer, sender), 15);
    EXPECT_EQ(sender, Harness().PeerAddress());
    EXPECT_EQ(Bytes(buffer, buffer + 15), exact);
    ASSERT_EQ(socket->WaitReadable({2, 0}), 1);
    EXPECT_EQ(socket->ReceiveFrom(buffer, sizeof buffer, sender), 0);
}

TEST_P(NetworkContract, LongerDatagramFailsAndLeavesBufferAndSenderUntouched) {
    auto socket = Open();
    ASSERT_NE(socket, nullptr);
    Introduce(*socket);
    Harness().PeerAnswers(Bytes(16, 0x41));
    Harness().PeerAnswers({0x01, 0x02});

    std::uint8_t buffer[15];
    std::memset(buffer, 0xEE, sizeof buffer);
    Ipv4Address sender = 0xDEADBEEF;
    ASSERT_EQ(socket->WaitReadable({2, 0}), 1);
    EXPECT_EQ(socket->ReceiveFrom(buffer, sizeof buffer, sender), -1);
    EXPECT_EQ(Bytes(buffer, buffer + 15), Bytes(15, 0xEE));
    EXPECT_EQ(sender, 0xDEADBEEFu);

    // The long datagram is gone; the one behind it is read normally.
    ASSERT_EQ(socket->WaitReadable({2, 0}), 1);
    EXPECT_EQ(socket->ReceiveFrom(buffer, sizeof buffer, sender), 2);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0x01, 0x02, 0xEE}));
}

TEST_P(NetworkContract, ReceiveWithNothingQueuedFailsInsteadOfBlocking) {
    auto socket = Open();
    ASSERT_NE(socket, nullptr);
    Introduce(*socket);
    std::uint8_t buffer[4];
    Ipv4Address sender = 0;
    const auto start = Harness().Now();
    EXPECT_EQ(socket->ReceiveFrom(buffer, sizeof buffer, sender), -1);
    EXPECT_LT(Since(start), kPromptly);
}

TEST_P(NetworkContract, WaitsAreReadyTimedOutOrFailed) {
    auto socket = Open();
    ASSERT_NE(socket, nullptr);
    Introduce(*socket);
    auto start = Harness().Now();
    EXPECT_EQ(socket->WaitReadable({0, 0}), 0);
    EXPECT_LT(Since(start), kPromptly);

    start = Harness().Now();
    EXPECT_EQ(socket->WaitReadable({0, 250'000}), 0);
    EXPECT_GE(Since(start), 250ms);
    EXPECT_LT(Since(start), 250ms + kPromptly);

    // Microseconds of a second or more stand for whole seconds: 1.3 s in all.
    start = Harness().Now();
    EXPECT_EQ(socket->WaitReadable({0, 1'300'000}), 0);
    EXPECT_GE(Since(start), 1300ms);
    EXPECT_LT(Since(start), 1300ms + kPromptly);

    // A wait reads nothing: the datagram stays ready until it is received.
    Harness().PeerAnswers({7});
    EXPECT_EQ(socket->WaitReadable({2, 0}), 1);
    EXPECT_EQ(socket->WaitReadable({0, 0}), 1);

    // A negative limit fails at once, even with a datagram queued.
    for (const WaitTime limit : {WaitTime{-1, 0}, WaitTime{0, -1}, WaitTime{10, -1}}) {
        start = Harness().Now();
        EXPECT_EQ(socket->WaitReadable(limit), -1);
        EXPECT_LT(Since(start), kPromptly);
    }
}

TEST_P(NetworkContract, ShutdownFailsPendingWaitsAtOnce) {
    auto socket = Open();
    auto other = Open();
    ASSERT_NE(socket, nullptr);
    ASSERT_NE(other, nullptr);
    Introduce(*socket);
    Introduce(*other);
    Harness().HoldWaits();
    std::atomic<int> single{2};
    std::atomic<int> several{2};
    std::atomic<int> started{0};
    Clock::time_point woke[2];
    std::thread singleWaiter([&] {
        ++started;
        single = socket->WaitReadable({10, 0});
        woke[0] = Clock::now();
    });
    std::thread severalWaiter([&] {
        ++started;
        std::size_t index = 0;
        several = Net().WaitAnyReadable({other.get(), socket.get()}, {10, 0}, index);
        woke[1] = Clock::now();
    });
    while (started.load() < 2) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(100ms);
    const auto shutdownAt = Clock::now();
    Net().Shutdown();
    singleWaiter.join();
    severalWaiter.join();

    EXPECT_EQ(single.load(), -1);
    EXPECT_EQ(several.load(), -1);
    EXPECT_LT(woke[0] - shutdownAt, kPromptly);
    EXPECT_LT(woke[1] - shutdownAt, kPromptly);
}

TEST_P(NetworkContract, WaitAnyReadableNamesTheLowestReadySocketOnTheNetworksClock) {
    auto first = Open();
    auto second = Open();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    Introduce(*first);
    Introduce(*second);
    const std::vector<UdpSocket*> both = {first.get(), second.get()};
    std::size_t index = 9;

    const std::int64_t clockStart = Net().MonotonicMicros();
    const auto start = Harness().Now();
    EXPECT_EQ(Net().WaitAnyReadable(both, {0, 250'000}, index), 0);
    EXPECT_GE(Net().MonotonicMicros() - clockStart, 250'000);
    EXPECT_LT(Since(start), 250ms + kPromptly);

    Harness().PeerAnswers({7});  // to the socket introduced last
    EXPECT_EQ(Net().WaitAnyReadable(both, {2, 0}, index), 1);
    EXPECT_EQ(index, 1u);
    // Both readable: the lower index wins, and waiting read nothing.
    Introduce(*first);
    Harness().PeerAnswers({8});
    ASSERT_EQ(first->WaitReadable({2, 0}), 1);
    index = 9;
    EXPECT_EQ(Net().WaitAnyReadable(both, {0, 0}, index), 1);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(Net().WaitAnyReadable({second.get()}, {0, 0}, index), 1);
    EXPECT_EQ(index, 0u);

    EXPECT_EQ(Net().WaitAnyReadable({}, {1, 0}, index), -1);
    EXPECT_EQ(Net().WaitAnyReadable(both, {0, -1}, index), -1);
    Net().Shutdown();
    const auto shutdownAt = Harness().Now();
    EXPECT_EQ(Net().WaitAnyReadable(both, {10, 0}, index), -1);
    EXPECT_LT(Since(shutdownAt), kPromptly);
}

TEST_P(NetworkContract, LocalSubnetsAreNonLoopbackInterfacesLedByTheLocalAddress) {
    const std::vector<Ipv4Subnet> subnets = Net().LocalSubnets();
    for (const Ipv4Subnet& subnet : subnets) {
        EXPECT_NE(subnet.address >> 24, 127u) << FormatIpv4(subnet.address);
        const Ipv4Address hostBits = ~subnet.mask;
        EXPECT_EQ(hostBits & (hostBits + 1), 0u) << "not a mask: " << FormatIpv4(subnet.mask);
    }
    if (!subnets.empty()) {
        EXPECT_EQ(Net().LocalAddress(), subnets.front().address);
    }
}

TEST_P(NetworkContract, AfterShutdownWaitsSendsAndOpensFail) {
    auto socket = Open();
    ASSERT_NE(socket, nullptr);
    Introduce(*socket);
    Harness().PeerAnswers({7});
    ASSERT_EQ(socket->WaitReadable({2, 0}), 1);
    Net().Shutdown();
    Net().Shutdown();  // a second call changes nothing

    const auto start = Harness().Now();
    EXPECT_EQ(socket->WaitReadable({10, 0}), -1);
    EXPECT_LT(Since(start), kPromptly);
    EXPECT_FALSE(Send(*socket, Harness().PeerAddress(), Harness().PeerPort(), {1}));
    EXPECT_FALSE(Harness().PeerHears(200ms));
    EXPECT_EQ(Net().OpenUdpSocket(), nullptr);
}

TEST_P(NetworkContract, RestartServesNewSocketsWhileOldOnesStayShutDown) {
    auto old = Open();
    ASSERT_NE(old, nullptr);
    Introduce(*old);
    Net().Shutdown();
    Net().Restart();

    auto fresh = Open();
    ASSERT_NE(fresh, nullptr);
    Introduce(*fresh);
    Harness().PeerAnswers({8});
    EXPECT_EQ(fresh->WaitReadable({2, 0}), 1);

    EXPECT_EQ(old->WaitReadable({0, 0}), -1);
    EXPECT_FALSE(Send(*old, Harness().PeerAddress(), Harness().PeerPort(), {1}));
    EXPECT_FALSE(Harness().PeerHears(200ms));
}

TEST_P(NetworkContract, SendReportTellsWhyTheLastSendFailed) {
    auto socket = Open();
    ASSERT_NE(socket, nullptr);
    const Ipv4Address peer = Harness().PeerAddress();
    const std::uint16_t port = Harness().PeerPort();
    // More than a UDP datagram over IPv4 can carry (65,507 bytes): the system refuses it.
    const Bytes tooLong(70'000, 0x41);

    ASSERT_TRUE(Send(*socket, peer, port, {1}));
    EXPECT_TRUE(Harness().PeerHears(2s));
    ExpectNothingReported(socket->LastSendReport());

    EXPECT_FALSE(Send(*socket, peer, port, tooLong));
    SendReport refused = socket->LastSendReport();
    EXPECT_NE(refused.errorText, "");
    refused.errorText.clear();
    ExpectNothingReported(refused);  // a send to one address names no interface

    // Every send starts a fresh report: one that went out, and one the shut-down refused.
    ASSERT_TRUE(Send(*socket, peer, port, {2}));
    ExpectNothingReported(socket->LastSendReport());
    EXPECT_FALSE(Send(*socket, peer, port, tooLong));
    Net().Shutdown();
    EXPECT_FALSE(Send(*socket, peer, port, {3}));
    ExpectNothingReported(socket->LastSendReport());
}

// --- The system's networks ---

TEST_P(SystemNetworkContract, SocketOutlivingItsNetworkStillWorks) {
    auto socket = Open();
    ASSERT_NE(socket, nullptr);
    Harness().DestroyNetwork();
    Introduce(*socket);
    Harness().PeerAnswers({5});
    EXPECT_EQ(socket->WaitReadable({2, 0}), 1);
}

// --- Printers on two links ---

TEST_P(LanNetworkContract, BroadcastNeedsPermissionAndItsReportNamesEveryInterface) {
    const std::vector<std::string> interfaces = Sorted(Harness().BroadcastInterfaces());
    const int count = static_cast<int>(interfaces.size());
    auto socket = Open();
    ASSERT_NE(socket, nullptr);

    EXPECT_FALSE(Send(*socket, kLimitedBroadcast, kPrinterPort, Request(1)));
    const SendReport refused = socket->LastSendReport();
    EXPECT_EQ(refused.interfacesTried, count);
    EXPECT_TRUE(refused.interfacesSent.empty());
    EXPECT_EQ(Sorted(refused.interfacesFailed), interfaces);
    EXPECT_NE(refused.errorText, "");

    ASSERT_TRUE(socket->EnableBroadcast());
    ASSERT_TRUE(Send(*socket, kLimitedBroadcast, kPrinterPort, Request(1)));
    const SendReport sent = socket->LastSendReport();
    EXPECT_EQ(sent.interfacesTried, count);
    EXPECT_EQ(Sorted(sent.interfacesSent), interfaces);
    EXPECT_TRUE(sent.interfacesFailed.empty());
    EXPECT_EQ(sent.errorText, "");

    // It left by both links: each link's printer answers.
    std::set<Ipv4Address> senders;
    for (const Datagram& reply : Collect(*socket, 1500ms)) {
        senders.insert(reply.sender);
        EXPECT_EQ(Head(reply.bytes), (Bytes{1, 0, 0, 0})) << FormatIpv4(reply.sender);
    }
    EXPECT_EQ(senders, (std::set<Ipv4Address>{kLinkOnePrinter, kFactoryPrinter}));

    ASSERT_TRUE(Send(*socket, kLinkOnePrinter, kPrinterPort, Request(1)));
    ExpectNothingReported(socket->LastSendReport());
}

TEST_P(LanNetworkContract, LocalSubnetsAreTheOperatorsLinks) {
    std::vector<Ipv4Subnet> subnets = Net().LocalSubnets();
    std::sort(subnets.begin(), subnets.end(),
              [](const Ipv4Subnet& a, const Ipv4Subnet& b) { return a.address < b.address; });
    EXPECT_EQ(subnets, kLinkSubnets);
}

// --- Reply paths (linked sandbox) ---

TEST_P(ReplyPathContract, APathLearntByOneSocketSteersTheNetworksLaterSockets) {
    // Before any reply the routes lead out of link 1, where the factory printer is not.
    {
        auto early = Open();
        ASSERT_NE(early, nullptr);
        Send(*early, kFactoryPrinter, kPrinterPort, Request(2));
        EXPECT_TRUE(Collect(*early, 1s).empty()) << "reached without a learnt path";
    }

    {
        auto search = Open();
        ASSERT_NE(search, nullptr);
        ASSERT_TRUE(search->EnableBroadcast());
        ASSERT_TRUE(Send(*search, kLimitedBroadcast, kPrinterPort, Request(1)));
        bool heard = false;
        for (const Datagram& reply : Collect(*search, 1500ms)) {
            heard = heard || reply.sender == kFactoryPrinter;
        }
        ASSERT_TRUE(heard) << "the factory printer did not answer the broadcast";
    }

    // A later socket of the same network, as a detail probe opens one.
    auto probe = Open();
    ASSERT_NE(probe, nullptr);
    ASSERT_TRUE(Send(*probe, kFactoryPrinter, kPrinterPort, Request(2)));
    std::vector<Datagram> replies = Collect(*probe, 1500ms);
    ASSERT_EQ(replies.size(), 1u) << "the probe did not leave by the reply's link";
    EXPECT_EQ(replies[0].sender, kFactoryPrinter);
    EXPECT_EQ(Head(replies[0].bytes), (Bytes{2, 0, 0, 0}));

    // The path survives a stopped search, for the next search's probes.
    Net().Shutdown();
    Net().Restart();
    auto next = Open();
    ASSERT_NE(next, nullptr);
    ASSERT_TRUE(Send(*next, kFactoryPrinter, kPrinterPort, Request(3)));
    replies = Collect(*next, 1500ms);
    ASSERT_EQ(replies.size(), 1u) << "the path was lost across Restart()";
    EXPECT_EQ(Head(replies[0].bytes), (Bytes{3, 0, 0, 0}));
}

}  // namespace vindle::contract
