#include "platform/FakeSoundInput.h"

#include <algorithm>
#include <cstring>

namespace auralis::platform {

bool FakeSoundInput::accepts(int device, const WaveFormat& format) const {
  const WaveFormat wanted;
  const bool known = device == kDefaultSoundInput
                         ? !devices.empty()
                         : device >= 0 && device < static_cast<int>(devices.size());
  return known && format.sampleRate == wanted.sampleRate && format.channels == wanted.channels &&
         format.bitsPerSample == wanted.bitsPerSample;
}

void FakeSoundInput::enter(const std::string& call) {
  if (onCall) onCall(call);
}

bool FakeSoundInput::supportsFormat(int device, const WaveFormat& format) {
  calls.push_back("query " + std::to_string(device));
  return !refuseFormat && accepts(device, format);
}

bool FakeSoundInput::open(int device, const WaveFormat& format, DataFn onData) {
  if (open_) close();
  enter("open");
  calls.push_back("open " + std::to_string(device));
  if (failOpen || refuseFormat || !accepts(device, format)) return false;
  onData_ = std::move(onData);
  openLost_ = onLost_;
  gone_ = false;
  open_ = true;
  openDevice_ = device;
  return true;
}

void FakeSoundInput::prepare(CaptureHeader* header) {
  calls.push_back("prepare");
  if (header->prepared) misuses.push_back("prepare while prepared");
  header->prepared = header->data != nullptr && header->bufferLength >= sizeof(std::int16_t);
}

void FakeSoundInput::unprepare(CaptureHeader* header) {
  calls.push_back("unprepare");
  if (std::find(queue_.begin(), queue_.end(), header) != queue_.end())
    misuses.push_back("unprepare while queued");
  header->prepared = false;
}

void FakeSoundInput::addBuffer(CaptureHeader* header) {
  calls.push_back("add");
  addThreads.push_back(std::this_thread::get_id());
  if (!open_) {
    misuses.push_back("add while closed");
    return;
  }
  if (!header->prepared) {
    misuses.push_back("add unprepared");
    return;
  }
  if (std::find(queue_.begin(), queue_.end(), header) != queue_.end()) {
    misuses.push_back("add while queued");
    return;
  }
  header->bytesRecorded = 0;
  header->done.store(false, std::memory_order_relaxed);
  queue_.push_back(header);
}

void FakeSoundInput::start() {
  enter("start");
  calls.push_back("start");
  if (open_ && !gone_) started_ = true;
}

void FakeSoundInput::stop() {
  enter("stop");
  calls.push_back("stop");
  if (!started_) return;
  started_ = false;
  if (filled_ > 0 && !queue_.empty()) returnHead();
}

void FakeSoundInput::close() {
  enter("close");
  calls.push_back("close");
  if (!open_) return;
  started_ = false;
  if (!queue_.empty())
    queue_.front()->bytesRecorded = static_cast<std::uint32_t>(filled_ * sizeof(std::int16_t));
  for (CaptureHeader* header : queue_) header->done.store(true, std::memory_order_release);
  queue_.clear();
  filled_ = 0;
  onData_ = nullptr;
  open_ = false;
  openDevice_ = kNoSoundInput;
}

void FakeSoundInput::setSamples(std::vector<std::int16_t> samples) {
  source_ = std::move(samples);
  cursor_ = 0;
}

void FakeSoundInput::returnHead() {
  CaptureHeader* header = queue_.front();
  queue_.pop_front();
  header->bytesRecorded = static_cast<std::uint32_t>(filled_ * sizeof(std::int16_t));
  filled_ = 0;
  header->done.store(true, std::memory_order_release);
  // The notice may requeue buffers at once, so the queue is settled before it is given.
  if (onData_) onData_();
}

std::size_t FakeSoundInput::deliverSamples(std::size_t count) {
  if (!open_ || !started_) return 0;
  count = std::min(count, samplesLeft());
  std::size_t taken = 0;
  // A notice may stop or close the device part way.
  while (taken < count && started_) {
    if (queue_.empty()) {
      lost_ += count - taken;
      cursor_ += count - taken;
      return count;
    }
    CaptureHeader* header = queue_.front();
    const std::size_t capacity = header->bufferLength / sizeof(std::int16_t);
    const std::size_t part = std::min(count - taken, capacity - filled_);
    std::memcpy(header->data + filled_, source_.data() + cursor_, part * sizeof(std::int16_t));
    filled_ += part;
    cursor_ += part;
    taken += part;
    if (filled_ == capacity) returnHead();
  }
  return taken;
}

bool FakeSoundInput::deliverBuffer() {
  if (!open_ || !started_ || queue_.empty()) return false;
  const CaptureHeader* head = queue_.front();
  const std::size_t missing = head->bufferLength / sizeof(std::int16_t) - filled_;
  return samplesLeft() >= missing && deliverSamples(missing) == missing;
}

void FakeSoundInput::sendStrayNotice() {
  if (onData_) onData_();
}

bool FakeSoundInput::reconnect() {
  calls.push_back("reconnect");
  if (!open_ || (gone_ && stayGone)) return false;
  gone_ = false;
  return true;
}

void FakeSoundInput::loseDevice() {
  calls.push_back("lost");
  if (!open_ || gone_) return;
  gone_ = true;
  started_ = false;
  if (openLost_) openLost_();
}

}  // namespace auralis::platform
