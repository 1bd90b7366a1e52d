#include "series/text.h"

#include <algorithm>

namespace dendro {

void blank(std::string& field, int n) {
  if (n <= 0) return;
  std::size_t count = std::min(field.size(), static_cast<std::size_t>(n));
  std::fill_n(field.begin(), count, ' ');
}

int intfrm(std::string& answer) {
  auto first = answer.find_first_not_of(' ');
  int n = static_cast<int>(
      std::count_if(answer.begin(), answer.end(), [](char c) { return c != ' '; }));
  if (first != std::string::npos && first > 0) {
    // Copies n characters from the first non-blank one, blanks included, as the
    // fixed-field original does: " 1 2" becomes "1 " (and reads as 1).
    std::string moved = answer.substr(first, static_cast<std::size_t>(n));
    moved.resize(answer.size(), ' ');
    answer = moved;
  }
  return n;
}

std::string intfrm1(int value) {
  int width;
  if (value >= 0 && value <= 9)
    width = 1;
  else if (value >= -9 && value <= 99)
    width = 2;
  else if (value >= -99 && value <= 999)
    width = 3;
  else if (value >= -999 && value <= 9999)
    width = 4;
  else if (value >= -9999 && value <= 99999)
    width = 5;
  else if (value >= -99999 && value <= 999999)
    width = 6;
  else if (value >= -999999 && value < 0)
    width = 7;
  else
    return {};
  return "(i" + std::to_string(width) + ")";
}

std::string whole_i(long long value, int width) {
  const std::size_t needed = std::to_string(value).size();
  return "i" + std::to_string(std::max(static_cast<std::size_t>(std::max(width, 1)), needed));
}

int csr(std::string_view text, int mode) {
  switch (mode) {
    case 2: {
      auto last = text.find_last_not_of(' ');
      return last == std::string_view::npos ? 0 : static_cast<int>(last) + 1;
    }
    case 3: {
      auto stop = text.find_first_of(" .");
      return stop == std::string_view::npos ? static_cast<int>(text.size())
                                            : static_cast<int>(stop);
    }
    default: {
      auto stop = text.find(' ');
      return stop == std::string_view::npos ? static_cast<int>(text.size())
                                            : static_cast<int>(stop);
    }
  }
}

void stringclean(std::string& text) {
  std::size_t length = text.size();
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  text.resize(length, ' ');
}

std::string header(int length) {
  std::string line(static_cast<std::size_t>(std::max(length, 0)), ' ');
  const std::string titles =
      "year\tncores\tmean\tstdev\tsterr\teff  \titer\tstable\t25pct\tmedian\t75pct\tkaldr1\tkaldr2";
  line.replace(0, std::min(line.size(), titles.size()), titles.substr(0, line.size()));
  return line;
}

std::string field(std::string_view text, std::size_t width) {
  std::string f(text.substr(0, std::min(text.size(), width)));
  f.resize(width, ' ');
  return f;
}

std::string name_field(std::string_view name) {
  constexpr std::size_t kNameWidth = 40;
  return field(name, std::max(kNameWidth, name.size()));
}

std::string output_prefix(std::string_view data_file_name) {
  std::string_view name = trim_right(data_file_name);
  if (name.size() >= 4 && name.substr(name.size() - 4) == ".txt") name.remove_suffix(4);
  return std::string(name);
}

std::string log_file_name(std::string_view data_file_name) {
  return output_prefix(data_file_name) + "_log.txt";
}

std::string chronology_id_stem(std::string_view data_file_name) {
  return field(own_name(log_file_name(data_file_name)), 6);
}

long long whole_number(std::string_view text) {
  if (text.empty() || text.size() > 18 ||
      text.find_first_not_of("0123456789") != std::string_view::npos) {
    return -1;
  }
  return std::stoll(std::string(text));
}

std::string_view trim_right(std::string_view text) {
  auto last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

std::string_view trim_left(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string_view trim(std::string_view text) { return trim_left(trim_right(text)); }

std::string_view own_name(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace dendro
