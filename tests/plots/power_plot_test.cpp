#include "plots/power_plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>

#include "page_test_support.h"
#include "plot_test_support.h"

namespace dendro {
namespace {

using plot_test::InFolder;
using plot_test::read_file;
using plot_test::render_png;
using plot_test::scratch;
using plot_test::Scripted;

const std::string kMenu =
    "\n\n"
    "               |************* plot options menu ***************|\n"
    "               |-----------------------------------------------|\n"
    "               |       [s]ave   <[c]ontinue>   [r]eplot        |\n"
    "               |_______________________________________________|\n"
    "\n"
    "                enter option number > ";
const std::string kNoScreen =
    " *** no X display: plots are not shown on the screen; [s]ave writes them as PostScript "
    "files\n";
// Without a screen the console names the page where the screen would show it, and names
// each file a save writes.
const std::string kPage = " page: Spectral Power of Chronologies\n";
const std::string kSaved = " saved: PowerSpectra.txt\n saved: PowerSpectra.ps\n";
const std::string kTab = "\t       ";
const std::string kHead =
    " Power Spectra Estimates for STD RES and KLD Chronologies\n"
    "Freq" +
    kTab + "STD" + kTab + "RES" + kTab + "KLD\n";

struct Spectra {
  std::vector<float> frequency, standard, residual, kalder;
  std::string console;

  void run(const std::string& script, int log_flag) {
    Scripted s(script);
    plt6(s.session, {frequency, {standard, residual, kalder}}, log_flag);
    console = s.out.str();
  }
};

// The spectra of AR(1) processes with unit innovations, S(f) = 1 / (1 + a^2 - 2 a cos 2 pi f)
// (a closed form), at M + 1 frequencies j / 2M.
Spectra ar1_spectra(int m) {
  Spectra s;
  const auto spectrum = [](double a, double f) {
    return static_cast<float>(1.0 / (1.0 + a * a - 2.0 * a * std::cos(2.0 * std::numbers::pi * f)));
  };
  for (int j = 0; j <= m; ++j) {
    const double f = j / (2.0 * m);
    s.frequency.push_back(static_cast<float>(f));
    s.standard.push_back(spectrum(0.5, f));
    s.residual.push_back(spectrum(0.0, f));
    s.kalder.push_back(spectrum(0.3, f));
  }
  return s;
}

TEST(plt6, save_writes_both_files) {
  const auto dir = scratch("plt6");
  const InFolder here(dir);
  Spectra s;
  s.frequency = {0.0f, 0.25f, 0.5f};
  s.standard = {4.0f, 0.8f, 12.5f};  // 12.5 needs nine columns
  s.residual = {1.0f, 1.0f, 1.0f};
  s.kalder = {0.5f, 0.25f, 0.125f};
  s.run("s\nc\n", 0);
  // No note and no file name question: the names are fixed, and the console tells them.
  EXPECT_EQ(s.console, kNoScreen + kPage + kMenu + kSaved + kMenu);
  EXPECT_EQ(read_file(dir / "PowerSpectra.txt"),
            kHead + "0.000000" + kTab + "4.000000" + kTab + "1.000000" + kTab +
                "0.500000\n"
                "0.250000" +
                kTab + "0.800000" + kTab + "1.000000" + kTab +
                "0.250000\n"
                "0.500000" +
                kTab + "12.500000" + kTab + "1.000000" + kTab + "0.125000\n");
  EXPECT_GT(render_png(dir / "PowerSpectra.ps", dir / "linear.png"), 0);

  // The log scale writes the logarithms (log10 0.5 = -0.301030, which drops its leading 0
  // to fit; log10 0.125 = -0.903090; log10 0.05 = -1.301030 takes nine columns); a replot
  // draws on the screen only, and a save replaces a file of its name when told to.
  std::ofstream(dir / "PowerSpectra.txt") << "an older file\n";
  std::filesystem::remove(dir / "PowerSpectra.ps");
  s.residual[1] = 0.05f;
  s.run("r\ns\ny\nR\nS\ny\ny\nx\n", 1);
  const std::string txt = "             PowerSpectra.txt exists: replace it? y/<n> ";
  const std::string ps = "             PowerSpectra.ps exists: replace it? y/<n> ";
  EXPECT_EQ(s.console, kNoScreen + kPage + kMenu + kPage + kMenu + txt + kSaved + kMenu + kPage +
                           kMenu + txt + " saved: PowerSpectra.txt\n" + ps +
                           " saved: PowerSpectra.ps\n" + kMenu);
  EXPECT_EQ(read_file(dir / "PowerSpectra.txt"),
            kHead + "0.000000" + kTab + "0.602060" + kTab + "0.000000" + kTab +
                "-.301030\n"
                "0.250000" +
                kTab + "-.096910" + kTab + "-1.301030" + kTab +
                "-.602060\n"
                "0.500000" +
                kTab + "1.096910" + kTab + "0.000000" + kTab + "-.903090\n");
  EXPECT_GT(render_png(dir / "PowerSpectra.ps", dir / "log.png"), 0);

  // No (the default) leaves both files as they were.
  const std::string both = read_file(dir / "PowerSpectra.txt") + read_file(dir / "PowerSpectra.ps");
  s.run("s\nn\n\nc\n", 1);
  EXPECT_NE(s.console.find(ps + "             *** PowerSpectra.ps is not saved: the earlier file "
                                "is kept as it was\n"),
            std::string::npos);
  EXPECT_EQ(read_file(dir / "PowerSpectra.txt") + read_file(dir / "PowerSpectra.ps"), both);
}

TEST(plt6, answers) {
  const auto dir = scratch("plt6_answers");
  const InFolder here(dir);
  Spectra s = ar1_spectra(20);
  s.run("\n", 1);  // an empty answer continues
  EXPECT_EQ(s.console.size(), s.console.find(kMenu) + kMenu.size());
  s.run("y\n", 1);
  s.run("rrr\nc\n", 1);  // one character is read: "r", then "c"
  EXPECT_EQ(s.console, kNoScreen + kPage + kMenu + kPage + kMenu);
  EXPECT_FALSE(std::filesystem::exists(dir / "PowerSpectra.txt"));

  // A power at or below 0 has no logarithm: the page keeps the linear scale.
  s.kalder[3] = 0.0f;
  s.run("s\nc\n", 1);
  const std::string text = read_file(dir / "PowerSpectra.txt");
  EXPECT_NE(text.find("\n0.075000" + kTab), std::string::npos);
  EXPECT_NE(text.find(kTab + "0.000000\n"), std::string::npos);
  EXPECT_GT(render_png(dir / "PowerSpectra.ps", dir / "page.png"), 0);
}

}  // namespace
}  // namespace dendro
