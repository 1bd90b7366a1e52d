#include <malloc.h>

#include <iostream>

#include "pelliform/driver.h"
#include "pelliform/sigfree.h"
#include "series/files/file_system.h"

namespace {

// The engine frees and takes again tables of the set's size many times in a run (every
// iteration, every worker thread). Fresh pages from the system are what that costs most,
// so freed memory stays with the program for the next table instead of going back at once.
constexpr int kKeepFreed = 32 * 1024 * 1024;

}  // namespace

int main() {
  mallopt(M_TRIM_THRESHOLD, kKeepFreed);
  mallopt(M_MMAP_THRESHOLD, kKeepFreed);
  dendro::raise_open_file_limit();
  return dendro::pelliform_main(std::cin, std::cout, dendro::sigfree);
}
