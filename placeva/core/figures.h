#pragma once
// The nine summary figures of a statistics pass as people read them: the
// caption of each and its value as text. The main window and the report show
// the same words.

#include "core/stats.h"

#include <QString>

#include <array>

namespace placeva {

inline constexpr std::size_t kFigureCount = 9;

// In the order of the main window's lbl1 .. lbl9.
const std::array<QString, kFigureCount> &figureCaptions();

// The values in the same order; "" for a figure the pass could not compute.
std::array<QString, kFigureCount> figureTexts(const PassResult &pass);

} // namespace placeva
