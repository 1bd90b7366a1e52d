// Times the all-pairs correlation of the mean inter-series correlation and the running
// rbar on a large synthetic set: 1500 series of 500 years (a common signal plus noise).
// Usage: bench_rbar_pairs [series] [years] [threads]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "series/correlation.h"
#include "statistics/rbar.h"
#include "statistics/running_rbar.h"

namespace {

// A fixed linear congruential generator, so that every run times the same data.
class Noise {
 public:
  float next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<float>(static_cast<double>(state_ >> 11) * 0x1.0p-53 - 0.5);
  }

 private:
  std::uint64_t state_ = 12345;
};

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace dendro;
  const int series = argc > 1 ? std::atoi(argv[1]) : kMaxSeriesKalder;
  const int years = argc > 2 ? std::atoi(argv[2]) : 500;
  const int threads = argc > 3 ? std::atoi(argv[3]) : worker_count();
  if (series < 2 || years < 21) {
    std::fprintf(stderr, "need at least 2 series of 21 years\n");
    return 1;
  }
  const int first_year = 1501;
  Tsi1 tsi1;
  tsi1.reshape(years, series);
  Noise noise;
  std::vector<float> signal(static_cast<std::size_t>(years));
  for (float& s : signal) s = noise.next();
  for (int i = 1; i <= series; ++i) {
    SeriesYears& y = tsi1.year_row(i);
    y.ify = first_year;
    y.ily = first_year + years - 1;
    for (int r = 1; r <= years; ++r) tsi1.at(r, i) = 1.0f + signal[r - 1] + noise.next();
  }
  tsi1.year_row(series + 1) = SeriesYears{first_year, first_year + years - 1};

  const SeriesView view = series_view(tsi1);
  auto t0 = std::chrono::steady_clock::now();
  const RbarResult all = rbar_statistics(view, years, threads);
  const double all_seconds = seconds_since(t0);
  std::printf("rbar: %d series x %d years, %d correlations, rbar %.4f: %.3f s on %d threads\n",
              series, years, all.stats.count, all.stats.mean, all_seconds, threads);

  // For comparison: the same correlations one pair at a time through the shared routine.
  t0 = std::chrono::steady_clock::now();
  double sum = 0;
  for (int i = 1; i < series; ++i) {
    for (int j = i + 1; j <= series; ++j) {
      sum += pearsn(view.values(i, first_year, years), view.values(j, first_year, years)).r;
    }
  }
  std::printf("the same, one pearsn call per pair: rbar %.4f: %.3f s\n",
              sum / (0.5 * series * (series - 1.0)), seconds_since(t0));

  t0 = std::chrono::steady_clock::now();
  const auto rows = running_rbar(view, first_year, first_year + years - 1, years, 50, 25);
  std::printf("running rbar (window 50, overlap 25): %zu windows: %.3f s\n", rows.size(),
              seconds_since(t0));
  return 0;
}
