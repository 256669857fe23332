#pragma once

#include <array>
#include <bitset>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "devices/StreamTiming.h"
#include "platform/MidiOutStream.h"

namespace auralis::platform {

// Plays one phrase at a time on a thread of its own, sending each short message at its
// steady-clock deadline counted from the moment play() was called, so that late wake-ups do not
// add up. The done notice follows the last record, on the scheduler's thread.
class PhraseScheduler {
 public:
  using SendFn = std::function<void(std::uint32_t message)>;
  using DoneFn = MidiOutStream::DoneFn;

  // send is called on the scheduler's thread, and by stop() on the caller's.
  PhraseScheduler(SendFn send, DoneFn onDone);
  ~PhraseScheduler();
  PhraseScheduler(const PhraseScheduler&) = delete;
  PhraseScheduler& operator=(const PhraseScheduler&) = delete;

  void setTicksPerQuarter(int ticksPerQuarter);
  // False while a phrase plays.
  bool play(MidiStreamHeader* header);
  // Abandons the phrase without a done notice and sends a note-off for every note still
  // sounding, so that none hangs.
  void stop();

 private:
  void run();
  void track(std::uint32_t message);
  void releaseSounding();

  SendFn send_;
  DoneFn onDone_;
  std::mutex mutex_;
  std::condition_variable wake_;
  int ticksPerQuarter_ = 96;
  MidiStreamHeader* header_ = nullptr;  // the phrase playing, or none
  TimedPhrase phrase_;
  std::size_t next_ = 0;  // the next message of phrase_
  std::chrono::steady_clock::time_point zero_;
  std::array<std::bitset<128>, 16> sounding_;  // by channel and note
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace auralis::platform
