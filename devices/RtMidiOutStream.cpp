#include "devices/RtMidiOutStream.h"

#include <array>
#include <chrono>
#include <thread>

#include "devices/MidiPorts.h"
#include "devices/PhraseScheduler.h"

namespace auralis::platform {

namespace {

// Many cycles of a server even when it runs late.
constexpr std::chrono::milliseconds kLastMessagesWait{100};

// Bytes of a short message by its status: program change and channel pressure carry one data
// byte, the other channel messages two.
std::size_t shortMessageLength(std::uint32_t message) {
  const std::uint32_t kind = message & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
}

}  // namespace

RtMidiOutStream::RtMidiOutStream() = default;

RtMidiOutStream::~RtMidiOutStream() {
  close();
}

int RtMidiOutStream::deviceCount() {
  portNames_ = listMidiPorts(MidiDirection::Output);
  return static_cast<int>(portNames_.size());
}

std::string RtMidiOutStream::deviceName(int device) {
  if (device < 0 || device >= static_cast<int>(portNames_.size())) return std::string();
  return portNames_[static_cast<std::size_t>(device)];
}

int RtMidiOutStream::open(int device, DoneFn onDone) {
  close();
  if (portNames_.empty()) deviceCount();
  if (device < 0 || device >= static_cast<int>(portNames_.size())) return kMidiError;
  openName_ = portNames_[static_cast<std::size_t>(device)];
  if (openPort() != kMidiOk) {
    openName_.clear();
    return kMidiError;
  }
  scheduler_ = std::make_unique<PhraseScheduler>([this](std::uint32_t message) { send(message); },
                                                 std::move(onDone));
  scheduler_->setTicksPerQuarter(ticksPerQuarter_);
  return kMidiOk;
}

int RtMidiOutStream::openPort() {
  std::unique_ptr<RtMidiOut> port;
  portLost_.store(false, std::memory_order_release);
  const auto lost = [this, onLost = deviceLostFn()] {
    portLost_.store(true, std::memory_order_release);
    if (onLost) onLost();
  };
  if (!openWatchedPort<RtMidiOut>(port, watch_, openName_, std::string(kMidiClientName) + " output",
                                  lost))
    return kMidiError;
  const std::lock_guard lock(portMutex_);
  port_ = std::move(port);
  return kMidiOk;
}

int RtMidiOutStream::setTimeDivision(int ticksPerQuarterNote) {
  if (ticksPerQuarterNote <= 0) return kMidiError;
  ticksPerQuarter_ = ticksPerQuarterNote;
  if (scheduler_) scheduler_->setTicksPerQuarter(ticksPerQuarter_);
  return kMidiOk;
}

int RtMidiOutStream::out(MidiStreamHeader* header) {
  if (header == nullptr || !scheduler_ || !port_ || serverGone(watch_)) return kMidiError;
  return scheduler_->play(header) ? kMidiOk : kMidiError;
}

int RtMidiOutStream::stop() {
  if (scheduler_) scheduler_->stop();
  return kMidiOk;
}

int RtMidiOutStream::close() {
  // The scheduler's last note-offs still need the port.
  scheduler_.reset();
  openName_.clear();
  // A JACK port hands its messages on at the server's next cycles; one unregistered before then
  // drops the note-offs just sent and leaves notes hanging on the synthesiser behind it. This
  // runs on the device's own thread.
  if (port_ && !serverGone(watch_)) std::this_thread::sleep_for(kLastMessagesWait);
  closeWatchedPort(std::move(port_), watch_);
  return kMidiOk;
}

// The phrase that was playing when the server went has run to its done notice meanwhile, or
// still runs to it: its messages go nowhere.
int RtMidiOutStream::reconnect() {
  if (openName_.empty()) return kMidiError;
  if (port_ && !serverGone(watch_)) return kMidiOk;
  std::unique_ptr<RtMidiOut> lost;
  {
    const std::lock_guard lock(portMutex_);
    lost = std::move(port_);
  }
  closeWatchedPort(std::move(lost), watch_);
  return openPort();
}

void RtMidiOutStream::send(std::uint32_t message) {
  const std::array<unsigned char, 3> bytes = {static_cast<unsigned char>(message & 0xFF),
                                              static_cast<unsigned char>((message >> 8) & 0x7F),
                                              static_cast<unsigned char>((message >> 16) & 0x7F)};
  const std::lock_guard lock(portMutex_);
  // RtMidi waits for room in its buffer, which nothing empties once the server has gone.
  if (!port_ || portLost_.load(std::memory_order_acquire)) return;
  try {
    port_->sendMessage(bytes.data(), shortMessageLength(message));
  } catch (const std::exception&) {
    // A port that went away takes no more messages; the phrase still runs to its done notice.
  }
}

}  // namespace auralis::platform
