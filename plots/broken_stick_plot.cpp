#include "plots/broken_stick_plot.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "plots/page_parts.h"
#include "plots/panel.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kTitleLength = 17;
constexpr float kLargestStart = -999.0f;
constexpr float kHeadroom = 5.0f;
constexpr int kStickSymbol = 1;
constexpr int kTraceSymbol = 3;
// A tab and seven blanks between the columns of the text file.
constexpr std::string_view kSeparator = "\t       ";
constexpr std::array<std::string_view, 4> kTitles{"Raw Measurements", "Transformed Data",
                                                  "Detrended Indices", "Residual Indices"};

class EigenvaluePage {
 public:
  EigenvaluePage(PlotSession& session, std::span<const float> broken_stick,
                 std::span<const float> eigenvalues, int data_kind, std::span<const float> errors)
      : session_(session), file_(eigenvalue_file(data_kind)), title_(eigenvalue_title(data_kind)) {
    const std::size_t n = eigenvalues.size();
    eigenvalues_ = to_plot(eigenvalues);
    broken_stick_ = to_plot(broken_stick.first(n));
    for (std::size_t k = 0; k < n; ++k) {
      components_.push_back(static_cast<double>(k + 1));
      lower_.push_back(eigenvalues[k] - errors[k]);
      upper_.push_back(eigenvalues[k] + errors[k]);
    }
  }

  void set_up(PlotStyle& s) const {
    float largest = kLargestStart;
    for (std::size_t k = 0; k < components_.size(); ++k) {
      largest = std::max(
          {largest, static_cast<float>(broken_stick_[k]), static_cast<float>(eigenvalues_[k])});
    }
    s.x.min = 0.0f;
    s.x.max = static_cast<float>(components_.size());
    s.y.min = 0.0f;
    s.y.max = largest + kHeadroom;
  }

  // The colours are the page's own: only the background follows the style.
  void draw(const PlotStyle& s) const {
    if (drawing_to_file()) write_values();
    plcol0(kBlack);
    const auto [x_min, x_max] = window_limits(s.x);
    const auto [y_min, y_max] = window_limits(s.y);
    plenv(x_min, x_max, y_min, y_max, 0, 0);
    pllab("Principle Component", "Eigenvalue", label_text(title_).c_str());
    const auto n = static_cast<PLINT>(components_.size());
    draw_note("b", -30.0, 0.5, 0.5, "Theoretical Broken Stick Values", kBlue);
    plpoin(n, components_.data(), broken_stick_.data(), kStickSymbol);
    plline(n, components_.data(), broken_stick_.data());
    draw_note("b", -28.2, 0.5, 0.5, "Actual Eigenvalue Trace", kRed);
    plpoin(n, components_.data(), eigenvalues_.data(), kTraceSymbol);
    plline(n, components_.data(), eigenvalues_.data());
    plcol0(kBlue);
    plerry(n, components_.data(), lower_.data(), upper_.data());
  }

 private:
  // The values drawn, beside the saved page: an existing file of the name is replaced
  // when the user agrees.
  void write_values() const {
    if (!may_save_as(session_, file_, "")) return;
    std::ostringstream out;
    const Layout row("(f8.5,a,f8.5,a,f8.5)");
    out << " Eigenvalue Trace\n";
    out << "PC" << kSeparator << "EV" << kSeparator << "Broken-Stick Model\n";
    for (std::size_t k = 0; k < components_.size(); ++k) {
      out << row.write(static_cast<float>(components_[k]), kSeparator,
                       static_cast<float>(eigenvalues_[k]), kSeparator,
                       static_cast<float>(broken_stick_[k]))
          << '\n';
    }
    say_save(session_, "", file_, save_text(session_, file_, out.str()));
  }

  PlotSession& session_;
  std::string file_, title_;
  std::vector<double> components_, eigenvalues_, broken_stick_, lower_, upper_;
};

}  // namespace

std::string eigenvalue_title(int data_kind) {
  const bool known = data_kind >= 1 && data_kind <= static_cast<int>(kTitles.size());
  return field(known ? kTitles[at(data_kind)] : "", kTitleLength);
}

std::string eigenvalue_file(int data_kind) {
  std::string name = eigenvalue_title(data_kind) + "EVplt" + ".txt";
  stringclean(name);
  return std::string(trim_right(name));
}

void bsplt(PlotSession& session, std::span<const float> broken_stick,
           std::span<const float> eigenvalues, int data_kind, std::span<const float> errors) {
  if (eigenvalues.empty()) return;  // no components, no trace
  if (broken_stick.size() < eigenvalues.size() || errors.size() < eigenvalues.size()) {
    throw std::invalid_argument("bsplt: fewer broken-stick values or errors than eigenvalues");
  }
  const EigenvaluePage page(session, broken_stick, eigenvalues, data_kind, errors);
  PlotDefinition def;
  use_menu_to_17(def);
  def.title = eigenvalue_title(data_kind);
  bind_page(def, page);
  plot_loop(session, def);
}

}  // namespace dendro
