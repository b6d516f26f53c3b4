#include "bench/instant_network.h"

#include <algorithm>
#include <cstring>

namespace vindle {

namespace {

constexpr std::uint16_t kPrinterPort = 3001;
constexpr std::size_t kRequestBytes = 7;

}  // namespace

std::unique_ptr<UdpSocket> InstantNetwork::OpenUdpSocket() {
    if (m_shutDown) {
        return nullptr;
    }
    return std::make_unique<Socket>(*this);
}

std::unique_ptr<InstantNetwork::Socket> InstantNetwork::OpenSearchSocket() {
    return std::make_unique<Socket>(*this);
}

std::vector<std::uint8_t> InstantNetwork::BuildReply(const Printer& printer,
                                                     const std::uint8_t* request) {
    const std::uint8_t* payload = nullptr;
    std::size_t payloadSize = 0;
    std::size_t replySize = 4;
    switch (request[0]) {
        case 1:
            payload = printer.model.data();
            payloadSize = printer.model.size();
            replySize = 4 + payloadSize;
            break;
        case 2:
            payload = printer.serial.data();
            payloadSize = printer.serial.size();
            replySize = 4 + payloadSize;
            break;
        case 3:
            // The MAC address and its further bytes, then one unused byte.
            payload = printer.mac.data();
            payloadSize = printer.mac.size();
            replySize = 4 + payloadSize + 1;
            break;
        default:
            break;
    }
    std::vector<std::uint8_t> reply(replySize, 0);
    std::memcpy(reply.data(), request, 4);
    if (payloadSize > 0) {
        std::memcpy(reply.data() + 4, payload, payloadSize);
    }
    return reply;
}

const InstantNetwork::Printer* InstantNetwork::FindPrinter(Ipv4Address address) const {
    const auto it = std::find_if(m_printers.begin(), m_printers.end(),
                                 [&](const Printer& p) { return p.address == address; });
    return it == m_printers.end() ? nullptr : &*it;
}

bool InstantNetwork::Socket::SendTo(Ipv4Address address, std::uint16_t port,
                                    const std::uint8_t* data, std::size_t size) {
    if (m_network.m_shutDown) {
        return false;
    }
    if (port == kPrinterPort && size >= kRequestBytes) {
        if (const Printer* printer = m_network.FindPrinter(address)) {
            Queue(BuildReply(*printer, data), address);
        }
    }
    return true;
}

int InstantNetwork::WaitAnyReadable(const std::vector<UdpSocket*>& sockets, WaitTime limit,
                                    std::size_t& readyIndex) {
    if (sockets.empty()) {
        return -1;
    }
    for (std::size_t index = 0; index < sockets.size(); ++index) {
        const int ready = sockets[index]->WaitReadable(limit);
        if (ready != 0) {
            readyIndex = index;
            return ready;
        }
    }
    return 0;
}

int InstantNetwork::Socket::WaitReadable(WaitTime limit) {
    if (m_network.m_shutDown || limit.seconds < 0 || limit.microseconds < 0) {
        return -1;
    }
    return m_queue.empty() ? 0 : 1;
}

int InstantNetwork::Socket::ReceiveFrom(std::uint8_t* buffer, std::size_t capacity,
                                        Ipv4Address& sender) {
    if (m_queue.empty()) {
        return -1;
    }
    Datagram datagram = std::move(m_queue.front());
    m_queue.pop_front();
    if (datagram.bytes.size() > capacity) {
        return -1;
    }
    std::memcpy(buffer, datagram.bytes.data(), datagram.bytes.size());
    sender = datagram.sender;
    return static_cast<int>(datagram.bytes.size());
}

void InstantNetwork::Socket::Queue(std::vector<std::uint8_t> bytes, Ipv4Address sender) {
    m_queue.push_back({std::move(bytes), sender});
}

}  // namespace vindle
