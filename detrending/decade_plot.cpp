#include "detrending/decade_plot.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "series/console.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"

namespace dendro {
namespace {

// Positions of the plot line (1-based): the measurement and curve scale, then the index
// scale.
constexpr int kLineLength = 54;
constexpr int kFirstIndexPosition = 34;

struct Range {
  float low = 1.0e6f, high = -1.0e6f;
  void take(float v) {
    low = std::min(low, v);
    high = std::max(high, v);
  }
};

// Position of a value on a scale of `steps` steps from `first`. A scale without range
// (all means equal) puts every mark at its first position.
int position(float value, const Range& r, float steps, int first) {
  const float step = (r.high - r.low) / steps;
  if (!(step > 0)) return first;
  const int p = static_cast<int>((value - r.low) / step + static_cast<float>(first) + 0.5f);
  return std::clamp(p, first, first + static_cast<int>(steps));
}

float block_mean(std::span<const float> v, int b, int k) {
  float sum = 0;
  for (int i = (b - 1) * k; i < b * k; ++i) sum += v[static_cast<std::size_t>(i)];
  return sum / static_cast<float>(k);
}

}  // namespace

int decade_block_length(int n) {
  if (n <= 200) return 5;
  if (n <= 400) return 10;
  if (n <= 800) return 20;
  if (n <= 1600) return 40;
  if (n <= 2000) return 50;
  return 100;
}

std::vector<std::string> pltdec1_lines(std::span<const float> measurements,
                                       std::span<const float> curve, std::span<const float> indices,
                                       int first_year, int k) {
  std::vector<std::string> lines;
  lines.push_back(Layout("(/t10,'***',i3,'-year means of ',"
                         "'measurements, curve fit (x), and indices ***')")
                      .write(k));
  lines.push_back(Layout("(/t9,'msmt curve',t55,'index')").write());
  lines.push_back(Layout("('  year',2(' means'),t55,'means'/)").write());
  if (k < 1) return lines;

  // Blocks of k positions from the series' start, labelled from the multiple of k at or
  // before the first year (integer division truncates towards zero).
  const int n = static_cast<int>(measurements.size());
  const int y0 = (first_year / k) * k;
  const int m = n - (y0 - first_year);
  int nb = m / k;
  if (m % k == 0) --nb;
  if ((first_year + n - 1) % 10 == 0) --nb;
  std::vector<float> mx, mc, mi;
  for (int b = 1; b <= nb; ++b) {
    if (b * k > n) break;
    mx.push_back(block_mean(measurements, b, k));
    mc.push_back(block_mean(curve, b, k));
    mi.push_back(block_mean(indices, b, k));
  }

  Range level, index;
  for (std::size_t b = 0; b < mx.size(); ++b) {
    level.take(mx[b]);
    level.take(mc[b]);
    index.take(mi[b]);
  }
  // The reference mark of index 1.0, drawn only where 1.0 lies on the index scale.
  const bool one_on_scale = index.low <= 1.0f && 1.0f <= index.high;
  const int c1 = position(1.0f, index, 20.0f, kFirstIndexPosition);

  // The label year takes column 1 too, which is blank for years after -10000. The fields in
  // column order: label, measurement and curve means, plot positions 1 to 33 from column 21,
  // index mean from column 54, positions 34 to 54 from column 62; a mean too wide for its
  // field moves the rest of its line to the right.
  const Layout row("(i6,2f6.2+,2x,33a1,f6.2+,2x,21a1)");
  for (std::size_t b = 0; b < mx.size(); ++b) {
    const int label = y0 + static_cast<int>(b) * k;
    // The tens digit of the label year (of its magnitude, for years before 0).
    const char digit = static_cast<char>('0' + std::abs(label / 10) % 10);
    std::vector<char> line(kLineLength, ' ');
    auto mark = [&](int p, char c) { line[at(p)] = c; };
    if (one_on_scale) mark(c1, '|');
    mark(position(mi[b], index, 20.0f, kFirstIndexPosition), digit);
    const int cm = position(mx[b], level, 32.0f, 1);
    mark(cm, digit);
    const int cc = position(mc[b], level, 32.0f, 1);
    if (cc != cm) mark(cc, 'x');
    const std::vector<char> left(line.begin(), line.begin() + kFirstIndexPosition - 1);
    const std::vector<char> right(line.begin() + kFirstIndexPosition - 1, line.end());
    lines.push_back(row.write(label, mx[b], mc[b], left, mi[b], right));
  }
  return lines;
}

void pltdec1(std::span<const float> measurements, std::span<const float> curve,
             std::span<const float> indices, int first_year, int k, Units& units, int unit,
             int print_option, int mode, Console& con) {
  const auto lines = pltdec1_lines(measurements, curve, indices, first_year, k);
  if (print_option < 5) {
    for (const auto& l : lines) units.write(unit, l);
  } else if (mode == 2) {
    for (const auto& l : lines) con.say(l);
  }
}

}  // namespace dendro
