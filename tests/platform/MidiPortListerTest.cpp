#include "devices/MidiPortLister.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace auralis::platform {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

TEST(MidiPortListerTest, RepliesReadBackAndAnythingElseIsRefused) {
  const std::vector<ApartListing> listings = {
      {false, {}},
      {true, {}},
      {true,
       {"system:midi_capture_1", "a2j:Keystation 49 [20] (capture): port\nwith a newline",
        "Flöte:out", ""}},
  };
  for (const ApartListing& listing : listings) {
    const std::optional<ApartListing> read = parseApartListing(apartListingReply(listing));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->serverRuns, listing.serverRuns);
    EXPECT_EQ(read->names, listing.names);
  }

  const std::string valid = apartListingReply({true, {"a:out", "b:out"}});
  const std::vector<std::pair<std::string, const char*>> refused = {
      {"", "nothing"},
      {valid.substr(0, valid.size() - 1), "the last name cut short"},
      {valid.substr(0, 10), "the header cut short"},
      {"auralis midi ports\n", "no answer whether the server runs"},
      {"auralis midi ports\n2\n", "an unknown answer"},
      {"auralis midi ports\n0\na:out\0"s, "names from a server that does not run"},
      {"something else\n1\na:out\0"s, "another program's output"},
  };
  for (const auto& [reply, what] : refused)
    EXPECT_FALSE(parseApartListing(reply).has_value()) << what;
}

// A stand-in for the program's copy: a shell script that answers, crashes, hangs or fails.
TEST(MidiPortListerTest, ACopyThatCrashesHangsOrFailsListsNothing) {
  struct Case {
    const char* what;
    std::string script;
    ApartOutcome outcome;
    std::vector<std::string> names;
  };
  const std::string reply =
      "printf 'auralis midi ports\\n1\\n%s\\000' \"$" + std::string(kMidiListerVariable) + "\"";
  const std::vector<Case> cases = {
      {"answers, told the direction", reply, ApartOutcome::Listed, {"output"}},
      {"crashes", "kill -SEGV $$", ApartOutcome::Failed, {}},
      {"crashes after its answer", reply + "; kill -SEGV $$", ApartOutcome::Failed, {}},
      {"hangs", "exec sleep 30", ApartOutcome::Failed, {}},
      {"fails", reply + "; exit 3", ApartOutcome::NotRun, {}},
      {"does not know the request", "echo usage: auralis", ApartOutcome::NotRun, {}},
  };
  for (const Case& c : cases) {
    const ApartResult result =
        listMidiPortsApart(MidiDirection::Output, 500ms, "/bin/sh", {"-c", c.script});
    EXPECT_EQ(result.outcome, c.outcome) << c.what;
    EXPECT_EQ(result.listing.names, c.names) << c.what;
  }
  EXPECT_EQ(listMidiPortsApart(MidiDirection::Input, 500ms, "/nonexistent/auralis").outcome,
            ApartOutcome::NotRun);
}

}  // namespace
}  // namespace auralis::platform
