// tests/release_docs_test.cpp -- what the release tells people: the player's README.txt and the
// README agree on every setting and what odd values do, the settings file ships the defaults,
// README.txt reads well in Notepad and has the sections a player looks for, and the changelog
// and the README carry the project's version.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

std::string Read(const std::string& path)
{
    std::ifstream in(QV_TEST_DATA "/../../" + path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    std::ostringstream text;
    text << in.rdbuf();
    std::string lf = text.str();  // line ends as git checked them out; packing makes them CRLF
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    return lf;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct Setting {
    const char* key;
    const char* defaultValue;
};
const Setting Settings[] = {
    {"MAX_TRAIN_SPEED", "14"}, {"MENU_UP_KEY", "38"}, {"MENU_DOWN_KEY", "40"}, {"RECORD_SESSION", "0"}};

}  // namespace

TEST(ReleaseDocs, TheReadmesAndTheSettingsFileAgreeOnEverySetting)
{
    const std::string readme = Read("README.md"), player = Read("packaging/README.txt");
    const std::string ini = Read("packaging/Quorvane.ini");
    for (const Setting& s : Settings) {
        EXPECT_TRUE(Has(ini, std::string("\n") + s.key + "=" + s.defaultValue + "\n")) << s.key;
        EXPECT_TRUE(Has(readme, std::string("| `") + s.key + "` | " + s.defaultValue)) << s.key;
        EXPECT_TRUE(Has(player, std::string(s.key) + " (default " + s.defaultValue)) << s.key;
        EXPECT_TRUE(Has(player, std::string("  ") + s.key + "=" + s.defaultValue + "\n")) << "the example file";
    }
    // What unusual values do, said the same way in both.
    for (const char* said :
         {"runs past its stops", "falls back to 14", "255 or more", "leaves only the", "0x10` is 16", "abc` is 0"}) {
        std::string plain = said;
        plain.erase(std::remove(plain.begin(), plain.end(), '`'), plain.end());
        EXPECT_TRUE(Has(readme, said)) << "README.md: " << said;
        EXPECT_TRUE(Has(player, plain)) << "README.txt: " << plain;
    }
    for (const char* where : {"Quorvane.rec", "Quorvane.old.rec", "8 seconds"}) {
        EXPECT_TRUE(Has(readme, where)) << "README.md: " << where;
        EXPECT_TRUE(Has(player, where)) << "README.txt: " << where;
    }
    // The modder's figures, and the player's plain words for the same things.
    for (const char* figure : {"working folder", "20 units", "(10 × speed + 250) units"})
        EXPECT_TRUE(Has(readme, figure)) << "README.md: " << figure;
    for (const char* plain : {"the folder the game was started from", "a few steps from the platform"})
        EXPECT_TRUE(Has(player, plain)) << "README.txt: " << plain;
    for (const char* jargon : {"units", "working folder", "@ZIPPED@", "@PER_HOUR@"})
        EXPECT_FALSE(Has(player, jargon)) << "README.txt: " << jargon;
}

TEST(ReleaseDocs, ThePlayersReadmeReadsWellInNotepadAndHasItsSections)
{
    const std::string player = Read("packaging/README.txt");
    std::istringstream lines(player);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        EXPECT_LE(line.size(), 78u) << "line " << number;
        for (char c : line)
            EXPECT_TRUE(c >= ' ' && c <= '~') << "line " << number << ": plain ASCII only";
    }
    for (const char* section : {"WHAT IT DOES", "THE STATIONS", "WHAT IT NEEDS", "INSTALL", "SETTINGS (Quorvane.ini)",
                                "SETTINGS HAVE NO EFFECT", "IF THE SERVICE DOES NOT APPEAR", "IS QUORVANE LOADED?",
                                "RECORDING A SESSION", "UNINSTALL", "REPORTING A BUG"})
        EXPECT_TRUE(Has(player, std::string("\n") + section + "\n")) << section;
    // A report goes somewhere, zipped, and the names of the files shipped beside it are right.
    const std::string report = player.substr(player.find("\nREPORTING A BUG\n"));
    for (const char* said : {"page you downloaded Quorvane from", "Zip Quorvane.rec", "MB", "Quorvane-CHANGELOG.txt",
                             "Quorvane-LICENSE.txt"})
        EXPECT_TRUE(Has(report, said)) << said;
    EXPECT_TRUE(Has(player, "QUORVANE @QUORVANE_VERSION@\n")) << "the version is filled in when packing";

    // The 13 stations under their lines, by the names the menus show.
    const size_t one = player.find("Line one"), two = player.find("Line two"), end = player.find("WHAT IT NEEDS");
    ASSERT_TRUE(one < two && two < end);
    const char* const lineOne[] = {"Riggs Station",   "Flatneck Station", "Wallace Station", "Valentine",
                                   "Emerald Station", "Annesburg",        "Van Horn",        "Saint Denis",
                                   "Rhodes",          "Bacchus Station"};
    const char* const lineTwo[] = {"Benedict Point", "Armadillo", "MacFarlanes Ranch"};
    for (const char* name : lineOne) {
        const size_t at = player.find(name, one);
        EXPECT_TRUE(at > one && at < two) << name;
    }
    for (const char* name : lineTwo) {
        const size_t at = player.find(name, two);
        EXPECT_TRUE(at > two && at < end) << name;
    }
}

TEST(ReleaseDocs, TheChangelogAndTheReadmeCarryTheProjectsVersion)
{
    const std::string changelog = Read("packaging/CHANGELOG.txt");
    const size_t first = changelog.find("\nQuorvane ");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(changelog.substr(first + 1, changelog.find('\n', first + 1) - first - 1), "Quorvane " QV_PROJECT_VERSION);
    const std::string readme = Read("README.md");
    EXPECT_TRUE(Has(readme, "VERSION " QV_PROJECT_VERSION));
    EXPECT_TRUE(Has(readme, "dist/Quorvane-" QV_PROJECT_VERSION ".zip"));
}

// The README keeps exactly two set-up commands.
TEST(ReleaseDocs, TheReadmeKeepsTwoSetUpCommands)
{
    const std::string readme = Read("README.md");
    const size_t block = readme.find("```sh", readme.find("### Two commands"));
    const size_t end = readme.find("```", block + 5);
    ASSERT_NE(block, std::string::npos);
    std::istringstream lines(readme.substr(block + 5, end - block - 5));
    std::vector<std::string> commands;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("make ", 0) == 0)
            commands.push_back(line.substr(0, line.find(' ', 5)));
    }
    EXPECT_EQ(commands, (std::vector<std::string>{"make demo", "make test"}));
}
