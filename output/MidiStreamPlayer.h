#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "output/MidiEvent.h"
#include "platform/DeviceWorker.h"
#include "platform/MidiOutStream.h"

namespace auralis {

inline constexpr int kTicksPerQuarterNote = 96;

// Owns the MIDI output stream and plays one phrase at a time.
//
// The stream's done notice may arrive on any thread; it only records which buffer finished and
// asks for WM_PLAYDONE to be posted. The buffer is released, the stream stopped and PlaybackIdle
// set on the interface thread in MidiStreamDone(), before any deferred work runs, so a phrase
// queued afterwards can never be stopped by the notice of an earlier one.
//
// Every call into the stream runs on the stream's worker, in the order given: an output that
// stalls holds up later calls into it, never the interface thread. A phrase block handed to the
// stream is released only once the stream has done with it: after its done notice, or by a stop
// on the worker.
class MidiStreamPlayer {
 public:
  // Called on the stream's thread: the output opened as `openCount` stopped working.
  using PostLostFn = std::function<void(int openCount)>;

  // postReply hands the replies of the stream's calls to the interface thread; a stream whose
  // calls run at once needs none.
  MidiStreamPlayer(platform::MidiOutStream& device, std::function<void()> postPlayDone,
                   platform::DeviceWorker::PostReplyFn postReply = {}, PostLostFn postLost = {});
  ~MidiStreamPlayer();
  MidiStreamPlayer(const MidiStreamPlayer&) = delete;
  MidiStreamPlayer& operator=(const MidiStreamPlayer&) = delete;

  bool midiOutPresent = false;
  int MidiOutVolume = 80;  // note-on velocity, 10 to 120
  int MidiOutChannel = 0;  // 0 to 15

  // Opens device (-1 the default output) with 96 ticks per quarter note. Nothing is opened when
  // no output is present. The stream counts as open from here on; should the open fail, the
  // phrases handed over meanwhile are refused and the stream counts as closed, unless it told of
  // its loss as it failed: it is then tried again, as a lost output is.
  void OpenMidiOut(int device);
  // Stops a sounding phrase first, so that no note is left hanging, then closes and opens.
  void ReopenMidiOut(int device);
  void CloseMidiOut();
  bool streamOpen() const { return open_; }
  // The output opened as `openCount` stopped working: it is tried again until it plays again.
  // Meanwhile every phrase is refused, so the lesson goes on without sound.
  void MidiOutLost(int openCount);
  bool outputLost() const { return lost_; }

  // Queues one phrase; the caller checks PlaybackIdle first. With no open stream nothing is
  // queued and PlaybackIdle stays set. When the stream refuses the buffer, PlaybackIdle is set
  // again and WM_PLAYDONE posted, as for a phrase that ended at once.
  void PlayEventList(MidiEventList& phrase);
  bool PlaybackIdle() const { return playbackIdle_.load(std::memory_order_acquire); }

  // Interface thread, on WM_PLAYDONE: releases the finished buffer and stops the stream.
  void MidiStreamDone();

  // Menu position i of the checked item gives velocity 10 * i + 10, or channel i.
  void SetVolumeFromMenu(const std::array<bool, 12>& checked);
  void SetChannelFromMenu(const std::array<bool, 16>& checked);

  platform::DeviceWorker& worker() { return worker_; }

 private:
  void freeQueued();
  void phraseRefused(std::uint64_t serial);

  platform::MidiOutStream& device_;
  std::function<void()> postPlayDone_;
  PostLostFn postLost_;
  bool open_ = false;
  bool lost_ = false;
  int openCount_ = 0;  // opens asked for so far; names the output in its lost notice
  platform::MidiStreamHeader* queued_ = nullptr;  // header at the start of its own block
  std::uint64_t queuedSerial_ = 0;                // counts the phrases handed over
  std::atomic<platform::MidiStreamHeader*> finished_{nullptr};
  std::atomic<bool> playbackIdle_{true};
  // Last, so that it goes first: its calls use everything above.
  platform::DeviceWorker worker_;
};

}  // namespace auralis
