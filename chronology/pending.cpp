#include "chronology/pending.h"

#include <string>

#include "series/console.h"

namespace dendro {
namespace pending_plots {

void note(Console& console, std::string_view what) {
  console.say(" *** not available yet: " + std::string(what) + " ***");
}

void pltdec1(Console& console, std::span<const float>, std::span<const float>,
             std::span<const float>, int, int) {
  note(console, "decade-mean character plot");
}

}  // namespace pending_plots

}  // namespace dendro
