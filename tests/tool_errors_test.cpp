// tests/tool_errors_test.cpp -- quorvane-sim and quorvane-soak run as a user runs them, as child
// processes: usage errors exit 2 with one line, a picture folder that cannot be used is refused
// before the run, any folder name is safe, only files written are claimed, and a soak too short
// to judge says so.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "host/recording_format.h"
#include "host/profile_int.h"
#include "tools/game_folder.h"

namespace fs = std::filesystem;

namespace {

struct Finished {
    int exitCode = -1;
    std::string out, err;
    std::vector<std::string> ErrLines() const
    {
        std::vector<std::string> lines;
        std::istringstream in(err);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
};

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs program with the arguments exactly as given (no shell), in dir, and collects its output.
Finished Run(const std::string& program, const std::vector<std::string>& args, const fs::path& dir = fs::current_path())
{
    const std::string pid = std::to_string(getpid());
    const fs::path out = fs::path(testing::TempDir()) / ("quorvane_tool_stdout_" + pid + ".txt");
    const fs::path err = fs::path(testing::TempDir()) / ("quorvane_tool_stderr_" + pid + ".txt");
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 || chdir(dir.c_str()) != 0)
            _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    Finished f;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        f.exitCode = WEXITSTATUS(status);
    f.out = Slurp(out);
    f.err = Slurp(err);
    fs::remove(out);
    fs::remove(err);
    return f;
}

Finished Sim(const std::vector<std::string>& args, const fs::path& dir = fs::current_path())
{
    return Run(QV_SIM_TOOL, args, dir);
}

Finished Soak(const std::vector<std::string>& args) { return Run(QV_SOAK_TOOL, args); }

// A fresh, empty folder of the test's own, taken away after it; the process id keeps two test
// runs on one machine (two checkouts, say) out of each other's way.
struct Scratch {
    explicit Scratch(const std::string& name)
        : path(fs::path(testing::TempDir()) / ("quorvane_tools_" + std::to_string(getpid()) + "_" + name))
    {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Scratch()
    {
        std::error_code ignored;
        fs::permissions(path, fs::perms::owner_all, ignored);
        fs::remove_all(path, ignored);
    }
    const fs::path path;
};

bool ConverterInstalled()
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    for (std::string d; std::getline(dirs, d, ':');) {
        if (!d.empty() && access((fs::path(d) / "rsvg-convert").c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

// The files the timeline says were saved: "screenshot A and B", "map of the trip A".
std::vector<std::string> Claimed(const std::string& timeline)
{
    std::vector<std::string> files;
    const std::regex line("(?:screenshot|map of the trip) (.*)");
    std::istringstream in(timeline);
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        if (!std::regex_search(l, m, line))
            continue;
        std::string rest = m[1];
        // Every picture ends in .svg or .png, so " and " after one splits the pair.
        for (size_t at; (at = rest.find(".svg and ")) != std::string::npos;) {
            files.push_back(rest.substr(0, at + 4));
            rest = rest.substr(at + 9);
        }
        files.push_back(rest);
    }
    return files;
}

void ExpectOneLineAndExitTwo(const Finished& f, const std::string& tool, const std::string& why)
{
    EXPECT_EQ(f.exitCode, 2) << why << "\n" << f.err;
    ASSERT_EQ(f.ErrLines().size(), 1u) << why << ":\n" << f.err;
    EXPECT_EQ(f.ErrLines()[0].rfind(tool + ": ", 0), 0u) << f.err;
    EXPECT_EQ(f.out, "") << why << ": nothing on stdout";
}

}  // namespace

TEST(SimToolCommandLine, EveryUsageErrorExitsTwoWithOneLine)
{
    const std::vector<std::vector<std::string>> wrong = {
        {"--bogus"},
        {"--from", "13"},
        {"--from", "abc"},
        {"--from"},
        {"--input", "stick"},
        {"--from", "3", "--to", "1"},
        {"--from", "4", "--to", "4"},
        {"stray"},
        {"--frame-ms", "0"},
        {"--walk-speed", "-2"},
        {"--cash", "lots"},
        {"--seed", "-1"},
    };
    for (const std::vector<std::string>& args : wrong) {
        std::string shown;
        for (const std::string& a : args)
            shown += a + " ";
        ExpectOneLineAndExitTwo(Sim(args), "quorvane-sim", shown);
    }
}

TEST(SimToolCommandLine, HelpListsTheStationsByNumberNameAndLineAndTheDefaults)
{
    const Finished f = Sim({"--help"});
    EXPECT_EQ(f.exitCode, 0);
    EXPECT_EQ(f.err, "");
    // The names the menus show, each on its line.
    const char* const stations[13] = {
        "Benedict Point",  "Armadillo", "MacFarlanes Ranch", "Riggs Station", "Flatneck Station",
        "Wallace Station", "Valentine", "Emerald Station",   "Annesburg",     "Van Horn",
        "Saint Denis",     "Rhodes",    "Bacchus Station",
    };
    for (int i = 0; i < 13; ++i) {
        const std::regex row("\n *" + std::to_string(i) + " +" + stations[i] + " +line " + (i <= 2 ? "two" : "one") +
                             "\n");
        EXPECT_TRUE(std::regex_search(f.out, row)) << "station " << i << " in\n" << f.out;
    }
    for (const char* shown : {"--from", "--to", "--cash", "--input", "--screenshots", "--no-ride", "--seed",
                              "--frame-ms", "--walk-speed", "--version"})
        EXPECT_NE(f.out.find(shown), std::string::npos) << shown;
    for (const char* def : {"=3", "=-1", "=2000", "=keyboard", "=16", "=5"})
        EXPECT_NE(f.out.find(def), std::string::npos) << "default " << def;
}

TEST(SimToolCommandLine, VersionIsTheProjectsVersion)
{
    const Finished sim = Sim({"--version"});
    EXPECT_EQ(sim.exitCode, 0);
    EXPECT_EQ(sim.out, "quorvane-sim " QV_PROJECT_VERSION "\n");
    const Finished soak = Soak({"--version"});
    EXPECT_EQ(soak.exitCode, 0);
    EXPECT_EQ(soak.out, "quorvane-soak " QV_PROJECT_VERSION "\n");
}

TEST(SimToolPictures, AFolderThatCannotTakeThemIsRefusedBeforeTheRun)
{
    const Scratch scratch("refused");
    const fs::path& dir = scratch.path;
    std::ofstream(dir / "a file") << "not a folder";
    struct Case {
        std::string folder, says;
    };
    const std::vector<Case> cases = {
        {(dir / "missing").string(), "does not exist"},
        {(dir / "missing" / "deeper").string(), "does not exist"},
        {(dir / "a file").string(), "is not a folder"},
        {"/proc", "cannot write"},  // not even root may create a file there
        {"", "empty"},
    };
    for (const Case& c : cases) {
        const Finished f = Sim({"--from", "3", "--to", "8", "--screenshots", c.folder});
        ExpectOneLineAndExitTwo(f, "quorvane-sim", c.folder);
        EXPECT_NE(f.err.find(c.says), std::string::npos) << f.err;
        EXPECT_NE(f.err.find(c.folder), std::string::npos) << "names the folder: " << f.err;
    }
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(SimToolPictures, AFolderWithoutWritePermissionIsRefused)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes anywhere; the /proc case covers an unwritable folder";
    const Scratch scratch("readonly");
    const fs::path& dir = scratch.path;
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    const Finished f = Sim({"--screenshots", dir.string()});
    fs::permissions(dir, fs::perms::owner_all);
    ExpectOneLineAndExitTwo(f, "quorvane-sim", dir.string());
    EXPECT_NE(f.err.find("cannot write"), std::string::npos) << f.err;
}

// Quotes, spaces, a command substitution, backticks, a semicolon and a leading dash: all are
// just characters of a name, and nothing runs.
TEST(SimToolPictures, AnyFolderNameIsSafe)
{
    const Scratch scratch("names");
    const fs::path& work = scratch.path;
    const std::string odd = "-o it's \"quoted\" $(touch made-by-dollar) `touch made-by-tick`; touch made-by-semicolon";
    fs::create_directories(work / odd);
    const Finished f = Sim({"--from", "3", "--to", "10", "--cash", "2000", "--screenshots=" + odd}, work);
    EXPECT_EQ(f.exitCode, 0) << f.err;
    EXPECT_EQ(f.err, "");
    for (const char* made : {"made-by-dollar", "made-by-tick", "made-by-semicolon"}) {
        EXPECT_FALSE(fs::exists(work / made)) << made;
        EXPECT_FALSE(fs::exists(work / odd / made)) << made;
    }
    std::vector<std::string> expected = {"menu.svg", "trip.svg"};
    if (ConverterInstalled())
        expected.insert(expected.end(), {"menu.png", "trip.png"});
    for (const std::string& name : expected)
        EXPECT_TRUE(fs::is_regular_file(work / odd / name)) << name;
    const std::vector<std::string> claimed = Claimed(f.out);
    EXPECT_EQ(claimed.size(), expected.size()) << f.out;
    for (const std::string& file : claimed) {
        EXPECT_EQ(file.rfind(odd + "/", 0), 0u) << file;
        EXPECT_TRUE(fs::is_regular_file(work / file)) << "claimed but not there: " << file;
        EXPECT_GT(fs::file_size(work / file), 100u) << file;
    }
}

// A picture the tool cannot write (here a folder stands where the file would go) is reported
// and never named as saved; the rest of the visit and its other pictures go on.
TEST(SimToolPictures, OnlyFilesWrittenAreClaimed)
{
    const Scratch scratch("blocked");
    const fs::path& dir = scratch.path;
    fs::create_directories(dir / "menu.svg");
    fs::create_directories(dir / "trip.png");
    const Finished f = Sim({"--from", "3", "--to", "10", "--screenshots", dir.string()});
    EXPECT_EQ(f.exitCode, 1) << "a picture was not written";
    EXPECT_NE(f.err.find("cannot write " + (dir / "menu.svg").string()), std::string::npos) << f.err;
    const std::vector<std::string> claimed = Claimed(f.out);
    for (const std::string& file : claimed)
        EXPECT_TRUE(fs::is_regular_file(file)) << "claimed but not written: " << file;
    EXPECT_TRUE(fs::is_regular_file(dir / "trip.svg"));
    EXPECT_NE(std::find(claimed.begin(), claimed.end(), (dir / "trip.svg").string()), claimed.end()) << f.out;
    EXPECT_EQ(std::find(claimed.begin(), claimed.end(), (dir / "menu.svg").string()), claimed.end());
    EXPECT_EQ(std::find(claimed.begin(), claimed.end(), (dir / "trip.png").string()), claimed.end());
    if (ConverterInstalled()) {
        EXPECT_NE(f.err.find("rsvg-convert did not write " + (dir / "trip.png").string()), std::string::npos) << f.err;
    }
}

TEST(SoakTool, ARunTooShortToJudgeSaysSoAndExitsTwo)
{
    for (const char* hours : {"0.5", "1.5"}) {
        const Finished f = Soak({"--hours", hours});
        EXPECT_EQ(f.exitCode, 2) << hours;
        EXPECT_NE(f.err.find("too short to judge"), std::string::npos) << f.err;
        EXPECT_EQ(f.out.find("GREW"), std::string::npos) << f.out;
        EXPECT_EQ(f.out.find("flat"), std::string::npos) << f.out;
    }
}

TEST(SoakTool, ShowsProgressAndASummaryAndTheHourlyRowsOnlyWhenAsked)
{
    const Finished summary = Soak({"--hours", "4"});
    EXPECT_EQ(summary.exitCode, 0) << summary.err;
    EXPECT_NE(summary.out.find("flat: no growth"), std::string::npos) << summary.out;
    EXPECT_EQ(summary.out.find("heap blocks resident KiB"), std::string::npos) << "no hourly table:\n" << summary.out;
    EXPECT_LE(std::count(summary.out.begin(), summary.out.end(), '\n'), 8) << summary.out;
    EXPECT_NE(summary.err.find("game hour"), std::string::npos) << "progress on stderr: " << summary.err;
    // The visits, then each kind of visit: the kinds add up to the visits.
    std::smatch counts;
    ASSERT_TRUE(std::regex_search(summary.out, counts, std::regex("\n([0-9]+) visits: ([^\n]*)\n"))) << summary.out;
    const std::string kinds = counts[2];
    int sum = 0;
    const std::regex number("[0-9]+");
    for (std::sregex_iterator n(kinds.begin(), kinds.end(), number), end; n != end; ++n)
        sum += std::stoi(n->str());
    EXPECT_EQ(sum, std::stoi(counts[1])) << summary.out;

    const Finished hourly = Soak({"--hours", "4", "--hourly"});
    EXPECT_EQ(hourly.exitCode, 0);
    const size_t table = hourly.out.find("heap blocks resident KiB");
    ASSERT_NE(table, std::string::npos) << hourly.out;
    const std::regex row("\n[0-9]+\\.[0-9] +[0-9]+ +[0-9]+ +[0-9]+ +[0-9]+ +[0-9]+ +[0-9]+");
    const auto rows =
        std::distance(std::sregex_iterator(hourly.out.begin(), hourly.out.end(), row), std::sregex_iterator());
    EXPECT_GE(rows, 4);
}

TEST(SoakTool, UsageErrorsExitTwoWithOneLine)
{
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--hours", "0"}, {"--hours", "many"}, {"--bogus"}, {"--hours"}})
        ExpectOneLineAndExitTwo(Soak(args), "quorvane-soak", args[0]);
}

TEST(SimToolReplay, AFileThatCannotBeReplayedIsOneLineAndExitTwo)
{
    Scratch dir("replay");
    const std::string good = Slurp(QV_TEST_DATA "/recordings/refusal.rec");
    std::ofstream(dir.path / "settings.rec") << "[SETTINGS]\nRECORD_SESSION=1\n";
    std::ofstream(dir.path / "cut.rec", std::ios::binary) << good.substr(0, good.size() / 2);
    std::string later = good;
    later[8] = 9;  // the format version after the signature
    std::ofstream(dir.path / "later.rec", std::ios::binary) << later;
    for (const char* name : {"settings.rec", "cut.rec", "later.rec", "missing.rec"})
        ExpectOneLineAndExitTwo(Sim({"--replay", (dir.path / name).string()}), "quorvane-sim", name);
    ExpectOneLineAndExitTwo(Sim({"--replay", (dir.path / "cut.rec").string(), "--from", "3"}), "quorvane-sim",
                            "a visit's option with --replay");
    ExpectOneLineAndExitTwo(Sim({"--salvage"}), "quorvane-sim", "--salvage alone");

    // Asked to, the sound blocks before the cut replay; the exit code still says the file is cut.
    const Finished salvaged = Sim({"--replay", (dir.path / "cut.rec").string(), "--salvage"});
    EXPECT_EQ(salvaged.exitCode, 2);
    // What was lost: the cut block, its bytes up to the cut, and where in game time the replay stopped.
    std::smatch lost;
    ASSERT_TRUE(
        std::regex_search(salvaged.out, lost,
                          std::regex("salvaged: [0-9]+ blocks replayed; 1 block \\(([0-9]+) bytes\\) after the damage "
                                     "not replayed; the last game time replayed ([0-9]+:[0-9]{2}|none)")))
        << salvaged.out;
    EXPECT_GT(std::stoul(lost[1]), 0u);
    EXPECT_LT(std::stoul(lost[1]), good.size() / 2);
    EXPECT_NE(salvaged.out.find("identical to the recording (its sound blocks only)"), std::string::npos)
        << salvaged.out;
    EXPECT_NE(salvaged.err.find("truncated"), std::string::npos) << salvaged.err;
}

// The plug-in version in a recording's header is block 0's; with the block's checksum made right
// again, only the version differs from the kept file.
TEST(SimToolReplay, ARecordingOfAnotherVersionIsReplayedWithAWarning)
{
    Scratch dir("version");
    std::string other = Slurp(QV_TEST_DATA "/recordings/refusal.rec");
    const size_t version = other.find(QV_PROJECT_VERSION);
    ASSERT_NE(version, std::string::npos);
    ASSERT_LT(version, 64u);
    std::string older = QV_PROJECT_VERSION;
    older[0] = older[0] == '0' ? '9' : '0';  // the same length: nothing else in the block moves
    other.replace(version, older.size(), older);
    ASSERT_EQ(other[9], 'B') << "block 0 follows the signature and a one-byte format version";
    size_t at = 10, length = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<uint8_t>(other[at++]);
        length |= static_cast<size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            break;
    }
    const uint32_t crc = recording::Crc32(reinterpret_cast<const uint8_t*>(other.data() + at), length);
    for (int i = 0; i < 4; ++i)
        other[at + length + static_cast<size_t>(i)] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    std::ofstream(dir.path / "other.rec", std::ios::binary) << other;
    const Finished f = Sim({"--replay", (dir.path / "other.rec").string()});
    EXPECT_NE(f.out.find("warning: recorded by plug-in " + older + ", replayed against plug-in " QV_PROJECT_VERSION),
              std::string::npos)
        << f.out << f.err;
    const Finished same = Sim({"--replay", QV_TEST_DATA "/recordings/refusal.rec"});
    EXPECT_EQ(same.out.find("warning"), std::string::npos) << same.out;
}

TEST(SimToolReplay, AKeptRecordingReplaysWithItsTimeline)
{
    const Finished f = Sim({"--replay", QV_TEST_DATA "/recordings/refusal.rec"});
    EXPECT_EQ(f.exitCode, 0) << f.err;
    EXPECT_EQ(f.err, "");
    // The version is the one that made the recording: make recordings makes it this one's.
    EXPECT_TRUE(
        std::regex_search(f.out, std::regex("plug-in [0-9]+\\.[0-9]+\\.[0-9]+, format 1; settings MAX_TRAIN_SPEED=14")))
        << f.out;
    for (const char* line : {"menu one is open", "refused: \"You don't have enough money.\"", "native calls in",
                             "replayed: identical to the recording"})
        EXPECT_NE(f.out.find(line), std::string::npos) << line << "\n" << f.out;
}

namespace {

// A player's game folder as a modder would try the tools in: settings that record and would move
// the menu's Down to S, and the two recordings the player means to send.
struct PlayersFolder {
    PlayersFolder()
        : scratch("players_folder"),
          files{
              {"Quorvane.ini", "[SETTINGS]\r\nRECORD_SESSION=1\r\nMENU_DOWN_KEY=83\r\nMAX_TRAIN_SPEED=99999999999\r\n"},
              {"Quorvane.rec", std::string("QVREC\0\1the player's session", 27)},
              {"Quorvane.old.rec", std::string("QVREC\0\1the session before", 25)}}
    {
        for (const auto& f : files)
            std::ofstream(scratch.path / f.first, std::ios::binary) << f.second;
    }
    // Every file as it was, and nothing more.
    void ExpectUntouched(const std::string& run) const
    {
        size_t count = 0;
        for (const fs::directory_entry& e : fs::directory_iterator(scratch.path)) {
            ++count;
            EXPECT_TRUE(files.count(e.path().filename().string()) == 1) << run << " made " << e.path();
        }
        EXPECT_EQ(count, files.size()) << run;
        for (const auto& f : files)
            EXPECT_EQ(Slurp(scratch.path / f.first), f.second) << run << ": " << f.first;
    }
    Scratch scratch;
    std::map<std::string, std::string> files;
};

// The tools' temporary folder, for the tools alone while it lives, and what they left in it.
struct OwnTempDir {
    OwnTempDir() : scratch("tmpdir")
    {
        const char* was = std::getenv("TMPDIR");
        hadOne = was != nullptr;
        before = was ? was : "";
        setenv("TMPDIR", scratch.path.c_str(), 1);
    }
    ~OwnTempDir()
    {
        if (hadOne)
            setenv("TMPDIR", before.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
    size_t Left() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(scratch.path), fs::directory_iterator()));
    }
    Scratch scratch;
    bool hadOne = false;
    std::string before;
};

}  // namespace

// Run where a player keeps the game, the tools read none of its files (else the settings there
// would stop the visit), change none, make none, and take their own folder away again.
TEST(ToolFolders, APlayersGameFolderIsLeftAsItWas)
{
    const PlayersFolder players;
    const OwnTempDir temp;
    struct Case {
        const char* tool;
        std::vector<std::string> args;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {QV_SIM_TOOL, {"--from", "3", "--to", "10"}, 0},
        {QV_SIM_TOOL, {"--from", "3"}, 0},
        {QV_SIM_TOOL, {"--from", "3", "--stand-off", "100"}, 1},
        {QV_SIM_TOOL, {"--from", "3", "--to", "10", "--ini", "Quorvane.ini"}, 1},
        {QV_SIM_TOOL, {"--replay", QV_TEST_DATA "/recordings/refusal.rec"}, 0},
        {QV_SOAK_TOOL, {"--hours", "3.2"}, 0},
    };
    for (const Case& c : cases) {
        std::string shown = c.tool;
        for (const std::string& a : c.args)
            shown += " " + a;
        const Finished f = ::Run(c.tool, c.args, players.scratch.path);
        EXPECT_EQ(f.exitCode, c.exitCode) << shown << "\n" << f.err;
        players.ExpectUntouched(shown);
        EXPECT_EQ(temp.Left(), 0u) << shown << " took its game folder away";
    }
}

// Each option's value is checked for what it means, not only its type: one line that names the
// option, and exit 2, before anything is played.
TEST(ToolOptions, AValueThatMeansNothingIsOneLineNamingTheOption)
{
    struct Case {
        const char* tool;
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {QV_SIM_TOOL, {"--walk-speed", "nan"}},  {QV_SIM_TOOL, {"--walk-speed", "inf"}},
        {QV_SIM_TOOL, {"--walk-speed", "-inf"}}, {QV_SIM_TOOL, {"--walk-speed", "5x"}},
        {QV_SIM_TOOL, {"--walk-speed", ""}},     {QV_SIM_TOOL, {"--cash", ""}},
        {QV_SIM_TOOL, {"--cash", "-1"}},         {QV_SIM_TOOL, {"--cash", "20x"}},
        {QV_SIM_TOOL, {"--seed", "-1"}},         {QV_SIM_TOOL, {"--seed", ""}},
        {QV_SIM_TOOL, {"--seed", "1.5"}},        {QV_SIM_TOOL, {"--stand-off", "nan"}},
        {QV_SIM_TOOL, {"--frame-ms", "16ms"}},   {QV_SIM_TOOL, {"--ini", ""}},
        {QV_SIM_TOOL, {"--record", ""}},         {QV_SIM_TOOL, {"--replay", ""}},
        {QV_SIM_TOOL, {"--from", ""}},           {QV_SOAK_TOOL, {"--hours", "nan"}},
        {QV_SOAK_TOOL, {"--hours", "inf"}},      {QV_SOAK_TOOL, {"--hours", "3h"}},
        {QV_SOAK_TOOL, {"--hours", ""}},         {QV_SOAK_TOOL, {"--seed", "-1"}},
        {QV_SOAK_TOOL, {"--ini", ""}},           {QV_SOAK_TOOL, {"--record", ""}},
    };
    for (const Case& c : cases) {
        const std::string tool = c.tool == std::string(QV_SIM_TOOL) ? "quorvane-sim" : "quorvane-soak";
        const std::string shown = tool + " " + c.args[0] + " '" + c.args[1] + "'";
        const Finished f = ::Run(c.tool, c.args);
        ExpectOneLineAndExitTwo(f, tool, shown);
        EXPECT_NE(f.err.find(c.args[0]), std::string::npos) << shown << ": names the option: " << f.err;
    }
}

// A file named on the command line that cannot be used is refused before the run, with the
// system's reason where there is one.
TEST(ToolOptions, AFileThatCannotBeUsedSaysWhy)
{
    const Scratch scratch("files");
    const fs::path& dir = scratch.path;
    fs::create_directories(dir / "a folder");
    struct Case {
        const char* tool;
        std::vector<std::string> args;
        std::string says;
    };
    const std::string missing = (dir / "missing.ini").string();
    const std::vector<Case> cases = {
        {QV_SIM_TOOL, {"--ini", missing}, "No such file or directory"},
        {QV_SOAK_TOOL, {"--ini", missing}, "No such file or directory"},
        {QV_SIM_TOOL, {"--ini", (dir / "a folder").string()}, "is a folder"},
        {QV_SIM_TOOL, {"--ini", "/dev/zero"}, "not a plain file"},
        {QV_SIM_TOOL, {"--record", (dir / "a folder").string()}, "is a folder"},
        {QV_SOAK_TOOL, {"--record", (dir / "nowhere" / "x.rec").string()}, "does not exist"},
        {QV_SIM_TOOL, {"--record", "/proc/x.rec"}, "cannot write"},
    };
    for (const Case& c : cases) {
        const Finished f = ::Run(c.tool, c.args);
        const std::string tool = c.tool == std::string(QV_SIM_TOOL) ? "quorvane-sim" : "quorvane-soak";
        ExpectOneLineAndExitTwo(f, tool, c.args[0] + " " + c.args[1]);
        EXPECT_NE(f.err.find(c.says), std::string::npos) << f.err;
        EXPECT_NE(f.err.find(c.args[0] + " " + c.args[1]), std::string::npos) << "names option and file: " << f.err;
    }
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

// Exit 1 when the visit did not go as a visit should, with or without --to: the reason on stderr.
TEST(SimToolVisit, AVisitThatGoesWrongExitsOne)
{
    const Scratch scratch("visits");
    std::ofstream(scratch.path / "fast.ini") << "[SETTINGS]\nMAX_TRAIN_SPEED=99999999999\n";
    std::ofstream(scratch.path / "keys.ini") << "[SETTINGS]\nMENU_DOWN_KEY=83\n";
    const std::string fast = (scratch.path / "fast.ini").string(), keys = (scratch.path / "keys.ini").string();
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{"--from", "3"}, 0, ""},
        {{"--from", "3", "--stand-off", "100"}, 1, "no prompt was offered at Riggs Station"},
        {{"--from", "3", "--to", "10", "--stand-off", "100"}, 1, "no prompt was offered at Riggs Station"},
        {{"--from", "3", "--to", "10", "--ini", fast}, 1, "no train came to Riggs Station"},
        {{"--from", "3", "--to", "10", "--ini", keys}, 1, "never reached Saint Denis"},
        {{"--from", "3", "--to", "10", "--stand-off", "15"}, 0, ""},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& a : c.args)
            shown += a + " ";
        const Finished f = Sim(c.args);
        EXPECT_EQ(f.exitCode, c.exitCode) << shown << "\n" << f.err;
        if (c.says.empty())
            EXPECT_EQ(f.err, "") << shown;
        else
            EXPECT_NE(f.err.find(c.says), std::string::npos) << shown << ": " << f.err;
    }
}

// --record gives the session to the file named, replacing what was there, and the settings of
// --ini are the ones recorded.
TEST(ToolFolders, RecordWritesTheSessionWithTheSettingsGiven)
{
    const Scratch scratch("record");
    const fs::path rec = scratch.path / "visit.rec";
    std::ofstream(rec) << "an older file the user named";
    std::ofstream(scratch.path / "slow.ini") << "[SETTINGS]\nMAX_TRAIN_SPEED=20\nRECORD_SESSION=0\n";
    const Finished visit =
        Sim({"--from", "3", "--to", "10", "--ini", (scratch.path / "slow.ini").string(), "--record", rec.string()});
    EXPECT_EQ(visit.exitCode, 0) << visit.err;
    const Finished replay = Sim({"--replay", rec.string()});
    EXPECT_EQ(replay.exitCode, 0) << replay.err;
    EXPECT_NE(replay.out.find("MAX_TRAIN_SPEED=20"), std::string::npos) << replay.out;
    EXPECT_NE(replay.out.find("replayed: identical to the recording"), std::string::npos) << replay.out;

    const fs::path soakRec = scratch.path / "soak.rec";
    const Finished soak = Soak({"--hours", "0.2", "--record", soakRec.string()});
    EXPECT_EQ(soak.exitCode, 2) << "too short to judge; recorded all the same";
    EXPECT_GT(fs::file_size(soakRec), 1000u);
}

TEST(ToolFolders, WithRecordingOnTheFirstSettingsSectionRecordsAndReadsAsBefore)
{
    // The plug-in's reader takes the first [SETTINGS] section and the first key in it.
    struct Case {
        std::string ini;
        uint32_t speed;
    };
    const std::vector<Case> cases = {
        {"", 14},
        {"[SETTINGS]\nRECORD_SESSION=0\nMAX_TRAIN_SPEED=20\n", 20},
        {"; note\n[other]\nRECORD_SESSION=0\n[ settings ]\r\nMAX_TRAIN_SPEED=21", 21},
        {"[SETTINGS]\nMAX_TRAIN_SPEED=22\n[SETTINGS]\nRECORD_SESSION=0\n", 22},
        {std::string(
             "\xFF\xFE[\0S\0E\0T\0T\0I\0N\0G\0S\0]\0\n\0M\0A\0X\0_\0T\0R\0A\0I\0N\0_\0S\0P\0E\0E\0D\0=\0002\0003\0",
             60),
         23},
    };
    for (const Case& c : cases) {
        const std::string on = WithRecordingOn(c.ini);
        EXPECT_EQ(ProfileIntFromText(on.data(), on.size(), "SETTINGS", "RECORD_SESSION", 0), 1u) << c.ini;
        EXPECT_EQ(ProfileIntFromText(on.data(), on.size(), "SETTINGS", "MAX_TRAIN_SPEED", 14), c.speed) << c.ini;
    }
}

// Stopped with Ctrl-C or a kill in the middle of a long run, the tool still takes its game folder
// (and the recording in it) away, and dies of the signal as a script expects.
TEST(ToolFolders, AStoppedRunTakesItsFolderAway)
{
    for (int signal : {SIGINT, SIGTERM}) {
        const OwnTempDir temp;
        int progress[2];
        ASSERT_EQ(pipe(progress), 0);
        const pid_t child = fork();
        if (child == 0) {
            const int null = open("/dev/null", O_WRONLY);
            if (null < 0 || dup2(null, 1) < 0 || dup2(progress[1], 2) < 0)
                _exit(126);
            execl(QV_SOAK_TOOL, QV_SOAK_TOOL, "--hours", "10000", "--ini", QV_TEST_DATA "/../../packaging/Quorvane.ini",
                  "--record", (temp.scratch.path / "never.rec").c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(progress[1]);
        ASSERT_GT(child, 0);
        // The run has begun once it reports its first sample (a blocking read: no clock involved).
        std::string said;
        char buffer[256];
        for (ssize_t n;
             said.find("game hour") == std::string::npos && (n = read(progress[0], buffer, sizeof buffer)) > 0;)
            said.append(buffer, static_cast<size_t>(n));
        EXPECT_NE(said.find("game hour"), std::string::npos) << said;
        EXPECT_EQ(temp.Left(), 1u) << "its game folder, while it plays";
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
        EXPECT_EQ(temp.Left(), 0u) << "signal " << signal << " left the game folder behind";
        close(progress[0]);
    }
}

// What --help promises about files and exit codes, for both tools; the tests above hold them to it.
TEST(ToolOptions, HelpSaysWhereTheToolsPlayAndWhatTheExitCodesMean)
{
    for (const char* tool : {QV_SIM_TOOL, QV_SOAK_TOOL}) {
        const Finished f = ::Run(tool, {"--help"});
        EXPECT_EQ(f.exitCode, 0) << tool;
        for (const char* said : {"--ini", "--record", "game folder of its own", "nothing in the current folder",
                                 "replacing a file of that", "Exit codes: 0"})
            EXPECT_NE(f.out.find(said), std::string::npos) << tool << ": " << said << "\n" << f.out;
    }
    const Finished sim = ::Run(QV_SIM_TOOL, {"--help"});
    EXPECT_NE(sim.out.find("1 the visit went wrong (no prompt, no train, no arrival"), std::string::npos) << sim.out;
}
