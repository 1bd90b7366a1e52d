#include "statistics/principal_components.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string_view>

#include "plots/broken_stick_plot.h"
#include "plots/components_plot.h"
#include "plots/plot_loop.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/files/interrupts.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"

namespace dendro {
namespace {

// Components analysed at most (the series limit).
constexpr int kComponentCap = kMaxSeriesKalder;
// Components shown in the report's tables; the files hold all of them.
constexpr int kReportColumns = 10;
// Rotated loadings per report line, and the series between repeated column titles.
constexpr int kLoadingsPerLine = 20;
constexpr int kRowsPerHead = 20;
// Values per file record before a continuation record.
constexpr std::size_t kFileValuesPerLine = 1000;

// Components on one page of loadings or scores.
constexpr int kPanelsPerPage = 4;
// The figure types of the pages: principal components and varimax factors.
constexpr int kComponentFigure = 1;
constexpr int kFactorFigure = 2;

struct KindWords {
  std::string_view file_word;
  std::string_view console_line;
  std::string_view plot_words;  // the data in the plot titles
};

KindWords kind_words(int kind) {
  switch (kind) {
    case 1:
      return {"raw", "Raw Measurements common period principal components.", "raw measurements"};
    case 2:
      return {"trn", "Transformed data common period principal components.", "transformed data"};
    case 3:
      return {"det", "Detrended indices common period principal components.", "detrended indices"};
    case 4:
      return {"res", "Residual indices common period principal components.", "residual indices"};
    default:
      return {"", "", ""};
  }
}

// A plot title: the data words of the kind, then `what`; blank for another kind.
std::string plot_title(int kind, std::string_view lead, std::string_view what) {
  const std::string_view words = kind_words(kind).plot_words;
  if (words.empty()) return "";
  return std::string(lead) + std::string(words) + " common period " + std::string(what);
}

// Report lines.
constexpr std::string_view kPcHeading =
    "(/t2,'|----------- all series common period principal components analysis "
    "-----------|'/t2,'|--------- refer to saved output files for complete tabulated "
    "results ---------|'//t14,'ev #1  ev #2  ev #3  ev #4  ev #5  ev #6  ev #7  ',"
    "'ev #8  ev #9  ev#10')";
constexpr std::string_view kValueRow = "(t2,a11,f6.3,9f7.3)";
constexpr std::string_view kStickRow = "(t2,a11,10(f6.3,a1))";
// The count kept may be typed, up to the 1500 components of the series limit: a spaced field
// takes the blank after the colon.
constexpr std::string_view kKeptLine =
    "(t2,'broken stick order selected for eigenvalue + 1se above broken ','stick value:',i4+)";
constexpr std::string_view kEigenvectorHeading =
    "(/t14,'|---------------------- eigenvector loadings ','----------------------|'/t2,"
    "'series id   eg_#1  eg_#2  eg_#3  eg_#4  eg_#5  ','eg_#6  eg_#7  eg_#8  eg_#9  eg#10')";
constexpr std::string_view kEigenvectorRow = "(t3,a8,1x,10f7.3)";
constexpr std::string_view kNoRotation =
    "(/t16,'zero eigenvalues selected, no varimax ','rotation performed')";
constexpr std::string_view kVarimaxHeading =
    "(/t2,'|--------- all series common period varimax factor rotation - ev>1.0) "
    "---------|'/t2,'|--------- refer to saved output files for complete tabulated "
    "results ---------|')";
constexpr std::string_view kFactorTitles =
    "(/t14,'vf #1  vf #2  vf #3  vf #4  vf #5  vf #6  vf #7  ','vf #8  vf #9  vf#10')";
constexpr std::string_view kFactorLoadingsHeading =
    "(/t14,'|--------------------- varimax factor loadings ','--------------------|')";
constexpr std::string_view kFactorLoadingsTitles =
    "(t2,'series id   vl_#1  vl_#2  vl_#3  vl_#4  vl_#5  ','vl_#6  vl_#7  vl_#8  vl_#9  vl#10')";
constexpr std::string_view kFactorLoadingsRow = "(t3,a8,1x,20f7.3)";
constexpr std::string_view kFactorLoadingsMore = "(t12,20f7.3)";

// File records. Each component's number stands at the right of its values' eight columns,
// one column in, numbered up to 1500 (the series limit): past the first 1000 the numbers go
// on in a record of their own, as the values do.
constexpr std::string_view kFileStatistic = "(1x,a10,f7.3,999(f8.3))";
constexpr std::string_view kFileLoadingsTitles =
    "(' series_id   #',i3,999(4x,i4):/(9x,1000(4x,i4)))";
constexpr std::string_view kFileLoadingsRow = "(2x,a8,1000f8.3)";
constexpr std::string_view kFileLoadingsMore = "(10x,1000f8.3)";
constexpr std::string_view kFileScoresTitles = "('  year  #',i4,999(4x,i4):/(5x,1000(4x,i4)))";
constexpr std::string_view kFileScoresRow = "(i6,1000f8.3)";
constexpr std::string_view kFileScoresMore = "(6x,1000f8.3)";

// Eigenvalues, their statistics and the broken-stick count.
void eigen_statistics(PcaResult& pc, int years) {
  int m = pc.components;
  std::vector<float>& lambda = pc.eigenvalues;
  // A period shorter than the series count gives at most `years` non-zero eigenvalues:
  // they are rescaled and only they are analysed.
  if (years < m) {
    float sum = 0.0f;
    for (int i = 1; i <= years; ++i) sum += lambda[at(i)];
    const float mean = sum / static_cast<float>(years);
    for (int i = 1; i <= years; ++i) {
      lambda[at(i)] = lambda[at(i)] / mean * static_cast<float>(years) / static_cast<float>(m);
    }
    m = std::min(years, kComponentCap);
  }
  pc.components = m;
  lambda.resize(at(m + 1));
  for (int i = 1; i <= m; ++i) {
    if (lambda[at(i)] >= 1.0f) ++pc.kaiser;
  }
  pc.broken_stick = broken_stick(m);
  const float root = std::sqrt(2.0f / static_cast<float>(years));
  pc.markers.assign(at(m + 1), ' ');
  for (int k = 1; k <= m; ++k) pc.errors.push_back(lambda[at(k)] * root);
  for (int k = 1; k <= m; ++k) {
    if (!(lambda[at(k)] - pc.errors[at(k)] > pc.broken_stick[at(k)])) break;
    pc.markers[at(k)] = '*';
    ++pc.broken_stick_count;
  }
  pc.broken_stick_count = std::max(pc.broken_stick_count, 1);
}

// The component-count menu. Returns the count the user chose.
int choose_components(const PcaResult& pc, int kind, PlotSession& plots) {
  Console& con = plots.console();
  const Layout count_line("(a,i5)");
  bool replot = true;
  for (;;) {
    if (replot) {
      bsplt(plots, pc.broken_stick, pc.eigenvalues, kind, pc.errors);
      con.say("");
      con.say("Calculation of Significant Eigenvectors by two methods for:");
      con.say("  " + std::string(kind_words(kind).console_line));
      replot = false;
    }
    con.say("");
    con.say("You must provide an Eigenvalue cutoff for Varimax rotation");
    con.say("*** The Broken-Stick Method is the recommended default ***");
    con.say("");
    con.say(count_line.write("<B>roken-Stick Method - Number of Eigenvalues > B-S ",
                             pc.broken_stick_count));
    con.say(count_line.write("[K]aiser-Guttman Rule - Number of Eigenvalues > 1 = ", pc.kaiser));
    con.say("[E]nter your eigenvalue cutoff if you think you are smart");
    con.say("[R]eplot the Eigenvalue and Broken-Stick traces to decide");
    con.say("");
    con.prompt("Enter your selection :> ");
    const Answer a = con.read(1);
    if (a.blank() || a.letter('b')) return pc.broken_stick_count;
    if (a.letter('k')) return pc.kaiser;
    con.again();  // every answer below that returns nothing shows the menu again
    if (a.letter('r')) {
      replot = true;
    } else if (a.letter('e')) {
      con.say("");
      con.prompt("Roll your own eigenvalue cutoff :> ");
      const std::string line = con.read_line();
      // A count that is not a number, or outside 0 .. m, shows the menu again.
      try {
        const long long typed = read_list_integers(line, 1).front();
        if (typed >= 0 && typed <= pc.components) return static_cast<int>(typed);
      } catch (const ReadError&) {
      }
      con.say(refusal(Answer::of(line, line.size()),
                      "enter a count of 0 to " + std::to_string(pc.components)));
    } else {
      con.say(refusal(a, "enter b, k, e or r"));
    }
  }
}

// One report row of up to ten values: the label, then f6.3 and f7.3 fields.
void value_rows(Units& units, std::string_view label, std::span<const float> values, bool repeat) {
  std::size_t done = 0;
  do {
    const std::size_t count = std::min<std::size_t>(kReportColumns, values.size() - done);
    units.write(unit::out, fmt_write(kValueRow, label, values.subspan(done, count)));
    done += count;
  } while (repeat && done < values.size());
}

// Each value's share of their total.
std::vector<float> shares(std::span<const float> values) {
  float total = 0.0f;
  for (float v : values) total += v;
  std::vector<float> out(values.begin(), values.end());
  for (float& v : out) v /= total;
  return out;
}

std::vector<float> running_sums(std::span<const float> values) {
  std::vector<float> sums(values.begin(), values.end());
  for (std::size_t i = 1; i < sums.size(); ++i) sums[i] += sums[i - 1];
  return sums;
}

void report_components(const PcaResult& pc, std::span<const std::string> ids, Units& units) {
  const int m = pc.components;
  const std::size_t shown = static_cast<std::size_t>(std::min(m, kReportColumns));
  const std::span<const float> lambda(pc.eigenvalues);
  units.write(unit::out, fmt_write(kPcHeading));
  value_rows(units, "eigenvalue:", lambda.first(shown), false);
  value_rows(units, "eval sderr:", std::span<const float>(pc.errors).first(shown), false);
  const std::vector<float> share = shares(lambda);
  value_rows(units, "% variance:", std::span<const float>(share).first(shown), false);
  const std::vector<float> cumulative = running_sums(share);
  value_rows(units, "cumulative:", std::span<const float>(cumulative).first(shown), false);
  std::vector<Value> stick{std::string_view("brokn stck:")};
  for (std::size_t k = 0; k < shown; ++k) {
    stick.emplace_back(static_cast<double>(pc.broken_stick[k]));
    stick.emplace_back(std::string_view(&pc.markers[k], 1));
  }
  units.write(unit::out, Layout(kStickRow).write_values(stick));
  units.write(unit::out, fmt_write(kKeptLine, pc.kept));

  units.write(unit::out, fmt_write(kEigenvectorHeading));
  std::vector<float> row(shown);
  for (int i = 1; i <= pc.eigenvectors.rows; ++i) {
    for (std::size_t j = 0; j < shown; ++j) row[j] = pc.eigenvectors(i, static_cast<int>(j + 1));
    units.write(unit::out, fmt_write(kEigenvectorRow, ids[at(i)], row));
  }
}

// A file record of a labelled series of values, with continuation records beyond the
// first kFileValuesPerLine values.
template <class Label>
void file_row(Units& units, const Layout& first, const Layout& more, const Label& label,
              std::span<const float> values) {
  const std::size_t head = std::min(values.size(), kFileValuesPerLine);
  units.write(unit::series, first.write(label, values.first(head)));
  for (std::size_t done = head; done < values.size(); done += kFileValuesPerLine) {
    const std::size_t count = std::min(kFileValuesPerLine, values.size() - done);
    units.write(unit::series, more.write(values.subspan(done, count)));
  }
}

std::vector<int> numbers(int count) {
  std::vector<int> v(static_cast<std::size_t>(count));
  for (int k = 1; k <= count; ++k) v[at(k)] = k;
  return v;
}

std::vector<float> row_of(const Matrix& m, int i, int cols) {
  std::vector<float> row(static_cast<std::size_t>(cols));
  for (int j = 1; j <= cols; ++j) row[at(j)] = m(i, j);
  return row;
}

// A loadings file: its statistics lines, the component numbers and one line per series.
void write_loadings_file(Units& units, const std::string& name,
                         const std::vector<std::pair<std::string_view, std::vector<float>>>& stats,
                         const Matrix& loadings, int cols, std::span<const std::string> ids) {
  units.create(unit::series, name);
  for (const auto& [label, values] : stats) {
    units.write(unit::series, fmt_write(kFileStatistic, label, values));
  }
  units.write(unit::series, component_titles(cols, false));
  const Layout row(kFileLoadingsRow), more(kFileLoadingsMore);
  for (int i = 1; i <= loadings.rows; ++i) {
    file_row(units, row, more, ids[at(i)], row_of(loadings, i, cols));
  }
  units.close(unit::series);
}

void write_scores_file(Units& units, const std::string& name, const Matrix& scores,
                       int first_year) {
  units.create(unit::series, name);
  units.write(unit::series, component_titles(scores.cols, true));
  const Layout row(kFileScoresRow), more(kFileScoresMore);
  for (int t = 1; t <= scores.rows; ++t) {
    file_row(units, row, more, first_year + t - 1, row_of(scores, t, scores.cols));
  }
  units.close(unit::series);
}

// score(t, j) = sum over the series i = 1 .. n of w(i, j) * z(t, i), for the first `cols`
// columns of w. Each sum runs over i in order; the loops walk down the columns.
Matrix project(const Matrix& z, const Matrix& w, int cols) {
  Matrix scores(z.rows, cols);
  for (int j = 1; j <= cols; ++j) {
    stop_if_interrupted();
    std::span<float> score = scores.column(j);
    for (int i = 1; i <= z.cols; ++i) {
      const float weight = w(i, j);
      const std::span<const float> series = z.column(i);
      for (std::size_t t = 0; t < score.size(); ++t) score[t] += weight * series[t];
    }
  }
  return scores;
}

// The panels of one page: the kept components from `first` on, at most four. A place
// beyond the kept components gets a share of 0, which leaves its panel empty.
ComponentPanels page_panels(int figure, int first, int kept, std::span<const float> percent) {
  ComponentPanels panels;
  panels.kind = figure;
  panels.retained = kept;
  for (int k = 0; k < kPanelsPerPage; ++k) {
    const int number = first + k;
    panels.numbers[at(k + 1)] = number;
    panels.shares[at(k + 1)] = number <= kept ? percent[at(number)] : 0.0f;
  }
  return panels;
}

// Columns first .. first + count - 1 of a matrix, as the pages read them.
ColumnTable columns_from(const Matrix& m, int first, int count) {
  const auto rows = static_cast<std::size_t>(m.rows);
  const std::span<const float> cells(m.cells);
  return {cells.subspan(at(first) * rows, static_cast<std::size_t>(count) * rows), m.rows};
}

std::string_view figure_words(int figure, bool scores) {
  if (figure == kFactorFigure) return scores ? "varimax scores" : "varimax factors";
  return scores ? "pc scores" : "principal components";
}

// The page of the four components from `first` on: the matrix's columns where it has
// them, 0 beyond. The page's value axis takes in all four columns, shown or not, so that a
// page of one kept component still has 0, where its bars stand, on the axis.
std::vector<float> four_columns(const Matrix& m, int first) {
  const auto rows = static_cast<std::size_t>(m.rows);
  std::vector<float> page(static_cast<std::size_t>(kPanelsPerPage) * rows, 0.0f);
  for (int k = 0; k < kPanelsPerPage && first + k <= m.cols; ++k) {
    const std::span<const float> column = m.column(first + k);
    const auto offset = static_cast<std::ptrdiff_t>(static_cast<std::size_t>(k) * rows);
    std::copy(column.begin(), column.end(), page.begin() + offset);
  }
  return page;
}

// The loadings pages of the kept components (series by component), four to a page, for as
// long as the plot flag asks for summary plots.
void loadings_pages(PlotSession& plots, const Matrix& loadings, std::span<const float> percent,
                    int figure, int kept, int kind, int& plot_flag) {
  const std::string title = plot_title(kind, " ", figure_words(figure, false));
  for (int first = 1; first <= kept && various_summary_plots_on(plot_flag);
       first += kPanelsPerPage) {
    const std::vector<float> page = four_columns(loadings, first);
    loads1(plots, {page, loadings.rows}, loadings.rows, title, plot_flag, kind,
           page_panels(figure, first, kept, percent));
  }
}

// The score pages of the kept components (year by component), as the loadings pages.
void scores_pages(PlotSession& plots, const Matrix& scores, std::span<const float> percent,
                  int figure, int kept, const PcaSetting& setting, int& plot_flag) {
  const std::string title = plot_title(setting.kind, "", figure_words(figure, true));
  for (int first = 1; first <= kept && various_summary_plots_on(plot_flag);
       first += kPanelsPerPage) {
    const int count = std::min(kPanelsPerPage, kept - first + 1);
    scores1(plots, columns_from(scores, first, count), setting.first_year, setting.last_year, title,
            plot_flag, page_panels(figure, first, kept, percent));
  }
}

// The scores of each component divided by the root of its eigenvalue, as the pages show
// them. A component without variance (an eigenvalue of 0 or a negative rounding value)
// has no scale: its scores are shown as 0.
Matrix unit_variance(const Matrix& scores, std::span<const float> eigenvalues) {
  Matrix out = scores;
  for (int j = 1; j <= out.cols; ++j) {
    const float lambda = eigenvalues[at(j)];
    const float root = lambda > 0.0f ? std::sqrt(lambda) : 0.0f;
    for (float& v : out.column(j)) v = root > 0.0f ? v / root : 0.0f;
  }
  return out;
}

// Each value in percent: times 100, divided by `divisor`.
std::vector<float> percent_of(std::span<const float> values, float divisor) {
  std::vector<float> out(values.begin(), values.end());
  for (float& v : out) v = v / divisor * 100.0f;
  return out;
}

// Varimax rotation of the kept components and its factor scores.
void rotate(PcaResult& pc, const Matrix& z, std::span<const std::string> ids,
            const PcaSetting& setting, Units& units, PlotSession& plots, int& plot_flag) {
  const std::string word(kind_words(setting.kind).file_word);
  const int kept = pc.kept;
  const int n = pc.eigenvectors.rows;
  units.write(unit::out, fmt_write(kVarimaxHeading));

  // Loadings: each kept eigenvector scaled by the root of its eigenvalue. A rounding
  // eigenvalue below 0 carries no variance and scales its vector to 0.
  Matrix loadings(n, kept);
  for (int j = 1; j <= kept; ++j) {
    const float root = std::sqrt(std::max(pc.eigenvalues[at(j)], 0.0f));
    for (int i = 1; i <= n; ++i) loadings(i, j) = pc.eigenvectors(i, j) * root;
  }
  pc.rotation = varimax(loadings, kept);
  Matrix& b = pc.rotation.rotated;
  gmas(b, kept);

  units.write(unit::out, fmt_write(kFactorTitles));
  const std::vector<float>& variance = pc.rotation.variance;
  const std::vector<float> cumulative = running_sums(variance);
  value_rows(units, "% variance:", variance, true);
  value_rows(units, "cumulative:", cumulative, true);
  units.write(unit::out, fmt_write(kFactorLoadingsHeading));
  for (int i = 1; i <= n; ++i) {
    if (i == 1 || i % kRowsPerHead == 0) units.write(unit::out, fmt_write(kFactorLoadingsTitles));
    const std::vector<float> row = row_of(b, i, kept);
    const std::span<const float> values(row);
    const std::size_t head = std::min<std::size_t>(values.size(), kLoadingsPerLine);
    units.write(unit::out, fmt_write(kFactorLoadingsRow, ids[at(i)], values.first(head)));
    for (std::size_t done = head; done < values.size(); done += kLoadingsPerLine) {
      const std::size_t count = std::min<std::size_t>(kLoadingsPerLine, values.size() - done);
      units.write(unit::out, fmt_write(kFactorLoadingsMore, values.subspan(done, count)));
    }
  }
  write_loadings_file(units, setting.prefix + "_vfloads_" + word + ".txt",
                      {{"% variance", variance}, {"cumulative", cumulative}}, b, kept, ids);
  const std::vector<float> percent = percent_of(variance, 1.0f);
  loadings_pages(plots, b, percent, kFactorFigure, kept, setting.kind, plot_flag);

  // Factor scores by the regression method: coefficients W = B (B'B)^-1.
  Matrix cross(kept, kept);
  for (int j = 1; j <= kept; ++j) {
    for (int k = 1; k <= kept; ++k) {
      float sum = 0.0f;
      for (int i = 1; i <= n; ++i) sum += b(i, j) * b(i, k);
      cross(j, k) = sum;
    }
  }
  pc.crout_status = crout(cross, plots.console()).status;
  if (pc.crout_status != 0) return;
  Matrix w(n, kept);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= kept; ++j) {
      float sum = 0.0f;
      for (int k = 1; k <= kept; ++k) sum += b(i, k) * cross(k, j);
      w(i, j) = sum;
    }
  }
  pc.factor_scores = project(z, w, kept);
  write_scores_file(units, setting.prefix + "_vfscores_" + word + ".txt", pc.factor_scores,
                    setting.first_year);
  scores_pages(plots, pc.factor_scores, percent, kFactorFigure, kept, setting, plot_flag);
}

}  // namespace

std::string component_titles(int count, bool scores) {
  return fmt_write(scores ? kFileScoresTitles : kFileLoadingsTitles, numbers(count));
}

std::vector<float> broken_stick(int m) {
  std::vector<float> bs(static_cast<std::size_t>(std::max(m, 0)));
  for (int k = 1; k <= m; ++k) {
    float sum = 0.0f;
    for (int i = k; i <= m; ++i) sum += 1.0f / static_cast<float>(i);
    bs[at(k)] = sum;
  }
  return bs;
}

PcaResult pca(const Matrix& z, const Matrix& r, std::span<const std::string> ids,
              const PcaSetting& setting, Units& units, PlotSession& plots) {
  const int n = r.rows;
  const int years = setting.last_year - setting.first_year + 1;
  PcaResult pc;
  // "No more plots" on a page ends the pages of this analysis.
  int plot_flag = setting.summary_plots;
  const std::string word(kind_words(setting.kind).file_word);

  // Eigenvalues in descending order, eigenvectors with conventional signs.
  pc.eigenvectors = r;
  const Eigenvalues eigen = htdql(pc.eigenvectors);
  pc.eigenvalues = eigen.values;
  if (!eigen.converged) {
    // Nothing after this would be defined: the analysis of the period ends here.
    plots.console().say(kHtdqlNoConvergence);
    pc.converged = false;
    return pc;
  }
  gmas(pc.eigenvectors, n);
  pc.components = std::min(n, kComponentCap);
  eigen_statistics(pc, years);
  const int m = pc.components;

  pc.kept = various_summary_plots_on(plot_flag) ? choose_components(pc, setting.kind, plots)
                                                : pc.broken_stick_count;
  report_components(pc, ids, units);

  // Principal-component loadings file.
  const std::vector<float> share = shares(pc.eigenvalues);
  write_loadings_file(units, setting.prefix + "_pcloads_" + word + ".txt",
                      {{"eigenvalue", pc.eigenvalues},
                       {"eval sderr", pc.errors},
                       {"% variance", share},
                       {"cumulative", running_sums(share)},
                       {"brokn stck", pc.broken_stick}},
                      pc.eigenvectors, m, ids);
  // The pages show each component's eigenvalue as a percentage of the m components.
  const std::vector<float> percent = percent_of(pc.eigenvalues, static_cast<float>(m));
  loadings_pages(plots, pc.eigenvectors, percent, kComponentFigure, pc.kept, setting.kind,
                 plot_flag);

  // Scores, written before they are scaled to unit variance for the plots.
  pc.scores = project(z, pc.eigenvectors, m);
  write_scores_file(units, setting.prefix + "_pcscores_" + word + ".txt", pc.scores,
                    setting.first_year);
  if (various_summary_plots_on(plot_flag)) {
    scores_pages(plots, unit_variance(pc.scores, pc.eigenvalues), percent, kComponentFigure,
                 pc.kept, setting, plot_flag);
  }

  if (pc.kept < 1) {
    units.write(unit::out, fmt_write(kNoRotation));
    return pc;
  }
  rotate(pc, z, ids, setting, units, plots, plot_flag);
  return pc;
}

}  // namespace dendro
