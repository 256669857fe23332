#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Notes.h"
#include "tools/driver/Driver.h"

namespace auralis::driver::testing {

// A driver run in-process: each script piece returns the effect lines it printed.
class DriverSession {
 public:
  std::vector<std::string> run(std::string_view script) {
    const std::size_t before = out_.str().size();
    std::istringstream in{std::string(script)};
    status_ = driver_.run(in);
    std::vector<std::string> lines;
    std::istringstream printed(out_.str().substr(before));
    for (std::string line; std::getline(printed, line);) lines.push_back(line);
    return lines;
  }

  // The letters that answer the current question rightly, in answer order.
  std::string rightAnswer() {
    const QuestionState& q = driver_.lesson().question;
    std::string letters;
    for (int i = 0; i < q.QuestionNoteCount; ++i)
      letters += NoteLetters[pitchClassOf(q.QuestionNotes[i])];
    return letters;
  }

  // A letter that is wrong for question note i.
  char wrongLetterFor(int i) {
    const QuestionState& q = driver_.lesson().question;
    return NoteLetters[(pitchClassOf(q.QuestionNotes[i]) + 1) % 12];
  }

  // Lets the question finish sounding, then types its answer.
  std::vector<std::string> answerRight() { return run("done\ntype " + rightAnswer() + "\n"); }

  Lesson& lesson() { return driver_.lesson(); }
  int status() const { return status_; }
  std::string errors() const { return err_.str(); }

 private:
  std::ostringstream out_;
  std::ostringstream err_;
  Driver driver_{out_, err_};
  int status_ = 0;
};

inline std::vector<std::string> linesStartingWith(const std::vector<std::string>& lines,
                                                  std::string_view prefix) {
  std::vector<std::string> found;
  for (const std::string& line : lines)
    if (line.starts_with(prefix)) found.push_back(line);
  return found;
}

inline int countOf(const std::vector<std::string>& lines, std::string_view line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// The lines that are sounds, pauses or phrases, in order: what the user hears.
inline std::vector<std::string> heard(const std::vector<std::string>& lines) {
  std::vector<std::string> found;
  for (const std::string& line : lines)
    if (line.starts_with("sound ") || line.starts_with("pause ") || line.starts_with("phrase "))
      found.push_back(line);
  return found;
}

}  // namespace auralis::driver::testing
