// pelliform reading the two column layouts through its input format dialogue.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"

#ifdef PELLIFORM_PATH

namespace dendro::e2e {
namespace {

// One series in the single-column layout: its id, its first year and one value a line.
std::string one_column(const std::string& id, int first, int n) {
  std::string text = id + "\n" + std::to_string(first) + "\n";
  for (int k = 0; k < n; ++k) text += std::to_string(k % 7) + "." + std::to_string(10 + k) + "\n";
  return text;
}

bool shows(const RunResult& r, const std::string& text) {
  return r.output.find(text) != std::string::npos;
}

TEST(pelliform_columns, ids_made_of_digits_keep_their_series) {
  // 101 over 1900-1939 and 102 over 1905-1939: two series, not one of 77 values.
  Sandbox box;
  box.write_file("digits.txt", one_column("101", 1900, 40) + one_column("102", 1905, 35));
  // The file, single column, no header lines; the input ends at the next question.
  const RunResult r = box.run(PELLIFORM_PATH, "digits.txt\n3\n0\n");
  EXPECT_TRUE(shows(r, "Input data read successfully")) << r.output;
  EXPECT_TRUE(shows(r, "Total series read in:             2  1900  1939    40")) << r.output;
  // An id of letters, then one of digits of another width: three series, not two.
  box.write_file("mixed.txt", one_column("A", 1900, 40) + one_column("432", 1910, 30) +
                                  one_column("B", 1905, 35));
  const RunResult m = box.run(PELLIFORM_PATH, "mixed.txt\n3\n0\n");
  EXPECT_TRUE(shows(m, "Total series read in:             3  1900  1939    40")) << m.output;
}

TEST(pelliform_columns, unreadable_fields_are_refused_with_their_place) {
  Sandbox box;
  box.write_file("year.txt", one_column("A1", 1900, 3) + "B1\n19x5\n0.5\n");
  const RunResult year = box.run(PELLIFORM_PATH, "year.txt\n3\n0\n\n\n");
  EXPECT_TRUE(shows(year,
                    "Rd1col: Error reading series IYR value\n"
                    "        line 7, columns 1-4 \"19x5\"\n"
                    "        Series: B1       Number:     2\n"))
      << year.output;
  EXPECT_TRUE(shows(year, "Input data not read in successfully")) << year.output;

  box.write_file("cols.txt",
                 "YEAR A B\n"
                 "1941 1.0 2.0\n"
                 "19x5 1.5 2.5\n");
  const RunResult steps = box.run(PELLIFORM_PATH, "cols.txt\n4\n0\n3\n*\n\n");
  EXPECT_TRUE(shows(steps, "Error reading time steps\n line 3, columns 1-4 \"19x5\"\n"))
      << steps.output;
  box.write_file("vals.txt",
                 "YEAR A B\n"
                 "1941 1.0 2.0\n"
                 "1942 1.5 1.x0\n");
  const RunResult values = box.run(PELLIFORM_PATH, "vals.txt\n4\n0\n3\n*\n\n");
  EXPECT_TRUE(shows(values,
                    "Error reading y values check sentinel if ******* enter *\n"
                    " line 3, columns 10-13 \"1.x0\"\n"))
      << values.output;
  EXPECT_TRUE(shows(values, "Input data not read in successfully")) << values.output;
}

}  // namespace
}  // namespace dendro::e2e

#endif
