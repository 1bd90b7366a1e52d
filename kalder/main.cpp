#include <iostream>

#include "kalder/startup.h"

int main() { return dendro::kalder_main(std::cin, std::cout); }
