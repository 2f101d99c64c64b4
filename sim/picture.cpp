// sim/picture.cpp -- renders captured draws as SVG. Sprites are centred on their position; text
// lines hang from theirs. The game's font is not ours, so sizes are close, not exact.
#include "sim/picture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sim/world_data.h"

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

} // namespace

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
    svg << "<svg xmlns='http://www.w3.org/2000/svg' width='" << width << "' height='" << height
        << "' viewBox='0 0 " << width << " " << height << "'>\n"
        << "<defs><linearGradient id='sky' x1='0' y1='0' x2='0' y2='1'>"
        << "<stop offset='0' stop-color='#8a9bb0'/><stop offset='0.55' stop-color='#c9a872'/>"
        << "<stop offset='1' stop-color='#5b4a2e'/></linearGradient></defs>\n"
        << "<rect width='100%' height='100%' fill='url(#sky)'/>\n";
    for (const DrawItem& d : frame) {
        const double alpha = (d.alpha & 255) / 255.0;
        if (d.kind == DrawItem::Sprite) {
            svg << "<rect x='" << (d.x - d.width / 2) * w << "' y='" << (d.y - d.height / 2) * h
                << "' width='" << d.width * w << "' height='" << d.height * h << "' rx='3' fill='"
                << Colour(d.red, d.green, d.blue) << "' fill-opacity='" << alpha << "'"
                << (d.rotation != 0.0f ? " transform='rotate(" + std::to_string(d.rotation) + ")'" : "")
                << "/>\n";
        } else {
            const double size = d.scaleY * TextHeightAtScaleOne * h;
            svg << "<text x='" << d.x * w << "' y='" << d.y * h + size * 0.8
                << "' font-family='Georgia, serif' font-size='" << size << "' fill='"
                << Colour(d.red, d.green, d.blue) << "' fill-opacity='" << alpha << "'>"
                << Escape(StripMarkup(d.text)) << "</text>\n";
        }
    }
    svg << "</svg>\n";
    return svg.str();
}

bool SaveFramePicture(const std::vector<DrawItem>& frame, const std::string& svgPath,
                      std::string* pngPath)
{
    {
        std::ofstream out(svgPath);
        if (!out)
            return false;
        out << FrameToSvg(frame);
    }
    if (pngPath != nullptr)
        *pngPath = ConvertToPng(svgPath);
    return true;
}

std::string ConvertToPng(const std::string& svgPath)
{
    const std::string png = svgPath.substr(0, svgPath.rfind('.')) + ".png";
    const std::string command =
        "command -v rsvg-convert >/dev/null 2>&1 && rsvg-convert -o '" + png + "' '" + svgPath + "'";
    return std::system(command.c_str()) == 0 ? png : std::string();
}

std::string TripMapSvg(const Sim& sim, int32_t from, int32_t to)
{
    constexpr double Width = 1600, Height = 1000, Margin = 80;
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (const SimStation& s : SimStations) {
        minX = std::min(minX, static_cast<double>(s.position.x));
        maxX = std::max(maxX, static_cast<double>(s.position.x));
        minY = std::min(minY, static_cast<double>(s.position.y));
        maxY = std::max(maxY, static_cast<double>(s.position.y));
    }
    const double scale = std::min((Width - 2 * Margin) / (maxX - minX), (Height - 2 * Margin) / (maxY - minY));
    const auto px = [&](double x) { return Margin + (x - minX) * scale; };
    const auto py = [&](double y) { return Height - Margin - (y - minY) * scale; };

    std::ostringstream svg;
    svg << "<svg xmlns='http://www.w3.org/2000/svg' width='" << Width << "' height='" << Height
        << "' viewBox='0 0 " << Width << " " << Height << "' font-family='Georgia, serif'>\n"
        << "<rect width='100%' height='100%' fill='#e8dcc0'/>\n"
        << "<text x='40' y='50' font-size='30' fill='#3a2a18'>" << Escape(SimStationName(from)) << " to "
        << Escape(SimStationName(to)) << "</text>\n";
    if (!sim.TrainTrail().empty()) {
        svg << "<polyline fill='none' stroke='#7a1f14' stroke-width='4' stroke-linejoin='round' points='";
        for (const Vec3& p : sim.TrainTrail())
            svg << px(p.x) << "," << py(p.y) << " ";
        svg << "'/>\n";
    }
    for (size_t i = 0; i < SimStationCount; ++i) {
        const Vec3& p = SimStations[i].position;
        const bool end = static_cast<int32_t>(i) == from || static_cast<int32_t>(i) == to;
        svg << "<circle cx='" << px(p.x) << "' cy='" << py(p.y) << "' r='" << (end ? 11 : 8)
            << "' fill='" << (end ? "#7a1f14" : "#3a2a18") << "'/>\n"
            << "<text x='" << px(p.x) + 14 << "' y='" << py(p.y) - 12 << "' font-size='20' fill='#3a2a18'>"
            << Escape(SimStationName(static_cast<int32_t>(i))) << "</text>\n";
    }
    int number = 0;
    for (const TrainHalt& h : sim.Halts()) {
        ++number;
        const double seconds = h.leftAt != 0 ? static_cast<double>(h.leftAt - h.stoppedAt) / 1000.0 : 0.0;
        char label[64];
        std::snprintf(label, sizeof label, "%d: %.1f s", number, seconds);
        svg << "<rect x='" << px(h.position.x) - 7 << "' y='" << py(h.position.y) - 7
            << "' width='14' height='14' fill='#d9a441' stroke='#3a2a18'/>\n"
            << "<text x='" << px(h.position.x) + 14 << "' y='" << py(h.position.y) + 24
            << "' font-size='17' fill='#7a1f14'>" << label << "</text>\n";
    }
    svg << "<text x='40' y='" << Height - 30 << "' font-size='18' fill='#3a2a18'>"
        << "red line: the train's path; gold squares: halts, numbered, with their length</text>\n"
        << "</svg>\n";
    return svg.str();
}
