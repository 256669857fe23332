#pragma once

#include <array>
#include <cstdio>
#include <string_view>

namespace auralis {

// A short text built without touching the heap; longer input is cut off.
class FixedText {
 public:
  static constexpr int kCapacity = 191;

  void clear() { length_ = 0; }
  void append(std::string_view text) {
    for (char ch : text) {
      if (length_ == kCapacity) return;
      chars_[length_++] = ch;
    }
  }
  template <typename... Args>
  void appendFormat(const char* format, Args... args) {
    std::array<char, kCapacity + 1> piece{};
    const int written = std::snprintf(piece.data(), piece.size(), format, args...);
    if (written > 0) append(std::string_view(piece.data()));
  }
  std::string_view view() const { return {chars_.data(), static_cast<std::size_t>(length_)}; }

 private:
  std::array<char, kCapacity> chars_{};
  int length_ = 0;
};

}  // namespace auralis
