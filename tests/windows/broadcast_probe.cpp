// Sends one limited broadcast through the Winsock network and prints its send report: "tried N",
// then one "sent NAME" line per interface that took it. Run by broadcast_interfaces.py inside
// scripts/lan-sandbox only.
#include <cstdio>
#include <cstdlib>

#include "platform/win/win_network.h"

int main() {
    if (std::getenv("VINDLE_LAN_SANDBOX") == nullptr) {
        std::fprintf(stderr, "broadcast_probe: runs inside scripts/lan-sandbox only\n");
        return 2;
    }
    vindle::WinNetwork network;
    const auto socket = network.OpenUdpSocket();
    if (socket == nullptr || !socket->EnableBroadcast()) {
        std::fprintf(stderr, "broadcast_probe: no socket\n");
        return 1;
    }
    // The discard port: nothing answers.
    constexpr std::uint16_t kDiscardPort = 9;
    const std::uint8_t bytes[] = {0x51, 0x56};
    const bool sent = socket->SendTo(vindle::kLimitedBroadcast, kDiscardPort, bytes, sizeof bytes);
    const vindle::SendReport report = socket->LastSendReport();
    std::printf("tried %d\n", report.interfacesTried);
    for (const std::string& name : report.interfacesSent) {
        std::printf("sent %s\n", name.c_str());
    }
    if (!report.errorText.empty()) {
        std::printf("error %s\n", report.errorText.c_str());
    }
    return sent ? 0 : 1;
}
