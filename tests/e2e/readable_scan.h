// Scans program output for numbers that do not read back: a field of asterisks from a
// number that did not fit, two numbers run together, NaN or infinity.
//
// Rules (only number-shaped text is flagged, so that headings and ids pass):
// - asterisks: a run of two or more '*' that touches a digit, a '.' or a sign ("985***",
//   "****0"), or a run that stands as a whole field between two numbers
//   ("1.5 ****** 2.5"). One asterisk after a number is a flag ("0.848*"), and decorations
//   such as " *** note" or a banner of asterisks touch only blanks and words.
// - run together: a token of two or more numbers, one with decimals ("0.0011094.264"); not
//   whole years ("1940-1959"), exponents ("1.5e-3") or tokens with letters ("nm580.1880-191").
// - not a number: "nan", "inf" or "infinity" in any case, with or without a sign, not part
//   of a longer word.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace dendro::e2e {

struct Unreadable {
  std::string file;
  int line = 0;  // 1-based
  std::string text;
  std::string why;
};

// The unreadable numbers of one text, named `file` in the findings.
std::vector<Unreadable> scan_text(const std::string& file, const std::string& text);

// Every regular file of `dir` but those named in `skip` (the inputs a case made).
std::vector<Unreadable> scan_folder(const std::filesystem::path& dir,
                                    const std::vector<std::string>& skip);

// One line per finding ("file:line: why: text"), for a test's failure message.
std::string describe(const std::vector<Unreadable>& findings);

}  // namespace dendro::e2e
