#include "pelliform/yearly_mean.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "series/biweight.h"
#include "series/console.h"
#include "series/descriptive.h"
#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/layout.h"
#include "series/parallel.h"
#include "series/sorting.h"

namespace dendro {
namespace {

constexpr int kWeightSummaryFrom = 6;  // fewer values get weights of 1.0
constexpr float kMadFloor = 0.0001f;   // xbiwt: below it the values count as constant
constexpr int kSmallSample = 5;        // xbiwt: up to this many values no iteration
constexpr float kSmallScale = 1.5f;
constexpr float kLocationConstant = 6.0f;
constexpr float kScaleConstant = 9.0f;
constexpr int kFurtherSteps = 10;  // xbiwt: fixed count, no convergence test

struct Step {
  float location;
  float scale;
};

// One biweight step about centre c with the deviations scaled by the fixed MAD.
Step biweight_step(std::span<const float> x, float c, float mad) {
  float a = 0, b = 0, p = 0, q = 0;
  for (float v : x) {
    const float d = v - c;
    const float u = d / (kScaleConstant * mad);
    const float w = d / (kLocationConstant * mad);
    if (std::fabs(u) < 1.0f) {
      const float one = 1.0f - u * u;
      a += d * d * one * one * one * one;
      b += one * (1.0f - 5.0f * u * u);
    }
    if (std::fabs(w) < 1.0f) {
      const float one = 1.0f - w * w;
      p += d * one * one;
      q += one * one;
    }
  }
  const float n = static_cast<float>(x.size());
  Step s{c, 0.0f};
  if (q != 0.0f) s.location = c + p / q;
  if (b != 0.0f) s.scale = n / std::sqrt(n - 1.0f) * std::sqrt(a) / std::fabs(b);
  return s;
}

}  // namespace

MeanSd mnsd(std::span<const float> x) {
  MeanSd r;
  if (x.empty()) return r;
  float sum = 0;
  for (float v : x) sum += v;
  const float n = static_cast<float>(x.size());
  r.mean = sum / n;
  if (x.size() < 2) return r;
  float squares = 0;
  for (float v : x) squares += (v - r.mean) * (v - r.mean);
  r.sd = std::sqrt(squares / (n - 1.0f));
  return r;
}

float mean_with_depth(std::span<const float> x, std::span<const int> depth, int from, int to) {
  float sum = 0;
  int count = 0;
  for (int k = std::max(from, 1); k <= to && k <= static_cast<int>(x.size()); ++k) {
    if (depth[static_cast<std::size_t>(k - 1)] > 0) {
      sum += x[static_cast<std::size_t>(k - 1)];
      ++count;
    }
  }
  return count > 0 ? sum / static_cast<float>(count) : 0.0f;
}

float mdian1(std::span<float> x) {
  if (x.empty()) return 0.0f;
  qcksrt(x);
  const std::size_t n = x.size();
  if (n % 2 == 1) return x[n / 2];
  return (x[n / 2 - 1] + x[n / 2]) / 2.0f;
}

float xmad(std::span<const float> x, float m) {
  std::vector<float> d(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) d[i] = std::fabs(x[i] - m);
  if (d.empty()) return 0.0f;
  // mdian1's middle values, by selection: the deviations need no order of their own.
  const std::size_t n = d.size();
  const std::size_t middle[] = {(n - 1) / 2, n / 2};
  select(d, middle);
  if (n % 2 == 1) return d[n / 2];
  return (d[n / 2 - 1] + d[n / 2]) / 2.0f;
}

XbiwtResult xbiwt(std::span<float> x) {
  const float median = mdian1(x);
  const float mad = xmad(x, median);
  XbiwtResult r;
  if (x.size() <= static_cast<std::size_t>(kSmallSample) || mad <= kMadFloor) {
    r.t = r.t1 = median;
    r.s = r.s1 = kSmallScale * mad;
    return r;
  }
  Step s = biweight_step(x, median, mad);
  r.t1 = s.location;
  r.s1 = s.scale;
  for (int step = 0; step < kFurtherSteps; ++step) s = biweight_step(x, s.location, mad);
  r.t = s.location;
  r.s = s.scale;
  return r;
}

namespace sf {

YearlyMean robsum(const EngineMatrix& x, int nyears, int nseries, int type, Console& con,
                  bool weight_summary) {
  if (nseries > kMaxSeriesPelliform) {
    con.say("");
    con.say("Error in Sbr ROBSUM: Max number of series exceeded");
    con.say(
        Layout("('Maximum allowed:',i6,5x,'Number sent:',i6)").write(kMaxSeriesPelliform, nseries));
    con.say("*** Enlarge parameter MAXNUM in Sbr ROBSUM and try again! ***");
    throw Stop("Error in Sbr ROBSUM: Max number of series exceeded", kFailureStatus);
  }
  if (nyears > x.rows) throw std::out_of_range("robsum: more years than matrix rows");
  YearlyMean r;
  const auto years = static_cast<std::size_t>(std::max(nyears, 0));
  r.mean.assign(years, kEmptyCell);
  r.spread.assign(years, 0.0f);
  r.efficiency.assign(years, 0.0f);
  r.depth.assign(years, 0);
  r.weights.reshape(nyears, 4, 1.0f);
  // Each year on its own: the years are shared among threads, a run of them at a time, and
  // every year writes only its own results.
  // The values of a run of years are gathered series after series, so that each series'
  // cells of the run are read together; each year of the run has room for every series.
  constexpr int kYearsTogether = 16;
  const auto room = static_cast<std::size_t>(std::max(nseries, 0));
  parallel_for((nyears + kYearsTogether - 1) / kYearsTogether, [&](int item) {
    stop_if_interrupted();
    const int first = item * kYearsTogether + 1;
    const int last = std::min(nyears, first + kYearsTogether - 1);
    const auto run_years = static_cast<std::size_t>(last - first + 1);
    std::vector<float> cells(run_years * room);
    std::vector<std::size_t> held(run_years, 0);
    for (int i = 1; i <= nseries; ++i) {
      const auto column = x.column(i);
      for (std::size_t y = 0; y < run_years; ++y) {
        const float v = column[static_cast<std::size_t>(first - 1) + y];
        if (v != kEmptyCell) cells[y * room + held[y]++] = v;
      }
    }
    for (int k = first; k <= last; ++k) {
      const auto in_run = static_cast<std::size_t>(k - first);
      const std::span<float> values(cells.data() + in_run * room, held[in_run]);
      const auto y = static_cast<std::size_t>(k - 1);
      r.depth[y] = static_cast<int>(values.size());
      // A year that no series covers has no mean: it stays empty rather than ending the run.
      if (values.empty()) continue;
      BiwgtResult b = biwgt(values, kBiweightTuning, type == kArithmeticMeanType ? 1 : 2);
      r.mean[y] = b.location;
      r.spread[y] = b.scale;
      r.efficiency[y] = b.efficiency;
      if (weight_summary && values.size() >= static_cast<std::size_t>(kWeightSummaryFrom)) {
        const FiveNumbers f = five_numbers(b.weights);
        r.weights.at(k, 1) = f.minimum;
        r.weights.at(k, 2) = f.lower_hinge;
        r.weights.at(k, 3) = f.median;
        r.weights.at(k, 4) = f.upper_hinge;
      }
    }
  });
  return r;
}

}  // namespace sf
}  // namespace dendro
