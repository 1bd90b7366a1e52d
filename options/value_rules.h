// The values that each element of the option table takes: one rule per element, shared by
// the option dialogue (which asks again for any other value), the log file reader (which
// refuses a record that holds any other) and the detrending code check. A rule is the
// dialogue's choices cut to what the narrowest field that shows the value can print: the
// menu, the option record of the general output file and the log file all show every value
// a rule takes without asterisks and without running it into the next value.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "series/blocks.h"

namespace dendro {

// The values from `low` to `high`, or only the odd ones among them.
struct ValueSpan {
  long long low;
  long long high;
  bool odd_only = false;
};

// The values of one element: those in any of its spans (no spans: every integer), with
// the condition under which the spans hold when another element decides them.
struct ValueRule {
  std::vector<ValueSpan> spans;
  std::string condition;  // such as "with the median filter"; empty when unconditional

  bool takes(long long value) const;
  // The spans in words: "1 or 2", "1 to 4", "-100 to -1 or odd 3 to 99999".
  std::string text() const;
};

// The rule of option table element `element` when the other elements are those of `ic`:
// the detrending parameters follow their detrending code, the running rbar overlap its
// window and the release parameters the stand dynamics analysis. Elements that no option
// value uses take every integer.
ValueRule value_rule(OptionElement element, const Icommands& ic);

// What the user calls element `element` ("index calculation", "first detrending
// parameter"); empty for elements that no option value uses.
std::string element_name(OptionElement element);

// What element `element` takes when the other elements are those of `ic`, in the words
// "index calculation takes 1 or 2" (with the rule's condition after them).
std::string rule_words(OptionElement element, const Icommands& ic);

// Why `value` cannot be element `element` when the other elements are those of `ic`, in
// the words "index calculation takes 1 or 2, not 5" (the detrending codes give the
// regional curve's reasons of detrending_refusal); nothing when it can.
std::optional<std::string> value_refusal(OptionElement element, long long value,
                                         const Icommands& ic);

}  // namespace dendro
