#include <iostream>

#include "tools/driver/Driver.h"

// Runs a lesson script from standard input; effects go to standard output, errors to standard
// error. The protocol is docs/driver.md.
int main(int argc, char** argv) {
  if (argc > 1) {
    std::cerr << "usage: " << argv[0] << " < SCRIPT\n";
    return 2;
  }
  auralis::driver::Driver driver(std::cout, std::cerr);
  return driver.run(std::cin);
}
