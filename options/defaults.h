// The start values of the run options, set each time the option menu opens.
#pragma once

#include "series/blocks.h"

namespace dendro {

inline constexpr const char* kDefaultMask = "SSSTTCC ";

// Resets options 1 to 20 and their parameters to their defaults and the site-tree-core
// mask to "SSSTTCC ". Elements 15, 32 and 140 (the mask's option code, the gap-filling
// and stand dynamics plot flags), 151 and 152 keep their values.
void reset_options(Icommands& icommands, Commands& commands);

}  // namespace dendro
