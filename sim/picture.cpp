// sim/picture.cpp -- renders captured draws as SVG. Sprites are centred on their position; text
// lines hang from theirs. The game's font is not ours, so sizes are close, not exact.
#include "sim/picture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

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
    if (pngPath != nullptr) {
        std::string png = svgPath.substr(0, svgPath.rfind('.')) + ".png";
        const std::string command = "command -v rsvg-convert >/dev/null 2>&1 && rsvg-convert -o '" +
                                    png + "' '" + svgPath + "'";
        *pngPath = std::system(command.c_str()) == 0 ? png : std::string();
    }
    return true;
}
