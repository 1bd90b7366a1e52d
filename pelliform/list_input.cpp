#include "pelliform/list_input.h"

#include <cctype>
#include <cstdlib>

#include "series/layout.h"

namespace dendro {
namespace {

bool separator(char c) { return c == ' ' || c == '\t' || c == ','; }
bool digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Reads digits from position k on; returns how many.
std::size_t digits_at(std::string_view s, std::size_t& k) {
  const std::size_t start = k;
  while (k < s.size() && digit(s[k])) ++k;
  return k - start;
}

}  // namespace

std::vector<ListItem> list_fields(std::string_view record) {
  record = chomp(record);
  std::vector<ListItem> items;
  std::size_t k = 0;
  while (k < record.size()) {
    while (k < record.size() && separator(record[k])) ++k;
    if (k >= record.size() || record[k] == '/') break;
    const std::size_t start = k;
    while (k < record.size() && !separator(record[k]) && record[k] != '/') ++k;
    items.push_back({std::string(record.substr(start, k - start)), static_cast<int>(start) + 1});
  }
  return items;
}

std::vector<std::string> list_items(std::string_view record) {
  std::vector<std::string> items;
  for (ListItem& item : list_fields(record)) items.push_back(std::move(item.text));
  return items;
}

std::string item_place(int line, const ListItem& item) {
  const int last = item.column + static_cast<int>(item.text.size()) - 1;
  const std::string columns =
      last > item.column ? "columns " + std::to_string(item.column) + "-" + std::to_string(last)
                         : "column " + std::to_string(item.column);
  return "line " + std::to_string(line) + ", " + columns + " \"" + item.text + "\"";
}

std::optional<double> list_real(std::string_view item) {
  std::size_t k = 0;
  if (k < item.size() && (item[k] == '+' || item[k] == '-')) ++k;
  std::size_t mantissa = digits_at(item, k);
  if (k < item.size() && item[k] == '.') {
    ++k;
    mantissa += digits_at(item, k);
  }
  if (mantissa == 0) return std::nullopt;
  const std::size_t mantissa_end = k;
  if (k < item.size() && std::string_view("eEdDqQ").find(item[k]) != std::string_view::npos) {
    ++k;
    if (k < item.size() && (item[k] == '+' || item[k] == '-')) ++k;
    if (digits_at(item, k) == 0) return std::nullopt;
  }
  if (k != item.size()) return std::nullopt;
  std::string text(item);
  if (mantissa_end < text.size()) text[mantissa_end] = 'e';  // D and Q exponents read as E
  return std::strtod(text.c_str(), nullptr);
}

std::optional<long long> list_integer(std::string_view item) {
  std::size_t k = 0;
  if (k < item.size() && (item[k] == '+' || item[k] == '-')) ++k;
  if (digits_at(item, k) == 0 || k != item.size()) return std::nullopt;
  constexpr std::size_t kMostDigits = 18;  // beyond this a long long may overflow
  if (item.size() > kMostDigits) return std::nullopt;
  return std::strtoll(std::string(item).c_str(), nullptr, 10);
}

std::optional<double> first_real(std::string_view record) {
  const auto items = list_items(record);
  if (items.empty()) return std::nullopt;
  return list_real(items.front());
}

std::optional<long long> first_integer(std::string_view record) {
  const auto items = list_items(record);
  if (items.empty()) return std::nullopt;
  return list_integer(items.front());
}

}  // namespace dendro
