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
#include <cstdio>
#include <cstring>
#include <sstream>

#include "data/stations.h"

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
std::string AsArgument(const std::string& path)
{
    return !path.empty() && path[0] == '-' ? "./" + path : path;
}

} // namespace

bool ConvertToPng(const std::string& svgPath, const std::string& pngPath, std::string* problem)
{
    problem->clear();
    const std::string in = AsArgument(svgPath), out = AsArgument(pngPath);
    char* const argv[] = {const_cast<char*>("rsvg-convert"), const_cast<char*>("--format=png"),
                          const_cast<char*>("-o"), const_cast<char*>(out.c_str()),
                          const_cast<char*>(in.c_str()), nullptr};
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
    const std::string stem = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                                 ? svgPath.substr(0, dot)
                                 : svgPath;
    const std::string png = stem + ".png";
    if (ConvertToPng(svgPath, png, &saved.problem))
        saved.png = png;
    return saved;
}

std::string TripMapSvg(const Sim& sim, int32_t from, int32_t to, int32_t)
{
    constexpr double Width = 1600, Height = 1000, Margin = 80;
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (const Station& s : StationTable) {
        minX = std::min(minX, static_cast<double>(s.Position.x));
        maxX = std::max(maxX, static_cast<double>(s.Position.x));
        minY = std::min(minY, static_cast<double>(s.Position.y));
        maxY = std::max(maxY, static_cast<double>(s.Position.y));
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
    for (size_t i = 0; i < StationTable.size(); ++i) {
        const PaddedVector3& p = StationTable[i].Position;
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
