#include "devices/FluidSynthMidiOut.h"

#include <malloc.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "devices/AudioDevices.h"
#include "devices/DoneDeadline.h"
#include "devices/LowLatencyOutput.h"
#include "devices/StreamTiming.h"
#include "devices/SynthModule.h"
#include "platform/ProgramModule.h"

namespace auralis::platform {

namespace {

constexpr int kSampleRate = 44100;
constexpr int kScratchFrames = 1024;
// Long enough for the stream to reach its next block.
constexpr std::chrono::milliseconds kClosingWait{500};
constexpr std::size_t kQueuePlaces = 1024;  // three phrases of the longest kind
// A question at the default velocity (80) then sounds about as loud as the feedback sounds, and a
// three-note chord at the highest velocity (120) still peaks about 3 dB below full scale.
constexpr double kSynthGain = 1.2;
// Enough for a piano note's release, and the blocks still in the output, to be heard before the
// next phrase may start.
constexpr std::chrono::milliseconds kReleaseTail{100};
// How long after a phrase's end the done notice comes when the stream has gone silent.
constexpr std::chrono::seconds kStallMargin{2};
// After this much silence the output is closed, and it is opened again for the next phrase: an
// open stream keeps this program and the audio server mixing silence all the time.
constexpr std::chrono::seconds kQuietBeforeClosing{2};
// How long a phrase waits for a stream that is stopping itself to have stopped.
constexpr std::chrono::milliseconds kStoppingWait{200};
// How long a phrase waits for a running stream to drop the silence it has queued: a block's time
// on any server, and more on a busy machine.
constexpr std::chrono::milliseconds kDroppingWait{50};
// Below this peak a sample is treated as silent: 60 dB under full scale, and about 50 dB under a
// question's notes, where a piano's release has faded from hearing, though FluidSynth keeps its
// voice for a second more. Cut there, its step is no louder, under the next phrase's first note.
constexpr float kInaudiblePeak = 0.001f;
// Silence for longer than the whole queue, and a block more: everything queued is silent.
constexpr std::int64_t kSilentQueueFrames =
    std::int64_t{kLowLatencyBlocks + 1} * kLowLatencyBlockFrames;
// A question sounds three notes at most; the rest leave room for releases.
constexpr int kPolyphony = 64;

// The synthesiser's module's entry point, or why there is none.
struct LoadedModule {
  MakeSynthVoicesFn make = nullptr;
  std::string error;
};

LoadedModule loadModule(const std::string& path) {
  std::string why;
  const std::vector<void*> entry = loadProgramModule(path, {kMakeSynthVoicesSymbol}, why);
  if (entry.empty()) return {nullptr, "The built-in synthesiser could not be loaded: " + why};
  return {reinterpret_cast<MakeSynthVoicesFn>(entry[0]), {}};
}

// One message of a queued phrase, or its end (header set).
struct QueuedEvent {
  std::uint64_t serial;
  std::int64_t frame;  // from the phrase's time zero
  std::uint32_t message;
  MidiStreamHeader* header;
};

}  // namespace

// The synthesiser, its output stream and the queue between them. The interface thread writes
// queued events at the tail; the audio thread plays and removes them at the head. A phrase is
// known by its serial; stop() cancels every phrase up to the latest by publishing its serial,
// and the audio thread drops what is cancelled. Whoever first claims a phrase's serial in
// armedSerial_ (the audio thread at the phrase's end, after a failure, or the deadline) gives its
// done notice; a stopped phrase gives none.
//
// Quiet: once nothing has sounded for a while, the audio thread stops its own stream (where the
// service restarts a stream cheaply) and asks the closer's thread to close it. The next phrase
// opens it again. The audio thread announces the stop in stopping_ before it looks at the queue
// a last time, and out() publishes a phrase before it looks at stopping_: one of the two sees
// the other, so a phrase never waits in a stream that has stopped.
class FluidSynthMidiOut::Engine final : public AudioStreamOwner {
 public:
  Engine(std::vector<std::string> soundFonts, std::string modulePath)
      : soundFonts_(std::move(soundFonts)),
        modulePath_(std::move(modulePath)),
        deadline_(
            [this](std::uint64_t serial, MidiStreamHeader* header) { giveDone(serial, header); }) {
    closer_ = std::thread([this] { closeWhenQuiet(); });
  }

  ~Engine() {
    close();
    quitCloser_.store(true);
    closeAsked_.store(true);
    closeAsked_.notify_one();
    closer_.join();
    freeSynth();
  }

  int open(DoneFn onDone, LostFn onLost) {
    const std::lock_guard lock(streamMutex_);
    closeLocked();
    onDone_ = std::move(onDone);
    onLost_ = std::move(onLost);
    if (!makeVoices_) {
      const LoadedModule loaded = loadModule(modulePath_);
      makeVoices_ = loaded.make;
      openError_ = loaded.error;
      if (!makeVoices_) return kMidiError;
    }
    const int result = startOn(openAudioService(AudioDirection::Output));
    // A stream that failed as it started may still come back where its service was found.
    reconnectable_ = api_ != RtAudio::UNSPECIFIED;
    return result;
  }

  // After a loss, or a stream that failed as it started: the default output of the same audio
  // service, with the same notices.
  int reconnect() {
    const std::lock_guard lock(streamMutex_);
    if (service_ && !lost_.load(std::memory_order_acquire)) return kMidiOk;
    if (!reconnectable_) return kMidiError;
    endStream();
    return startOn(openAudioService(AudioDirection::Output, api_));
  }

  int close() {
    const std::lock_guard lock(streamMutex_);
    return closeLocked();
  }

  int closeLocked() {
    reconnectable_ = false;
    api_ = RtAudio::UNSPECIFIED;
    endStream();
    onDone_ = nullptr;
    onLost_ = nullptr;
    return kMidiOk;
  }

  // The stream on the service's default output, started.
  int startOn(std::unique_ptr<RtAudio> service) {
    service_ = std::move(service);
    if (!service_) return kMidiError;
    api_ = service_->getCurrentApi();
    const std::optional<unsigned int> device =
        resolveAudioDevice(*service_, AudioDirection::Output, kDefaultMidiDevice);
    if (!device) return endWith(kMidiError);
    output_.deviceId = *device;
    try {
      const auto lock = lockAudioDevices();
      // Stereo, or mono where the output has one channel only.
      outputChannels_ = std::min(service_->getDeviceInfo(*device).outputChannels, 2U);
      output_.nChannels = outputChannels_;
    } catch (const std::exception&) {
      return endWith(kMidiError);
    }
    // A JACK client runs with its server's period whether it plays or not.
    closesWhenQuiet_ = api_ != RtAudio::UNIX_JACK;
    if (!openOutput()) return endWith(kMidiError);
    lost_.store(false);
    closing_.store(false);
    head_.store(tail_.load());
    return startOutput() ? kMidiOk : endWith(kMidiError);
  }

  bool openOutput() {
    // A phrase starts at the next block the stream renders, which reaches the ear once the
    // blocks queued before it have played: the queue is kept short.
    unsigned int frames = kLowLatencyBlockFrames;
    try {
      const auto lock = lockAudioDevices();
      const RealTimeScope realTime;
      RtAudio::StreamOptions options = lowLatencyOptions();
      service_->openStream(&output_, nullptr, RTAUDIO_FLOAT32, kSampleRate, &frames,
                           &Engine::onAudio, this, &options, &routeStreamError);
      sampleRate_ = static_cast<int>(service_->getStreamSampleRate());
      latencyFrames_ = service_->getStreamLatency();
    } catch (const std::exception&) {
      return false;
    }
    prepareSynth();
    return true;
  }

  bool startOutput() {
    stopping_.store(false);
    try {
      const RealTimeScope realTime;
      service_->startStream();
    } catch (const std::exception&) {
      return false;
    }
    return service_->isStreamRunning();
  }

  // Waits until the stream has stopped, or the wait has passed; true when it has stopped.
  bool waitUntilStopped(std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (service_->isStreamRunning() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return !service_->isStreamRunning();
  }

  void endStream() {
    if (!service_) return;
    stop();
    // The stream ends itself at its next block; stopping it from here would have to wait for
    // the lock its thread takes for every block.
    closing_.store(true, std::memory_order_release);
    try {
      if (!waitUntilStopped(kClosingWait)) service_->abortStream();
    } catch (const std::exception&) {
      // The server is gone.
    }
    closeStreamOf(*service_);
    service_.reset();
    closedForQuiet_ = false;
    stopping_.store(false);
    // With the audio thread gone, nothing the stopped phrase struck may sound on at the next open.
    if (voices_) voices_->allSoundsOff();
  }

  void setTicksPerQuarter(int ticks) { ticksPerQuarter_ = ticks; }

  int out(MidiStreamHeader* header) {
    const std::lock_guard lock(streamMutex_);
    if (!service_ || lost_.load(std::memory_order_acquire) || armedSerial_.load() != 0)
      return kMidiError;
    const TimedPhrase phrase = timedPhrase(*header);
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    const std::size_t used = tail - head_.load(std::memory_order_acquire);
    if (used + phrase.messages.size() + 1 > kQueuePlaces) return kMidiError;
    // An output closed for quiet is opened, given the phrase, and only then started: started
    // first, it renders its first blocks before the phrase is queued, and the phrase then waits
    // behind up to a whole queue of silence.
    const bool waking = closedForQuiet_;
    if (waking) {
      closedForQuiet_ = false;
      // Failing here, the server went while the output was closed.
      if (!openOutput()) return failedToWake();
    }
    // Likewise a running stream that has queued nothing but silence drops it, so that the phrase
    // is not heard only once that silence has played.
    const bool restarting = !waking && dropQueuedSilence();

    const std::uint64_t serial = ++lastSerial_;
    std::size_t at = tail;
    for (const TimedMessage& m : phrase.messages)
      queue_[at++ % kQueuePlaces] = {serial, framesOf(m.ticks), m.message, nullptr};
    const std::int64_t endFrame = framesOf(phrase.endTicks) + tailFrames();
    queue_[at++ % kQueuePlaces] = {serial, endFrame, 0, header};
    armedSerial_.store(serial, std::memory_order_release);
    tail_.store(at);
    if (waking || restarting ? !startOutput() : stopping_.load() && !restartStopping()) {
      stop();
      return failedToWake();
    }

    const auto length = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(static_cast<double>(endFrame) / sampleRate_));
    deadline_.arm(serial, header, std::chrono::steady_clock::now() + length + kStallMargin);
    return kMidiOk;
  }

  void stop() {
    armedSerial_.store(0, std::memory_order_release);
    deadline_.disarm();
    cancelledThrough_.store(lastSerial_, std::memory_order_release);
  }

  bool soundFontLoaded() const { return voices_ != nullptr; }

  std::string openError() const {
    const std::lock_guard lock(streamMutex_);
    return openError_;
  }

  bool outputOpen() const {
    const std::lock_guard lock(streamMutex_);
    return service_ && service_->isStreamOpen();
  }

  void streamFailed() override {
    if (!lost_.exchange(true, std::memory_order_acq_rel) && onLost_) onLost_();
  }

 private:
  static int onAudio(void* output, void*, unsigned int frames, double, RtAudioStreamStatus,
                     void* self) {
    auto* engine = static_cast<Engine*>(self);
    markStreamThread(engine);
    auto* samples = static_cast<float*>(output);
    const std::size_t values = std::size_t{frames} * engine->outputChannels_;
    if (engine->closing_.load(std::memory_order_acquire)) {
      std::fill_n(samples, values, 0.0f);
      return 2;
    }
    if (engine->lost_.load(std::memory_order_acquire)) {
      std::fill_n(samples, values, 0.0f);
      engine->endAfterFailure();
      return 2;
    }
    // Stopping drops the silence queued at the server; the phrase asking for it starts the
    // stream again.
    if (engine->dropAsked_.exchange(false, std::memory_order_acq_rel)) {
      std::fill_n(samples, values, 0.0f);
      return 2;
    }
    engine->render(samples, frames);
    engine->countInaudible(samples, values, frames);
    return engine->stopIfQuiet(frames) ? 2 : 0;
  }

  // With the stream lock held, before a phrase is queued: when the running stream has queued
  // only silence, has its thread stop the stream at its next block and waits until it has. True
  // when the stream has stopped and must be started again; false, with the stream running on,
  // when there was more than silence queued or its thread did not come in time.
  bool dropQueuedSilence() {
    // Stopped and started again, a PulseAudio stream drops what it has queued at once; other
    // outputs queue little anyway.
    if (api_ != RtAudio::LINUX_PULSE || stopping_.load() ||
        inaudibleFrames_.load(std::memory_order_relaxed) < kSilentQueueFrames ||
        !service_->isStreamRunning())
      return false;
    dropAsked_.store(true, std::memory_order_release);
    if (!waitUntilStopped(kDroppingWait)) {
      // Not yet taken by the stream's thread: it plays on as it was.
      if (dropAsked_.exchange(false)) return false;
      // Taken just now, and the stream still stopping: started before it has stopped, it would
      // stop after all and leave the phrase unheard.
      waitUntilStopped(kStoppingWait);
    }
    // Taken, or the stream stopped for quiet instead; started again, it must not stop for this.
    dropAsked_.store(false, std::memory_order_release);
    return true;
  }

  // Audio thread, after each block, where queued silence is dropped: how long nothing audible has
  // been rendered. A release still sounding faintly counts as silence, so that a question asked
  // as the last one's notes fade is not heard only after the queue.
  void countInaudible(const float* samples, std::size_t values, unsigned int frames) {
    if (api_ != RtAudio::LINUX_PULSE) return;
    float peak = 0.0f;
    for (std::size_t i = 0; i < values; ++i) peak = std::max(peak, std::abs(samples[i]));
    inaudibleFrames_.store(
        peak > kInaudiblePeak ? 0 : inaudibleFrames_.load(std::memory_order_relaxed) + frames,
        std::memory_order_relaxed);
  }

  // Audio thread, after each block: true when the stream is to stop itself for quiet. Nothing is
  // queued, no phrase waits for its done notice and no voice sounds, and has not for a while.
  bool stopIfQuiet(unsigned int frames) {
    if (!closesWhenQuiet_) return false;
    const bool quiet =
        head_.load(std::memory_order_relaxed) == tail_.load(std::memory_order_acquire) &&
        armedSerial_.load(std::memory_order_acquire) == 0 &&
        (!voices_ || voices_->activeVoices() == 0);
    quietFrames_ = quiet ? quietFrames_ + frames : 0;
    if (quietFrames_ < sampleRate_ * kQuietBeforeClosing.count()) return false;
    stopping_.store(true);
    if (tail_.load() != head_.load(std::memory_order_relaxed)) {
      // A phrase came after all: it plays.
      stopping_.store(false);
      return false;
    }
    quietFrames_ = 0;
    closeAsked_.store(true);
    closeAsked_.notify_one();
    return true;
  }

  // With the stream lock held: a phrase was queued while the stream stops itself for quiet. Once
  // it has stopped it starts again, unless its thread saw the phrase and plays on.
  bool restartStopping() {
    const auto deadline = std::chrono::steady_clock::now() + kStoppingWait;
    while (stopping_.load() && service_->isStreamRunning() &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return !stopping_.load() || startOutput();
  }

  // The output cannot play again where it was: it counts as lost, and reconnect() may bring it
  // back.
  int failedToWake() {
    streamFailed();
    return kMidiError;
  }

  // The closer's thread: closes the stream that has stopped itself for quiet, unless a phrase
  // has started it again meanwhile.
  void closeWhenQuiet() {
    for (;;) {
      closeAsked_.wait(false);
      if (quitCloser_.load()) return;
      const std::lock_guard lock(streamMutex_);
      if (!closeAsked_.exchange(false) || !stopping_.load() || !service_) continue;
      if (!waitUntilStopped(kStoppingWait)) continue;
      closeStreamOf(*service_);
      closedForQuiet_ = true;
      stopping_.store(false);
    }
  }

  // Audio thread: one block, each queued event applied at its own frame.
  void render(float* samples, unsigned int frames) {
    const std::uint64_t cancelled = cancelledThrough_.load(std::memory_order_acquire);
    if (cancelled != seenCancelled_) {
      seenCancelled_ = cancelled;
      if (voices_) voices_->allNotesOff();
    }
    std::int64_t position = 0;
    std::size_t head = head_.load(std::memory_order_relaxed);
    const std::size_t tail = tail_.load(std::memory_order_acquire);
    for (; head != tail; ++head) {
      const QueuedEvent& event = queue_[head % kQueuePlaces];
      if (event.serial <= cancelled) continue;
      if (event.serial != playingSerial_) {
        playingSerial_ = event.serial;
        phraseStart_ = blockStart_ + position;
      }
      const std::int64_t due = phraseStart_ + event.frame - blockStart_;
      if (due >= frames) break;
      if (due > position) {
        synthesise(samples + position * outputChannels_, due - position);
        position = due;
      }
      if (event.header != nullptr)
        giveDone(event.serial, event.header);
      else
        apply(event.message);
    }
    head_.store(head, std::memory_order_release);
    synthesise(samples + position * outputChannels_, frames - position);
    blockStart_ += frames;
  }

  // The synthesiser renders stereo; a mono output gets the mean of both sides.
  void synthesise(float* samples, std::int64_t frames) {
    if (frames <= 0) return;
    if (!voices_) {
      std::fill_n(samples, frames * outputChannels_, 0.0f);
      return;
    }
    if (outputChannels_ == 2) {
      voices_->write(static_cast<int>(frames), samples, 0, 2, samples, 1, 2);
      return;
    }
    while (frames > 0) {
      const int part = static_cast<int>(std::min<std::int64_t>(frames, kScratchFrames));
      voices_->write(part, left_.data(), 0, 1, right_.data(), 0, 1);
      for (int i = 0; i < part; ++i) *samples++ = 0.5f * (left_[i] + right_[i]);
      frames -= part;
    }
  }

  // Phrases hold only note-ons and note-offs; nothing else reaches the synthesiser.
  void apply(std::uint32_t message) {
    if (!voices_) return;
    const int channel = static_cast<int>(message & 0x0F);
    const int note = static_cast<int>((message >> 8) & 0x7F);
    if (isNoteOn(message))
      voices_->noteOn(channel, note, static_cast<int>((message >> 16) & 0x7F));
    else if (isNoteOff(message))
      voices_->noteOff(channel, note);
  }

  // Audio thread, once the output has failed: nothing more will play, so the phrase that is
  // still queued ends now.
  void endAfterFailure() {
    const std::uint64_t cancelled = cancelledThrough_.load(std::memory_order_acquire);
    std::size_t head = head_.load(std::memory_order_relaxed);
    const std::size_t tail = tail_.load(std::memory_order_acquire);
    for (; head != tail; ++head) {
      const QueuedEvent& event = queue_[head % kQueuePlaces];
      if (event.header != nullptr && event.serial > cancelled) giveDone(event.serial, event.header);
    }
    head_.store(head, std::memory_order_release);
  }

  void giveDone(std::uint64_t serial, MidiStreamHeader* header) {
    std::uint64_t expected = serial;
    if (armedSerial_.compare_exchange_strong(expected, 0, std::memory_order_acq_rel) && onDone_)
      onDone_(header);
  }

  std::int64_t framesOf(std::int64_t ticks) const {
    return ticksToFrames(ticks, ticksPerQuarter_, sampleRate_);
  }

  std::int64_t tailFrames() const {
    const std::int64_t release = sampleRate_ * kReleaseTail.count() / 1000;
    return std::max<std::int64_t>(release, latencyFrames_);
  }

  // A synthesiser at the stream's rate, kept across opens at the same rate. Without a SoundFont
  // there is none and the stream renders silence.
  void prepareSynth() {
    if (voices_ && synthRate_ == sampleRate_) return;
    freeSynth();
    const auto found = std::find_if(soundFonts_.begin(), soundFonts_.end(), [](const auto& path) {
      std::error_code error;
      return std::filesystem::is_regular_file(path, error);
    });
    if (found == soundFonts_.end()) return;
    const SynthSetup setup{sampleRate_, kSynthGain, kPolyphony};
    voices_.reset(makeVoices_(&setup, found->c_str()));
    if (!voices_) return;
    synthRate_ = sampleRate_;
    // Reading the SoundFont leaves MiBs free in this thread's heap, which would stay there.
    malloc_trim(0);
  }

  void freeSynth() {
    voices_.reset();
    synthRate_ = 0;
  }

  int endWith(int result) {
    endStream();
    return result;
  }

  std::vector<std::string> soundFonts_;
  std::string modulePath_;
  MakeSynthVoicesFn makeVoices_ = nullptr;  // once the module is loaded
  std::string openError_;                   // with streamMutex_
  std::unique_ptr<SynthVoices> voices_;
  int synthRate_ = 0;
  // Held by every thread but the stream's own that opens, starts or closes the stream.
  mutable std::mutex streamMutex_;
  std::unique_ptr<RtAudio> service_;
  RtAudio::StreamParameters output_;
  RtAudio::Api api_ = RtAudio::UNSPECIFIED;  // of the last service found
  bool reconnectable_ = false;               // a service was found at the open, not closed since
  int sampleRate_ = kSampleRate;
  long latencyFrames_ = 0;
  unsigned int outputChannels_ = 2;
  std::array<float, kScratchFrames> left_{};  // mono outputs only
  std::array<float, kScratchFrames> right_{};
  int ticksPerQuarter_ = 96;
  DoneFn onDone_;
  LostFn onLost_;

  std::array<QueuedEvent, kQueuePlaces> queue_{};
  std::atomic<std::size_t> head_{0};
  std::atomic<std::size_t> tail_{0};
  std::uint64_t lastSerial_ = 0;  // interface thread
  std::atomic<std::uint64_t> cancelledThrough_{0};
  std::atomic<std::uint64_t> armedSerial_{0};
  std::atomic<bool> lost_{false};
  std::atomic<bool> closing_{false};
  bool closesWhenQuiet_ = false;
  std::atomic<bool> dropAsked_{false};
  // Frames rendered with nothing to hear since the last sound, written by the stream's thread:
  // past the queue's length, everything queued is silence.
  std::atomic<std::int64_t> inaudibleFrames_{0};
  bool closedForQuiet_ = false;        // with streamMutex_
  std::atomic<bool> stopping_{false};  // the stream stops itself for quiet
  std::atomic<bool> closeAsked_{false};
  std::atomic<bool> quitCloser_{false};

  // Audio thread only.
  std::uint64_t seenCancelled_ = 0;
  std::uint64_t playingSerial_ = 0;
  std::int64_t phraseStart_ = 0;
  std::int64_t blockStart_ = 0;
  std::int64_t quietFrames_ = 0;

  DoneDeadline deadline_;
  std::thread closer_;
};

std::vector<std::string> FluidSynthMidiOut::standardSoundFonts() {
  return {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
}

std::string FluidSynthMidiOut::standardModulePath() {
  return programModulePath(AURALIS_SYNTH_MODULE_FROM_PROGRAM, AURALIS_SYNTH_MODULE_BUILT);
}

FluidSynthMidiOut::FluidSynthMidiOut(std::vector<std::string> soundFonts, std::string modulePath)
    : engine_(std::make_unique<Engine>(std::move(soundFonts), std::move(modulePath))) {}

FluidSynthMidiOut::~FluidSynthMidiOut() = default;

std::string FluidSynthMidiOut::deviceName(int device) {
  return device == kDefaultMidiDevice ? kBuiltInSynthesiserName : std::string();
}

int FluidSynthMidiOut::open(int device, DoneFn onDone) {
  if (device != kDefaultMidiDevice) return kMidiError;
  return engine_->open(std::move(onDone), deviceLostFn());
}

int FluidSynthMidiOut::reconnect() {
  return engine_->reconnect();
}

int FluidSynthMidiOut::setTimeDivision(int ticksPerQuarterNote) {
  if (ticksPerQuarterNote <= 0) return kMidiError;
  engine_->setTicksPerQuarter(ticksPerQuarterNote);
  return kMidiOk;
}

int FluidSynthMidiOut::out(MidiStreamHeader* header) {
  if (header == nullptr) return kMidiError;
  return engine_->out(header);
}

int FluidSynthMidiOut::stop() {
  engine_->stop();
  return kMidiOk;
}

int FluidSynthMidiOut::close() {
  return engine_->close();
}

bool FluidSynthMidiOut::soundFontLoaded() const {
  return engine_->soundFontLoaded();
}

std::string FluidSynthMidiOut::openError() const {
  return engine_->openError();
}

bool FluidSynthMidiOut::outputOpen() const {
  return engine_->outputOpen();
}

}  // namespace auralis::platform
