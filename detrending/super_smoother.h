// Friedman's variable-span super smoother (J. H. Friedman, "A variable span smoother",
// Stanford LCS technical report 5, 1984): per point, a choice between three running-line
// smooths (tweeter, midrange, woofer) by their cross-validated residuals, optionally pulled
// towards the woofer by the bass control alpha.
#pragma once

#include <span>

namespace dendro {

// The smoother's constants and spans, fixed for the life of the program.
struct SmootherConstants {
  static constexpr float big = 1.0e20f;  // start value of the residual minimum
  static constexpr float sml = 1.0e-7f;  // floor of the residual ratio
  static constexpr float eps = 1.0e-3f;  // relative size of the smallest variance
};
struct SmootherSpans {
  static constexpr float tweeter = 0.05f, midrange = 0.2f, woofer = 0.5f;
};

// Smooths y against the ascending abscissae x with weights w into smo (n values each).
// iper 1: ordinary; 2: x periodic on [0, 1]. span > 0: one running-line smooth of that
// span; span <= 0: the variable span. alpha in (0, 10] biases towards the woofer. Series
// of 2 to 4 values get the weighted least-squares line through all of them.
void supsmu(std::span<const float> x, std::span<const float> y, std::span<const float> w, int iper,
            float span, float alpha, std::span<float> smo);

// Running weighted straight line of y with a window of span·n points, kept up to date by
// adding one point and removing one. iper > 0 also writes the cross-validated absolute
// residuals into acvr; |iper| = 2 treats x as periodic on [0, 1]. A local variance at or
// below vsmlsq gives a flat local line.
void smooth(std::span<const float> x, std::span<const float> y, std::span<const float> w,
            float span, int iper, float vsmlsq, std::span<float> smo, std::span<float> acvr);

}  // namespace dendro
