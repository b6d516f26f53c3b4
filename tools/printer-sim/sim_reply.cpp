#include "tools/printer-sim/sim_reply.h"

#include <algorithm>

namespace vindle::sim {

namespace {

constexpr std::uint8_t kSelectors[kRequestKinds] = {0x22, 0x21, 0x23};
// Bytes an oversize reply carries beyond the kind's receive size.
constexpr std::size_t kOversizeExcess = 11;

}  // namespace

std::optional<Request> ParseRequest(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size != kRequestSize || data[0] < 1 || data[0] > kRequestKinds ||
        data[2] != 0 || data[3] != 0 || data[4] != 0x1B || data[5] != 0x6E ||
        data[6] != kSelectors[data[0] - 1]) {
        return std::nullopt;
    }
    Request request;
    request.kind = data[0];
    std::copy_n(data, kHeadSize, request.head.begin());
    return request;
}

std::size_t ReceiveSizeOf(int kind) {
    return kind == 2 ? kHeadSize + kSerialSize : kHeadSize + kModelSize;
}

bool RequestReachesPrinter(const SimPrinter& printer, int kind, Ipv4Address destination) {
    if (destination == printer.address) {
        return true;
    }
    if (kind != 1) {
        return false;
    }
    return destination == kLimitedBroadcast || DirectedBroadcastOf(printer) == destination;
}

std::vector<std::uint8_t> BuildReply(const SimPrinter& printer, const Request& request) {
    const Answer answer = printer.AnswerFor(request.kind);
    if (answer == Answer::kSilent) {
        return {};
    }
    std::vector<std::uint8_t> reply(request.head.begin(), request.head.end());
    if (answer == Answer::kWrongHead) {
        ++reply[1];
    }
    if (answer == Answer::kShort) {
        return reply;
    }
    switch (request.kind) {
        case 1:
            reply.insert(reply.end(), printer.model.begin(), printer.model.end());
            break;
        case 2:
            reply.insert(reply.end(), printer.serial.begin(), printer.serial.end());
            break;
        default:
            reply.insert(reply.end(), printer.mac.begin(), printer.mac.end());
            reply.insert(reply.end(), printer.extra.begin(), printer.extra.end());
            reply.push_back(0);  // byte 20, not used
            break;
    }
    if (answer == Answer::kOversize) {
        reply.resize(ReceiveSizeOf(request.kind) + kOversizeExcess, 0x5A);
    }
    return reply;
}

}  // namespace vindle::sim
