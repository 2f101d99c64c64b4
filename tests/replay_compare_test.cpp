// tests/replay_compare_test.cpp -- the replay compares everything a recording holds. One
// difference at a time is planted in a kept recording (or in what the plug-in pushes), and the
// replay must part from the recording exactly there: the frame and call number it names are
// counted here from the recording itself. Inputs the plug-in only reads (a result, a value
// written back, a key word) are planted where the plug-in's next step depends on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

#include "host/natives.h"
#include "recording_codec.h"
#include "sim/recording_reader.h"
#include "sim/replay.h"

using testrec::Arg;
using testrec::File;
using testrec::Place;
using testrec::Rec;

namespace {

const std::string KeptRecording = QV_TEST_DATA "/recordings/line-one.rec";

File Kept()
{
    static const File kept = testrec::Decode(testrec::ReadFile(KeptRecording));
    return kept;
}

Rec& At(File& f, const Place& p) { return f.blocks[p.block][p.index]; }

// The first record that fits; its place.
Place First(const File& f, const std::function<bool(const Rec&)>& fits)
{
    for (const Place& p : testrec::Places(f)) {
        if (fits(f.blocks[p.block][p.index]))
            return p;
    }
    ADD_FAILURE() << "the kept recording has no record to plant this in";
    return Place{0, 0, 0, 0};
}

int ArgOf(const Rec& r, uint8_t kind, const std::function<bool(const Arg&)>& fits = nullptr)
{
    for (size_t i = 0; i < r.args.size(); ++i) {
        if (r.args[i].kind == kind && (!fits || fits(r.args[i])))
            return static_cast<int>(i);
    }
    return -1;
}

struct Parting {
    bool differs = false;
    uint64_t frame = 0, call = 0;
    std::string text;
};

Parting Replay(const std::vector<uint8_t>& bytes)
{
    RecordingReader reader;
    EXPECT_TRUE(reader.Load(bytes)) << reader.Error();
    const ReplayResult r = ReplaySession(reader);
    Parting p;
    p.differs = r.outcome == ReplayResult::Differs;
    p.text = r.difference;
    std::smatch m;
    static const std::regex where("^frame ([0-9]+), game time [^,]+, call ([0-9]+): ");
    if (std::regex_search(p.text, m, where)) {
        p.frame = std::stoull(m[1]);
        p.call = std::stoull(m[2]);
    } else if (p.differs) {
        ADD_FAILURE() << "a difference that does not say where: " << p.text;
    }
    return p;
}

// ---- what the plug-in pushes, changed at one call -----------------------------------------------

struct PushPlant {
    uint64_t call = 0;  // 1 is the first
    int index = -1;
    uint64_t (*change)(uint64_t) = nullptr;
} plant;
uint64_t callsBegun = 0;
int pushed = 0;
void (*realInit)(uint64_t) = nullptr;
void (*realPush)(uint64_t) = nullptr;

void PlantInPushes(HostApi& host)
{
    callsBegun = 0;
    realInit = host.nativeInit;
    realPush = host.nativePush64;
    host.nativeInit = [](uint64_t hash) {
        ++callsBegun;
        pushed = 0;
        realInit(hash);
    };
    host.nativePush64 = [](uint64_t value) {
        if (callsBegun == plant.call && pushed == plant.index)
            value = plant.change(value);
        ++pushed;
        realPush(value);
    };
}

}  // namespace

TEST(ReplayComparison, TheCodecOfTheseTestsWritesBackTheKeptRecordingByteForByte)
{
    EXPECT_EQ(testrec::Encode(Kept()), testrec::ReadFile(KeptRecording));
    const Parting p = Replay(testrec::Encode(Kept()));
    EXPECT_FALSE(p.differs) << p.text;
}

// One record changed; the replay parts exactly at it.
TEST(ReplayComparison, EachRecordedValueTheReplayChecksPartsItExactlyWhereItWasChanged)
{
    const struct Case {
        const char* what;
        std::function<Place(File&)> plant;
    } cases[] = {
        {"the call's native",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'C' && r.hashCode >= 2 && ArgOf(r, 3) >= 0; });
             At(f, p).hashCode = 0;
             At(f, p).hash = At(f, p).native ^ 0x10;
             return p;
         }},
        {"one argument more",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'C' && !r.args.empty(); });
             At(f, p).args.push_back(Arg{});
             return p;
         }},
        {"one argument fewer",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'C' && r.args.size() > 1; });
             At(f, p).args.pop_back();
             return p;
         }},
        {"a whole number",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'C' && ArgOf(r, 1) >= 0; });
             At(f, p).args[ArgOf(At(f, p), 1)].value += 1;
             return p;
         }},
        {"a whole number recorded as a widened handle",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) {
                 return r.tag == 'C' && ArgOf(r, 1, [](const Arg& a) { return a.value >= 0; }) >= 0;
             });
             At(f, p).args[ArgOf(At(f, p), 1, [](const Arg& a) { return a.value >= 0; })].kind = 6;
             return p;
         }},
        {"a float by its last bit",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'C' && ArgOf(r, 2) >= 0; });
             At(f, p).args[ArgOf(At(f, p), 2)].bits ^= 1;
             return p;
         }},
        {"an opaque value in its high half",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'C' && ArgOf(r, 5) >= 0; });
             At(f, p).args[ArgOf(At(f, p), 5)].bits ^= uint64_t{1} << 40;
             return p;
         }},
        {"a text by one letter",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) {
                 return r.tag == 'C' &&
                        ArgOf(r, 3, [](const Arg& a) { return a.textCode >= 2 && !a.resolved.empty(); }) >= 0;
             });
             Arg& a =
                 At(f, p).args[ArgOf(At(f, p), 3, [](const Arg& x) { return x.textCode >= 2 && !x.resolved.empty(); })];
             a.textCode = 0;  // inline: the numbering of later texts stays as it was
             a.text = a.resolved;
             a.text.back() ^= 1;
             return p;
         }},
        {"an address's value before the call",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'C' && ArgOf(r, 4) >= 0; });
             At(f, p).args[ArgOf(At(f, p), 4)].value += 1;
             return p;
         }},
        {"a widened handle",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'C' && ArgOf(r, 6) >= 0; });
             At(f, p).args[ArgOf(At(f, p), 6)].value -= 1;
             return p;
         }},
        {"a wait's milliseconds",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'W'; });
             At(f, p).number += 1;
             return p;
         }},
        {"the key read",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'K'; });
             At(f, p).number += 1;
             return p;
         }},
        {"the character list's capacity",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'P'; });
             At(f, p).capacity += 1;
             return p;
         }},
        {"a tick reading left out",
         [](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'T'; });
             // The next reading is then the difference from the one before the removed one.
             const int32_t delta = At(f, p).delta;
             auto& block = f.blocks[p.block];
             block.erase(block.begin() + static_cast<std::ptrdiff_t>(p.index));
             for (const Place& q : testrec::Places(f)) {
                 if ((q.block > p.block || (q.block == p.block && q.index >= p.index)) && At(f, q).tag == 'T') {
                     At(f, q).delta += delta;
                     break;
                 }
             }
             return p;
         }},
        {"the menu's down key in the header",
         [](File& f) {
             std::vector<uint8_t>& raw = f.blocks[0][0].raw;
             const std::string key = "MENU_DOWN_KEY";
             const auto at =
                 std::search(raw.begin(), raw.end(), key.begin(), key.end()) + static_cast<std::ptrdiff_t>(key.size());
             const uint8_t down = *at;
             *at = static_cast<uint8_t>(down + 1);
             return First(f, [down](const Rec& r) { return r.tag == 'K' && r.number == down; });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        File f = Kept();
        const Place p = c.plant(f);
        const Parting parted = Replay(testrec::Encode(f));
        EXPECT_TRUE(parted.differs);
        EXPECT_EQ(parted.frame, p.frame) << parted.text;
        EXPECT_EQ(parted.call, p.call) << parted.text;
    }
}

// A value the plug-in reads is changed: the replay parts where the plug-in first acts on it.
TEST(ReplayComparison, WhatThePlugInReadsIsWhatTheRecordingSays)
{
    const auto callOf = [](const File& f, uint64_t native, uint64_t after) {
        for (const Place& p : testrec::Places(f)) {
            const Rec& r = f.blocks[p.block][p.index];
            if (r.tag == 'C' && r.native == native && p.call > after)
                return p.call;
        }
        return uint64_t{0};
    };
    const struct Case {
        const char* what;
        // The planted record, and the last call at which the plug-in must have parted.
        std::function<std::pair<Place, uint64_t>(File&)> plant;
    } cases[] = {
        {"a value written back through an address",
         [&](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'C' && r.native == NativeTrainJunction; });
             At(f, p).args[1].after += 1;
             // The plug-in hands the variable back to the next reading of the junction.
             return std::make_pair(p, callOf(f, NativeTrainJunction, p.call));
         }},
        {"a whole-number result",
         [&](File& f) {
             const Place p = First(f, [](const Rec& r) { return r.tag == 'C' && r.native == NativePromptWasUsed; });
             At(f, p).intResult = 1;  // the player took the prompt a frame early: the menu opens
             return std::make_pair(p, p.call + 200);
         }},
        {"the key word of the purchase",
         [&](File& f) {
             const uint64_t charge = callOf(f, NativeChargeCash, 0);
             Place last{};
             for (const Place& p : testrec::Places(f)) {
                 if (p.call <= charge && At(f, p).tag == 'K' && At(f, p).word != 0)
                     last = p;
             }
             At(f, last).word = 0;  // Enter was never pressed: nothing is bought
             return std::make_pair(last, charge);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        File f = Kept();
        const auto [p, by] = c.plant(f);
        const Parting parted = Replay(testrec::Encode(f));
        EXPECT_TRUE(parted.differs);
        EXPECT_GE(parted.call, p.call) << parted.text;
        EXPECT_LE(parted.call, by) << parted.text;
        EXPECT_GE(parted.frame, p.frame) << parted.text;
    }
}

// The plug-in pushes one argument at another width than its kind: all 64 bits are compared.
TEST(ReplayComparison, EveryArgumentIsComparedAtTheFullWidthPushed)
{
    const struct Case {
        const char* what;
        uint8_t kind;
        bool negativeOnly;
        uint64_t (*change)(uint64_t);
    } cases[] = {
        {"a negative whole number widened with its sign", 1, true,
         [](uint64_t v) { return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(v))); }},
        {"a whole number with a stray high half", 1, false, [](uint64_t v) { return v | (uint64_t{1} << 32); }},
        {"a widened handle with a stray high bit", 6, false, [](uint64_t v) { return v ^ (uint64_t{1} << 32); }},
        {"a float with a stray high half", 2, false, [](uint64_t v) { return v | (uint64_t{1} << 63); }},
        {"an opaque value with another high half", 5, false, [](uint64_t v) { return v ^ (uint64_t{1} << 40); }},
    };
    const File f = Kept();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto fits = [&](const Arg& a) { return !c.negativeOnly || a.value < 0; };
        const Place p = First(f, [&](const Rec& r) { return r.tag == 'C' && ArgOf(r, c.kind, fits) >= 0; });
        plant = PushPlant{p.call, ArgOf(f.blocks[p.block][p.index], c.kind, fits), c.change};
        ReplayHostInstalled = &PlantInPushes;
        const Parting parted = Replay(testrec::ReadFile(KeptRecording));
        ReplayHostInstalled = nullptr;
        EXPECT_TRUE(parted.differs);
        EXPECT_EQ(parted.frame, p.frame) << parted.text;
        EXPECT_EQ(parted.call, p.call) << parted.text;
    }
}

// Where the plug-in calls another native than the recording, its texts still read as texts.
TEST(ReplayComparison, ADifferenceShowsTextArgumentsAsTextOnBothSides)
{
    File f = Kept();
    const Place p = First(f, [](const Rec& r) { return r.tag == 'C' && r.hashCode >= 2 && ArgOf(r, 3) >= 0; });
    Rec& r = At(f, p);
    const std::string text = "\"" + r.args[ArgOf(r, 3)].resolved + "\"";
    r.hashCode = 0;
    r.hash = r.native ^ 0x10;
    const Parting parted = Replay(testrec::Encode(f));
    const size_t plugin = parted.text.find("; the plug-in called ");
    ASSERT_NE(plugin, std::string::npos) << parted.text;
    EXPECT_NE(parted.text.substr(0, plugin).find(text), std::string::npos) << parted.text;
    EXPECT_NE(parted.text.find(text, plugin), std::string::npos) << parted.text;
}

// The game clock is a 32-bit count that wraps; every reading, -1 included, is a time, and a halt
// across the wrap lasts what it lasted. The kept recording's clock is moved so that one reading
// is exactly -1, or so that a halt straddles the wrap; the plug-in's calls and the timeline's
// stories stay the same, and its times move with the clock.
TEST(ReplayTimeline, TimesAndHaltLengthsAreTheClocksReadingsAcrossItsWrap)
{
    RecordingReader reader;
    ASSERT_TRUE(reader.Load(testrec::ReadFile(KeptRecording)));
    const ReplayResult base = ReplaySession(reader);
    ASSERT_EQ(base.outcome, ReplayResult::Identical);
    const ReplayEvent* offered = nullptr;
    const ReplayEvent* halt = nullptr;
    for (const ReplayEvent& e : base.timeline) {
        if (offered == nullptr && e.timeRead)
            offered = &e;
        if (halt == nullptr && e.text.rfind("train stops at ", 0) == 0)
            halt = &e;
    }
    ASSERT_TRUE(offered != nullptr && halt != nullptr);
    const struct Case {
        const char* what;
        uint32_t offset;
    } cases[] = {
        {"the first event's reading is -1", 0xFFFFFFFFu - static_cast<uint32_t>(offered->gameTime)},
        {"a halt across the wrap", 0x7FFFFFFFu - 500u - static_cast<uint32_t>(halt->gameTime)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        File f = Kept();
        for (testrec::Block& b : f.blocks) {
            for (Rec& r : b) {
                if (r.tag == 'C' && r.native == NativeGameTime)
                    r.intResult = static_cast<int32_t>(static_cast<uint32_t>(r.intResult) + c.offset);
            }
        }
        RecordingReader moved;
        ASSERT_TRUE(moved.Load(testrec::Encode(f)));
        const ReplayResult r = ReplaySession(moved);
        EXPECT_EQ(r.outcome, ReplayResult::Identical) << r.difference;
        ASSERT_EQ(r.timeline.size(), base.timeline.size());
        for (size_t i = 0; i < r.timeline.size(); ++i) {
            const ReplayEvent& was = base.timeline[i];
            const ReplayEvent& is = r.timeline[i];
            EXPECT_EQ(is.text, was.text) << "the halt lengths, among others";
            EXPECT_EQ(is.timeRead, was.timeRead) << was.text;
            if (was.timeRead) {
                EXPECT_EQ(is.gameTime, static_cast<int32_t>(static_cast<uint32_t>(was.gameTime) + c.offset))
                    << was.text;
            }
        }
    }
}
