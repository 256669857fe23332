#pragma once

#include <array>
#include <atomic>
#include <functional>

#include "output/MidiEvent.h"
#include "platform/MidiOutStream.h"

namespace auralis {

inline constexpr int kTicksPerQuarterNote = 96;

// Owns the MIDI output stream and plays one phrase at a time.
//
// The stream's done notice may arrive on any thread; it only records which buffer finished and
// asks for WM_PLAYDONE to be posted. The buffer is released, the stream stopped and PlaybackIdle
// set on the interface thread in MidiStreamDone(), before any deferred work runs, so a phrase
// queued afterwards can never be stopped by the notice of an earlier one.
class MidiStreamPlayer {
 public:
  MidiStreamPlayer(platform::MidiOutStream& device, std::function<void()> postPlayDone);
  ~MidiStreamPlayer();
  MidiStreamPlayer(const MidiStreamPlayer&) = delete;
  MidiStreamPlayer& operator=(const MidiStreamPlayer&) = delete;

  bool midiOutPresent = false;
  int MidiOutVolume = 80;  // note-on velocity, 10 to 120
  int MidiOutChannel = 0;  // 0 to 15

  // Opens device (-1 the default output) with 96 ticks per quarter note; returns the device's
  // result code, 0 on success and also when no output is present.
  int OpenMidiOut(int device);
  // Stops a sounding phrase first, so that no note is left hanging, then closes and opens.
  int ReopenMidiOut(int device);
  void CloseMidiOut();
  bool streamOpen() const { return open_; }

  // Queues one phrase; the caller checks PlaybackIdle first. With no open stream, or when the
  // device refuses the buffer, nothing is queued and PlaybackIdle stays set.
  void PlayEventList(MidiEventList& phrase);
  bool PlaybackIdle() const { return playbackIdle_.load(std::memory_order_acquire); }

  // Interface thread, on WM_PLAYDONE: releases the finished buffer and stops the stream.
  void MidiStreamDone();

  // Menu position i of the checked item gives velocity 10 * i + 10, or channel i.
  void SetVolumeFromMenu(const std::array<bool, 12>& checked);
  void SetChannelFromMenu(const std::array<bool, 16>& checked);

 private:
  void freeQueued();

  platform::MidiOutStream& device_;
  std::function<void()> postPlayDone_;
  bool open_ = false;
  platform::MidiStreamHeader* queued_ = nullptr;  // header at the start of its own block
  std::atomic<platform::MidiStreamHeader*> finished_{nullptr};
  std::atomic<bool> playbackIdle_{true};
};

}  // namespace auralis
