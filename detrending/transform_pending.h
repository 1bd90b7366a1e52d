// Stand-ins for services of other layers that the transformation and the regional curve
// standardization call and that are not available yet: the plot pages, the core series
// save and the chronology writer. Each keeps its caller's call site and writes a one-line
// note on the console instead; plot flags are left as they are. They are to be replaced by
// the real routines as those land.
#pragma once

#include <string_view>

namespace dendro {

class Console;

namespace transform_pending {

// " *** not available yet: <what> ***"
void note(Console& console, std::string_view what);

}  // namespace transform_pending
}  // namespace dendro
