// A dense matrix stored by columns, sized to the data, with 1-based element access as the
// numerical routines of the common period analysis are written.
#pragma once

#include <cstddef>
#include <span>
#include <stdexcept>
#include <vector>

namespace dendro {

template <class T>
struct BasicMatrix {
  BasicMatrix() = default;
  BasicMatrix(int rows, int cols) : rows(rows), cols(cols), cells(checked_size(rows, cols), T{}) {}

  static BasicMatrix identity(int n) {
    BasicMatrix m(n, n);
    for (int i = 1; i <= n; ++i) m(i, i) = T{1};
    return m;
  }

  // Element (i, j), row i and column j counted from 1.
  T& operator()(int i, int j) { return cells[index(i, j)]; }
  T operator()(int i, int j) const { return cells[index(i, j)]; }

  // Column j (from 1) as a span of `rows` values.
  std::span<T> column(int j) {
    return std::span<T>(cells).subspan(index(1, j), static_cast<std::size_t>(rows));
  }
  std::span<const T> column(int j) const {
    return std::span<const T>(cells).subspan(index(1, j), static_cast<std::size_t>(rows));
  }

  int rows = 0;
  int cols = 0;
  std::vector<T> cells;

 private:
  static std::size_t checked_size(int r, int c) {
    if (r < 0 || c < 0) throw std::invalid_argument("matrix with a negative dimension");
    return static_cast<std::size_t>(r) * static_cast<std::size_t>(c);
  }
  std::size_t index(int i, int j) const {
    return static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(rows) +
           static_cast<std::size_t>(i - 1);
  }
};

using Matrix = BasicMatrix<float>;
using MatrixD = BasicMatrix<double>;

}  // namespace dendro
