// The main of every test program. The process works in a fresh folder of its own, made
// under the scratch folder that TMPDIR names: relative names, temp_directory_path() and
// testing::TempDir() all lie there, so that test processes run side by side never write
// into one folder. The folder goes at the end, unless a test failed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  namespace fs = std::filesystem;
  std::string dir = (fs::temp_directory_path() / "run_XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) {
    std::perror(dir.c_str());
    return 2;
  }
  ::setenv("TMPDIR", (dir + "/").c_str(), 1);
  ::setenv("TEST_TMPDIR", (dir + "/").c_str(), 1);
  fs::current_path(dir);
  const int status = RUN_ALL_TESTS();
  fs::current_path("/");
  std::error_code ec;
  if (status == 0) {
    fs::remove_all(dir, ec);
  } else {
    std::fprintf(stderr, "the files of this run are kept in %s\n", dir.c_str());
  }
  return status;
}
