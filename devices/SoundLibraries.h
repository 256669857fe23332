#pragma once

namespace auralis::platform {

// The ALSA and JACK libraries print their own complaints on standard error, for instance for every
// attempt on a sequencer or a server that is not there. The program says what matters itself;
// this silences them for the whole process. Safe to call often, from any thread.
void silenceSoundLibraries();

}  // namespace auralis::platform
