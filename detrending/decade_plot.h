// The decade-mean character plot: block means of a series' measurements, fitted curve and
// indices, printed as numbers and drawn as characters on two small scales of one line.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace dendro {

class Console;
class Units;

// The block length of the plot of a series of n years: 5 years up to 200, then 10, 20, 40
// and 50 up to 400, 800, 1600 and 2000 years, 100 beyond.
int decade_block_length(int n);

// The lines of the plot (heading first) for n consecutive years from `first_year` in
// blocks of k years.
std::vector<std::string> pltdec1_lines(std::span<const float> measurements,
                                       std::span<const float> curve, std::span<const float> indices,
                                       int first_year, int k);

// Writes the plot to `unit` when the print option is below 5, else to the console when
// mode is 2, else nowhere.
void pltdec1(std::span<const float> measurements, std::span<const float> curve,
             std::span<const float> indices, int first_year, int k, Units& units, int unit,
             int print_option, int mode, Console& con);

}  // namespace dendro
