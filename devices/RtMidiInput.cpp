#include "devices/RtMidiInput.h"

#include "devices/MidiPorts.h"
#include "platform/MidiOutStream.h"

namespace auralis::platform {

std::uint32_t packShortMessage(const unsigned char* bytes, std::size_t size) {
  if (size == 0 || size > 3 || bytes[0] < 0x80 || bytes[0] == 0xF0) return 0;
  std::uint32_t packed = bytes[0];
  for (std::size_t i = 1; i < size; ++i) {
    if (bytes[i] >= 0x80) return 0;
    packed |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  }
  return packed;
}

RtMidiInput::RtMidiInput() = default;

RtMidiInput::~RtMidiInput() {
  close();
}

std::vector<std::string> RtMidiInput::deviceNames() {
  portNames_ = listMidiPorts(MidiDirection::Input);
  return portNames_;
}

int RtMidiInput::open(int device, MessageFn onMessage) {
  close();
  if (portNames_.empty()) deviceNames();
  if (device < 0 || device >= static_cast<int>(portNames_.size())) return kMidiError;
  onMessage_ = std::move(onMessage);
  openName_ = portNames_[static_cast<std::size_t>(device)];
  const int result = openPort();
  if (result != kMidiOk) openName_.clear();
  return result;
}

int RtMidiInput::openPort() {
  const bool opened =
      openWatchedPort<RtMidiIn>(port_, watch_, openName_, std::string(kMidiClientName) + " input",
                                onLost_, [this](RtMidiIn& port) {
                                  port.ignoreTypes(true, true, true);
                                  port.setCallback(&RtMidiInput::onMidi, this);
                                });
  return opened ? kMidiOk : kMidiError;
}

int RtMidiInput::start() {
  if (!isOpen()) return kMidiError;
  started_.store(true, std::memory_order_release);
  return kMidiOk;
}

void RtMidiInput::stop() {
  started_.store(false, std::memory_order_release);
}

void RtMidiInput::close() {
  stop();
  openName_.clear();
  if (port_) {
    // Only a flag of RtMidi's own, safe also on a port whose server has gone.
    try {
      port_->cancelCallback();
    } catch (const std::exception&) {
      // No callback was set.
    }
  }
  closeWatchedPort(std::move(port_), watch_);
}

bool RtMidiInput::isOpen() const {
  return !openName_.empty();
}

void RtMidiInput::setDeviceLostFn(LostFn onLost) {
  onLost_ = std::move(onLost);
}

int RtMidiInput::reconnect() {
  if (!isOpen()) return kMidiError;
  if (port_ && !serverGone(watch_)) return kMidiOk;
  closeWatchedPort(std::move(port_), watch_);
  return openPort();
}

void RtMidiInput::onMidi(double, std::vector<unsigned char>* message, void* self) {
  auto* input = static_cast<RtMidiInput*>(self);
  if (!input->started_.load(std::memory_order_acquire)) return;
  const std::uint32_t packed = packShortMessage(message->data(), message->size());
  if (packed != 0 && input->onMessage_) input->onMessage_(packed);
}

}  // namespace auralis::platform
