// The broken-stick eigenvalue plot: the eigenvalue trace of the common period principal
// components with its error bars against the broken-stick model, by component number.
#pragma once

#include <span>
#include <string>

#include "plots/plot_loop.h"

namespace dendro {

// The page title of a data kind (1 raw measurements, 2 transformed data, 3 detrended
// indices, 4 residual indices), and the text file a save writes: the title without blanks,
// then "EVplt.txt". Any other kind has a blank title.
std::string eigenvalue_title(int data_kind);
std::string eigenvalue_file(int data_kind);

// Draws the n = eigenvalues.size() eigenvalues with their standard errors and the broken-
// stick values (both at least n long) and runs the plot loop (items 1 to 17) until the user
// continues; [n]o more plots returns in the same way. Every save also writes the values to
// the text file of the data kind in the current folder.
void bsplt(PlotSession& session, std::span<const float> broken_stick,
           std::span<const float> eigenvalues, int data_kind, std::span<const float> errors);

}  // namespace dendro
