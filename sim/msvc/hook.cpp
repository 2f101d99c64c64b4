// sim/msvc/hook.cpp -- a second stand-in script hook, in the Microsoft ABI: built by clang and
// lld-link rather than MinGW, freestanding (Debian has no C or C++ library for that target), its
// nine functions declared with the Windows types and exported under the compiler's own mangling.
// It plays one scripted trip, Benedict Point to MacFarlanes Ranch, with the real Quorvane.asi,
// and is hostile wherever the interface leaves room:
//   - every whole-number, yes/no and float result carries garbage in bits 32 to 63, the coin flip
//     in bits 1 to 63, and every result slot is scribbled before each call;
//   - key events come from a thread of its own while the script runs, with garbage in the unused
//     high bits of the handler's narrow arguments;
//   - handles are negative where a sign-widened handle would show, and the game clock wraps
//     from 2^31 - 1 to -2^31 during the ride.
// Everything it sees wrong is a check that fails. The runner (tools/win_runner.cpp) drives it
// frame by frame through the Qv* exports below and decides when the plug-in is loaded and freed.
#include "sim/msvc/win.h"

extern "C" int _fltused = 0;  // the compiler's marker that floating point is in use

// No library, so the two routines the compiler may call on its own are ours. Byte loops through
// a volatile pointer, or the compiler would turn them back into calls of themselves.
extern "C" void* memset(void* to, int value, SIZE_T n)
{
    volatile unsigned char* p = static_cast<unsigned char*>(to);
    while (n-- > 0)
        *p++ = static_cast<unsigned char>(value);
    return to;
}
extern "C" void* memcpy(void* to, const void* from, SIZE_T n)
{
    volatile unsigned char* p = static_cast<unsigned char*>(to);
    const unsigned char* q = static_cast<const unsigned char*>(from);
    while (n-- > 0)
        *p++ = *q++;
    return to;
}

namespace {

using i32 = int;
using u32 = unsigned int;
using i64 = long long;
using u64 = unsigned long long;

// ---- text out -------------------------------------------------------------------------------

struct Line {
    char text[200];
    int n;
    Line& operator<<(const char* s)
    {
        while (*s != 0 && n < static_cast<int>(sizeof text) - 1)
            text[n++] = *s++;
        text[n] = 0;
        return *this;
    }
    Line& operator<<(i64 v)
    {
        char digits[24];
        int k = 0;
        const bool negative = v < 0;
        u64 u = negative ? 0 - static_cast<u64>(v) : static_cast<u64>(v);
        do {
            digits[k++] = static_cast<char>('0' + u % 10);
            u /= 10;
        } while (u != 0);
        if (negative)
            digits[k++] = '-';
        char out[24];
        for (int i = 0; i < k; ++i)
            out[i] = digits[k - 1 - i];
        out[k] = 0;
        return *this << out;
    }
    Line& Hex(u64 v)
    {
        char out[20] = {'0', 'x'};
        int k = 2;
        bool started = false;
        for (int shift = 60; shift >= 0; shift -= 4) {
            const u32 d = static_cast<u32>(v >> shift) & 15u;
            if (d != 0 || started || shift == 0) {
                out[k++] = static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10);
                started = true;
            }
        }
        out[k] = 0;
        return *this << out;
    }
};

void Print(const char* s)
{
    SIZE_T n = 0;
    while (s[n] != 0)
        ++n;
    DWORD written = 0;
    WriteFile(GetStdHandle(StdOutputHandle), s, static_cast<DWORD>(n), &written, nullptr);
}

bool Same(const char* a, const char* b)
{
    while (*a != 0 && *a == *b)
        ++a, ++b;
    return *a == *b;
}

bool StartsWith(const char* s, const char* prefix)
{
    while (*prefix != 0 && *s == *prefix)
        ++s, ++prefix;
    return *prefix == 0;
}

void CopyText(char* to, int capacity, const char* from)
{
    int i = 0;
    while (from[i] != 0 && i < capacity - 1) {
        to[i] = from[i];
        ++i;
    }
    to[i] = 0;
}

float Sqrt(float v) { return __builtin_sqrtf(v); }
float FloatOf(u32 bits) { return __builtin_bit_cast(float, bits); }
u32 BitsOf(float f) { return __builtin_bit_cast(u32, f); }

// ---- the world's data: its own copy, not the plug-in's -------------------------------------

struct V3 {
    float x, y, z;
};

// Benedict Point, Armadillo, MacFarlanes Ranch; and Benedict Point's two spawn points.
constexpr V3 Stations[3] = {
    {-5226.38f, -3472.46f, -20.5509f},
    {-3739.02f, -2606.76f, -13.0981f},
    {-2497.33f, -2427.82f, 60.6003f},
};
constexpr V3 BenedictSpawn[2] = {
    {-5234.93f, -3300.77f, -17.2545f},
    {-5332.26f, -3605.09f, -21.1388f},
};
// The configurations the hook draws (positions 0 and 21), and the assets, in order.
constexpr u32 ConfigurationAt0 = 0x3D72571D;
constexpr u32 ConfigurationAt21 = 0xFAB2FFB9;
constexpr u32 Assets[27] = {
    0xC8EF11A0, 0x22C976E4, 0x8C0224C6, 0x4E018632, 0x61EC29C0, 0x39584F5A, 0xECD7E90E,
    0xDF86C25A, 0x9A0A187A, 0x29EA09A9, 0x930442EC, 0xF632A662, 0x384E6422, 0x6A80D253,
    0xC50FC5D0, 0x4D5B5089, 0x18296CDE, 0x4717D8D8, 0x22250EF5, 0x0F228F06, 0xF1FE5FB8,
    0xC27964BE, 0x7F4258C9, 0x1C8D173A, 0xEE645446, 0x055BF98F, 0xAD516118,
};

// The natives, by the hashes the game knows them by.
enum : u64 {
    PlayerPed = 0x096275889B8E0EE0, EntityExists = 0xD42BD6EB2E0F1677,
    CanInteract = 0xAC29253EEF8F0180, IsOccupied = 0x67722AEB798E5FAB,
    EntityPosition = 0xA86D5F069399F44D, SquaredDistance = 0xB7A628320EFF8E47,
    GameTime = 0x4F67E8ECA7D3F667, RandomInt = 0xD53343AA4FB7DD28, CoinFlip = 0xB6101ABE62B5F080,
    HashOfName = 0xFD340785ADF8CFB7, ComposeText = 0xFA925AC00EB830B9,
    PromptBegin = 0x04F97DE45A519419, PromptSetControl = 0xB5352B7494A08258,
    PromptSetLabel = 0x5DD02A8318420DD7, PromptSettingA = 0x94073D5CA3F16B7B,
    PromptSettingB = 0xCA24F528D0D16289, PromptFinishSetup = 0xF7AA2696A22AD8B9,
    PromptSettingC = 0x71215ACCFDE075EE, PromptSettingD = 0x8A0FB4D03A630D21,
    PromptWasUsed = 0xE0F65F0640EF0617, PromptRemove = 0x00EDE88D4D13CF59,
    DrawSprite = 0xC9884ECADE94CB34, SetTextScale = 0x4170B650590B3B00,
    SetTextColour = 0x50A41AD966910F03, DisplayText = 0xD79334A4BB99BAD1,
    ScriptTimer = 0x83666F9FB8FEBD4B, SetScriptTimer = 0xC1B1E9A034A63A62,
    ControlIsHeld = 0xE2587F8CBBD87B1D, ControlJustReleased = 0x305C8DCD79DA8B0F,
    PlaySound = 0x67C540AA08E4A6F5, UsingKeyboard = 0xA571D46727E2B718,
    BlockPadControls = 0x5F4B6931816E599B, PlayerCash = 0x0C02DABFA3B98176,
    ChargeCash = 0x466BC8769CF26A7A, TransitionBegin = 0x40C719A5E410B9E4,
    TransitionEnd = 0x6A053CF596F67DF7, AssetIsLoaded = 0x1283B8B89DD5D1B6,
    AssetRequest = 0xFA28FE3A6246FC30, AssetRelease = 0x4AD96EF928BD4F9A,
    PedIsInTheWay = 0x6F972C1AB75A1ED0, RemoveTrain = 0x0D3630FB07E8B570,
    TrainSwitch = 0x1156C6EE7E82A98A, BeforeCreation = 0xA3120A1385F17FF7,
    CreateTrain = 0xC239DBD9A57D2A71, LastStopSetting = 0x4182C037AA1F0091,
    InitialSpeed = 0x9F29999DFDF2AEB8, AfterCreation = 0xAB7C251C7701D336,
    PedPrepare = 0xAAA34F8A7CB32098, PedIsSettled = 0x138190F64DB4BBD1,
    PedSetPair = 0xDC19C288082E586E, PedByAddress = 0x4CD38C78BD19A497,
    PedMoveTo = 0x0918E3565C20F03C, PedRelease = 0x4971D2F8162B9674,
    GiveUpEntity = 0xBBE7648349B49BE8, TrainIsHeld = 0x78C3311A73135241,
    TravelSpeed = 0x01021EB2E96B793C, ImmediateSpeed = 0xDFBA6BBFF7CCAFBB,
    Announce = 0xCFE122EC635CC2B2, TrainJunction = 0x09034479E6E3E269,
    TrainTrack = 0x865FEC2FA899F29C, SetJunction = 0xE6C5E2125EB210C1,
};

constexpr i32 Player = 0x2B1;
constexpr i32 PedInTheWay = 0x302;
constexpr i32 FirstTrain = static_cast<i32>(0x80000101u);  // negative: sign widening shows
constexpr i64 FrameMs = 16;
constexpr i64 ClockStart = 0x7FFFFFFFLL - 300000;  // the clock wraps five minutes in
constexpr i32 StartingCash = 2000;

// Where the world is in its script. The runner waits for these.
enum Phase : int {
    Loading,      // the character does not exist yet
    Away,         // far from every station
    AtStation,    // 4 units from Benedict Point; the prompt is used once it has been up a while
    MenuOpen,     // a menu frame was drawn; the key thread is at work
    Bought,       // the fare was charged
    Riding,       // the train halted for boarding and the player got on
    GotOff,       // the train halted at MacFarlanes Ranch and the player left it
    GivenUp,      // the plug-in gave the train up
    Done,
};

// Junction spots along the line: where the host reports a junction for the train. The junction
// track is passed back sign-widened, so two of them are negative.
struct Spot {
    int leg;          // 0: Benedict Point to Armadillo, 1: Armadillo to MacFarlanes Ranch
    float along;      // fraction of the leg
    i32 junctionTrack, junctionIndex, trainTrack;
    int expected;     // the state the plan gives it (coin flips answer tails)
    int seen;         // bit 0: set to 0, bit 1: set to 1
};

struct KeySlotState {
    volatile i32 pending;        // key the thread waits to see acted on, 0 when seen
    volatile i32 rowBefore;
    volatile i32 holdFrames;     // the main thread holds the frames until the release is sent
    volatile i32 stop;
};

struct TextSlot {
    u64 token;
    char text[256];
};

struct Halt {
    i64 from, to;
    int station;
};

struct World {
    // Script hook.
    void* mainFiber;
    void* scriptFiber;
    void (*scriptEntry)();
    HMODULE scriptModule;
    int registrations, unregistrations, keyRegistrations, keyUnregistrations;
    i64 wakeAt;
    u64 wokeFrame;
    bool onScript;
    void (*volatile keyHandler)(DWORD, WORD, BYTE, BOOL, BOOL, BOOL, BOOL);
    volatile i32 inHandler;
    int callsAfterUnregister;
    // The call in progress.
    bool callOpen;
    u64 hash;
    u64 args[32];
    int argc;
    u64 slots[4];
    u64 noise;
    u64 calls;
    // Clock and script.
    u64 frame;
    i64 now;
    i64 timerBase;
    Phase phase;
    i64 phaseSince;
    // Player, prompt, menu.
    bool playerExists;
    bool riding;
    V3 player;
    i32 prompt;
    bool promptUp;
    u64 promptUpFrame;
    bool promptUsed;
    bool promptLabelled;
    int prompts;
    TextSlot texts[64];
    int nextText;
    int greyPending;
    int frameSprites, frameTexts, highlightRow;
    bool menuDrawn;
    char rows[8][64];
    bool rowGrey[8];
    bool menuChecked, menuLooksRight;
    int cash, charged, sounds;
    // Train.
    int transitions;
    int assetRequests, assetReleases, assetOrderErrors;
    bool assetLoaded[27];
    u64 assetRequestFrame[27];
    int pedCleared;
    int draws;
    int creations;
    u32 configurations[4];
    bool spawnRight;
    i32 train;
    bool trainExists;
    bool trainGivenUp;
    V3 path[5];
    int pathPoints;
    float distance;
    float travelSpeed, immediateSpeed;
    i64 immediateAt;
    bool standing;
    Halt halts[6];
    int haltCount;
    int lastStopSetting;
    int switchState, switchOnes;
    int announcements;
    int negativeSpeeds;
    Spot spots[5];
    // Key thread.
    HANDLE keyThread;
    KeySlotState keys;
    int keyEvents;
    // What went wrong.
    char errors[12][160];
    int errorCount;
};

World W;

void Error(Line& line)
{
    if (W.errorCount < 12)
        CopyText(W.errors[W.errorCount], 160, line.text);
    ++W.errorCount;
}

u64 Noise()
{
    W.noise ^= W.noise << 13;
    W.noise ^= W.noise >> 7;
    W.noise ^= W.noise << 17;
    return W.noise;
}

// Garbage for bits 32 to 63, never all zero.
u64 HighGarbage() { return (Noise() | (u64{1} << 40)) & 0xFFFFFFFF00000000ull; }

void Go(Phase phase)
{
    if (W.phase < phase) {
        W.phase = phase;
        W.phaseSince = W.now;
    }
}

// ---- the train's line ------------------------------------------------------------------------

V3 Along(const V3& a, const V3& b, float f) { return V3{a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f}; }

float Dist(const V3& a, const V3& b)
{
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return Sqrt(dx * dx + dy * dy + dz * dz);
}

V3 TrainPosition()
{
    float left = W.distance;
    for (int i = 1; i < W.pathPoints; ++i) {
        const float leg = Dist(W.path[i - 1], W.path[i]);
        if (left <= leg)
            return Along(W.path[i - 1], W.path[i], leg > 0 ? left / leg : 0);
        left -= leg;
    }
    return W.path[W.pathPoints - 1];
}

V3 SpotPosition(const Spot& s) { return Along(Stations[s.leg], Stations[s.leg + 1], s.along); }

const Spot* SpotAtTrain()
{
    const V3 at = TrainPosition();
    for (const Spot& s : W.spots) {
        if (Dist(SpotPosition(s), at) < 120.0f)
            return &s;
    }
    return nullptr;
}

// ---- one native call --------------------------------------------------------------------------

class Call {
public:
    Call(const char* name, int argc) : name_(name)
    {
        if (W.argc != argc) {
            Line l{};
            l << name_ << " takes " << i64{argc} << " arguments, got " << i64{W.argc};
            Error(l);
        }
    }
    u64 Raw(int i) const { return i < W.argc ? W.args[i] : 0; }
    // A whole number, handle, hash or yes/no: the high half must be zero.
    i32 Int(int i) const
    {
        const u64 v = Raw(i);
        if ((v >> 32) != 0)
            Fail(i, "has high bits set: ", v);
        return static_cast<i32>(static_cast<u32>(v));
    }
    i32 Widened(int i) const
    {
        const u64 v = Raw(i);
        const i32 low = static_cast<i32>(static_cast<u32>(v));
        if (static_cast<u64>(static_cast<i64>(low)) != v)
            Fail(i, "is not widened with its sign: ", v);
        return low;
    }
    float Float(int i) const { return FloatOf(static_cast<u32>(Int(i))); }
    const char* Text(int i) const
    {
        const char* p = reinterpret_cast<const char*>(Raw(i));
        if (p == nullptr) {
            Fail(i, "is a null text", 0);
            return "";
        }
        return p;
    }
    i32* Out(int i) const
    {
        i32* p = reinterpret_cast<i32*>(Raw(i));
        if (p == nullptr)
            Fail(i, "is a null address", 0);
        return p;
    }
    void Expect(bool ok, const char* what) const
    {
        if (!ok) {
            Line l{};
            l << name_ << ": " << what;
            Error(l);
        }
    }
    void Fail(int i, const char* what, u64 v) const
    {
        Line l{};
        l << name_ << " argument " << i64{i} << " " << what;
        l.Hex(v);
        Error(l);
    }
    // Results: garbage in everything the plug-in must not read.
    static void Int32(i32 v) { W.slots[0] = HighGarbage() | static_cast<u32>(v); }
    static void Bool(bool v) { Int32(v ? 1 : 0); }
    static void Float32(float v) { W.slots[0] = HighGarbage() | BitsOf(v); }
    static void Vector(const V3& v)
    {
        W.slots[0] = HighGarbage() | BitsOf(v.x);
        W.slots[1] = HighGarbage() | BitsOf(v.y);
        W.slots[2] = HighGarbage() | BitsOf(v.z);
    }

private:
    const char* name_;
};

u32 Joaat(const char* s)
{
    u32 h = 0;
    for (; *s != 0; ++s) {
        const unsigned char c = static_cast<unsigned char>(*s >= 'A' && *s <= 'Z' ? *s + 32 : *s);
        h += c;
        h += h << 10;
        h ^= h >> 6;
    }
    h += h << 3;
    h ^= h >> 11;
    h += h << 15;
    return h;
}

// Composed texts are tokens: 64-bit values with their high bits set, which the plug-in must hand
// back whole.
u64 Compose(const char* text)
{
    TextSlot& slot = W.texts[W.nextText];
    slot.token = 0xC0DE000000000000ull | (W.frame << 8) | static_cast<u64>(W.nextText);
    CopyText(slot.text, sizeof slot.text, text);
    W.nextText = (W.nextText + 1) % 64;
    return slot.token;
}

const char* Composed(u64 token)
{
    for (const TextSlot& s : W.texts) {
        if (s.token == token && token != 0)
            return s.text;
    }
    return nullptr;
}

int RowOf(float y, float top) { return static_cast<int>((y - top) / 0.04f + 0.5f); }

void Halted()
{
    const V3 at = TrainPosition();
    int station = -1;
    for (int i = 0; i < 3; ++i) {
        if (Dist(at, Stations[i]) < 200.0f)
            station = i;
    }
    if (W.haltCount < 6)
        W.halts[W.haltCount++] = Halt{W.now, 0, station};
    W.standing = true;
    if (station == 0 && W.phase == Bought) {
        W.riding = true;
        Go(Riding);
    }
    if (station == 2 && W.phase == Riding) {
        W.riding = false;
        W.player = V3{Stations[2].x + 60.0f, Stations[2].y + 400.0f, Stations[2].z};
        Go(GotOff);
    }
}

void Native()
{
    const u64 h = W.hash;
    switch (h) {
    case PlayerPed: {
        Call c("PlayerPed", 0);
        Call::Int32(Player);
        break;
    }
    case EntityExists: {
        Call c("EntityExists", 1);
        const i32 e = c.Int(0);
        Call::Bool((e == Player && W.playerExists) || (e == W.train && W.trainExists && e != 0) || e == PedInTheWay);
        break;
    }
    case CanInteract: {
        Call c("PlayerCanInteract", 1);
        c.Expect(c.Int(0) == Player, "asked about someone else");
        Call::Bool(W.playerExists);
        break;
    }
    case IsOccupied: {
        Call c("PlayerIsOccupied", 2);
        c.Expect(c.Int(0) == Player && c.Int(1) == 1, "takes the player and 1");
        Call::Bool(false);
        break;
    }
    case EntityPosition: {
        Call c("EntityPosition", 3);
        const i32 e = c.Int(0), flag = c.Int(1);
        c.Expect(c.Int(2) == 0, "last argument 0");
        if (e == Player && W.playerExists) {
            c.Expect(flag == 1, "the player's flag is 1");
            Call::Vector(W.riding && W.trainExists ? TrainPosition() : W.player);
        } else if (e == W.train && W.trainExists) {
            c.Expect(flag == 0, "the train's flag is 0");
            Call::Vector(TrainPosition());
        } else {
            Call::Vector(V3{0, 0, 0});
        }
        break;
    }
    case SquaredDistance: {
        Call c("SquaredDistance", 6);
        const float dx = c.Float(0) - c.Float(3), dy = c.Float(1) - c.Float(4), dz = c.Float(2) - c.Float(5);
        Call::Float32(dx * dx + dy * dy + dz * dz);
        break;
    }
    case GameTime: {
        Call c("GameTime", 0);
        Call::Int32(static_cast<i32>(static_cast<u32>(static_cast<u64>(W.now))));
        break;
    }
    case RandomInt: {
        Call c("RandomInt", 2);
        const i32 low = c.Int(0), limit = c.Int(1);
        i32 v = low;
        if (low == 0 && limit == 22)
            v = W.draws++ == 0 ? 0 : 21;   // the first train never appears; the second is position 21
        else if (low == 10000 && limit == 13000)
            v = 11000;
        else if (low == 10 && limit == 40)
            v = 25;
        else
            c.Expect(false, "asked for a range this trip never needs");
        Call::Int32(v);
        break;
    }
    case CoinFlip: {
        Call c("CoinFlip", 0);
        W.slots[0] = (Noise() | 2u) & ~u64{1};  // tails, with bits 1 to 63 not all zero
        break;
    }
    case HashOfName: {
        Call c("HashOfName", 1);
        Call::Int32(static_cast<i32>(Joaat(c.Text(0))));
        break;
    }
    case ComposeText: {
        if (W.argc == 3) {
            Call c("ComposeText", 3);
            c.Expect(c.Int(0) == 10 && Same(c.Text(1), "LITERAL_STRING"), "10, \"LITERAL_STRING\", text");
            W.slots[0] = Compose(c.Text(2));
        } else {
            Call c("ComposeText", 4);
            c.Expect(c.Int(0) == 42 && Same(c.Text(1), "COLOR_STRING") && c.Int(2) == 0, "42, \"COLOR_STRING\", 0, text");
            const char* inner = Composed(c.Raw(3));
            c.Expect(inner != nullptr, "the composed text is not handed back whole");
            W.slots[0] = Compose(inner != nullptr ? inner : "");
        }
        break;
    }
    case PromptBegin: {
        Call c("PromptBegin", 0);
        W.prompt = 0x51 + W.prompts++;
        Call::Int32(W.prompt);
        break;
    }
    case PromptSetControl: {
        Call c("PromptSetControl", 2);
        c.Expect(c.Int(0) == W.prompt, "the prompt just begun");
        c.Expect(static_cast<u32>(c.Int(1)) == Joaat("INPUT_INTERACT_OPTION1"), "the interact control");
        break;
    }
    case PromptSetLabel: {
        Call c("PromptSetLabel", 2);
        c.Expect(c.Int(0) == W.prompt, "the prompt just begun");
        const char* label = Composed(c.Raw(1));
        c.Expect(label != nullptr, "the composed label is not handed back whole");
        W.promptLabelled = label != nullptr && Same(label, "Quorvane");
        break;
    }
    case PromptSettingA:
    case PromptSettingC:
    case PromptSettingD: {
        Call c("PromptSetting", 2);
        c.Expect(c.Int(0) == W.prompt && c.Int(1) == 1, "the prompt and 1");
        break;
    }
    case PromptSettingB: {
        Call c("PromptSettingB", 2);
        c.Expect(c.Int(0) == W.prompt && c.Int(1) == 0, "the prompt and 0");
        break;
    }
    case PromptFinishSetup: {
        Call c("PromptFinishSetup", 1);
        c.Expect(c.Int(0) == W.prompt, "the prompt just begun");
        W.promptUp = true;
        W.promptUpFrame = W.frame;
        break;
    }
    case PromptWasUsed: {
        Call c("PromptWasUsed", 1);
        c.Expect(c.Int(0) == W.prompt, "the prompt on screen");
        Call::Bool(W.promptUsed && W.promptUp);
        break;
    }
    case PromptRemove: {
        Call c("PromptRemove", 1);
        c.Expect(c.Int(0) == W.prompt && W.promptUp, "the prompt on screen");
        W.promptUp = false;
        W.promptUsed = false;
        break;
    }
    case DrawSprite: {
        Call c("DrawSprite", 12);
        c.Expect(Same(c.Text(0), "generic_textures") && Same(c.Text(1), "hud_menu_4a"), "the menu texture");
        c.Expect(c.Float(2) == 0.168f && c.Float(6) == 0.0f && c.Int(11) == 0, "x 0.168, rotation 0, last 0");
        const float y = c.Float(3), w = c.Float(4);
        for (int i = 7; i <= 10; ++i)
            c.Expect(c.Int(i) >= 0 && c.Int(i) <= 255, "colours from 0 to 255");
        if (w == 0.255f)
            W.menuDrawn = true;
        if (w == 0.22f)
            W.highlightRow = RowOf(y, 0.1336f);
        ++W.frameSprites;
        break;
    }
    case SetTextScale: {
        Call c("SetTextScale", 2);
        c.Expect(c.Float(0) == 0.4f && c.Float(1) == 0.4f, "0.4, 0.4");
        break;
    }
    case SetTextColour: {
        Call c("SetTextColour", 4);
        c.Expect(c.Int(0) == 100 && c.Int(1) == 100 && c.Int(2) == 100 && c.Int(3) == 235, "grey");
        W.greyPending = 1;
        break;
    }
    case DisplayText: {
        Call c("DisplayText", 3);
        const char* text = Composed(c.Raw(0));
        c.Expect(text != nullptr, "the composed text is not handed back whole");
        c.Expect(c.Float(1) == 0.065f, "x 0.065");
        const int row = RowOf(c.Float(2), 0.12f);
        const char* prefix = "<FONT FACE='$title' COLOR='#%04X'>";
        if (text != nullptr && row >= 0 && row < 8 && StartsWith(text, prefix)) {
            char inner[64];
            CopyText(inner, sizeof inner, text + 34);
            int n = 0;
            while (inner[n] != 0)
                ++n;
            if (n >= 7)
                inner[n - 7] = 0;  // "</FONT>"
            CopyText(W.rows[row], 64, inner);
            W.rowGrey[row] = W.greyPending != 0;
        }
        W.greyPending = 0;
        ++W.frameTexts;
        break;
    }
    case ScriptTimer: {
        Call c("ScriptTimer", 0);
        Call::Int32(static_cast<i32>(W.now - W.timerBase));
        break;
    }
    case SetScriptTimer: {
        Call c("SetScriptTimer", 1);
        W.timerBase = W.now - c.Int(0);
        break;
    }
    case ControlIsHeld:
    case ControlJustReleased: {
        Call c("ControlRead", 2);
        c.Expect(c.Int(0) == 0, "pad 0");
        const u32 control = static_cast<u32>(c.Int(1));
        c.Expect(control == Joaat("INPUT_FRONTEND_UP") || control == Joaat("INPUT_FRONTEND_DOWN") ||
                     control == Joaat("INPUT_FRONTEND_ACCEPT") || control == Joaat("INPUT_FRONTEND_CANCEL"),
                 "a front-end control");
        Call::Int32(0);
        break;
    }
    case PlaySound: {
        Call c("PlayFrontendSound", 4);
        c.Expect(Same(c.Text(0), "NAV_RIGHT") && Same(c.Text(1), "HUD_SHOP_SOUNDSET") && c.Int(2) == 1 && c.Int(3) == 0,
                 "\"NAV_RIGHT\", \"HUD_SHOP_SOUNDSET\", 1, 0");
        ++W.sounds;
        break;
    }
    case UsingKeyboard: {
        Call c("UsingKeyboard", 1);
        c.Expect(c.Int(0) == 0, "takes 0");
        Call::Int32(1);
        break;
    }
    case BlockPadControls: {
        Call c("BlockPadControls", 1);
        c.Expect(false, "blocks the pad while the keyboard is in use");
        break;
    }
    case PlayerCash: {
        Call c("PlayerCash", 0);
        Call::Int32(W.cash);
        break;
    }
    case ChargeCash: {
        Call c("ChargeCash", 1);
        W.charged = c.Int(0);
        W.cash -= W.charged;
        Go(Bought);
        break;
    }
    case TransitionBegin:
    case TransitionEnd: {
        Call c("Transition", 1);
        c.Expect(c.Int(0) == 1500, "1500 ms");
        W.transitions += h == TransitionBegin ? 1 : -1;
        break;
    }
    case AssetIsLoaded:
    case AssetRequest:
    case AssetRelease: {
        Call c("Asset", h == AssetRequest ? 2 : 1);
        const u32 asset = static_cast<u32>(c.Int(0));
        int index = -1;
        for (int i = 0; i < 27; ++i) {
            if (Assets[i] == asset)
                index = i;
        }
        c.Expect(index >= 0, "an asset that is not a train's");
        if (index < 0)
            break;
        if (h == AssetIsLoaded) {
            // Loaded two frames after its request.
            W.assetLoaded[index] = W.assetLoaded[index] || (W.assetRequestFrame[index] != 0 && W.frame >= W.assetRequestFrame[index] + 2);
            Call::Bool(W.assetLoaded[index]);
        } else if (h == AssetRequest) {
            c.Expect(c.Int(1) == 1, "asset request with 1");
            W.assetOrderErrors += index == W.assetRequests ? 0 : 1;
            ++W.assetRequests;
            W.assetRequestFrame[index] = W.frame;
        } else {
            W.assetOrderErrors += index == W.assetReleases % 27 ? 0 : 1;
            ++W.assetReleases;
        }
        break;
    }
    case PedIsInTheWay: {
        Call c("PedIsInTheWay", 1);
        Call::Bool(c.Int(0) == PedInTheWay);
        break;
    }
    case PedPrepare:
    case PedIsSettled:
    case PedSetPair:
    case PedMoveTo: {
        Call c("Ped", h == PedPrepare || h == PedSetPair ? 3 : h == PedMoveTo ? 7 : 1);
        c.Expect(c.Int(0) == PedInTheWay, "only the character in the way");
        if (h == PedMoveTo)
            c.Expect(c.Float(1) == 2200.0f && c.Float(2) == -6000.0f && c.Int(3) == 0 && c.Int(4) == 0 &&
                         c.Int(5) == 1 && c.Int(6) == 1, "moved to 2200, -6000");
        Call::Bool(false);
        break;
    }
    case PedByAddress: {
        Call c("PedByAddress", 1);
        i32* copy = c.Out(0);
        if (copy != nullptr) {
            c.Expect(*copy == PedInTheWay, "a copy of the character's handle");
            *copy = 0x7777;  // the game may rewrite it; the plug-in must not care
        }
        break;
    }
    case PedRelease: {
        Call c("PedRelease", 1);
        i32* slot = c.Out(0);
        c.Expect(slot != nullptr && *slot == PedInTheWay, "the slot keeps the handle, not the rewritten copy");
        ++W.pedCleared;
        break;
    }
    case RemoveTrain: {
        Call c("RemoveTrain", 1);
        c.Expect(false, "no earlier train to remove on the first trip");
        break;
    }
    case TrainSwitch: {
        Call c("TrainSwitch", 1);
        W.switchState = c.Int(0);
        W.switchOnes += W.switchState == 1 ? 1 : 0;
        break;
    }
    case BeforeCreation: {
        Call c("BeforeTrainCreation", 0);
        break;
    }
    case CreateTrain: {
        Call c("CreateTrain", 8);
        const u32 configuration = static_cast<u32>(c.Int(0));
        const V3 at{c.Float(1), c.Float(2), c.Float(3)};
        const i32 direction = c.Int(4);
        c.Expect(c.Int(5) == 1 && c.Int(6) == 1 && c.Int(7) == 1, "ends with 1, 1, 1");
        if (W.creations < 4)
            W.configurations[W.creations] = configuration;
        // Tails on every flip: direction 0, so spawn point 0.
        W.spawnRight = at.x == BenedictSpawn[0].x && at.y == BenedictSpawn[0].y && at.z == BenedictSpawn[0].z &&
                       direction == 0;
        ++W.creations;
        W.train = FirstTrain + W.creations - 1;
        W.trainExists = W.creations >= 2;
        W.path[0] = at;
        W.path[1] = Stations[0];
        W.path[2] = Stations[1];
        W.path[3] = Stations[2];
        W.path[4] = V3{Stations[2].x + 3000.0f, Stations[2].y + 430.0f, Stations[2].z};
        W.pathPoints = 5;
        W.distance = 0;
        Call::Int32(W.train);
        break;
    }
    case LastStopSetting: {
        Call c("TrainLastStopSetting", 2);
        c.Expect(c.Int(0) == W.train, "the train");
        W.lastStopSetting = c.Int(1);
        break;
    }
    case InitialSpeed:
    case TravelSpeed:
    case ImmediateSpeed: {
        Call c("TrainSpeed", 2);
        c.Expect(c.Int(0) == W.train, "the train");
        const float v = c.Float(1);
        W.negativeSpeeds += v < 0.0f ? 1 : 0;
        if (h == ImmediateSpeed) {
            W.immediateSpeed = v;
            W.immediateAt = W.now;
            if (v == 0.0f && !W.standing)
                Halted();
        } else {
            W.travelSpeed = v;
            if (W.standing && v > 0.0f) {
                W.standing = false;
                W.halts[W.haltCount - 1].to = W.now;
            }
        }
        break;
    }
    case AfterCreation: {
        Call c("AfterTrainCreation", 3);
        c.Expect(c.Int(0) == 0 && c.Int(1) == 25 && c.Int(2) == 0, "0, the drawn 25, 0");
        break;
    }
    case GiveUpEntity: {
        Call c("GiveUpEntity", 2);
        i32* handle = c.Out(0);
        c.Expect(handle != nullptr && *handle == W.train && c.Int(1) == 0, "the address of the train's handle, 0");
        if (handle != nullptr)
            *handle = 0;
        W.trainGivenUp = true;
        Go(GivenUp);
        break;
    }
    case TrainIsHeld: {
        Call c("TrainIsHeld", 1);
        Call::Bool(false);
        break;
    }
    case Announce: {
        Call c("TrainAnnounce", 4);
        c.Expect(c.Widened(0) == W.train, "the train, widened with its sign");
        c.Expect((Same(c.Text(1), "STOPPED") || Same(c.Text(1), "NEXT_STATION")) && c.Int(2) == 0 && c.Int(3) == 0,
                 "\"STOPPED\" or \"NEXT_STATION\", 0, 0");
        ++W.announcements;
        break;
    }
    case TrainJunction: {
        Call c("TrainJunction", 3);
        i32* track = c.Out(1);
        i32* index = c.Out(2);
        const Spot* s = W.trainExists && !W.trainGivenUp ? SpotAtTrain() : nullptr;
        if (track != nullptr && index != nullptr) {
            *track = s != nullptr ? s->junctionTrack : -1;
            *index = s != nullptr ? s->junctionIndex : -1;
        }
        break;
    }
    case TrainTrack: {
        Call c("TrainTrack", 1);
        c.Widened(0);
        const Spot* s = W.trainExists && !W.trainGivenUp ? SpotAtTrain() : nullptr;
        Call::Int32(s != nullptr ? s->trainTrack : 99);
        break;
    }
    case SetJunction: {
        Call c("SetJunction", 3);
        const i32 track = c.Widened(0), index = c.Int(1), state = c.Int(2);
        c.Expect(state == 0 || state == 1, "state 0 or 1");
        bool known = false;
        for (Spot& s : W.spots) {
            if (s.junctionTrack == track && s.junctionIndex == index) {
                s.seen |= 1 << (state & 1);
                known = true;
            }
        }
        c.Expect(known, "a junction the host never reported");
        break;
    }
    default: {
        Line l{};
        l << "unknown native ";
        l.Hex(h);
        Error(l);
    }
    }
}

// ---- the key thread ---------------------------------------------------------------------------

using WideKeyHandler = void (*)(u64, u64, u64, u64, u64, u64, u64);

bool KeysGoOn() { return __atomic_load_n(&W.keys.stop, __ATOMIC_SEQ_CST) == 0; }
bool Paid() { return __atomic_load_n(&W.phase, __ATOMIC_SEQ_CST) >= Bought; }

// One event through the plug-in's handler, as a window thread would send it: the narrow
// arguments with garbage in the bits above their width.
void SendKey(u32 key, bool up)
{
    __atomic_add_fetch(&W.inHandler, 1, __ATOMIC_SEQ_CST);
    auto handler = W.keyHandler;
    if (handler != nullptr) {
        const u64 g = Noise();
        reinterpret_cast<WideKeyHandler>(handler)(
            (g & 0xFFFFFFFF00000000ull) | key, (g & 0xFFFFFFFFFFFF0000ull) | 1u, (g & 0xFFFFFFFFFFFFFF00ull) | 0x1Cu,
            (g & 0xFFFFFFFF00000000ull) | 0u, (g & 0xFFFFFFFF00000000ull) | 0u,
            (g & 0xFFFFFFFF00000000ull) | (up ? 1u : 0u), (g & 0xFFFFFFFF00000000ull) | (up ? 1u : 0u));
        ++W.keyEvents;
    }
    __atomic_sub_fetch(&W.inHandler, 1, __ATOMIC_SEQ_CST);
}

// Keys the menu does not use, sent while the thread waits, so that events keep arriving while
// the script reads the table.
void Chatter(u32 n)
{
    SendKey(81, (n & 1) != 0);           // Q
    SendKey(0x100u + n % 64, false);     // past the table
    Sleep(0);
}

DWORD WINAPI KeyThread(void*)
{
    constexpr u32 Down = 40, Enter = 13;
    u32 n = 0;
    for (int step = 0; step < 2 && KeysGoOn(); ++step) {
        __atomic_store_n(&W.keys.rowBefore, __atomic_load_n(&W.highlightRow, __ATOMIC_SEQ_CST), __ATOMIC_SEQ_CST);
        __atomic_store_n(&W.keys.pending, static_cast<i32>(Down), __ATOMIC_SEQ_CST);
        SendKey(Down, false);
        const DWORD start = GetTickCount();
        while (__atomic_load_n(&W.keys.pending, __ATOMIC_SEQ_CST) != 0 && KeysGoOn() && GetTickCount() - start < 5000)
            Chatter(n++);
        SendKey(Down, true);
        __atomic_store_n(&W.keys.holdFrames, 0, __ATOMIC_SEQ_CST);
    }
    // A release is taken only within 100 ms of its arrival, so it is sent again until it counts.
    for (int attempt = 0; attempt < 40 && KeysGoOn() && !Paid(); ++attempt) {
        SendKey(Enter, false);
        SendKey(Enter, true);
        const DWORD start = GetTickCount();
        while (!Paid() && KeysGoOn() && GetTickCount() - start < 250)
            Chatter(n++);
    }
    return 0;
}

void StartKeyThread()
{
    if (W.keyThread == nullptr)
        W.keyThread = CreateThread(nullptr, 0, &KeyThread, nullptr, 0, nullptr);
}

void StopKeyThread()
{
    if (W.keyThread == nullptr)
        return;
    __atomic_store_n(&W.keys.stop, 1, __ATOMIC_SEQ_CST);
    __atomic_store_n(&W.keys.holdFrames, 0, __ATOMIC_SEQ_CST);
    WaitForSingleObject(W.keyThread, Infinite);
    CloseHandle(W.keyThread);
    W.keyThread = nullptr;
}

// ---- frames ----------------------------------------------------------------------------------

void WINAPI ScriptFiber(void*)
{
    W.scriptEntry();
    Line l{};
    l << "the script returned";
    Error(l);
    for (;;)
        SwitchToFiber(W.mainFiber);
}

void EnsureMainFiber()
{
    if (W.mainFiber != nullptr)
        return;
    if (IsThreadAFiber()) {
        void* fiber;
        asm volatile("movq %%gs:0x20, %0" : "=r"(fiber));  // the TEB's current fibre
        W.mainFiber = fiber;
    } else {
        W.mainFiber = ConvertThreadToFiber(nullptr);
    }
}

void AdvanceWorld()
{
    const i64 since = W.now - ClockStart;
    if (W.phase == Loading && since >= 3000) {
        W.playerExists = true;
        W.player = V3{Stations[0].x, Stations[0].y + 150.0f, Stations[0].z};
        Go(Away);
    }
    if (W.phase == Away && since >= 12000) {
        W.player = V3{Stations[0].x + 4.0f, Stations[0].y, Stations[0].z};
        Go(AtStation);
    }
    if (W.phase == AtStation && W.promptUp && W.frame >= W.promptUpFrame + 20)
        W.promptUsed = true;
    if (W.trainExists && !W.trainGivenUp) {
        float speed = W.now - W.immediateAt <= 150 ? W.immediateSpeed : W.travelSpeed;
        if (speed < 0)
            speed = 0;
        W.distance += speed * static_cast<float>(FrameMs) / 1000.0f;
    }
    if (W.phase == GivenUp && W.now - W.phaseSince >= 2000)
        Go(Done);
}

void RunFrame()
{
    ++W.frame;
    W.now += FrameMs;
    W.frameSprites = W.frameTexts = 0;
    W.menuDrawn = false;
    AdvanceWorld();
    if (W.scriptEntry != nullptr && W.now >= W.wakeAt && W.frame > W.wokeFrame) {
        if (W.scriptFiber == nullptr)
            W.scriptFiber = CreateFiber(256 * 1024, &ScriptFiber, nullptr);
        W.onScript = true;
        SwitchToFiber(W.scriptFiber);
        W.onScript = false;
    }
    if (!W.menuDrawn)
        return;
    if (W.phase == AtStation) {
        Go(MenuOpen);
        StartKeyThread();
    }
    // Menu two, the first frame it is whole: eight sprites and five lines, Benedict Point grey.
    if (!W.menuChecked && W.frameTexts == 5) {
        W.menuChecked = true;
        W.menuLooksRight = W.frameSprites == 8 && Same(W.rows[0], "Destination:") &&
                           Same(W.rows[1], "Armadillo - 3.85$") && !W.rowGrey[1] && Same(W.rows[2], "Benedict Point") &&
                           W.rowGrey[2] && Same(W.rows[3], "MacFarlanes Ranch - 6.50$") && Same(W.rows[4], "Close") &&
                           !W.rowGrey[4];
    }
    // The key thread's Down press has moved the highlight: hold the frames until it lets go, so
    // that one press is one step.
    if (__atomic_load_n(&W.keys.pending, __ATOMIC_SEQ_CST) != 0 &&
        W.highlightRow != __atomic_load_n(&W.keys.rowBefore, __ATOMIC_SEQ_CST)) {
        __atomic_store_n(&W.keys.holdFrames, 1, __ATOMIC_SEQ_CST);
        __atomic_store_n(&W.keys.pending, 0, __ATOMIC_SEQ_CST);
    }
}

void Check(int& failures, bool ok, const char* what)
{
    Print(ok ? "  ok    " : "  FAIL  ");
    Print(what);
    Print("\n");
    failures += ok ? 0 : 1;
}

void Reset()
{
    memset(&W, 0, sizeof W);
    W.noise = 0x9E3779B97F4A7C15ull;
    W.now = ClockStart;
    W.timerBase = ClockStart;
    W.wakeAt = ClockStart;
    W.cash = StartingCash;
    W.switchState = 1;
    W.highlightRow = -1;
    W.spots[0] = Spot{0, 0.45f, -23, 5, 23, 1, 0};
    W.spots[1] = Spot{0, 0.75f, 24, 6, 24, 0, 0};
    W.spots[2] = Spot{1, 0.30f, 25, 1, 25, 1, 0};
    W.spots[3] = Spot{1, 0.55f, -25, 0, 25, 1, 0};
    W.spots[4] = Spot{1, 0.80f, 24, 1, 24, 0, 0};
}

} // namespace

// ---- the script hook's nine functions, as its header declares them ----------------------------

__declspec(dllexport) void scriptRegister(HMODULE module, void (*entry)())
{
    ++W.registrations;
    W.scriptModule = module;
    W.scriptEntry = entry;
    W.wakeAt = W.now;
    W.wokeFrame = W.frame;
}

__declspec(dllexport) void scriptUnregister(HMODULE module)
{
    ++W.unregistrations;
    if (module != W.scriptModule || W.scriptEntry == nullptr) {
        Line l{};
        l << "scriptUnregister with a module that has no script here";
        Error(l);
    }
    if (W.onScript) {
        Line l{};
        l << "scriptUnregister from inside the script";
        Error(l);
    } else if (W.scriptFiber != nullptr) {
        DeleteFiber(W.scriptFiber);
    }
    W.scriptFiber = nullptr;
    W.scriptEntry = nullptr;
}

__declspec(dllexport) void scriptWait(DWORD ms)
{
    if (!W.onScript) {
        Line l{};
        l << "scriptWait outside the script";
        Error(l);
        return;
    }
    W.wakeAt = W.now + ms;
    W.wokeFrame = W.frame;
    SwitchToFiber(W.mainFiber);
}

__declspec(dllexport) void keyboardHandlerRegister(void (*handler)(DWORD, WORD, BYTE, BOOL, BOOL, BOOL, BOOL))
{
    ++W.keyRegistrations;
    W.keyHandler = handler;
}

// The handler may be running on the key thread: once this returns it is never called again.
__declspec(dllexport) void keyboardHandlerUnregister(void (*handler)(DWORD, WORD, BYTE, BOOL, BOOL, BOOL, BOOL))
{
    ++W.keyUnregistrations;
    if (handler != W.keyHandler) {
        Line l{};
        l << "keyboardHandlerUnregister with a handler that is not registered";
        Error(l);
    }
    W.keyHandler = nullptr;
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
    while (__atomic_load_n(&W.inHandler, __ATOMIC_SEQ_CST) != 0)
        Sleep(0);
}

__declspec(dllexport) void nativeInit(UINT64 hash)
{
    if (W.callOpen) {
        Line l{};
        l << "nativeInit while another call is open";
        Error(l);
    }
    if (W.scriptEntry == nullptr)
        ++W.callsAfterUnregister;
    W.callOpen = true;
    W.hash = hash;
    W.argc = 0;
    for (u64& slot : W.slots)
        slot = Noise();  // the last call's answer is gone; whatever is read late is garbage
}

__declspec(dllexport) void nativePush64(UINT64 value)
{
    if (!W.callOpen || W.argc == 32) {
        Line l{};
        l << "nativePush64 without nativeInit, or too many arguments";
        Error(l);
        return;
    }
    W.args[W.argc++] = value;
}

__declspec(dllexport) UINT64* nativeCall()
{
    if (!W.callOpen) {
        Line l{};
        l << "nativeCall without nativeInit";
        Error(l);
        return W.slots;
    }
    W.callOpen = false;
    ++W.calls;
    Native();
    return W.slots;
}

__declspec(dllexport) int worldGetAllPeds(int* handles, int capacity)
{
    if (handles == nullptr || capacity != 500) {
        Line l{};
        l << "worldGetAllPeds wants the 500-slot array";
        Error(l);
        return 0;
    }
    const int peds[4] = {Player, 0x301, PedInTheWay, 0x303};
    for (int i = 0; i < 4; ++i)
        handles[i] = peds[i];
    return 4;
}

// ---- what the runner drives -----------------------------------------------------------------

// Query numbers for QvHookQuery.
enum Query : int {
    QueryPhase = 0,
    QueryRegistrations = 1,
    QueryUnregistrations = 2,
    QueryScriptRegistered = 3,
    QueryKeyHandlerRegistered = 4,
    QueryCallsAfterUnregister = 5,
    QueryCalls = 6,
    QueryErrors = 7,
    QueryKeyEvents = 8,
};

// Runs up to n frames, stopping early once the world reaches phase `until` (or never, with -1).
// Returns the phase.
extern "C" __declspec(dllexport) int QvHookFrames(int n, int until)
{
    EnsureMainFiber();
    for (int i = 0; i < n && (until < 0 || W.phase < until); ++i) {
        const DWORD start = GetTickCount();
        while (__atomic_load_n(&W.keys.holdFrames, __ATOMIC_SEQ_CST) != 0 && GetTickCount() - start < 5000)
            Sleep(0);
        RunFrame();
    }
    return W.phase;
}

extern "C" __declspec(dllexport) long long QvHookQuery(int what)
{
    switch (what) {
    case QueryPhase: return W.phase;
    case QueryRegistrations: return W.registrations;
    case QueryUnregistrations: return W.unregistrations;
    case QueryScriptRegistered: return W.scriptEntry != nullptr ? 1 : 0;
    case QueryKeyHandlerRegistered: return W.keyHandler != nullptr ? 1 : 0;
    case QueryCallsAfterUnregister: return W.callsAfterUnregister;
    case QueryCalls: return static_cast<long long>(W.calls);
    case QueryErrors: return W.errorCount;
    case QueryKeyEvents: return W.keyEvents;
    default: return -1;
    }
}

extern "C" __declspec(dllexport) void QvHookStopKeys() { StopKeyThread(); }

// Prints the checks of the scripted trip (as far as it got) and every protocol error; returns
// the failure count.
extern "C" __declspec(dllexport) int QvHookReport(int wholeTrip)
{
    int failures = 0;
    if (wholeTrip != 0) {
        Check(failures, W.promptLabelled, "the prompt is offered at Benedict Point, labelled \"Quorvane\"");
        Check(failures, W.menuLooksRight,
              "menu two: 8 sprites, \"Destination:\", \"Armadillo - 3.85$\", grey \"Benedict Point\", "
              "\"MacFarlanes Ranch - 6.50$\", \"Close\"");
        Check(failures, W.keyEvents > 0 && W.charged == 650,
              "Down, Down and Enter from the key thread buy MacFarlanes Ranch: 650 cents charged");
        Check(failures, W.creations == 2 && W.configurations[0] == ConfigurationAt0 &&
                            W.configurations[1] == ConfigurationAt21,
              "the train is created on the second attempt, configurations 0x3D72571D then 0xFAB2FFB9");
        Check(failures, W.spawnRight,
              "coin flips answered with garbage above bit 0 are tails: spawn point 0, direction 0");
        Check(failures, W.assetRequests == 27 && W.assetReleases == 27 && W.assetOrderErrors == 0 && W.transitions == 0,
              "the 27 assets are requested and released in order, and the transition ends");
        Check(failures, W.pedCleared == 1, "the character in the way is cleared away");
        bool halts = W.haltCount == 3;
        for (int i = 0; i < W.haltCount && halts; ++i)
            halts = W.halts[i].station == i && W.halts[i].to - W.halts[i].from >= 10000 &&
                    W.halts[i].to - W.halts[i].from <= 13200;
        Check(failures, halts, "halts of 10 to 13 s at Benedict Point, Armadillo and MacFarlanes Ranch");
        Check(failures, W.lastStopSetting == 1 && W.announcements == 6,
              "\"STOPPED\" and \"NEXT_STATION\" at each halt; the last stop's setting is 1");
        bool junctions = true;
        for (const Spot& s : W.spots)
            junctions = junctions && s.seen == (1 << s.expected);
        Check(failures, junctions,
              "every junction is set as planned, negative junction tracks passed back widened");
        Check(failures, W.negativeSpeeds == 0, "no negative speed is given to the train");
        Check(failures, W.trainGivenUp && W.switchState == 1 && W.switchOnes == 1,
              "the train is given up once the player has left it, and the switch is back on");
    }
    for (int i = 0; i < W.errorCount && i < 12; ++i) {
        Print("  host error: ");
        Print(W.errors[i]);
        Print("\n");
    }
    Check(failures, W.errorCount == 0,
          "no protocol error: no high bits in narrow arguments, no unknown native, counts right");
    return failures;
}

extern "C" BOOL WINAPI _DllMainCRTStartup(HINSTANCE, DWORD reason, void*)
{
    if (reason == 1)
        Reset();
    return 1;
}
