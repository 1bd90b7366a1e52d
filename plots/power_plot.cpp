#include "plots/power_plot.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "plots/page_parts.h"
#include "plots/panel.h"
#include "plots/plot_menu.h"
#include "series/layout.h"

namespace dendro {
namespace {

constexpr std::string_view kPageFile = "PowerSpectra.ps";
constexpr std::string_view kPageTitle = "Spectral Power of Chronologies";
constexpr std::string_view kValuesFile = "PowerSpectra.txt";
constexpr std::string_view kMenuIndent = "               ";  // 15 blanks
constexpr std::string_view kNoteIndent = "             ";    // 13 blanks
constexpr std::string_view kSeparator = "\t       ";         // a tab and seven blanks
constexpr float kLimitStart = 999.0f;
constexpr int kLogYAxis = 20;  // plenv's axis code of a log10 y axis
// Legends stand five character heights apart, from the left.
constexpr std::array<double, 3> kLegendDisplacement{-22.0, -17.0, -12.0};
constexpr std::array<int, 3> kLineColour{kBlue, kRed, kBlack};

// A value of the text file in 8 columns with 6 decimals; the columns are separated by tabs,
// so a value that needs more (a power of 10 or more, a log10 of -1 or less) takes the
// columns it needs rather than a field of asterisks.
std::string value_field(double v) {
  const float value = static_cast<float>(v);
  const std::string fixed = Layout("(f8.6)").write(value);
  return fixed.find('*') == std::string::npos ? fixed : Layout("(f0.6)").write(value);
}

class SpectraPage {
 public:
  SpectraPage(const SpectraLines& in, int log_flag) : legend_(in.legend) {
    std::size_t m = in.frequency.size();
    for (const auto& p : in.power) m = std::min(m, p.size());
    log_ = log_flag != 0;
    for (const auto& p : in.power) {
      for (float v : p.first(m)) log_ = log_ && v > 0.0f;
    }
    frequency_ = to_plot(in.frequency.first(m));
    x_ = {kLimitStart, -kLimitStart};
    y_ = {kLimitStart, -kLimitStart};
    for (double f : frequency_) {
      x_.min = std::min(x_.min, static_cast<float>(f));
      x_.max = std::max(x_.max, static_cast<float>(f));
    }
    for (std::size_t c = 0; c < power_.size(); ++c) {
      for (float v : in.power[c].first(m)) {
        const float plotted = log_ ? std::log10(v) : v;
        power_[c].push_back(plotted);
        y_.min = std::min(y_.min, plotted);
        y_.max = std::max(y_.max, plotted);
      }
    }
  }

  void draw() const {
    plcol0(kBlack);
    const auto [x_min, x_max] = window_limits(x_);
    const auto [y_min, y_max] = window_limits(y_);
    plenv(x_min, x_max, y_min, y_max, 0, log_ ? kLogYAxis : 0);
    pllab("Frequency (cycles/yr.)", log_ ? "log10 Power" : "Power",
          std::string(kPageTitle).c_str());
    for (std::size_t c = 0; c < power_.size(); ++c) {
      draw_line(frequency_, power_[c], kLineColour[c]);
      draw_note("rv", kLegendDisplacement[c], 0.925, 0.0, legend_[c], kLineColour[c]);
    }
  }

  // The values drawn (log10 of the powers on the log scale).
  std::string values() const {
    std::ostringstream out;
    out << " Power Spectra Estimates for STD RES and KLD Chronologies\n";
    out << "Freq" << kSeparator << "STD" << kSeparator << "RES" << kSeparator << "KLD\n";
    for (std::size_t j = 0; j < frequency_.size(); ++j) {
      out << value_field(frequency_[j]);
      for (const auto& p : power_) out << kSeparator << value_field(p[j]);
      out << '\n';
    }
    return out.str();
  }

 private:
  std::array<std::string_view, 3> legend_;
  bool log_ = false;
  std::vector<double> frequency_;
  std::array<std::vector<double>, 3> power_;
  Axis x_, y_;
};

void show_menu(Console& con) {
  con.say("");
  con.say("");
  for (const std::string& line :
       plot_options_menu(MenuBox{.width = 47}, {}, "", "       [s]ave   <[c]ontinue>   [r]eplot")) {
    con.say(std::string(kMenuIndent) + std::string(line));
  }
  con.say("");
  con.prompt(std::string(kMenuIndent) + " enter option number > ");
}

void report(Console& con, const std::string& message) {
  con.say(std::string(kNoteIndent) + "*** PLplot: " + message);
}

// The values file beside the page, under its fixed name.
void save_values(PlotSession& session, const std::string& values) {
  const std::string name(kValuesFile);
  if (!may_save_as(session, name, kNoteIndent)) return;
  say_save(session, kNoteIndent, name, save_text(session, name, values));
}

void save_spectra_page(PlotSession& session, const PlotStyle& style,
                       const std::function<void()>& draw) {
  const std::string name(kPageFile);
  if (!may_save_as(session, name, kNoteIndent)) return;
  say_save(session, kNoteIndent, name, save_page(session, name, style, PageShape{}, draw));
}

}  // namespace

void plt6(PlotSession& session, const SpectraLines& spectra, int log_flag) {
  Console& con = session.console();
  const SpectraPage page(spectra, log_flag);
  const PlotStyle style;
  const auto draw = [&page] { page.draw(); };
  std::optional<PlotPage> screen;  // the page on the screen stays open while the menu waits
  const auto show = [&] {
    const auto failure = show_page(session, screen, style, PageShape{}, draw, kPageTitle);
    if (failure) report(con, *failure);
  };

  show();
  for (int round = 0; round < kMaxMenuRounds; ++round) {
    show_menu(con);
    const char answer = con.read(1).first();
    if (answer == 'S' || answer == 's') {
      save_values(session, page.values());
      save_spectra_page(session, style, draw);
    } else if (answer == 'R' || answer == 'r') {
      show();
    } else {
      return;
    }
  }
  con.say(std::string(kNoteIndent) + "*** too many menu answers: the plot ends here");
}

}  // namespace dendro
