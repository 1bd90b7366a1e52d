#include "options/defaults.h"

#include "series/fit_codes.h"

namespace dendro {
namespace {

struct Default {
  OptionElement element;
  int value;
};

// Option codes first, then their parameters.
constexpr Default kDefaults[] = {
    {opt::data_type, 1},
    {opt::missing_data, -9},
    {opt::transformation, 0},
    {opt::first_detrending, fit::age_spline},
    {opt::second_detrending, fit::none},
    {opt::robust_detrending, 1},
    {opt::interactive, 0},
    {opt::index_calculation, 1},
    {opt::ar_method, 1},
    {opt::pooled_ar_order, 0},
    {opt::series_ar_order, 0},
    {opt::mean_chronology, 2},
    {opt::stabilisation, 0},
    {opt::common_period_first, 0},
    {opt::running_rbar_window, 50},
    {opt::printout, 2},
    {opt::core_series_save, 0},
    {opt::summary_plots, 0},
    {opt::stand_dynamics, 0},
    {opt::transformation_plots, 0},
    {opt::first_detrending_parameter, 0},
    {opt::second_detrending_parameter, 0},
    {opt::ar_method_plots, 0},
    {opt::pooled_ar_plots, 0},
    {opt::bootstrap_plots, 0},
    {opt::common_period_last, 0},
    {opt::running_rbar_overlap, 25},
    {opt::release_window, 0},
    {opt::first_detrending_plots, 0},
    {opt::second_detrending_plots, 0},
    {opt::bootstrap_limits, 0},
    {opt::running_rbar_plots, 0},
    {opt::release_threshold, 0},
    {opt::bootstrap_spline, 0},
    {opt::release_error_limit, 0},
};

}  // namespace

void reset_options(Icommands& icommands, Commands& commands) {
  for (const Default& d : kDefaults) icommands[d.element] = d.value;
  commands.set_mask(kDefaultMask);
}

}  // namespace dendro
