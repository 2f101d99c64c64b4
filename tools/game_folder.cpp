// tools/game_folder.cpp -- the tools' own game folder. It is removed on every way out: at the end,
// on an error, and on Ctrl-C or a kill, when only a signal-safe unlink of the few files the
// session can leave there is possible.
#include "tools/game_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// What the plug-in may leave in its game folder: the settings and its recordings.
constexpr const char* FolderFiles[] = {"Quorvane.ini", "Quorvane.rec", "Quorvane.old.rec"};

// Filled before the handlers are set, read only by them.
char SignalPaths[4][4096];

extern "C" void RemoveOnSignal(int signal)
{
    for (int i = 0; i < 3; ++i)
        unlink(SignalPaths[i]);
    rmdir(SignalPaths[3]);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void RemoveOnSignals(const std::string& folder)
{
    for (int i = 0; i < 3; ++i)
        std::snprintf(SignalPaths[i], sizeof SignalPaths[i], "%s/%s", folder.c_str(), FolderFiles[i]);
    std::snprintf(SignalPaths[3], sizeof SignalPaths[3], "%s", folder.c_str());
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, &RemoveOnSignal);
}

std::string Why(const std::string& option, const std::string& file, const std::string& what)
{
    return option + " " + file + ": " + what;
}

// The settings file, whole; "" in problem when it was read.
std::string ReadSettings(const std::string& path, std::string& problem)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        problem = Why("--ini", path, std::string("cannot read: ") + std::strerror(errno));
        return "";
    }
    // A device or a pipe could be endless; a settings file is a plain file.
    if (!S_ISREG(info.st_mode)) {
        problem =
            Why("--ini", path, S_ISDIR(info.st_mode) ? "is a folder, not a settings file" : "is not a plain file");
        return "";
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        problem = Why("--ini", path, std::string("cannot read: ") + std::strerror(errno));
        return "";
    }
    std::string text;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    if (std::ferror(file) != 0)
        problem = Why("--ini", path, std::string("cannot read: ") + std::strerror(errno));
    std::fclose(file);
    return text;
}

// Whether the session's recording can be put at path once the run is over.
std::string RecordTargetProblem(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return Why("--record", path, "is a folder; give a file name");
        if (!S_ISREG(info.st_mode))
            return Why("--record", path, "is not a plain file");
        if (access(path.c_str(), W_OK) != 0)
            return Why("--record", path, std::string("cannot write: ") + std::strerror(errno));
        return "";
    }
    if (errno != ENOENT)
        return Why("--record", path, std::string("cannot use: ") + std::strerror(errno));
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return Why("--record", path, "its folder " + folder.string() + " does not exist");
    // Made and taken away again at once: the one sure test that the file can be made there (root
    // passes every permission check, yet not every file system lets it write).
    const int probe = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (probe < 0)
        return Why("--record", path, std::string("cannot write: ") + std::strerror(errno));
    close(probe);
    unlink(path.c_str());
    return "";
}

bool IsSettingsHeader(const std::string& line)
{
    size_t a = line.find_first_not_of(" \t");
    size_t b = line.rfind(']');
    if (a == std::string::npos || line[a] != '[' || b == std::string::npos || b < a)
        return false;
    std::string name = line.substr(a + 1, b - a - 1);
    const size_t first = name.find_first_not_of(" \t");
    const size_t last = name.find_last_not_of(" \t");
    name = first == std::string::npos ? "" : name.substr(first, last - first + 1);
    if (name.size() != 8)
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "SETTINGS"[i])
            return false;
    }
    return true;
}

}  // namespace

std::string WithRecordingOn(const std::string& ini)
{
    std::string text = ini;
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(ini[i]); };
    const bool little = ini.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
    const bool big = ini.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
    if (little || big) {
        // The settings are ASCII; any other character matches no key, as the reader has it.
        text.clear();
        for (size_t i = 2; i + 1 < ini.size(); i += 2) {
            const unsigned char low = byte(little ? i : i + 1), high = byte(little ? i + 1 : i);
            text += high == 0 ? static_cast<char>(low) : '\x7F';
        }
    }
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        if (IsSettingsHeader(text.substr(start, end - start)))
            return text.substr(0, end) + "\r\nRECORD_SESSION=1" + text.substr(end);
        start = end + 1;
    }
    return text + "\r\n[SETTINGS]\r\nRECORD_SESSION=1\r\n";
}

std::unique_ptr<GameFolder> GameFolder::Make(const std::string& ini, const std::string& record, std::string& problem)
{
    problem.clear();
    std::string settings;
    if (!ini.empty()) {
        settings = ReadSettings(ini, problem);
        if (!problem.empty())
            return nullptr;
    }
    if (!record.empty()) {
        problem = RecordTargetProblem(record);
        if (!problem.empty())
            return nullptr;
        settings = WithRecordingOn(settings);
    }

    std::error_code error;
    const fs::path temp = fs::temp_directory_path(error);
    if (error) {
        problem = "no folder for temporary files: " + error.message();
        return nullptr;
    }
    std::string pattern = (temp / "quorvane-game-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        problem = "cannot make a game folder in " + temp.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<GameFolder> folder(new GameFolder(pattern, record));
    RemoveOnSignals(pattern);
    if (!ini.empty() || !record.empty()) {
        const std::string target = pattern + "/Quorvane.ini";
        std::ofstream out(target, std::ios::binary);
        out << settings;
        out.close();
        if (!out) {
            problem = "cannot write " + target + ": " + std::strerror(errno);
            return nullptr;
        }
    }
    return folder;
}

GameFolder::~GameFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, SIG_DFL);
}

std::string GameFolder::KeepRecording() const
{
    if (record_.empty())
        return "";
    const fs::path made = fs::path(path_) / "Quorvane.rec";
    if (!fs::is_regular_file(made))
        return "the session was not recorded: the plug-in wrote no Quorvane.rec";
    std::error_code error;
    fs::copy_file(made, record_, fs::copy_options::overwrite_existing, error);
    if (error)
        return "--record " + record_ + ": cannot write: " + error.message();
    return "";
}
