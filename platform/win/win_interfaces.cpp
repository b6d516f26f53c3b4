#include "platform/win/win_interfaces.h"

// Winsock first: the helper headers build on it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <algorithm>
#include <cstring>

namespace vindle {
namespace {

constexpr int kListAttempts = 3;

std::string Utf8(const wchar_t* text) {
    if (text == nullptr || *text == L'\0') {
        return {};
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
    narrow.pop_back();
    return narrow;
}

}  // namespace

std::vector<WinInterface> UsableInterfaces() {
    constexpr ULONG kFlags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The list may grow between asking for its size and reading it.
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < kListAttempts && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(size, 0);
        status =
            GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                 reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    std::vector<WinInterface> interfaces;
    if (status != NO_ERROR) {
        return interfaces;
    }
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
            continue;
        }
        WinInterface entry;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            const SOCKADDR* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) {
                continue;
            }
            sockaddr_in ipv4{};
            std::memcpy(&ipv4, address, sizeof ipv4);
            const unsigned prefix = std::min<unsigned>(unicast->OnLinkPrefixLength, 32);
            const Ipv4Address mask = prefix == 0 ? 0 : ~Ipv4Address{0} << (32 - prefix);
            entry.subnets.push_back({ntohl(ipv4.sin_addr.s_addr), mask});
        }
        if (entry.subnets.empty()) {
            continue;
        }
        entry.index = adapter->IfIndex;
        entry.name = Utf8(adapter->FriendlyName);
        if (entry.name.empty()) {
            entry.name = adapter->AdapterName != nullptr ? adapter->AdapterName : "";
        }
        interfaces.push_back(std::move(entry));
    }
    return interfaces;
}

}  // namespace vindle
