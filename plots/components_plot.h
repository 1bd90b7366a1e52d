// The principal component pages: the loadings of every series on up to four components as
// bar panels, and the component scores by year, each with its mean.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "plots/plot_loop.h"

namespace dendro {

// The components a page may show. Panel k (1 to 4) shows component numbers[k - 1] with
// shares[k - 1] in its label; it is shown when its share is not 0 and its number is not
// above the retained count.
struct ComponentPanels {
  int kind = 1;                            // 1 principal components, 2 varimax factors
  std::array<float, 4> shares{};           // printed in the label, followed by "%"
  std::array<int, 4> numbers{1, 2, 3, 4};  // the components' numbers
  int retained = 0;                        // components that the analysis kept
};

// A values table held by columns: element (i, k), both from 1, at (k - 1) * rows + i - 1.
struct ColumnTable {
  std::span<const float> values;
  int rows = 0;
};

// The label of a panel (17 characters): "PC_" or "VF_", the number, its share and "%", so
// that component 1 with 34.56 reads "PC_1 34.56 %".
std::string component_label(int kind, int number, float share);

// The plot flag after [n]o more plots on these pages: below 6 it becomes 0, 6 becomes 5,
// and a larger flag stays.
int flag_after_no_more_plots(int plot_flag);

// Draws the loadings of series 1..n (rows of the table, components by column) under the
// page title and runs the short menu (items 1 to 7). For transformed data (data kind 2) the
// loadings axis is fixed from -0.5 to 1.0.
void loads1(PlotSession& session, const ColumnTable& loadings, int n, std::string_view title,
            int& plot_flag, int data_kind, const ComponentPanels& panels);

// Draws the scores of the years first_year..last_year (rows of the table, components by
// column) on a fixed axis from -3 to 3 and runs the plot loop (items 1 to 17).
void scores1(PlotSession& session, const ColumnTable& scores, int first_year, int last_year,
             std::string_view title, int& plot_flag, const ComponentPanels& panels);

}  // namespace dendro
