#include "platform/resolved_host_address.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>
#endif

#include <cstring>

namespace vindle {

std::optional<Ipv4Address> ResolvedHostAddress() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return std::nullopt;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* result = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &result) != 0) {
        return std::nullopt;
    }
    std::optional<Ipv4Address> found;
    for (const addrinfo* entry = result; entry != nullptr && !found; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            sockaddr_in address{};
            std::memcpy(&address, entry->ai_addr, sizeof address);
            found = ntohl(address.sin_addr.s_addr);
        }
    }
    ::freeaddrinfo(result);
    return found;
}

}  // namespace vindle
