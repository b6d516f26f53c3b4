#pragma once

#include <winsock2.h>

namespace vindle {

// Keeps the socket library started while anything that uses it exists.
struct WinsockSession {
    bool started = false;

    WinsockSession() {
        WSADATA data{};
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (started) {
            WSACleanup();
        }
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
};

}  // namespace vindle
