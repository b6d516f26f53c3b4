#include "discovery/search_status_text.h"

#include <cstdio>

#include "discovery/search_session.h"
#include "settings/settings_file.h"

namespace vindle {

namespace {

std::string PrinterCount(int count) {
    return std::to_string(count) + (count == 1 ? " printer" : " printers");
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds < 0 ? 0.0 : seconds);
    return text;
}

// Up to three names joined by ", ", then how many more there are.
std::string NameSome(const std::vector<std::string>& names) {
    constexpr std::size_t kNamed = 3;
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < kNamed; ++i) {
        text += (i > 0 ? ", " : "") + names[i];
    }
    if (names.size() > kNamed) {
        text += " and " + std::to_string(names.size() - kNamed) + " more";
    }
    return text;
}

std::string Destinations(int count) {
    return std::to_string(count) +
           (count == 1 ? " later destination was" : " later destinations were");
}

std::string MainOutcomeText(const SearchOutcome& outcome, double elapsedSeconds) {
    switch (outcome.end) {
        case SearchEnd::NotSent:
            return "The search request could not be sent" +
                   (outcome.reason.empty() ? std::string() : ": " + outcome.reason);
        case SearchEnd::NoSocket:
            return "The search could not open a network socket";
        case SearchEnd::NoAddressList:
            return "No addresses to search: add them in Tool > Configuration, or choose the "
                   "broadcast search there";
        case SearchEnd::Searched:
            break;
    }
    if (outcome.devicesListed == 0) {
        return "No printer answered within " + std::to_string(outcome.timeoutSeconds) + " s";
    }
    return PrinterCount(outcome.devicesListed) + " found in " + Seconds(elapsedSeconds);
}

std::string Subnets(const std::vector<std::string>& subnets, const char* one, const char* many) {
    return subnets.size() == 1 ? subnets[0] + one
                               : std::to_string(subnets.size()) + " subnets" + many;
}

// The first of OutcomeHints in a few words; "" when there is none.
std::string BriefHint(const SearchOutcome& outcome) {
    if (outcome.end != SearchEnd::Searched) {
        return "";
    }
    if (!outcome.unsentDestinations.empty()) {
        return "The request to " + outcome.unsentDestinations[0].destination + " could not be sent";
    }
    if (!outcome.unattachedSubnets.empty()) {
        return Subnets(outcome.unattachedSubnets, " is", " are") +
               " on no local interface: turn on the thorough search";
    }
    if (!outcome.unsweptSubnets.empty()) {
        return Subnets(outcome.unsweptSubnets, " was", " were") + " too wide to sweep";
    }
    if (!outcome.silentPrinters.empty()) {
        const std::size_t count = outcome.silentPrinters.size();
        return PrinterCount(static_cast<int>(count)) + " did not give " +
               (count == 1 ? "its" : "their") + " details" +
               (outcome.thorough ? "" : ": turn on the thorough search");
    }
    return "";
}

}  // namespace

std::string IdleStatusText() {
    return "Press Retrieve to search for printers.";
}

std::string ProgressStatusText(const SearchProgress& progress) {
    std::string text = "Searching ";
    if (progress.kind == SearchKind::Broadcast) {
        text += "by broadcast";
    } else {
        text += progress.destination + " (" + std::to_string(progress.destinationIndex) + " of " +
                std::to_string(progress.destinationCount) + ")";
    }
    return text + ": " + PrinterCount(progress.devicesListed) + " so far, time-out " +
           std::to_string(progress.timeoutSeconds) + " s";
}

std::string OutcomeStatusText(const SearchOutcome& outcome, double elapsedSeconds, bool stopped) {
    if (stopped) {
        return "Stopped after " + Seconds(elapsedSeconds) + ": " +
               PrinterCount(outcome.devicesListed) + " found";
    }
    std::string text = MainOutcomeText(outcome, elapsedSeconds);
    for (const std::string& hint : OutcomeHints(outcome)) {
        text += ". " + hint;
    }
    return text;
}

StatusLine EndStatusLine(const SearchOutcome& outcome, double elapsedSeconds, bool stopped) {
    const std::string full = OutcomeStatusText(outcome, elapsedSeconds, stopped);
    const std::string hint = stopped ? "" : BriefHint(outcome);
    if (hint.empty()) {
        return {full, ""};
    }
    return {MainOutcomeText(outcome, elapsedSeconds) + ". " + hint, full};
}

std::vector<std::string> OutcomeHints(const SearchOutcome& outcome) {
    std::vector<std::string> hints;
    if (outcome.end != SearchEnd::Searched) {
        return hints;
    }
    for (const UnsentDestination& unsent : outcome.unsentDestinations) {
        hints.push_back("The request to " + unsent.destination + " could not be sent" +
                        (unsent.reason.empty() ? std::string() : ": " + unsent.reason));
    }
    if (outcome.destinationsNotTried > 0) {
        hints.push_back(Destinations(outcome.destinationsNotTried) +
                        " not searched; the thorough search goes on past such a destination");
    }
    const auto& unattached = outcome.unattachedSubnets;
    if (!unattached.empty()) {
        hints.push_back(NameSome(unattached) + (unattached.size() == 1 ? " is" : " are") +
                        " on no local interface, and routers usually drop a subnet's broadcast: "
                        "turn on the thorough search to reach " +
                        (unattached.size() == 1 ? "it" : "them"));
    }
    const auto& unswept = outcome.unsweptSubnets;
    if (!unswept.empty()) {
        hints.push_back(NameSome(unswept) +
                        (unswept.size() == 1 ? " is too wide to sweep (wider than /16); it"
                                             : " are too wide to sweep (wider than /16); they") +
                        " got the subnet's broadcast only");
    }
    const auto& silent = outcome.silentPrinters;
    if (!silent.empty()) {
        std::string hint = PrinterCount(static_cast<int>(silent.size())) + " (" + NameSome(silent) +
                           ") answered the search but not the request for " +
                           (silent.size() == 1 ? "its" : "their") + " details";
        if (!outcome.thorough) {
            hint += ": the thorough search asks again";
        }
        hints.push_back(hint);
    }
    return hints;
}

std::string NoSearchModeStatusText() {
    return "No search mode is set: in QarvVindle.ini set [BroadCast] Status or "
           "[SearchSpecifiedAddress] Status to Enabled (Tool > Configuration)";
}

StatusLine StartStatusLine(const SearchStart& start) {
    switch (start.result) {
        case SearchStart::Result::Started:
            return {"Searching...", ""};
        case SearchStart::Result::NoSearchMode:
            return {NoSearchModeStatusText(), ""};
        case SearchStart::Result::SettingsUnreadable:
            if (auto problem = RetrieveSettingsProblem(start.settings)) {
                return *problem;
            }
            return {NoSearchModeStatusText(), ""};
        case SearchStart::Result::Closed:
            return {"No search was started: the window is closing", ""};
        case SearchStart::Result::NoThread:
            break;
    }
    return {"The search could not be started: no thread is available", ""};
}

std::optional<StatusLine> StartupSettingsProblem(const SettingsStatus& status) {
    if (status.Ok()) {
        return std::nullopt;
    }
    return StatusLine{"The settings file can be neither opened nor created (" + status.Reason() +
                          "): searches cannot start",
                      "The settings file " + status.file + " can be neither opened nor created:\n" +
                          status.Reason() + "\nSearches cannot start until it can be read."};
}

std::optional<StatusLine> RetrieveSettingsProblem(const SettingsStatus& status) {
    if (status.Ok()) {
        return std::nullopt;
    }
    return StatusLine{
        "The settings file cannot be read (" + status.Reason() + "): no search was started",
        "The settings file " + status.file + " cannot be read:\n" + status.Reason() +
            "\nNo search was started."};
}

}  // namespace vindle
