// The codes that the detrending options (first and second detrending) accept: one check
// shared by the option dialogue, the log file reader and the detrending driver, so that a
// log file or a batch detail file cannot ask for what the dialogue refuses.
#pragma once

#include <optional>
#include <string>

namespace dendro {

// True for a code that the detrending lists offer: every integer but -9 to -7 (unused) and
// 9 (the spline codes start above 9).
constexpr bool offered_detrending_code(long long code) {
  return !(code >= -9 && code <= -7) && code != 9;
}

// Why `code` cannot be option `option` (4 first detrending, 5 second detrending) when the
// first detrending is `first_detrending`; nothing when it can. The reasons:
// a code the lists do not offer, regional curve standardization (-2) as the second
// detrending, and no curve (0) for the regional curve of a first detrending -2.
std::optional<std::string> detrending_refusal(int option, long long code, int first_detrending);

}  // namespace dendro
