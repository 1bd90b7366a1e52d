#include "options/value_rules.h"

#include <gtest/gtest.h>

#include "boundaries.h"
#include "options/log_file.h"
#include "options/query.h"
#include "series/fit_codes.h"

namespace dendro {
namespace {

using testing::Session;

Icommands defaults() {
  Icommands ic;
  Commands commands;
  reset_options(ic, commands);
  return ic;
}

// The first and last values of each span, and the values just outside, by hand from the
// dialogue's choices and the five columns that the menu and the option record give a code.
TEST(value_rule, edges_of_the_spans) {
  struct Case {
    OptionElement element;
    std::vector<std::pair<int, int>> setting;
    std::vector<long long> taken, refused;
  };
  const Case cases[] = {
      {opt::first_detrending, {}, {-9999, -10, -6, 8, 10, 99999}, {-10000, -9, -7, 9, 100000}},
      {opt::second_detrending, {}, {-9999, -1, 99999}, {-8, 9, 100000}},
      {opt::stabilisation, {}, {-9999, -10, 0, 2, 10, 99999}, {-10000, -9, -1, 3, 9, 100000}},
      {opt::missing_data, {}, {-9999, -9, 99999}, {-10000, 100000}},
      {opt::common_period_first, {}, {-9999, 99999}, {-10000, 100000}},
      {opt::robust_detrending, {}, {1}, {0, 2}},
      {opt::index_calculation, {}, {1, 2}, {0, 3}},
      {opt::mean_chronology, {}, {-100, 2}, {-101, 3}},
      {opt::bootstrap_plots, {}, {0, 1}, {-1, 2}},
      {opt::bootstrap_spline, {}, {0, 5, 9999}, {-1, 1, 4, 10000}},
      {opt::bootstrap_spline, {{72, 1}}, {0, 5, 9999}, {-1, 4, 10000}},
      {opt::first_detrending_parameter, {{4, -5}}, {0, 9}, {-1, 10}},
      {opt::first_detrending_parameter, {{4, -4}}, {-100, -1, 3, 4, 99999}, {-101, 0, 2, 100000}},
      {opt::first_detrending_parameter, {{4, -3}}, {-100, -1, 3, 5, 99999}, {-101, 0, 2, 4}},
      {opt::first_detrending_parameter, {{4, 1}}, {-100, 0, 2, 99999}, {-101, 100000}},
      // The second detrending asks no sensitivity: its parameter keeps what it had.
      {opt::second_detrending_parameter, {{5, -5}}, {-100, 0, 99999}, {-101, 100000}},
      {opt::running_rbar_overlap, {{16, 30}}, {-9999, 29}, {-10000, 30}},
      {opt::running_rbar_overlap, {{16, 0}}, {-9999, 99999}, {100000}},
      {opt::release_window, {{20, 2}}, {5, 50}, {0, 4, 51}},
      {opt::release_window, {{20, 1}}, {0, 3, 50}, {-1, 51}},
      {opt::release_threshold, {{20, 3}}, {5, 200}, {4, 201}},
      {opt::release_error_limit, {{20, 3}}, {0, 5}, {-1, 6}},
  };
  for (const Case& c : cases) {
    Icommands ic = defaults();
    for (const auto& [e, v] : c.setting) ic[testing::element_of(e)] = v;
    const ValueRule rule = value_rule(c.element, ic);
    for (long long v : c.taken) {
      EXPECT_TRUE(rule.takes(v)) << element_name(c.element) << " " << v;
    }
    for (long long v : c.refused) {
      EXPECT_FALSE(rule.takes(v)) << element_name(c.element) << " " << v;
    }
  }
  // Values beyond the option table's integers, for the elements that take any the fields
  // show, and elements of no option take every integer.
  EXPECT_FALSE(value_rule(opt::common_period_last, defaults()).takes(2147483648LL));
  EXPECT_TRUE(value_rule(opt::site_tree_core_mask, defaults()).takes(2147483647LL));
  EXPECT_FALSE(value_rule(opt::site_tree_core_mask, defaults()).takes(2147483648LL));
}

TEST(value_refusal, says_which_values_the_element_takes) {
  const Icommands d = defaults();
  EXPECT_EQ(value_refusal(opt::index_calculation, 5, d), "index calculation takes 1 or 2, not 5");
  EXPECT_EQ(value_refusal(opt::robust_detrending, 2, d), "robust detrending takes 1, not 2");
  EXPECT_EQ(value_refusal(opt::first_detrending, -7, d),
            "first detrending takes -9999 to -10, -6 to 8 or 10 to 99999, not -7");
  EXPECT_EQ(value_refusal(opt::stabilisation, 2147483647, d),
            "stabilize variance takes -9999 to -10, 0 to 2 or 10 to 99999, not 2147483647");
  Icommands median = d;
  median[opt::second_detrending] = -3;
  EXPECT_EQ(value_refusal(opt::second_detrending_parameter, 4, median),
            "second detrending parameter takes -100 to -1 or odd 3 to 99999 with the median "
            "filter, not 4");
  Icommands window = d;
  window[opt::running_rbar_window] = 30;
  EXPECT_EQ(value_refusal(opt::running_rbar_overlap, 30, window),
            "running rbar overlap takes -9999 to 29 with a window of 30, not 30");
  Icommands release = d;
  release[opt::stand_dynamics] = 2;
  EXPECT_EQ(value_refusal(opt::release_threshold, 201, release),
            "percent growth change threshold takes 5 to 200 with release detection, not 201");
  // The regional curve's own reasons come after the range.
  Icommands rcs = d;
  rcs[opt::first_detrending] = fit::regional_curve;
  EXPECT_EQ(value_refusal(opt::second_detrending, 0, rcs),
            "rcs needs a growth curve option: 0 not allowed with rcs");
  EXPECT_EQ(value_refusal(opt::second_detrending, -2, d),
            "rcs option not allowed for 2nd detrending");
  EXPECT_EQ(value_refusal(opt::second_detrending, 2, rcs), std::nullopt);
}

TEST(value_rule, defaults_and_every_edge_fit_their_log_fields) {
  EXPECT_TRUE(testing::every_rule_kept(defaults()));
  const auto edges = testing::rule_edges();
  EXPECT_GT(edges.size(), 150u);
  for (const auto& edge : edges) {
    EXPECT_TRUE(fits_log_field(testing::element_of(edge.element), edge.value))
        << edge.element << " " << edge.value;
  }
}

// The dialogue takes exactly what the rules take: the answers just outside an edge are
// asked again, the edge itself is stored.
TEST(value_rule, the_dialogue_stops_at_the_same_edges) {
  struct Case {
    int option;
    std::string answers;
    int element, stored;
  };
  const Case cases[] = {
      {2, "-10000\n100000\n99999\nn\n", 2, 99999},
      {2, "-10000\n-9999\nn\n", 2, -9999},
      {4, "-10000\n100000\n-99999\n-9999\nn\n", 4, -9999},
      {4, "99999\nn\n", 4, 99999},
      {5, "100000\n-10000\n99999\nn\n", 5, 99999},
      {13, "-99999\n100000\n-9999\n", 13, -9999},
      {13, "99999\n", 13, 99999},
      {14, "-10000\n-9999\n100000\n99999\n", 44, 99999},
      {16, "100000\n99999\n99999\n99998\nn\n", 46, 99998},
      {20, "2\nn\n4\n51\n50\n4\n201\n200\n", 80, 200},
      {20, "3\nn\n5\n5\n-1\n6\n5\n", 110, 5},
      {4, "-4\n100000\n-101\n99999\nn\n", 34, 99999},
      {4, "-3\n99998\n99999\nn\n", 34, 99999},
  };
  for (const Case& c : cases) {
    Session s(c.answers);
    query(c.option, s.ic, s.cmd, s.con);
    EXPECT_EQ(s.ic[testing::element_of(c.element)], c.stored) << c.option << " " << c.answers;
    EXPECT_EQ(s.unread(), "") << c.option << " " << c.answers;
    EXPECT_TRUE(testing::every_rule_kept(s.ic)) << c.option << " " << c.answers;
  }
}

}  // namespace
}  // namespace dendro
