#include "output/MidiStreamPlayer.h"

#include <bit>
#include <cstring>
#include <new>
#include <utility>

namespace auralis {

static_assert(std::endian::native == std::endian::little,
              "phrases are copied into the stream's little-endian layout as they are");

namespace {

// Header and events share one allocation, the only one a played phrase costs.
platform::MidiStreamHeader* newPhraseBlock(const MidiEventList& phrase) {
  const std::size_t bytes = static_cast<std::size_t>(phrase.count) * sizeof(MidiEvent);
  void* block = ::operator new(sizeof(platform::MidiStreamHeader) + bytes);
  auto* header = new (block) platform::MidiStreamHeader{};
  auto* data = static_cast<std::uint8_t*>(block) + sizeof(platform::MidiStreamHeader);
  std::memcpy(data, phrase.events.data(), bytes);
  header->data = data;
  header->bufferLength = static_cast<std::uint32_t>(bytes);
  header->bytesRecorded = static_cast<std::uint32_t>(bytes);
  return header;
}

void deletePhraseBlock(platform::MidiStreamHeader* header) {
  header->~MidiStreamHeader();
  ::operator delete(header);
}

}  // namespace

MidiStreamPlayer::MidiStreamPlayer(platform::MidiOutStream& device,
                                   std::function<void()> postPlayDone,
                                   platform::DeviceWorker::PostReplyFn postReply,
                                   PostLostFn postLost)
    : device_(device),
      postPlayDone_(std::move(postPlayDone)),
      postLost_(std::move(postLost)),
      worker_(platform::DeviceWorker::modeFor(device.callsMayBlock()), std::move(postReply)) {}

MidiStreamPlayer::~MidiStreamPlayer() {
  CloseMidiOut();
}

void MidiStreamPlayer::OpenMidiOut(int device) {
  open_ = false;
  if (!midiOutPresent) return;
  const int openCount = ++openCount_;
  open_ = true;
  lost_ = false;
  worker_.call(
      [this, device, openCount] {
        device_.setDeviceLostFn([this, openCount] {
          if (postLost_) postLost_(openCount);
        });
        const int opened = device_.open(device, [this](platform::MidiStreamHeader* header) {
          finished_.store(header, std::memory_order_release);
          postPlayDone_();
        });
        if (opened != platform::kMidiOk) return false;
        device_.setTimeDivision(kTicksPerQuarterNote);
        return true;
      },
      [this, openCount](bool opened) {
        // An output that failed as its stream started tells of its loss too: it is then being
        // tried again, as a lost one is.
        if (!opened && openCount == openCount_ && !lost_) open_ = false;
      });
}

void MidiStreamPlayer::ReopenMidiOut(int device) {
  CloseMidiOut();
  OpenMidiOut(device);
}

void MidiStreamPlayer::CloseMidiOut() {
  // A lost notice still on its way is about an output no longer wanted.
  ++openCount_;
  lost_ = false;
  if (!open_) return;
  if (queued_ != nullptr) {
    // The block goes once the stop has taken the phrase from the stream.
    worker_.run([this, header = std::exchange(queued_, nullptr)] {
      device_.stop();
      deletePhraseBlock(header);
    });
    playbackIdle_.store(true, std::memory_order_release);
    // The finished phrase's deferred work still has to run; a late notice for the stopped
    // buffer is recognised as stale and ignored.
    postPlayDone_();
  }
  worker_.run([this] { device_.close(); });
  open_ = false;
}

void MidiStreamPlayer::MidiOutLost(int openCount) {
  if (openCount != openCount_ || lost_) return;
  // Also an output whose open failed as its stream started: it is brought back all the same.
  open_ = true;
  lost_ = true;
  worker_.retry([this] { return device_.reconnect() == platform::kMidiOk; },
                [this, openCount] { return openCount == openCount_ && lost_; },
                [this] { lost_ = false; });
}

void MidiStreamPlayer::PlayEventList(MidiEventList& phrase) {
  if (phrase.count == 0) return;
  platform::MidiStreamHeader* header = newPhraseBlock(phrase);
  phrase.header = header;
  if (!open_) {
    deletePhraseBlock(header);
    return;
  }
  playbackIdle_.store(false, std::memory_order_release);
  queued_ = header;
  const std::uint64_t serial = ++queuedSerial_;
  worker_.call([this, header] { return device_.out(header); },
               [this, serial](int result) {
                 if (result != platform::kMidiOk) phraseRefused(serial);
               });
}

void MidiStreamPlayer::phraseRefused(std::uint64_t serial) {
  // A phrase since released (the stream was closed) or followed by another is not this one.
  if (serial != queuedSerial_ || queued_ == nullptr) return;
  freeQueued();
  playbackIdle_.store(true, std::memory_order_release);
  postPlayDone_();
}

void MidiStreamPlayer::MidiStreamDone() {
  platform::MidiStreamHeader* finished = finished_.exchange(nullptr, std::memory_order_acq_rel);
  if (finished == nullptr || finished != queued_) return;
  freeQueued();
  worker_.run([this] { device_.stop(); });
  playbackIdle_.store(true, std::memory_order_release);
}

void MidiStreamPlayer::freeQueued() {
  deletePhraseBlock(queued_);
  queued_ = nullptr;
}

void MidiStreamPlayer::SetVolumeFromMenu(const std::array<bool, 12>& checked) {
  for (int i = 0; i < 12; ++i)
    if (checked[i]) MidiOutVolume = 10 * i + 10;
}

void MidiStreamPlayer::SetChannelFromMenu(const std::array<bool, 16>& checked) {
  for (int i = 0; i < 16; ++i)
    if (checked[i]) MidiOutChannel = i;
}

}  // namespace auralis
