// tests/native_call_test.cpp -- the argument slots and result reads of a native call, against a
// host that only records what it is given.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/native_call.h"

namespace {

std::vector<uint64_t> pushed;
uint64_t initHash;
uint64_t results[4];
int calls;

void RecordInit(uint64_t hash)
{
    initHash = hash;
    pushed.clear();
}
void RecordPush(uint64_t v) { pushed.push_back(v); }
uint64_t* RecordCall()
{
    ++calls;
    return results;
}

class RecordingHost : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = Host;
        Host.nativeInit = &RecordInit;
        Host.nativePush64 = &RecordPush;
        Host.nativeCall = &RecordCall;
        std::memset(results, 0xCD, sizeof results);
        calls = 0;
    }
    void TearDown() override { Host = saved_; }
    HostApi saved_{};
};

}  // namespace

TEST_F(RecordingHost, WholeNumbersAndHandlesFillTheLowHalfOnly)
{
    Invoke<void>(0x1234, -1, 7u, true, false);
    EXPECT_EQ(initHash, 0x1234u);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(pushed, (std::vector<uint64_t>{0xFFFFFFFFu, 7u, 1u, 0u}));
}

TEST_F(RecordingHost, SignWidenedHandlesAndOpaqueValuesGoWhole)
{
    Invoke<void>(1, SignWidened{-2}, SignWidened{5}, Opaque{0x1122334455667788u});
    EXPECT_EQ(pushed, (std::vector<uint64_t>{0xFFFFFFFFFFFFFFFEu, 5u, 0x1122334455667788u}));
}

TEST_F(RecordingHost, FloatsAreTheirSingleBits)
{
    Invoke<void>(1, 0.4f, -1.0f);
    EXPECT_EQ(pushed, (std::vector<uint64_t>{0x3ECCCCCDu, 0xBF800000u}));
}

TEST_F(RecordingHost, TextsAndOutValuesAreAddresses)
{
    const char* text = "INPUT_FRONTEND_UP";
    int32_t value = 3;
    Invoke<void>(1, text, &value);
    ASSERT_EQ(pushed.size(), 2u);
    EXPECT_EQ(pushed[0], reinterpret_cast<uintptr_t>(text));
    EXPECT_EQ(pushed[1], reinterpret_cast<uintptr_t>(&value));
}

TEST_F(RecordingHost, ResultsAreReadFromTheFirstSlots)
{
    results[0] = 0xDEADBEEF00000002u;
    EXPECT_EQ(Invoke<int32_t>(1), 2) << "only the first 4 bytes";
    EXPECT_TRUE(Invoke<bool>(1));
    results[0] = 0xFFFFFFFF00000000u;
    EXPECT_FALSE(Invoke<bool>(1)) << "yes/no is the first 4 bytes, not the slot";
    results[0] = 0x1122334455667788u;
    EXPECT_EQ(Invoke<Opaque>(1).bits, 0x1122334455667788u);

    const float x = 1.5f, y = -2.0f, z = 3.25f;
    std::memset(results, 0xCD, sizeof results);
    std::memcpy(reinterpret_cast<char*>(results) + 0, &x, 4);
    std::memcpy(reinterpret_cast<char*>(results) + 8, &y, 4);
    std::memcpy(reinterpret_cast<char*>(results) + 16, &z, 4);
    const PaddedVector3 v = Invoke<PaddedVector3>(1);
    EXPECT_EQ(v.x, 1.5f);
    EXPECT_EQ(v.y, -2.0f);
    EXPECT_EQ(v.z, 3.25f);
}
