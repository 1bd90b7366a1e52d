#include <iostream>

#include "pelliform/driver.h"
#include "pelliform/engine_call.h"

int main() { return dendro::pelliform_main(std::cin, std::cout, dendro::engine_not_available); }
