#include "chronology/pending.h"

#include <string>

#include "series/console.h"

namespace dendro {
namespace pending_plots {

void note(Console& console, std::string_view what) {
  console.say(" *** not available yet: " + std::string(what) + " ***");
}

void arhist1(Console& console, const std::array<float, 44>&, int, std::string_view, int, int) {
  note(console, "pooled autoregression plot");
}

void crnplt7(Console& console, std::span<const float>, std::span<const float>,
             std::span<const float>, int, std::string_view, std::string_view title, char, int) {
  note(console, "plot" + std::string(title));
}

void pltdec1(Console& console, std::span<const float>, std::span<const float>,
             std::span<const float>, int, int) {
  note(console, "decade-mean character plot");
}

}  // namespace pending_plots

}  // namespace dendro
