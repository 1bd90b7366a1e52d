#include "readable_scan.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <regex>
#include <sstream>

namespace dendro::e2e {
namespace {

bool number_char(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+';
}

bool is_number(const std::string& token) {
  static const std::regex number(R"([-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?)");
  return std::regex_match(token, number);
}

// The whitespace-separated tokens of a line.
std::vector<std::string> tokens(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string t; in >> t;) out.push_back(t);
  return out;
}

std::string asterisk_problem(const std::string& line) {
  for (std::size_t i = 0; i < line.size();) {
    if (line[i] != '*') {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < line.size() && line[end] == '*') ++end;
    const bool before = i > 0 && number_char(line[i - 1]);
    const bool after = end < line.size() && number_char(line[end]);
    // One asterisk is a flag or a product ("0.848*", "power*1000"); a field overflows
    // into two or more.
    if (end - i >= 2 && (before || after)) return "asterisks in a number";
    i = end;
  }
  const std::vector<std::string> t = tokens(line);
  for (std::size_t k = 1; k + 1 < t.size(); ++k) {
    const bool stars = t[k].find_first_not_of('*') == std::string::npos;
    if (stars && is_number(t[k - 1]) && is_number(t[k + 1])) return "a field of asterisks";
  }
  // A table row whose first field overflowed: asterisks, then numbers only.
  if (t.size() >= 3 && t[0].size() >= 2 && t[0].find_first_not_of('*') == std::string::npos &&
      std::all_of(t.begin() + 1, t.end(), is_number)) {
    return "a field of asterisks";
  }
  return {};
}

std::string run_together_problem(const std::string& line) {
  static const std::string number = R"([-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?)";
  static const std::regex one(number), several("(" + number + "){2,}");
  for (const std::string& t : tokens(line)) {
    const bool numeric = t.find('.') != std::string::npos &&
                         t.find_first_not_of("0123456789.+-eE") == std::string::npos;
    if (numeric && std::regex_match(t, several) && !std::regex_match(t, one)) {
      return "numbers run together";
    }
  }
  return {};
}

std::string not_a_number_problem(const std::string& line) {
  static const std::regex word(R"((^|[^A-Za-z])[-+]?(nan|inf|infinity)([^A-Za-z]|$))",
                               std::regex::icase);
  return std::regex_search(line, word) ? "not a number" : "";
}

}  // namespace

std::vector<Unreadable> scan_text(const std::string& file, const std::string& text) {
  std::vector<Unreadable> found;
  std::istringstream in(text);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    for (const std::string& why :
         {asterisk_problem(line), run_together_problem(line), not_a_number_problem(line)}) {
      if (!why.empty()) found.push_back({file, n, line, why});
    }
  }
  return found;
}

std::vector<Unreadable> scan_folder(const std::filesystem::path& dir,
                                    const std::vector<std::string>& skip) {
  std::vector<Unreadable> found;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& path : files) {
    const std::string name = path.filename().string();
    if (std::find(skip.begin(), skip.end(), name) != skip.end()) continue;
    if (path.extension() == ".ps" || path.extension() == ".png") continue;  // plot pages
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::vector<Unreadable> f = scan_text(name, text.str());
    found.insert(found.end(), f.begin(), f.end());
  }
  return found;
}

std::string describe(const std::vector<Unreadable>& findings) {
  std::string out;
  for (const Unreadable& u : findings) {
    out += u.file + ":" + std::to_string(u.line) + ": " + u.why + ": " + u.text + "\n";
  }
  return out;
}

}  // namespace dendro::e2e
