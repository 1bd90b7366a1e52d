// The principal components of the series that cover a common period: eigenvalues with
// their errors and the broken-stick model, the number of components to keep, loadings and
// scores, and the varimax rotation of the kept components with its factor scores.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "statistics/eigen.h"
#include "statistics/matrix.h"

namespace dendro {

class PlotSession;
class Units;

struct PcaSetting {
  int first_year = 0;  // the common period
  int last_year = 0;
  int summary_plots = 0;  // option 19: 2 or 3 draw the plots and ask the component count
  int kind = 0;           // 1 raw, 2 transformed, 3 detrended, 4 residual data
  std::string prefix;     // output prefix of the data file: the file names
};

struct PcaResult {
  bool converged = true;  // false when the eigen-decomposition did not converge
  int components = 0;     // m: the series count, or the years when fewer
  // Per component, m values: eigenvalue (rescaled when the period is shorter than the
  // series count), its standard error, the broken-stick value and its marker ("*" where
  // the eigenvalue less its error lies above the broken stick).
  std::vector<float> eigenvalues, errors, broken_stick;
  std::string markers;
  int kaiser = 0;  // eigenvalues of 1.0 and more
  int broken_stick_count = 0;
  int kept = 0;            // components kept for the rotation
  Matrix eigenvectors;     // n x n, column j the unit eigenvector of component j
  Matrix scores;           // years x m, before the division by the root eigenvalue
  VarimaxResult rotation;  // of the kept components' loadings (when kept >= 1)
  int crout_status = -1;   // of the inversion for the factor scores; -1 not tried
  Matrix factor_scores;    // years x kept (when the inversion succeeded)
};

// The analysis of n series over the period: z holds the standardised values (years x n),
// r their correlations (n x n), ids one id per series. The report goes to the general
// output file, the component-count menu to the console (when the summary plots are on),
// and the loadings and scores files (prefix + "_pcloads_raw.txt" and the like) are
// written on the series file unit.
PcaResult pca(const Matrix& z, const Matrix& r, std::span<const std::string> ids,
              const PcaSetting& setting, Units& units, PlotSession& plots);

// The titles record of a loadings file ("series_id") or a scores file ("year"): the
// component numbers 1 .. count, each at the right of its column's eight characters.
std::string component_titles(int count, bool scores);

// The broken-stick values of m components: BS(k) = sum of 1/i for i = k .. m.
std::vector<float> broken_stick(int m);

}  // namespace dendro
