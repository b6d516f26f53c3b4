#include "discovery/broadcast_search.h"

#include <memory>

#include "discovery/device_table.h"
#include "discovery/protocol.h"
#include "settings/settings_file.h"

namespace vindle {

namespace {

// The worker's last steps on every path: "Retrieve" usable again, the context freed.
void FinishSearch(std::unique_ptr<SearchContext> context) {
    if (context->retrieveButton != nullptr) {
        context->retrieveButton->SetEnabled(true);
    }
}

}  // namespace

int ReceiveOneReply(SearchContext& context, UdpSocket& socket, int waitResult, bool inBlock,
                    int blockFirstRow) {
    if (waitResult <= 0) {
        return 0;
    }
    DiscoveryReply reply{};
    Ipv4Address sender = 0;
    if (socket.ReceiveFrom(reply.data(), reply.size(), sender) < 0) {
        return 0;
    }
    if (AcceptDiscoveryReply(reply, sender, context)) {
        ProcessAcceptedReply(context, inBlock, blockFirstRow);
    }
    return 1;
}

int BroadcastSearchThread(SearchContext* rawContext) {
    if (rawContext == nullptr) {
        return -1;
    }
    std::unique_ptr<SearchContext> context(rawContext);
    std::unique_ptr<UdpSocket> socket;
    if (context->network != nullptr) {
        socket = context->network->OpenUdpSocket();
    }
    if (!socket) {
        FinishSearch(std::move(context));
        return -1;
    }
    socket->EnableBroadcast();
    // Sent once, with the sequence byte as it stands; a failed send just collects nothing.
    socket->SendTo(kLimitedBroadcast, kDiscoveryPort, g_discoveryRequest, kRequestSize);

    int timeoutSeconds = 0;
    ReadTimeout(timeoutSeconds);
    // The old rows stay until the request is out; early replies wait in the socket's queue.
    if (context->listControl->ItemCount() > 0) {
        context->listControl->DeleteAllItems();
    }

    // The quiet period starts afresh after every datagram, accepted or not.
    int waitResult = 0;
    do {
        waitResult = socket->WaitReadable(WaitTime{timeoutSeconds, 0});
        ReceiveOneReply(*context, *socket, waitResult, false, 0);
    } while (waitResult > 0);

    g_deviceCount = 0;
    g_slotCursor = 0;
    socket.reset();
    FinishSearch(std::move(context));
    return 0;
}

}  // namespace vindle
