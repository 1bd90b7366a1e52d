#include "options/log_creation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "options/log_file.h"
#include "series/files/stop.h"
#include "series/files/units.h"
#include "series/text.h"
#include "session.h"

namespace dendro {
namespace {

using testing::expect_same_elements;
using testing::lines_of;
using testing::Session;

namespace fs = std::filesystem;

// A data file name as the log files and the console show it: at least 40 characters.
std::string name40(const std::string& name) {
  return field(name, std::max<std::size_t>(40, name.size()));
}

// A folder of its own for each test, so that log files of one test meet no other.
struct Folder {
  fs::path dir;
  explicit Folder(const std::string& name) : dir(fs::path(::testing::TempDir()) / name) {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  std::string path(const std::string& file) const { return (dir / file).string(); }
  std::string read(const std::string& file) const {
    std::ifstream in(path(file));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Writes the list of data file names and opens it on its unit.
  void list(Units& units, const std::vector<std::string>& names) const {
    std::ofstream out(path("files.txt"));
    for (const std::string& n : names) out << (n.empty() ? n : path(n)) << '\n';
    out.close();
    ASSERT_TRUE(units.open_old(unit::file_names, path("files.txt")));
  }
};

TEST(mlf, empty_list) {
  Folder f("mlf_empty");
  Units units;
  f.list(units, {});
  Session s("");
  s.cmd.at(Commands::kSameCommands) = 'y';
  EXPECT_EQ(mlf(units, s.ic, s.cmd, s.con), 0);
  EXPECT_EQ(s.out.str(), "\n    0  batch command files created\n");
}

TEST(mlf, same_commands_for_every_file) {
  Folder f("mlf_same");
  Units units;
  f.list(units, {"oak1.txt", "cedar.TXT", "oak3.rwl"});
  Session s("12\n1\nn\n\n");  // arithmetic mean without limits, then go
  s.cmd.at(Commands::kSameCommands) = 'y';
  EXPECT_EQ(mlf(units, s.ic, s.cmd, s.con), 3);
  EXPECT_EQ(s.count("kalder run time menu"), 2);         // one menu, drawn again after option 12
  EXPECT_TRUE(fs::exists(f.path("cedar.TXT_log.txt")));  // only ".txt" is dropped
  EXPECT_TRUE(fs::exists(f.path("oak3.rwl_log.txt")));
  auto first = lines_of(f.read("oak1_log.txt"));
  auto third = lines_of(f.read("oak3.rwl_log.txt"));
  ASSERT_EQ(first.size(), 24u);
  ASSERT_EQ(third.size(), 24u);
  EXPECT_EQ(first[0].substr(0, 20), "data file #  1  --  ");
  EXPECT_EQ(third[0].substr(0, 20), "data file #  3  --  ");
  EXPECT_EQ(third[0].substr(20), name40(f.path("oak3.rwl")));
  for (std::size_t r = 1; r < 24; ++r) EXPECT_EQ(first[r], third[r]) << "record " << r + 1;
  EXPECT_EQ(first[12].substr(0, 19), "1   0   0    0     ");
  auto console = lines_of(s.out.str());  // the prompt, then "(' ')" on its line
  EXPECT_EQ(console[console.size() - 5],
            " ==> writing batch commands for: " + name40(f.path("oak1.txt")));
  EXPECT_EQ(console.back(), "    3  batch command files created");
}

TEST(mlf, a_menu_for_each_file_from_the_defaults) {
  Folder f("mlf_each");
  {
    Units units;
    f.list(units, {"a.txt", "b.txt", "", "c.txt"});
    Session s("3\n1\nn\n\n\n");  // the log transform for a, the defaults for b
    s.cmd.at(Commands::kSameCommands) = 'N';
    EXPECT_EQ(mlf(units, s.ic, s.cmd, s.con), 2);  // the blank name ends the list
    EXPECT_FALSE(fs::exists(f.path("c_log.txt")));
    EXPECT_EQ(lines_of(f.read("a_log.txt"))[3].substr(0, 1), "1");
    EXPECT_EQ(lines_of(f.read("b_log.txt"))[3].substr(0, 1), "0");
    // Each menu follows a line that names its data file.
    const std::string menu_head = "\n\n |************** kalder run time menu";
    EXPECT_EQ(s.out.str().find("\n ==> options for data file: " + f.path("a.txt") + menu_head), 0u);
    EXPECT_EQ(s.count("\n\n ==> options for data file: " + f.path("b.txt") + menu_head), 1);
    EXPECT_EQ(s.count("options for data file"), 2);
  }

  // A menu for the only data file needs no such line: a later run in the folder.
  Units single;
  f.list(single, {"e.txt"});
  Session alone("\n");
  alone.cmd.at(Commands::kSameCommands) = 'n';
  mlf(single, alone.ic, alone.cmd, alone.con);
  EXPECT_EQ(alone.count("kalder run time menu"), 1);
  EXPECT_EQ(alone.count("options for data file"), 0);

  // With any other answer no menu is shown: the table is written as it stands.
  Folder g("mlf_none");
  Units other;
  g.list(other, {"d.txt"});
  Session quiet("");
  quiet.ic[opt::printout] = 4;
  EXPECT_EQ(mlf(other, quiet.ic, quiet.cmd, quiet.con), 1);
  EXPECT_EQ(lines_of(g.read("d_log.txt"))[17].substr(0, 1), "4");
}

TEST(mlf, long_names_keep_their_whole_prefix) {
  const std::string name = std::string(45, 'x') + ".txt";
  Folder f("mlf_long");
  Units units;
  f.list(units, {name});
  Session s("\n");
  s.cmd.at(Commands::kSameCommands) = 'y';
  mlf(units, s.ic, s.cmd, s.con);
  EXPECT_TRUE(fs::exists(f.path(std::string(45, 'x') + "_log.txt")));
}

TEST(mlf, slash_keeps_the_earlier_log_file_in_hand) {
  Folder f("mlf_slash");
  Units units;
  f.list(units, {"a.txt", "b.txt"});
  std::ofstream(f.path("b_log.txt")) << "earlier\n";
  Session s("\n/\n");
  s.cmd.at(Commands::kSameCommands) = 'n';
  EXPECT_THROW(mlf(units, s.ic, s.cmd, s.con), Stop);
  units.close_all();
  EXPECT_EQ(lines_of(f.read("a_log.txt")).size(), 24u);
  EXPECT_EQ(f.read("b_log.txt"), "earlier\n");
  EXPECT_FALSE(fs::exists(f.path("b_log.txt.part")));
}

TEST(mlf, batch_reads_back_the_menu_choices) {
  Folder f("mlf_round_trip");
  Units units;
  f.list(units, {"site.txt"});
  // Quantile -100 with bootstrap limits, running rbar 40/20 with plots, mask "sstc".
  Session s("12\n-100\ny\ny\n16\n40\n20\ny\n15\nsstc\n20\n3\nn\n10\n25\n2\n\n");
  s.cmd.at(Commands::kSameCommands) = 'y';
  ASSERT_EQ(mlf(units, s.ic, s.cmd, s.con), 1);
  ASSERT_TRUE(units.open_old(unit::log, f.path("site_log.txt")));
  Session back("");
  back.cmd.set_mask("");
  ASSERT_EQ(batch(units, back.ic, back.cmd, back.con, f.path("site.txt")), 0) << back.out.str();
  Icommands expected = s.ic;  // all but the mask's own element, which the log resets
  expected[opt::site_tree_core_mask] = back.ic[opt::site_tree_core_mask];
  expect_same_elements(back.ic, expected);
  EXPECT_EQ(back.ic[opt::mean_chronology], -100);
  EXPECT_EQ(back.ic[opt::running_rbar_overlap], 20);
  EXPECT_EQ(back.ic[opt::release_error_limit], 2);
  EXPECT_EQ(back.cmd.mask(), "sstc    ");
}

}  // namespace
}  // namespace dendro
