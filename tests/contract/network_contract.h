// The promises of platform/network.h, written once and run against every implementation: each
// implementation file gives a harness factory and instantiates the suites that apply to it.
//
//   NetworkContract        every network; sends to one address only (loopback for the real ones)
//   SystemNetworkContract  the system's networks: a socket outlives its network
//   LanNetworkContract     printers on two links: the limited broadcast and its send report
//                          (the system's networks inside the linked sandbox, the fake in memory)
//   ReplyPathContract      the system's networks inside the linked sandbox: reply paths
//
// The linked sandbox of the LAN suites, as CTest and scripts/test-windows build it:
//   scripts/lan-sandbox --link 198.51.100.2/24 --printers-conf tests/contract/link1_printers.conf
//                       --link 203.0.113.2/24 --printers-conf tests/contract/link2_printers.conf
//                       --default-route 1 --simulator qarv-printer-sim -- TEST --gtest_filter=...

#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/network.h"

namespace vindle::contract {

constexpr std::uint16_t kPrinterPort = 3001;
// The printer on link 1, in the operator's subnet there.
constexpr Ipv4Address kLinkOnePrinter = 0xC633640Au;  // 198.51.100.10
// The printer behind link 2 on its factory address, outside every operator subnet; the default
// route leads out of link 1, so only a learnt reply path reaches it.
constexpr Ipv4Address kFactoryPrinter = 0xC6120032u;  // 198.18.0.50
// The operator's interfaces in the linked sandbox.
const std::vector<std::string> kLinkInterfaces = {"vindle-op1", "vindle-op2"};
// Their addresses and masks, in address order.
const std::vector<Ipv4Subnet> kLinkSubnets = {{0xC6336402u, 0xFFFFFF00u},   // 198.51.100.2/24
                                              {0xCB007102u, 0xFFFFFF00u}};  // 203.0.113.2/24

// One implementation under test, made afresh for each case.
class NetworkHarness {
  public:
    virtual ~NetworkHarness() = default;

    virtual Network& Net() = 0;
    // Ends the network while its sockets live on (only the system's networks allow it).
    virtual void DestroyNetwork() {}

    // The far end of NetworkContract: where a socket under test sends to.
    virtual Ipv4Address PeerAddress() = 0;
    virtual std::uint16_t PeerPort() = 0;
    // True when a datagram from a socket under test reached the peer within `limit`; the peer
    // then answers to where it came from.
    virtual bool PeerHears(std::chrono::milliseconds limit) = 0;
    virtual void PeerAnswers(const std::vector<std::uint8_t>& bytes) = 0;

    // The clock waits are measured by: real time, or the fake's virtual time.
    virtual std::chrono::microseconds Now() = 0;
    // From now on a wait blocks for real until it ends (the fake's waits otherwise return at
    // once in virtual time).
    virtual void HoldWaits() {}

    // Whether the LAN suites need the linked sandbox (the fake's printers are in memory).
    virtual bool NeedsSandbox() = 0;
    // The interfaces a limited broadcast is offered to, as the system lists them.
    virtual std::vector<std::string> BroadcastInterfaces() = 0;
};

constexpr Ipv4Address kLoopback = 0x7F000001u;

// A system's network of type `SystemNetwork`, answered on 127.0.0.1 by `Peer`: a plain socket of
// the same socket library with Port(), Hear(limit) and Answer(bytes). Waits run in real time.
template <class SystemNetwork, class Peer>
class SystemNetworkHarness : public NetworkHarness {
  public:
    Network& Net() override { return *m_network; }
    void DestroyNetwork() override { m_network.reset(); }

    Ipv4Address PeerAddress() override { return kLoopback; }
    std::uint16_t PeerPort() override { return m_peer.Port(); }
    bool PeerHears(std::chrono::milliseconds limit) override { return m_peer.Hear(limit); }
    void PeerAnswers(const std::vector<std::uint8_t>& bytes) override { m_peer.Answer(bytes); }

    std::chrono::microseconds Now() override {
        return std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    bool NeedsSandbox() override { return true; }

  private:
    Peer m_peer;
    std::unique_ptr<SystemNetwork> m_network = std::make_unique<SystemNetwork>();
};

struct NetworkImplementation {
    const char* name;
    std::unique_ptr<NetworkHarness> (*make)();
};

inline void PrintTo(const NetworkImplementation& implementation, std::ostream* out) {
    *out << implementation.name;
}

class NetworkContract : public ::testing::TestWithParam<NetworkImplementation> {
  protected:
    void SetUp() override;

    NetworkHarness& Harness() { return *m_harness; }
    Network& Net() { return m_harness->Net(); }
    std::unique_ptr<UdpSocket> Open();
    // A first send from `socket`, so that the peer knows where to answer.
    void Introduce(UdpSocket& socket);
    // Time passed on the harness's clock.
    std::chrono::microseconds Since(std::chrono::microseconds start);

  private:
    std::unique_ptr<NetworkHarness> m_harness;
};

class SystemNetworkContract : public NetworkContract {};

struct Datagram {
    Ipv4Address sender = 0;
    std::vector<std::uint8_t> bytes;
};

class LanNetworkContract : public NetworkContract {
  protected:
    // Refuses to run outside the linked sandbox: nothing may be broadcast on a real network.
    void SetUp() override;
    // Every datagram that arrives within `window` of the harness's clock.
    std::vector<Datagram> Collect(UdpSocket& socket, std::chrono::microseconds window);
};

class ReplyPathContract : public LanNetworkContract {};

}  // namespace vindle::contract
