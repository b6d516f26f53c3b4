#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant aborts, which libFuzzer reports as a crash and saves the input.
#define FUZZ_CHECK(condition, what)                                                              \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "invariant broken at %s:%d: %s\n", __FILE__, __LINE__, (what)); \
            std::abort();                                                                        \
        }                                                                                        \
    } while (false)
