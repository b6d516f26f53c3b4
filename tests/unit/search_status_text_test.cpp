#include "discovery/search_status_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vindle {
namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(OutcomeHintsTest, ThePlainSearchNamesTheThoroughSearchAsTheRemedy) {
    SearchOutcome outcome;
    outcome.devicesListed = 2;
    outcome.unsentDestinations = {{"10.1.0.0/255.255.0.0", "Network is unreachable"}};
    outcome.destinationsNotTried = 2;
    outcome.unattachedSubnets = {"203.0.113.0/255.255.255.0"};
    outcome.silentPrinters = {"198.51.100.7", "198.51.100.8", "198.51.100.9", "198.51.100.10"};
    const std::vector<std::string> hints = OutcomeHints(outcome);
    ASSERT_EQ(hints.size(), 4u);
    EXPECT_EQ(hints[0],
              "The request to 10.1.0.0/255.255.0.0 could not be sent: Network is "
              "unreachable");
    EXPECT_TRUE(Contains(hints[1], "2 later destinations were not searched"));
    EXPECT_TRUE(Contains(hints[2], "203.0.113.0/255.255.255.0 is on no local interface"));
    EXPECT_TRUE(Contains(hints[3],
                         "4 printers (198.51.100.7, 198.51.100.8, 198.51.100.9 and "
                         "1 more) answered"));
    for (std::size_t i = 1; i < hints.size(); ++i) {
        EXPECT_TRUE(Contains(hints[i], "thorough search")) << hints[i];
    }
    const std::string text = OutcomeStatusText(outcome, 6.4, false);
    EXPECT_EQ(text.rfind("2 printers found in 6.4 s. The request to", 0), 0u);
    EXPECT_EQ(OutcomeStatusText(outcome, 6.4, true), "Stopped after 6.4 s: 2 printers found");

    // The line itself gets the outcome and the first finding in a few words; the tooltip all.
    outcome.unsentDestinations.clear();
    outcome.destinationsNotTried = 0;
    const StatusLine line = EndStatusLine(outcome, 6.4, false);
    EXPECT_EQ(line.brief,
              "2 printers found in 6.4 s. 203.0.113.0/255.255.255.0 is on no local interface: "
              "turn on the thorough search");
    EXPECT_EQ(line.full, OutcomeStatusText(outcome, 6.4, false));
    EXPECT_TRUE(EndStatusLine(outcome, 6.4, true).full.empty());
    outcome.unattachedSubnets.clear();
    EXPECT_EQ(EndStatusLine(outcome, 6.4, false).brief,
              "2 printers found in 6.4 s. 4 printers did not give their details: turn on the "
              "thorough search");
}

TEST(OutcomeHintsTest, TheThoroughSearchStatesFactsOnly) {
    SearchOutcome outcome;
    outcome.thorough = true;
    outcome.unsweptSubnets = {"10.0.0.0/255.0.0.0"};
    outcome.silentPrinters = {"198.51.100.7"};
    const std::vector<std::string> hints = OutcomeHints(outcome);
    ASSERT_EQ(hints.size(), 2u);
    EXPECT_EQ(hints[0],
              "10.0.0.0/255.0.0.0 is too wide to sweep (wider than /16); it got the "
              "subnet's broadcast only");
    EXPECT_EQ(hints[1],
              "1 printer (198.51.100.7) answered the search but not the request for "
              "its details");
    // A search that sent nothing says so, and nothing more.
    outcome.end = SearchEnd::NotSent;
    EXPECT_TRUE(OutcomeHints(outcome).empty());
}

}  // namespace
}  // namespace vindle
