#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace auralis::platform {

// Where one of the program's own modules lies: installed, at `fromProgram` relative to the running
// program's folder; otherwise, run from the build folder (the program, the tests and the tools),
// where it was built.
std::string programModulePath(const char* fromProgram, const char* built);

// Loads the module at `path` for the rest of the run and finds each of `symbols` in it, in that
// order. It is never unloaded: the libraries it brings keep threads and handlers of their own.
// Empty, with `why` said, when the module or one of the symbols cannot be found.
std::vector<void*> loadProgramModule(const std::string& path,
                                     std::initializer_list<const char*> symbols, std::string& why);

}  // namespace auralis::platform
