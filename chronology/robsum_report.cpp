// Bootstrap limits, variance stabilisation and the statistics report of a mean chronology.
#include <algorithm>
#include <array>
#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

#include "chronology/robsum_steps.h"
#include "detrending/decade_plot.h"
#include "series/autoregression.h"
#include "series/biweight.h"
#include "series/blocks.h"
#include "series/bootstrap.h"
#include "series/console.h"
#include "series/correlation.h"
#include "series/descriptive.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/stabilise.h"
#include "series/store.h"

namespace dendro {
namespace {

constexpr int kBootstrapMinimumDepth = 6;
constexpr int kReplicates = 1000;
constexpr int kReplicatesAtMinimum = 700;  // exactly six values
constexpr float kConfidenceLevel = 95.0f;
constexpr float kBootstrapConstant = 7.5f;
constexpr float kGainCap = 9999.0f;  // a larger gain prints as this
constexpr int kAcfLags = 10;
constexpr int kModelSize = 11;  // the chronology's model is searched up to order 10
// The stabilisation methods that are not a spline.
constexpr int kRbarWeighted = 1;
constexpr int kBothMethods = 2;  // rbar-weighted, then a spline of 67% of the length
constexpr int kCombinedSplinePercent = -67;
// The decade-mean plots of the stabilisation go to the general output file whatever the
// printout level: a print option below 5 selects the file, the mode is then not read.
constexpr int kDecadePlotToFile = 4;
constexpr int kDecadePlotMode = 0;

}  // namespace

int bootstrap_replicates(int depth) {
  if (depth < kBootstrapMinimumDepth) return 0;
  return depth == kBootstrapMinimumDepth ? kReplicatesAtMinimum : kReplicates;
}

YearLimits bootstrap_limits(std::span<const float> values, float mean, int mean_type, Rand& rand) {
  const int b_count = bootstrap_replicates(static_cast<int>(values.size()));
  if (b_count == 0) return {mean, mean};
  std::vector<float> replicates(static_cast<std::size_t>(b_count));
  SampleLocations samples(values, kBootstrapConstant, mean_type);
  for (float& replicate : replicates) replicate = samples.resample(rand);
  // A degenerate replicate set leaves the BCa limits at the mean, as a year with too few
  // values has them.
  const BootstrapLimits limits = mccon(values, kConfidenceLevel, mean, replicates, mean_type);
  return {limits.bca.lower, limits.bca.upper};
}

namespace {

int decade_step(int n) {
  return n <= 100 ? 5 : n <= 500 ? 10 : n <= 1000 ? 20 : n <= 2000 ? 50 : 100;
}

}  // namespace

Stabilisation stabilise(std::span<float> chronology, std::span<const int> depth, int first_year,
                        float rbar, int method) {
  // The numerical routines' console lines are kept for the report.
  std::istringstream no_input;
  std::ostringstream notes;
  Console console(no_input, notes);
  Stabilisation st;
  st.method = method;
  st.rbar_below_zero = !(rbar >= 0.0f);
  const std::vector<float> before(chronology.begin(), chronology.end());
  st.curve.assign(chronology.size(), 1.0f);
  // Worked ends holding what the last method worked on (the absolute deviations of a spline,
  // the chronology before the rbar weighting), curve its curve or factors.
  st.worked.assign(chronology.begin(), chronology.end());
  st.spline_years = method;
  if (method != kRbarWeighted && method != kBothMethods) {
    stabit1(st.worked, st.curve, chronology, depth, st.spline_years, &console);
  }
  if ((method == kRbarWeighted || method == kBothMethods) && !st.rbar_below_zero) {
    std::fill(st.curve.begin(), st.curve.end(), 1.0f);
    ReferencePeriod whole{first_year, first_year + static_cast<int>(chronology.size()) - 1};
    stabbm(st.worked, depth, first_year, whole, rbar, chronology, st.curve, &console);
  }
  if (method == kBothMethods) {
    // Both methods: the spline of 67% of the length on the rbar-weighted chronology.
    st.spline_years = kCombinedSplinePercent;
    st.worked.assign(chronology.begin(), chronology.end());
    stabit1(st.worked, st.curve, chronology, depth, st.spline_years, &console);
  }
  st.notes = notes.str();
  for (std::size_t i = 0; i < chronology.size(); ++i) {
    st.shift.push_back(chronology[i] - before[i]);
  }
  return st;
}

void write_stabilisation(const MeanChronology& c, const MeanRequest& request, Units& units,
                         Console& console) {
  const Stabilisation& st = c.stabilisation;
  if (!st.applied()) return;
  const int method = st.method;
  const int printout = request.options[opt::printout];
  if (printout >= printout_level::summary) {
    if (method == kRbarWeighted && !st.rbar_below_zero) {
      units.write(unit::out, Layout("(/t2,'*** variance stabilized with ',"
                                    "'briffa rbar-weighted method ***')")
                                 .write());
    } else if (method == kRbarWeighted) {
      units.write(unit::out, Layout("(/t2,'*** briffa rbar-weighted ',"
                                    "'stabilization not done: rbar.lt.0 ***')")
                                 .write());
    } else {
      units.write(unit::out,
                  Layout("(/t2,'*** variance stabilized with ','spline curve fit ***')").write());
    }
  }
  const int step = decade_step(c.length());
  if (fit_plots_printed(printout)) {
    std::vector<float> before;
    for (const MeanYear& y : c.years) before.push_back(y.mean);
    const std::vector<float> flat(before.size(), 1.0f);
    units.write(unit::out, Layout("(/t2,'*** series before variance stabilization ***')").write());
    pltdec1(before, flat, before, c.first_year, step, units, unit::out, kDecadePlotToFile,
            kDecadePlotMode, console);
  }
  std::istringstream notes(st.notes);
  for (std::string line; std::getline(notes, line);) console.say(line);
  if (fit_plots_printed(printout)) {
    units.write(unit::out, Layout("(/t2,'*** curve fit and series after ',"
                                  "'variance stabilization ***')")
                               .write());
    if (method != kRbarWeighted) {
      units.write(unit::out,
                  Layout("(t2,'spline curve fit used: ',i5,'  years')").write(st.spline_years));
    }
    pltdec1(st.worked, st.curve, c.chronology, c.first_year, step, units, unit::out,
            kDecadePlotToFile, kDecadePlotMode, console);
  }
}

namespace {

// Headings by the mean type and the kind of the chronology.
std::string statistics_heading(int mean_type, MeanKind kind) {
  const int k = kind == MeanKind::raw        ? 0
                : kind == MeanKind::standard ? 1
                : kind == MeanKind::residual ? 2
                                             : 3;
  if (mean_type == mean_kind::arithmetic) {
    const char* texts[] = {
        "|---------------- gaussian mean raw data chronology statistics ----------------|",
        "|---------------- gaussian mean standard chronology statistics ----------------|",
        "|---------------- gaussian mean residual chronology statistics ----------------|",
        "|-------------- gaussian mean age-aligned chronology statistics ---------------|"};
    return texts[k];
  }
  if (mean_type == mean_kind::biweight) {
    const char* texts[] = {
        "|----------------- robust mean raw data chronology statistics -----------------|",
        "|----------------- robust mean standard chronology statistics -----------------|",
        "|----------------- robust mean residual chronology statistics -----------------|",
        "|--------------- robust mean age-aligned chronology statistics ----------------|"};
    return texts[k];
  }
  if (mean_type < 0) {
    const char* tails[] = {"raw data chronology statistics ----------------|",
                           "standard chronology statistics ----------------|",
                           "residual chronology statistics ----------------|",
                           "age-aligned chronology statistics --------------|"};
    return Layout("('|--------------- ',i3,'th quantile ',a)").write(-mean_type, tails[k]);
  }
  return "";
}

// Five-number summary of a list, zeros for an empty one.
FiveNumbers summary_of(std::vector<float> values) {
  if (values.empty()) return FiveNumbers{0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
  return mfs(values);
}

// The yearly columns the statistics read.
struct YearColumns {
  std::vector<int> depth;
  std::vector<float> std_dev;
};

YearColumns year_columns(const MeanChronology& c) {
  YearColumns y;
  for (const MeanYear& year : c.years) {
    y.depth.push_back(year.depth);
    y.std_dev.push_back(year.std_dev);
  }
  return y;
}

void write_efficiency(MeanChronology& c, const YearColumns& y, int series_count, int mean_type,
                      Units& units) {
  const EfficiencyLists& e = c.efficiency;
  PearsnResult fit;
  if (series_count > 1) fit = pearsn1(c.chronology, y.std_dev, y.depth);
  units.write(unit::out, Layout("(/t2,'mean indices vs their standard deviations',"
                                "'       robust mean efficiency results'/"
                                "t2,'     correlation    slope    intercept',13x,"
                                "'# improved    # unimproved')")
                             .write());
  units.write(unit::out,
              Layout("(f13.3,f13.3,f11.3,i23,i15)")
                  .write(fit.r, fit.slope, fit.intercept, e.gains.size(), e.losses.size()));
  if (mean_type != mean_kind::biweight) return;
  FiveNumbers gains = summary_of(e.gains);
  gains.maximum = std::min(gains.maximum, kGainCap);
  const FiveNumbers losses = summary_of(e.losses);
  units.write(unit::out, Layout("(/t2,'|---------------- robust mean efficiency gain and loss ',"
                                "'results ----------------|')")
                             .write());
  const char* heads[] = {
      " gain           range            gain        hinge       "
      "hinge         gain",
      " loss           range            loss        hinge       "
      "hinge         loss"};
  const FiveNumbers* lists[] = {&gains, &losses};
  for (int k = 0; k < 2; ++k) {
    units.write(unit::out,
                Layout("(/t2,'median      interquartile      minimum       lower       ',"
                       "'upper       maximum'/t2,a)")
                    .write(heads[k]));
    const FiveNumbers& f = *lists[k];
    units.write(unit::out,
                Layout("(f8.2+,2f16.2+,f13.2+,f12.2+,f13.2+)")
                    .write(f.median, f.spread, f.minimum, f.lower_hinge, f.upper_hinge, f.maximum));
  }
}

const char* code_word(MeanKind code) {
  return code == MeanKind::raw ? "raw data" : code == MeanKind::standard ? "standard" : "residual";
}

// The segment length summary of the series.
void write_segment_lengths(const Tsi1& tsi1, Units& units) {
  std::vector<float> lengths;
  for (int i = 1; i <= tsi1.count; ++i) {
    const SeriesYears& series = tsi1.years[at(i)];
    lengths.push_back(static_cast<float>(series.ily - series.ify + 1));
  }
  const FiveNumbers f = summary_of(lengths);
  units.write(unit::out, Layout("(/t2,'|--------------------- segment length summary statistics ',"
                                "'----------------------|'/"
                                "/t2,'median      interquartile      minimum       lower       ',"
                                "'upper       maximum'/"
                                "t2,'length          range           length       hinge       ',"
                                "'hinge        length')")
                             .write());
  units.write(unit::out,
              Layout("(f9.0,f15.0,f16.0,f13.0,f12.0,f14.0)")
                  .write(f.median, f.spread, f.minimum, f.lower_hinge, f.upper_hinge, f.maximum));
}

// Autocorrelations and the autoregressive model of the chronology.
void write_chronology_model(MeanChronology& c, const YearColumns& y, const MeanRequest& request,
                            Units& units) {
  const Autocorrelation acf = acf1(c.chronology, y.depth, kAcfLags);
  const char* kind_text = code_word(request.kind);
  units.write(unit::out, Layout("(/t2,'|----------- ',a,' chronology ',"
                                "'auto and partial autocorrelations ------------|')")
                             .write(kind_text));
  units.write(unit::out, Layout("(/t2,'lag',t16,'t-1    t-2    t-3    t-4    ',"
                                "'t-5    t-6    t-7    t-8    t-9   t-10')")
                             .write());
  const auto first10 = [](const std::vector<float>& v) {
    return std::span<const float>(v).first(std::min<std::size_t>(v.size(), kAcfLags));
  };
  units.write(unit::out, Layout("(t2,'acf',t12,10f7.3)").write(first10(acf.r)));
  units.write(unit::out, Layout("(t2,'pacf',t12,10f7.3)").write(first10(acf.partial)));
  units.write(unit::out, Layout("(t2,'95% c.l.',t12,10f7.3)").write(first10(acf.limits)));

  const BurgFit model = memcof1(c.chronology, y.depth, kModelSize, kOrderByCriterion);
  units.write(unit::out, Layout("(/t2,'|------------------ ',a,' chronology ',"
                                "'autoregressive model ------------------|')")
                             .write(code_word(request.code)));
  units.write(unit::out, Layout("(/t2,'ord    rsq    t-1    t-2    t-3    t-4    ',"
                                "'t-5    t-6    t-7    t-8    t-9   t-10')")
                             .write());
  units.write(unit::out, Layout("(t2,i2,1x,11f7.3)")
                             .write(model.order, model.explained,
                                    std::span<const float>(model.coefficients)
                                        .first(static_cast<std::size_t>(model.order))));
}

}  // namespace

void write_chronology_statistics(MeanChronology& c, const Tsi1& tsi1, const MeanRequest& request,
                                 Units& units) {
  const int n = c.length();
  const int mean_type = request.options[opt::mean_chronology];
  const YearColumns y = year_columns(c);
  const Moments m = moment1(c.chronology, y.depth);
  const std::string heading = statistics_heading(mean_type, request.kind);
  if (!heading.empty()) units.write(unit::out, Layout("(/t2,a)").write(heading));
  units.write(unit::out, Layout("(/t3,'first    last    total    mean    stdrd    skew    ',"
                                "'kurtosis    mean    serial'/"
                                "t4,'year    year    years   index     dev     coeff     ',"
                                "'coeff     sens     corr')")
                             .write());
  const Layout row(n < 1000 ? "(i7,i8,i8,1x,2f8.3+,f9.3+,f11.3+,2f9.3+)"
                            : "(i7,i8,i9,2f8.3+,f9.3+,f11.3+,2f9.3+)");
  units.write(unit::out, row.write(c.first_year, c.last_year(), n, m.mean, m.std_dev, m.skewness,
                                   m.kurtosis, m.mean_sensitivity, m.autocorrelation));
  if (mean_type == mean_kind::arithmetic || mean_type == mean_kind::biweight) {
    write_efficiency(c, y, tsi1.count, mean_type, units);
  }
  if (request.kind == MeanKind::age_aligned) return;
  if (request.code == MeanKind::raw) write_segment_lengths(tsi1, units);
  write_chronology_model(c, y, request, units);
}

}  // namespace dendro
