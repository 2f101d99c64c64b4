// sim/picture.h -- a captured frame as a picture (what the player would see of the menu), a map
// of a trip, and saving both as SVG with a PNG beside it.
#pragma once

#include <string>
#include <vector>

#include "sim/sim.h"

// SVG of the 16:9 screen with every sprite and text line of the frame, in drawing order.
// Text markup is stripped for display; colours and alpha are as drawn.
std::string FrameToSvg(const std::vector<DrawItem>& frame, int width = 1920, int height = 1080);

// Whether pictures can be saved in dir: it exists, is a folder, and a file can be created in it.
// "" when they can, otherwise one line that says why not.
std::string PictureFolderProblem(const std::string& dir);

// What became of one picture on disk. A path is set only for a file that was written whole.
struct SavedPicture {
    std::string svg;
    std::string png;      // "" when no converter is installed or it failed
    std::string problem;  // why a file was not written; "" when nothing went wrong
};

// Writes the SVG, then a PNG beside it (same name, .png) when rsvg-convert is installed.
SavedPicture SavePicture(const std::string& svgPath, const std::string& svgText);

// Runs rsvg-convert directly, with the paths as arguments and no shell between, so any file name
// is safe. True when the PNG was written; false with *problem "" when there is no converter.
bool ConvertToPng(const std::string& svgPath, const std::string& pngPath, std::string* problem);

// A map of the 13 stations with the train's trail, its halts and the junctions it had switched,
// north up; the title gives the trip, its time from the boarding halt to the arrival, and the
// fare paid.
std::string TripMapSvg(const Sim& sim, int32_t from, int32_t to, int32_t fareCents);

// What the map of a trip draws, wherever it came from (the simulator, or a replayed recording).
struct TripRecord {
    std::vector<Vec3> trail;
    std::vector<TrainHalt> halts;
    std::vector<JunctionSwitch> switches;
};
std::string TripMapSvg(const TripRecord& trip, int32_t from, int32_t to, int32_t fareCents);

// The text as the player reads it: markup tags removed.
std::string StripMarkup(const std::string& text);
