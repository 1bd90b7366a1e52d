// Autoregressive filters with backcasting.
//
// An autoregressive model of order p (coefficients phi[0..p-1] = phi_1 .. phi_p) is applied to
// a series in place. The prewhitening filters (`albino`, `albino1`) replace each value by its
// model residual; the persistence filters (`commie`, `commie1`, `commie2`, `commie3`) do the
// inverse and rebuild a persistent series from residuals. Both start their recursion from p
// values backcast in front of the series, so that every one of the n values gets a filtered
// value. The order is `phi.size()`. All arithmetic is single precision.
//
// The work array of every filter is sized n + p, so any series the store can hold (up to
// kMaxYears values) can be filtered with any order.
#pragma once

#include <span>

namespace dendro {

// Extends the n values in w[0..n) by s backcasts in front: the values move to w[s..s+n) and
// w[0..s) receives the forward model run backwards in time over the values after it, nearest
// to the data first. With no coefficients it returns at once and leaves w unchanged. Throws
// Stop with "*** no room in array for backcasts ***" when w holds fewer than n + s values.
void bckcst(std::span<float> w, int n, std::span<const float> phi, int s);

// Prewhitening about the mean of all values: x = residual + mean.
void albino(std::span<float> x, std::span<const float> phi);

// Prewhitening about the mean over the years of depth 1 or more. A year of depth below 1 is
// thin: it holds the mean (centred 0) in the recursion and gets 1.0 as its result.
void albino1(std::span<float> x, std::span<const int> depth, std::span<const float> phi);

// Persistence about the mean of all values: x = rebuilt + mean.
void commie(std::span<float> x, std::span<const float> phi);

// Persistence about the mean over the years of depth 1 or more; a thin year (depth below 1)
// stays centred at 0 in the recursion, is not rebuilt, and gets 1.0 as its result.
void commie1(std::span<float> x, std::span<const int> depth, std::span<const float> phi);

// Persistence of an index series about 1.0 (no mean is taken): x = rebuilt + 1.0.
void commie2(std::span<float> x, std::span<const float> phi);

// Persistence about the mean over the years whose count is 6 or more; the other years stay
// centred at 0, are not rebuilt, and get 0.0 as their result.
void commie3(std::span<float> x, std::span<const int> count, std::span<const float> phi);

}  // namespace dendro
