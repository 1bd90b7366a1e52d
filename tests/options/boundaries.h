// The edges of every option value rule: option tables, each at the defaults apart from the
// elements that a rule's condition looks at and one element set to the first or last value
// of one of its spans. Only tables in which every element keeps its rule are given, so each
// is one the option dialogue can leave behind.
#pragma once

#include <vector>

#include "options/defaults.h"
#include "options/value_rules.h"
#include "session.h"

namespace dendro::testing {

// The option table element numbered `e` (1 to 150) by its option and parameter.
inline OptionElement element_of(int e) { return {e % 30 == 0 ? 30 : e % 30, (e - 1) / 30}; }

struct Edge {
  Icommands ic;
  int element;
  int value;
};

// Whether every element shown in the menu keeps its rule.
inline bool every_rule_kept(const Icommands& ic) {
  for (const auto& elements : item_elements()) {
    for (int e : elements) {
      if (value_refusal(element_of(e), ic[element_of(e)], ic)) return false;
    }
  }
  return true;
}

inline std::vector<Edge> rule_edges() {
  // The conditions of the rules: detrending codes with a parameter, bootstrap limits, a
  // running rbar window, release detection.
  const std::vector<std::vector<std::pair<int, int>>> settings = {
      {},
      {{4, -5}, {34, 5}},
      {{4, -4}, {34, 8}, {5, -3}, {35, 7}},
      {{4, -3}, {34, 9}, {5, -4}, {35, -50}},
      {{5, -5}},
      {{4, -2}, {5, 2}},
      {{12, 1}, {72, 1}, {102, 20}},
      {{16, 30}, {46, 10}},
      {{20, 2}, {50, 10}, {80, 20}},
      {{20, 3}, {50, 10}, {80, 20}, {110, 2}},
      {{20, 1}},
  };
  std::vector<Edge> edges;
  for (const auto& setting : settings) {
    Icommands base;
    Commands commands;
    reset_options(base, commands);
    for (const auto& [e, v] : setting) base[element_of(e)] = v;
    for (const auto& elements : item_elements()) {
      for (int e : elements) {
        for (const ValueSpan& s : value_rule(element_of(e), base).spans) {
          for (long long v : {s.low, s.high}) {
            if (s.odd_only && v % 2 == 0) v += v == s.low ? 1 : -1;
            Edge edge{base, e, static_cast<int>(v)};
            edge.ic[element_of(e)] = edge.value;
            if (every_rule_kept(edge.ic)) edges.push_back(edge);
          }
        }
      }
    }
  }
  return edges;
}

}  // namespace dendro::testing
