// Values that their fixed fields cannot hold, and data that the default chain cannot fit:
// every output file is complete and every value in it reads back as what it is.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace dendro::e2e {
namespace {

// The value files of a data file that must never hold a field of asterisks.
const char* const kValueFiles[] = {"_crns.txt", "_errs.txt", "_tabs.txt", "_spectra.txt",
                                   "_detail.txt"};

// keny002.rwl: fast-growing trees whose mean ring width reaches 13.055 mm in 1943.
TEST(ValuesThatDoNotFit, raw_chronology_above_the_index_records_is_kept_in_the_table) {
  Sandbox box;
  box.copy_data("keny002.rwl");
  box.write_file("f.txt", "keny002.rwl\n");
  RunResult r = box.kalder("\nf.txt\nT\nn\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string warning =
      " *** the raw chronology and its error series are not written to keny002.rwl_crns.txt, "
      "crns_raw.txt, keny002.rwl_errs.txt and crns_raw_err.txt:\n"
      "     its value 13.055 in 1943 does not fit the index records (-0.999 to 9.989)\n"
      "     its values are kept in keny002.rwl_tabs.txt\n";
  EXPECT_NE(r.output.find(warning), std::string::npos) << r.output;
  EXPECT_NE(box.read_file("keny002.rwl_out.txt").find(warning), std::string::npos);
  for (const char* suffix : kValueFiles) {
    EXPECT_EQ(box.read_file(std::string("keny002.rwl") + suffix).find("**"), std::string::npos)
        << suffix;
  }
  const std::string table = box.read_file("keny002.rwl_tabs.txt");
  EXPECT_NEAR(table_column(table, 4).at(1943), 13.055, 1e-9);
  // The standard, residual and kalder chronologies, as the table holds them; the error
  // file leaves out the raw error series with its chronology.
  const auto chronologies = read_chronologies(box.read_file("keny002.rwl_crns.txt"));
  ASSERT_EQ(chronologies.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    const auto column = table_column(table, 5 + k);
    ASSERT_EQ(chronologies[static_cast<std::size_t>(k)].size(), column.size());
    for (const auto& [year, v] : chronologies[static_cast<std::size_t>(k)]) {
      EXPECT_NEAR(v, column.at(year), 0.00051) << k << " " << year;
    }
  }
  EXPECT_EQ(read_chronologies(box.read_file("keny002.rwl_errs.txt")).size(), 3u);
}

// The spectra plot's text file: log10 powers of -1 or less take the columns they need.
TEST(ValuesThatDoNotFit, power_spectra_text_file_holds_every_value) {
  Sandbox box;
  box.copy_data("keny002.rwl");
  box.write_file("f.txt", "keny002.rwl\n");
  // Summary plots 2; six plot pages continue, the seventh (the spectra) is saved.
  std::string input = "\nf.txt\nT\nn\n19\n2\n\n\n" + std::string(6, '\n') + "s\nc\n";
  RunResult r = box.kalder(input + std::string(60, '\n'));
  ASSERT_EQ(r.status, 0) << r.output;
  const auto lines = box.read_lines("PowerSpectra.txt");
  const auto spectra = box.read_lines("keny002.rwl_spectra.txt");
  ASSERT_EQ(lines.size(), spectra.size() + 1);  // its two head lines, the file's one
  int below_minus_one = 0;
  for (std::size_t j = 2; j < lines.size(); ++j) {
    EXPECT_EQ(lines[j].find('*'), std::string::npos) << lines[j];
    std::istringstream plotted(lines[j]), estimated(spectra[j - 1]);
    double f = 0, g = 0;
    plotted >> f;
    estimated >> g;
    EXPECT_NEAR(f, g, 1e-5);
    for (int c = 0; c < 3; ++c) {
      double log_power = 0, power = 0;
      ASSERT_TRUE(plotted >> log_power) << lines[j];
      estimated >> power;
      // The spectra file has five decimals: the power that the logarithm gives rounds to it.
      EXPECT_NEAR(std::pow(10.0, log_power), power, 0.0000051) << lines[j];
      below_minus_one += log_power <= -1.0;
    }
  }
  EXPECT_GT(below_minus_one, 30);
}

// Five series of 60 rings, one of 2 rings, and one whose every value is missing.
std::string short_and_missing_series() {
  std::ostringstream out;
  for (int s = 0; s < 5; ++s) {
    const int first = 1900 + s;
    std::vector<int> values;
    for (int t = 0; t < 60; ++t) values.push_back(80 + (t * 37 + s * 11) % 120);
    values.push_back(999);
    std::size_t next = 0;
    for (int year = first; next < values.size(); year = year / 10 * 10 + 10) {
      char head[32];
      std::snprintf(head, sizeof head, "AAA%02d   %4d", s, year);
      out << head;
      for (int slot = year % 10; slot < 10 && next < values.size(); ++slot) {
        char v[16];
        std::snprintf(v, sizeof v, "%6d", values[next++]);
        out << v;
      }
      out << '\n';
    }
  }
  out << "SHORT1  1930   120   130   999\n";
  out << "MISS1   1930    -5    -5    -5    -5    -5    -5    -5    -5    -5    -5\n";
  out << "MISS1   1940   999\n";
  out << "AAA09   1950   120   130   110   100   999\n";
  return out.str();
}

TEST(ShortSeries, get_the_mean_line_and_empty_ones_are_left_out) {
  Sandbox box;
  box.write_file("s.rwl", short_and_missing_series());
  box.write_file("f.txt", "s.rwl\n");
  // Option 18 = 5 saves the indices as space-delimited columns.
  RunResult r = box.kalder("\nf.txt\nT\nn\n18\n5\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("*** series 7 (MISS1): every value is missing; the series is left out"),
            std::string::npos);
  EXPECT_NE(r.output.find(" *** series SHORT1: 2 values, too few for the curve of option -6: the "
                          "horizontal line through its mean is used"),
            std::string::npos);
  EXPECT_EQ(r.output.find("goes negative"), std::string::npos);
  // Eight series in the file, seven processed; the detail file keeps one record for each
  // series of the file in file order.
  EXPECT_NE(r.output.find("     7 series from   1900 to   1963"), std::string::npos);
  const auto detail = box.read_lines("s.rwl_detail.txt");
  ASSERT_EQ(detail.size(), 8u + 8u);
  EXPECT_EQ(detail[13],
            "   6  SHORT1    1930  1931     0     0     6     0     0     1     1     6");
  EXPECT_TRUE(detail[14].starts_with("   7  MISS1     1930  1939")) << detail[14];
  EXPECT_TRUE(detail[15].starts_with("   8  AAA09     1950  1953     0     0    -6")) << detail[15];
  // The short series' indices are its values over their mean, 1.25: 0.96 and 1.04.
  const auto indices = space_delimited_series(box.read_file("s.rwl_ind1.txt"));
  ASSERT_EQ(indices.size(), 7u);
  EXPECT_EQ(indices[5], (std::map<int, double>{{1930, 0.96}, {1931, 1.04}}));
  // Four chronologies, each read back as the table holds it.
  const std::string table = box.read_file("s.rwl_tabs.txt");
  const auto chronologies = read_chronologies(box.read_file("s.rwl_crns.txt"));
  ASSERT_EQ(chronologies.size(), 4u);
  for (int k = 0; k < 4; ++k) {
    const auto column = table_column(table, 4 + k);
    for (const auto& [year, v] : chronologies[static_cast<std::size_t>(k)]) {
      EXPECT_NEAR(v, column.at(year), 0.00051) << k << " " << year;
    }
  }

  std::vector<std::string> before;
  for (const char* suffix : {"_crns.txt", "_errs.txt", "_tabs.txt", "_detail.txt", "_ind1.txt"}) {
    before.push_back(box.read_file(std::string("s.rwl") + suffix));
  }
  RunResult batch = box.kalder("\nf.txt\nT\ny\n\n");
  ASSERT_EQ(batch.status, 0) << batch.output;
  std::size_t k = 0;
  for (const char* suffix : {"_crns.txt", "_errs.txt", "_tabs.txt", "_detail.txt", "_ind1.txt"}) {
    EXPECT_EQ(box.read_file(std::string("s.rwl") + suffix), before[k++]) << suffix;
  }
}

// First differences (option 4 = -1) leave out a series of one value, here one that
// starts the set and one inside it; the batch re-run gives the same files.
TEST(ShortSeries, first_differences_leave_out_series_of_one_value) {
  Sandbox box;
  std::string data = short_and_missing_series();
  data += "ONE1    1900   150   999\n";
  data += "ONE2    1930   150   999\n";
  box.write_file("s.rwl", data);
  box.write_file("f.txt", "s.rwl\n");
  RunResult r = box.kalder("\nf.txt\nT\nn\n4\n-1\n" + std::string(20, '\n'));
  ASSERT_EQ(r.status, 0) << r.output;
  for (const char* note : {"*** series 9 (ONE1): one value has no first difference",
                           "*** series 10 (ONE2): one value has no first difference"}) {
    EXPECT_NE(r.output.find(note), std::string::npos) << note;
  }
  // The differences start one year after the set's first year, 1900.
  EXPECT_TRUE(box.read_lines("s.rwl_tabs.txt").at(1).starts_with("   1901\t")) << r.output;
  const std::string chronologies = box.read_file("s.rwl_crns.txt");
  RunResult batch = box.kalder("\nf.txt\nT\ny\n\n");
  ASSERT_EQ(batch.status, 0) << batch.output;
  EXPECT_EQ(box.read_file("s.rwl_crns.txt"), chronologies);
}

// plot1.txt and plot1 would write the same output files: the list is refused before any
// file is written, and so is such a name typed in.
TEST(FileList, two_names_of_one_output_prefix_are_refused) {
  Sandbox box;
  box.copy_data("keny002.rwl", "plot1.txt");
  box.copy_data("keny002.rwl", "plot1");
  box.write_file("f.txt", "plot1.txt\nplot1\n");
  RunResult r = box.kalder("\nf.txt\n/\n");
  EXPECT_NE(r.output.find(" *** data files plot1.txt and plot1 have one output prefix, plot1,\n"
                          " *** so that their output files would overwrite each other\n"
                          " *** give each data file its own name in f.txt\n"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("open the file listing the data file names"),
            r.output.rfind("open the file listing the data file names"));  // asked again
  // One data file under two spellings.
  box.write_file("g.txt", "plot1\n./plot1\n");
  EXPECT_NE(box.kalder("\ng.txt\n/\n")
                .output.find(" *** data files plot1 and ./plot1 have one "
                             "output prefix, ./plot1,\n"),
            std::string::npos);
  // Typed: the second name is refused and typed again (typed names must be data files).
  box.copy_data("keny002.rwl", "plot2");
  RunResult typed = box.kalder("\n\nplot1\nplot1.txt\nplot2\n\nT\nn\n/\n");
  EXPECT_NE(typed.output.find(" *** data files plot1 and plot1.txt have one output prefix, plot1,"),
            std::string::npos);
  EXPECT_EQ(box.read_file("kalder_files.txt"), "plot1\nplot2\n");
  for (const char* name : {"plot1_log.txt", "plot1_out.txt", "crns_raw.txt", "plot2_log.txt"}) {
    EXPECT_FALSE(box.exists(name)) << name;
  }
}

}  // namespace
}  // namespace dendro::e2e
