#include "series/console.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "series/files/stop.h"
#include "series/text.h"

namespace dendro {
namespace {

TEST(console, question_puts_the_arrow_in_column_45) {
  std::istringstream in("y\n");
  std::ostringstream out;
  Console con(in, out);
  Answer a = con.ask("run in batch mode from log file? y/<n>/h", 1);
  EXPECT_EQ(out.str(), "run in batch mode from log file? y/<n>/h    ==> ");
  EXPECT_EQ(out.str().find("==> "), 44u);
  EXPECT_EQ(a.text, "y");
  EXPECT_EQ(question_line(std::string(50, 'q')), std::string(44, 'q') + "==> qq");
}

TEST(console, answers_are_fixed_fields) {
  std::istringstream in("b\r\nh  x\n\n 12\nabc\n-7\n4294967306\n2147483647\n");
  std::ostringstream out;
  Console con(in, out);
  Answer b = con.read(40);
  EXPECT_EQ(b.text.size(), 40u);
  EXPECT_TRUE(b.word('b'));
  EXPECT_TRUE(b.word('B'));
  Answer h = con.read(40);
  EXPECT_FALSE(h.word('h'));  // something follows within the first five characters
  EXPECT_TRUE(h.letter('H'));
  EXPECT_TRUE(con.read(8).blank());
  EXPECT_EQ(con.read(8).integer(), 12);
  EXPECT_EQ(con.read(8).integer(), std::nullopt);
  EXPECT_EQ(con.read(2).integer(), -7);
  // Ten characters can hold a number past an int: no answer, not one wrapped around to 10.
  EXPECT_EQ(con.read(10).integer(), std::nullopt);
  EXPECT_EQ(con.read(10).integer(), 2147483647);
}

TEST(console, end_of_input_stops_cleanly) {
  std::istringstream in("");
  std::ostringstream out;
  Console con(in, out);
  try {
    con.ask("Spline stiffness in years", 8);
    FAIL() << "expected Stop";
  } catch (const Stop& s) {
    EXPECT_EQ(s.status, kEndOfInputStatus);
  }
}

// The answer typed as `text` to a question that reads as many characters.
Answer held(std::string_view text) { return Answer::of(text, text.size()); }

// The meaning of each answer text among the given offers.
std::vector<Meaning> meanings(std::initializer_list<const char*> texts, const Offers& offers) {
  std::vector<Meaning> m;
  for (const char* t : texts) m.push_back(held(t).meaning(offers));
  return m;
}

TEST(console, answers_mean_only_what_the_question_offers) {
  using enum Meaning;
  const Offers all{.quit = true, .help = true, .back = true, .yes_no = true};
  EXPECT_EQ(meanings({"/", "/tmp", "h", "H", "b", "B", "y", "Y", "n", "N", " ", "", "x", "1"}, all),
            (std::vector<Meaning>{quit, quit, help, help, back, back, yes, yes, no, no, blank,
                                  blank, value, value}));
  // Nothing offered: every letter and "/" are values for the caller to read.
  EXPECT_EQ(meanings({"/", "h", "b", "y", "n", " "}, {}),
            (std::vector<Meaning>{value, value, value, value, value, blank}));
  // A letter counts as the first character, whatever follows it.
  EXPECT_EQ(meanings({"hx", "no thanks", " y"}, all), (std::vector<Meaning>{help, no, blank}));
}

TEST(console, a_blank_answer_means_the_default) {
  using enum Meaning;
  EXPECT_EQ(held(" ").meaning({.yes_no = true, .blank = no}), no);
  EXPECT_EQ(held("").meaning({.yes_no = true, .blank = yes}), yes);
  EXPECT_EQ(held("  7").meaning({.blank = yes}), yes);  // only the first character counts
}

TEST(console, whole_word_letters_stand_alone_in_five_characters) {
  using enum Meaning;
  const Offers words{.quit = true, .help = true, .back = true, .whole_word = true};
  EXPECT_EQ(
      meanings({"b", "B    x", "h", "bx", "b   x", "back", "/data/list.txt", "     x", "  x", ""},
               words),
      (std::vector<Meaning>{back, back, help, value, value, value, quit, blank, value, blank}));
  // The plot menu's two-character field: "y " and "n " alone, and two blanks.
  const Offers menu{.yes_no = true, .whole_word = true, .blank = yes};
  EXPECT_EQ(meanings({"y ", "N ", "  ", "ny", " n"}, menu),
            (std::vector<Meaning>{yes, no, yes, value, value}));
}

// The status of the Stop that `f` throws, or -1 when it throws none.
template <class F>
int stop_status(F f) {
  try {
    f();
  } catch (const Stop& s) {
    EXPECT_STREQ(s.what(), "");
    return s.status;
  }
  return -1;
}

TEST(console, slash_ends_the_program_quietly) {
  EXPECT_EQ(stop_status([] { held("/").or_quit(); }), 0);
  EXPECT_EQ(stop_status([] { held("/ 12").or_quit(); }), 0);
  EXPECT_EQ(held(" /").or_quit().text, " /");
  EXPECT_EQ(held("12").or_quit().text, "12");
}

TEST(console, yes_no_questions) {
  std::istringstream in("Y\n\nx\n/\nno\n");
  std::ostringstream out;
  Console con(in, out);
  EXPECT_EQ(con.ask_yes_no("change the spline? y/<n>", Meaning::no), Meaning::yes);
  EXPECT_EQ(out.str(), "change the spline? y/<n>                    ==> ");
  EXPECT_EQ(con.ask_yes_no("q", Meaning::no), Meaning::no);
  EXPECT_EQ(con.ask_yes_no("q", Meaning::yes), Meaning::value);
  EXPECT_EQ(con.ask_yes_no("q", Meaning::yes), Meaning::value);  // "/" is no answer here
  EXPECT_EQ(con.ask_yes_no("q", Meaning::yes), Meaning::no);
}

TEST(console, file_names) {
  const std::string path = "/data/" + std::string(50, 'x') + ".rwl";
  std::istringstream in("co021.rwl\n" + path + "  \n/  \n" + path + "\n/\n");
  std::ostringstream out;
  Console con(in, out);
  // Read whole, padded to the 40-character name field when shorter.
  EXPECT_EQ(con.read_name().text, field("co021.rwl", 40));
  EXPECT_EQ(con.read_name().text, path + "  ");
  EXPECT_EQ(con.read_name().text, field("/", 40));  // no stop: the caller decides
  // A path from the root is a name; "/" alone ends the run.
  EXPECT_EQ(con.read_name_or_quit(), path);
  EXPECT_EQ(stop_status([&] { con.read_name_or_quit(); }), 0);
  EXPECT_TRUE(quit_name("/   "));
  EXPECT_FALSE(quit_name(" /"));
  EXPECT_FALSE(quit_name("//"));
}

TEST(console, end_of_input_is_told_from_other_stops) {
  std::istringstream in("");
  std::ostringstream out;
  Console con(in, out);
  try {
    con.read_name_or_quit();
    FAIL() << "expected Stop";
  } catch (const Stop& s) {
    EXPECT_TRUE(end_of_input(s));
  }
  EXPECT_FALSE(end_of_input(Stop("", 0)));
  EXPECT_FALSE(end_of_input(Stop("*** cannot open the data file", kFailureStatus)));
}

}  // namespace
}  // namespace dendro

namespace dendro {
namespace {

// A question loop as the programs write it: asks until `taken` accepts the answer, saying
// again() before every repeat. Returns the answer taken.
std::string ask_until(Console& con, const std::string& taken) {
  for (int round = 0;; ++round) {
    if (round > 0) con.again();
    const std::string a(trim_right(con.ask("pick", 4).text));
    if (a == taken) return a;
  }
}

std::string lines(int n, const std::string& line) {
  std::string s;
  for (int k = 0; k < n; ++k) s += line + "\n";
  return s;
}

TEST(console, the_100th_unusable_answer_in_a_row_ends_the_run_as_end_of_input) {
  // 99 repeats are allowed: the 100th answer is still read and taken.
  {
    std::istringstream in(lines(99, "x") + "ok\n");
    std::ostringstream out;
    Console con(in, out);
    EXPECT_EQ(ask_until(con, "ok"), "ok");
  }
  // The 100th unusable answer ends the run, whatever input is left.
  std::istringstream in(lines(100, "x") + "ok\n");
  std::ostringstream out;
  Console con(in, out);
  try {
    ask_until(con, "ok");
    FAIL() << "expected Stop";
  } catch (const Stop& s) {
    EXPECT_EQ(s.status, kEndOfInputStatus);
    EXPECT_STREQ(s.what(), "*** 100 answers in a row could not be used: run ended");
  }
  std::string rest;
  std::getline(in, rest);
  EXPECT_EQ(rest, "ok");
}

TEST(console, an_answer_taken_starts_the_count_again_and_pauses_leave_it) {
  // 99 repeats, the answer taken, 99 repeats at the next question: the run goes on.
  std::istringstream in(lines(99, "x") + "ok\n" + lines(99, "x") + "go\n");
  std::ostringstream out;
  Console con(in, out);
  EXPECT_EQ(ask_until(con, "ok"), "ok");
  EXPECT_EQ(ask_until(con, "go"), "go");

  // A pause between repeats (a help page) neither counts nor starts the count again.
  std::string script;
  for (int k = 0; k < 100; ++k) script += "h\n\n";
  std::istringstream help_in(script);
  std::ostringstream help_out;
  Console help(help_in, help_out);
  int asked = 0;
  try {
    for (;; ++asked) {
      if (asked > 0) help.again();
      help.ask("pick", 4);
      help.pause("Hit Return to Continue");
    }
  } catch (const Stop& s) {
    EXPECT_EQ(s.status, kEndOfInputStatus);
  }
  EXPECT_EQ(asked, 100);
}

TEST(console, a_step_taken_between_unusable_answers_does_not_start_the_count_again) {
  // "y" to a change question, then a code refused, round after round: the "y" is taken at
  // a question other than the one that refused, and the pair still counts to the limit;
  // so does a question that writes no prompt of its own.
  for (const bool prompted : {true, false}) {
    std::istringstream in(lines(200, "y\nbad"));
    std::ostringstream out;
    Console con(in, out);
    int rounds = 0;
    EXPECT_THROW(
        for (;; ++rounds) {
          if (rounds > 0) con.again();
          con.ask("change curve fit? y/<n>", 1);
          if (prompted) con.ask("enter new option (h for help)", 10);
          if (!prompted) con.read(10);
        },
        Stop);
    EXPECT_EQ(rounds, Console::kMaxAskedAgain);
  }
}

}  // namespace
}  // namespace dendro
