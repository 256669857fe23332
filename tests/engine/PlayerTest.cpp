#include <gtest/gtest.h>

#include "output/MidiStreamPlayer.h"
#include "platform/FakeMidiOutStream.h"

namespace auralis {
namespace {

using Calls = std::vector<std::string>;

class PlayerTest : public ::testing::Test {
 protected:
  PlayerTest() {
    player.midiOutPresent = true;
    phrase.count = 0;
    PushNote(phrase, 60, 0, 0, 80, 30);
  }

  void handlePosted() {
    while (posted > 0) {
      --posted;
      player.MidiStreamDone();
    }
  }

  platform::FakeMidiOutStream stream;
  int posted = 0;
  std::vector<int> lost;  // the lost notices, by the open they name
  MidiStreamPlayer player{
      stream, [this] { ++posted; }, {}, [this](int openCount) { lost.push_back(openCount); }};
  MidiEventList phrase;
};

TEST_F(PlayerTest, OpensWithNinetySixTicksPerQuarterNote) {
  player.OpenMidiOut(-1);
  EXPECT_EQ(stream.calls, (Calls{"open -1", "timediv 96"}));
  EXPECT_TRUE(player.streamOpen());
}

TEST_F(PlayerTest, NoOutputPresentOpensNothing) {
  player.midiOutPresent = false;
  player.OpenMidiOut(-1);
  EXPECT_FALSE(player.streamOpen());
  EXPECT_TRUE(stream.calls.empty());
  player.PlayEventList(phrase);
  EXPECT_TRUE(player.PlaybackIdle());
  EXPECT_TRUE(stream.phrases.empty());
}

TEST_F(PlayerTest, AFailedOpenLeavesTheStreamClosedAndPlaybackIdle) {
  stream.openResult = 7;
  player.OpenMidiOut(0);
  EXPECT_FALSE(player.streamOpen());
  player.PlayEventList(phrase);
  EXPECT_TRUE(player.PlaybackIdle());
  EXPECT_EQ(stream.calls, (Calls{"open 0"}));
}

TEST_F(PlayerTest, APhraseIsQueuedThenReleasedOnTheDoneNotice) {
  player.OpenMidiOut(-1);
  stream.calls.clear();
  player.PlayEventList(phrase);
  EXPECT_FALSE(player.PlaybackIdle());
  EXPECT_EQ(stream.calls, (Calls{"out 2"}));
  ASSERT_EQ(stream.phrases.size(), 1u);
  EXPECT_EQ(stream.phrases[0][0].event, 0x00503C90u);
  EXPECT_EQ(stream.phrases[0][1].delta, 30u);

  // The list may be refilled at once: the stream plays its own copy.
  ClearEvents(phrase);
  PushNote(phrase, 72, 0, 0, 80, 30);

  stream.calls.clear();
  ASSERT_TRUE(stream.completePhrase());
  EXPECT_EQ(posted, 1);
  EXPECT_FALSE(player.PlaybackIdle());  // released on the interface thread
  handlePosted();
  EXPECT_TRUE(player.PlaybackIdle());
  EXPECT_EQ(stream.calls, (Calls{"stop"}));
}

TEST_F(PlayerTest, AnEmptyPhraseSendsNothing) {
  player.OpenMidiOut(-1);
  stream.calls.clear();
  MidiEventList empty;
  player.PlayEventList(empty);
  EXPECT_TRUE(player.PlaybackIdle());
  EXPECT_TRUE(stream.calls.empty());
}

TEST_F(PlayerTest, ARefusedBufferEndsAtOnceWithItsDoneNotice) {
  player.OpenMidiOut(-1);
  stream.outResult = 3;
  player.PlayEventList(phrase);
  EXPECT_TRUE(player.PlaybackIdle());
  EXPECT_EQ(posted, 1) << "deferred work runs as after any phrase";
  handlePosted();
  EXPECT_TRUE(player.PlaybackIdle());
}

TEST_F(PlayerTest, ADeviceChangeDuringAPhraseStopsItFirstAndStillNotifies) {
  player.OpenMidiOut(-1);
  player.PlayEventList(phrase);
  stream.calls.clear();
  player.ReopenMidiOut(0);
  EXPECT_EQ(stream.calls, (Calls{"stop", "close", "open 0", "timediv 96"}));
  EXPECT_TRUE(player.PlaybackIdle());
  EXPECT_EQ(posted, 1);  // deferred work of the cut phrase still runs
  handlePosted();
  EXPECT_TRUE(player.PlaybackIdle());
}

TEST_F(PlayerTest, ALateNoticeForAnEarlierBufferDoesNotReleaseTheNextPhrase) {
  player.OpenMidiOut(-1);
  player.PlayEventList(phrase);
  stream.completePhrase();  // notice posted, not handled yet
  handlePosted();
  player.PlayEventList(phrase);
  posted = 1;  // a stale duplicate notice arrives
  handlePosted();
  EXPECT_FALSE(player.PlaybackIdle());
  EXPECT_TRUE(stream.playing());
}

TEST_F(PlayerTest, ALostOutputRefusesPhrasesUntilItPlaysAgain) {
  player.OpenMidiOut(-1);
  player.PlayEventList(phrase);
  stream.stayGone = true;
  stream.loseDevice();
  handlePosted();
  EXPECT_TRUE(player.PlaybackIdle()) << "the sounding phrase ended with its output";
  ASSERT_EQ(lost.size(), 1u);
  player.MidiOutLost(lost[0]);
  EXPECT_TRUE(player.outputLost());

  const std::size_t accepted = stream.phrases.size();
  player.PlayEventList(phrase);
  EXPECT_TRUE(player.PlaybackIdle()) << "refused at once: the lesson goes on";
  EXPECT_EQ(stream.phrases.size(), accepted);
  stream.calls.clear();
  player.worker().runDelayedCalls();
  player.worker().runDelayedCalls();
  EXPECT_EQ(stream.calls, (Calls{"reconnect", "reconnect"}));

  stream.stayGone = false;
  player.worker().runDelayedCalls();
  EXPECT_FALSE(player.outputLost());
  player.PlayEventList(phrase);
  EXPECT_FALSE(player.PlaybackIdle());
  EXPECT_EQ(stream.phrases.size(), accepted + 1) << "it plays again";

  // A notice about the output as it was opened before does not start the attempts again.
  player.ReopenMidiOut(-1);
  player.MidiOutLost(lost[0]);
  EXPECT_FALSE(player.outputLost());
  stream.calls.clear();
  player.worker().runDelayedCalls();
  EXPECT_TRUE(stream.calls.empty());
}

TEST_F(PlayerTest, AnOutputThatFailsAsItStartsIsBroughtBackAsALostOne) {
  stream.loseAsItOpens = true;
  player.OpenMidiOut(-1);
  ASSERT_EQ(lost.size(), 1u) << "the output told of its loss as it failed";
  player.MidiOutLost(lost[0]);
  EXPECT_TRUE(player.outputLost());
  player.PlayEventList(phrase);
  EXPECT_TRUE(player.PlaybackIdle());

  player.worker().runDelayedCalls();
  EXPECT_FALSE(player.outputLost());
  EXPECT_TRUE(player.streamOpen());
  player.PlayEventList(phrase);
  EXPECT_FALSE(player.PlaybackIdle()) << "it plays";

  // Once closed, a notice still on its way about it starts nothing.
  player.CloseMidiOut();
  player.MidiOutLost(lost[0]);
  EXPECT_FALSE(player.outputLost());
  EXPECT_FALSE(player.streamOpen());
}

TEST_F(PlayerTest, VolumeAndChannelComeFromTheCheckedMenuPosition) {
  std::array<bool, 12> volume{};
  volume[11] = true;
  player.SetVolumeFromMenu(volume);
  EXPECT_EQ(player.MidiOutVolume, 120);
  volume = {};
  volume[0] = true;
  player.SetVolumeFromMenu(volume);
  EXPECT_EQ(player.MidiOutVolume, 10);
  std::array<bool, 16> channel{};
  channel[9] = true;
  player.SetChannelFromMenu(channel);
  EXPECT_EQ(player.MidiOutChannel, 9);
}

}  // namespace
}  // namespace auralis
