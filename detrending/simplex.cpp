#include "detrending/simplex.h"

#include <cmath>
#include <cstddef>
#include <utility>

#include "series/console.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/records.h"

namespace dendro {
namespace {

constexpr int kMaxVertices = 6;
constexpr int kEvaluationLimit = 2000;
constexpr float kTolerance = 1.0e-5f;

int normal_model(int model) { return (model == 2 || model == 3) ? model : 1; }

// The curve's parameters unpacked from a vertex by the model code.
struct CurveParameters {
  float a = 0, d = 0, b = 0, c = 0, k = 0;
};

CurveParameters unpack(const SimplexVertex& x, int model) {
  switch (model) {
    case 2:
      return {x[0], 1.0f, x[1], x[2], x[3]};
    case 3:
      return {x[0], x[1], x[2], x[3], x[4]};
    default:
      return {x[0], 0.0f, x[1], 0.0f, x[2]};
  }
}

// a·tt^d·exp(b·tt) + k in single precision; tt^0 is 1 even at tt = 0.
float curve_value(const CurveParameters& q, float tt) {
  const float power = q.d == 0 ? 0.0f : q.d * std::log(tt);
  return q.a * std::exp(q.b * tt + power) + q.k;
}

// Vertices 2 to ndim + 1 of the starting simplex, as absolute parameter values: each moves
// one parameter away from zero, in the model's parameter order.
constexpr float kVertexStep[3][5] = {{1.0f, -0.01f, 0.1f, 0, 0},         // a, b, k
                                     {1.0f, -0.01f, 1.0f, 0.1f, 0},      // a, b, c, k
                                     {1.0f, 1.0f, -0.01f, 1.0f, 0.1f}};  // a, d, b, c, k

SimplexVertex table_vertex(int model, int vertex) {
  SimplexVertex v{};
  const int j = vertex - 2;
  v[static_cast<std::size_t>(j)] = kVertexStep[model - 1][j];
  return v;
}

// The simplex of one fit with its objective values and vertex sums (rows are vertices).
class Amoeba {
 public:
  Amoeba(int model, int nemax, std::span<const float> t, std::span<const float> yobs, Console& con)
      : model_(model),
        ndim_(simplex_dimension(model)),
        nemax_(nemax),
        t_(t),
        yobs_(yobs),
        con_(con) {}

  void set_vertex(int i, const SimplexVertex& v) {
    p_[at(i)] = v;
    y_[at(i)] = objective(v);
  }
  SimplexFit minimise();

 private:
  float objective(const SimplexVertex& x) { return gamoff(x, model_, nemax_, t_, yobs_, con_); }
  float& y(int i) { return y_[at(i)]; }
  float& p(int i, int j) { return p_[at(i)][at(j)]; }
  void sum_vertices();
  float ametry(int ihi, float fac);
  void shrink_towards(int ilo);
  void best_to_first(int ilo) {
    std::swap(y_[0], y_[at(ilo)]);
    std::swap(p_[0], p_[at(ilo)]);
  }

  int model_, ndim_, nemax_;
  std::span<const float> t_, yobs_;
  Console& con_;
  std::array<SimplexVertex, kMaxVertices> p_{};
  std::array<float, kMaxVertices> y_{};
  SimplexVertex psum_{};
};

void Amoeba::sum_vertices() {
  for (int j = 1; j <= ndim_; ++j) {
    float sum = 0;
    for (int i = 1; i <= ndim_ + 1; ++i) sum += p(i, j);
    psum_[at(j)] = sum;
  }
}

// One trial point on the line through vertex ihi and the centroid of the others; it
// replaces vertex ihi when it is better.
float Amoeba::ametry(int ihi, float fac) {
  const float fac1 = (1.0f - fac) / static_cast<float>(ndim_);
  const float fac2 = fac1 - fac;
  SimplexVertex trial{};
  for (int j = 1; j <= ndim_; ++j) {
    trial[at(j)] = psum_[at(j)] * fac1 - p(ihi, j) * fac2;
  }
  // The age offset c (the second-to-last parameter of models 2 and 3) stays at 0 or above,
  // so that t + c is never negative.
  if (model_ > 1 && trial[static_cast<std::size_t>(ndim_ - 2)] <= 0) {
    trial[static_cast<std::size_t>(ndim_ - 2)] = 0;
  }
  const float ytry = objective(trial);
  if (ytry < y(ihi)) {
    y(ihi) = ytry;
    for (int j = 1; j <= ndim_; ++j) {
      // In this order: the vertex sum plus the trial, less the vertex it replaces. Rounded
      // otherwise, the sums drift apart in their last bits and the walk can end elsewhere.
      psum_[at(j)] = psum_[at(j)] + trial[at(j)] - p(ihi, j);
      p(ihi, j) = trial[at(j)];
    }
  }
  return ytry;
}

void Amoeba::shrink_towards(int ilo) {
  for (int i = 1; i <= ndim_ + 1; ++i) {
    if (i == ilo) continue;
    for (int j = 1; j <= ndim_; ++j) p(i, j) = 0.5f * (p(i, j) + p(ilo, j));
    y(i) = objective(p_[at(i)]);
  }
}

SimplexFit Amoeba::minimise() {
  const int mpts = ndim_ + 1;
  int iter = 0;
  sum_vertices();
  for (;;) {
    // Rank the vertices: lowest, highest and next-highest objective. On equal lowest values
    // the later vertex becomes ilo.
    int ilo = 1, ihi, inhi;
    if (y(1) > y(2)) {
      ihi = 1;
      inhi = 2;
    } else {
      ihi = 2;
      inhi = 1;
    }
    for (int i = 1; i <= mpts; ++i) {
      if (y(i) <= y(ilo)) ilo = i;
      if (y(i) > y(ihi)) {
        inhi = ihi;
        ihi = i;
      } else if (y(i) > y(inhi) && i != ihi) {
        inhi = i;
      }
    }
    // Converged when the spread of the objective is small relative to its size (no guard
    // against both extremes being 0: the search then runs to the limit).
    const float rtol = 2.0f * std::fabs(y(ihi) - y(ilo)) / (std::fabs(y(ilo)) + std::fabs(y(ihi)));
    if (rtol < kTolerance) {
      best_to_first(ilo);
      return {p_[0], y_[0], iter, true};
    }
    // The evaluation limit ends the search at the best vertex found, without waiting for
    // the user: a batch run must not stop here.
    if (iter >= kEvaluationLimit) {
      con_.say("itmax exceeded in amoeba");
      best_to_first(ilo);
      return {p_[0], y_[0], iter, false};
    }
    iter += 2;
    // Reflect the highest vertex through the centroid of the others.
    float ytry = ametry(ihi, -1.0f);
    if (ytry <= y(ilo)) {
      // Better than the best: try going twice as far.
      ametry(ihi, 2.0f);
    } else if (ytry >= y(inhi)) {
      // Worse than the second-highest: contract towards the centroid.
      const float ysave = y(ihi);
      ytry = ametry(ihi, 0.5f);
      if (ytry >= ysave) {
        // The contraction did not help either: shrink every vertex towards the lowest.
        shrink_towards(ilo);
        iter += ndim_;
        sum_vertices();
      }
    } else {
      --iter;
    }
  }
}

}  // namespace

int simplex_dimension(int model) {
  switch (normal_model(model)) {
    case 2:
      return 4;
    case 3:
      return 5;
    default:
      return 3;
  }
}

float gamoff(const SimplexVertex& x, int model, int nemax, std::span<const float> t,
             std::span<const float> yobs, Console& con) {
  const int ne = static_cast<int>(yobs.size());
  if (ne > nemax) {
    pause_and_stop(con, Layout("(/1x,'in gamoff ne > nemax: ',2i10)").write(ne, nemax), "bye.");
  }
  const CurveParameters q = unpack(x, normal_model(model));
  double sum = 0;
  for (std::size_t i = 0; i < yobs.size(); ++i) {
    const float tt = t[i] + q.c;
    if (tt < 0) {
      pause_and_stop(con,
                     Layout("(/1x,'in gamoff tmd','\u2264',' 0 at xd.',2e17.10)").write(tt, t[i]),
                     "this is a fatal condition.");
    }
    const double e = static_cast<double>(curve_value(q, tt)) - yobs[i];
    sum += e * e;
  }
  return static_cast<float>(sum);
}

SimplexFit gamoeba(const SimplexVertex& start, int model, int nemax, int m,
                   std::span<const float> t, std::span<const float> yobs, std::span<float> yc,
                   Console& con) {
  model = normal_model(model);
  const int ndim = simplex_dimension(model);
  Amoeba amoeba(model, nemax, t, yobs, con);
  // Vertex 1 is the caller's start; the others come from the table.
  amoeba.set_vertex(1, start);
  for (int i = 2; i <= ndim + 1; ++i) amoeba.set_vertex(i, table_vertex(model, i));
  const SimplexFit fit = amoeba.minimise();

  const CurveParameters q = unpack(fit.best, model);
  for (int i = 1; i <= m; ++i) {
    yc[at(i)] = curve_value(q, static_cast<float>(i) + q.c);
  }
  return fit;
}

}  // namespace dendro
