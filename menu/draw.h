// menu/draw.h -- the menu's sprites and text lines. The game draws only what it is given in the
// current frame, so callers draw the whole menu again every frame.
#pragma once

#include <cstdint>

// Rows: 0 is the title, items from 1 down. Text at x 0.065, bars at x 0.168.
float MenuTextY(int32_t row);
float MenuBarY(int32_t row);

void DrawMenuSprite(float y, float width, float height, int32_t red, int32_t green, int32_t blue, int32_t alpha);
void DrawSelectionHighlight(int32_t row);
void DrawMenuText(const char* text, int32_t row);
void DrawMenuTextGrey(const char* text, int32_t row);

// The panel behind every menu screen.
void DrawMenuPanel();
