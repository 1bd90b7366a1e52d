// A table of spectral estimates as tab-separated text, ready for a spreadsheet.
#pragma once

#include <ostream>
#include <span>
#include <vector>

namespace dendro {

// Writes the heading line and one line per row. `columns[0]` holds the frequencies, then
// four columns per spectrum (power, density, null continuum, 95% confidence limit); every
// column holds `rows` values or more. Rows are numbered from `first_count` in an i5 field;
// values are written as f9.5 (asterisks when they do not fit). The heading ends 30
// characters past its last field (the tab and blanks), a row with its last value.
void tabit(std::ostream& out, std::span<const std::vector<float>> columns, int rows,
           int first_count);

}  // namespace dendro
