// A signal that comes while a long computation runs ends the run within that computation,
// not at the end of its stage.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "harness.h"

namespace dendro::e2e {
namespace {

TEST(interrupted_computation, a_signal_ends_the_bootstrap_of_a_large_set) {
  // 800 series of 800 years with bootstrap limits: the raw chronology's resamples take
  // seconds on eight threads, the stages before them a fraction of that.
  Sandbox box;
  box.write_file("big.rwl", similar_series("BIG", 800, 1201, 800));
  box.write_file("f.txt", "big.rwl\n");
  // Robust mean with bootstrap limits and no plot; every question answered but the last
  // ("hit return to quit"), so that no answer is left unread.
  const std::string title = "calculate the robust raw data chronology";
  const RunResult r = box.interrupt(KALDER_PATH, "\nf.txt\nT\nn\n12\n2\ny\nn\n\n\n", title, SIGINT);
  EXPECT_EQ(r.status, 130) << r.output;
  // The title goes out before the means are computed and their progress lines after: the
  // signal ended the run while the years' resamples were drawn.
  const std::size_t at = r.output.find(title);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(r.output.find("year:", at), std::string::npos) << r.output.substr(at);
  EXPECT_NE(r.output.find(" *** interrupted: the run ends here", at), std::string::npos);
}

}  // namespace
}  // namespace dendro::e2e
