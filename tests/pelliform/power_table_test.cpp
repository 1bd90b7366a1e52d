#include "pelliform/power_table.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dendro {
namespace {

TEST(tabit, heading_and_rows) {
  // Frequency and one group of four columns; rows numbered from 0. Fields by hand:
  // " power#" + i2 = " power# 1", " dens#" + i2 padded to 9 = " dens# 1 ".
  const std::vector<std::vector<float>> columns{
      {0.0f, 0.25f}, {1.5f, 1000.0f}, {0.123456f, 2.0f}, {-1.0f, 0.0f}, {3.0f, 4.0f}};
  std::ostringstream out;
  tabit(out, columns, 2, 0);
  EXPECT_EQ(out.str(), " ncnt\t freq    \t power# 1\t dens# 1 \t null# 1 \t95% cl# 1\t" +
                           std::string(29, ' ') +
                           "\n"
                           "    0\t  0.00000\t  1.50000\t  0.12346\t -1.00000\t  3.00000\n"
                           "    1\t  0.25000\t*********\t  2.00000\t  0.00000\t  4.00000\n");
}

TEST(tabit, a_group_is_headed_as_soon_as_its_first_column_exists) {
  const std::vector<std::vector<float>> columns{{0.5f}, {1.0f}, {1.0f}, {1.0f}, {1.0f}, {2.0f}};
  std::ostringstream out;
  tabit(out, columns, 1, 7);
  const std::string text = out.str();
  EXPECT_NE(text.find("95% cl# 1\t power# 2\t dens# 2 \t null# 2 \t95% cl# 2\t"),
            std::string::npos);
  EXPECT_NE(text.find("\n    7\t  0.50000\t"), std::string::npos);
}

}  // namespace
}  // namespace dendro
