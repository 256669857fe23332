// What listening costs: the window in Practice Singing on the real services of the program (the
// built-in synthesiser, the RtAudio microphone, the RtMidi keyboard input, the RtAudio feedback
// sounds) while a voice sings ten seconds of notes into the pipe-source microphone, delivered as
// a sound card delivers it: 1024 samples every 23.2 ms.
//
// Counters: the CPU time of the whole process, every thread included (the audio clients' too),
// over the wall time, as a share of one core, with the writer of the test voice taken out; the
// interface thread's own share; the share the PulseAudio server spends meanwhile; the frames
// analysed per second and the share of them that heard a note; private memory (RssAnon) and
// resident memory (VmRSS, and VmHWM since the window was made), in MB.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include "LiveWindow.h"
#include "devices/RtAudioFeedbackSoundPlayer.h"
#include "devices/RtAudioSoundInput.h"
#include "devices/RtMidiInput.h"
#include "devices/SystemMidiOut.h"

namespace auralis::bench {
namespace {

using namespace std::chrono_literals;

// For the capture stream to come to real-time pace, and the idle synthesiser to close its output.
constexpr auto kSettle = 3s;
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

// The PulseAudio server of tools/with-services.sh: the one whose script lies beside its socket.
std::optional<std::string> audioServerStat() {
  std::string folder = platform::testing::environment("PULSE_SERVER");
  if (folder.rfind("unix:", 0) != 0) return std::nullopt;
  folder = folder.substr(5, folder.rfind("/native") - 5);
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::ifstream file(entry.path() / "cmdline");
    const std::string command((std::istreambuf_iterator<char>(file)), {});
    if (command.rfind("pulseaudio", 0) == 0 &&
        command.find(folder + "/server.pa") != std::string::npos)
      return (entry.path() / "stat").string();
  }
  return std::nullopt;
}

// User and system CPU time of a process from its stat file; zero once it is gone.
std::chrono::nanoseconds cpuTimeOf(const std::string& stat) {
  std::ifstream file(stat);
  std::string line;
  std::getline(file, line);
  const std::size_t afterName = line.rfind(')');
  if (afterName == std::string::npos) return {};
  std::istringstream fields(line.substr(afterName + 2));
  std::string field;
  // utime and stime are the 14th and 15th fields, the 12th and 13th after the name.
  for (int i = 0; i < 11; ++i) fields >> field;
  long long user = 0;
  long long system = 0;
  fields >> user >> system;
  const long ticks = ::sysconf(_SC_CLK_TCK);
  return std::chrono::nanoseconds((user + system) * 1'000'000'000LL / ticks);
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

    const std::optional<std::string> server = audioServerStat();
    singer.sing(voice);
    const Clock::time_point start = Clock::now();
    const std::chrono::nanoseconds serverBefore = server ? cpuTimeOf(*server) : 0ns;
    const std::chrono::nanoseconds processBefore = processCpuTime();
    const std::chrono::nanoseconds interfaceBefore = threadCpuTime();
    const std::chrono::nanoseconds writerBefore = singer.writerCpuTime();
    runEvents(kListening);
    const std::chrono::nanoseconds writer = singer.writerCpuTime() - writerBefore;
    const std::chrono::nanoseconds process = processCpuTime() - processBefore - writer;
    const std::chrono::nanoseconds interface = threadCpuTime() - interfaceBefore;
    const std::chrono::nanoseconds serverCpu = server ? cpuTimeOf(*server) - serverBefore : 0ns;
    const Clock::duration wall = Clock::now() - start;
    const ResidentMemory memory = residentMemory();

    state.counters["cpu_pct"] = shareOfOneCore(process, wall);
    state.counters["interface_thread_pct"] = shareOfOneCore(interface, wall);
    state.counters["writer_pct"] = shareOfOneCore(writer, wall);
    if (server) state.counters["audio_server_pct"] = shareOfOneCore(serverCpu, wall);
    state.counters["frames_per_s"] = watch.frames / std::chrono::duration<double>(wall).count();
    state.counters["voiced_pct"] = watch.frames > 0 ? 100.0 * watch.voicedFrames / watch.frames : 0;
    state.counters["rssanon_mb"] = memory.anonymous;
    state.counters["vmrss_mb"] = memory.current;
    state.counters["vmhwm_mb"] = memory.peak;
  }
}
BENCHMARK(BM_ListeningInPracticeSinging)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace auralis::bench
