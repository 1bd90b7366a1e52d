#include "pelliform/span_report.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "series/console.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

std::string report(const std::vector<int>& first, const std::vector<int>& n) {
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  comint(first, n, con);
  return out.str();
}

TEST(comint, one_series) {
  const std::string r = report({1801}, {100});
  const std::string rule = std::string(20, ' ') + std::string(42, '*');
  EXPECT_EQ(r, "\n" + rule + "\n" + std::string(19, ' ') +
                   " **  Time span of chronology:  1801 to 1900\n" + std::string(19, ' ') +
                   " **  length =               :           100\n" + std::string(19, ' ') +
                   " **  Number of series in chronology:      1\n" + std::string(19, ' ') +
                   " **  Optimum common interval:  1801 to 1900\n" + std::string(19, ' ') +
                   " **  Number of years included:          100\n" + std::string(19, ' ') +
                   " **  Number of Series included:           1\n" + std::string(19, ' ') +
                   " **  Number of rings:                   100\n" + std::string(19, ' ') +
                   " **  Length of longest Series:          100\n" + std::string(19, ' ') +
                   " **  Length of shortest Series:         100\n" + rule + "\n");
}

TEST(comint, years_before_minus_9999_and_before_minus_32000) {
  // 1 series -40120 to -40021 and 1 series -40070 to -39971: the span and the interval come
  // from the true years, in six-column fields, the last year with a blank after " to".
  const std::string r = report({-40120, -40070}, {100, 100});
  const std::string pad(19, ' ');
  EXPECT_NE(r.find(pad + " **  Time span of chronology: -40120 to -39971\n"), std::string::npos)
      << r;
  EXPECT_NE(r.find(pad + " **  length =               :           150\n"), std::string::npos);
  // Both series end at -40021 at the latest first: -40070 to -40021 holds 2 x 50 = 100 rings,
  // no more than -39971's single series of 100, which comes first.
  EXPECT_NE(r.find(pad + " **  Optimum common interval: -40070 to -39971\n"), std::string::npos)
      << r;
  EXPECT_EQ(r.find('*' + std::string("*****")), r.find(std::string(42, '*')));
  // A first year from -9999 on keeps its five columns.
  EXPECT_NE(report({-9999}, {10}).find(" **  Time span of chronology: -9999 to -9990\n"),
            std::string::npos);
}

TEST(optimum_interval, first_maximum_in_order_wins) {
  // 1851-1950 comes first (latest last year): 1 series of 100 rings; the later candidates
  // with 100 rings (1851-1900 with 2 series, 1801-1900 with 1) do not replace it.
  const CommonInterval c =
      optimum_interval(std::vector<int>{1801, 1851}, std::vector<int>{100, 100});
  EXPECT_EQ(c.first, 1851);
  EXPECT_EQ(c.last, 1950);
  EXPECT_EQ(c.series, 1);
  EXPECT_EQ(c.rings, 100);
  // Three series 1800-1899, 1820-1919, 1830-1879: 1830-1879 holds 3 x 50 = 150 rings, but
  // 1820-1899 holds 2 x 80 = 160.
  const CommonInterval d =
      optimum_interval(std::vector<int>{1800, 1820, 1830}, std::vector<int>{100, 100, 50});
  EXPECT_EQ(d.first, 1820);
  EXPECT_EQ(d.last, 1899);
  EXPECT_EQ(d.rings, 160);
}

TEST(comint, limit_of_4500_series) {
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  std::vector<int> first(4501, 1900), n(4501, 10);
  EXPECT_THROW(comint(first, n, con), Stop);
  // 4500 series of 5000 years: 22,500,000 rings, more than the seven columns hold, keep a
  // blank before them.
  const std::string r = report(std::vector<int>(4500, -2999), std::vector<int>(4500, 5000));
  EXPECT_NE(r.find("\n" + std::string(19, ' ') + " **  Number of rings:               22500000\n"),
            std::string::npos)
      << r;
  EXPECT_EQ(minimum(std::vector<int>{7}), 7);
  EXPECT_EQ(maximum(std::vector<int>{3, 9, 2}), 9);
}

}  // namespace
}  // namespace dendro
