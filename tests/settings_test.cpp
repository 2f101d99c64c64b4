// tests/settings_test.cpp -- the three settings as the plug-in reads them at load, and the
// reader's handling of what players write into the file.
#include <cstdio>
#include <fstream>
#include <string>

#include "host/profile_int.h"
#include "plugin/settings.h"
#include "sim_fixture.h"

class SettingsFile : public SimTest {
protected:
    void LoadWith(const std::string& content)
    {
        SimConfig config;
        config.gameDir =
            testing::TempDir() + "quorvane_settings_" + testing::UnitTest::GetInstance()->current_test_info()->name();
        std::string mk = "mkdir -p '" + config.gameDir + "'";
        ASSERT_EQ(std::system(mk.c_str()), 0);
        const std::string path = config.gameDir + "/Quorvane.ini";
        std::remove(path.c_str());
        if (!content.empty())
            std::ofstream(path, std::ios::binary) << content;
        MakeSim(config);
        Load();
    }
};

TEST_F(SettingsFile, MissingFileGivesTheDefaults)
{
    LoadWith("");
    EXPECT_EQ(MaxTrainSpeed, 14.0f);
    EXPECT_EQ(ApproachDistanceSq, 152100.0f);
    EXPECT_EQ(MenuUpKey, 38);
    EXPECT_EQ(MenuDownKey, 40);
}

TEST_F(SettingsFile, ApproachDistanceFollowsTheSpeed)
{
    LoadWith("[SETTINGS]\r\nMAX_TRAIN_SPEED=1\r\n");
    EXPECT_EQ(MaxTrainSpeed, 1.0f);
    EXPECT_EQ(ApproachDistanceSq, 260.0f * 260.0f);

    LoadWith("[SETTINGS]\nMAX_TRAIN_SPEED=30\n");
    EXPECT_EQ(MaxTrainSpeed, 30.0f);
    EXPECT_EQ(ApproachDistanceSq, 302500.0f);
}

// A speed of 0 would take the fare for a train that never moves; "0" and any text that is not a
// number read as 0.
TEST_F(SettingsFile, ANegativeOrZeroSpeedFallsBackToTheDefault)
{
    for (const char* value : {"-5", "-1", "-2147483648", "0x80000000", "4294967295", "0", "00", "0x0", "fast", "abc",
                              "- 5", "4294967296"}) {
        LoadWith(std::string("[SETTINGS]\nMAX_TRAIN_SPEED=") + value + "\n");
        EXPECT_EQ(MaxTrainSpeed, 14.0f) << value;
        EXPECT_EQ(ApproachDistanceSq, 152100.0f) << value;
    }
    LoadWith("[SETTINGS]\nMAX_TRAIN_SPEED=2147483647\n");
    EXPECT_EQ(MaxTrainSpeed, 2147483647.0f) << "the largest positive value is taken as it comes";
}

TEST_F(SettingsFile, KeysAreTakenAsTheyCome)
{
    LoadWith("[settings]\nmenu_up_key = 87\nMENU_DOWN_KEY=300\nMAX_TRAIN_SPEED=abc\n");
    EXPECT_EQ(MenuUpKey, 87);
    EXPECT_EQ(MenuDownKey, 300);
    EXPECT_EQ(MaxTrainSpeed, 14.0f) << "not a number reads as 0, as on Windows, and 0 means the default";

    LoadWith("[SETTINGS]\nMENU_UP_KEY=-1\nMENU_DOWN_KEY=\n");
    EXPECT_EQ(MenuUpKey, -1);
    EXPECT_EQ(MenuDownKey, 40) << "an empty value gives the default";
}

// The examples Windows gives; the full corpus runs against the real function under Wine.
TEST(ProfileNumber, ReadsAsWindowsDoes)
{
    EXPECT_EQ(ParseProfileInt("-5"), 4294967291u);
    EXPECT_EQ(ParseProfileInt("abc"), 0u);
    EXPECT_EQ(ParseProfileInt(" 20 "), 20u);
    EXPECT_EQ(ParseProfileInt("20abc"), 20u);
    EXPECT_EQ(ParseProfileInt("0x10"), 16u);
    EXPECT_EQ(ParseProfileInt("0X10"), 0u);
    EXPECT_EQ(ParseProfileInt("0o17"), 15u);
    EXPECT_EQ(ParseProfileInt("0b101"), 5u);
    EXPECT_EQ(ParseProfileInt("+7"), 7u);
    EXPECT_EQ(ParseProfileInt("99999999999"), 1215752191u);
    EXPECT_EQ(ParseProfileInt("- 5"), 0u);
}

// Two answers Windows' own reader gave under Wine (corpus cases long-digits and control-z-alone),
// kept here so that the Linux suite alone holds our reader to them.
TEST(ProfileValue, IsCutAndTrimmedAsWindowsDoes)
{
    const std::string longDigits = "[SETTINGS]\nMAX_TRAIN_SPEED=1234567890123456789012345678901234567890\n";
    EXPECT_EQ(ProfileIntFromText(longDigits.data(), longDigits.size(), "SETTINGS", "MAX_TRAIN_SPEED", 14), 1849262357u)
        << "29 digits read, modulo 2^32";
    const std::string controlZ = "[SETTINGS]\nMAX_TRAIN_SPEED=\x1A\n";
    EXPECT_EQ(ProfileIntFromText(controlZ.data(), controlZ.size(), "SETTINGS", "MAX_TRAIN_SPEED", 14), 14u)
        << "a value of nothing but Ctrl-Z is empty";
}
