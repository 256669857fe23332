// What listening costs: the window in Practice Singing on the real services of the program (the
// built-in synthesiser, the RtAudio microphone, the RtMidi keyboard input, the RtAudio feedback
// sounds) while a voice sings ten seconds of notes into the pipe-source microphone.
//
// Counters: the CPU time of the whole process, every thread included (the audio clients' too),
// over the wall time, as a share of one core, with the writer of the test voice taken out; the
// interface thread's own share; the frames analysed per second and the share of them that heard
// a note; resident memory (VmRSS, and VmHWM since the window was made), in MB.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "LiveWindow.h"
#include "platform/RtAudioFeedbackSoundPlayer.h"
#include "platform/RtAudioSoundInput.h"
#include "platform/RtMidiInput.h"
#include "platform/SystemMidiOut.h"

namespace auralis::bench {
namespace {

using namespace std::chrono_literals;

constexpr auto kSettle = 2s;  // for the capture stream to come to real-time pace
constexpr auto kListening = 10s;

// Ten notes of 0.8 s up and down a C major scale, each followed by 0.2 s of breath.
std::vector<std::int16_t> tenSecondsOfSinging() {
  constexpr int kMelody[] = {60, 62, 64, 65, 67, 69, 67, 65, 64, 62};
  std::vector<std::int16_t> voice;
  std::uint64_t seed = 1;
  for (int note : kMelody) {
    const std::vector<std::int16_t> sung = sungNote(note, 0.8, seed++);
    voice.insert(voice.end(), sung.begin(), sung.end());
    voice.insert(voice.end(), platform::testing::kRate / 5, 0);
  }
  return voice;
}

std::chrono::nanoseconds processCpuTime() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

std::chrono::nanoseconds threadCpuTime() {
  timespec time{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
  return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

double shareOfOneCore(std::chrono::nanoseconds cpu, Clock::duration wall) {
  return 100.0 * std::chrono::duration<double>(cpu).count() /
         std::chrono::duration<double>(wall).count();
}

void BM_ListeningInPracticeSinging(benchmark::State& state) {
  if (!servicesPresent(state)) return;
  PrivateSettings settings;
  Singer singer;
  platform::SystemMidiOut midiOut;
  platform::RtAudioSoundInput soundInput;
  platform::RtMidiInput midiInput;
  platform::RtAudioFeedbackSoundPlayer sounds;
  NoDocuments documents;
  std::vector<std::int16_t> voice = tenSecondsOfSinging();

  for (auto _ : state) {
    resetPeakMemory();
    TForm1 window({midiOut, soundInput, midiInput, sounds, documents, blockingPause});
    window.show();
    window.FormActivate();  // the first activation switches to Practice Singing
    if (!capturing(state, window)) return;
    runEvents(kSettle);
    NoticeWatch watch(window);

    singer.sing(voice);
    const Clock::time_point start = Clock::now();
    const std::chrono::nanoseconds processBefore = processCpuTime();
    const std::chrono::nanoseconds interfaceBefore = threadCpuTime();
    const std::chrono::nanoseconds writerBefore = singer.writerCpuTime();
    runEvents(kListening);
    const std::chrono::nanoseconds writer = singer.writerCpuTime() - writerBefore;
    const std::chrono::nanoseconds process = processCpuTime() - processBefore - writer;
    const std::chrono::nanoseconds interface = threadCpuTime() - interfaceBefore;
    const Clock::duration wall = Clock::now() - start;
    const ResidentMemory memory = residentMemory();

    state.counters["cpu_pct"] = shareOfOneCore(process, wall);
    state.counters["interface_thread_pct"] = shareOfOneCore(interface, wall);
    state.counters["writer_pct"] = shareOfOneCore(writer, wall);
    state.counters["frames_per_s"] = watch.frames / std::chrono::duration<double>(wall).count();
    state.counters["voiced_pct"] = watch.frames > 0 ? 100.0 * watch.voicedFrames / watch.frames : 0;
    state.counters["vmrss_mb"] = memory.current;
    state.counters["vmhwm_mb"] = memory.peak;
  }
}
BENCHMARK(BM_ListeningInPracticeSinging)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace auralis::bench
