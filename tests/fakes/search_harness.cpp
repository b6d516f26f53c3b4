#include "fakes/search_harness.h"

#include "discovery/protocol.h"

namespace vindle {

namespace {

std::string Join(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) {
        if (!joined.empty()) {
            joined += ',';
        }
        joined += text;
    }
    return joined;
}

}  // namespace

void SearchHarness::WriteBroadcastSettings(int timeoutSeconds) {
    WriteSettingsText(
        "[BroadCast]\nStatus=Enabled\n[SearchSpecifiedAddress]\nStatus=Disabled\n"
        "[TimeOut]\nTimeVal=" +
        std::to_string(timeoutSeconds) + "\n");
}

void SearchHarness::WriteSpecifiedSettings(int timeoutSeconds,
                                           const std::vector<std::string>& addresses,
                                           const std::vector<std::string>& masks) {
    WriteSettingsText(
        "[BroadCast]\nStatus=Disabled\n[SearchSpecifiedAddress]\nStatus=Enabled\n"
        "IPAddress=" +
        Join(addresses) + "\nSubnet=" + Join(masks) +
        "\n[TimeOut]\nTimeVal=" + std::to_string(timeoutSeconds) + "\n");
}

void SearchHarness::WriteSettingsText(const std::string& text) {
    WriteFile(settings.File(), text);
}

std::unique_ptr<SearchContext> SearchHarness::NewContext(SearchObserver* observer) {
    auto context = std::make_unique<SearchContext>();
    context->listControl = &list;
    context->network = &network;
    context->requests = &requests;
    context->observer = observer;
    context->settings = &settings;
    return context;
}

std::vector<std::uint8_t> RequestBytes(int kind, int sequence) {
    static constexpr std::uint8_t kSelectors[] = {0x22, 0x21, 0x23};
    return {static_cast<std::uint8_t>(kind),
            static_cast<std::uint8_t>(sequence),
            0x00,
            0x00,
            0x1B,
            0x6E,
            kSelectors[kind - 1]};
}

}  // namespace vindle
