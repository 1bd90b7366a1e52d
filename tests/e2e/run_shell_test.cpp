// End-to-end runs of kalder's outer road: start-up, file list, title, mode, log files,
// per-file set-up with its option record, batch re-runs and the end of the run.
#include <gtest/gtest.h>

#include <utility>

#include "harness.h"

namespace dendro::e2e {
namespace {

// A line with each text placed from its 1-based column, blanks between.
std::string at_columns(std::initializer_list<std::pair<int, std::string>> parts) {
  std::string line;
  for (const auto& [column, text] : parts) {
    if (line.size() < static_cast<std::size_t>(column - 1)) line.resize(column - 1, ' ');
    line += text;
  }
  return line;
}

std::string pad(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

// A log record: the value columns 1 to 19, then the 50-character label from column 20.
std::string log_record(const std::string& values, const std::string& label) {
  return pad(values, 19) + pad(label, 50);
}

const char* const kRunWide[] = {"crns_raw.txt",     "crns_std.txt",     "crns_res.txt",
                                "crns_kld.txt",     "crns_rcs.txt",     "crns_raw_err.txt",
                                "crns_std_err.txt", "crns_res_err.txt", "crns_kld_err.txt",
                                "crns_rcs_err.txt"};

// Start prompt, file-names file, title, interactive mode, same commands for both files,
// the menu accepted as it stands, continue, and the final Return.
const char* const kInteractiveTwoFiles = "\nfiles.txt\nMy first run\nn\ny\n\n\n\n";

class RunShell : public ::testing::Test {
 protected:
  void SetUp() override {
    box.copy_data("ca533.rwl", "site1.txt");
    box.copy_data("ca533.rwl", "site2.rwl");
    box.write_file("files.txt", "site1.txt\nsite2.rwl\n");
  }
  Sandbox box;
};

TEST_F(RunShell, interactive_run_writes_banner_log_files_and_option_record) {
  RunResult r = box.kalder(kInteractiveTwoFiles);
  ASSERT_EQ(r.status, 0) << r.output;

  const auto console = split_lines(r.output);
  ASSERT_GT(console.size(), 20u);
  EXPECT_EQ(console[0], "");
  EXPECT_EQ(console[1], std::string(25, ' ') + std::string(34, '*'));
  EXPECT_EQ(console[4], std::string(25, ' ') + "***    Program KALDER_45v1     ***");
  EXPECT_NE(r.output.find(
                at_columns({{18, "MAXIMUM tree-ring chronology length: "}, {65, " 5000"}}) + "\n"),
            std::string::npos);
  EXPECT_NE(r.output.find(
                at_columns({{18, "MAXIMUM number of tree-ring series:  "}, {65, " 1500"}}) + "\n"),
            std::string::npos);
  EXPECT_NE(r.output.find("number of files to be processed:     2"), std::string::npos);
  EXPECT_NE(r.output.find("    2  batch command files created"), std::string::npos);
  EXPECT_NE(r.output.find(" |====== as wex vostrand would say, \"this is the end.\" ======|"),
            std::string::npos);
  EXPECT_NE(r.output.find(" hit return to quit"), std::string::npos);

  // Two data files were processed: the run-wide files remain, but for the regional
  // curve's, which nothing was written to.
  for (const char* name : kRunWide) {
    EXPECT_EQ(box.exists(name), std::string(name).find("rcs") == std::string::npos) << name;
  }

  // The log file: a header and 23 option records at the defaults.
  const auto log = box.read_lines("site1_log.txt");
  ASSERT_EQ(log.size(), 24u);
  EXPECT_EQ(log[0], "data file #  1  --  " + pad("site1.txt", 40));
  EXPECT_EQ(log[1], log_record("1", "!tucson ring-width format"));
  EXPECT_EQ(log[2], log_record("-9           0", "!missing values estimated (no plots)"));
  EXPECT_EQ(log[3], log_record("0            0", "!no data transformation (no plots)"));
  EXPECT_EQ(log[4], log_record("-6     0     0", "!1st-age dependent spline"));
  EXPECT_EQ(log[5], log_record("0      0     0", "!2nd-no detrending performed"));
  EXPECT_EQ(log[9], log_record("1            0", "!non-robust autoregressive modeling"));
  EXPECT_EQ(log[11], log_record("0", "!pooled ar order fit to all series"));
  EXPECT_EQ(log[12], log_record("2   0   0    0", "!robust (biweight) mean chronology"));
  EXPECT_EQ(log[14], log_record("0     0", "!no common period analysis performed"));
  EXPECT_EQ(log[15], log_record("SSSTTCC", "!site-tree-core separation mask"));
  EXPECT_EQ(log[16], log_record("50    25     0", "!running rbar window/overlap (no plots)"));
  EXPECT_EQ(log[17], log_record("2", "!summary & series statistics printed"));
  EXPECT_EQ(log[23], log_record("0", "!standard error limit threshold"));
  EXPECT_EQ(box.read_lines("site2.rwl_log.txt")[0], "data file #  2  --  " + pad("site2.rwl", 40));

  // The general output file: header, then the option record.
  const auto out = box.read_lines("site1_out.txt");
  auto find = [&](const std::string& line) {
    for (std::size_t k = 0; k < out.size(); ++k) {
      if (out[k] == line) return static_cast<int>(k);
    }
    return -1;
  };
  EXPECT_GE(find(" |" + std::string(78, '=') + "|"), 0);
  EXPECT_GE(find(" overall run title: " + pad("My first run", 80)), 0);
  // File names stand in their 40-character fields, trailing blanks included.
  EXPECT_GE(find(at_columns({{2, "file names file processed: "}, {35, pad("files.txt", 40)}})), 0);
  const int data_line =
      find(at_columns({{2, "data file processed: "}, {35, pad("site1.txt", 40)}}));
  ASSERT_GE(data_line, 0);
  EXPECT_EQ(out[data_line + 1],
            at_columns({{2, "log file processed: "}, {35, pad("site1_log.txt", 40)}}));
  EXPECT_EQ(out[data_line + 2], "");
  int head = find("                       opt          plt");
  ASSERT_GE(head, 0);
  EXPECT_EQ(out[head + 1], at_columns({{2, "tree-ring data type"},
                                       {21, "    1"},
                                       {42, pad("!tucson ring-width format", 50)}}));
  EXPECT_EQ(out[head + 4], at_columns({{2, "first detrending"},
                                       {21, "   -6      0     0"},
                                       {42, pad("!1st-age dependent spline", 50)}}));
  EXPECT_EQ(out[head + 10], at_columns({{2, "pooled ar order"},
                                        {21, "    0            0"},
                                        {42, "!minimum aic pooled ar model order fit "}}));  // a39
  EXPECT_EQ(out[head + 12], at_columns({{2, "mean chronology"},
                                        {22, "   2   0    0   0"},
                                        {42, pad("!robust (biweight) mean chronology", 50)}}));
  EXPECT_EQ(out[head + 15], at_columns({{2, "site-tree-core mask"},
                                        {28, "SSSTTCC "},
                                        {42, pad("!site-tree-core separation mask", 50)}}));
  EXPECT_EQ(out[head + 16], at_columns({{2, "running rbar"},
                                        {25, "   50   25   0"},
                                        {42, pad("!running rbar window/overlap (no plots)", 50)}}));
  EXPECT_EQ(out[head + 20], "");
  // The value field from column 21 covers the last letter of the 20-character name.
  EXPECT_EQ(out[head + 21], at_columns({{2, "stand dynamics stuf"},
                                        {21, "    0            0"},
                                        {42, pad("!no stand dynamics analyses done", 50)}}));
  EXPECT_EQ(out[head + 25], "");
  EXPECT_EQ(out[head + 26],
            " |======================== raw data statistical analyses "
            "=======================|");
}

TEST_F(RunShell, batch_run_reads_the_log_files_back_and_writes_the_same_record) {
  ASSERT_EQ(box.kalder(kInteractiveTwoFiles).status, 0);
  const std::string interactive = box.read_file("site2.rwl_out.txt");
  // Batch mode: start prompt, file list, title, "y", the final Return.
  RunResult r = box.kalder("\nfiles.txt\nMy first run\ny\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  // A batch run also reads the batch detail file, and says so after the log file line.
  std::string batch = box.read_file("site2.rwl_out.txt");
  const std::string detail =
      " batch detail file processed:     " + pad("site2.rwl_detail.txt", 40) + "\n\n";
  const auto at = batch.find(detail);
  ASSERT_NE(at, std::string::npos);
  batch.erase(at, detail.size());
  EXPECT_EQ(batch, interactive);
  EXPECT_NE(r.output.find(" batch file inputs:"), std::string::npos);
}

TEST_F(RunShell, one_data_file_leaves_no_run_wide_files) {
  box.write_file("one.txt", "site1.txt\n");
  RunResult r = box.kalder("\none.txt\ntitle\nn\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output.find("use same commands"), std::string::npos);
  for (const char* name : kRunWide) EXPECT_FALSE(box.exists(name)) << name;
  EXPECT_TRUE(box.exists("site1_out.txt"));
  // Nor does it touch those of an earlier run of two files.
  ASSERT_EQ(box.kalder(kInteractiveTwoFiles).status, 0);
  const auto earlier = box.files("crns_");
  ASSERT_EQ(earlier.size(), 8u);
  ASSERT_EQ(box.kalder("\none.txt\ntitle\nn\n\n\n\n").status, 0);
  EXPECT_EQ(box.files("crns_"), earlier);
}

TEST_F(RunShell, typed_names_with_back_and_help_answers) {
  // h at the first start prompt shows page 1; blank goes on. At the file-names question:
  // h (help), blank (typed names); b after two names replaces the second one.
  RunResult r = box.kalder("h\n\nh\n\nsite1.txt\nfiles.txt\nb\nsite2.rwl\n\nT\nn\n\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(box.read_file("kalder_files.txt"), "site1.txt\nsite2.rwl\n");
  EXPECT_TRUE(box.exists("site2.rwl_out.txt"));
  EXPECT_FALSE(box.exists("wrong_out.txt"));
  // "b" at the third name takes the second one back: the next prompt is number 2 again.
  EXPECT_NE(r.output.find("\nokay, so enter your data file name(s)\n"
                          "which will be stored in the new file: " +
                          pad("kalder_files.txt", 40) +
                          "\nwhen done, hit <ret> to process the data file(s).\n\n"
                          "file name # 1: file name # 2: file name # 3: file name # 2: "
                          "file name # 3: "),
            std::string::npos);
  // The typed list is the file-names file of the run.
  EXPECT_NE(box.read_file("site1_out.txt")
                .find(" file names file processed:       " + pad("kalder_files.txt", 40) + "\n"),
            std::string::npos);
}

// A typed data file that bears the typed list's name is refused before the list is written
// over it, and the question of the list is asked again ("/" there ends the run).
TEST_F(RunShell, typed_data_file_of_the_typed_lists_name_is_refused) {
  box.copy_data("ca533.rwl", "kalder_files.txt");
  const std::string data = box.read_file("kalder_files.txt");
  RunResult r = box.kalder("\n\nkalder_files.txt\n\n/\n");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("file name # 2: \n"
                          " *** kalder_files.txt is data file 1 of kalder_files.txt, which this "
                          "run would write over with the list of the names typed\n"
                          " *** rename or move kalder_files.txt, then run again with its new "
                          "name\n\nopen the file listing the data file names\n"),
            std::string::npos)
      << r.output;
  EXPECT_TRUE(box.read_file("kalder_files.txt") == data) << "the data file was written over";
  EXPECT_EQ(box.files("kalder_files.txt").size(), 1u);  // no output of it either
}

TEST_F(RunShell, bail_out_and_end_of_input_at_every_question) {
  RunResult bail = box.kalder("/\n");
  EXPECT_EQ(bail.status, 0);
  EXPECT_NE(bail.output.find(" <=== bailout ===>"), std::string::npos);
  for (const char* name : kRunWide) EXPECT_FALSE(box.exists(name)) << name;

  // Input that stops at each question in turn ends with a message and a non-zero status.
  for (const char* input : {"", "\n", "\nfiles.txt\n", "\nfiles.txt\nT\n", "\nfiles.txt\nT\nn\n",
                            "\nfiles.txt\nT\nn\ny\n", "\nfiles.txt\nT\nn\ny\n\n"}) {
    RunResult r = box.kalder(input);
    EXPECT_NE(r.status, 0) << "input: " << input;
    EXPECT_NE(r.output.find("end of input"), std::string::npos) << r.output;
  }
}

TEST_F(RunShell, back_and_help_answers_walk_the_dialogue) {
  // Title "b" goes back to the file-names question; batch mode "h" shows help 4 and asks
  // again, "b" goes back to the count line and the title; same commands "b" goes back to
  // batch mode; continue "h" shows help 6, "b" goes back to same commands (asked again),
  // whose log files are then written again; "maybe" at a yes/no question is refused with
  // the whole answer, trimmed, and asked again.
  RunResult r =
      box.kalder("\nfiles.txt\nb\nfiles.txt\nT\nh\nb\nT\nmaybe \nn\nb\nn\ny\n\nh\nb\ny\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  auto count = [&](const std::string& text) {
    std::size_t n = 0;
    for (auto at = r.output.find(text); at != std::string::npos; at = r.output.find(text, at + 1)) {
      ++n;
    }
    return n;
  };
  EXPECT_EQ(count("open the file listing the data file names"), 2u);
  EXPECT_EQ(count("okay, enter your overall run title:"), 3u);
  EXPECT_EQ(count("run in batch mode from log file? y/<n>/h"), 5u);
  EXPECT_EQ(count("use same commands for all runs? <y>/n/h"), 3u);
  EXPECT_EQ(count("continue with run? <y>/n/h"), 3u);
  EXPECT_EQ(count("==>  *** maybe is no answer here: enter y or n, h for help or b to go back\n"),
            1u);
  EXPECT_EQ(count("batch command files created"), 2u);
  EXPECT_TRUE(box.exists("site2.rwl_out.txt"));
}

TEST_F(RunShell, no_at_continue_keeps_only_the_log_files) {
  RunResult r = box.kalder("\nfiles.txt\nT\nn\ny\n\nn\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(box.exists("site1_log.txt"));
  EXPECT_TRUE(box.exists("site2.rwl_log.txt"));
  EXPECT_FALSE(box.exists("site1_out.txt"));
  EXPECT_FALSE(box.exists("crns_raw.txt"));
}

TEST_F(RunShell, missing_data_file_and_missing_log_file_end_the_run) {
  box.write_file("three.txt", "site1.txt\nsite2.rwl\nsite3.txt\n");
  box.copy_data("ca533.rwl", "site3.txt");
  ASSERT_EQ(box.kalder("\nthree.txt\nT\nn\ny\n\n\n\n").status, 0);
  std::filesystem::remove(box.dir() / "site2.rwl_log.txt");
  std::filesystem::remove(box.dir() / "site3_log.txt");
  const auto earlier = box.files("");
  // The batch run looks for every log file first, names each missing one and writes nothing.
  RunResult r = box.kalder("\nthree.txt\nT\ny\n\n");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("\n*** log file not found:  " + pad("site2.rwl_log.txt", 40) +
                          "\n*** log file not found:  " + pad("site3_log.txt", 40) +
                          "\n*** re-run program in interactive mode\n"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(box.files(""), earlier);

  // A listed data file that does not exist is refused at the file-names question, before
  // any file is written; the question is asked again.
  std::filesystem::remove(box.dir() / "site1.txt");
  std::filesystem::remove(box.dir() / "site1_out.txt");
  RunResult missing = box.kalder("\nthree.txt\n");
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.output.find("\n*** data file not found:  site1.txt\n"
                                "*** line 1 of three.txt: 1 of the 3 names listed do not exist\n"
                                "*** the question wants a file that lists the data files, one name "
                                "per line, or <ret> to type the names\n"),
            std::string::npos)
      << missing.output;
  EXPECT_EQ(missing.output.find("number of files to be processed"), std::string::npos);
  EXPECT_FALSE(box.exists("site1_out.txt"));
}

TEST_F(RunShell, file_names_question_refuses_a_series_file_and_a_missing_name) {
  // A ring-width file given as the list: every record would name a log file.
  RunResult r = box.kalder("\nsite1.txt\nnosuch.txt\nfiles.txt\nT\nn\ny\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("\n*** data file not found:  CAM011  1530   104    89   103    70    69"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("*** line 1 of site1.txt: "), std::string::npos);
  EXPECT_NE(r.output.find("*** site1.txt does not look like a list of data file names\n"),
            std::string::npos);
  // A typed name that does not exist is asked again, with a message.
  EXPECT_NE(r.output.find("\n*** file not found:  nosuch.txt\n*** the question wants a file"),
            std::string::npos);
  std::size_t logs = 0;
  for (const auto& e : std::filesystem::directory_iterator(box.dir())) {
    logs += e.path().filename().string().ends_with("_log.txt") ? 1 : 0;
  }
  EXPECT_EQ(logs, 2u);  // site1 and site2.rwl only
}

TEST_F(RunShell, chronology_ids_come_from_the_file_names_without_their_folder) {
  std::filesystem::create_directories(box.dir() / "sites");
  box.copy_data("ca533.rwl", "sites/siteA.rwl");
  box.copy_data("ca533.rwl", "sites/siteB.rwl");
  box.write_file("files.txt", "sites/siteA.rwl\nsites/siteB.rwl\n");
  ASSERT_EQ(box.kalder(kInteractiveTwoFiles).status, 0);
  const auto lines = box.read_lines("crns_raw.txt");
  std::size_t a = 0, b = 0;
  for (const auto& line : lines) {
    a += line.starts_with("siteA.") ? 1 : 0;
    b += line.starts_with("siteB.") ? 1 : 0;
  }
  EXPECT_GT(a, 0u);
  EXPECT_EQ(a, b);
  // After the three header lines (which carry the data title, the name as given).
  EXPECT_EQ(box.read_lines("sites/siteA.rwl_crns.txt").at(3).substr(0, 6), "siteA.");
}

TEST_F(RunShell, bad_log_record_ends_the_run) {
  ASSERT_EQ(box.kalder(kInteractiveTwoFiles).status, 0);
  auto log = box.read_lines("site1_log.txt");
  log[17] = "9                  !printout option out of range";
  std::string text;
  for (const auto& l : log) text += l + "\n";
  box.write_file("site1_log.txt", text);
  std::filesystem::remove(box.dir() / "site2.rwl_out.txt");
  const std::string earlier = box.read_file("site1_out.txt");
  RunResult r = box.kalder("\nfiles.txt\nT\ny\n\n");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("*** error reading batch commands. re-run the"), std::string::npos);
  EXPECT_NE(r.output.find(" *** data files of the list not processed:\n       site1.txt\n"
                          "       site2.rwl\n"),
            std::string::npos);
  EXPECT_FALSE(box.exists("site2.rwl_out.txt"));  // nothing processed past the failure
  EXPECT_EQ(box.read_file("site1_out.txt"), earlier);
}

TEST_F(RunShell, long_data_file_names_never_collide) {
  const std::string a = std::string(38, 'x') + "_a.txt";
  const std::string b = std::string(38, 'x') + "_b.txt";
  box.copy_data("ca533.rwl", a);
  box.copy_data("ca533.rwl", b);
  box.write_file("long.txt", a + "\n" + b + "\n");
  RunResult r = box.kalder("\nlong.txt\nT\nn\ny\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(box.exists(std::string(38, 'x') + "_a_out.txt"));
  EXPECT_TRUE(box.exists(std::string(38, 'x') + "_b_out.txt"));
  EXPECT_TRUE(box.exists(std::string(38, 'x') + "_b_log.txt"));
}

}  // namespace
}  // namespace dendro::e2e
