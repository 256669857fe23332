#include "devices/MidiPortLister.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace auralis::platform {

namespace {

constexpr std::string_view kReplyHeader = "auralis midi ports\n";

const char* directionWord(MidiDirection direction) {
  return direction == MidiDirection::Input ? "input" : "output";
}

// Writes all of text to the descriptor, however the pipe splits it.
void writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

// Reads until the end of the reply, or until the deadline. False at the deadline.
bool readReply(int fd, std::chrono::steady_clock::time_point deadline, std::string& reply) {
  std::array<char, 4096> buffer{};
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{fd, POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) return false;
    if (polled < 0) return true;
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return true;
    reply.append(buffer.data(), static_cast<std::size_t>(got));
  }
}

// The environment of this process with the request added.
std::vector<std::string> listerEnvironment(MidiDirection direction) {
  std::vector<std::string> variables;
  const std::string prefix = std::string(kMidiListerVariable) + "=";
  for (char** variable = environ; *variable != nullptr; ++variable)
    if (std::strncmp(*variable, prefix.c_str(), prefix.size()) != 0)
      variables.emplace_back(*variable);
  variables.push_back(prefix + directionWord(direction));
  return variables;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

std::string apartListingReply(const ApartListing& listing) {
  std::string reply(kReplyHeader);
  reply += listing.serverRuns ? "1\n" : "0\n";
  for (const std::string& name : listing.names) {
    reply += name;
    reply += '\0';
  }
  return reply;
}

std::optional<ApartListing> parseApartListing(std::string_view reply) {
  if (reply.substr(0, kReplyHeader.size()) != kReplyHeader) return std::nullopt;
  reply.remove_prefix(kReplyHeader.size());
  if (reply.size() < 2 || reply[1] != '\n' || (reply[0] != '0' && reply[0] != '1'))
    return std::nullopt;
  ApartListing listing;
  listing.serverRuns = reply[0] == '1';
  reply.remove_prefix(2);
  while (!reply.empty()) {
    const std::size_t end = reply.find('\0');
    if (end == std::string_view::npos) return std::nullopt;
    listing.names.emplace_back(reply.substr(0, end));
    reply.remove_prefix(end + 1);
  }
  if (!listing.serverRuns && !listing.names.empty()) return std::nullopt;
  return listing;
}

ApartResult listMidiPortsApart(MidiDirection direction, std::chrono::milliseconds wait,
                               const std::string& program,
                               const std::vector<std::string>& arguments) {
  std::array<int, 2> pipe{};
  if (::pipe2(pipe.data(), O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env = listerEnvironment(direction);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr,
                                  pointersTo(argv).data(), pointersTo(env).data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe[1]);
  if (spawned != 0) {
    ::close(pipe[0]);
    return {};
  }
  std::string reply;
  const bool ended = readReply(pipe[0], std::chrono::steady_clock::now() + wait, reply);
  ::close(pipe[0]);
  if (!ended) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  ApartResult result;
  if (!ended || WIFSIGNALED(status)) {
    result.outcome = ApartOutcome::Failed;
  } else if (std::optional<ApartListing> listing = parseApartListing(reply);
             listing && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    result.outcome = ApartOutcome::Listed;
    result.listing = std::move(*listing);
  }
  return result;
}

void listAndEndIfAsked(ApartLister list) {
  const char* asked = std::getenv(kMidiListerVariable);
  if (asked == nullptr) return;
  const std::string_view word(asked);
  if (word != "input" && word != "output") return;
  const std::string reply =
      apartListingReply(list(word == "input" ? MidiDirection::Input : MidiDirection::Output));
  writeAll(STDOUT_FILENO, reply);
  std::_Exit(0);
}

}  // namespace auralis::platform
