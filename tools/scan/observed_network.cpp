#include "tools/scan/observed_network.h"

#include "platform/forwarding_socket.h"

namespace vindle {

class ObservedSocket : public ForwardingUdpSocket {
  public:
    ObservedSocket(ObservedNetwork& network, std::unique_ptr<UdpSocket> inner)
        : ForwardingUdpSocket(std::move(inner)), m_network(network) {}

    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override {
        ++m_network.m_sendsTried;
        const bool sent = ForwardingUdpSocket::SendTo(address, port, data, size);
        if (sent) {
            ++m_network.m_sendsDone;
        } else {
            m_network.NoteFailedSend(address, LastSendReport());
        }
        return sent;
    }

    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override {
        m_network.m_lastDatagram = std::chrono::steady_clock::now().time_since_epoch().count();
        return ForwardingUdpSocket::ReceiveFrom(buffer, capacity, sender);
    }

  private:
    ObservedNetwork& m_network;
};

std::unique_ptr<UdpSocket> ObservedNetwork::OpenUdpSocket() {
    std::unique_ptr<UdpSocket> socket = Inner().OpenUdpSocket();
    if (!socket) {
        m_openFailed = true;
        return nullptr;
    }
    return std::make_unique<ObservedSocket>(*this, std::move(socket));
}

void ObservedNetwork::NoteFailedSend(Ipv4Address address, const SendReport& report) {
    std::lock_guard lock(m_failureMutex);
    m_lastFailure = report;
    m_lastFailureWasBroadcast = address == kLimitedBroadcast;
}

std::string ObservedNetwork::UnusableReason() const {
    if (m_openFailed) {
        return "no UDP socket could be opened";
    }
    std::lock_guard lock(m_failureMutex);
    if (!m_lastFailure) {
        return "no request could be sent";
    }
    std::string reason = "no request could be sent (" +
                         (m_lastFailure->errorText.empty() ? std::string("no reason given")
                                                           : m_lastFailure->errorText) +
                         ")";
    if (!m_lastFailureWasBroadcast) {
        return reason;
    }
    if (m_lastFailure->interfacesTried == 0) {
        return reason +
               "; interfaces tried: none (no interface other than loopback is up, "
               "broadcast-capable and has an IPv4 address)";
    }
    reason += "; interfaces tried:";
    const char* separator = " ";
    for (const auto* names : {&m_lastFailure->interfacesSent, &m_lastFailure->interfacesFailed}) {
        for (const std::string& name : *names) {
            reason += separator + name;
            separator = ", ";
        }
    }
    return reason;
}

bool ObservedNetwork::Unusable() const {
    return m_openFailed || (m_sendsTried > 0 && m_sendsDone == 0);
}

std::chrono::steady_clock::duration ObservedNetwork::SinceLastDatagram() const {
    return std::chrono::steady_clock::now().time_since_epoch() -
           std::chrono::steady_clock::duration(m_lastDatagram.load());
}

}  // namespace vindle
