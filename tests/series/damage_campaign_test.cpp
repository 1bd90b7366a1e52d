// Damaged copies of real tucson files: one or two characters of the data records changed at
// the first record of the first and of a later series, at middle and last records and at
// series of one record. Every copy is either refused, naming a line, or read with every
// series and every value of the clean file in its year, except the damaged value. A
// damage that leaves a record of the same layout (a digit into another digit, an id into
// another id) is good data to any reader: such copies are counted apart, by kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "series/index.h"
#include "series/records.h"
#include "series/text.h"
#include "series/tucson.h"

namespace dendro {
namespace {

// keny002.rwl (title records, RAG29A, RAG31B's first and later records as RAG31C, RAG30B's
// last as a series of one record), th001.rwl (DOIK06, in thousandths, cut at 1919) and
// cana165.rwl (HLL569 in its years before -999, cut at -989).
const std::vector<std::string> kRings = {
    "RAG    1 Ragati Forest Station  Nyeri District               PRMA               ",
    "RAG    2 Kenya        Previa maxima     2010M -0035+03703    __    1935 1994    ",
    "RAG    3 D.Stahle  J.Maingi  M.Munyao                                           ",
    "RAG29A  1953   738   670   535   302   389   361   389                  ",
    "RAG29A  1960   401   484   511   799   620   637   685   533   726   567",
    "RAG29A  1970   406   301   453   462   445   417   211   288   286   360",
    "RAG29A  1980   297   417   421   390   170   181    94   319   203   386",
    "RAG29A  1990   444   461   314   278   256   999                        ",
    "RAG29B  1990   432   417   365   486   358   999                        ",
    "RAG31C  1959   566",
    "RAG31C  1960   386   442   481   713   559   632   520   465   577   453",
    "RAG31C  1970   349   166   389   565   392   240   329   333   245   285",
    "RAG31C  1980   999",
    "DOIK06  1898  7620  7142",
    "DOIK06  1900  6898  8180  6618  6228  5938  9216  4960  5386  4500  8220",
    "DOIK06  1910  6554  5890  3434  3692  2578  2658  2290  2324  2168  1632",
    "DOIK06  1920 -9999",
    "HLL569 -1017   233   408   416   472   462   454   405",
    "HLL569 -1010   415   361   277   308   343   364   348   267   220   268",
    "HLL569 -1000   269   242   218   230   299   264   272   232   254   240",
    "HLL569  -990   245   245   999",
};
const std::vector<int> kRingTargets = {4, 6, 8, 9, 10, 14, 17, 18, 19, 20, 21};  // 1-based

// Tucson2.crn (its title records and first records, the decade 1840 cut at 1845 and its
// last record as a chronology of one record), blocks as both programs write them, a
// chronology of one full decade, and kalder's raw chronology of cana165.rwl in its years
// before -999 (cut at -989).
const std::vector<std::string> kIndex = {
    "REA    1 FLOMATON NATURAL AREA                               PIPA               ",
    "REA    2 ALABAMA      LONGLEAF PINE     0063M +3101-08715          1814 1995    ",
    "REA    3 JOHN KUSH, NEIL PEDERSON AND RALPH MELDAHL                             ",
    "REAMSS18149990  09990  09990  09990  01055  1 661  1 849  2 942  3 748  31142  4",
    "REAMSS18201164  51088  5 787  5 951  51084  51224  51116  71008  71241  71135 10",
    "REAMSS1830 830 101033 101009 101302 101216 12 923 121038 121002 121057 12 874 12",
    "REAMSS1840 954 12 939 121268 121001 121069 13 996 149990  09990  09990  09990  0",
    "REA.rwl -- no data title --                             1st itrdb line missing  std",
    "REA.rwl -- no data title --                             2nd itrdb line missing  std",
    "REA.rwl -- no data title --                             3rd itrdb line missing  std",
    "REAONE1990 993 401530 40 888 40 756 40 890 401224 409990  09990  09990  09990  0  std",
    "REA.rwl -- no data title --                             1st itrdb line missing  res",
    "REA.rwl -- no data title --                             2nd itrdb line missing  res",
    "REA.rwl -- no data title --                             3rd itrdb line missing  res",
    "REAFUL19701224 401005 40 740 40 986 40 813 40 915 40 580 401116 40 785 401033 40  res",
    "REAFUL19809990  09990  09990  09990  09990  09990  09990  09990  09990  09990  0  res",
    "REA.rwl -- no data title --                             1st itrdb line missing  raw",
    "REA.rwl -- no data title --                             2nd itrdb line missing  raw",
    "REA.rwl -- no data title --                             3rd itrdb line missing  raw",
    "cana1-10419990  09990  09990  09990  09990  09990  09990  09990  09990  02230  1  raw",
    "cana1-10402940  15340  15470  15460  15360  16110  15100  13670  24370  24540  2  raw",
    "cana1-10304500  34565  44395  44340  43710  44400  44165  44085  44755  44715  4  raw",
    "cana1-10204085  44255  44450  44390  54260  54160  54310  53735  63813  63641  6  raw",
    "cana1-10103143  82985  82336  82709  82900  83148  83132  82827  82435  82686  8  raw",
    "cana -10002312  92303  92462  92335  92603  92162  92259  91891  91968  91827 10  raw",
    "cana16-9901828 102047 109990  09990  09990  09990  09990  09990  09990  09990  0  raw",
};
const std::vector<int> kIndexTargets = {4, 5, 7, 11, 15, 16, 20, 22, 25, 26};

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  return text;
}

struct Outcome {
  std::vector<SeriesRead> series;
  bool refused = false;
  std::string text;
};

Outcome read_file(const std::string& text, TucsonMode mode) {
  Outcome out;
  std::istringstream in(text);
  RecordStream records(in);
  TucsonFile file;
  for (int k = 0; k < 100; ++k) {
    TucsonReading r = read_tucson_series(records, mode, file);
    if (r.end != TucsonEnd::series) {
      out.refused = r.end != TucsonEnd::header_driven;
      out.text = r.text;
      return out;
    }
    if (r.series.n == kEndOfData) break;
    out.series.push_back(std::move(r.series));
  }
  return out;
}

// True when `record` is a data record of the format: a year and numeric fields, each a
// right-justified integer or blank, in the columns of one of the three year layouts.
bool good_layout(const std::string& record, bool rings) {
  // The readers take a ring width with blanks after its digits as that number.
  static const std::regex number(rings ? " *-?[0-9]+ *" : " *-?[0-9]+"), blank(" *");
  const int year_end = rings ? 12 : 10, wide = rings ? 8 : 6;
  for (int id = wide; id >= wide - 2; --id) {
    if (id < wide && (static_cast<int>(record.size()) < id + 1 || record[at(id + 1)] != '-'))
      continue;
    bool good = std::regex_match(record.substr(at(id + 1), at(year_end - id + 1)), number);
    for (int k = 0; k < (rings ? 10 : 20) && good; ++k) {
      const int column = rings ? 13 + 6 * k : 11 + 7 * (k / 2) + (k % 2 == 0 ? 0 : 4);
      const int width = rings ? 6 : (k % 2 == 0 ? 4 : 3);
      if (column > static_cast<int>(record.size())) break;
      const std::string f = record.substr(at(column), at(width + 1));
      good = std::regex_match(f, number) || std::regex_match(f, blank);
      // Nothing after a ring-width series' end marker is read.
      if (rings && (f == "   999" || f == " -9999")) break;
    }
    if (good) return true;
  }
  return false;
}

struct Damage {
  int line = 0;
  std::vector<std::pair<int, char>> changes;  // column (1-based), new character
};

// True when `got` is `clean` but for the values that the damage `d` of the data record
// `record` may change: those of the value fields it changes (slot k of a ring-width record
// is the record's year + k, of an index record its decade's), in the series whose id the
// record's id columns agree with, as far as both go (a year before -999 takes one or two
// of them).
bool same_but(const std::vector<SeriesRead>& clean, const std::vector<SeriesRead>& got,
              const std::string& record, const Damage& d, bool rings) {
  const int first = rings ? 13 : 11, width = rings ? 6 : 7;
  int id_columns = rings ? 8 : 6;  // a year before -999 takes one or two of them
  while (record[at(id_columns)] == '-' || record[at(id_columns - 1)] == '-') --id_columns;
  const int year = std::stoi(record.substr(count(id_columns), count(first - 1 - id_columns)));
  std::set<std::pair<std::string, int>> allowed;
  for (auto [column, c] : d.changes) {
    if (column < first || column >= first + 10 * width) continue;
    allowed.insert({std::string(trim_right(record.substr(0, count(id_columns)))),
                    (rings ? year : year - (year % 10 + 10) % 10) + (column - first) / width});
  }
  if (got.size() != clean.size()) return false;
  for (std::size_t k = 0; k < clean.size(); ++k) {
    const SeriesRead &a = clean[k], &b = got[k];
    if (a.id != b.id || a.first_year != b.first_year || a.n != b.n) return false;
    for (std::size_t j = 0; j < a.values.size(); ++j) {
      const bool same = a.values[j] == b.values[j] && (rings || a.depth[j] == b.depth[j]);
      const auto damaged = [&](const std::pair<std::string, int>& v) {
        const std::string_view id = trim_right(a.id);
        const std::size_t common = std::min(id.size(), v.first.size());
        return id.substr(0, common) == std::string_view(v.first).substr(0, common) &&
               v.second == a.first_year + static_cast<int>(j);
      };
      if (!same && std::none_of(allowed.begin(), allowed.end(), damaged)) return false;
    }
  }
  return true;
}

// Every damage of the campaign for one record: each column into a letter, another digit,
// a blank and a minus; a letter in a value field with each of those in the id and the
// year; and pairs of columns drawn at random (fixed seed).
std::vector<Damage> damages_of(const std::string& record, int line, bool rings) {
  const char kinds[] = {'x', '5', ' ', '-'};
  auto other = [&](int column, char kind) {
    const char c = record[at(column)];
    if (kind == '5' && c >= '0' && c <= '9') return static_cast<char>('0' + (c - '0' + 3) % 10);
    return kind;
  };
  const int length = static_cast<int>(record.size());
  std::vector<Damage> out;
  for (int column = 1; column <= length; ++column) {
    for (char kind : kinds) out.push_back({line, {{column, other(column, kind)}}});
  }
  // "#" in column 80 marks a header-driven series.
  if (length >= 80) out.push_back({line, {{80, '#'}}});
  const int value_column = rings ? 17 : 13;  // a digit of the first value field
  for (int column = 1; column <= (rings ? 12 : 10); ++column) {
    for (char kind : kinds) {
      out.push_back({line, {{value_column, 'x'}, {column, other(column, kind)}}});
    }
  }
  std::mt19937 random(static_cast<unsigned>(line * 7919 + length));
  for (int k = 0; k < 150; ++k) {
    const int a = 1 + static_cast<int>(random() % static_cast<unsigned>(length));
    const int b = 1 + static_cast<int>(random() % static_cast<unsigned>(length));
    if (a == b) continue;
    out.push_back({line, {{a, other(a, kinds[random() % 4])}, {b, other(b, kinds[random() % 4])}}});
  }
  return out;
}

// The kind of a damage that leaves a record of the same layout, by the columns it changes.
std::string same_layout_kind(const Damage& d, bool rings, const std::string& record) {
  std::set<std::string> parts;
  for (auto [column, c] : d.changes) {
    const int first = rings ? 13 : 11, width = rings ? 6 : 7;
    const std::string slot = record.substr(at(first + (column - first) / width * width), 4);
    parts.insert(column <= (rings ? 8 : 6)               ? "id"
                 : column < first                        ? "year"
                 : slot.find("999") != std::string::npos ? (rings ? "end marker" : "fill")
                 : slot.find_first_not_of(' ') == std::string::npos ? "empty slot"
                                                                    : "value");
  }
  std::string kind;
  for (const std::string& part : parts) kind += (kind.empty() ? "" : " and ") + part;
  return kind;
}

// True when a refusal names a line: "line " and a number.
bool names_a_line(const std::string& text) {
  for (auto at = text.find("line "); at != std::string::npos; at = text.find("line ", at + 1)) {
    if (at + 5 < text.size() && text[at + 5] >= '0' && text[at + 5] <= '9') return true;
  }
  return false;
}

struct Tally {
  int cases = 0, refused = 0, exact = 0;
  std::map<std::string, int> same_layout;  // read otherwise, by kind
  std::vector<std::string> faults;
};

void campaign(const std::vector<std::string>& lines, const std::vector<int>& targets,
              TucsonMode mode, Tally& t) {
  const bool rings = mode == TucsonMode::mr;
  const Outcome clean = read_file(joined(lines), mode);
  ASSERT_FALSE(clean.refused) << clean.text;
  for (int line : targets) {
    for (const Damage& d : damages_of(lines[at(line)], line, rings)) {
      std::vector<std::string> copy = lines;
      for (auto [column, c] : d.changes) copy[at(line)][at(column)] = c;
      if (copy == lines) continue;
      ++t.cases;
      const Outcome got = read_file(joined(copy), mode);
      if (got.refused && names_a_line(got.text)) {
        ++t.refused;
      } else if (!got.refused && same_but(clean.series, got.series, lines[at(line)], d, rings)) {
        ++t.exact;
      } else if (good_layout(copy[at(line)], rings)) {
        ++t.same_layout[same_layout_kind(d, rings, lines[at(line)])];
      } else {
        t.faults.push_back(copy[at(line)] + (got.refused ? "  refused: " + got.text : ""));
      }
    }
  }
}

void report(const char* what, const Tally& t) {
  std::printf("%s: %d damaged copies, %d refused naming a line, %d read exactly", what, t.cases,
              t.refused, t.exact);
  for (const auto& [kind, n] : t.same_layout) std::printf("; %d same layout (%s)", n, kind.c_str());
  std::printf("\n");
}

TEST(damage_campaign, ring_widths_and_indices_are_refused_or_read_exactly) {
  const struct {
    const char* what;
    const std::vector<std::string>& lines;
    const std::vector<int>& targets;
    TucsonMode mode;
  } files[] = {{"ring widths", kRings, kRingTargets, TucsonMode::mr},
               {"indices", kIndex, kIndexTargets, TucsonMode::ir}};
  for (const auto& f : files) {
    Tally t;
    campaign(f.lines, f.targets, f.mode, t);
    report(f.what, t);
    EXPECT_GT(t.cases, 2000);
    for (std::size_t k = 0; k < std::min<std::size_t>(t.faults.size(), 20); ++k) {
      ADD_FAILURE() << f.what << " read otherwise: " << t.faults[k];
    }
  }
}

}  // namespace
}  // namespace dendro
