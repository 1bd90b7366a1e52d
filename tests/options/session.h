// A console session over string streams with the option storage at its defaults, for
// driving the menu and the dialogue in tests.
#pragma once

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

}  // namespace dendro::testing
