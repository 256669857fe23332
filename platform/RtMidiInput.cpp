#include "platform/RtMidiInput.h"

#include "platform/MidiOutStream.h"
#include "platform/MidiPorts.h"

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
  const std::unique_ptr<RtMidiIn> service = openMidiService<RtMidiIn>();
  portNames_ = midiPortNames(service.get());
  return portNames_;
}

int RtMidiInput::open(int device, MessageFn onMessage) {
  close();
  if (portNames_.empty()) deviceNames();
  if (device < 0 || device >= static_cast<int>(portNames_.size())) return kMidiError;
  std::unique_ptr<RtMidiIn> port = openMidiService<RtMidiIn>();
  if (!port) return kMidiError;
  const std::optional<unsigned int> number =
      findMidiPort(*port, portNames_[static_cast<std::size_t>(device)]);
  if (!number) return kMidiError;
  onMessage_ = std::move(onMessage);
  try {
    port->ignoreTypes(true, true, true);
    port->setCallback(&RtMidiInput::onMidi, this);
    port->openPort(*number, std::string(kMidiClientName) + " input");
  } catch (const std::exception&) {
    return kMidiError;
  }
  if (!port->isPortOpen()) return kMidiError;
  port_ = std::move(port);
  return kMidiOk;
}

int RtMidiInput::start() {
  if (!port_) return kMidiError;
  started_.store(true, std::memory_order_release);
  return kMidiOk;
}

void RtMidiInput::stop() {
  started_.store(false, std::memory_order_release);
}

void RtMidiInput::close() {
  stop();
  if (!port_) return;
  try {
    port_->cancelCallback();
    port_->closePort();
  } catch (const std::exception&) {
    // The port is gone with its service.
  }
  port_.reset();
}

bool RtMidiInput::isOpen() const {
  return port_ != nullptr;
}

void RtMidiInput::onMidi(double, std::vector<unsigned char>* message, void* self) {
  auto* input = static_cast<RtMidiInput*>(self);
  if (!input->started_.load(std::memory_order_acquire)) return;
  const std::uint32_t packed = packShortMessage(message->data(), message->size());
  if (packed != 0 && input->onMessage_) input->onMessage_(packed);
}

}  // namespace auralis::platform
