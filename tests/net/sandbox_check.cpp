#include "tests/net/sandbox_check.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstdlib>

#include "platform/network.h"

namespace vindle {

namespace {

constexpr Ipv4Address kOperatorAddress = 0xC6336402u;  // 198.51.100.2

}  // namespace

bool InsideLanSandbox(std::string& reason) {
    const char* marker = std::getenv("VINDLE_LAN_SANDBOX");
    if (marker == nullptr || std::string(marker) != "1") {
        reason = "VINDLE_LAN_SANDBOX is not set";
        return false;
    }
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        reason = "cannot list the interfaces";
        return false;
    }
    bool operatorFound = false;
    bool foreignInterface = false;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        const std::string name = entry->ifa_name;
        if (name != "lo" && name != "vindle-op" && name != "vindle-peer") {
            foreignInterface = true;
            reason = "interface " + name + " is present";
        }
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET &&
            ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr) ==
                kOperatorAddress) {
            operatorFound = true;
        }
    }
    ::freeifaddrs(list);
    if (!foreignInterface && !operatorFound) {
        reason = "the operator's address 198.51.100.2 is missing";
    }
    return operatorFound && !foreignInterface;
}

bool CheckInsideLanSandbox(const char* program, const char* printersConf) {
    std::string reason;
    if (InsideLanSandbox(reason)) {
        return true;
    }
    std::fprintf(stderr,
                 "%s: not inside scripts/lan-sandbox (%s); refusing to touch a real network. "
                 "Run it as: scripts/lan-sandbox --printers-conf %s -- %s\n",
                 program, reason.c_str(), printersConf, program);
    return false;
}

}  // namespace vindle
