#include <iostream>

#include "kalder/program.h"
#include "series/files/file_system.h"

int main() {
  // A run keeps files open in each folder it writes into: a long list may span many.
  dendro::raise_open_file_limit();
  return dendro::kalder_main(std::cin, std::cout);
}
