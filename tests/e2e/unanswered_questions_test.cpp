// Scripts that keep feeding answers no question can use, names typed for data files that
// do not exist, and batch runs whose detail file gives series codes of their own or no
// longer fits its data file.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "harness.h"

namespace dendro::e2e {
namespace {

const char* const kNoUsableAnswer = "*** 100 answers in a row could not be used: run ended";
constexpr int kEndOfInputStatus = 3;

std::string blank_lines(int n) { return std::string(static_cast<std::size_t>(n), '\n'); }

TEST(unanswered_questions, endless_blank_lines_end_the_run_quickly) {
  Sandbox box;
  // As `yes ''` does: the typed-names question gets a blank before any name, round after
  // round with the file-names question.
  const auto start = std::chrono::steady_clock::now();
  const RunResult r = box.kalder(blank_lines(200000));
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(r.status, kEndOfInputStatus) << r.output.substr(0, 2000);
  EXPECT_NE(r.output.find(kNoUsableAnswer), std::string::npos);
  EXPECT_EQ(count_of(r.output, "*** no data file names entered ***"), 100);
  EXPECT_LT(r.output.size(), 200000u);
  EXPECT_LT(seconds.count(), 20.0);
  EXPECT_FALSE(box.exists("kalder_files.txt"));
}

#ifdef PELLIFORM_PATH
TEST(unanswered_questions, endless_blank_lines_end_a_pelliform_run_too) {
  Sandbox box;
  // A blank data file name is refused with a pause, round after round.
  const RunResult r = box.run(PELLIFORM_PATH, blank_lines(200000));
  EXPECT_EQ(r.status, kEndOfInputStatus) << r.output.substr(0, 2000);
  EXPECT_NE(r.output.find(kNoUsableAnswer), std::string::npos);
  EXPECT_EQ(count_of(r.output, "There was an error reading your entry."), 100);
}
#endif

TEST(unanswered_questions, blanks_at_the_stop_question_end_the_run_after_three) {
  // cana7rw.rwl's series NOJ045C has a negative default curve: "n" keeps it, a blank
  // goes on, and blank lines follow for ever.
  Sandbox box;
  box.copy_data("cana7rw.rwl");
  box.write_file("f.txt", "cana7rw.rwl\n");
  const RunResult r =
      box.kalder("\nf.txt\nT\nn\n\n\n" + std::string("\n\n") + "n\n\n" + blank_lines(100000));
  EXPECT_EQ(r.status, 1) << r.output.substr(0, 4000);
  EXPECT_EQ(count_of(r.output, "is that what you really want? y/n"), 3);
  EXPECT_EQ(count_of(r.output, "okay, hasta la vista, baby!"), 1);
  EXPECT_NE(r.output.find("*** negative growth curve value ***"), std::string::npos);
  Sandbox again;
  again.copy_data("cana7rw.rwl");
  again.write_file("f.txt", "cana7rw.rwl\n");
  // Two blanks and "n" at the stop question; the plot menu, no change, continue; three
  // blanks.
  const RunResult back = again.kalder("\nf.txt\nT\nn\n\n\n" + std::string("\n\n") + "n\n\n" +
                                      "\n\nn\n" + "\nn\n\n" + "\n\n\n");
  EXPECT_EQ(back.status, 1) << back.output.substr(0, 4000);
  EXPECT_EQ(count_of(back.output, "change curve fit? y/<n>"), 2);
  EXPECT_EQ(count_of(back.output, "is that what you really want? y/n"), 6);
}

TEST(unanswered_questions, a_typed_name_of_no_file_is_asked_again_at_once) {
  Sandbox box;
  box.copy_data("ca533.rwl");
  // Start prompt, typed names: a missing name, the data file, done; title, interactive,
  // the menu as it stands, continue, the final Return.
  const RunResult r = box.kalder("\n\nnothere.rwl\nca533.rwl\n\nT\nn\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("file name # 1: \n*** data file not found:  nothere.rwl\n"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(count_of(r.output, "file name # 1: "), 2);
  EXPECT_NE(r.output.find("number of files to be processed:     1"), std::string::npos);
  EXPECT_EQ(box.read_file("kalder_files.txt"), "ca533.rwl\n");
  for (const char* suffix : {"_crns.txt", "_errs.txt", "_tabs.txt", "_out.txt", "_log.txt"}) {
    EXPECT_FALSE(box.exists(std::string("nothere.rwl") + suffix)) << suffix;
  }
  EXPECT_TRUE(box.exists("ca533.rwl_crns.txt"));

  // Missing names typed for ever end the run as the end of input does.
  Sandbox endless;
  std::string names = "\n\n";
  for (int k = 0; k < 500; ++k) names += "nothere.rwl\n";
  const RunResult e = endless.kalder(names);
  EXPECT_EQ(e.status, kEndOfInputStatus);
  EXPECT_EQ(count_of(e.output, "*** data file not found:  nothere.rwl"), 100);
  EXPECT_NE(e.output.find(kNoUsableAnswer), std::string::npos);
}

TEST(unanswered_questions, a_batch_run_says_which_series_the_detail_file_fits) {
  Sandbox box;
  box.copy_data("ca533.rwl");
  box.write_file("f.txt", "ca533.rwl\n");
  ASSERT_EQ(box.kalder("\nf.txt\nT\nn\n\n\n\n").status, 0);
  // The detail file as the interactive run wrote it repeats the log file's option: no note.
  const RunResult plain = box.kalder("\nf.txt\nT\ny\n\n");
  ASSERT_EQ(plain.status, 0);
  EXPECT_EQ(plain.output.find("*** batch detail file ca533.rwl_detail.txt: the"),
            std::string::npos);

  // The idt field (columns 39-44) of the first three records: 6, 6 and 5 where the log
  // file's only detrending is -6.
  std::vector<std::string> lines = box.read_lines("ca533.rwl_detail.txt");
  ASSERT_GT(lines.size(), 11u);
  lines[8].replace(38, 6, "     6");
  lines[9].replace(38, 6, "     6");
  lines[10].replace(38, 6, "     5");
  std::string edited;
  for (const auto& l : lines) edited += l + "\n";
  box.write_file("ca533.rwl_detail.txt", edited);

  const RunResult r = box.kalder("\nf.txt\nT\ny\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string note =
      " *** batch detail file ca533.rwl_detail.txt: the first detrending of 3 series\n"
      " *** follows their own codes there, not the log file's option -6: codes 5 (1), 6 (2)\n"
      " *** to change them, edit the idt column of that file\n";
  EXPECT_EQ(count_of(r.output, note), 1) << r.output;
  EXPECT_EQ(count_of(box.read_file("ca533.rwl_out.txt"), note), 1);
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return text;
}

TEST(unanswered_questions, a_batch_run_names_detail_rows_that_hold_another_series_id) {
  // The interactive run writes rows for SITE0000 to SITE0008; the user marks row 4
  // (SITE0003) unused, then takes SITE0001 out of the data file.
  const std::string data = similar_series("SITE", 9, 1900, 75);
  Sandbox box;
  box.write_file("s.rwl", data);
  box.write_file("f.txt", "s.rwl\n");
  ASSERT_EQ(box.kalder("\nf.txt\nT\nn\n\n\n\n").status, 0);
  std::vector<std::string> rows = box.read_lines("s.rwl_detail.txt");
  ASSERT_EQ(rows.size(), 17u);        // eight head lines, nine records
  rows[11].replace(56, 6, "     0");  // the icu field (columns 57-62) of record 4
  std::string reduced;
  for (const std::string& line : split_lines(data)) {
    if (!line.starts_with("SITE0001")) reduced += line + "\n";
  }
  box.write_file("s.rwl", reduced);
  box.write_file("s.rwl_detail.txt", joined(rows));
  const RunResult shifted = box.kalder("\nf.txt\nT\ny\n\n");
  ASSERT_EQ(shifted.status, 0) << shifted.output;
  // By hand: row r (2 to 8) names SITE000(r-1) and meets SITE000r, seven rows in all.
  const std::string note =
      " *** batch detail file s.rwl_detail.txt: 7 rows hold the id of another series\n"
      "       row    2: SITE0001 in the detail file, SITE0002 in the data file\n"
      "       row    3: SITE0002 in the detail file, SITE0003 in the data file\n"
      "       row    4: SITE0003 in the detail file, SITE0004 in the data file\n"
      "       row    5: SITE0004 in the detail file, SITE0005 in the data file\n"
      "       row    6: SITE0005 in the detail file, SITE0006 in the data file\n"
      "       and 2 more\n"
      " *** rows are taken by position: each series gets the row at its place\n";
  EXPECT_EQ(count_of(shifted.output, note), 1) << shifted.output;
  std::map<std::string, std::string> written = box.files("s.rwl");
  std::string& out = written["s.rwl_out.txt"];
  ASSERT_EQ(count_of(out, note), 1);
  out.erase(out.find("\n" + note), note.size() + 1);
  // Still by position: SITE0004 gets the unused row 4, and keeps it.
  EXPECT_EQ(split_lines(written["s.rwl_detail.txt"])[11].substr(0, 62),
            "   4  SITE0004  1900  1974     0     0    -6     0     0     0");

  // The same rows with the ids of the series at their places: every file alike, no note.
  Sandbox fits;
  for (int row = 2; row <= 8; ++row) {
    rows[static_cast<std::size_t>(7 + row)].replace(6, 8, "SITE000" + std::to_string(row));
  }
  for (const char* name : {"s.rwl", "f.txt", "s.rwl_log.txt"}) {
    fits.write_file(name, box.read_file(name));
  }
  fits.write_file("s.rwl_detail.txt", joined(rows));
  ASSERT_EQ(fits.kalder("\nf.txt\nT\ny\n\n").status, 0);
  const std::map<std::string, std::string> expected = fits.files("s.rwl");
  ASSERT_EQ(written.size(), expected.size());
  for (const auto& [name, text] : expected) EXPECT_TRUE(written[name] == text) << name;
  // One row a series, the last with another id: the last row is named as any other.
  rows.pop_back();
  rows.back().replace(6, 8, "SITE0009");
  fits.write_file("s.rwl_detail.txt", joined(rows));
  const RunResult last = fits.kalder("\nf.txt\nT\ny\n\n");
  EXPECT_EQ(count_of(last.output,
                     " *** batch detail file s.rwl_detail.txt: 1 row holds the id of another "
                     "series\n       row    8: SITE0009 in the detail file, SITE0008 in the "
                     "data file\n"),
            1)
      << last.output;
}

}  // namespace
}  // namespace dendro::e2e
