// The labels shown beside option values: in the option menu, in the log file and its echo,
// and in the option record of the general output file.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "series/blocks.h"

namespace dendro {

inline constexpr int kLabelLength = 50;

// The 50-character label of option item 1 to 23 (21 to 23 are the three stand-dynamics
// parameters) for a label code; blanks when the code has no label. Every label begins
// with "!", so that in the log file it reads as a comment after the values.
std::string gmh(int item, int code);

// The label of a detrending item (4 or 5) with `prefix` ("1st-", "2nd-" or "rcs-") in
// characters 2 to 5, which the detrending labels leave blank for it. A blank label stays
// blank.
std::string detrending_label(int item, int code, std::string_view prefix);

// The label code of the mean chronology option, formed from its code (element 12) and the
// bootstrap limits flag (element 72); every place that shows option 12 uses it.
int mean_chronology_label_code(int mean_code, int bootstrap_flag);

// The label of option item 1 to 23 for the values the option table holds, with the label
// code formed as the menu and the log file form it: a plot flag that is set negates the
// code of options 3, 9 and 16 (option 10: minus the order plus one), option 12 takes its
// mean chronology label code, and the detrending items get "1st-" and "2nd-".
std::string option_label(int item, const Icommands& ic);

// A line that shows option values with a label, as the menu and the option record of the
// general output file show them: the values of `elements` in order, then `label`, written
// with `layout`.
std::string option_line(std::string_view layout, const Icommands& ic,
                        std::initializer_list<OptionElement> elements, std::string_view label);

// The line of option 14 as the menu and the option record show it: `text` from column 2, the
// common period years in five columns each from `years_column` (the last year's field
// widened where it would join the first), the label from `label_column`.
std::string common_period_line(std::string_view text, int years_column, int label_column,
                               const Icommands& ic);

}  // namespace dendro
