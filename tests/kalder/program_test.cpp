#include "kalder/program.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "kalder/output_names.h"
#include "series/files/forms.h"
#include "series/files/stop.h"
#include "series/text.h"
#include "stage_support.h"

namespace dendro {
namespace {

// The console holds every line of a stopped run when kalder_main returns. The stop's
// message comes after the last prompt, whose flush wrote the lines before it; the console
// is a file stream, which writes what it holds only when flushed or full.
TEST(kalder_main, a_stopped_run_leaves_nothing_unwritten_on_the_console) {
  const auto path = stage_test::scratch("kalder_main") / "console.txt";
  std::istringstream in("");
  std::ofstream console(path);
  EXPECT_EQ(kalder_main(in, console), kEndOfInputStatus);
  std::ifstream written(path);
  std::stringstream text;
  text << written.rdbuf();
  EXPECT_TRUE(text.str().ends_with(
      "h for more info: \n*** end of input: no answer to the question above, run ended\n"))
      << text.str();
}

TEST(output_names, every_output_is_of_either_programs_form) {
  for (const char* data_file : {"sites/co021.rwl", "site 1.txt", "my_site"}) {
    for (const std::string& name : data_file_outputs(data_file, nullptr)) {
      EXPECT_TRUE(of_either_programs_form(own_name(name))) << name;
    }
  }
}

}  // namespace
}  // namespace dendro
