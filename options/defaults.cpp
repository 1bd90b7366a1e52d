#include "options/defaults.h"

namespace dendro {
namespace {

struct Default {
  int element;
  int value;
};

// Option codes (element k of option k) first, then their parameters.
constexpr Default kDefaults[] = {
    {1, 1},  {2, -9}, {3, 0},  {4, -6}, {5, 0},  {6, 1},   {7, 0},   {8, 1},   {9, 1},
    {10, 0}, {11, 0}, {12, 2}, {13, 0}, {14, 0}, {16, 50}, {17, 2},  {18, 0},  {19, 0},
    {20, 0}, {33, 0}, {34, 0}, {35, 0}, {39, 0}, {40, 0},  {42, 0},  {44, 0},  {46, 25},
    {50, 0}, {64, 0}, {65, 0}, {72, 0}, {76, 0}, {80, 0},  {102, 0}, {110, 0},
};

}  // namespace

void reset_options(Icommands& icommands, Commands& commands) {
  for (const Default& d : kDefaults) icommands[d.element] = d.value;
  commands.set_mask(kDefaultMask);
}

}  // namespace dendro
