// Drives a whole search (broadcast or specified, as the input chooses) over the in-memory network
// with scripted printers and injected datagrams of any length and content, then checks what the
// search left behind. Every address below lives only in the fake network's memory.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "discovery/broadcast_search.h"
#include "discovery/device_table.h"
#include "discovery/protocol.h"
#include "discovery/specified_search.h"
#include "fakes/fake_list_view.h"
#include "fakes/fake_network.h"
#include "fakes/temp_dir.h"
#include "fuzz/byte_script.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/slot_checks.h"
#include "platform/forwarding_socket.h"
#include "platform/ipv4_text.h"
#include "settings/settings_file.h"

namespace vindle {
namespace {

constexpr int kMaxPrinters = 24;  // more than the 20 slots
constexpr int kMaxInjected = 48;
constexpr int kMaxTimeoutSeconds = 12;
constexpr int kMaxPairs = 6;
constexpr std::size_t kMaxDatagram = 1500;
constexpr std::int64_t kArrivalStepMicros = 350;  // a word of arrival time spans ~23 s
constexpr std::int64_t kDelayStepMicros = 150;    // a word of reply delay spans ~9.8 s

// Printers live in the documentation and benchmarking ranges.
constexpr Ipv4Address kNetworks[] = {0xC6336400u, 0xCB007100u, 0xC6120000u, 0xC613FF00u};
constexpr const char* kMasks[] = {"255.255.255.0",   "255.255.255.255", "255.255.0.0",
                                  "255.255.255.128", "255.254.0.0",     "0.0.0.0"};
constexpr int kPrefixLengths[] = {24, 24, 16, 32, 8, 15};
// The fake network's own address, and its /24 subnet's broadcast address.
constexpr Ipv4Address kOperatorAddress = 0xC6336402u;
constexpr Ipv4Address kLocalSubnetBroadcast = kOperatorAddress | 0xFFu;

// VINDLE_FUZZ_VERBOSE=1 prints what each input listed, to see what a seed or a finding does.
bool g_verbose = false;

// A network that checks the table before and after every socket operation of the search.
class CheckingSocket : public ForwardingUdpSocket {
  public:
    CheckingSocket(std::unique_ptr<UdpSocket> inner, const SearchContext*& context)
        : ForwardingUdpSocket(std::move(inner)), m_context(context) {}
    // The search's own socket closes after the counters were set back to 0 for the end.
    ~CheckingSocket() override { CheckTable(m_context, false); }

    bool SendTo(Ipv4Address address, std::uint16_t port, const std::uint8_t* data,
                std::size_t size) override {
        CheckTable(m_context);
        return ForwardingUdpSocket::SendTo(address, port, data, size);
    }
    int WaitReadable(WaitTime limit) override {
        CheckTable(m_context);
        return ForwardingUdpSocket::WaitReadable(limit);
    }
    int ReceiveFrom(std::uint8_t* buffer, std::size_t capacity, Ipv4Address& sender) override {
        CheckTable(m_context);
        const int result = ForwardingUdpSocket::ReceiveFrom(buffer, capacity, sender);
        FUZZ_CHECK(result <= static_cast<int>(capacity), "receive within its buffer");
        return result;
    }

  private:
    const SearchContext*& m_context;
};

class CheckingNetwork : public ForwardingNetwork {
  public:
    explicit CheckingNetwork(FakeNetwork& inner) : ForwardingNetwork(inner) {}

    std::unique_ptr<UdpSocket> OpenUdpSocket() override {
        CheckTable(context);
        std::unique_ptr<UdpSocket> socket = ForwardingNetwork::OpenUdpSocket();
        if (!socket) {
            return nullptr;
        }
        return std::make_unique<CheckingSocket>(std::move(socket), context);
    }

    // The running search's context; the worker frees it after its last socket and list call.
    const SearchContext* context = nullptr;
};

// --- Scenario from the input --------------------------------------------------------------

Ipv4Address PickPrinterAddress(ByteScript& script, bool narrowHosts) {
    const Ipv4Address network = kNetworks[script.Below(4)];
    const Ipv4Address host = narrowHosts ? 1 + script.Below(8) : script.Byte();
    return network | host;
}

// A datagram length: the boundaries of the three receive sizes, short ones, and a few long ones.
std::size_t PickLength(ByteScript& script) {
    const int kind = script.Below(8);
    switch (kind) {
        case 0:
            return static_cast<std::size_t>(script.Below(4));
        case 1:
            return 4;
        case 2:
            return 15;
        case 3:
            return 21;
        case 4:
            return 22;
        case 5:
            return 5 + static_cast<std::size_t>(script.Below(17));
        case 6:
            return 22 + static_cast<std::size_t>(script.Below(43));
        default:
            return script.Word() % (kMaxDatagram + 1);
    }
}

// Datagram bytes: the head is either raw input or a head of the chosen kind whose sequence byte
// lies a few steps past where that kind started, so that some guesses match the live request.
std::vector<std::uint8_t> PickDatagram(ByteScript& script, const std::uint8_t (&startSequence)[3]) {
    const std::size_t length = PickLength(script);
    const int headMode = script.Below(4);
    std::vector<std::uint8_t> head;
    if (headMode == 0) {
        head = script.Bytes(4);
    } else {
        const std::uint8_t kind = static_cast<std::uint8_t>(headMode);
        const int step = script.Below(32);
        head = {kind, static_cast<std::uint8_t>(startSequence[kind - 1] + step), 0, 0};
    }
    // Up to 32 bytes of payload come from the input; a longer datagram repeats them.
    const std::vector<std::uint8_t> pattern = script.Bytes(1 + script.Below(32));
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = i < 4 ? head[i] : pattern[(i - 4) % pattern.size()];
    }
    return bytes;
}

FakeReply PickReply(ByteScript& script, const std::uint8_t (&startSequence)[3]) {
    FakeReply reply;
    reply.behaviour = static_cast<ReplyBehaviour>(script.Below(7));
    reply.delayMicros = script.Word() * kDelayStepMicros;
    if (reply.behaviour == ReplyBehaviour::Twice) {
        reply.repeatGapMicros = script.Word() * kDelayStepMicros;
    } else if (reply.behaviour == ReplyBehaviour::TooLong) {
        reply.tooLongExtra = 1 + script.Word() % kMaxDatagram;
    } else if (reply.behaviour == ReplyBehaviour::Custom) {
        reply.customBytes = PickDatagram(script, startSequence);
    }
    return reply;
}

template <std::size_t N>
void FillArray(std::array<std::uint8_t, N>& field, ByteScript& script) {
    for (std::uint8_t& byte : field) {
        byte = script.Byte();
    }
}

std::string SettingsText(bool specified, const std::string& status, int timeoutSeconds,
                         const std::string& addresses, const std::string& masks) {
    std::string text = "[BroadCast]\nStatus=" + status + "\n[SearchSpecifiedAddress]\nStatus=" +
                       (specified ? "Enabled" : "Disabled") + "\n";
    if (!addresses.empty()) {
        text += "IPAddress=" + addresses + "\nSubnet=" + masks + "\n";
    }
    return text + "[TimeOut]\nTimeVal=" + std::to_string(timeoutSeconds) + "\n";
}

std::string PickStatus(int choice) {
    switch (choice) {
        case 0:
            return "Enabled";
        case 1:
            return "Disabled";
        default:
            return "enabled";
    }
}

// A hand-edited address or mask list: any bytes that fit on the line; bytes 0, 1 and 2 stand
// for ",", "." and "255".
std::string PickListText(ByteScript& script) {
    std::string text;
    const int length = script.Below(64);
    for (int i = 0; i < length; ++i) {
        const std::uint8_t byte = script.Byte();
        if (byte == 0 || byte == '\n' || byte == '\r') {
            text += ',';
        } else if (byte == 1) {
            text += '.';
        } else if (byte == 2) {
            text += "255";
        } else {
            text += static_cast<char>(byte);
        }
    }
    return text;
}

// Where the search's requests may go: the limited broadcast, or the local subnet's broadcast and
// the directed broadcast of each pair of the file's list that is two strict addresses.
std::set<Ipv4Address> AllowedDestinations(bool specified, FakeNetwork& network) {
    if (!specified) {
        return {kLimitedBroadcast};
    }
    std::set<Ipv4Address> allowed = {kLocalSubnetBroadcast};
    FUZZ_CHECK(network.LocalAddress() == kOperatorAddress, "the fake network's own address");
    DestinationText addresses[kDestinationCount] = {};
    DestinationText masks[kDestinationCount] = {};
    std::snprintf(addresses[0], sizeof addresses[0], "%s", FormatIpv4(kOperatorAddress).c_str());
    int count = 1;
    ReadAddressList(Settings::InWorkingDirectory(), count, addresses, masks, kDestinationCount);
    for (int i = 1; i < count; ++i) {
        const std::optional<Ipv4Address> host = ParseIpv4(SlotText(addresses[i]));
        const std::optional<Ipv4Address> mask = ParseIpv4(SlotText(masks[i]));
        if (host && mask) {
            allowed.insert(*host | ~*mask);
        }
    }
    return allowed;
}

// --- Checks after the search --------------------------------------------------------------

bool IsMacText(const std::string& text) {
    if (text.size() != 17) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool ok = i % 3 == 2 ? c == ':' : (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool IsFieldText(const std::string& text, std::size_t maxLength) {
    return !text.empty() && text.size() <= maxLength && text.find('\0') == std::string::npos;
}

void CheckRows(FakeListView& list, const std::set<Ipv4Address>& senders, int statusChoice,
               bool statusChanges) {
    const std::vector<FakeListView::Row> rows = list.Rows();
    std::set<std::string> seen;
    for (const FakeListView::Row& row : rows) {
        const std::string& address = row.texts[0];
        FUZZ_CHECK(IsCanonicalAddress(address), "row address is dotted decimal");
        FUZZ_CHECK(senders.count(*ParseIpv4(address)) == 1, "row address is a sender's");
        FUZZ_CHECK(seen.insert(address).second, "no address listed twice");
        FUZZ_CHECK(IsMacText(row.texts[1]), "MAC text is six lowercase pairs");
        FUZZ_CHECK(IsFieldText(row.texts[2], 17), "model number present, at most 17 bytes");
        FUZZ_CHECK(IsFieldText(row.texts[3], 11), "serial number present, at most 11 bytes");
        FUZZ_CHECK(row.state == ListRowState{}, "row has item data 0 and no state");
    }
    if (statusChanges) {
        return;
    }
    if (statusChoice == 0) {
        for (std::size_t i = 1; i < rows.size(); ++i) {
            FUZZ_CHECK(CompareAddressTexts(rows[i - 1].texts[0], rows[i].texts[0]) < 0,
                       "rows in ascending address order");
        }
    } else if (statusChoice == 2) {
        FUZZ_CHECK(rows.empty(), "nothing listed under an unknown status");
    }
}

bool Answers(const FakeReply& reply, std::int64_t withinMicros) {
    return (reply.behaviour == ReplyBehaviour::Normal ||
            reply.behaviour == ReplyBehaviour::Twice) &&
           reply.delayMicros <= withinMicros;
}

template <std::size_t N>
std::string TextOf(const std::array<std::uint8_t, N>& bytes) {
    const auto end = std::find(bytes.begin(), bytes.end(), 0);
    return std::string(bytes.begin(), end);
}

// On a quiet broadcast search (no stray datagrams, no failures, status "Enabled" throughout)
// every printer that answers the discovery request within T and the serial number request within
// the probe's second, with a model and a serial number, and whose address no other printer
// shares, is listed with its own texts, however many printers there are. (A repeated serial
// number answer is left out: the probe reads it in place of the MAC answer and drops the device,
// as the protocol prescribes for an answer with the wrong head.)
void CheckEveryAnsweringPrinterListed(FakeListView& list, const std::vector<FakePrinter>& printers,
                                      int timeoutSeconds) {
    constexpr std::int64_t kSecond = 1000000;
    std::map<std::string, FakeListView::Row> rows;
    for (const FakeListView::Row& row : list.Rows()) {
        rows[row.texts[0]] = row;
    }
    for (const FakePrinter& printer : printers) {
        const auto sharing = std::count_if(printers.begin(), printers.end(), [&](const auto& p) {
            return p.address == printer.address;
        });
        const ReplyBehaviour mac = printer.macAddress.behaviour;
        if (sharing != 1 || !Answers(printer.discovery, timeoutSeconds * kSecond) ||
            !Answers(printer.serialNo, kSecond) ||
            printer.serialNo.behaviour == ReplyBehaviour::Twice || printer.model[0] == 0 ||
            printer.serial[0] == 0 || mac == ReplyBehaviour::WrongHead ||
            mac == ReplyBehaviour::Custom) {
            continue;
        }
        const auto row = rows.find(FormatIpv4(printer.address));
        if (row == rows.end() || g_verbose) {
            std::fprintf(stderr, "expected in the list: %s\n", FormatIpv4(printer.address).c_str());
        }
        FUZZ_CHECK(row != rows.end(), "an answering printer is listed");
        FUZZ_CHECK(row->second.texts[2] == TextOf(printer.model), "listed with its model number");
        FUZZ_CHECK(row->second.texts[3] == TextOf(printer.serial), "listed with its serial number");
        const std::uint8_t zeros[6] = {};
        const std::string macText =
            FormatMacAddress(Answers(printer.macAddress, kSecond) ? printer.mac.data() : zeros);
        FUZZ_CHECK(row->second.texts[1] == macText, "listed with its MAC address or zeros");
    }
}

// --- One input ----------------------------------------------------------------------------

void RunScenario(ByteScript& script) {
    RequestState requests;

    const std::uint8_t flags = script.Byte();
    const bool specified = (flags & 0x01) != 0;
    const bool narrowHosts = (flags & 0x02) != 0;
    const bool presetSequences = (flags & 0x04) != 0;
    const bool failures = (flags & 0x08) != 0;
    const int statusChoice = ((flags >> 4) & 0x03) % 3;
    const bool statusChanges = (flags & 0x40) != 0;
    const bool handEditedLists = (flags & 0x80) != 0;
    const int timeoutSeconds = script.Below(kMaxTimeoutSeconds + 1);
    const int printerCount = script.Below(kMaxPrinters + 1);
    const int injectedCount = script.Below(kMaxInjected + 1);

    // The sequence bytes and the pending count carry over from earlier searches in a real run.
    if (presetSequences) {
        requests.discoveryRequest[1] = script.Byte();
        requests.serialNumberRequest[1] = script.Byte();
        requests.macAddressRequest[1] = script.Byte();
        requests.pendingSends = script.Word() % 257;
    }
    const std::uint8_t startSequence[3] = {requests.discoveryRequest[1],
                                           requests.serialNumberRequest[1],
                                           requests.macAddressRequest[1]};

    FakeNetwork fake;
    CheckingNetwork network(fake);
    FakeListView list;
    std::set<Ipv4Address> senders;
    std::vector<FakePrinter> printers;

    std::string addresses;
    std::string masks;
    if (specified && handEditedLists) {
        addresses = PickListText(script);
        masks = PickListText(script);
    } else if (specified) {
        const int pairs = script.Below(kMaxPairs + 1);
        for (int i = 0; i < pairs; ++i) {
            addresses += (i > 0 ? "," : "") + FormatIpv4(PickPrinterAddress(script, narrowHosts));
            masks += (i > 0 ? "," : "") + std::string(kMasks[script.Below(6)]);
        }
    }
    const std::string settingsPath = kSettingsFileName;
    WriteFile(settingsPath,
              SettingsText(specified, PickStatus(statusChoice), timeoutSeconds, addresses, masks));

    // Status changes saved while the search runs, each before the n-th row insertion.
    std::vector<std::pair<int, int>> changes;
    if (statusChanges) {
        const int count = 1 + script.Below(3);
        for (int i = 0; i < count; ++i) {
            changes.emplace_back(script.Below(8), script.Below(3));
        }
    }
    int insertions = 0;
    list.SetBeforeOperation([&](const char* operation) {
        CheckTable(network.context);
        if (std::strcmp(operation, "InsertItem") != 0) {
            return;
        }
        for (const auto& [at, choice] : changes) {
            if (at == insertions) {
                WriteFile(settingsPath, SettingsText(specified, PickStatus(choice), timeoutSeconds,
                                                     addresses, masks));
            }
        }
        ++insertions;
    });

    for (int i = 0; i < printerCount; ++i) {
        FakePrinter printer;
        printer.address = PickPrinterAddress(script, narrowHosts);
        printer.prefixLength = kPrefixLengths[script.Below(6)];
        printer.discovery = PickReply(script, startSequence);
        printer.serialNo = PickReply(script, startSequence);
        printer.macAddress = PickReply(script, startSequence);
        FillArray(printer.model, script);
        FillArray(printer.serial, script);
        FillArray(printer.mac, script);
        senders.insert(printer.address);
        fake.AddPrinter(printer);
        printers.push_back(printer);
        if (g_verbose) {
            std::fprintf(stderr,
                         "printer %s/%d \"%s\" \"%s\": kinds %d/%d/%d after %lld/%lld/%lld us\n",
                         FormatIpv4(printer.address).c_str(), printer.prefixLength,
                         TextOf(printer.model).c_str(), TextOf(printer.serial).c_str(),
                         static_cast<int>(printer.discovery.behaviour),
                         static_cast<int>(printer.serialNo.behaviour),
                         static_cast<int>(printer.macAddress.behaviour),
                         static_cast<long long>(printer.discovery.delayMicros),
                         static_cast<long long>(printer.serialNo.delayMicros),
                         static_cast<long long>(printer.macAddress.delayMicros));
        }
    }

    // Datagrams nobody asked for: most to the search socket, the others to probe sockets
    // (socket ordinal 1 and up), delivered whenever that socket opens.
    for (int i = 0; i < injectedCount; ++i) {
        const int ordinal = script.Below(4) == 0 ? 1 + script.Below(kMaxPrinters) : 0;
        Ipv4Address sender = 0;
        if (script.Byte() < 64) {
            // Any address at all, up to 15 characters of text.
            const Ipv4Address high = script.Word();
            sender = high << 16 | script.Word();
        } else {
            sender = PickPrinterAddress(script, narrowHosts);
        }
        const std::int64_t arrival = script.Word() * kArrivalStepMicros;
        senders.insert(sender);
        fake.InjectDatagram(ordinal, PickDatagram(script, startSequence), sender, arrival);
    }

    if (failures) {
        const std::uint8_t switches = script.Byte();
        if (switches & 0x01) {
            fake.FailSendsAfter(script.Below(16));
        }
        if (switches & 0x02) {
            fake.FailNextWaits(1 + script.Below(3));
        }
        if (switches & 0x04) {
            fake.FailSendsTo(PickPrinterAddress(script, narrowHosts));
        }
        if (switches == 0xFF) {
            fake.SetOpenFails(true);
        }
    }

    const std::set<Ipv4Address> destinations = AllowedDestinations(specified, fake);
    auto context = std::make_unique<SearchContext>();
    context->listControl = &list;
    context->network = &network;
    context->requests = &requests;
    const Settings settings = Settings::InWorkingDirectory();
    context->settings = &settings;
    // The search frees its object when it ends, after its last socket and list call.
    network.context = context.get();
    const SearchOutcome outcome = specified ? SpecifiedSearchThread(std::move(context))
                                            : BroadcastSearchThread(std::move(context));
    network.context = nullptr;
    list.SetBeforeOperation(nullptr);

    FUZZ_CHECK(outcome.devicesListed <= list.ItemCount(), "the rows it reports are listed");
    FUZZ_CHECK(fake.OpenSocketCount() == 0, "every socket closed");
    bool firstDiscovery = true;
    for (const FakeNetwork::SendRecord& send : fake.Sends()) {
        FUZZ_CHECK(send.bytes.size() == kRequestSize && send.destinationPort == kDiscoveryPort,
                   "every send is one 7-byte request to port 3001");
        if (send.bytes[0] == 0x01) {
            FUZZ_CHECK(destinations.count(send.destination) == 1,
                       "search requests go to the broadcast address, or to the local subnet and "
                       "the valid pairs");
            FUZZ_CHECK(!firstDiscovery || !specified || send.destination == kLocalSubnetBroadcast,
                       "the local subnet first");
            firstDiscovery = false;
        } else {
            FUZZ_CHECK(senders.count(send.destination) == 1,
                       "detail requests go only to a sender's address");
        }
    }
    if (g_verbose) {
        std::fprintf(stderr, "%s search, T=%d: %zu sends, %lld us, rows:\n",
                     specified ? "specified" : "broadcast", timeoutSeconds, fake.Sends().size(),
                     static_cast<long long>(fake.Now()));
        if (std::getenv("VINDLE_FUZZ_TRACE") != nullptr) {
            for (const FakeNetwork::SendRecord& send : fake.Sends()) {
                std::fprintf(stderr, "  send %lld us port %u -> %s kind %d seq %d\n",
                             static_cast<long long>(send.timeMicros), send.sourcePort,
                             FormatIpv4(send.destination).c_str(), send.bytes[0], send.bytes[1]);
            }
            for (const FakeNetwork::ReceiveRecord& receive : fake.Receives()) {
                std::fprintf(stderr, "  receive %lld us port %u: %d\n",
                             static_cast<long long>(receive.timeMicros), receive.port,
                             receive.result);
            }
        }
        for (const FakeListView::Row& row : list.Rows()) {
            std::fprintf(stderr, "  %s  %s  %s  %s\n", row.texts[0].c_str(), row.texts[1].c_str(),
                         row.texts[2].c_str(), row.texts[3].c_str());
        }
    }
    CheckRows(list, senders, statusChoice, statusChanges);
    if (!specified && statusChoice == 0 && !statusChanges && injectedCount == 0 && !failures) {
        CheckEveryAnsweringPrinterListed(list, printers, timeoutSeconds);
    }
}

}  // namespace

void FuzzInput(ByteScript& script) {
    RunScenario(script);
}

}  // namespace vindle

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The settings file is written in this directory, which stays the working directory.
    static vindle::ScopedTempDir directory;
    vindle::g_verbose = std::getenv("VINDLE_FUZZ_VERBOSE") != nullptr;
    return 0;
}
