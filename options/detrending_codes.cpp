#include "options/detrending_codes.h"

namespace dendro {

constexpr int kRegionalCurve = -2;

std::optional<std::string> detrending_refusal(int option, long long code, int first_detrending) {
  const bool first = option == 4;
  if (!offered_detrending_code(code)) {
    return std::string(first ? "first" : "second") + " detrending " + std::to_string(code) +
           " is not one of the detrending options";
  }
  if (first) return std::nullopt;
  if (code == kRegionalCurve) return "rcs option not allowed for 2nd detrending";
  if (code == 0 && first_detrending == kRegionalCurve) {
    return "rcs needs a growth curve option: 0 not allowed with rcs";
  }
  return std::nullopt;
}

}  // namespace dendro
