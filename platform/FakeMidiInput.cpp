#include "platform/FakeMidiInput.h"

namespace auralis::platform {

int FakeMidiInput::open(int device, MessageFn onMessage) {
  calls.push_back("open " + std::to_string(device));
  if (openResult != 0) return openResult;
  if (device < 0 || device >= static_cast<int>(devices.size())) return 1;
  onMessage_ = std::move(onMessage);
  openLost_ = onLost_;
  open_ = true;
  gone_ = false;
  openDevice_ = device;
  return 0;
}

int FakeMidiInput::start() {
  calls.emplace_back("start");
  if (!open_) return 1;
  if (startResult != 0) return startResult;
  started_ = true;
  return 0;
}

void FakeMidiInput::stop() {
  calls.emplace_back("stop");
  started_ = false;
}

void FakeMidiInput::close() {
  calls.emplace_back("close");
  started_ = false;
  open_ = false;
  gone_ = false;
  openDevice_ = -2;
  onMessage_ = nullptr;
}

bool FakeMidiInput::send(std::uint32_t shortMessage) {
  if (!open_ || gone_ || !started_ || !onMessage_) return false;
  onMessage_(shortMessage);
  return true;
}

int FakeMidiInput::reconnect() {
  calls.emplace_back("reconnect");
  if (!open_ || (gone_ && stayGone)) return 1;
  gone_ = false;
  return 0;
}

void FakeMidiInput::loseDevice() {
  calls.emplace_back("lost");
  if (!open_ || gone_) return;
  gone_ = true;
  if (openLost_) openLost_();
}

bool FakeMidiInput::noteOn(int note, int velocity, int channel) {
  const auto status = static_cast<std::uint32_t>(0x90 | (channel & 0x0F));
  return send(status | static_cast<std::uint32_t>(note & 0x7F) << 8 |
              static_cast<std::uint32_t>(velocity & 0x7F) << 16);
}

}  // namespace auralis::platform
