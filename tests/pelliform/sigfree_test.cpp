#include "pelliform/sigfree.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine_fixture.h"

namespace dendro {
namespace {

using testing::EngineHarness;
using testing::SeriesSet;

float sig(int year) { return 1.0f + 0.2f * std::sin(year * 0.7f) + 0.1f * std::cos(year * 0.13f); }

void show(int option, char rescale, int mean_type, int stagger = 0, bool linear = false, int per = 1) {
  const auto dir = testing::scratch_folder("smoke");
  SeriesSet set;
  set.growth = [](int j, int k) { return 1.0f + 3.0f * std::exp(-0.03f * k) + 0.05f * j; };
  set.signal = sig;
  set.stagger = stagger;
  set.per_start = per;
  set.count = 12 * per;
  if (linear) set.growth = [](int j, int k) { return 3.0f + 0.1f * j - 0.015f * k; };
  EngineArgs a = testing::engine_args(set, dir);
  a.curve_fit_option = option;
  a.rescale_switch = rescale;
  a.mean_type = mean_type;
  EngineHarness h;
  h.run(a);
  double mean = 0;
  const int n = a.chronology_length();
  for (int k = 1; k <= n; ++k) mean += sig(1800 + k);
  mean /= n;
  double cm = 0;
  for (int k = 1; k <= n; ++k) cm += a.signal_free.at(k, 1);
  cm /= n;
  double worst = 0;
  for (int k = 1; k <= n; ++k) worst = std::max(worst, std::fabs(a.signal_free.at(k, 1) / cm - sig(1800 + k) / mean));
  double worst_std = 0;
  for (int k = 1; k <= n; ++k) worst_std = std::max(worst_std, std::fabs(a.standard.at(k, 1) - sig(1800 + k) / mean));
  if (false) {
    for (int k = 1; k <= n; k += 7) std::cerr << k << ":" << a.signal_free.at(k, 1) << "/" << sig(1800 + k) / mean << "/" << a.sample_depth[k-1] << " ";
    std::cerr << "\n";
  }
  std::cerr << "option " << option << " rescale " << rescale << " iterations " << a.iteration << " restart " << a.restart_counter
            << " worst " << worst << " std worst " << worst_std << "\n";
}

TEST(sigfree, smoke) {
  for (int option : {1, 3, 8, 30, -5})
    for (char r : {'n', 'y'}) show(option, r, 1, 10, false, 2);
  show(3, 'n', 1, 10, true, 2);
  show(3, 'y', 1, 10, true, 2);
  show(4, 'n', 1, 10, true, 2);
  show(3, 'n', 1, 10, true);
  show(3, 'y', 1, 10, true);
  show(3, 'n', 1, 30, true);
  show(1, 'n', 1, 30);
  show(1, 'n', 2, 10);
}

}  // namespace
}  // namespace dendro
