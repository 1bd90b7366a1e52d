#include "options/detrending_codes.h"

#include "series/fit_codes.h"

namespace dendro {

std::optional<std::string> detrending_refusal(int option, long long code, int first_detrending) {
  const bool first = option == 4;
  if (!offered_detrending_code(code)) {
    return std::string(first ? "first" : "second") + " detrending " + std::to_string(code) +
           " is not one of the detrending options";
  }
  if (first) return std::nullopt;
  if (code == fit::regional_curve) return "rcs option not allowed for 2nd detrending";
  if (code == fit::none && first_detrending == fit::regional_curve) {
    return "rcs needs a growth curve option: 0 not allowed with rcs";
  }
  return std::nullopt;
}

}  // namespace dendro
