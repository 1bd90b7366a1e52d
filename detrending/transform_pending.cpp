#include "detrending/transform_pending.h"

#include <string>

#include "series/console.h"

namespace dendro::transform_pending {

void note(Console& console, std::string_view what) {
  console.say(" *** not available yet: " + std::string(what) + " ***");
}

}  // namespace dendro::transform_pending
