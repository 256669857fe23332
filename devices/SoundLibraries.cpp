#include "devices/SoundLibraries.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <mutex>

namespace auralis::platform {

namespace {

void dropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

void dropJackMessage(const char*) {}

}  // namespace

void silenceSoundLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    snd_lib_error_set_handler(&dropAlsaMessage);
    jack_set_error_function(&dropJackMessage);
    jack_set_info_function(&dropJackMessage);
  });
}

}  // namespace auralis::platform
