#include "statistics/site_tree_core.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dendro {
namespace {

// The tree numbers that stc gives the ids under the mask.
std::vector<int> trees(const std::vector<std::string>& ids, const std::string& mask) {
  Tsi1 tsi1;
  tsi1.reshape(1, static_cast<int>(ids.size()));
  tsi1.ids = ids;
  for (int i = 1; i <= tsi1.count + 1; ++i) tsi1.year_row(i).cpa = -7;  // stale numbers
  stc(tsi1, mask);
  std::vector<int> out;
  for (int i = 1; i <= tsi1.count; ++i) out.push_back(tsi1.year_row(i).cpa);
  EXPECT_EQ(tsi1.year_row(tsi1.count + 1).cpa, -7) << "the span row is not a series";
  return out;
}

TEST(stc, numbers_trees_in_order_of_first_series) {
  const std::vector<std::string> ids{"ABC01A  ", "ABC02A  ", "ABC01B  "};
  EXPECT_EQ(trees(ids, "SSSTTCC "), (std::vector<int>{1, 2, 1}));
  EXPECT_EQ(trees(ids, "sssttcc "), (std::vector<int>{1, 2, 1}));
  // Only the counts of the letters matter: the site is still characters 1-3.
  EXPECT_EQ(trees(ids, "TTSSSCCC"), (std::vector<int>{1, 2, 1}));
  // No site or tree letters: one tree.
  EXPECT_EQ(trees(ids, "        "), (std::vector<int>{1, 1, 1}));
  // Four sites, each core its own tree when the tree takes the core letter too.
  EXPECT_EQ(trees({"ABC01A", "ABC01B", "XYZ01A", "ABC01A"}, "SSSTTTC "),
            (std::vector<int>{1, 2, 3, 1}));
}

TEST(stc, exact_comparison) {
  // Case matters, and so does a blank: "ABC 1" is not "ABC01".
  EXPECT_EQ(trees({"ABC01A", "abc01B", "ABC 1A", "ABC01C"}, "SSSTTCC "),
            (std::vector<int>{1, 2, 3, 1}));
  // Ids shorter than eight characters compare as blank-padded fields.
  EXPECT_EQ(trees({"AB", "AB      ", "ABC"}, "SSSTT   "), (std::vector<int>{1, 1, 2}));
  EXPECT_TRUE(trees({}, "SSSTTCC ").empty());
}

}  // namespace
}  // namespace dendro
