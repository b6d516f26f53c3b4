#include "discovery/thorough_search.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "discovery/detail_probe.h"
#include "discovery/device_table.h"
#include "discovery/protocol.h"
#include "discovery/search_steps.h"
#include "discovery/specified_search.h"
#include "discovery/unicast_sweep.h"
#include "platform/ipv4_text.h"

namespace vindle {

namespace {

constexpr std::int64_t kMicrosPerSecond = 1'000'000;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
// Longest single wait; the loops wait again when it passes.
constexpr std::int64_t kLongestWaitMicros = 3600 * kMicrosPerSecond;
constexpr Ipv4Address kSingleAddressMask = 0xFFFFFFFFu;

std::int64_t ToMicros(WaitTime wait) {
    const std::int64_t micros =
        static_cast<std::int64_t>(wait.seconds) * kMicrosPerSecond + wait.microseconds;
    return micros < 0 ? 0 : micros;
}

WaitTime ToWaitTime(std::int64_t micros) {
    micros = std::clamp<std::int64_t>(micros, 0, kLongestWaitMicros);
    return WaitTime{static_cast<long>(micros / kMicrosPerSecond),
                    static_cast<long>(micros % kMicrosPerSecond)};
}

struct Destination {
    std::string label;
    // Where the request goes: the limited broadcast, a directed broadcast or one address.
    Ipv4Address sendAddress = 0;
    // Collected until quiet; otherwise a single address, done at its first accepted reply.
    bool collects = true;
    std::int64_t waitMicros = 0;
    std::optional<HostRange> sweep;
    // Rows listed for this destination: its block.
    int rows = 0;
};

// A printer whose discovery reply was accepted, waiting for a free probe.
struct WaitingPrinter {
    DeviceSlot slot{};
    Ipv4Address address = 0;
    int destination = 0;
};

class ThoroughSearch {
  public:
    ThoroughSearch(SearchContext& context, SearchOutcome& outcome, bool inSequence)
        : m_context(context),
          m_network(*context.network),
          m_requests(*context.requests),
          m_socket(*context.socket),
          m_outcome(outcome),
          m_inSequence(inSequence) {}

    std::vector<Destination> destinations;

    // Sends destination `index` its discovery request: in sequence for a specified search, as it
    // stands for the broadcast search. Whether the system took it.
    bool SendRequest(int index) {
        const Ipv4Address address = destinations[index].sendAddress;
        const bool sent = m_inSequence ? m_requests.SendRequestInSequence(
                                             m_socket, address, m_requests.discoveryRequest)
                                       : SendAsItStands(address);
        m_destinationsSent += sent ? 1 : 0;
        return sent;
    }

    // After SendRequest(): the destination's sweep, if it has one, then its collection, until
    // its repeats are out and it has been quiet for its wait. False when the network failed (the
    // search was stopped).
    bool SweepAndCollect(int index) {
        if (destinations[index].sweep && !Sweep(index)) {
            return false;
        }
        return Collect(index);
    }

    // Lets the running and waiting probes end; the search socket is no longer read.
    bool FinishProbes() {
        while (!m_probes.empty() || !m_waiting.empty()) {
            if (!ServeOnce(kNever, -1)) {
                return false;
            }
        }
        return true;
    }

    int DestinationsSent() const { return m_destinationsSent; }

  private:
    bool SendAsItStands(Ipv4Address address) {
        return m_socket.SendTo(address, kDiscoveryPort, m_requests.discoveryRequest, kRequestSize);
    }

    // One unicast request to each host, on a fixed grid of kSweepIntervalMicros, serving replies
    // and probes between the sends. A refused send ends the sweep and is named in the outcome.
    bool Sweep(int index) {
        const HostRange hosts = *destinations[index].sweep;
        std::int64_t nextSend = Now();
        for (std::uint64_t host = hosts.first; host <= hosts.last; ++host) {
            while (Now() < nextSend) {
                if (!ServeOnce(nextSend, index)) {
                    return false;
                }
            }
            if (!SendAsItStands(static_cast<Ipv4Address>(host))) {
                m_outcome.unsentDestinations.push_back(
                    {destinations[index].label + " (sweep at " +
                         FormatIpv4(static_cast<Ipv4Address>(host)) + ")",
                     m_socket.LastSendReport().errorText});
                return true;
            }
            nextSend += kSweepIntervalMicros;
        }
        return true;
    }

    bool Collect(int index) {
        const Destination& destination = destinations[index];
        std::int64_t lastSend = Now();
        std::int64_t nextRepeat = lastSend + kDiscoveryRepeatMicros;
        int repeatsLeft = kDiscoveryRepeats;
        m_lastDatagram = lastSend;
        m_singleAnswered = false;
        for (;;) {
            const std::int64_t now = Now();
            if (repeatsLeft > 0 && now >= nextRepeat) {
                SendAsItStands(destination.sendAddress);
                lastSend = now;
                --repeatsLeft;
                nextRepeat += kDiscoveryRepeatMicros;
            }
            if (!destination.collects && m_singleAnswered) {
                return true;
            }
            const std::int64_t quietEnd =
                std::max(lastSend, m_lastDatagram) + destination.waitMicros;
            if (repeatsLeft == 0 && now >= quietEnd) {
                return true;
            }
            if (!ServeOnce(repeatsLeft > 0 ? nextRepeat : quietEnd, index)) {
                return false;
            }
        }
    }

    // One wait on the search socket (unless `current` is -1) and every probe's socket, up to
    // `until` or the next probe's deadline, and whatever it brings. False when the wait failed.
    bool ServeOnce(std::int64_t until, int current) {
        ServeProbeTimes();
        const std::int64_t now = Now();
        std::int64_t wake = until;
        // The probes' sockets first: the lowest ready index wins, and a flood of discovery
        // replies must not keep a probe from its answer until its exchange has timed out.
        std::vector<UdpSocket*> sockets;
        for (const auto& probe : m_probes) {
            sockets.push_back(probe->Socket());
            wake = std::min(wake, probe->NextDeadlineMicros());
        }
        if (current >= 0) {
            sockets.push_back(&m_socket);
        }
        if (sockets.empty() || wake <= now) {
            return true;
        }
        std::size_t ready = 0;
        const int result = m_network.WaitAnyReadable(sockets, ToWaitTime(wake - now), ready);
        if (result < 0) {
            return false;
        }
        if (result > 0) {
            if (ready < m_probes.size()) {
                m_probes[ready]->HandleReadable(m_requests, Now());
                EndFinishedProbes();
            } else {
                ReadDiscoveryReply(current);
            }
        }
        return true;
    }

    void ReadDiscoveryReply(int current) {
        DiscoveryReply reply{};
        Ipv4Address sender = 0;
        if (m_socket.ReceiveFrom(reply.data(), reply.size(), sender) < 0) {
            return;
        }
        m_lastDatagram = Now();
        if (!HeadMatches(reply.data(), m_requests.discoveryRequest)) {
            return;
        }
        m_singleAnswered = true;
        if (!m_known.insert(sender).second) {
            return;
        }
        WaitingPrinter printer;
        StoreDiscoveryReply(printer.slot, reply.data(), sender);
        printer.address = sender;
        printer.destination = current;
        m_waiting.push_back(printer);
        StartWaitingProbes();
    }

    void ServeProbeTimes() {
        const std::int64_t now = Now();
        for (const auto& probe : m_probes) {
            if (probe->NextDeadlineMicros() <= now) {
                probe->HandleTime(now);
            }
        }
        EndFinishedProbes();
    }

    void EndFinishedProbes() {
        auto finished = std::stable_partition(m_probes.begin(), m_probes.end(),
                                              [](const auto& probe) { return !probe->Finished(); });
        for (auto it = finished; it != m_probes.end(); ++it) {
            EndProbe(**it);
        }
        m_probes.erase(finished, m_probes.end());
        StartWaitingProbes();
    }

    void StartWaitingProbes() {
        while (m_probes.size() < kProbesAtOnce && !m_waiting.empty()) {
            const WaitingPrinter printer = m_waiting.front();
            m_waiting.pop_front();
            auto probe =
                std::make_unique<DetailProbe>(printer.slot, printer.address, printer.destination);
            if (probe->Start(m_network, m_requests, Now())) {
                m_probes.push_back(std::move(probe));
            } else {
                EndProbe(*probe);
            }
        }
    }

    // A complete printer gets its row; any other may be probed again when it answers a repeat.
    void EndProbe(const DetailProbe& probe) {
        if (probe.Complete()) {
            PlaceRow(probe);
            return;
        }
        m_known.erase(probe.Address());
        if (probe.SerialUnanswered()) {
            m_context.silentPrinters.push_back(SlotText(probe.Slot().ipText));
        }
    }

    void PlaceRow(const DetailProbe& probe) {
        ListView& list = *m_context.listControl;
        ListUpdateScope update(list);
        const int rows = list.ItemCount();
        int blockStart = 0;
        for (int i = 0; i < probe.Destination(); ++i) {
            blockStart += destinations[i].rows;
        }
        Destination& destination = destinations[probe.Destination()];
        const int blockEnd = std::min(rows, blockStart + destination.rows);
        const int position = RowAfterAddress(list, SlotText(probe.Slot().ipText),
                                             std::min(blockStart, blockEnd), blockEnd);
        AddDeviceRow(m_context, probe.Slot(), position);
        ++destination.rows;
    }

    std::int64_t Now() { return m_network.MonotonicMicros(); }

    SearchContext& m_context;
    Network& m_network;
    RequestState& m_requests;
    UdpSocket& m_socket;
    SearchOutcome& m_outcome;
    const bool m_inSequence;
    int m_destinationsSent = 0;
    std::int64_t m_lastDatagram = 0;
    bool m_singleAnswered = false;
    // Senders listed, being probed or waiting for a probe.
    std::set<Ipv4Address> m_known;
    std::deque<WaitingPrinter> m_waiting;
    std::vector<std::unique_ptr<DetailProbe>> m_probes;
};

SearchOutcome ThoroughOutcome(SearchEnd end) {
    SearchOutcome outcome = Outcome(end);
    outcome.thorough = true;
    return outcome;
}

}  // namespace

SearchOutcome ThoroughBroadcastSearchThread(std::unique_ptr<SearchContext> context) {
    if (!context) {
        return ThoroughOutcome(SearchEnd::NoSocket);
    }
    if (!OpenSearchSocket(*context)) {
        return FinishSearch(std::move(context), ThoroughOutcome(SearchEnd::NoSocket));
    }
    SearchOutcome outcome = ThoroughOutcome(SearchEnd::Searched);
    const int timeoutSeconds = SearchTimeout(*context);
    outcome.timeoutSeconds = timeoutSeconds;
    ThoroughSearch search(*context, outcome, false);
    search.destinations.push_back({FormatIpv4(kLimitedBroadcast), kLimitedBroadcast, true,
                                   ToMicros(WaitTime{timeoutSeconds, 0}), std::nullopt, 0});

    // As in the plain search: a request that could not leave still waits out the time-out, and
    // the old rows stay until the request is out.
    if (!search.SendRequest(0)) {
        outcome.end = SearchEnd::NotSent;
    }
    SendReport report = context->socket->LastSendReport();
    outcome.interfacesSent = std::move(report.interfacesSent);
    outcome.reason = std::move(report.errorText);
    if (context->listControl->ItemCount() > 0) {
        context->listControl->DeleteAllItems();
    }
    ReportProgress(*context,
                   {SearchKind::Broadcast, search.destinations[0].label, 1, 1, 0, timeoutSeconds});
    if (search.SweepAndCollect(0)) {
        search.FinishProbes();
    }
    return FinishSearch(std::move(context), std::move(outcome));
}

SearchOutcome ThoroughSpecifiedSearchThread(std::unique_ptr<SearchContext> context) {
    if (!context) {
        return ThoroughOutcome(SearchEnd::NoSocket);
    }
    std::vector<std::string> labels;
    int timeoutSeconds = 0;
    SearchEnd end = SearchEnd::Searched;
    const int count = BeginSpecifiedSearch(*context, labels, timeoutSeconds, end);
    if (count == 0) {
        return FinishSearch(std::move(context), ThoroughOutcome(end));
    }
    SearchOutcome outcome = ThoroughOutcome(SearchEnd::Searched);
    outcome.timeoutSeconds = timeoutSeconds;
    const WaitBudget budget =
        SplitWaitBudget(timeoutSeconds, context->destinationAddresses.get(), count);
    const std::vector<Ipv4Subnet> localSubnets = context->network->LocalSubnets();

    ThoroughSearch search(*context, outcome, true);
    for (int i = 0; i < count; ++i) {
        Destination destination;
        destination.label = labels[i];
        destination.sendAddress = ParseIpv4(SlotText(context->destinationAddresses[i])).value_or(0);
        const Ipv4Address mask =
            ParseIpv4(SlotText(context->destinationMasks[i])).value_or(kSingleAddressMask);
        // A subnet whose broadcast address lacks "255" (narrower than /24) is collected too.
        destination.collects =
            IsSubnetDestination(context->destinationAddresses[i]) || mask != kSingleAddressMask;
        destination.waitMicros =
            ToMicros(destination.collects ? budget.subnetWait : budget.singleWait);
        if (IsUnattachedSubnet(*context, i, localSubnets)) {
            destination.sweep = SweepHosts(destination.sendAddress & mask, mask);
            const std::optional<int> prefix = PrefixLength(mask);
            if (!destination.sweep && prefix && *prefix < kWidestSweptPrefix) {
                outcome.unsweptSubnets.push_back(labels[i]);
            }
        }
        search.destinations.push_back(std::move(destination));
    }

    bool stopped = false;
    for (int i = 0; i < count && !stopped; ++i) {
        ReportProgress(*context,
                       {SearchKind::Specified, labels[i], i + 1, count, 0, timeoutSeconds});
        if (search.SendRequest(i)) {
            stopped = !search.SweepAndCollect(i);
        } else {
            // Passed over: the later destinations may still be reached.
            outcome.unsentDestinations.push_back(
                {labels[i], context->socket->LastSendReport().errorText});
        }
    }
    if (!stopped) {
        search.FinishProbes();
    }
    if (search.DestinationsSent() == 0 && !outcome.unsentDestinations.empty()) {
        outcome.end = SearchEnd::NotSent;
        outcome.reason = outcome.unsentDestinations.front().reason;
    }
    return FinishSearch(std::move(context), std::move(outcome));
}

}  // namespace vindle
