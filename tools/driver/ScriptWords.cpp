#include "tools/driver/ScriptWords.h"

#include <charconv>

namespace auralis::driver {

namespace {

bool isBlank(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\r';
}

template <typename Number>
bool parseWhole(std::string_view word, Number& value) {
  const char* end = word.data() + word.size();
  const auto [stop, error] = std::from_chars(word.data(), end, value);
  return error == std::errc() && stop == end;
}

std::string quoted(std::string_view word) {
  std::string text(1, '\'');
  text += word;
  text += '\'';
  return text;
}

}  // namespace

std::vector<std::string_view> splitWords(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size() || line[i] == '#') break;
    const std::size_t start = i;
    while (i < line.size() && !isBlank(line[i])) ++i;
    words.push_back(line.substr(start, i - start));
  }
  return words;
}

long long parseNumber(std::string_view word, long long lowest, long long highest,
                      std::string_view what) {
  long long value = 0;
  if (!parseWhole(word, value) || value < lowest || value > highest) {
    throw ScriptError(std::string(what) + " must be a whole number from " + std::to_string(lowest) +
                      " to " + std::to_string(highest) + ", not " + quoted(word));
  }
  return value;
}

std::uint64_t parseUnsigned64(std::string_view word, std::string_view what) {
  std::uint64_t value = 0;
  if (!parseWhole(word, value)) {
    throw ScriptError(std::string(what) + " must be a whole number from 0 to " +
                      std::to_string(UINT64_MAX) + ", not " + quoted(word));
  }
  return value;
}

int parseChoice(std::string_view word, std::initializer_list<std::string_view> choices,
                std::string_view what) {
  int position = 0;
  std::string list;
  for (std::string_view choice : choices) {
    if (choice == word) return position;
    list += position == 0 ? "" : ", ";
    list += choice;
    ++position;
  }
  throw ScriptError(std::string(what) + " must be one of " + list + ", not " + quoted(word));
}

bool parseOnOff(std::string_view word, std::string_view what) {
  return parseChoice(word, {"off", "on"}, what) == 1;
}

}  // namespace auralis::driver
