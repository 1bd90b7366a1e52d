#include "pelliform/series_menu.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "pelliform/censored_files.h"
#include "pelliform/censoring.h"
#include "pelliform/dialogue.h"
#include "series/blocks.h"
#include "series/descriptive.h"
#include "series/files/stop.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kShortestTruncated = 20;  // values a truncated series must keep

constexpr char kWholeNumber[] = "a whole number";

// The answer to `question` as a whole number; nothing, after saying why, when it is not one.
std::optional<long long> whole_number(PelliformRun& run, const char* question) {
  const Answer a = ask50(run.con, question, 10);
  const std::optional<long long> v = a.integer();
  if (!v) run.con.say(entry_refusal(a.typed, kWholeNumber));
  return v;
}

// An integer answer; an answer that is not one is refused and asked for again.
int ask_integer(PelliformRun& run, const char* question) {
  for (int round = 0;; ++round) {
    if (round > 0) run.con.again();
    if (std::optional<long long> v = whole_number(run, question)) {
      return static_cast<int>(std::clamp<long long>(*v, -99999999, 99999999));
    }
  }
}

// The five-column field of a typed year after a text that ends in a blank, wider for a year
// that needs more.
std::string typed_year(int year) { return year_descriptor(year, 5, 0); }

void no_series_warning(PelliformRun& run, const std::string& line) {
  run.con.say(line);
  run.con.say("    Try again or quit the program.");
  run.con.say("");
  run.con.pause("Hit Return to continue");
}

Answer show_menu(PelliformRun& run) {
  run.con.say("Series processing options (/ to exit):");
  run.con.say(Layout("(a,t45,a)").write("All series processed as read in", "<1>"));
  const char* items[] = {
      "Keep series with MINIMUM SEGMENT length", "Keep series BEFORE a MAXIMUM start year",
      "Keep series AFTER a MINIMUM start year", "Truncate BEFORE a MINIMUM start year",
      "Truncate AFTER a MAXIMUM end year"};
  for (int k = 0; k < 5; ++k) run.con.say(Layout("(a,t46,i1)").write(items[k], k + 2));
  run.con.prompt(Layout("(a,t46,i1,t50,'==> ')").write("Keep series over a COMMON PERIOD only", 7));
  return run.con.read(1).or_quit();
}

// The reduction of one menu item; false when nothing was reduced and the menu comes again.
struct Reduction {
  bool done = false;
  int value = 0, second = 0;
};

Reduction by_length(PelliformRun& run) {
  const int length = ask_integer(run, "Enter the MINIMUM segment length");
  const bool any = std::any_of(run.set.rows.begin(), run.set.rows.end(),
                               [&](const YearRow& r) { return r.count >= length; });
  if (!any) {
    no_series_warning(
        run,
        Layout("('*** Warning: No series were found with at least ',i5,' values')").write(length));
    return {};
  }
  cenbyseg(length, run.set, run.con);
  run.report(Layout("('DATA ARE CENSORED BY MINIMUM SEGMENT LENGTH: ',i5)").write(length));
  return {true, length, length};
}

Reduction by_start(PelliformRun& run, bool before) {
  const int year =
      ask_integer(run, before ? "Enter the MAXIMUM starting year" : "Enter the MINIMUM start year");
  const bool kept = before ? cenbyify(year, run.set, run.con) : cenayify(year, run.set, run.con);
  if (!kept) {
    no_series_warning(run, Layout("('*** Warning: No series were found that start ON or ',a," +
                                  typed_year(year) + ")")
                               .write(before ? "BEFORE " : "AFTER ", year));
    return {};
  }
  run.report(Layout("(a," + typed_year(year) + ")")
                 .write(before ? "DATA ARE CENSORED BY MAXIMUM START YEAR: "
                               : "DATA ARE CENSORED BY MINIMUM START YEAR: ",
                        year));
  return {true, year, year};
}

Reduction common_period(PelliformRun& run) {
  // Each pass reads answers, so the end of the input ends the loop.
  for (int round = 0;; ++round) {
    if (round > 0) run.con.again();
    const std::optional<long long> start = whole_number(run, "Enter the common start year");
    if (!start) continue;
    const std::optional<long long> end = whole_number(run, "Enter the common end year");
    if (!end) continue;
    const int a = static_cast<int>(*start), b = static_cast<int>(*end);
    if (b < a) {
      run.con.say("*** The common end year comes before the common start year.");
      continue;
    }
    const bool any = std::any_of(run.set.rows.begin(), run.set.rows.end(),
                                 [&](const YearRow& r) { return r.first <= a && r.last >= b; });
    if (!any) {
      no_series_warning(run, Layout("('*** Warning: No series were found that cover '," +
                                    typed_year(a) + ",' to '," + typed_year(b) + ")")
                                 .write(a, b));
      return {};
    }
    cenbycom(a, b, run.set, run.con);
    run.report(Layout("('DATA ARE CENSORED BY COMMON START AND END YEARS: '," + typed_year(a) +
                      "," + year_descriptor(b, 6) + ")")
                   .write(a, b));
    return {true, a, b};
  }
}

[[noreturn]] void review_truncation(PelliformRun& run) {
  run.con.say("");
  run.con.say("Please evaluate your truncation choice and see if it is");
  run.con.say("appropriate for your data. You might want to consider deleting");
  run.con.say("these series from further analysis if you want to truncate.");
  throw Stop(" Review your truncation choice!", kFailureStatus);
}

void short_series(PelliformRun& run, std::size_t k, const char* where, int year) {
  run.con.say("");
  run.con.say(Layout("('Series  ',a8,'  truncation ',a," + year_descriptor(year, 4, 0) +
                     ",' only leaves ',i4,'  values for analysis.')")
                  .write(run.set.ids[k], where, year, run.set.rows[k].count));
  review_truncation(run);
}

}  // namespace

SegmentStats segment_stats(const SeriesSet& set) {
  std::vector<float> lengths;
  for (const YearRow& r : set.rows) lengths.push_back(static_cast<float>(r.count));
  const FiveNumbers f = mfs(lengths);
  SegmentStats s;
  s.stat = {static_cast<int>(f.minimum), static_cast<int>(f.lower_hinge),
            static_cast<int>(f.median), static_cast<int>(f.upper_hinge),
            static_cast<int>(f.maximum)};
  for (const YearRow& r : set.rows) {
    s.count[0] += r.count == s.stat[0] ? 1 : 0;
    for (int j = 1; j <= 3; ++j)
      s.count[static_cast<std::size_t>(j)] +=
          r.count >= s.stat[static_cast<std::size_t>(j)] ? 1 : 0;
    s.count[4] += r.count == s.stat[4] ? 1 : 0;
  }
  return s;
}

void segment_report(PelliformRun& run, bool censored) {
  const SegmentStats s = segment_stats(run.set);
  run.median_length = s.stat[2];
  const std::string heading = Layout("(/a,t30,'   MIN   25%   MED   75%   MAX')")
                                  .write(censored ? "CENSORED DATA SET" : "ORIGINAL DATA SET");
  const Layout row("(a,t30,5i6)");
  run.con.say(heading);
  run.con.say(row.write("Segment length statistics:", s.stat));
  run.con.say(row.write("Series .ge. segment length:", s.count));
  run.report(heading);
  run.report(row.write("SEGMENT LENGTH STATISTICS:", s.stat));
  run.report(row.write("SERIES .GE. SEGMENT LENGTH:", s.count));
}

void truncate_before(int year, PelliformRun& run) {
  for (int s = 0; s < run.set.count(); ++s) {
    const auto k = static_cast<std::size_t>(s);
    YearRow& r = run.set.rows[k];
    if (r.first >= year) continue;
    std::vector<float>& v = run.set.values[k];
    const std::ptrdiff_t cut = std::min<std::ptrdiff_t>(year - r.first, std::ssize(v));
    v.erase(v.begin(), v.begin() + cut);
    // The series keeps its age: its first ring now lies `cut` rings further from the pith.
    run.set.origins[k].rings_cut += static_cast<int>(cut);
    r = YearRow{year, r.last, r.last - year + 1};
    run.set.summary.first = year;
    if (r.count < kShortestTruncated) short_series(run, k, "before ", year);
  }
  run.report(Layout("('DATA ARE TRUNCATED BEFORE MINIMUM START YEAR: '," + typed_year(year) + ")")
                 .write(year));
}

void truncate_after(int year, PelliformRun& run) {
  for (int s = 0; s < run.set.count(); ++s) {
    const auto k = static_cast<std::size_t>(s);
    YearRow& r = run.set.rows[k];
    if (r.last <= year) continue;
    std::vector<float>& v = run.set.values[k];
    v.resize(static_cast<std::size_t>(std::max(year - r.first + 1, 0)));
    r = YearRow{r.first, year, year - r.first + 1};
    run.set.summary.last = year;
    if (r.count < kShortestTruncated) short_series(run, k, "after ", year);
  }
  run.report(Layout("('DATA ARE TRUNCATED AFTER MAXIMUM END YEAR: '," + typed_year(year) + ")")
                 .write(year));
}

void series_menu(PelliformRun& run) {
  char item = ' ';
  Reduction done;
  // Each pass reads an answer, so the end of the input ends the loop.
  while (!done.done) {
    const Answer a = show_menu(run);
    item = a.blank() ? '1' : a.first();
    switch (item) {
      case '1':
        done.done = true;
        break;
      case '2':
        done = by_length(run);
        break;
      case '3':
        done = by_start(run, true);
        break;
      case '4':
        done = by_start(run, false);
        break;
      case '5': {
        const int y = ask_integer(run, "Truncate series BEFORE a MINIMUM start year");
        truncate_before(y, run);
        done = {true, y, y};
        break;
      }
      case '6': {
        const int y = ask_integer(run, "Truncate series AFTER a MAXIMUM end year");
        truncate_after(y, run);
        done = {true, y, y};
        break;
      }
      case '7':
        done = common_period(run);
        break;
      default:
        run.con.say(entry_refusal(a.typed, "a menu choice between 1 and 7"));
        break;
    }
    if (!done.done) run.con.again();  // nothing reduced: the menu again
  }
  if (item != '1') {
    savcen(item, done.value, done.second, run.set, run.data_file, run.units,
           pelliform_unit::chronology, run.con);
  }
  run.saved = run.set;
  if (item != '1') segment_report(run, true);
}

}  // namespace dendro
