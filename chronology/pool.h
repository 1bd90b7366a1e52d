// Pooled autoregression: one autoregressive model for all series of a data file.
//
// The lagged cross-products of every ordered pair of series (each series with itself too)
// over their common years are pooled into one autocovariance function; autoregressive models
// of orders 1 to 10 are fitted to it by the Yule-Walker equations (Durbin-Levinson recursion)
// and the order is chosen by the Akaike criterion or fixed by option 10.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace dendro {

class PlotSession;
class Units;
struct Commands;
struct Icommands;
struct Tsi1;

inline constexpr int kPoolMaxOrder = 10;
inline constexpr int kPoolLags = 12;  // lags 0 to 11: the order-11 fit is computed, not used

// The pooled lagged cross-products C_0 .. C_11 of the series matrix, whose row 1 is the year
// `first_year`. Lead series are those with lead[i-1] != 0, partner series are all series. For
// each ordered pair (i, j) and lag L the products x_i(t) x_j(t + L) are summed over the years
// t with t and t + L both inside the common years of the two series; a missing value adds
// nothing. Series that do not lie inside the matrix are left out.
std::array<double, kPoolLags> pooled_cross_products(const Tsi1& tsi1, int first_year,
                                                    std::span<const int> lead);

// The Yule-Walker fit of pooled sums.
struct PooledFit {
  std::array<float, kPoolLags> c{};  // C_0 .. C_11 in single precision
  std::array<float, kPoolLags> r{};  // r[k] = C_k / C_0 (r[0] = 1)
  // phi[m][k-1] = phi_{m,k}, the coefficients of order m (1 to 11).
  std::array<std::array<float, kPoolLags>, kPoolLags> phi{};
  std::array<float, kPoolMaxOrder + 1> aic{};  // AIC(0) .. AIC(10)
  int order = 0;
  std::vector<float> coefficients;   // phi_1 .. phi_order of the selected order
  float r_squared = 0.0f;            // sum of phi_k r_k; 0 for order 0
  std::array<float, 101> impulse{};  // psi_0 .. psi_100
};

// Fits orders 1 to 11 to the sums and selects the order by `ipp` (option 10): 0 the first
// Akaike minimum, negative the overall minimum, positive that fixed order. `n` is the
// chronology length of the criterion.
PooledFit fit_pooled(const std::array<double, kPoolLags>& sums, int n, int ipp);

struct PoolResult {
  int order = 0;
  std::vector<float> coefficients;  // phi_1 .. phi_order
  float r_squared = 0.0f;           // fraction of variance explained; 0 for order 0
  // 1 / (1 - r-squared) as a ratio, 1.0 for order 0; only in reporting mode.
  std::optional<float> variance_inflation;
};

// The pooled autoregression of the series whose use flag is 1, over a chronology of n years.
// Every used series is centred on its own mean in the series matrix. With the pooled ar switch
// (commands position 27) "n" or "N" it reports on the console and the general output file;
// otherwise it is silent. Draws the pooled autoregression page when option 19 is 2 or 3 or
// option 10's plot flag (element 40) is 1.
PoolResult pool(Tsi1& tsi1, int n, std::span<const int> use, const Icommands& icommands,
                const Commands& commands, Units& units, PlotSession& plots);

}  // namespace dendro
