// The common period analysis: the series that cover one span of years, their statistics,
// the mean correlation of all pairs, of pairs within a tree and of pairs from different
// trees, the effective signal, EPS and the subsample signal strength, and the principal
// components of the period.
#pragma once

#include <string>
#include <vector>

#include "series/blocks.h"
#include "series/store.h"
#include "statistics/correlation_block.h"
#include "statistics/principal_components.h"

namespace dendro {

class PlotSession;
class Units;

struct CommonPeriodResult {
  bool analysed = false;  // false when fewer than two series cover the period
  int selected = 0;       // N, the series covering the period
  std::vector<std::string> selected_ids;
  CorrelationStatistics all, within, between;  // within and between: 0 when empty
  int trees = 0;                               // trees with a series in the period
  float ceff = 0;  // harmonic mean of the series per tree (with within-tree pairs)
  float reff = 0;  // effective chronology signal (with within-tree pairs)
  float snr = 0, eps = 0;
  std::vector<float> sss;  // SSS(1) .. SSS(N)
  PcaResult components;
};

// The analysis of the series matrix over option 14's period (elements 14 and 44), with
// `cpa` of the series year table holding each series' tree number (0 leaves a series out
// of the within- and between-tree statistics). Option 17 above 1 adds the per-series
// table, option 19 is handed to the principal components. `kind` is the data stage, 1 raw,
// 2 transformed, 3 detrended, 4 residual data. Rows 1 .. N, columns 1 to 7 of the series
// statistics table receive the period's statistics, each column sorted ascending. The
// report goes to the general output file.
CommonPeriodResult comper(const Tsi1& tsi1, StatsTable& stats, int kind, const Icommands& icommands,
                          const std::string& prefix, Units& units, PlotSession& plots);

}  // namespace dendro
