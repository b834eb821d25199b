#pragma once
// The screen space over the monitors of a portal session: each where the
// portal placed its stream, in logical units (side by side in the order
// given where it placed none, as KDE's does not), and as many pixels
// across and down as its pictures have: the size agreed on with its
// stream, or its logical size until one is.
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/portal/portal_steps.h"
#include "platform/screen_layout.h"

// sizes: per stream, its pictures' size (0 x 0 while none is agreed on).
// Outputs come in stream order; those of no size at all are left out, so
// *streamOf maps an output back to its stream.
ScreenLayout PortalLayout(const std::vector<PortalStream>& streams,
                          const std::vector<std::pair<std::int32_t, std::int32_t>>& sizes,
                          std::vector<std::size_t>* streamOf = nullptr);
