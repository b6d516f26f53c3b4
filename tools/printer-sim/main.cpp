// qarv-printer-sim: many simulated printers of the discovery protocol in one process.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/ipv4_text.h"
#include "tools/printer-sim/sim_printer.h"
#include "tools/printer-sim/sim_server.h"

namespace {

constexpr const char* kUsage = R"(Usage: qarv-printer-sim (--config FILE | --printers N) [OPTIONS]

Simulates printers that answer the discovery protocol on UDP (kinds 1, 2 and 3).
Each printer answers from its own address; those addresses must exist on this
host, so run it inside scripts/lan-sandbox (see its --help). Only requesters
whose address belongs to this host are answered; inside the sandbox
(VINDLE_LAN_SANDBOX=1 and every address of the network namespace in the ranges
below or loopback), requesters in 198.51.100.0/24, 203.0.113.0/24 and
198.18.0.0/15 too, such as the operator behind a --link of the sandbox.

  --config FILE      printers from FILE (format below)
  --printers N       N printers (1-200) from 198.51.100.10 upwards, /24, with
                     generated model and serial numbers and locally
                     administered MAC addresses 02:51:64:00:xx:xx
  --port PORT        UDP port to listen on (default 3001)
  --bind ADDRESS     local address to bind (default 0.0.0.0; a broadcast
                     reaches the printers only when bound to 0.0.0.0)
  --list-addresses   print each printer's ADDRESS/PREFIX, one a line, and exit
  --verbose          log every request (with the interface it came in on) and
                     reply to standard error
  --flood            at the first kind-1 request, also send a burst of junk
                     datagrams to its sender (address and port), from the
                     printers' addresses in turn, while the printers go on
                     answering: garbage of random length, wrong heads,
                     oversize datagrams with the request's head, and heads
                     with other sequence bytes; none is acceptable as a reply.
                     Once per run; it stops by itself. Start and end (count,
                     kinds, CLOCK_MONOTONIC time of the last datagram) are
                     reported on standard error.
  --flood-rate N     datagrams per second (1-50000, default 5000)
  --flood-seconds S  length of the burst (1-60, default 10)
  --flood-seed N     seed of the junk's random bytes (default 3001)
  --help             show this text

Configuration file: one printer a line,
  ADDRESS[/PREFIX] [KEY=VALUE ...]
"#" starts a comment; double quotes keep blanks in a value. ADDRESS must lie in
198.51.100.0/24, 203.0.113.0/24, 198.18.0.0/15 or 127.0.0.0/8, and so must its
whole subnet; PREFIX defaults to 24. Keys:
  model=TEXT         model number, at most 17 bytes (default generated)
  serial=TEXT        serial number, at most 11 bytes; serial="" answers empty
  mac=XX:XX:XX:XX:XX:XX   MAC address (default generated)
  extra=HEX          the 10 further bytes of the kind-3 reply (20 hex digits)
  delay=MS           answer kind 1 after MS milliseconds
  detail-delay=MS    answer kinds 2 and 3 after MS milliseconds (a printer
                     waking from sleep)
  silent=KINDS       do not answer these kinds, e.g. silent=3 or silent=2,3
  wrong-head=KINDS   answer with a changed sequence byte
  oversize=KINDS     answer with a datagram longer than the kind's reply size
  short=KINDS        answer with the 4-byte head only
  twice=KINDS        answer these kinds twice
Kind 1 reaches a printer sent to 255.255.255.255, to its address or to its
subnet's broadcast address; kinds 2 and 3 only to its address. Replies are 21,
15 and 21 bytes: the request's first 4 bytes, then model (17), serial (11) or
MAC (6) + further bytes (10) + one unused byte, zero-padded.

Example:
  198.51.100.10  model="QV-2200" serial=SN000000001 mac=02:1a:2b:0c:4d:5e
  198.51.100.11  delay=1500 silent=3
  203.0.113.20/24  wrong-head=2
SIGINT or SIGTERM stops it; exit status 0 then, 1 on a socket failure, 2 on
bad options or configuration.
)";

int UsageError(const std::string& message) {
    std::fprintf(stderr, "qarv-printer-sim: %s\nTry --help.\n", message.c_str());
    return 2;
}

bool ParseCount(std::string_view text, long low, long high, long& value) {
    char* end = nullptr;
    const std::string copy(text);
    const long parsed = std::strtol(copy.c_str(), &end, 10);
    if (copy.empty() || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vindle;
    std::string configPath;
    long printerCount = 0;
    bool listAddresses = false;
    sim::ServerOptions options;
    bool floodTuned = false;

    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (argument == "--verbose" || argument == "-v") {
            options.verbose = true;
        } else if (argument == "--list-addresses") {
            listAddresses = true;
        } else if (argument == "--flood") {
            options.flood.enabled = true;
        } else if (argument == "--flood-rate" && hasValue) {
            if (!ParseCount(argv[++i], 1, sim::kMaxFloodRate, options.flood.rate)) {
                return UsageError("--flood-rate needs a number from 1 to 50000");
            }
            floodTuned = true;
        } else if (argument == "--flood-seconds" && hasValue) {
            if (!ParseCount(argv[++i], 1, sim::kMaxFloodSeconds, options.flood.seconds)) {
                return UsageError("--flood-seconds needs a number from 1 to 60");
            }
            floodTuned = true;
        } else if (argument == "--flood-seed" && hasValue) {
            long seed = 0;
            if (!ParseCount(argv[++i], 0, 0x7FFFFFFF, seed)) {
                return UsageError("--flood-seed needs a number from 0 to 2147483647");
            }
            options.flood.seed = static_cast<std::uint32_t>(seed);
            floodTuned = true;
        } else if (argument == "--config" && hasValue) {
            configPath = argv[++i];
        } else if (argument == "--printers" && hasValue) {
            if (!ParseCount(argv[++i], 1, sim::kMaxGeneratedPrinters, printerCount)) {
                return UsageError("--printers needs a number from 1 to 200");
            }
        } else if (argument == "--port" && hasValue) {
            long port = 0;
            if (!ParseCount(argv[++i], 1, 65535, port)) {
                return UsageError("--port needs a number from 1 to 65535");
            }
            options.port = static_cast<std::uint16_t>(port);
        } else if (argument == "--bind" && hasValue) {
            const auto address = ParseIpv4(argv[++i]);
            if (!address) {
                return UsageError("--bind needs an IPv4 address");
            }
            options.bindAddress = *address;
        } else {
            return UsageError("unknown or incomplete option \"" + std::string(argument) + "\"");
        }
    }
    if (floodTuned && !options.flood.enabled) {
        return UsageError("--flood-rate, --flood-seconds and --flood-seed need --flood");
    }
    if (configPath.empty() == (printerCount == 0)) {
        return UsageError("give exactly one of --config FILE and --printers N");
    }

    std::vector<sim::SimPrinter> printers;
    if (!configPath.empty()) {
        std::ifstream file(configPath, std::ios::binary);
        if (!file) {
            return UsageError("cannot read " + configPath);
        }
        std::ostringstream text;
        text << file.rdbuf();
        std::string error;
        auto parsed = sim::ParsePrinterConfig(text.str(), error);
        if (!parsed) {
            return UsageError(configPath + ": " + error);
        }
        printers = std::move(*parsed);
    } else {
        printers = sim::GeneratePrinters(static_cast<int>(printerCount));
    }

    if (listAddresses) {
        std::fputs(sim::ListAddresses(printers).c_str(), stdout);
        return 0;
    }
    return sim::RunServer(printers, options);
}
