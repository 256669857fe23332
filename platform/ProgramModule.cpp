#include "platform/ProgramModule.h"

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

}  // namespace auralis::platform
