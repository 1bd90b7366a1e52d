#include "pelliform/power_table.h"

#include <string>

#include "series/layout.h"

namespace dendro {
namespace {

constexpr int kGroupWidth = 4;    // power, density, null continuum, confidence limit
constexpr int kHeadingTail = 30;  // characters written past the heading's last field

}  // namespace

void tabit(std::ostream& out, std::span<const std::vector<float>> columns, int rows,
           int first_count) {
  const int column_count = static_cast<int>(columns.size());
  const Layout group("(a7,i2,a1,a6,i2,1x,a1,a6,i2,1x,a1,a7,i2,a1)");
  std::string heading = Layout("(a5,a1,a5,4x,a1)").write(" ncnt", "\t", " freq", "\t");
  for (int first = 2, g = 1; first <= column_count; first += kGroupWidth, ++g) {
    heading +=
        group.write(" power#", g, "\t", " dens#", g, "\t", " null#", g, "\t", "95% cl#", g, "\t");
  }
  out << heading << std::string(kHeadingTail - 1, ' ') << '\n';

  const Layout count("(i5)"), value("(f9.5)");
  for (int r = 0; r < rows; ++r) {
    std::string line = count.write(first_count + r);
    for (const std::vector<float>& c : columns) {
      line += '\t' + value.write(c[static_cast<std::size_t>(r)]);
    }
    out << line << '\n';
  }
}

}  // namespace dendro
