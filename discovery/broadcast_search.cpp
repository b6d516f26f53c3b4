#include "discovery/broadcast_search.h"

#include <utility>

#include "discovery/device_table.h"
#include "discovery/protocol.h"
#include "discovery/search_steps.h"
#include "platform/ipv4_text.h"
#include "settings/settings_file.h"

namespace vindle {

SearchOutcome BroadcastSearchThread(std::unique_ptr<SearchContext> context) {
    if (!context) {
        return Outcome(SearchEnd::NoSocket);
    }
    if (!OpenSearchSocket(*context)) {
        return FinishSearch(std::move(context), Outcome(SearchEnd::NoSocket));
    }
    // Sent once, with the sequence byte as it stands.
    UdpSocket& socket = *context->socket;
    SearchOutcome outcome;
    if (!socket.SendTo(kLimitedBroadcast, kDiscoveryPort, context->requests->discoveryRequest,
                       kRequestSize)) {
        outcome.end = SearchEnd::NotSent;
    }
    SendReport report = socket.LastSendReport();
    outcome.interfacesSent = std::move(report.interfacesSent);
    outcome.reason = std::move(report.errorText);

    int timeoutSeconds = 0;
    ReadTimeout(*context->settings, timeoutSeconds);
    outcome.timeoutSeconds = timeoutSeconds;
    // The old rows stay until the request is out; early replies wait in the socket's queue.
    if (context->listControl->ItemCount() > 0) {
        context->listControl->DeleteAllItems();
    }
    ReportProgress(*context,
                   {SearchKind::Broadcast, FormatIpv4(kLimitedBroadcast), 1, 1, 0, timeoutSeconds});

    // The quiet period starts afresh after every datagram, accepted or not.
    int waitResult = 0;
    do {
        waitResult = socket.WaitReadable(WaitTime{timeoutSeconds, 0});
        ReceiveOneReply(*context, waitResult, false, 0);
    } while (waitResult > 0);

    return FinishSearch(std::move(context), std::move(outcome));
}

}  // namespace vindle
