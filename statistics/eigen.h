// The numerical kernels of the principal components analysis: the eigen-decomposition of a
// symmetric matrix, conventional signs of its vectors, Kaiser's varimax rotation, and a
// matrix inverse with its determinant by LU decomposition.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "statistics/matrix.h"

namespace dendro {

class Console;

// QL iterations allowed for one eigenvalue.
inline constexpr int kQlIterationLimit = 30;
// The console message of an eigen-decomposition that did not converge.
inline constexpr std::string_view kHtdqlNoConvergence =
    "0>>sbr htdql: eigenvector computation terminated after 30 iterations";

struct Eigenvalues {
  bool converged = true;      // false when one needed more than kQlIterationLimit iterations
  std::vector<float> values;  // z.rows values, descending; partly computed when not converged
};

// Eigenvalues and eigenvectors of the symmetric matrix z (its lower triangle and diagonal
// are read): Householder reduction to tridiagonal form, then QL iterations with implicit
// shifts, in single precision. Returns the eigenvalues in descending order (of equal values
// the one found last comes first); column j of z becomes the unit eigenvector of value j
// (only partly computed when the iterations did not converge).
Eigenvalues htdql(Matrix& z);

// Gives each of the first `cols` columns of z its conventional sign: a column whose
// negative entries carry more squared weight than its positive ones is negated (a tie
// leaves it). Returns -1 for each negated column and 1 for the others.
std::vector<int> gmas(Matrix& z, int cols);

struct VarimaxResult {
  Matrix rotated;                       // a.rows x nf rotated loadings, a * rotation
  Matrix rotation;                      // nf x nf
  std::vector<float> variance;          // per factor: sum of its squared loadings / a.rows
  std::vector<float> communality_root;  // per row: square root of the row's communality
  int passes = 0;                       // criterion evaluations made
};

// Error code of a rotation that did not settle within its passes.
inline constexpr int kVarimaxNoConvergence = 66;

// Varimax rotation of the first nf columns of the loadings a, Kaiser-normalised (each row
// scaled to unit length during the rotation), by pairwise plane rotations. A row whose
// loadings are all zero has no direction: it takes no part and stays zero. Throws Stop
// with the error line when the criterion has not settled after 29 sweeps.
VarimaxResult varimax(const Matrix& a, int nf);

// Status of crout (0 when the inverse was computed).
inline constexpr int kCroutTooLarge = 1;
inline constexpr int kCroutSingular = 2;
// Largest order that crout inverts.
inline constexpr int kCroutLimit = 500;

struct CroutResult {
  float determinant = 0.0f;
  int status = 0;
};

// Replaces the square matrix a by its inverse and returns its determinant, computed in
// double precision through ludcmp and lubksb. An order above kCroutLimit or a matrix with
// a row of zeros pauses with a message on the console and returns its status, a unchanged.
// A matrix singular in any other way is not detected: its zero pivots become 1.0e-20.
CroutResult crout(Matrix& a, Console& con);

struct LuPivots {
  int status = 0;         // kCroutSingular when a row is all zero (a then partly changed)
  std::vector<int> indx;  // the pivot row of each column (1-based)
  double sign = 1.0;      // -1 to the power of the row interchanges
};

// Crout's LU decomposition with implicit partial pivoting of the square matrix a, in place.
LuPivots ludcmp(MatrixD& a);

// Solves A x = b with the factors and pivots of ludcmp; b is replaced by x.
void lubksb(const MatrixD& lu, std::span<const int> indx, std::span<double> b);

}  // namespace dendro
