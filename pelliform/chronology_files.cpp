#include "pelliform/chronology_files.h"

#include <algorithm>
#include <cmath>

#include "pelliform/dialogue.h"
#include "pelliform/driver_plots.h"
#include "pelliform/file_names.h"
#include "series/files/forms.h"
#include "series/files/stop.h"
#include "series/index.h"
#include "series/index_block.h"
#include "series/layout.h"
#include "series/text.h"
#include "series/tucson.h"
#include "statistics/power_estimates.h"

namespace dendro {
namespace {

constexpr int kReplicated = 5;              // sample depth of the years that enter the spectra
constexpr float kLowFrequency = 0.1f;       // periods of 10 years and more
constexpr int kLongChronology = 1000;       // above this the spectra use n / 5 lags
constexpr int kNameColumn = 83;             // title records 2 and 3 carry the name from here
constexpr std::size_t kStandardErrors = 4;  // the column file's two standard errors from here

bool raw_average(const PelliformRun& run) { return run.args.curve_fit_option == pfit::raw_average; }

// The spread over the square root of the sample depth; years without series have none.
float standard_error(float spread, int depth) {
  return depth > 0 ? spread / std::sqrt(static_cast<float>(depth)) : kMissing;
}

struct Chronology {
  const char* name;
  const char* what;  // for the messages
  const EngineMatrix* values;
  int column;
};

// A line on the console and, in upper case, in the report file.
void say_and_report(PelliformRun& run, const std::string& line) {
  run.con.say(line);
  if (run.units.is_open(pelliform_unit::report)) run.report(upper(line));
}

// One row of the column file: the year and depth, then each value in 8 columns with three
// decimals, fewer where a large value (a raw average of big measurements, the empty-cell
// marker) needs the room, so that every value keeps a blank before it.
std::string column_row(int year, int depth, const std::vector<float>& values) {
  std::vector<double> shown;
  for (float v : values) shown.push_back(finite_or(v, kEmptyCell));
  return Layout("(2i6,1x,8f8.3+)").write(year, depth, shown);
}

}  // namespace

SpectrumInput write_column_file(PelliformRun& run) {
  const EngineArgs& a = run.args;
  const bool stabilised = a.rbar_window > 0;
  const int first_year = a.summary().first, n = a.chronology_length();
  std::ostream& out =
      run.units.create(pelliform_unit::chronology, run.stem + pelliform_names::kChronologyColumns);
  std::string heading = raw_average(run)
                            ? "  Year  SSize  RawCrn  AdjCrn  RawSig  AdjSig  RawSee  AdjSee"
                            : "  Year  SSize  StdCrn  SsfCrn  StdSig  SsfSig  StdSee  SsfSee";
  if (stabilised) heading += raw_average(run) ? "  RawStb  AdjStb" : "  StdStb  SsfStb";
  out << heading << '\n';
  SpectrumInput input;
  for (int j = 1; j <= n; ++j) {
    const int depth = a.sample_depth[at(j)];
    const float std_value = a.standard.at(j, 1), ssf_value = a.signal_free.at(j, 1);
    const float std_spread = a.standard.at(j, 2), ssf_spread = a.signal_free.at(j, 2);
    std::vector<float> values{std_value,
                              ssf_value,
                              std_spread,
                              ssf_spread,
                              standard_error(std_spread, depth),
                              standard_error(ssf_spread, depth)};
    if (stabilised) {
      values.push_back(a.stabilised.at(j, 1));
      values.push_back(a.stabilised.at(j, 2));
    }
    // A year without series has no chronology, spread or stabilised value.
    if (depth == 0) {
      for (std::size_t k = 0; k < values.size(); ++k) {
        if (k != kStandardErrors && k != kStandardErrors + 1) values[k] = kEmptyCell;
      }
    }
    out << column_row(first_year + j - 1, depth, values) << '\n';
    if (depth >= kReplicated) {
      input.first.push_back(stabilised ? a.stabilised.at(j, 1) : std_value);
      input.second.push_back(stabilised ? a.stabilised.at(j, 2) : ssf_value);
    }
  }
  run.units.close(pelliform_unit::chronology);
  return input;
}

void write_tucson_file(PelliformRun& run) {
  const EngineArgs& a = run.args;
  const bool raw = raw_average(run);
  std::vector<Chronology> chronologies{
      {raw ? "rawcrn" : "stdcrn", raw ? "raw chronology" : "standard chronology", &a.standard, 1},
      {raw ? "adjcrn" : "ssfcrn", raw ? "adjusted chronology" : "signal-free chronology",
       &a.signal_free, 1}};
  if (a.rbar_window > 0) {
    chronologies.push_back({raw ? "rawstb" : "stdstb",
                            raw ? "stabilised raw chronology" : "stabilised standard chronology",
                            &a.stabilised, 1});
    chronologies.push_back(
        {raw ? "adjstb" : "ssfstb",
         raw ? "stabilised adjusted chronology" : "stabilised signal-free chronology",
         &a.stabilised, 2});
  }
  const std::string name = run.stem + pelliform_names::kChronologyTucson;
  std::ostream& out = run.units.create(pelliform_unit::chronology, name);
  const std::string id = chronology_id(run.data_file);
  const int n = a.chronology_length();

  // The records hold a sample depth of at most 999: deeper years are written as 999.
  std::vector<int> depth(a.sample_depth.begin(), a.sample_depth.begin() + count(n));
  if (const auto deep = depth_above_records(depth)) {
    say_and_report(run,
                   Layout("(' *** sample depths above 999 are written as 999 to ',a,"
                          "'; the largest is ',i0,' in ',i0)")
                       .write(name, depth[*deep], a.summary().first + static_cast<int>(*deep)));
    for (int& d : depth) d = std::min(d, kDeepestRecorded);
  }

  for (const Chronology& c : chronologies) {
    IndexBlock block;
    block.what = c.what;
    block.id = id;
    block.first_year = a.summary().first;
    block.tag = std::string(c.name, 3);
    for (int h = 0; h < 3; ++h) {
      std::string line = field(run.set.title[static_cast<std::size_t>(h)], kTitleLength);
      if (h > 0) line.replace(kNameColumn - 1, 6, c.name);
      block.titles.push_back(line);
    }
    std::vector<float> values(count(n));
    for (int j = 1; j <= n; ++j) values[at(j)] = c.values->at(j, c.column);
    block.values = values;
    block.depth = depth;
    const std::vector<std::string> refusal =
        index_block_refusal(block, name, run.stem + pelliform_names::kChronologyColumns);
    for (const std::string& line : refusal) say_and_report(run, line);
    if (refusal.empty()) write_index_records(out, block);
  }
  run.units.close(pelliform_unit::chronology);
}

int spectrum_lags(int n) { return n > kLongChronology ? n / 5 : n / 3; }

void write_spectra(PelliformRun& run, const SpectrumInput& input) {
  const int m = spectrum_lags(static_cast<int>(input.first.size()));
  const FtfreqResult one = ftfreq(input.first, m), two = ftfreq(input.second, m);
  if (one.status != kFtfreqOk || two.status != kFtfreqOk) {
    run.con.say(Layout("(' *** spectra skipped: ',i5,' years with a sample depth of 5 or more')")
                    .write(input.first.size()));
    return;
  }
  int low = 0;
  for (float f : one.frequency) low += f <= kLowFrequency ? 1 : 0;
  const bool raw = raw_average(run);
  const int all = static_cast<int>(one.frequency.size());
  // Each page saves to a name of its own, so that saving both keeps both.
  plt6(run.plots, one.frequency, one.spectrum, two.spectrum, all,
       raw ? "RAW Power Spectrum" : "STD Power Spectrum",
       raw ? "ADJ Power Spectrum" : "SSF Power Spectrum", "fig1b.ps");
  plt6(run.plots, one.frequency, one.spectrum, two.spectrum, low,
       raw ? "RAW >10Yr Spectrum" : "STD >10Yr Spectrum",
       raw ? "ADJ >10Yr Spectrum" : "SSF >10Yr Spectrum", "fig1b_10yr.ps");

  std::ostream& out =
      run.units.create(pelliform_unit::data, spectra_stem(run.data_file) + kSpectraSuffix);
  out << (raw ? " FREQUENCY   POWER_RAW_CRN   POWER_ADJ_CRN"
              : " FREQUENCY   POWER_STD_CRN   POWER_SSF_CRN")
      << '\n';
  const Layout row("(f9.5,f14.5,f16.5)");
  for (int i = 0; i < all; ++i) {
    const auto k = static_cast<std::size_t>(i);
    out << row.write(one.frequency[k], one.spectrum[k], two.spectrum[k]) << '\n';
  }
  run.units.close(pelliform_unit::data);
}

void end_of_run(PelliformRun& run) {
  const EngineArgs& a = run.args;
  const auto n = count(a.chronology_length());
  const bool complete = a.sample_depth.size() >= n &&
                        static_cast<std::size_t>(a.standard.rows) >= n &&
                        static_cast<std::size_t>(a.signal_free.rows) >= n &&
                        (a.rbar_window <= 0 || static_cast<std::size_t>(a.stabilised.rows) >= n);
  if (!complete) throw Stop("*** the engine returned no chronologies to write", kFailureStatus);
  const SpectrumInput input = write_column_file(run);
  write_tucson_file(run);
  write_spectra(run, input);
  name_earlier_files(run.units.files(), run.stem + "_", [&run](const std::string& line) {
    run.con.say(line);
    run.report(line);
  });
  run.units.commit(Commit::with_data_file);
  for (const std::string& line : run.units.files().take_notes()) run.con.say(line);
  for (const std::string& line : run.units.files().close_journals()) run.con.say(line);
  run.con.say(std::string("Normal termination of program Pelliform_Version ") +
              pelliform_names::kVersion);
  run.con.say("");
  run.con.pause("Hit RETURN to Quit");
}

}  // namespace dendro
