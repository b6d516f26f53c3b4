#pragma once

#include <chrono>

#include "platform/network.h"

namespace vindle {

// When a wait for `limit` (no part negative) that starts now ends: microseconds of a second or
// more count as whole seconds, and a limit beyond a billion seconds is cut to that, far from the
// clock's overflow.
inline std::chrono::steady_clock::time_point WaitDeadline(WaitTime limit) {
    constexpr long long kMaxWaitSeconds = 1'000'000'000;
    long long seconds = static_cast<long long>(limit.seconds) + limit.microseconds / 1'000'000;
    const long long microseconds = limit.microseconds % 1'000'000;
    if (seconds > kMaxWaitSeconds) {
        seconds = kMaxWaitSeconds;
    }
    return std::chrono::steady_clock::now() + std::chrono::seconds(seconds) +
           std::chrono::microseconds(microseconds);
}

}  // namespace vindle
