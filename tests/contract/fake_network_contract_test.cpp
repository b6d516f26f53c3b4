// The network contract against the in-memory fake network, in virtual time. Its scripted
// printers stand where the linked sandbox's are; it has no interfaces and learns no reply paths.

#include "fakes/fake_network.h"
#include "platform/ipv4_text.h"
#include "tests/contract/network_contract.h"

namespace vindle::contract {
namespace {

constexpr Ipv4Address kPeer = 0xC633644Du;  // 198.51.100.77
constexpr std::uint16_t kPeerPort = 4000;

class FakeHarness final : public NetworkHarness {
  public:
    FakeHarness() {
        m_network.AddPrinter(MakeFakePrinter(FormatIpv4(kLinkOnePrinter), "QV-2200", "QV22A000117",
                                             {0x02, 0x1a, 0x2b, 0x0c, 0x4d, 0x5e}));
        m_network.AddPrinter(MakeFakePrinter(FormatIpv4(kFactoryPrinter), "QV-1200", "QV12F000050",
                                             {0x02, 0x1a, 0x2b, 0x0c, 0x12, 0x32}));
        m_network.SetLocalSubnets(kLinkSubnets);
    }

    Network& Net() override { return m_network; }

    Ipv4Address PeerAddress() override { return kPeer; }
    std::uint16_t PeerPort() override { return kPeerPort; }

    // Sends arrive at once; the peer looks at those it has not seen yet.
    bool PeerHears(std::chrono::milliseconds) override {
        const std::vector<FakeNetwork::SendRecord> sends = m_network.Sends();
        bool heard = false;
        for (; m_sendsSeen < sends.size() && !heard; ++m_sendsSeen) {
            const FakeNetwork::SendRecord& send = sends[m_sendsSeen];
            if (send.accepted && send.destination == kPeer && send.destinationPort == kPeerPort) {
                m_client = send.sourcePort;
                heard = true;
            }
        }
        return heard;
    }

    void PeerAnswers(const std::vector<std::uint8_t>& bytes) override {
        m_network.InjectDatagramToPort(m_client, bytes, kPeer, m_network.Now());
    }

    std::chrono::microseconds Now() override { return std::chrono::microseconds(m_network.Now()); }
    void HoldWaits() override { m_network.SetHold(true); }

    bool NeedsSandbox() override { return false; }
    std::vector<std::string> BroadcastInterfaces() override { return {}; }

  private:
    FakeNetwork m_network;
    std::size_t m_sendsSeen = 0;
    std::uint16_t m_client = 0;
};

const NetworkImplementation kFake{"Fake",
                                  [] { return std::unique_ptr<NetworkHarness>(new FakeHarness); }};

INSTANTIATE_TEST_SUITE_P(Fake, NetworkContract, ::testing::Values(kFake));
INSTANTIATE_TEST_SUITE_P(Fake, LanNetworkContract, ::testing::Values(kFake));

}  // namespace
}  // namespace vindle::contract
