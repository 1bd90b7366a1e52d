#include "pelliform/file_names.h"

#include <gtest/gtest.h>

#include <string>

#include "pelliform/censored_files.h"
#include "series/files/forms.h"
#include "series/text.h"

namespace dendro {
namespace {

TEST(file_names, stems_and_ids) {
  EXPECT_EQ(file_stem("abc.d.txt"), "abc.d");
  EXPECT_EQ(file_stem("abc      "), "abc");
  EXPECT_EQ(file_stem("../data/site.rwl"), "../data/site");
  EXPECT_EQ(spectra_stem("my site.rwl"), "my");
  EXPECT_EQ(spectra_stem(std::string(45, 'x')), std::string(40, 'x'));
  EXPECT_EQ(chronology_id("abc.rwl"), "abc     ");
  EXPECT_EQ(chronology_id("site01xyz.rwl"), "site01  ");
  EXPECT_EQ(chronology_id("../d/site01xyz.rwl"), "site01  ");
}

TEST(file_names, period_in_the_file_name_only) {
  EXPECT_EQ(file_stem("oak.rwl  "), "oak");
  EXPECT_EQ(file_stem("oakdata"), "oakdata");
  EXPECT_EQ(file_stem("dir.v2/site.crn"), "dir.v2/site");
  EXPECT_EQ(file_stem("../data.v2/site"), "../data.v2/site");
}

TEST(file_names, series_files_by_pass_transformation_and_index_mode) {
  EngineArgs a;
  EXPECT_EQ(series_file_name(a, "oak", false, pelliform_unit::series_data), "oak_STD_RAW_Data.txt");
  EXPECT_EQ(series_file_name(a, "oak", true, pelliform_unit::series_curves),
            "oak_SSF_RAW_Curves.txt");
  EXPECT_EQ(series_file_name(a, "oak", false, pelliform_unit::series_indices),
            "oak_STD_RAW_Ratios.txt");
  // A power transformation marks the names of residual runs only.
  a.power_transform = 1;
  EXPECT_EQ(series_file_name(a, "oak", true, pelliform_unit::series_indices),
            "oak_SSF_RAW_Ratios.txt");
  a.index_mode = 1;
  EXPECT_EQ(series_file_name(a, "oak", true, pelliform_unit::series_indices),
            "oak_SSF_PTR_Resids.txt");
  a.power_transform = 0;
  EXPECT_EQ(series_file_name(a, "d.1/oak", false, pelliform_unit::series_indices),
            "d.1/oak_STD_RAW_Resids.txt");
}

TEST(file_names, every_possible_output_is_of_either_programs_form) {
  for (const char* data_file : {"../d.1/oak.rwl", "site 1.rwl", "my_site"}) {
    for (const std::string& name : possible_outputs(data_file)) {
      EXPECT_TRUE(of_either_programs_form(own_name(name))) << name;
    }
    for (const char item : {'2', '3', '4', '5', '6', '7'}) {
      const std::string censored = censored_file_name(item, -5, 1950, data_file);
      EXPECT_TRUE(of_either_programs_form(own_name(censored))) << censored;
    }
  }
}

}  // namespace
}  // namespace dendro
