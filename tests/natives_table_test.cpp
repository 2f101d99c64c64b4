// tests/natives_table_test.cpp -- the plug-in's native constants against the hosts' own table
// (tests/data/natives.txt), name by name. The hosts take nothing from the plug-in, so a hash
// mistyped on either side is caught here rather than at the first unknown native of a visit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "host/natives.h"
#include "host_natives.h"

namespace {

const std::string SourceRoot = std::string(QV_TEST_DATA) + "/../..";

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The plug-in's constants as host/natives.h writes them, by name.
std::map<std::string, uint64_t> ProductConstants()
{
    const std::string text = ReadFile(SourceRoot + "/host/natives.h");
    const std::regex row("constexpr uint64_t (Native\\w+) *= *0x([0-9A-Fa-f]+);");
    std::map<std::string, uint64_t> constants;
    for (std::sregex_iterator it(text.begin(), text.end(), row), end; it != end; ++it)
        constants[(*it)[1]] = std::stoull((*it)[2], nullptr, 16);
    return constants;
}

const HostNative* HostRow(const std::string& constantName)
{
    for (const HostNative& n : HostNatives) {
        if ("Native" + std::string(n.name) == constantName)
            return &n;
    }
    return nullptr;
}

TEST(NativesTable, EveryProductConstantHasARowWithTheSameHash)
{
    const auto constants = ProductConstants();
    ASSERT_GE(constants.size(), 60u) << "host/natives.h was not read as expected";
    for (const auto& [name, hash] : constants) {
        const HostNative* row = HostRow(name);
        ASSERT_NE(row, nullptr) << name << " has no row in tests/data/natives.txt";
        EXPECT_EQ(row->hash, hash) << name << ": the plug-in and the hosts' table give different hashes";
    }
    EXPECT_EQ(constants.size(), static_cast<size_t>(HostNativeCount))
        << "tests/data/natives.txt has rows the plug-in has no constant for";
}

// The same comparison through the compiler: each row names a constant that exists and holds the
// row's hash. A row without a constant does not compile.
TEST(NativesTable, EveryRowIsAProductConstant)
{
    const struct {
        const char* name;
        uint64_t product;
    } rows[] = {
#define QV_PRODUCT_CONSTANT(name, hash, form, other, result) {#name, Native##name},
        QV_HOST_NATIVES(QV_PRODUCT_CONSTANT)
#undef QV_PRODUCT_CONSTANT
    };
    ASSERT_EQ(std::size(rows), static_cast<size_t>(HostNativeCount));
    std::set<uint64_t> hashes;
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(HostNatives[i].hash, rows[i].product) << rows[i].name;
        EXPECT_TRUE(hashes.insert(HostNatives[i].hash).second) << rows[i].name << ": a hash given twice";
        EXPECT_EQ(HostNativeRowOf(HostNatives[i].hash), static_cast<int>(i)) << rows[i].name;
    }
}

// The plug-in names natives only through its constants; every one its code uses is a native the
// hosts know.
TEST(NativesTable, EveryNativeThePluginNamesHasARow)
{
    const std::regex use(R"(\bNative[A-Z]\w*)");
    std::set<std::string> used;
    for (const char* folder : {"host", "plugin", "data", "journey", "menu"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(SourceRoot + "/" + folder)) {
            const std::string path = entry.path().string();
            if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h")
                continue;
            const std::string text = ReadFile(path);
            for (std::sregex_iterator it(text.begin(), text.end(), use), end; it != end; ++it)
                used.insert(it->str());
        }
    }
    EXPECT_GE(used.size(), 50u) << "the plug-in's sources were not read as expected";
    for (const std::string& name : used)
        EXPECT_NE(HostRow(name), nullptr) << name << " is used by the plug-in but has no row";
}

}  // namespace
