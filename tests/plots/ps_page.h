// A reader of the PostScript pages that PLplot's "psc" device writes, for tests that check
// what a saved page shows: its orientation comment, its texts, and the value range of each
// value axis, read from the axis line, its tick marks and their labels.
//
// PLplot draws the landscape page across portrait paper: a point (x, y) of the file is the
// point (y, -x) of the page as a viewer shows it upright. Everything below is in those
// upright page coordinates.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace dendro::plot_test {

struct PsText {
  double x = 0, y = 0;  // the anchor of the text on the upright page
  std::string text;
};

struct PsSegment {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

struct PsPage {
  std::string header;  // the comments before "%%EndComments"
  std::vector<PsText> texts;
  std::vector<PsSegment> segments;
};

// A value axis as drawn: the values at its two ends, read to within a device unit or two
// (the file's coordinates are whole units, some 2000 to an axis).
struct ValueAxis {
  double low = 0, high = 0;
  bool contains(double v) const {
    const double slack = 2e-3 * (high - low);
    return v >= low - slack && v <= high + slack;
  }
};

inline PsPage read_ps(const std::string& file) {
  PsPage page;
  const std::size_t end = file.find("%%EndComments");
  page.header = file.substr(0, end);
  const std::size_t body = file.find("%%Page:");
  if (body == std::string::npos) return page;
  std::istringstream in(file.substr(body));
  std::vector<double> numbers;
  std::string token, last_string;
  double cx = 0, cy = 0;
  bool have_point = false;
  const auto upright = [](double x, double y) { return std::make_pair(y, -x); };
  while (in >> token) {
    if (token.front() == '(') {
      // A string, possibly with blanks: read up to its closing parenthesis.
      std::string text = token;
      while (text.back() != ')' && in.good()) {
        std::string more;
        in >> more;
        text += " " + more;
      }
      last_string = text.substr(1, text.size() - 2);
      numbers.clear();
      continue;
    }
    char* stop = nullptr;
    const double v = std::strtod(token.c_str(), &stop);
    if (*stop == '\0') {
      numbers.push_back(v);
      continue;
    }
    if ((token == "M" || token == "D") && numbers.size() >= 2) {
      const auto [x, y] = upright(numbers[numbers.size() - 2], numbers.back());
      if (token == "D" && have_point) page.segments.push_back({cx, cy, x, y});
      cx = x;
      cy = y;
      have_point = true;
    } else if (token == "show") {
      page.texts.push_back({cx, cy, last_string});
    }
    numbers.clear();
  }
  return page;
}

inline bool number_text(const std::string& s, double& v) {
  if (s.empty()) return false;
  char* stop = nullptr;
  v = std::strtod(s.c_str(), &stop);
  return *stop == '\0';
}

// One value axis read from its labels (anchor height, value; from the lowest up).
inline bool read_axis(const PsPage& page, double anchor,
                      const std::vector<std::pair<double, double>>& labels, ValueAxis& axis) {
  constexpr double kNear = 150.0;  // device units: more than a character's height
  const auto& lo = labels.front();
  const auto& hi = labels.back();
  const double per_unit = (hi.second - lo.second) / (hi.first - lo.first);
  // The axis line: the nearest vertical line right of the labels beside all of them (the
  // longest at its place, as ticks of the other axis and bar edges may stand there too).
  double axis_x = 1e18, bottom = 0, top = 0;
  for (const PsSegment& s : page.segments) {
    if (std::abs(s.x0 - s.x1) > 0.5 || s.x0 <= anchor || s.x0 > axis_x + 0.5) continue;
    const double y0 = std::min(s.y0, s.y1), y1 = std::max(s.y0, s.y1);
    if (y0 > lo.first + kNear || y1 < hi.first - kNear) continue;
    if (s.x0 < axis_x - 0.5 || y1 - y0 > top - bottom) {
      axis_x = s.x0;
      bottom = y0;
      top = y1;
    }
  }
  if (axis_x == 1e18) return false;
  // The labels stand beside their major ticks by a fixed offset. The ticks on the axis
  // line, by length: the offset is the one that puts the most labels on ticks of one
  // length, the longer ticks (the major ones) first where two lengths do as well.
  std::map<long, std::vector<double>> ticks;  // length: heights
  for (const PsSegment& s : page.segments) {
    if (std::abs(s.y0 - s.y1) > 0.5 || s.y0 < bottom - 0.5 || s.y0 > top + 0.5) continue;
    if (std::abs(s.x0 - axis_x) > 0.5 && std::abs(s.x1 - axis_x) > 0.5) continue;
    const double length = std::abs(s.x1 - s.x0);
    if (length <= kNear) ticks[std::lround(length)].push_back(s.y0);
  }
  double offset = 0;
  std::size_t best = 0;
  long best_length = -1;
  for (const auto& [length, heights] : ticks) {
    for (double h : heights) {
      const double d = h - lo.first;
      if (std::abs(d) > kNear) continue;
      std::size_t on_ticks = 0;
      for (const auto& label : labels) {
        const bool hit = std::any_of(heights.begin(), heights.end(), [&](double t) {
          return std::abs(label.first + d - t) <= 2.0;
        });
        on_ticks += hit ? 1 : 0;
      }
      if (on_ticks > best || (on_ticks == best && length > best_length)) {
        best = on_ticks;
        best_length = length;
        offset = d;
      }
    }
  }
  const auto value_at = [&](double y) { return lo.second + (y - lo.first - offset) * per_unit; };
  axis = {value_at(bottom), value_at(top)};
  return true;
}

// The value axes of the page: numeric labels one above the other at one anchor, their
// values rising upwards (a column of panels gives one run of labels per panel), the axis
// line to their right and its major ticks at the labels.
inline std::vector<ValueAxis> value_axes(const PsPage& page) {
  std::map<long, std::vector<std::pair<double, double>>> columns;  // anchor x: (y, value)
  for (const PsText& t : page.texts) {
    double v = 0;
    if (number_text(t.text, v)) columns[std::lround(t.x)].push_back({t.y, v});
  }
  std::vector<ValueAxis> axes;
  for (auto& [anchor, labels] : columns) {
    std::sort(labels.begin(), labels.end());
    std::size_t from = 0;
    while (from < labels.size()) {
      std::size_t to = from + 1;
      while (to < labels.size() && labels[to].second > labels[to - 1].second &&
             labels[to].first > labels[to - 1].first) {
        ++to;
      }
      const std::vector<std::pair<double, double>> run(labels.begin() + static_cast<long>(from),
                                                       labels.begin() + static_cast<long>(to));
      ValueAxis axis;
      if (run.size() >= 2 && read_axis(page, static_cast<double>(anchor), run, axis)) {
        axes.push_back(axis);
      }
      from = to;
    }
  }
  return axes;
}

// True when the page's header says that the page is drawn across the paper.
inline bool marked_landscape(const PsPage& page) {
  return page.header.find("%%Orientation: Landscape\n") != std::string::npos;
}

// True when the page writes `text` somewhere.
inline bool shows_text(const PsPage& page, const std::string& text) {
  return std::any_of(page.texts.begin(), page.texts.end(),
                     [&](const PsText& t) { return t.text == text; });
}

}  // namespace dendro::plot_test
