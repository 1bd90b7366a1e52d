// A console session over string streams with the option storage at its defaults, for
// driving the menu and the dialogue in tests.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "options/defaults.h"
#include "series/console.h"

namespace dendro::testing {

struct Session {
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
  Icommands ic;
  Commands cmd;

  explicit Session(const std::string& input) : in(input) { reset_options(ic, cmd); }

  // Whatever input the session has not read yet.
  std::string unread() {
    std::string rest;
    std::getline(in, rest, '\0');
    return rest;
  }
  int count(const std::string& text) const {
    int n = 0;
    for (auto at = out.str().find(text); at != std::string::npos;
         at = out.str().find(text, at + 1)) {
      ++n;
    }
    return n;
  }
};

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// The whole numbers among the blank-separated words of `text`.
inline std::vector<int> integers_in(const std::string& text) {
  std::istringstream words(text);
  std::vector<int> numbers;
  for (std::string w; words >> w;) {
    if (w.find_first_not_of("-0123456789") == std::string::npos) numbers.push_back(std::stoi(w));
  }
  return numbers;
}

// Puts every element's own number into it, so that a value read from the wrong element
// shows.
inline void number_every_element(Icommands& ic) {
  ic.for_each_element([](int k, int& v) { v = k; });
}

// Expects two option tables to agree element by element, naming each element that differs.
inline void expect_same_elements(const Icommands& got, const Icommands& want) {
  std::vector<int> wanted;
  want.for_each_element([&](int, int v) { wanted.push_back(v); });
  got.for_each_element([&](int k, int v) {
    EXPECT_EQ(v, wanted[static_cast<std::size_t>(k - 1)]) << "element " << k;
  });
}

// The option table elements whose values the menu and the option record show for option
// items 1 to 23, in the order shown (item 15, the mask, shows none).
inline std::vector<std::vector<int>> item_elements() {
  return {{1},     {2, 32},  {3, 33}, {4, 34, 64},       {5, 35, 65}, {6},      {7},  {8},
          {9, 39}, {10, 40}, {11},    {12, 72, 102, 42}, {13},        {14, 44}, {},   {16, 46, 76},
          {17},    {18},     {19},    {20, 140},         {50},        {80},     {110}};
}

}  // namespace dendro::testing
