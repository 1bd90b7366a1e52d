#include "pelliform/censoring.h"

#include <algorithm>
#include <functional>
#include <string>

#include "series/layout.h"

namespace dendro {
namespace {

using Test = std::function<bool(const YearRow&)>;

// Closes the passing series up towards the front; returns the summary row they span.
SetSpan keep(SeriesSet& set, const Test& passes) {
  set.keep_if([&](std::size_t k) { return passes(set.rows[k]); });
  SetSpan span;
  for (const YearRow& r : set.rows) {
    span.first = std::min(span.first, r.first);
    span.last = std::max(span.last, r.last);
  }
  return span;
}

bool any_passes(const SeriesSet& set, const Test& passes) {
  return std::any_of(set.rows.begin(), set.rows.end(), passes);
}

void shortened(Console& con, int years) {
  con.say(Layout("(/'Total chronology length shortened: ',i6,'  years')").write(years));
}

// The size of the reduced set under its label (none for the common period).
void report(const SeriesSet& set, const char* label, Console& con) {
  con.say(size_heading(set.summary));
  con.say(size_row(label, set.count(), set.summary, "  Years total time span"));
}

// The part of the scheme that cenbyseg, cenayify and cenbyify share.
void censor(SeriesSet& set, const Test& passes, const char* label, bool show_span, Console& con) {
  const int span_before = set.summary.span();
  set.summary = keep(set, passes);
  if (show_span) {
    con.say(Layout("(3i12)").write(set.summary.last, set.summary.first, set.summary.span()));
  }
  if (span_before > set.summary.span()) shortened(con, span_before - set.summary.span());
  report(set, label, con);
}

}  // namespace

void cenbyseg(int min_length, SeriesSet& set, Console& con) {
  censor(
      set, [&](const YearRow& r) { return r.count >= min_length; },
      "Min segment length series:", false, con);
}

bool cenayify(int min_start, SeriesSet& set, Console& con) {
  const Test passes = [&](const YearRow& r) { return r.first >= min_start; };
  if (!any_passes(set, passes)) return false;
  censor(set, passes, "Min starting year series:", true, con);
  return true;
}

bool cenbyify(int max_start, SeriesSet& set, Console& con) {
  const Test passes = [&](const YearRow& r) { return r.first <= max_start; };
  if (!any_passes(set, passes)) return false;
  censor(set, passes, "Max starting year series:", false, con);
  return true;
}

void cenbycom(int start, int end, SeriesSet& set, Console& con) {
  const int span_before = set.summary.span();
  keep(set, [&](const YearRow& r) { return r.first <= start && r.last >= end; });
  set.summary = SetSpan{start, end};
  const int length = end - start + 1;
  shortened(con, span_before - length);
  // Every kept series now begins with its value of the common start year.
  for (int s = 0; s < set.count(); ++s) {
    const auto k = static_cast<std::size_t>(s);
    std::vector<float>& v = set.values[k];
    const auto shift = static_cast<std::ptrdiff_t>(start - set.rows[k].first);
    v = std::vector<float>(v.begin() + shift, v.begin() + shift + length);
    set.rows[k] = YearRow{start, end, length};
    set.origins[k].rings_cut += static_cast<int>(shift);
  }
  report(set, "", con);
}

}  // namespace dendro
