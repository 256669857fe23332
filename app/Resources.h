#pragma once

namespace auralis {

// Makes the program's sounds and pictures available under ":/". Calling it again is harmless.
void loadResources();

}  // namespace auralis
