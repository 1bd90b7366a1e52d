#include <iostream>

#include "pelliform/driver.h"
#include "pelliform/sigfree.h"

int main() { return dendro::pelliform_main(std::cin, std::cout, dendro::sigfree); }
