#include <iostream>

#include "kalder/program.h"

int main() { return dendro::kalder_main(std::cin, std::cout); }
