// Small routines on fixed-length text fields (blank-padded, positions from 1).
#pragma once

#include <string>
#include <string_view>

namespace dendro {

// Sets characters 1 to n of the field to blanks (n of 0 or less does nothing).
void blank(std::string& field, int n);

// Left-justifies a typed answer in place and returns the width of the layout "(iN)" that
// reads it: the number of non-blank characters of the whole answer.
int intfrm(std::string& answer);

// The layout "(iN)" that prints `value` in exactly the characters it needs, sign included;
// empty for values beyond -999999 to 999999.
std::string intfrm1(int value);

// The descriptor "iW" that writes `value` right-justified in `width` columns, or in as many
// more as it needs: messages show their numbers whole rather than as asterisks.
std::string whole_i(long long value, int width);

// Extent of a text by mode: 1 the characters before the first blank, 2 the position of the
// last non-blank character, 3 the characters before the first blank or period (a file-name
// stem). Other modes work as mode 1.
int csr(std::string_view text, int mode);

// Removes every blank; the rest closes up to the front, the freed positions become blanks.
void stringclean(std::string& text);

// The tab-separated column titles of a chronology statistics table, in a field of `length`.
std::string header(int length);

// The value of `text` when it is a whole number of 1 to 18 digits and nothing else; -1
// otherwise.
long long whole_number(std::string_view text);

// The text padded with blanks or cut to `width` characters, as a fixed-length field holds it.
std::string field(std::string_view text, std::size_t width);

// A file name as the programs' 40-character name fields hold it: padded with blanks to 40
// characters; a longer name is kept whole, never cut.
std::string name_field(std::string_view name);

// The output prefix of a data file name: the name without trailing blanks and without a
// final ".txt" (lower case only). Every output file name of kalder is the prefix plus a
// suffix; the prefix is never cut, so that long names cannot make two outputs collide.
std::string output_prefix(std::string_view data_file_name);

// The log file's name: the data file's output prefix plus "_log.txt".
std::string log_file_name(std::string_view data_file_name);

// The first six characters of the chronology id of every chronology block that kalder
// writes for a data file: those of the data file's log file name without its folder
// (output prefix + "_log.txt"), so that a short name still fills them ("ab" gives "ab_log",
// "sites/co021.rwl" gives "co021.").
std::string chronology_id_stem(std::string_view data_file_name);

// The file's own name in a path: what follows the last "/" ("sites/co021.rwl" gives
// "co021.rwl").
std::string_view own_name(std::string_view path);

// The text without trailing blanks.
std::string_view trim_right(std::string_view text);
// The text without its leading blanks.
std::string_view trim_left(std::string_view text);

// The text without blanks at either end.
std::string_view trim(std::string_view text);

}  // namespace dendro
