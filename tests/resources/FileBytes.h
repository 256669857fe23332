#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace auralis::testing {

inline const std::filesystem::path kResources = AURALIS_RESOURCES_DIR;

// The whole file, or nothing when it cannot be read.
inline std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline std::string tagAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return at + 4 <= bytes.size() ? std::string(bytes.begin() + at, bytes.begin() + at + 4) : "";
}

inline std::uint32_t littleEndianAt(const std::vector<std::uint8_t>& bytes, std::size_t at,
                                    int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes.at(at + i);
  return value;
}

inline std::uint32_t bigEndianAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | bytes.at(at + i);
  return value;
}

}  // namespace auralis::testing
