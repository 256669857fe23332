#include "devices/SystemMidiOut.h"

namespace auralis::platform {

SystemMidiOut::SystemMidiOut(std::vector<std::string> soundFonts)
    : synthesiser_(std::move(soundFonts)) {}

int SystemMidiOut::deviceCount() {
  return ports_.deviceCount();
}

std::string SystemMidiOut::deviceName(int device) {
  return device == kDefaultMidiDevice ? synthesiser_.deviceName(device) : ports_.deviceName(device);
}

int SystemMidiOut::open(int device, DoneFn onDone) {
  close();
  MidiOutStream& chosen = device == kDefaultMidiDevice ? static_cast<MidiOutStream&>(synthesiser_)
                                                       : static_cast<MidiOutStream&>(ports_);
  wanted_ = &chosen;
  const int result = chosen.open(device, std::move(onDone));
  if (result == kMidiOk) open_ = &chosen;
  return result;
}

int SystemMidiOut::setTimeDivision(int ticksPerQuarterNote) {
  return open_ ? open_->setTimeDivision(ticksPerQuarterNote) : kMidiError;
}

int SystemMidiOut::out(MidiStreamHeader* header) {
  return open_ ? open_->out(header) : kMidiError;
}

int SystemMidiOut::stop() {
  return open_ ? open_->stop() : kMidiError;
}

int SystemMidiOut::close() {
  wanted_ = nullptr;
  if (open_ == nullptr) return kMidiOk;
  const int result = open_->close();
  open_ = nullptr;
  return result;
}

void SystemMidiOut::setDeviceLostFn(LostFn onLost) {
  synthesiser_.setDeviceLostFn(onLost);
  ports_.setDeviceLostFn(std::move(onLost));
}

// Also an output whose open failed as its stream started: it may come back as a lost one does.
int SystemMidiOut::reconnect() {
  if (wanted_ == nullptr) return kMidiError;
  const int result = wanted_->reconnect();
  if (result == kMidiOk) open_ = wanted_;
  return result;
}

}  // namespace auralis::platform
