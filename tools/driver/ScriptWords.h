#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace auralis::driver {

// A bad script line; the message says what was wrong with it.
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The blank-separated words of a line, up to a word that starts with "#".
std::vector<std::string_view> splitWords(std::string_view line);

// A whole number from lowest to highest; what names the argument in the error.
long long parseNumber(std::string_view word, long long lowest, long long highest,
                      std::string_view what);
std::uint64_t parseUnsigned64(std::string_view word, std::string_view what);

// The position of word among choices.
int parseChoice(std::string_view word, std::initializer_list<std::string_view> choices,
                std::string_view what);

// "on" or "off".
bool parseOnOff(std::string_view word, std::string_view what);

}  // namespace auralis::driver
