#pragma once
// The scale an output is shown at, from what the compositor tells of it,
// and how sure that is.
#include "platform/screen_layout.h"

// The scales the output may be shown at, and the one to place it by.
struct ScaleRange {
  double low = 1, high = 1, chosen = 1;
};

// From the output's sizes alone: the compositor tells the logical size in
// whole units, cut or rounded (1280 pixels at 1.5 make 853 units), so one
// side's ratio may be off by up to a unit. Where both sides give the same
// ratio that is the scale; else, of the scales that give both sizes, the
// simplest fraction, as people choose 1.5 or 1.25.
double GuessedScale(const OutputGeometry& g);

// Everything the geometry tells. Sizes cut to whole units (wlroots) leave
// a range of scales. A scale named to 1/256 (wlr-output-management)
// narrows it to within that, and a multiple of 1/120 in what is left is
// taken as the scale: there is at most one, sway 1.9 and later round
// every scale to one (fractional scaling tells clients scales so), and
// the scales people pick (1.25, 1.4, 1.5, 1.75...) are such. A whole
// scale in the range that wl_output names too is taken as the scale.
// Otherwise the range stays, with its simplest fraction to place the
// output by.
// Sizes that may be rounded (the portal): the guess, taken as sure.
ScaleRange ScaleRangeOf(const OutputGeometry& g);
