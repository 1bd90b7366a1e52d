// The state and steps of one regional curve standardization (used by rcs.cpp and
// rcs_fit.cpp).
#pragma once

#include <string>
#include <vector>

#include "detrending/coefficients.h"
#include "detrending/rcs.h"
#include "detrending/rcs_align.h"

namespace dendro {

class RegionalCurve {
 public:
  RegionalCurve(Tsi1& tsi1, Tsi2& tsi2, StatsTable& stats, const RcsVectors& vectors,
                std::string& title, RcsIo& io);
  // Aligns the set by `offsets` and runs every step to the indices by calendar year.
  void run(std::span<const int> offsets);

 private:
  enum class Decision { accept, refit };

  // rcs.cpp
  void check_vectors() const;
  void save_series(const char* suffix, const char* tag, const char* kind);
  void mean_by_age();
  void keep_in_table(int column, std::span<const float> by_age);
  void fill_age_columns();
  void bootstrap_limits();
  void write_limit_file(std::span<const float> smooth_mean, std::span<const float> smooth_lower,
                        std::span<const float> smooth_upper);
  void name_title();
  void write_chronology();
  void indices_by_age();
  void back_to_calendar();
  void plot_series_indices(int i, std::span<const float> indices);

  // rcs_fit.cpp
  void fit_regional_curve();
  void write_legend();
  void apply_parameter_rule();
  void fit();
  void guard();
  void write_coefficients();
  void indices_of_mean();
  bool wants_inspection() const;
  Decision inspect();
  void show_fit();
  void truncate();
  bool change_option();
  int ask_window();
  void write_option_list();
  [[noreturn]] void terminate_run();

  Tsi1& tsi1_;
  Tsi2& tsi2_;
  StatsTable& stats_;
  RcsVectors v_;
  std::string& title_;
  RcsIo& io_;

  // What the dialogue may change, from the options on entry: the curve-fit option of the
  // regional curve (the second detrending option), its parameter (the window of the running
  // medians and of lowess, else 0), and the curve-fit plot flag of the first detrending
  // option ("no more plots" clears it).
  int option_ = 0;
  int parameter_ = 0;
  int fit_plot_ = 0;

  AgeAlignment alignment_;
  int length_ = 0;         // age rows of the mean and of the curve (L)
  int fit_length_ = 0;     // leading age rows the curve is fitted to (n)
  int depth_above_5_ = 0;  // age rows with more than five series (the bootstrap count)
  bool negative_ = false;  // the current curve has a value <= 0
  int fitted_option_ = 0;  // the option of the curve actually fitted
  Coefficients coef_;
  std::vector<float> mean_;                     // the mean by age
  std::vector<float> work_;                     // the mean handed to the fit
  std::vector<float> series_mean_, series_sd_;  // residual indices: each series before
};

}  // namespace dendro
