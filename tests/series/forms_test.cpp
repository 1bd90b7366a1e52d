#include "series/files/forms.h"

#include <gtest/gtest.h>

namespace dendro {
namespace {

TEST(forms, kalders_run_wide_names_and_typed_list) {
  EXPECT_TRUE(of_either_programs_form(kalder_names::kTypedNamesFile));
  for (const auto& f : kalder_names::kRunWideFiles) EXPECT_TRUE(of_either_programs_form(f.name));
}

TEST(forms, names_neither_program_writes) {
  for (const char* name :
       {"", "site.rwl", "notes.doc", "x.txt", "_out.txt", "_crns_col.txt", "site_out.txt.bak",
        "site_out", "site_pcloads_.txt", "site_pcloads_raw", "site_STD_RAW_.txt", "site_out_v.txt",
        "site_STD_Data.txt", "crns_raw.txt~", "kalder_files.txt.tmp"}) {
    EXPECT_FALSE(of_either_programs_form(name)) << name;
  }
}

}  // namespace
}  // namespace dendro
