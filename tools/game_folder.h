// tools/game_folder.h -- the game folder quorvane-sim and quorvane-soak play in: a fresh one of
// their own under the system's temporary folder, so that a player's Quorvane.ini, Quorvane.rec and
// Quorvane.old.rec in the current folder are never read, replaced or removed. It takes only the
// settings file it is given (--ini) and hands the session's recording only to the file it is told
// (--record).
#pragma once

#include <memory>
#include <string>

class GameFolder {
public:
    // Makes the folder, with the --ini file's settings in it ("" for none: the defaults) and, when
    // record is not "", RECORD_SESSION=1 on top of them. Checks both files before any play, so that
    // a long run is not wasted; on failure returns null and problem says why, in one line.
    static std::unique_ptr<GameFolder> Make(const std::string& ini, const std::string& record, std::string& problem);
    GameFolder(const GameFolder&) = delete;
    GameFolder& operator=(const GameFolder&) = delete;
    // Takes the folder away with whatever the session left in it.
    ~GameFolder();

    const std::string& Path() const { return path_; }
    // Copies the session's Quorvane.rec to the --record file, replacing it; "" when done (or when
    // nothing was to be recorded), else why not.
    std::string KeepRecording() const;

private:
    GameFolder(std::string path, std::string record) : path_(std::move(path)), record_(std::move(record)) {}
    std::string path_;
    std::string record_;
};

// A settings text with RECORD_SESSION=1 as the first key of its first [SETTINGS] section, as the
// plug-in's reader takes the first; the rest reads as before. UTF-16 text comes back as 8-bit.
std::string WithRecordingOn(const std::string& ini);
