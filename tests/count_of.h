// The tests' one counter of a piece of text in a console or file text.
#pragma once

#include <cstddef>
#include <string>

namespace dendro {

// How many times `piece` stands in `text` (overlapping places counted).
inline std::size_t count_of(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace dendro
