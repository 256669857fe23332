#include <iostream>
#include <string>
#include <vector>

#include "tools/analyse/Analyser.h"

// Prints what the live pitch path makes of a recording, frame by frame (docs/analyser.md).
int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return auralis::analyse::runAnalyser(args, std::cout, std::cerr);
}
