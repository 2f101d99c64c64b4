// tests/key_word_test.cpp -- one key's word as the hook's handler stores it and as the menu's
// queries read it: each field alone and together, in the layout the recording documents; and
// what the key state promises about an event from another thread that lands between the
// script's load of the word and its clearing of a taken release, with the event put exactly there.
#include <gtest/gtest.h>

#include "host/host_api.h"
#include "plugin/keyboard.h"

namespace {

uint32_t Now = 0;
uint32_t FakeTick() { return Now; }

// Bits of the word as docs/recording.md gives them (the recording stores the word as read).
constexpr uint64_t Recorded = uint64_t{1} << 32, Released = uint64_t{1} << 33, Alt = uint64_t{1} << 34,
                   WasDown = uint64_t{1} << 35;

// An event sent by the "other thread" once the script has loaded the word.
void (*BetweenLoadAndClear)(uint32_t key) = nullptr;
uint64_t LoadThenInterleave(uint32_t key)
{
    const uint64_t word = LoadKeyWord(key);
    if (BetweenLoadAndClear != nullptr)
        BetweenLoadAndClear(key);
    return word;
}

void Press(uint32_t key) { KeyboardHandler(key, 1, 0, 0, 0, 0, 0); }
void Release(uint32_t key) { KeyboardHandler(key, 1, 0, 0, 0, 1, 1); }

}  // namespace

class KeyWord : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = Host;
        Host.tickCount = &FakeTick;
        ClearKeyboardState();
    }
    void TearDown() override
    {
        Host = saved_;
        ReadKeyWord = &LoadKeyWord;
        BetweenLoadAndClear = nullptr;
        ClearKeyboardState();
    }
    HostApi saved_{};
};

TEST_F(KeyWord, EachFieldAloneAndTogetherReadsBackAsSent)
{
    constexpr uint32_t key = 65;
    for (uint32_t tick : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        for (int fields = 0; fields < 8; ++fields) {
            const int alt = fields & 1, wasDown = (fields >> 1) & 1, up = (fields >> 2) & 1;
            SCOPED_TRACE(testing::Message()
                         << "tick " << tick << " alt " << alt << " was down " << wasDown << " up " << up);
            ClearKeyboardState();
            Now = tick;
            KeyboardHandler(key, 1, 0x1E, 0, alt, wasDown, up);
            EXPECT_EQ(KeyboardState[key].load(),
                      tick | Recorded | (up ? Released : 0) | (alt ? Alt : 0) | (wasDown ? WasDown : 0));
            const KeyEvent e = ReadKeyEvent(key);
            EXPECT_EQ(e.EventTick, tick);
            EXPECT_EQ(e.Recorded, 1);
            EXPECT_EQ(e.Released, up);
            EXPECT_EQ(e.AltHeld, alt);
            EXPECT_EQ(e.PreviouslyDown, wasDown);
            // Alt and "was down" never change what the menu makes of the event.
            Now = tick + 50;
            EXPECT_EQ(KeyIsHeld(key), up == 0);
            EXPECT_EQ(ConsumeKeyRelease(key), up == 1);
            EXPECT_FALSE(ConsumeKeyRelease(key)) << "a release is taken once, anything else never";
            EXPECT_EQ(ReadKeyEvent(key).Recorded, up == 1 ? 0 : 1) << "only a taken release is cleared";
        }
    }
}

// The queries decide on the word the script was handed (a replay hands recorded words).
TEST_F(KeyWord, TheQueriesDecideOnTheWordAndTheTickAlone)
{
    static uint64_t handed = 0;
    ReadKeyWord = [](uint32_t) { return handed; };
    // clang-format off
    const struct {
        uint64_t word;
        uint32_t now;
        bool held, release;
    } cases[] = {
        //  word                                      now     held   release
        {0,                                           10,     false, false},  // never an event
        {Recorded | 100,                              5099,   true,  false},
        {Recorded | 100,                              5100,   false, false},  // held just under 5 s
        {Recorded | Alt | WasDown | 100,              200,    true,  false},
        {Recorded | Released | 100,                   199,    false, true},
        {Recorded | Released | 100,                   200,    false, false},  // a release lasts 100 ms
        {Recorded | Released | Alt | WasDown | 100,   150,    false, true},
        {Recorded | 0xFFFFFFF0,                       20,     true,  false},  // across the wrap
        {Recorded | Released | 0xFFFFFFF0,            20,     false, true},
        {100,                                         200,    false, false},  // no event recorded
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.word << " at " << std::dec << c.now);
        handed = c.word;
        Now = c.now;
        EXPECT_EQ(KeyIsHeld(66), c.held);
        EXPECT_EQ(ConsumeKeyRelease(66), c.release);
    }
}

// "A taken release is cleared only if no newer event came in the meantime": the newer event is
// sent between the script's load and its compare-and-swap, every time, not when a thread happens
// to land there.
TEST_F(KeyWord, AnEventBetweenTheLoadAndTheClearIsKept)
{
    constexpr uint32_t key = 13;
    ReadKeyWord = &LoadThenInterleave;
    // clang-format off
    const struct {
        void (*newer)(uint32_t);
        bool heldAfter;         // the newer press is there
        bool releaseAfter;      // the newer release can be taken in turn
    } cases[] = {
        {nullptr,   false, false},  // nothing newer: the release is cleared
        {&Press,    true,  false},
        {&Release,  false, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        ClearKeyboardState();
        Now = 1000;
        Release(key);
        Now = 1010;
        BetweenLoadAndClear = c.newer;
        EXPECT_TRUE(ConsumeKeyRelease(key)) << "the answer is the loaded word's";
        BetweenLoadAndClear = nullptr;
        EXPECT_EQ(ReadKeyEvent(key).Recorded, c.newer != nullptr ? 1 : 0);
        EXPECT_EQ(KeyIsHeld(key), c.heldAfter);
        EXPECT_EQ(ConsumeKeyRelease(key), c.releaseAfter);
    }
}

// "The queries load it once and decide on that one copy": a release that lands after the load
// does not make the press the script saw stop being held in the same query.
TEST_F(KeyWord, AQueryAnswersForTheWordItLoaded)
{
    constexpr uint32_t key = 40;
    ReadKeyWord = &LoadThenInterleave;
    Now = 500;
    Press(key);
    BetweenLoadAndClear = &Release;
    EXPECT_TRUE(KeyIsHeld(key));
    BetweenLoadAndClear = &Release;
    EXPECT_FALSE(KeyIsHeld(key)) << "the next query loads the release";
    BetweenLoadAndClear = &Press;
    EXPECT_TRUE(ConsumeKeyRelease(key)) << "the release loaded is taken although a press followed it";
}
