#include "kalder/bootstrap_files.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kalder/summary_plots.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/spline.h"

namespace dendro {
namespace {

constexpr int kShortestSpline = 5;  // years

struct PassText {
  const char* suffix;
  const char* head;  // the file head; the spline length goes into characters 37-41
  const char* top_title;
  const char* bottom_title;
  const char* y_label;
  const char* z_label;
  int page;  // 1 measurements, 2 indices
};

PassText text_of(BootstrapPass pass) {
  switch (pass) {
    case BootstrapPass::raw:
      return {"_raw_95%cl.txt",
              "  year    nc     raw    2.5%   97.5%     spl    2.5%   97.5%",
              " raw ring width bootstrap",
              " splined raw bootstrap",
              "measurements (y)",
              "measurements (z)",
              1};
    case BootstrapPass::standard:
      return {"_std_95%cl.txt",
              "  year    nc     std    2.5%   97.5%     spl    2.5%   97.5%",
              " std ring width bootstrap",
              " splined std bootstrap",
              "indices (y)",
              "indices (z)",
              2};
    case BootstrapPass::residual:
      return {"_res_95%cl.txt",
              "  year    nc     res    2.5%   97.5%     spl    2.5%   97.5%",
              " res ring width bootstrap",
              " splined res bootstrap",
              "indices (y)",
              "indices (z)",
              2};
    case BootstrapPass::kalder:
      break;
  }
  return {"_kld_95%cl.txt",
          "  year    nc     kld    2.5%   97.5%     spl    2.5%   97.5%",
          " kld ring width bootstrap",
          " splined kld bootstrap",
          "indices (y)",
          "indices (z)",
          2};
}

// The vectors of one pass, by chronology year (index 0 is year 1).
struct PassData {
  std::span<float> value, lower, upper;   // the chronology and its limits
  std::vector<float> lower_in, upper_in;  // the limits as they are smoothed
  std::vector<float> smooth, smooth_lower, smooth_upper;
  std::vector<char> without;  // years without limits
  int offset = 0, span = 0;   // the years with limits: offset + 1 .. offset + span
};

// A year whose lower limit is exactly 0.0 has no limits: the chronology builder did not
// touch it, and the limit vectors start every data file at 0.0.
bool no_limit(float lower) { return lower == 0.0f; }

// The span of years with limits: from the first year whose lower limit is not 0.0 to the
// last one.
void set_span(Run& run, std::span<const float> lower) {
  const int n = static_cast<int>(lower.size());
  int leading = 0;
  while (leading < n && no_limit(lower[static_cast<std::size_t>(leading)])) ++leading;
  int trailing = 0;
  while (trailing < n && no_limit(lower[static_cast<std::size_t>(n - 1 - trailing)])) ++trailing;
  run.limit_offset = leading;
  run.limit_span = n - leading - trailing;  // negative when no year has limits
}

// The kalder chronology has no limits of its own: the residual limits' distances from the
// residual chronology, stretched by the limit scale factor, are placed around each kalder
// value.
void derive_kalder_limits(const Run& run, PassData& d) {
  const std::size_t n = d.value.size();
  const std::size_t have = std::min(n, run.residual_for_limits.size());
  const float f = run.limit_scale;
  for (std::size_t i = count(d.offset); i < have; ++i) {
    const float res = run.residual_for_limits[i];
    d.lower[i] = d.value[i] - f * (res - d.lower[i]);
    d.upper[i] = d.value[i] + f * (d.upper[i] - res);
  }
}

// The chronology over all its years, the limits over the span only.
void smooth(Run& run, PassData& d, int spline_length) {
  spline(d.value, d.smooth, spline_length, &run.con);
  if (d.span < 1) return;  // no year has limits: only placeholders are written
  const std::size_t k = count(d.offset), m = count(d.span);
  const std::span<const float> lower_in(d.lower_in), upper_in(d.upper_in);
  spline(lower_in.subspan(k, m), std::span<float>(d.smooth_lower).subspan(k, m), spline_length,
         &run.con);
  spline(upper_in.subspan(k, m), std::span<float>(d.smooth_upper).subspan(k, m), spline_length,
         &run.con);
}

// Years without limits show the chronology value as both limits, and its smooth as both
// smoothed limits.
void fill_placeholders(PassData& d) {
  for (std::size_t i = 0; i < d.value.size(); ++i) {
    if (!d.without[i]) continue;
    d.smooth_lower[i] = d.smooth_upper[i] = d.smooth[i];
    d.lower[i] = d.upper[i] = d.value[i];
  }
}

void draw(Run& run, BootstrapPass pass, const PassData& d) {
  const PassText t = text_of(pass);
  const std::size_t k = count(d.offset);
  ChronologyPlot page;
  page.c1 = std::span<const float>(d.value).subspan(k);
  page.c2 = std::span<const float>(d.lower).subspan(k);
  page.c3 = std::span<const float>(d.upper).subspan(k);
  page.c4 = std::span<const float>(d.smooth).subspan(k);
  page.c5 = std::span<const float>(d.smooth_lower).subspan(k);
  page.c6 = std::span<const float>(d.smooth_upper).subspan(k);
  page.depth = std::span<const int>(run.depth).subspan(k);
  page.n = d.span;
  page.first_year = run.first_year + d.offset;
  draw_driver_page(run, page, {t.top_title, t.bottom_title, t.y_label, t.z_label, t.page, 9});
}

// "enter the new spline smoothing in years": an integer of at least 5. Each refused answer
// counts with the console, which ends a run that never gives a usable one.
int ask_spline_length(Console& con) {
  for (;;) {
    const Answer a = con.ask(" enter the new spline smoothing in years", 20);
    const std::optional<long long> years = a.integer();
    if (years && *years >= kShortestSpline) return static_cast<int>(*years);
    if (years) {
      con.say("");
      con.say(" --> spline cutoff must be .ge. 5 years");
      con.say("");
    } else {
      con.say(refusal(a, "enter the spline in years"));
    }
    con.again();
  }
}

// "change the spline? y/<n>": a new spline length, or nothing to keep the plotted one.
std::optional<int> ask_new_spline(Console& con) {
  con.say("");
  if (con.ask_until_yes_no(" change the spline? y/<n>", Meaning::no) == Meaning::no) {
    return std::nullopt;
  }
  return ask_spline_length(con);
}

void write_file(Run& run, BootstrapPass pass, const PassData& d, int spline_length) {
  const PassText t = text_of(pass);
  const std::string head_text(t.head);
  const std::string head = Layout("(a36,i5,a19)")
                               .write(std::string_view(head_text).substr(0, 36), spline_length,
                                      std::string_view(head_text).substr(41));
  std::ostream& out = run.units.create(unit::series, run.prefix + t.suffix);
  out << Layout("(a60)").write(head) << '\n';
  const Layout record("(2i6,6f8.3+)");
  for (int i = 1; i <= static_cast<int>(d.value.size()); ++i) {
    const std::size_t k = at(i);
    const std::array<float, 6> values{d.value[k],  d.lower[k],        d.upper[k],
                                      d.smooth[k], d.smooth_lower[k], d.smooth_upper[k]};
    out << record.write(run.first_year + i - 1, static_cast<int>(run.tsi2.at(i, tsi2col::depth)),
                        values)
        << '\n';
  }
  run.units.close(unit::series);
}

// The vectors of a pass over the run's n chronology years, with its span of years with
// limits and the years without.
PassData pass_data(Run& run, BootstrapPass pass) {
  const std::size_t n = count(run.length);
  PassData d;
  d.value = std::span<float>(run.tsi1.overlay).first(n);
  d.lower = std::span<float>(run.lower).first(n);
  d.upper = std::span<float>(run.upper).first(n);

  // The span of years with limits, set by the raw pass; a later chronology that is shorter
  // (first differences drop a year) keeps it within its own years.
  if (pass == BootstrapPass::raw) set_span(run, d.lower);
  d.offset = std::min(run.limit_offset, run.length);
  d.span = std::min(run.limit_span, run.length - d.offset);
  if (pass == BootstrapPass::kalder) derive_kalder_limits(run, d);

  d.smooth.assign(n, 0.0f);
  d.smooth_lower.assign(n, 0.0f);
  d.smooth_upper.assign(n, 0.0f);
  d.without.assign(n, 0);
  if (pass != BootstrapPass::kalder) {
    for (std::size_t i = 0; i < n; ++i) d.without[i] = no_limit(d.lower[i]);
  }
  // The limits as smoothed: a second smoothing with another spline length works on the
  // same values as the first, not on the placeholders written in between.
  d.lower_in.assign(d.lower.begin(), d.lower.end());
  d.upper_in.assign(d.upper.begin(), d.upper.end());
  return d;
}

// Draws the pass; after the raw pass's page the user may smooth again with other spline
// lengths, which the later passes of the data file keep. Returns the spline length in use.
int plot_dialogue(Run& run, BootstrapPass pass, PassData& d, int spline_length) {
  draw(run, pass, d);
  if (pass != BootstrapPass::raw) return spline_length;
  while (const std::optional<int> changed = ask_new_spline(run.con)) {
    spline_length = *changed;
    run.icommands[opt::bootstrap_spline] = spline_length;
    smooth(run, d, spline_length);
    fill_placeholders(d);
    draw(run, pass, d);
  }
  return spline_length;
}

}  // namespace

void bootstrap_files(Run& run, BootstrapPass pass) {
  if (run.icommands[opt::bootstrap_limits] != 1 || run.length < 1) return;
  const std::size_t n = count(run.length);
  if (run.tsi1.overlay.size() < n || run.lower.size() < n || run.upper.size() < n ||
      run.depth.size() < n) {
    return;  // the chronology was not built on this axis
  }
  PassData d = pass_data(run, pass);
  int spline_length = run.icommands[opt::bootstrap_spline];
  smooth(run, d, spline_length);
  if (pass == BootstrapPass::raw) {
    for (int i = 1; i <= run.length; ++i) {
      run.depth[at(i)] = static_cast<int>(run.tsi2.at(i, tsi2col::depth));
    }
  }
  // The kalder limits exist only where the residual ones did: outside the span its smoothed
  // lower limit is still 0.0.
  if (pass == BootstrapPass::kalder) {
    for (std::size_t i = 0; i < n; ++i) d.without[i] = no_limit(d.smooth_lower[i]);
  }
  fill_placeholders(d);

  // Nothing to draw when no year has limits.
  if (run.icommands[opt::bootstrap_plots] > 0 && d.span >= 1) {
    spline_length = plot_dialogue(run, pass, d, spline_length);
  }
  write_file(run, pass, d, spline_length);
  if (pass == BootstrapPass::residual)
    run.residual_for_limits.assign(d.value.begin(), d.value.end());
}

}  // namespace dendro
