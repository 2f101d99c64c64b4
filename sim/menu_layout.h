// sim/menu_layout.h -- where the destination menu puts its panel, bars and highlight on the screen,
// as the harness reads a drawn frame. An independent copy, kept by hand like the tables under
// tests/data: if the menu moves a bar, the harness stops finding its rows and says so, rather
// than following the plug-in wherever it goes.
#pragma once

#include <cmath>

namespace menu_layout {

constexpr float PanelWidth = 0.255f;         // the black panel behind the whole menu or notice
constexpr float HighlightFillWidth = 0.22f;  // the highlight's fill, inside its frame
constexpr float FirstBarY = 0.1336f;         // the title's bar; item bars follow it
constexpr float RowHeight = 0.04f;

// The menu item (0 = the first below the title) a bar at this height stands for.
inline int ItemOfBar(float y) { return static_cast<int>(std::lround((y - FirstBarY) / RowHeight)) - 1; }

}  // namespace menu_layout
