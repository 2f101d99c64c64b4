// sim/picture.h -- a captured frame as a picture: what the player would see of the menu.
#pragma once

#include <string>
#include <vector>

#include "sim/sim.h"

// SVG of the 16:9 screen with every sprite and text line of the frame, in drawing order.
// Text markup is stripped for display; colours and alpha are as drawn.
std::string FrameToSvg(const std::vector<DrawItem>& frame, int width = 1920, int height = 1080);

// Writes the SVG, and a PNG beside it when rsvg-convert is installed. True when the SVG was
// written.
bool SaveFramePicture(const std::vector<DrawItem>& frame, const std::string& svgPath,
                      std::string* pngPath = nullptr);

// Converts an SVG file to a PNG beside it with rsvg-convert, when that is installed; returns the
// PNG's path, or "" when there is no converter.
std::string ConvertToPng(const std::string& svgPath);

// A map of the 13 stations with the train's trail and its halts, north up.
std::string TripMapSvg(const Sim& sim, int32_t from, int32_t to);

// The text as the player reads it: markup tags removed.
std::string StripMarkup(const std::string& text);
