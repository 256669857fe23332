#include "platform/ProgramModule.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace auralis::platform {

std::string programModulePath(const char* fromProgram, const char* built) {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path installed = program.parent_path() / fromProgram;
    if (std::filesystem::is_regular_file(installed, error)) return installed.lexically_normal();
  }
  return built;
}

std::vector<void*> loadProgramModule(const std::string& path,
                                     std::initializer_list<const char*> symbols, std::string& why) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* error = dlerror();
    why = error != nullptr ? error : path;
    return {};
  }
  std::vector<void*> found;
  for (const char* symbol : symbols) {
    found.push_back(dlsym(handle, symbol));
    if (found.back() == nullptr) {
      why = path + " has no " + symbol;
      return {};
    }
  }
  return found;
}

}  // namespace auralis::platform
