// Helpers of the tests of the pages that write files of fixed names into the current folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace dendro::plot_test {

// Works in `folder` for the life of the object, then returns to the folder it came from.
class InFolder {
 public:
  explicit InFolder(const std::filesystem::path& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(previous_); }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

// The menu of the weights and eigenvalue pages, as the user sees it.
inline const std::vector<std::string> kMenuTo17{
    "|************* plot options menu **************|",
    "| replot             [0]  minor ticks y   [11] |",
    "| background color   [1]  major ticks z   [12] |",
    "| frame color        [2]  minor ticks z   [13] |",
    "| text color         [3]  max. x          [14] |",
    "| line color         [4]  min. x          [15] |",
    "| fit  color         [5]  max. y          [16] |",
    "| line style         [6]  min. y          [17] |",
    "| curve width        [7]                  [  ] |",
    "| major ticks x      [8]                  [  ] |",
    "| minor ticks x      [9]                  [  ] |",
    "| major ticks y     [10]                  [  ] |",
    "|                                              |",
    "|           reset plot options  [99]           |",
    "|----------------------------------------------|",
    "|    [s]ave   <[c]ontinue>  [n]o more plots    |",
    "|______________________________________________|",
};

// The short menu of the loadings and pooled autoregression pages.
inline const std::vector<std::string> kShortMenu{
    "|************* plot options menu ***************|",
    "| replot             [0] line color         [4] |",
    "| background color   [1] bar fill  color    [5] |",
    "| frame color        [2] curve style        [6] |",
    "| text color         [3] curve width        [7] |",
    "|                                               |",
    "|              reset options  [99]              |",
    "|-----------------------------------------------|",
    "|             [s]ave   <[c]ontinue>             |",
    "|_______________________________________________|",
};

}  // namespace dendro::plot_test
