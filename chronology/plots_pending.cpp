#include "chronology/plots_pending.h"

#include <string>

#include "series/console.h"

namespace dendro::pending_plots {

void note(Console& console, std::string_view what) {
  console.say(" *** plot not available yet: " + std::string(what) + " ***");
}

void arhist1(Console& console, const std::array<float, 44>&, int, std::string_view, int, int) {
  note(console, "pooled autoregression results");
}

void crnplt7(Console& console, std::span<const float>, std::span<const float>,
             std::span<const float>, int, std::string_view, std::string_view title, char, int) {
  note(console, title);
}

void crnplt1(Console& console, std::string_view label, std::string_view title, std::string_view,
             int, int&) {
  note(console, std::string(label) + std::string(title));
}

void crnplt3(Console& console, std::string_view title, int) { note(console, title); }

}  // namespace dendro::pending_plots
