// Free-format (list-directed) reading of one record: items separated by blanks, tabs or
// commas, a "/" ending the record early, numbers in the usual Fortran spellings.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dendro {

// The items of a record, in order.
std::vector<std::string> list_items(std::string_view record);

// An item with the column of the record where it begins (1 for the first character).
struct ListItem {
  std::string text;
  int column = 1;
};

// The items of a record with their columns, for messages that show where an item stands.
std::vector<ListItem> list_fields(std::string_view record);

// Where an item stands: "line 12, columns 6-9 \"19x5\"" ("column 6" for one character).
std::string item_place(int line, const ListItem& item);

// The item read as a real number: optional sign, digits with at most one decimal point
// (at least one digit), optional exponent introduced by E, D or Q. Nothing otherwise.
std::optional<double> list_real(std::string_view item);

// The item read as an integer: optional sign and digits only.
std::optional<long long> list_integer(std::string_view item);

// The first item of the record as a real or integer number; nothing when the record is
// blank or its first item is not one.
std::optional<double> first_real(std::string_view record);
std::optional<long long> first_integer(std::string_view record);

}  // namespace dendro
