#include "statistics/eigen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <sstream>
#include <vector>

#include "series/console.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

// A matrix from its rows.
Matrix rows(std::initializer_list<std::initializer_list<float>> r) {
  Matrix m(static_cast<int>(r.size()), static_cast<int>(r.begin()->size()));
  int i = 1;
  for (const auto& row : r) {
    int j = 1;
    for (float v : row) m(i, j++) = v;
    ++i;
  }
  return m;
}

// Column j of z equals the expected vector up to its sign.
void expect_vector(const Matrix& z, int j, std::initializer_list<double> expected, double tol) {
  const double sign = z(1, j) * *expected.begin() < 0 ? -1.0 : 1.0;
  int i = 1;
  for (double e : expected) EXPECT_NEAR(sign * z(i++, j), e, tol) << "element " << i - 1;
}

// The eigenvalues of z, which must converge; z receives the eigenvectors.
std::vector<float> eigenvalues_of(Matrix& z) {
  const Eigenvalues e = htdql(z);
  EXPECT_TRUE(e.converged);
  return e.values;
}

TEST(htdql, closed_forms) {
  // [[2,1],[1,2]]: eigenvalues 3 and 1, vectors (1,1)/sqrt2 and (1,-1)/sqrt2.
  Matrix a = rows({{2, 1}, {1, 2}});
  const std::vector<float> d = eigenvalues_of(a);
  EXPECT_NEAR(d[0], 3.0, 1e-6);
  EXPECT_NEAR(d[1], 1.0, 1e-6);
  const double h = std::sqrt(0.5);
  expect_vector(a, 1, {h, h}, 1e-6);
  expect_vector(a, 2, {h, -h}, 1e-6);

  // The second-difference matrix of order 3: eigenvalues 2 + sqrt2, 2, 2 - sqrt2 with
  // vectors (1, -sqrt2, 1)/2, (1, 0, -1)/sqrt2, (1, sqrt2, 1)/2.
  Matrix b = rows({{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}});
  const std::vector<float> e = eigenvalues_of(b);
  const double r2 = std::sqrt(2.0);
  EXPECT_NEAR(e[0], 2 + r2, 1e-5);
  EXPECT_NEAR(e[1], 2.0, 1e-5);
  EXPECT_NEAR(e[2], 2 - r2, 1e-5);
  expect_vector(b, 1, {0.5, -r2 / 2, 0.5}, 1e-5);
  expect_vector(b, 2, {1 / r2, 0, -1 / r2}, 1e-5);
  expect_vector(b, 3, {0.5, r2 / 2, 0.5}, 1e-5);
}

TEST(htdql, agrees_with_r) {
  // R 4.x: a <- matrix(c(4,1,2,0.5, 1,3,0,1, 2,0,5,1.5, 0.5,1,1.5,2),4)
  //        eigen(a, symmetric=TRUE)
  Matrix a = rows({{4, 1, 2, 0.5}, {1, 3, 0, 1}, {2, 0, 5, 1.5}, {0.5, 1, 1.5, 2}});
  const std::vector<float> d = eigenvalues_of(a);
  const double values[] = {7.192666378, 3.506364556, 2.523055331, 0.777913736};
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(d[static_cast<std::size_t>(k)], values[k], 2e-5);
  expect_vector(a, 1, {-0.571862725, -0.209549230, -0.731432010, -0.306707285}, 2e-5);
  expect_vector(a, 2, {0.281729280, 0.806363554, -0.504363717, 0.126584643}, 2e-5);
  expect_vector(a, 3, {0.721211386, -0.308704748, -0.234748206, -0.573976302}, 2e-5);
  expect_vector(a, 4, {-0.271027257, 0.458877236, 0.394357369, -0.748637545}, 2e-5);
}

TEST(htdql, order_and_small_cases) {
  // Order 1: the element itself and the unit vector.
  Matrix one = rows({{-2.5f}});
  const std::vector<float> d1 = eigenvalues_of(one);
  EXPECT_EQ(d1[0], -2.5f);
  EXPECT_EQ(one(1, 1), 1.0f);

  // A diagonal matrix: its diagonal in descending order, unit vectors in the same order.
  Matrix diag = rows({{1, 0, 0}, {0, 3, 0}, {0, 0, 2}});
  const std::vector<float> d3 = eigenvalues_of(diag);
  EXPECT_EQ(d3, (std::vector<float>{3, 2, 1}));
  expect_vector(diag, 1, {0, 1, 0}, 0);
  expect_vector(diag, 2, {0, 0, 1}, 0);
  expect_vector(diag, 3, {1, 0, 0}, 0);

  // Equal eigenvalues: the one with the later index comes first.
  Matrix equal = rows({{1, 0}, {0, 1}});
  const std::vector<float> d2 = eigenvalues_of(equal);
  EXPECT_EQ(equal(1, 1), 0.0f);
  EXPECT_EQ(equal(2, 1), 1.0f);
  EXPECT_EQ(equal(1, 2), 1.0f);
}

TEST(gmas, signs) {
  // Column 1: negative weight 0.64 above positive 0.36, negated; column 2: a tie, kept.
  Matrix z = rows({{0.6f, 0.5f}, {-0.8f, -0.5f}});
  EXPECT_EQ(gmas(z, 2), (std::vector<int>{-1, 1}));
  EXPECT_FLOAT_EQ(z(1, 1), -0.6f);
  EXPECT_FLOAT_EQ(z(2, 1), 0.8f);
  EXPECT_FLOAT_EQ(z(2, 2), -0.5f);
}

// Rotation of the rows of s by the angle theta: a = s * [[c, -s], [s, c]].
Matrix rotated(const Matrix& s, double theta) {
  Matrix a(s.rows, 2);
  const float c = static_cast<float>(std::cos(theta)), sn = static_cast<float>(std::sin(theta));
  for (int i = 1; i <= s.rows; ++i) {
    a(i, 1) = s(i, 1) * c + s(i, 2) * sn;
    a(i, 2) = -s(i, 1) * sn + s(i, 2) * c;
  }
  return a;
}

TEST(varimax, recovers_a_rotated_simple_structure) {
  // Loadings with each row on one factor maximise the criterion, so the rotation of
  // their 30-degree turn comes back to them (up to the factors' signs).
  const Matrix simple = rows({{0.8f, 0}, {0.7f, 0}, {0.6f, 0}, {0, 0.9f}, {0, 0.5f}, {0, 0.7f}});
  const Matrix a = rotated(simple, 3.14159265358979 / 6);
  VarimaxResult v = varimax(a, 2);
  gmas(v.rotated, 2);
  for (int i = 1; i <= 6; ++i) {
    EXPECT_NEAR(v.rotated(i, 1), simple(i, 1), 1e-4) << "row " << i;
    EXPECT_NEAR(v.rotated(i, 2), simple(i, 2), 1e-4) << "row " << i;
  }
  // Hand: (0.64 + 0.49 + 0.36) / 6 and (0.81 + 0.25 + 0.49) / 6.
  EXPECT_NEAR(v.variance[0], 1.49 / 6, 1e-5);
  EXPECT_NEAR(v.variance[1], 1.55 / 6, 1e-5);
  // The rotation matrix turns the loadings back: a * t = rotated (before the signs).
  EXPECT_NEAR(std::fabs(v.rotation(1, 1)), std::cos(3.14159265358979 / 6), 1e-4);
}

TEST(varimax, agrees_with_r_on_three_factors) {
  // R 4.x, a simple structure turned twice (see the R lines below):
  //   x <- matrix(c(0.8,0.7,0.6,0.1,0.2,0.0,0.1,0.0,0.2, 0.1,0.0,0.2,0.9,0.6,0.7,0.0,0.1,0.1,
  //                 0.0,0.2,0.1,0.1,0.0,0.2,0.8,0.5,0.6),9)
  //   th <- 0.5; R1 <- matrix(c(cos(th),sin(th),0,-sin(th),cos(th),0,0,0,1),3)
  //   ph <- 0.3; R2 <- matrix(c(1,0,0,0,cos(ph),sin(ph),0,-sin(ph),cos(ph)),3)
  //   a <- x %*% R1 %*% R2; v <- varimax(a, normalize=TRUE, eps=1e-10)
  const Matrix a = rows({{0.7500086034f, -0.2825715043f, 0.08740960939f},
                         {0.6143077933f, -0.2615048563f, 0.29024325180f},
                         {0.6224346449f, -0.0775782771f, 0.12867293345f},
                         {0.5192412409f, 0.7382987288f, -0.12370739971f},
                         {0.4631718355f, 0.4114294440f, -0.12727004118f},
                         {0.3355978770f, 0.6459746918f, 0.00952693179f},
                         {0.0877582562f, 0.1906148942f, 0.77843718473f},
                         {0.0479425539f, 0.2315987677f, 0.45173390656f},
                         {0.2234590662f, 0.1695482462f, 0.57560354232f}});
  const double expected[9][3] = {{8.00152244e-01, 0.098773747400, -0.000365072462},
                                 {6.99913291e-01, 0.000363805075, 0.200302901145},
                                 {6.00262843e-01, 0.199794160979, 0.098827183087},
                                 {1.01336277e-01, 0.900540065532, 0.093587122054},
                                 {2.00919290e-01, 0.599677975328, -0.004214852391},
                                 {9.86977909e-04, 0.701415600538, 0.194974821955},
                                 {9.96565849e-02, 0.005584747586, 0.800023359457},
                                 {-6.12981271e-05, 0.103583369190, 0.499269948895},
                                 {1.99895538e-01, 0.103994689911, 0.599355385850}};
  VarimaxResult v = varimax(a, 3);
  gmas(v.rotated, 3);
  for (int i = 1; i <= 9; ++i) {
    for (int j = 1; j <= 3; ++j) {
      EXPECT_NEAR(v.rotated(i, j), expected[i - 1][j - 1], 3e-3) << i << "," << j;
    }
  }
  // R: colSums(unclass(v$loadings)^2)/9
  EXPECT_NEAR(v.variance[0], 0.176773995, 1e-3);
  EXPECT_NEAR(v.variance[1], 0.192646624, 1e-3);
  EXPECT_NEAR(v.variance[2], 0.149468270, 1e-3);
}

TEST(varimax, degenerate_inputs) {
  // One factor: nothing to rotate; the variance is the mean squared loading.
  const Matrix one = rows({{0.5f}, {-0.3f}, {0.9f}});
  VarimaxResult v = varimax(one, 1);
  for (int i = 1; i <= 3; ++i) EXPECT_NEAR(v.rotated(i, 1), one(i, 1), 1e-7);
  EXPECT_EQ(v.rotation(1, 1), 1.0f);
  EXPECT_NEAR(v.variance[0], (0.25 + 0.09 + 0.81) / 3, 1e-7);

  // Already simple: one round of pairs without a rotation ends the call.
  const Matrix simple = rows({{0.8f, 0}, {0, 0.6f}, {0.7f, 0}});
  VarimaxResult s = varimax(simple, 2);
  EXPECT_EQ(s.passes, 1);
  EXPECT_EQ(s.rotation(1, 2), 0.0f);

  // A row without loadings has no direction: it stays zero and spoils nothing.
  const Matrix zero_row = rows({{0.8f, 0.1f}, {0, 0}, {0.1f, 0.7f}, {0.6f, 0.2f}});
  VarimaxResult z = varimax(zero_row, 2);
  EXPECT_EQ(z.rotated(2, 1), 0.0f);
  EXPECT_EQ(z.rotated(2, 2), 0.0f);
  EXPECT_TRUE(std::isfinite(z.rotated(1, 1)) && std::isfinite(z.variance[0]));
}

TEST(crout, inverse_and_determinant) {
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  // [[4, 3], [6, 3]]: the rows are swapped once, determinant 12 - 18 = -6.
  Matrix a = rows({{4, 3}, {6, 3}});
  CroutResult r = crout(a, con);
  EXPECT_EQ(r.status, 0);
  EXPECT_NEAR(r.determinant, -6.0, 1e-5);
  EXPECT_NEAR(a(1, 1), -0.5, 1e-6);
  EXPECT_NEAR(a(1, 2), 0.5, 1e-6);
  EXPECT_NEAR(a(2, 1), 1.0, 1e-6);
  EXPECT_NEAR(a(2, 2), -2.0 / 3.0, 1e-6);

  // R 4.x: m <- matrix(c(2,0,1, 1,1,0, 0,3,1),3, byrow=TRUE); det(m); solve(m)
  Matrix b = rows({{2, 0, 1}, {1, 1, 0}, {0, 3, 1}});
  r = crout(b, con);
  EXPECT_NEAR(r.determinant, 5.0, 1e-5);
  const double inverse[3][3] = {{0.2, 0.6, -0.2}, {-0.2, 0.4, 0.2}, {0.6, -1.2, 0.4}};
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 3; ++j) EXPECT_NEAR(b(i, j), inverse[i - 1][j - 1], 1e-6);
  }
  EXPECT_EQ(out.str(), "");
}

TEST(ludcmp, pivots_and_sign) {
  // [[1, 2], [3, 4]] scaled by its rows' largest magnitudes: 1 x 1/2 against 3 x 1/4, so
  // row 2 is the first pivot, one interchange; the factors' diagonal 3 and 2 - 4/3 times the
  // sign give the determinant 4 - 6 = -2.
  MatrixD a(2, 2);
  a(1, 1) = 1;
  a(1, 2) = 2;
  a(2, 1) = 3;
  a(2, 2) = 4;
  const LuPivots lu = ludcmp(a);
  EXPECT_EQ(lu.status, 0);
  EXPECT_EQ(lu.indx, (std::vector<int>{2, 2}));
  EXPECT_EQ(lu.sign, -1.0);
  EXPECT_NEAR(lu.sign * a(1, 1) * a(2, 2), -2.0, 1e-12);
  // Without interchanges the sign stays 1; a row of zeros is refused.
  MatrixD identity = MatrixD::identity(3);
  EXPECT_EQ(ludcmp(identity).sign, 1.0);
  MatrixD zero_row(2, 2);
  zero_row(1, 1) = 1;
  EXPECT_EQ(ludcmp(zero_row).status, kCroutSingular);
}

TEST(crout, refusals_leave_the_matrix) {
  std::istringstream in("\n\n");
  std::ostringstream out;
  Console con(in, out);
  Matrix zero_row = rows({{1, 2}, {0, 0}});
  const Matrix before = zero_row;
  EXPECT_EQ(crout(zero_row, con).status, kCroutSingular);
  EXPECT_EQ(zero_row.cells, before.cells);
  EXPECT_EQ(out.str(), "*** singular matrix in crout ***");

  out.str("");
  Matrix big = Matrix::identity(kCroutLimit + 1);
  EXPECT_EQ(crout(big, con).status, kCroutTooLarge);
  EXPECT_EQ(big(1, 1), 1.0f);
  EXPECT_EQ(out.str(), "*** matrix dimension too large for crout ***");

  // The pause needs an answer: without input the program ends cleanly.
  Matrix again = Matrix::identity(kCroutLimit + 1);
  EXPECT_THROW(crout(again, con), Stop);
}

}  // namespace
}  // namespace dendro
