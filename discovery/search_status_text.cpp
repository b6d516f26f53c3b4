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
