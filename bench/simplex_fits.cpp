// The simplex fits of curve options 3, 7 and 8 on every series of a tucson ring-width file,
// read and gap-filled as kalder reads them, for bench/simplex_compare.py. Per series:
//   series ID N VALUES...        (the id with its blanks as '_', the values as fitted)
//   fit OPTION CODE SS A B C D P (the code after the fit, the sum of squared deviations of
//                                 the curve from the values, the coefficients)
// Usage: bench_simplex_fits FILE.rwl
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "detrending/curve_fit.h"
#include "options/defaults.h"
#include "series/console.h"
#include "series/files/stop.h"
#include "series/gap_filling.h"
#include "series/trread.h"

namespace {

double squared_deviations(const std::vector<float>& y, const std::vector<float>& curve) {
  double sum = 0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    const double e = static_cast<double>(curve[i]) - y[i];
    sum += e * e;
  }
  return sum;
}

void print_fits(const std::string& id, const std::vector<float>& y, dendro::Console& con) {
  std::printf("series %s %zu", id.c_str(), y.size());
  for (float v : y) std::printf(" %.9g", static_cast<double>(v));
  std::printf("\n");
  for (int option : {3, 7, 8}) {
    std::vector<float> values = y, curve(y.size());
    const dendro::CurveFit f = dendro::detrend1(values, curve, option, 0, con);
    const dendro::Coefficients& k = f.coef;
    std::printf("fit %d %d %.7g %.7g %.7g %.7g %.7g %.7g\n", option, f.option,
                squared_deviations(y, curve), static_cast<double>(k.a), static_cast<double>(k.b),
                static_cast<double>(k.c), static_cast<double>(k.d), static_cast<double>(k.p));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE.rwl\n", argv[0]);
    return 2;
  }
  std::ifstream data(argv[1], std::ios::binary);
  dendro::Tsi1 tsi1;
  dendro::StatsTable stats;
  dendro::Commands commands;
  dendro::Icommands icommands;
  dendro::reset_options(icommands, commands);
  commands.set_data_kind("mr");
  // Every question (a gap plot's, an itmax note) takes its default answer.
  std::istringstream keys(std::string(100000, '\n'));
  std::ostringstream report, screen;
  dendro::Console con(keys, screen);
  try {
    const dendro::TrreadResult r =
        dendro::trread(data, tsi1, stats, commands, icommands, report, con);
    dendro::align_on_chronology(tsi1);
    if (r.series_with_gaps > 0) dendro::fillin(tsi1, icommands, con);
    const int first = tsi1.years[static_cast<std::size_t>(tsi1.count)].ify;
    for (int i = 1; i <= tsi1.count; ++i) {
      const dendro::SeriesYears& s = tsi1.years[static_cast<std::size_t>(i - 1)];
      const auto column = tsi1.column(i).subspan(static_cast<std::size_t>(s.ify - first),
                                                 static_cast<std::size_t>(s.ily - s.ify + 1));
      std::string id = tsi1.ids[static_cast<std::size_t>(i - 1)];
      for (char& c : id) c = c == ' ' ? '_' : c;
      print_fits(id, std::vector<float>(column.begin(), column.end()), con);
    }
  } catch (const dendro::Stop& stop) {
    std::fprintf(stderr, "%s: %s\n", argv[1], stop.what());
    return 1;
  }
  return 0;
}
