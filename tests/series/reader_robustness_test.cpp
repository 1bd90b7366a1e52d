// Damaged input of every kind: each reader either reads it or stops the run with its own
// message (Stop); nothing else may escape, no reading loop may run away, and no series
// comes back with more values than it may hold.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "series/compact.h"
#include "series/files/stop.h"
#include "series/trread.h"
#include "series/tucson.h"
#include "tests/series/series_reading.h"

namespace dendro {
namespace {

constexpr int kRounds = 400;
constexpr int kSeriesCap = 200;  // a reading loop reads at most this many series

std::string mutate(std::string text, std::mt19937& random) {
  const char alphabet[] = "0123456789 -#=~()fi.\r\n\t\0x*";
  std::uniform_int_distribution<int> kind(0, 4);
  const int edits = 1 + static_cast<int>(random() % 6);
  for (int e = 0; e < edits && !text.empty(); ++e) {
    const std::size_t at = random() % text.size();
    switch (kind(random)) {
      case 0:
        text[at] = alphabet[random() % (sizeof alphabet - 1)];
        break;
      case 1:
        text.erase(at, random() % 40);
        break;
      case 2:
        text.insert(at, text.substr(random() % text.size(), random() % 90));
        break;
      case 3:
        text.resize(at);
        break;
      default:
        text.insert(at, 1, alphabet[random() % (sizeof alphabet - 1)]);
        break;
    }
  }
  return text;
}

enum class Reader { rings, index, compact, mib, header, loose };

void read_everything(const std::string& text, Reader reader) {
  TucsonFile file;
  int number = 0;
  std::string title(80, ' ');
  const Reading r = read_all(
      text,
      [&](RecordStream& records, Console& console) {
        switch (reader) {
          case Reader::rings:
            return trrw_read(records, TucsonMode::mr, file, console, nullptr, 300);
          case Reader::index:
            return trrw_read(records, TucsonMode::ir, file, console, nullptr, 300);
          case Reader::compact:
            return cdf(records, number, console, 300);
          case Reader::mib:
            return rinfrn(records, number, console, 300);
          case Reader::header:
            return datar(records, title, console, 300);
          default:
            return datr(records, console, 300);
        }
      },
      true, kSeriesCap);
  for (const SeriesRead& s : r.series) {
    ASSERT_LE(s.values.size(), 300u);
    if (s.n <= 300) {
      ASSERT_EQ(s.values.size(), static_cast<std::size_t>(std::max(s.n, 0)));
    }
  }
}

void run_trread(const std::string& text, const char* kind) {
  Tsi1 tsi1;
  StatsTable stats;
  Commands commands;
  Icommands icommands;
  commands.set_data_kind(kind);
  std::istringstream data(text), keys("\n\n\n");
  std::ostringstream out, screen;
  Console console(keys, screen);
  trread(data, tsi1, stats, commands, icommands, out, console, kMaxYears, 50);
  ASSERT_GE(tsi1.count, 1);
  align_on_chronology(tsi1);
}

std::string samples(Reader reader) {
  std::ostringstream s;
  const std::vector<float> a{1.25f, 0.5f, 2.0f, 0.75f, 1.0f, 0.0f,
                             3.5f,  1.1f, 0.9f, 1.3f,  0.6f, 2.2f};
  switch (reader) {
    case Reader::rings:
      s << "SITE   1 title record\n";
      trrw_write(s, TucsonMode::mw, "S1", 1905, a, {}, "raw");
      trrw_write(s, TucsonMode::mw, "S2", -1003, a, {}, "raw");
      break;
    case Reader::index:
      trrw_write(s, TucsonMode::iw, "CRN", 1895, a, {}, "std");
      trrw_write(s, TucsonMode::iw, "CRM", -12, a, {}, "std");
      break;
    case Reader::compact:
    case Reader::loose:
      s << "a title\n";
      datw(s, "C1", a, 1800, reader == Reader::loose ? "" : "raw");
      datw(s, "C2", std::vector<float>{-5.0f, 1.0f}, 1801, "");
      break;
    case Reader::mib:
      trrw_write(s, TucsonMode::qz, "M1", 1905, a, {}, "std");
      trrw_write(s, TucsonMode::qz, "M2", -15, a, {}, "std");
      break;
    case Reader::header:
      s << "title\nn       12      1950  (5f8.3)\n";
      for (std::size_t k = 0; k < a.size(); ++k) s << "   1.000" << ((k % 5 == 4) ? "\n" : "");
      s << "\n";
      break;
  }
  return s.str();
}

TEST(reader_robustness, damaged_files_read_or_stop) {
  std::mt19937 random(7);
  const Reader readers[] = {Reader::rings, Reader::index,  Reader::compact,
                            Reader::mib,   Reader::header, Reader::loose};
  for (Reader reader : readers) {
    const std::string sample = samples(reader);
    read_everything(sample, reader);  // the undamaged sample reads
    for (int round = 0; round < kRounds; ++round) {
      const std::string text = mutate(sample, random);
      read_everything(text, reader);
    }
  }
}

TEST(reader_robustness, damaged_files_through_the_series_reader) {
  std::mt19937 random(11);
  const std::pair<Reader, const char*> kinds[] = {
      {Reader::rings, "mr"}, {Reader::index, "ir"}, {Reader::compact, "cd"}, {Reader::mib, "qz"}};
  for (auto [reader, code] : kinds) {
    const std::string sample = samples(reader);
    run_trread(sample, code);
    for (int round = 0; round < kRounds / 2; ++round) {
      try {
        run_trread(mutate(sample, random), code);
      } catch (const Stop&) {
      }
    }
  }
}

}  // namespace
}  // namespace dendro
