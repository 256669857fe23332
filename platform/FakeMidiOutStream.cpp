#include "platform/FakeMidiOutStream.h"

namespace auralis::platform {

std::string FakeMidiOutStream::deviceName(int device) {
  if (device < 0) return "Default MIDI output";
  return device < deviceCount() ? devices[device] : std::string();
}

int FakeMidiOutStream::open(int device, DoneFn onDone) {
  calls.push_back("open " + std::to_string(device));
  if (openResult != kMidiOk) return openResult;
  onDone_ = std::move(onDone);
  openLost_ = deviceLostFn();
  gone_ = loseAsItOpens;
  if (gone_) {
    if (openLost_) openLost_();
    return kMidiError;
  }
  isOpen = true;
  return kMidiOk;
}

int FakeMidiOutStream::setTimeDivision(int ticksPerQuarterNote) {
  calls.push_back("timediv " + std::to_string(ticksPerQuarterNote));
  timeDivision = ticksPerQuarterNote;
  return kMidiOk;
}

int FakeMidiOutStream::out(MidiStreamHeader* header) {
  calls.push_back("out " + std::to_string(eventCountOf(*header)));
  if (outResult != kMidiOk) return outResult;
  if (gone_) return kMidiError;
  std::vector<StreamEvent> events;
  for (int i = 0; i < eventCountOf(*header); ++i) events.push_back(eventAt(*header, i));
  phrases.push_back(std::move(events));
  queued_ = header;
  return kMidiOk;
}

int FakeMidiOutStream::stop() {
  calls.push_back("stop");
  return kMidiOk;
}

int FakeMidiOutStream::close() {
  calls.push_back("close");
  isOpen = false;
  gone_ = false;
  queued_ = nullptr;
  onDone_ = nullptr;
  return kMidiOk;
}

int FakeMidiOutStream::reconnect() {
  calls.push_back("reconnect");
  if ((!isOpen && !gone_) || (gone_ && stayGone)) return kMidiError;
  gone_ = false;
  isOpen = true;
  return kMidiOk;
}

void FakeMidiOutStream::loseDevice() {
  calls.push_back("lost");
  if (!isOpen || gone_) return;
  gone_ = true;
  completePhrase();
  if (openLost_) openLost_();
}

bool FakeMidiOutStream::completePhrase() {
  if (queued_ == nullptr || !onDone_) return false;
  MidiStreamHeader* header = queued_;
  queued_ = nullptr;
  onDone_(header);
  return true;
}

}  // namespace auralis::platform
