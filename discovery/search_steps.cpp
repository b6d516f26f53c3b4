#include "discovery/search_steps.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "discovery/device_table.h"
#include "discovery/protocol.h"
#include "settings/settings_file.h"

namespace vindle {

int ReceiveOneReply(SearchContext& context, int waitResult, bool inBlock, int blockFirstRow) {
    if (waitResult <= 0) {
        return 0;
    }
    DiscoveryReply reply{};
    Ipv4Address sender = 0;
    if (context.socket->ReceiveFrom(reply.data(), reply.size(), sender) < 0) {
        return 0;
    }
    if (AcceptDiscoveryReply(reply, sender, context)) {
        ProcessAcceptedReply(context, inBlock, blockFirstRow);
    }
    return 1;
}

int SearchTimeout(const SearchContext& context) {
    if (context.options.timeoutSeconds) {
        return *context.options.timeoutSeconds;
    }
    if (!context.options.targets.empty()) {
        return kDefaultTimeoutSeconds;
    }
    int seconds = 0;
    ReadTimeout(*context.settings, seconds);
    return seconds;
}

std::string PlacementStatus(const SearchContext& context) {
    return context.options.targets.empty() ? ReadBroadcastStatus(*context.settings)
                                           : std::string("Disabled");
}

bool OpenSearchSocket(SearchContext& context) {
    if (context.network != nullptr) {
        context.socket = context.network->OpenUdpSocket();
    }
    if (!context.socket) {
        return false;
    }
    // Its result is not looked at: without it only the broadcast send fails, and says so.
    context.socket->EnableBroadcast();
    return true;
}

void ReportProgress(SearchContext& context, const SearchProgress& progress) {
    context.progress = progress;
    ReportDeviceListed(context);
}

void ReportDeviceListed(SearchContext& context) {
    context.progress.devicesListed = context.devicesListed;
    if (context.observer != nullptr) {
        context.observer->SearchProgressed(context.progress);
    }
}

namespace {

// The silent printers that were not listed after all (a later answer of theirs was), each once.
std::vector<std::string> StillSilentPrinters(SearchContext& context) {
    std::vector<std::string> silent;
    if (context.silentPrinters.empty()) {
        return silent;
    }
    std::set<std::string> known;
    ListView& list = *context.listControl;
    for (int row = 0, rows = list.ItemCount(); row < rows; ++row) {
        known.insert(list.ItemText(row, 0));
    }
    for (const std::string& address : context.silentPrinters) {
        if (known.insert(address).second) {
            silent.push_back(address);
        }
    }
    return silent;
}

}  // namespace

SearchOutcome FinishSearch(std::unique_ptr<SearchContext> context, SearchOutcome outcome) {
    outcome.silentPrinters = StillSilentPrinters(*context);
    context->deviceCount = 0;
    context->slotCursor = 0;
    context->socket.reset();
    outcome.devicesListed = context->devicesListed;
    // Reported after the socket has closed: a front end may start the next search at once.
    if (context->observer != nullptr) {
        context->observer->SearchEnded(outcome);
    }
    return outcome;
}

}  // namespace vindle
