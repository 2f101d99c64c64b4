// tests/recording_file_test.cpp -- the recording's file functions that ship off Windows
// (host/posix_platform.cpp), on a real folder: the earlier recording is moved aside or, if it
// cannot be, left exactly as it was with nothing recorded; a write that fails part-way leaves
// the file on its last whole write. The Windows ones are run under Wine by the wine.recording-*
// tests.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "host/host_api.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// Runs f in a child process (under its own limits) and answers its exit code.
int InChild(const std::function<int()>& f)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(f());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// The child drops to an unprivileged user when run as root, for whom no folder is read-only.
bool Unprivileged() { return geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0); }

}  // namespace

class RecordingFolder : public testing::Test {
protected:
    fs::path Rec() const { return dir_ / "Quorvane.rec"; }
    fs::path Old() const { return dir_ / "Quorvane.old.rec"; }
    void* Open()
    {
        return PlatformRecordingOpen((dir_.string() + "\\Quorvane.rec").c_str(),
                                     (dir_.string() + "\\Quorvane.old.rec").c_str());
    }

    ScratchDir scratch_;
    fs::path dir_ = scratch_.Path() / "game";
    void SetUp() override { fs::create_directory(dir_); }
};

// What a session finds in its folder, and what must be there once it has opened its recording.
TEST_F(RecordingFolder, TheEarlierRecordingIsMovedAsideOrLeftAsItWas)
{
    enum Before { Nothing, RecOnly, RecAndOld, OldIsAFolder, FolderReadOnly };
    // clang-format off
    const struct {
        Before before;
        bool records;        // a new file is made
        const char* rec;     // Quorvane.rec afterwards (what the new session wrote, or kept)
        const char* old;     // Quorvane.old.rec afterwards; null: none, or the folder untouched
    } cases[] = {
        // before           records  rec          old
        {Nothing,           true,    "new",       nullptr},
        {RecOnly,           true,    "new",       "session 2"},
        {RecAndOld,         true,    "new",       "session 2"},   // the older one is replaced
        {OldIsAFolder,      false,   "session 2", nullptr},
        {FolderReadOnly,    false,   "session 2", "session 1"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.before));
        fs::remove_all(dir_);
        fs::create_directory(dir_);
        if (c.before != Nothing)
            Put(Rec(), "session 2");
        if (c.before == RecAndOld || c.before == FolderReadOnly)
            Put(Old(), "session 1");
        if (c.before == OldIsAFolder)
            fs::create_directories(Old() / "inside");
        if (c.before == FolderReadOnly) {
            fs::permissions(scratch_.Path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
            fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                      fs::perms::others_exec);
            // Opened by an unprivileged child: the answer is its exit code.
            EXPECT_EQ(InChild([&] { return Unprivileged() ? (Open() == nullptr ? 0 : 1) : 2; }), 0);
            fs::permissions(dir_, fs::perms::owner_all);
        } else {
            void* file = Open();
            EXPECT_EQ(file != nullptr, c.records);
            if (file != nullptr) {
                EXPECT_TRUE(PlatformRecordingWrite(file, "new", 3));
                PlatformRecordingClose(file);
            }
        }
        EXPECT_EQ(Slurp(Rec()), c.rec);
        if (c.before == OldIsAFolder)
            EXPECT_TRUE(fs::is_directory(Old() / "inside"));
        else if (c.old == nullptr)
            EXPECT_FALSE(fs::exists(Old()));
        else
            EXPECT_EQ(Slurp(Old()), c.old);
    }
}

// The move can fail with "no such file" although Quorvane.rec is there (here the folder for the
// older one is missing): the open must still not truncate it.
TEST_F(RecordingFolder, AFileThatWasNotMovedAsideIsNeverTruncated)
{
    Put(Rec(), "kept");
    EXPECT_EQ(PlatformRecordingOpen(Rec().c_str(), (dir_ / "missing" / "Quorvane.old.rec").c_str()), nullptr);
    EXPECT_EQ(Slurp(Rec()), "kept");
}

// A file-size limit stops a write part-way: the file goes back to its length before that write,
// so it ends on the last whole block, and the next writes go on from there if they fit.
TEST_F(RecordingFolder, AWriteCutShortLeavesTheFileOnItsLastWholeWrite)
{
    // clang-format off
    const struct {
        rlim_t limit;
        size_t blocks[3];   // the sizes of three writes
        bool ok[3];         // which succeed
        size_t length;      // the file's length afterwards
    } cases[] = {
        //  limit   writes              succeed                length
        {   4096, {1000, 2000, 500},  {true, true, true},     3500},
        {   4096, {1000, 4000, 500},  {true, false, true},    1500},
        {   4096, {5000, 10, 20},     {false, true, true},      30},
        {   4096, {4000, 96, 1},      {true, true, false},    4096},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blocks[1]);
        fs::remove(Rec());
        fs::remove(Old());
        const int rc = InChild([&] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{c.limit, c.limit};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 20;
            void* file = Open();
            if (file == nullptr)
                return 21;
            const std::string bytes(8192, 'x');
            int wrong = 0;
            for (int i = 0; i < 3; ++i)
                wrong |= PlatformRecordingWrite(file, bytes.data(), static_cast<uint32_t>(c.blocks[i])) != c.ok[i]
                             ? 1 << i
                             : 0;
            PlatformRecordingClose(file);
            return wrong;
        });
        EXPECT_EQ(rc, 0) << "20/21: no limit or no file; otherwise a bit per write answered wrongly";
        EXPECT_EQ(fs::file_size(Rec()), c.length);
    }
}
