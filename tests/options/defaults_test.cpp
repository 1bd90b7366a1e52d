#include "options/defaults.h"

#include <gtest/gtest.h>

namespace dendro {
namespace {

TEST(reset_options, sets_every_default_and_keeps_the_rest) {
  Icommands ic;
  for (int k = 1; k <= 152; ++k) ic[k] = 777;
  Commands cmd;
  cmd.set_mask("abcdefgh");
  reset_options(ic, cmd);
  // The defaults, element by element, from the option table's list of start values.
  const int codes[21] = {0, 1, -9, 0, -6, 0, 1, 0, 1, 1, 0, 0, 2, 0, 0, 777, 50, 2, 0, 0, 0};
  for (int k = 1; k <= 20; ++k) EXPECT_EQ(ic[k], codes[k]) << "option " << k;
  for (int e : {33, 34, 35, 39, 40, 42, 44, 50, 64, 65, 72, 76, 80, 102, 110}) {
    EXPECT_EQ(ic[e], 0) << "element " << e;
  }
  EXPECT_EQ(ic[46], 25);
  for (int e : {15, 32, 140, 151, 152, 31, 41, 43, 45, 47, 100, 150}) {
    EXPECT_EQ(ic[e], 777) << "element " << e;
  }
  EXPECT_EQ(cmd.mask(), "SSSTTCC ");
  EXPECT_EQ(cmd.text.substr(0, 9), std::string(9, ' '));  // positions 1-9 untouched
}

}  // namespace
}  // namespace dendro
