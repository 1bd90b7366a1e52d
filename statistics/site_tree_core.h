// Grouping of the series (cores) of a data file into trees by their ids.
#pragma once

#include <string_view>

#include "series/store.h"

namespace dendro {

// Writes the tree number of every series into `cpa` of the series year table. The mask's
// "s"/"S" letters count the site characters and its "t"/"T" letters the tree characters
// that follow them in the id (only the counts matter, not where the letters stand). Trees
// are numbered 1, 2, ... in the order of their first series; two series share a tree when
// their ids agree exactly (case and blanks included) in the site and tree characters. No
// other column is touched.
void stc(Tsi1& tsi1, std::string_view mask);

}  // namespace dendro
