#include "pelliform/span_report.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "series/blocks.h"
#include "series/console.h"
#include "series/files/stop.h"
#include "series/layout.h"

namespace dendro {
int minimum(std::span<const int> v) {
  return v.size() < 2 ? (v.empty() ? 0 : v[0]) : *std::min_element(v.begin(), v.end());
}

int maximum(std::span<const int> v) {
  return v.size() < 2 ? (v.empty() ? 0 : v[0]) : *std::max_element(v.begin(), v.end());
}

CommonInterval optimum_interval(std::span<const int> first, std::span<const int> nvals) {
  struct Series {
    int first, last, n;
  };
  std::vector<Series> order;
  for (std::size_t i = 0; i < first.size(); ++i) {
    order.push_back({first[i], first[i] + nvals[i] - 1, nvals[i]});
  }
  std::stable_sort(order.begin(), order.end(), [](const Series& a, const Series& b) {
    if (a.last != b.last) return a.last > b.last;
    if (a.first != b.first) return a.first < b.first;
    return a.n > b.n;
  });
  // For each distinct last year E the series ending at or after E are those seen so far in
  // this order; their first years are kept sorted, so the count of those starting at or
  // before S is one binary search.
  CommonInterval best;
  std::vector<int> starts;
  std::size_t seen = 0;
  for (std::size_t e = 0; e < order.size(); ++e) {
    if (e > 0 && order[e].last == order[e - 1].last) continue;
    const int end = order[e].last;
    while (seen < order.size() && order[seen].last >= end) {
      starts.insert(std::upper_bound(starts.begin(), starts.end(), order[seen].first),
                    order[seen].first);
      ++seen;
    }
    for (const Series& s : order) {
      const auto count = std::upper_bound(starts.begin(), starts.end(), s.first) - starts.begin();
      const long long rings = static_cast<long long>(count) * (end - s.first + 1);
      if (rings > best.rings) best = {s.first, end, static_cast<int>(count), rings};
    }
  }
  return best;
}

void comint(std::span<const int> first, std::span<const int> nvals, Console& con) {
  const int n = static_cast<int>(first.size());
  if (n > kMaxSeriesPelliform) {
    con.say("");
    con.say(Layout("(t20,' >> file contains more than program limit of',i4,' series')")
                .write(kMaxSeriesPelliform));
    throw Stop(" too many series for subroutine Commint", kFailureStatus);
  }
  if (n == 0) return;
  int span_first = first[0], span_last = first[0] + nvals[0] - 1;
  for (std::size_t i = 0; i < first.size(); ++i) {
    span_first = std::min(span_first, first[i]);
    span_last = std::max(span_last, first[i] + nvals[i] - 1);
  }
  const CommonInterval best = optimum_interval(first, nvals);
  const std::string rule = Layout("(t21,a)").write(std::string(42, '*'));
  con.say("");
  con.say(rule);
  // Years that five columns cannot hold widen the year fields of a line; the last year
  // keeps a blank after the " to" before it.
  const std::string years = "(t20,a," + year_descriptor(span_first, 5, 0) + ",a," +
                            year_descriptor(std::min(span_last, best.last), 5) + ")";
  con.say(Layout(years).write(" **  Time span of chronology: ", span_first, " to", span_last));
  con.say(
      Layout("(t20,a,i13)").write(" **  length =               : ", span_last - span_first + 1));
  con.say(Layout("(t20,a,i6)").write(" **  Number of series in chronology: ", n));
  con.say(Layout(years).write(" **  Optimum common interval: ", best.first, " to", best.last));
  con.say(
      Layout("(t20,a,i12)").write(" **  Number of years included: ", best.last - best.first + 1));
  con.say(Layout("(t20,a,i7)").write(" **  Number of Series included:     ", best.series));
  // Up to 22,500,000 rings (4500 series x 5000 years): the text's last blank is the spaced
  // field's, which widens for a count of more than seven digits.
  con.say(Layout("(t20,a,i8+)").write(" **  Number of rings:              ", best.rings));
  con.say(Layout("(t20,a,i12)").write(" **  Length of longest Series: ", maximum(nvals)));
  con.say(Layout("(t20,a,i11)").write(" **  Length of shortest Series: ", minimum(nvals)));
  con.say(rule);
}

}  // namespace dendro
