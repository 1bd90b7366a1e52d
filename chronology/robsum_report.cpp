// Bootstrap limits, variance stabilisation and the statistics report of a mean chronology.
#include <algorithm>
#include <array>
#include <cstddef>
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
#include "series/layout.h"
#include "series/stabilise.h"
#include "series/store.h"
#include "series/units.h"

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
constexpr int kCombinedSplinePercent = -67;  // option 13 = 2: 67% of the length
// The decade-mean plots of the stabilisation go to the general output file whatever the
// printout level: a print option below 5 selects the file, the mode is then not read.
constexpr int kDecadePlotToFile = 4;
constexpr int kDecadePlotMode = 0;

}  // namespace

YearLimits bootstrap_limits(std::span<const float> values, float mean, int mean_type,
                            Rand& rand) {
  const int depth = static_cast<int>(values.size());
  if (depth < kBootstrapMinimumDepth) return {mean, mean};
  const int b_count = depth == kBootstrapMinimumDepth ? kReplicatesAtMinimum : kReplicates;
  std::vector<float> replicates(static_cast<std::size_t>(b_count));
  std::vector<float> sample(values.size());
  for (float& replicate : replicates) {
    // Draw depth values with replacement: position int(u * depth) + 1 for u in [0, 1).
    for (float& v : sample) v = values[static_cast<std::size_t>(rand.pick(depth))];
    replicate = biwgt(sample, kBootstrapConstant, mean_type).location;
  }
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

void stabilise_chronology(const ChronologyView& c, float rbar, const RobsumSettings& s,
                          Units& units, Console& console) {
  if (s.code == 'n' || s.stabilise == 0) return;
  std::vector<float> before(c.chronology.begin(), c.chronology.end());
  std::vector<float> curve(c.chronology.size(), 1.0f);
  if (s.printout >= 1) {
    if (s.stabilise == 1 && rbar >= 0.0f) {
      units.write(unit::out, Layout("(/t2,'*** variance stabilized with ',"
                                    "'briffa rbar-weighted method ***')")
                                 .write());
    } else if (s.stabilise == 1) {
      units.write(unit::out, Layout("(/t2,'*** briffa rbar-weighted ',"
                                    "'stabilization not done: rbar.lt.0 ***')")
                                 .write());
    } else {
      units.write(unit::out,
                  Layout("(/t2,'*** variance stabilized with ','spline curve fit ***')").write());
    }
  }
  const int step = decade_step(static_cast<int>(c.chronology.size()));
  if (s.printout >= 4) {
    units.write(unit::out, Layout("(/t2,'*** series before variance stabilization ***')").write());
    pltdec1(before, curve, c.chronology, c.first_year, step, units, unit::out, kDecadePlotToFile,
            kDecadePlotMode, console);
  }
  // Work A ends holding what the last method worked on (the absolute deviations of a spline,
  // the chronology before the rbar weighting), work B its curve or factors.
  std::vector<float> work_a = before;
  int spline_years = s.stabilise;
  if (s.stabilise != 1 && s.stabilise != 2) {
    stabit1(work_a, curve, c.chronology, c.depth, spline_years, &console);
  }
  if ((s.stabilise == 1 || s.stabilise == 2) && rbar >= 0.0f) {
    std::fill(curve.begin(), curve.end(), 1.0f);
    ReferencePeriod whole{c.first_year, c.last_year};
    stabbm(work_a, c.depth, c.first_year, whole, rbar, c.chronology, curve, &console);
  }
  if (s.stabilise == 2) {
    // Both methods: the spline of 67% of the length on the rbar-weighted chronology.
    spline_years = kCombinedSplinePercent;
    work_a.assign(c.chronology.begin(), c.chronology.end());
    stabit1(work_a, curve, c.chronology, c.depth, spline_years, &console);
  }
  if (s.printout >= 4) {
    units.write(unit::out, Layout("(/t2,'*** curve fit and series after ',"
                                  "'variance stabilization ***')")
                               .write());
    if (s.stabilise != 1) {
      units.write(unit::out, Layout("(t2,'spline curve fit used: ',i5,'  years')")
                                 .write(spline_years));
    }
    pltdec1(work_a, curve, c.chronology, c.first_year, step, units, unit::out, kDecadePlotToFile,
            kDecadePlotMode, console);
  }
}

namespace {

// Headings by the mean type and the kind of the chronology.
std::string statistics_heading(int mean_type, char kind) {
  const int k = kind == 'n' ? 0 : kind == 's' ? 1 : kind == 'r' ? 2 : 3;
  if (mean_type == 1) {
    const char* texts[] = {
        "|---------------- gaussian mean raw data chronology statistics ----------------|",
        "|---------------- gaussian mean standard chronology statistics ----------------|",
        "|---------------- gaussian mean residual chronology statistics ----------------|",
        "|-------------- gaussian mean age-aligned chronology statistics ---------------|"};
    return texts[k];
  }
  if (mean_type == 2) {
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

void write_efficiency(const ChronologyView& c, const EfficiencyLists& e, int series_count,
                      const RobsumSettings& s, Units& units) {
  PearsnResult fit;
  if (series_count > 1) fit = pearsn1(c.chronology, c.std_dev, c.depth);
  units.write(unit::out, Layout("(/t2,'mean indices vs their standard deviations',"
                                "'       robust mean efficiency results'/"
                                "t2,'     correlation    slope    intercept',13x,"
                                "'# improved    # unimproved')")
                             .write());
  units.write(unit::out, Layout("(f13.3,f13.3,f11.3,i23,i15)")
                             .write(fit.r, fit.slope, fit.intercept, e.gains.size(),
                                    e.losses.size()));
  if (s.mean_type != 2) return;
  FiveNumbers gains = summary_of(e.gains);
  gains.maximum = std::min(gains.maximum, kGainCap);
  const FiveNumbers losses = summary_of(e.losses);
  const Layout row("(f8.2,f16.2,f16.2,f13.2,f12.2,f13.2)");
  units.write(unit::out, Layout("(/t2,'|---------------- robust mean efficiency gain and loss ',"
                                "'results ----------------|')")
                             .write());
  const char* heads[] = {" gain           range            gain        hinge       "
                         "hinge         gain",
                         " loss           range            loss        hinge       "
                         "hinge         loss"};
  const FiveNumbers* lists[] = {&gains, &losses};
  for (int k = 0; k < 2; ++k) {
    units.write(unit::out, Layout("(/t2,'median      interquartile      minimum       lower       ',"
                                  "'upper       maximum'/t2,a)")
                               .write(heads[k]));
    const FiveNumbers& f = *lists[k];
    units.write(unit::out, row.write(f.median, f.spread, f.minimum, f.lower_hinge,
                                     f.upper_hinge, f.maximum));
  }
}

const char* code_word(char code) {
  return code == 'n' ? "raw data" : code == 's' ? "standard" : "residual";
}

}  // namespace

void write_chronology_statistics(const ChronologyView& c, const EfficiencyLists& efficiency,
                                 const Tsi1& tsi1, const RobsumSettings& s, Units& units) {
  const int n = static_cast<int>(c.chronology.size());
  const Moments m = moment1(c.chronology, c.depth);
  const std::string heading = statistics_heading(s.mean_type, s.kind);
  if (!heading.empty()) units.write(unit::out, Layout("(/t2,a)").write(heading));
  units.write(unit::out, Layout("(/t3,'first    last    total    mean    stdrd    skew    ',"
                                "'kurtosis    mean    serial'/"
                                "t4,'year    year    years   index     dev     coeff     ',"
                                "'coeff     sens     corr')")
                             .write());
  const Layout row(n < 1000 ? "(i7,i8,i8,1x,2f8.3,f9.3,f11.3,f9.3,f9.3)"
                            : "(i7,i8,i9,2f8.3,f9.3,f11.3,f9.3,f9.3)");
  units.write(unit::out, row.write(c.first_year, c.last_year, n, m.mean, m.std_dev, m.skewness,
                                   m.kurtosis, m.mean_sensitivity, m.autocorrelation));
  if (s.mean_type == 1 || s.mean_type == 2) write_efficiency(c, efficiency, tsi1.count, s, units);
  if (s.kind == 'b') return;

  // Segment lengths of the raw series.
  if (s.code == 'n') {
    std::vector<float> lengths;
    for (int i = 1; i <= tsi1.count; ++i) {
      const SeriesYears& y = tsi1.years[static_cast<std::size_t>(i - 1)];
      lengths.push_back(static_cast<float>(y.ily - y.ify + 1));
    }
    const FiveNumbers f = summary_of(lengths);
    units.write(unit::out, Layout("(/t2,'|--------------------- segment length summary statistics ',"
                                  "'----------------------|'/"
                                  "/t2,'median      interquartile      minimum       lower       ',"
                                  "'upper       maximum'/"
                                  "t2,'length          range           length       hinge       ',"
                                  "'hinge        length')")
                               .write());
    units.write(unit::out, Layout("(f9.0,f15.0,f16.0,f13.0,f12.0,f14.0)")
                               .write(f.median, f.spread, f.minimum, f.lower_hinge,
                                      f.upper_hinge, f.maximum));
  }

  // Autocorrelations and the autoregressive model of the chronology.
  const Autocorrelation acf = acf1(c.chronology, c.depth, kAcfLags);
  const char* kind_text = s.kind == 'n' ? "raw data" : s.kind == 's' ? "standard" : "residual";
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

  const BurgFit model = memcof1(c.chronology, c.depth, kModelSize, kOrderByCriterion);
  units.write(unit::out, Layout("(/t2,'|------------------ ',a,' chronology ',"
                                "'autoregressive model ------------------|')")
                             .write(code_word(s.code)));
  units.write(unit::out, Layout("(/t2,'ord    rsq    t-1    t-2    t-3    t-4    ',"
                                "'t-5    t-6    t-7    t-8    t-9   t-10')")
                             .write());
  units.write(unit::out, Layout("(t2,i2,1x,11f7.3)")
                             .write(model.order, model.explained,
                                    std::span<const float>(model.coefficients)
                                        .first(static_cast<std::size_t>(model.order))));
}

}  // namespace dendro
