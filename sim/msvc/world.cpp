// sim/msvc/world.cpp -- the world the Microsoft-ABI stand-in hook plays: one scripted trip,
// Benedict Point to MacFarlanes Ranch, and an answer to each native. Its stations, spawn points,
// configurations and assets are generated from tests/data, its natives from the hosts' table.
// It is hostile wherever the interface leaves room:
//   - every whole-number, yes/no and float result carries garbage in bits 32 to 63, the coin flip
//     in bits 1 to 63, and every result slot is scribbled before each call (hook.cpp);
//   - handles are negative where a sign-widened handle would show, and the game clock wraps
//     from 2^31 - 1 to -2^31 during the ride.
// Every argument is checked against its kind in the table before the native's handler runs.
#include "host_natives.h"
#include "msvc_world_data.h"
#include "sim/msvc/world.h"

namespace {

// Benedict Point, Armadillo and MacFarlanes Ranch: the line of the trip.
constexpr int TripStations = 3;
V3 At(const WorldPoint& p) { return V3{p.x, p.y, p.z}; }
V3 StationAt(int station) { return At(WorldStations[station].position); }

// The configurations the trip draws: position 0 (the train that never appears), then 21.
constexpr int FirstDraw = 0, SecondDraw = 21;

constexpr i32 FirstTrain = static_cast<i32>(0x80000101u);  // negative: sign widening shows
constexpr i32 StartingCash = 2000;

float Sqrt(float v) { return __builtin_sqrtf(v); }
float FloatOf(u32 bits) { return __builtin_bit_cast(float, bits); }
u32 BitsOf(float f) { return __builtin_bit_cast(u32, f); }

// Garbage for bits 32 to 63, never all zero.
u64 HighGarbage() { return (Noise() | (u64{1} << 40)) & 0xFFFFFFFF00000000ull; }

// ---- the train's line ------------------------------------------------------------------------

V3 Along(const V3& a, const V3& b, float f)
{
    return V3{a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f};
}

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

V3 SpotPosition(const Spot& s) { return Along(StationAt(s.leg), StationAt(s.leg + 1), s.along); }

const Spot* SpotAtTrain()
{
    if (!W.trainExists || W.trainGivenUp)
        return nullptr;
    const V3 at = TrainPosition();
    for (const Spot& s : W.spots) {
        if (Dist(SpotPosition(s), at) < 120.0f)
            return &s;
    }
    return nullptr;
}

void Halted()
{
    const V3 at = TrainPosition();
    int station = -1;
    for (int i = 0; i < TripStations; ++i) {
        if (Dist(at, StationAt(i)) < 200.0f)
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
        const V3 end = StationAt(2);
        W.player = V3{end.x + 60.0f, end.y + 400.0f, end.z};
        Go(GotOff);
    }
}

// ---- names and texts ---------------------------------------------------------------------------

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

// ---- one native call ---------------------------------------------------------------------------

// The call in W.call, its arguments already checked against their kinds in the table: the
// accessors only read them.
class Call {
public:
    explicit Call(const char* name) : name_(name) {}
    u64 Raw(int i) const { return i < W.call.argc ? W.call.args[i] : 0; }
    i32 Int(int i) const { return static_cast<i32>(static_cast<u32>(Raw(i))); }
    float Float(int i) const { return FloatOf(static_cast<u32>(Raw(i))); }
    const char* Text(int i) const
    {
        const char* p = reinterpret_cast<const char*>(Raw(i));
        return p != nullptr ? p : "";
    }
    i32* Out(int i) const { return reinterpret_cast<i32*>(Raw(i)); }
    void Expect(bool ok, const char* what) const
    {
        if (!ok) {
            Line l{};
            l << name_ << ": " << what;
            Error(l);
        }
    }
    // Results: garbage in everything the plug-in must not read.
    static void Int32(i32 v) { W.call.result[0] = HighGarbage() | static_cast<u32>(v); }
    static void Bool(bool v) { Int32(v ? 1 : 0); }
    static void Float32(float v) { W.call.result[0] = HighGarbage() | BitsOf(v); }
    static void Vector(const V3& v)
    {
        W.call.result[0] = HighGarbage() | BitsOf(v.x);
        W.call.result[1] = HighGarbage() | BitsOf(v.y);
        W.call.result[2] = HighGarbage() | BitsOf(v.z);
    }

private:
    const char* name_;
};

// The arguments against the native's form in the table: the count, no high bits in a narrow
// argument, a handle widened with its sign, no null text or address.
bool ArgumentsFit(const HostNative& native, int row)
{
    const char* kinds = HostNativeForm(row, W.call.argc);
    if (kinds == nullptr) {
        Line l{};
        l << native.name << " takes " << i64{HostKindsLength(native.forms[0])} << " arguments, got "
          << i64{W.call.argc};
        Error(l);
        return false;
    }
    bool fit = true;
    for (int i = 0; kinds[i] != 0; ++i) {
        const u64 v = W.call.args[i];
        const char* wrong = nullptr;
        switch (kinds[i]) {
        case 'I':
        case 'F': wrong = (v >> 32) != 0 ? "has high bits set: " : nullptr; break;
        case 'W':
            wrong = static_cast<u64>(static_cast<i64>(static_cast<i32>(static_cast<u32>(v)))) != v
                        ? "is not widened with its sign: "
                        : nullptr;
            break;
        case 'T':
        case 'A': wrong = v == 0 ? "is null: " : nullptr; break;
        default: break;
        }
        if (wrong != nullptr) {
            Line l{};
            l << native.name << " argument " << i64{i} << " " << wrong;
            l.Hex(v);
            Error(l);
            fit = false;
        }
    }
    return fit;
}

// ---- the natives, one handler each, in the table's order -----------------------------------------

void PlayerPed(Call&) { Call::Int32(Player); }

void EntityExists(Call& c)
{
    const i32 e = c.Int(0);
    Call::Bool((e == Player && W.playerExists) || (e == W.train && W.trainExists && e != 0) || e == PedInTheWay);
}

void PlayerCanInteract(Call& c)
{
    c.Expect(c.Int(0) == Player, "asked about someone else");
    Call::Bool(W.playerExists);
}

void PlayerIsOccupied(Call& c)
{
    c.Expect(c.Int(0) == Player && c.Int(1) == 1, "takes the player and 1");
    Call::Bool(false);
}

void EntityPosition(Call& c)
{
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
}

void SquaredDistance(Call& c)
{
    const float dx = c.Float(0) - c.Float(3), dy = c.Float(1) - c.Float(4), dz = c.Float(2) - c.Float(5);
    Call::Float32(dx * dx + dy * dy + dz * dz);
}

void GameTime(Call&) { Call::Int32(static_cast<i32>(static_cast<u32>(static_cast<u64>(W.now)))); }

void RandomInt(Call& c)
{
    const i32 low = c.Int(0), limit = c.Int(1);
    i32 v = low;
    if (low == 0 && limit == WorldConfigurationCount)
        v = W.draws++ == 0 ? FirstDraw : SecondDraw;  // the first train never appears
    else if (low == 10000 && limit == 13000)
        v = 11000;
    else if (low == 10 && limit == 40)
        v = 25;
    else
        c.Expect(false, "asked for a range this trip never needs");
    Call::Int32(v);
}

void CoinFlip(Call&) { W.call.result[0] = (Noise() | 2u) & ~u64{1}; }  // tails, bits 1 to 63 not all zero

void HashOfName(Call& c) { Call::Int32(static_cast<i32>(Joaat(c.Text(0)))); }

void ComposeText(Call& c)
{
    if (W.call.argc == 3) {
        c.Expect(c.Int(0) == 10 && Same(c.Text(1), "LITERAL_STRING"), "10, \"LITERAL_STRING\", text");
        W.call.result[0] = Compose(c.Text(2));
        return;
    }
    c.Expect(c.Int(0) == 42 && Same(c.Text(1), "COLOR_STRING") && c.Int(2) == 0, "42, \"COLOR_STRING\", 0, text");
    const char* inner = Composed(c.Raw(3));
    c.Expect(inner != nullptr, "the composed text is not handed back whole");
    W.call.result[0] = Compose(inner != nullptr ? inner : "");
}

void PromptBegin(Call&)
{
    W.prompt = 0x51 + W.prompts++;
    Call::Int32(W.prompt);
}

void PromptSetControl(Call& c)
{
    c.Expect(c.Int(0) == W.prompt, "the prompt just begun");
    c.Expect(static_cast<u32>(c.Int(1)) == Joaat("INPUT_INTERACT_OPTION1"), "the interact control");
}

void PromptSetLabel(Call& c)
{
    c.Expect(c.Int(0) == W.prompt, "the prompt just begun");
    const char* label = Composed(c.Raw(1));
    c.Expect(label != nullptr, "the composed label is not handed back whole");
    W.promptLabelled = label != nullptr && Same(label, "Quorvane");
}

void PromptSettingOf(Call& c, i32 value)
{
    c.Expect(c.Int(0) == W.prompt && c.Int(1) == value, "the prompt and its value");
}
void PromptSettingA(Call& c) { PromptSettingOf(c, 1); }
void PromptSettingB(Call& c) { PromptSettingOf(c, 0); }
void PromptSettingC(Call& c) { PromptSettingOf(c, 1); }
void PromptSettingD(Call& c) { PromptSettingOf(c, 1); }

void PromptFinishSetup(Call& c)
{
    c.Expect(c.Int(0) == W.prompt, "the prompt just begun");
    W.promptUp = true;
    W.promptUpFrame = W.frame;
}

void PromptWasUsed(Call& c)
{
    c.Expect(c.Int(0) == W.prompt, "the prompt on screen");
    Call::Bool(W.promptUsed && W.promptUp);
}

void PromptRemove(Call& c)
{
    c.Expect(c.Int(0) == W.prompt && W.promptUp, "the prompt on screen");
    W.promptUp = false;
    W.promptUsed = false;
}

void DrawSprite(Call& c)
{
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
}

void SetTextScale(Call& c) { c.Expect(c.Float(0) == 0.4f && c.Float(1) == 0.4f, "0.4, 0.4"); }

void SetTextColour(Call& c)
{
    c.Expect(c.Int(0) == 100 && c.Int(1) == 100 && c.Int(2) == 100 && c.Int(3) == 235, "grey");
    W.greyPending = 1;
}

void DisplayText(Call& c)
{
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
}

void ScriptTimer(Call&) { Call::Int32(static_cast<i32>(W.now - W.timerBase)); }

void SetScriptTimer(Call& c) { W.timerBase = W.now - c.Int(0); }

void ControlRead(Call& c)
{
    c.Expect(c.Int(0) == 0, "pad 0");
    const u32 control = static_cast<u32>(c.Int(1));
    c.Expect(control == Joaat("INPUT_FRONTEND_UP") || control == Joaat("INPUT_FRONTEND_DOWN") ||
                 control == Joaat("INPUT_FRONTEND_ACCEPT") || control == Joaat("INPUT_FRONTEND_CANCEL"),
             "a front-end control");
    Call::Int32(0);
}
void ControlIsHeld(Call& c) { ControlRead(c); }
void ControlJustReleased(Call& c) { ControlRead(c); }

void PlayFrontendSound(Call& c)
{
    c.Expect(Same(c.Text(0), "NAV_RIGHT") && Same(c.Text(1), "HUD_SHOP_SOUNDSET") && c.Int(2) == 1 && c.Int(3) == 0,
             "\"NAV_RIGHT\", \"HUD_SHOP_SOUNDSET\", 1, 0");
}

void UsingKeyboard(Call& c)
{
    c.Expect(c.Int(0) == 0, "takes 0");
    Call::Int32(1);
}

void BlockPadControls(Call& c) { c.Expect(false, "blocks the pad while the keyboard is in use"); }

void PlayerCash(Call&) { Call::Int32(W.cash); }

void ChargeCash(Call& c)
{
    W.charged = c.Int(0);
    W.cash -= W.charged;
    Go(Bought);
}

void Transition(Call& c, int step)
{
    c.Expect(c.Int(0) == 1500, "1500 ms");
    W.transitions += step;
}
void TransitionBegin(Call& c) { Transition(c, 1); }
void TransitionEnd(Call& c) { Transition(c, -1); }

// The asset's position in the world's list, or -1 (an error: not a train's asset).
int AssetIndex(Call& c)
{
    const u32 asset = static_cast<u32>(c.Int(0));
    for (int i = 0; i < WorldAssetCount; ++i) {
        if (WorldTrainAssets[i] == asset)
            return i;
    }
    c.Expect(false, "an asset that is not a train's");
    return -1;
}

void AssetIsLoaded(Call& c)
{
    const int index = AssetIndex(c);
    if (index < 0)
        return;
    // Loaded two frames after its request.
    W.assetLoaded[index] =
        W.assetLoaded[index] || (W.assetRequestFrame[index] != 0 && W.frame >= W.assetRequestFrame[index] + 2);
    Call::Bool(W.assetLoaded[index]);
}

void AssetRequest(Call& c)
{
    const int index = AssetIndex(c);
    if (index < 0)
        return;
    c.Expect(c.Int(1) == 1, "asset request with 1");
    W.assetOrderErrors += index == W.assetRequests ? 0 : 1;
    ++W.assetRequests;
    W.assetRequestFrame[index] = W.frame;
}

void AssetRelease(Call& c)
{
    const int index = AssetIndex(c);
    if (index < 0)
        return;
    W.assetOrderErrors += index == W.assetReleases % WorldAssetCount ? 0 : 1;
    ++W.assetReleases;
}

void PedIsInTheWay(Call& c) { Call::Bool(c.Int(0) == PedInTheWay); }

void OnlyThePedInTheWay(Call& c) { c.Expect(c.Int(0) == PedInTheWay, "only the character in the way"); }
void PedPrepare(Call& c) { OnlyThePedInTheWay(c); }
void PedSetPair(Call& c) { OnlyThePedInTheWay(c); }

void PedIsSettled(Call& c)
{
    OnlyThePedInTheWay(c);
    Call::Bool(false);
}

void PedMoveTo(Call& c)
{
    OnlyThePedInTheWay(c);
    c.Expect(c.Float(1) == 2200.0f && c.Float(2) == -6000.0f && c.Int(3) == 0 && c.Int(4) == 0 && c.Int(5) == 1 &&
                 c.Int(6) == 1,
             "moved to 2200, -6000");
}

void PedByAddress(Call& c)
{
    i32* copy = c.Out(0);
    c.Expect(*copy == PedInTheWay, "a copy of the character's handle");
    *copy = 0x7777;  // the game may rewrite it; the plug-in must not care
}

void PedRelease(Call& c)
{
    c.Expect(*c.Out(0) == PedInTheWay, "the slot keeps the handle, not the rewritten copy");
    ++W.pedCleared;
}

void RemoveTrain(Call& c) { c.Expect(false, "no earlier train to remove on the first trip"); }

void TrainSwitch(Call& c)
{
    W.switchState = c.Int(0);
    W.switchOnes += W.switchState == 1 ? 1 : 0;
}

void BeforeTrainCreation(Call&) {}

void CreateTrain(Call& c)
{
    const u32 configuration = static_cast<u32>(c.Int(0));
    const V3 at{c.Float(1), c.Float(2), c.Float(3)};
    const i32 direction = c.Int(4);
    c.Expect(c.Int(5) == 1 && c.Int(6) == 1 && c.Int(7) == 1, "ends with 1, 1, 1");
    if (W.creations < 4)
        W.configurations[W.creations] = configuration;
    // Tails on every flip: direction 0, so spawn point 0.
    const WorldPoint& spawn = WorldStations[0].spawnPoints[0];
    W.spawnRight = at.x == spawn.x && at.y == spawn.y && at.z == spawn.z && direction == 0;
    ++W.creations;
    W.train = FirstTrain + W.creations - 1;
    W.trainExists = W.creations >= 2;
    const V3 end = StationAt(2);
    W.path[0] = at;
    W.path[1] = StationAt(0);
    W.path[2] = StationAt(1);
    W.path[3] = end;
    W.path[4] = V3{end.x + 3000.0f, end.y + 430.0f, end.z};
    W.pathPoints = 5;
    W.distance = 0;
    Call::Int32(W.train);
}

void TrainLastStopSetting(Call& c)
{
    c.Expect(c.Int(0) == W.train, "the train");
    W.lastStopSetting = c.Int(1);
}

// The speed given to the train: every speed native takes the train and a speed, never negative.
float TrainSpeed(Call& c)
{
    c.Expect(c.Int(0) == W.train, "the train");
    const float v = c.Float(1);
    W.negativeSpeeds += v < 0.0f ? 1 : 0;
    return v;
}

void KeepTravelSpeed(float v)
{
    W.travelSpeed = v;
    if (W.standing && v > 0.0f) {
        W.standing = false;
        W.halts[W.haltCount - 1].to = W.now;
    }
}

void TrainInitialSpeed(Call& c) { KeepTravelSpeed(TrainSpeed(c)); }
void TrainTravelSpeed(Call& c) { KeepTravelSpeed(TrainSpeed(c)); }

void TrainImmediateSpeed(Call& c)
{
    const float v = TrainSpeed(c);
    W.immediateSpeed = v;
    W.immediateAt = W.now;
    if (v == 0.0f && !W.standing)
        Halted();
}

void AfterTrainCreation(Call& c) { c.Expect(c.Int(0) == 0 && c.Int(1) == 25 && c.Int(2) == 0, "0, the drawn 25, 0"); }

void GiveUpEntity(Call& c)
{
    i32* handle = c.Out(0);
    c.Expect(*handle == W.train && c.Int(1) == 0, "the address of the train's handle, 0");
    *handle = 0;
    W.trainGivenUp = true;
    Go(GivenUp);
}

// Asked after the last stop; in the tick that gives the train up, with the handle already 0.
// This world never holds its train.
void TrainIsHeld(Call& c)
{
    const i32 train = c.Int(0);
    c.Expect((train == W.train && W.trainExists) || (train == 0 && W.trainGivenUp),
             "the train, or 0 once it is given up");
    Call::Bool(false);
}

void TrainAnnounce(Call& c)
{
    c.Expect(c.Int(0) == W.train, "the train, widened with its sign");
    c.Expect((Same(c.Text(1), "STOPPED") || Same(c.Text(1), "NEXT_STATION")) && c.Int(2) == 0 && c.Int(3) == 0,
             "\"STOPPED\" or \"NEXT_STATION\", 0, 0");
    ++W.announcements;
}

void TrainJunction(Call& c)
{
    const Spot* s = SpotAtTrain();
    *c.Out(1) = s != nullptr ? s->junctionTrack : -1;
    *c.Out(2) = s != nullptr ? s->junctionIndex : -1;
}

void TrainTrack(Call&)
{
    const Spot* s = SpotAtTrain();
    Call::Int32(s != nullptr ? s->trainTrack : 99);
}

void SetJunction(Call& c)
{
    const i32 track = c.Int(0), index = c.Int(1), state = c.Int(2);
    c.Expect(state == 0 || state == 1, "state 0 or 1");
    bool known = false;
    for (Spot& s : W.spots) {
        if (s.junctionTrack == track && s.junctionIndex == index) {
            s.seen |= 1 << (state & 1);
            known = true;
        }
    }
    c.Expect(known, "a junction the host never reported");
}

using Handler = void (*)(Call&);
constexpr Handler Handlers[HostNativeCount] = {
#define QV_MSVC_HANDLER(name, hash, form, other, result) &name,
    QV_HOST_NATIVES(QV_MSVC_HANDLER)
#undef QV_MSVC_HANDLER
};

}  // namespace

void Native()
{
    const int row = HostNativeRowOf(W.call.hash);
    if (row < 0) {
        Line l{};
        l << "unknown native ";
        l.Hex(W.call.hash);
        Error(l);
        return;
    }
    if (!ArgumentsFit(HostNatives[row], row))
        return;
    Call c(HostNatives[row].name);
    Handlers[row](c);
}

// ---- frames ------------------------------------------------------------------------------------

void ResetWorld()
{
    W.cash = StartingCash;
    W.switchState = 1;
    W.highlightRow = -1;
    W.spots[0] = Spot{0, 0.45f, -23, 5, 23, 1, 0};
    W.spots[1] = Spot{0, 0.75f, 24, 6, 24, 0, 0};
    W.spots[2] = Spot{1, 0.30f, 25, 1, 25, 1, 0};
    W.spots[3] = Spot{1, 0.55f, -25, 0, 25, 1, 0};
    W.spots[4] = Spot{1, 0.80f, 24, 1, 24, 0, 0};
}

void AdvanceWorld()
{
    const i64 since = W.now - ClockStart;
    const V3 start = StationAt(0);
    if (W.phase == Loading && since >= 3000) {
        W.playerExists = true;
        W.player = V3{start.x, start.y + 150.0f, start.z};
        Go(Away);
    }
    if (W.phase == Away && since >= 12000) {
        W.player = V3{start.x + 4.0f, start.y, start.z};
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

void AfterScriptFrame()
{
    // Menu two, the first frame it is whole: eight sprites and five lines, Benedict Point grey.
    if (!W.menuChecked && W.frameTexts == 5) {
        W.menuChecked = true;
        W.menuLooksRight = W.frameSprites == 8 && Same(W.rows[0], "Destination:") &&
                           Same(W.rows[1], "Armadillo - 3.85$") && !W.rowGrey[1] && Same(W.rows[2], "Benedict Point") &&
                           W.rowGrey[2] && Same(W.rows[3], "MacFarlanes Ranch - 6.50$") && Same(W.rows[4], "Close") &&
                           !W.rowGrey[4];
    }
}

void Check(int& failures, bool ok, const char* what)
{
    Print(ok ? "  ok    " : "  FAIL  ");
    Print(what);
    Print("\n");
    failures += ok ? 0 : 1;
}

void CheckTrip(int& failures)
{
    Check(failures, W.promptLabelled, "the prompt is offered at Benedict Point, labelled \"Quorvane\"");
    Check(failures, W.menuLooksRight,
          "menu two: 8 sprites, \"Destination:\", \"Armadillo - 3.85$\", grey \"Benedict Point\", "
          "\"MacFarlanes Ranch - 6.50$\", \"Close\"");
    Check(failures, W.keyEvents > 0 && W.charged == 650,
          "Down, Down and Enter from the key thread buy MacFarlanes Ranch: 650 cents charged");
    Check(failures,
          W.creations == 2 && W.configurations[0] == WorldTrainConfigurations[FirstDraw] &&
              W.configurations[1] == WorldTrainConfigurations[SecondDraw],
          "the train is created on the second attempt, with the configurations at positions 0 and 21");
    Check(failures, W.spawnRight, "coin flips answered with garbage above bit 0 are tails: spawn point 0, direction 0");
    Check(failures,
          W.assetRequests == WorldAssetCount && W.assetReleases == WorldAssetCount && W.assetOrderErrors == 0 &&
              W.transitions == 0,
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
    Check(failures, junctions, "every junction is set as planned, negative junction tracks passed back widened");
    Check(failures, W.negativeSpeeds == 0, "no negative speed is given to the train");
    Check(failures, W.trainGivenUp && W.switchState == 1 && W.switchOnes == 1,
          "the train is given up once the player has left it, and the switch is back on");
}
