// sim/picture.cpp -- renders captured draws as SVG. Sprites are centred on their position; text
// lines hang from theirs. The game's font is not ours, so sizes are close, not exact.
#include "sim/picture.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

#include "sim/money.h"
#include "sim/world_data.h"

extern char** environ;

namespace {

// Text height at scale 1.0, as a fraction of the screen's height.
constexpr double TextHeightAtScaleOne = 0.065;

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Colour(int r, int g, int b)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", r & 255, g & 255, b & 255);
    return buf;
}

}  // namespace

std::string StripMarkup(const std::string& text)
{
    std::string out;
    bool inTag = false;
    for (char c : text) {
        if (c == '<')
            inTag = true;
        else if (c == '>' && inTag)
            inTag = false;
        else if (!inTag)
            out += c;
    }
    return out;
}

std::string FrameToSvg(const std::vector<DrawItem>& frame, int width, int height)
{
    const double w = width, h = height;
    std::ostringstream svg;
    svg << "<svg xmlns='http://www.w3.org/2000/svg' width='" << width << "' height='" << height << "' viewBox='0 0 "
        << width << " " << height << "'>\n"
        << "<defs><linearGradient id='sky' x1='0' y1='0' x2='0' y2='1'>"
        << "<stop offset='0' stop-color='#8a9bb0'/><stop offset='0.55' stop-color='#c9a872'/>"
        << "<stop offset='1' stop-color='#5b4a2e'/></linearGradient></defs>\n"
        << "<rect width='100%' height='100%' fill='url(#sky)'/>\n";
    for (const DrawItem& d : frame) {
        const double alpha = (d.alpha & 255) / 255.0;
        if (d.kind == DrawItem::Sprite) {
            svg << "<rect x='" << (d.x - d.width / 2) * w << "' y='" << (d.y - d.height / 2) * h << "' width='"
                << d.width * w << "' height='" << d.height * h << "' rx='3' fill='" << Colour(d.red, d.green, d.blue)
                << "' fill-opacity='" << alpha << "'"
                << (d.rotation != 0.0f ? " transform='rotate(" + std::to_string(d.rotation) + ")'" : "") << "/>\n";
        } else {
            const double size = d.scaleY * TextHeightAtScaleOne * h;
            svg << "<text x='" << d.x * w << "' y='" << d.y * h + size * 0.8
                << "' font-family='Georgia, serif' font-size='" << size << "' fill='" << Colour(d.red, d.green, d.blue)
                << "' fill-opacity='" << alpha << "'>" << Escape(StripMarkup(d.text)) << "</text>\n";
        }
    }
    svg << "</svg>\n";
    return svg.str();
}

// ---- saving ----------------------------------------------------------------------------------

std::string PictureFolderProblem(const std::string& dir)
{
    const std::string quoted = "screenshot folder \"" + dir + "\"";
    if (dir.empty())
        return "the screenshot folder's name is empty";
    struct stat st {};
    if (stat(dir.c_str(), &st) != 0) {
        return quoted + (errno == ENOENT ? std::string(" does not exist")
                                         : std::string(" cannot be reached: ") + std::strerror(errno));
    }
    if (!S_ISDIR(st.st_mode))
        return quoted + " is not a folder";
    // Permission bits do not tell (root ignores them, a read-only mount does not show in them):
    // create a file there and take it away again.
    std::string probe = dir + "/.quorvane-write-test-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0)
        return "cannot write in " + quoted + ": " + std::strerror(errno);
    close(fd);
    unlink(probe.c_str());
    return "";
}

namespace {

// A path as a program's argument: one that begins with '-' would be read as an option.
std::string AsArgument(const std::string& path) { return !path.empty() && path[0] == '-' ? "./" + path : path; }

}  // namespace

bool ConvertToPng(const std::string& svgPath, const std::string& pngPath, std::string* problem)
{
    problem->clear();
    const std::string in = AsArgument(svgPath), out = AsArgument(pngPath);
    char* const argv[] = {const_cast<char*>("rsvg-convert"), const_cast<char*>("--format=png"), const_cast<char*>("-o"),
                          const_cast<char*>(out.c_str()),    const_cast<char*>(in.c_str()),     nullptr};
    // The converter's own complaints would break the timeline; its exit status says enough.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, "rsvg-convert", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == ENOENT)
        return false;  // not installed: SVG only, and nothing to complain about
    if (spawned != 0) {
        *problem = "cannot run rsvg-convert: " + std::string(std::strerror(spawned));
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            *problem = "lost rsvg-convert: " + std::string(std::strerror(errno));
            return false;
        }
    }
    struct stat st {};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || stat(pngPath.c_str(), &st) != 0 || st.st_size == 0) {
        *problem = "rsvg-convert did not write " + pngPath;
        if (WIFEXITED(status))
            *problem += " (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
        return false;
    }
    return true;
}

SavedPicture SavePicture(const std::string& svgPath, const std::string& svgText)
{
    SavedPicture saved;
    FILE* file = std::fopen(svgPath.c_str(), "wb");
    if (file == nullptr) {
        saved.problem = "cannot write " + svgPath + ": " + std::strerror(errno);
        return saved;
    }
    // A full disk may show only when the buffer is flushed, so fclose counts too.
    const bool wrote = std::fwrite(svgText.data(), 1, svgText.size(), file) == svgText.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!wrote || !closed) {
        saved.problem = "cannot write " + svgPath + ": " + std::strerror(wrote ? errno : writeError);
        std::remove(svgPath.c_str());  // half a picture is none
        return saved;
    }
    saved.svg = svgPath;
    const size_t dot = svgPath.rfind('.');
    const size_t slash = svgPath.rfind('/');
    const std::string stem =
        dot != std::string::npos && (slash == std::string::npos || dot > slash) ? svgPath.substr(0, dot) : svgPath;
    const std::string png = stem + ".png";
    if (ConvertToPng(svgPath, png, &saved.problem))
        saved.png = png;
    return saved;
}

// ---- the trip map ----------------------------------------------------------------------------

namespace {

constexpr double MapWidth = 1600, MapHeight = 1000, MapMargin = 80;
// Text is measured, not rendered: a character is about 0.6 of the font size wide, and a line
// reaches 0.8 of it above the baseline and 0.25 below.
constexpr double CharWidth = 0.6, Ascent = 0.8, Descent = 0.25;
constexpr double LabelPadding = 2;

const char* const Ink = "#3a2a18";
const char* const PathRed = "#7a1f14";
const char* const OriginGreen = "#2e6b30";
const char* const HaltGold = "#d9a441";
const char* const JunctionBlue = "#1f4e79";

struct Box {
    double x0, y0, x1, y1;
};

bool Overlap(const Box& a, const Box& b) { return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1; }

Box Around(double cx, double cy, double half) { return Box{cx - half, cy - half, cx + half, cy + half}; }

// Places labels where they cover no mark and no other label: beside the mark on one of eight
// sides, nearest first, and further out only when every side is taken. Places off the train's
// path are tried first; a label may lie across the path when nothing else is free.
class LabelLayout {
public:
    void Block(const Box& box) { taken_.push_back(box); }
    void Avoid(const Box& box) { avoided_.push_back(box); }

    struct Spot {
        double x, y;  // the baseline's left end
        bool near;    // right beside the mark; otherwise a leader line shows what it belongs to
    };

    Spot Place(double cx, double cy, double markHalf, const std::string& text, double size)
    {
        const double w = CharWidth * size * static_cast<double>(text.size());
        const double up = Ascent * size, down = Descent * size;
        const double gaps[] = {4, 10, 20, 34, 52, 76};
        for (const bool offPath : {true, false}) {
            for (double gap : gaps) {
                const double d = markHalf + gap, k = d * 0.7;
                const bool near = gap < 20;
                const Spot candidates[] = {
                    {cx + d, cy + (up - down) / 2, near},      // right
                    {cx - d - w, cy + (up - down) / 2, near},  // left
                    {cx - w / 2, cy - d - down, near},         // above
                    {cx - w / 2, cy + d + up, near},           // below
                    {cx + k, cy - k - down, near},             // above right
                    {cx + k, cy + k + up, near},               // below right
                    {cx - k - w, cy - k - down, near},         // above left
                    {cx - k - w, cy + k + up, near},           // below left
                };
                for (const Spot& c : candidates) {
                    const Box box{c.x - LabelPadding, c.y - up - LabelPadding, c.x + w + LabelPadding,
                                  c.y + down + LabelPadding};
                    if (box.x0 < 0 || box.y0 < 0 || box.x1 > MapWidth || box.y1 > MapHeight)
                        continue;
                    const auto hits = [&](const Box& t) { return Overlap(box, t); };
                    if (std::any_of(taken_.begin(), taken_.end(), hits) ||
                        (offPath && std::any_of(avoided_.begin(), avoided_.end(), hits)))
                        continue;
                    taken_.push_back(box);
                    return c;
                }
            }
        }
        // Nowhere free: right beside the mark, overlapping. The map's tests catch this.
        return Spot{cx + markHalf + 4, cy + (up - down) / 2, true};
    }

private:
    std::vector<Box> taken_;
    std::vector<Box> avoided_;
};

std::string TripTime(int64_t ms)
{
    const int64_t s = (ms + 500) / 1000;
    char text[32];
    if (s >= 60)
        std::snprintf(text, sizeof text, "%lld min %lld s", static_cast<long long>(s / 60),
                      static_cast<long long>(s % 60));
    else
        std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(s));
    return text;
}

}  // namespace

std::string TripMapSvg(const Sim& sim, int32_t from, int32_t to, int32_t fareCents)
{
    return TripMapSvg(TripRecord{sim.TrainTrail(), sim.Halts(), sim.JunctionSwitches()}, from, to, fareCents);
}

std::string TripMapSvg(const TripRecord& trip, int32_t from, int32_t to, int32_t fareCents)
{
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (const SimStation& s : SimStations) {
        minX = std::min(minX, static_cast<double>(s.position.x));
        maxX = std::max(maxX, static_cast<double>(s.position.x));
        minY = std::min(minY, static_cast<double>(s.position.y));
        maxY = std::max(maxY, static_cast<double>(s.position.y));
    }
    const double scale =
        std::min((MapWidth - 2 * MapMargin) / (maxX - minX), (MapHeight - 2 * MapMargin) / (maxY - minY));
    const auto px = [&](double x) { return MapMargin + (x - minX) * scale; };
    const auto py = [&](double y) { return MapHeight - MapMargin - (y - minY) * scale; };

    // The title: the trip, its time from the boarding halt to the halt at the destination, the fare.
    const std::vector<TrainHalt>& halts = trip.halts;
    std::string title = std::string(SimStationName(from)) + " to " + SimStationName(to) + ": ";
    int64_t arrival = -1;
    for (size_t i = 1; i < halts.size() && arrival < 0; ++i) {
        if (halts[i].nearestStation == to)
            arrival = halts[i].stoppedAt;
    }
    title += arrival >= 0 ? TripTime(arrival - halts.front().stoppedAt) : std::string("did not arrive");
    title += fareCents != 0 ? ", fare " + MoneyText(fareCents) : std::string(", no fare (a ticket reused)");

    // Every junction switched, once, where the train was when it was first set.
    std::map<std::pair<int32_t, int32_t>, Vec3> junctions;
    for (const JunctionSwitch& j : trip.switches)
        junctions.emplace(std::make_pair(j.track, j.index), j.trainAt);

    constexpr double TitleSize = 28, StationLabelSize = 19, HaltLabelSize = 16, LegendSize = 17;
    constexpr double StationR = 8, EndR = 11, HaltHalf = 7, JunctionHalf = 7;
    LabelLayout layout;
    layout.Block(Box{30, 48 - Ascent * TitleSize - 4,
                     40 + CharWidth * TitleSize * static_cast<double>(title.size()) + 6, 48 + Descent * TitleSize + 4});
    const Box legend{30, 70, 400, 70 + 6 * 26 + 18};
    layout.Block(legend);
    for (size_t i = 0; i < SimStationCount; ++i) {
        const bool end = static_cast<int32_t>(i) == from || static_cast<int32_t>(i) == to;
        layout.Block(Around(px(SimStations[i].position.x), py(SimStations[i].position.y), (end ? EndR : StationR) + 2));
    }
    for (const TrainHalt& h : halts)
        layout.Block(Around(px(h.position.x), py(h.position.y), HaltHalf + 1));
    for (const auto& j : junctions)
        layout.Block(Around(px(j.second.x), py(j.second.y), JunctionHalf + 1));
    for (const Vec3& p : trip.trail)
        layout.Avoid(Around(px(p.x), py(p.y), 3));

    std::ostringstream svg;
    svg << "<svg xmlns='http://www.w3.org/2000/svg' width='" << MapWidth << "' height='" << MapHeight
        << "' viewBox='0 0 " << MapWidth << " " << MapHeight << "' font-family='Georgia, serif'>\n"
        << "<rect width='100%' height='100%' fill='#e8dcc0'/>\n"
        << "<text class='title' x='40' y='48' font-size='" << TitleSize << "' fill='" << Ink << "'>" << Escape(title)
        << "</text>\n";

    // Marks first, labels over them.
    if (!trip.trail.empty()) {
        svg << "<polyline class='path' fill='none' stroke='" << PathRed
            << "' stroke-width='4' stroke-linejoin='round' points='";
        for (const Vec3& p : trip.trail)
            svg << px(p.x) << "," << py(p.y) << " ";
        svg << "'/>\n";
    }
    const auto stationMark = [&](std::ostringstream& out, const char* cls, double x, double y) {
        const std::string kind = cls;
        out << "<circle class='" << kind << "' cx='" << x << "' cy='" << y << "' r='"
            << (kind == "station" ? StationR : EndR) << "' fill='"
            << (kind == "origin"        ? OriginGreen
                : kind == "destination" ? PathRed
                                        : Ink)
            << "'" << (kind == "destination" ? " stroke='#f2e6c9' stroke-width='3'" : "") << "/>\n";
    };
    const auto haltMark = [&](std::ostringstream& out, double x, double y) {
        out << "<rect class='halt' x='" << x - HaltHalf << "' y='" << y - HaltHalf << "' width='" << 2 * HaltHalf
            << "' height='" << 2 * HaltHalf << "' fill='" << HaltGold << "' stroke='" << Ink << "'/>\n";
    };
    const auto junctionMark = [&](std::ostringstream& out, double x, double y) {
        out << "<path class='junction' d='M " << x << " " << y - JunctionHalf << " L " << x + JunctionHalf << " " << y
            << " L " << x << " " << y + JunctionHalf << " L " << x - JunctionHalf << " " << y << " Z' fill='"
            << JunctionBlue << "' stroke='#f2e6c9'/>\n";
    };
    for (size_t i = 0; i < SimStationCount; ++i) {
        const int32_t n = static_cast<int32_t>(i);
        stationMark(svg,
                    n == from ? "origin"
                    : n == to ? "destination"
                              : "station",
                    px(SimStations[i].position.x), py(SimStations[i].position.y));
    }
    for (const auto& j : junctions)
        junctionMark(svg, px(j.second.x), py(j.second.y));
    for (const TrainHalt& h : halts)
        haltMark(svg, px(h.position.x), py(h.position.y));

    const auto label = [&](double cx, double cy, double half, const std::string& text, double size,
                           const char* colour) {
        const LabelLayout::Spot at = layout.Place(cx, cy, half, text, size);
        if (!at.near) {
            const double w = CharWidth * size * static_cast<double>(text.size());
            const double lx = std::clamp(cx, at.x, at.x + w);
            const double ly = std::clamp(cy, at.y - Ascent * size, at.y + Descent * size);
            svg << "<line class='leader' x1='" << cx << "' y1='" << cy << "' x2='" << lx << "' y2='" << ly
                << "' stroke='" << colour << "' stroke-width='1' stroke-opacity='0.6'/>\n";
        }
        svg << "<text class='label' x='" << at.x << "' y='" << at.y << "' font-size='" << size << "' fill='" << colour
            << "'>" << Escape(text) << "</text>\n";
    };
    // The trip's own labels get the best places: its ends, then its halts, then the other stations.
    for (int32_t end : {from, to}) {
        if (end >= 0 && end < static_cast<int32_t>(SimStationCount)) {
            const Vec3& p = SimStations[static_cast<size_t>(end)].position;
            label(px(p.x), py(p.y), EndR, SimStationName(end), StationLabelSize, Ink);
        }
    }
    for (size_t i = 0; i < halts.size(); ++i) {
        const TrainHalt& h = halts[i];
        const double seconds = h.leftAt != 0 ? static_cast<double>(h.leftAt - h.stoppedAt) / 1000.0 : 0.0;
        char text[48];
        std::snprintf(text, sizeof text, "%zu: %.1f s", i + 1, seconds);
        label(px(h.position.x), py(h.position.y), HaltHalf, text, HaltLabelSize, PathRed);
    }
    for (size_t i = 0; i < SimStationCount; ++i) {
        const int32_t n = static_cast<int32_t>(i);
        if (n != from && n != to)
            label(px(SimStations[i].position.x), py(SimStations[i].position.y), StationR, SimStationName(n),
                  StationLabelSize, Ink);
    }

    // The legend names every kind of mark on the map.
    svg << "<g class='legend'>\n<rect x='" << legend.x0 << "' y='" << legend.y0 << "' width='" << legend.x1 - legend.x0
        << "' height='" << legend.y1 - legend.y0 << "' fill='#f2e6c9' stroke='" << Ink << "' stroke-opacity='0.4'/>\n";
    const char* const entries[] = {
        "origin",           "destination", "other station", "the train's path", "halt: its number and length",
        "junction switched"};
    for (size_t i = 0; i < 6; ++i) {
        const double y = legend.y0 + 22 + 26 * static_cast<double>(i), x = legend.x0 + 22;
        switch (i) {
        case 0: stationMark(svg, "origin", x, y); break;
        case 1: stationMark(svg, "destination", x, y); break;
        case 2: stationMark(svg, "station", x, y); break;
        case 3:
            svg << "<line x1='" << x - 12 << "' y1='" << y << "' x2='" << x + 12 << "' y2='" << y << "' stroke='"
                << PathRed << "' stroke-width='4'/>\n";
            break;
        case 4: haltMark(svg, x, y); break;
        default: junctionMark(svg, x, y);
        }
        svg << "<text x='" << x + 24 << "' y='" << y + 6 << "' font-size='" << LegendSize << "' fill='" << Ink << "'>"
            << entries[i] << "</text>\n";
    }
    svg << "</g>\n</svg>\n";
    return svg.str();
}
