#include "platform/SystemMidiOut.h"

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
  if (open_ == nullptr) return kMidiOk;
  const int result = open_->close();
  open_ = nullptr;
  return result;
}

void SystemMidiOut::setDeviceLostFn(LostFn onLost) {
  synthesiser_.setDeviceLostFn(onLost);
  ports_.setDeviceLostFn(std::move(onLost));
}

int SystemMidiOut::reconnect() {
  return open_ ? open_->reconnect() : kMidiError;
}

}  // namespace auralis::platform
