#pragma once

#include <string>

namespace auralis::platform {

// Where one of the program's own modules lies: installed, at `fromProgram` relative to the running
// program's folder; otherwise, run from the build folder (the program, the tests and the tools),
// where it was built.
std::string programModulePath(const char* fromProgram, const char* built);

}  // namespace auralis::platform
