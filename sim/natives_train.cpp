// sim/natives_train.cpp -- the simulated railway: asset loading, characters, train creation and
// motion, halts, the hold, junction readings and switching.
//
// How a train moves, once per frame:
//   - an immediate speed (TrainImmediateSpeed) sets the current speed and holds it for 250 ms;
//   - otherwise the current speed moves toward the travel speed (TrainTravelSpeed) by at most
//     2 units/s per second, as an engine would;
//   - the train advances along its path by speed x frame time, and stops at the path's end.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "sim/native_call_sim.h"
#include "sim/observer.h"
#include "sim/sim.h"
#include "sim/world_data.h"

const char* SimStationName(int32_t station)
{
    static const char* const names[] = {
        "Benedict Point",  "Armadillo", "MacFarlanes Ranch", "Riggs Station", "Flatneck Station",
        "Wallace Station", "Valentine", "Emerald Station",   "Annesburg",     "Van Horn",
        "Saint Denis",     "Rhodes",    "Bacchus Station",
    };
    return station >= 0 && station < 13 ? names[station] : "?";
}

namespace {
constexpr int64_t ImmediateHoldMs = 250;
constexpr float EngineAcceleration = 2.0f;  // units/s per second
constexpr int64_t TrailSampleMs = 1000;

float Length(Vec3 a, Vec3 b)
{
    const float dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

template <size_t N>
bool Listed(const uint32_t (&list)[N], uint32_t value)
{
    return std::find(list, list + N, value) != list + N;
}

// The game answers for its own assets only; asking about any other is the plug-in's fault.
bool KnownAsset(NativeCall& c, uint32_t asset)
{
    if (Listed(SimTrainAssets, asset))
        return true;
    c.Fail("an asset the game does not have");
    return false;
}
}  // namespace

// ---- world --------------------------------------------------------------------------------

SimTrain* Sim::FindTrain(int32_t handle)
{
    for (SimTrain& t : trains_) {
        if (t.handle == handle)
            return &t;
    }
    return nullptr;
}

SimPed* Sim::FindPed(int32_t handle)
{
    for (SimPed& p : peds_) {
        if (p.handle == handle)
            return &p;
    }
    return nullptr;
}

SimTrain* Sim::LatestTrain()
{
    for (auto it = trains_.rbegin(); it != trains_.rend(); ++it) {
        if (it->exists)
            return &*it;
    }
    return nullptr;
}

void Sim::VanishTrain()
{
    if (SimTrain* t = LatestTrain()) {
        t->exists = false;
        Note("the train vanishes");
    }
}

void Sim::HoldTrain(int64_t ms)
{
    if (SimTrain* t = LatestTrain())
        t->heldUntil = now_ + ms;
}

void Sim::ForgetHistory()
{
    halts_.clear();
    trail_.clear();
    junctionSwitches_.clear();
    events_.clear();
    observer_->ForgetHistory();
    observedTold_ = 0;
    log_.clear();
    trains_.erase(std::remove_if(trains_.begin(), trains_.end(), [](const SimTrain& t) { return !t.exists; }),
                  trains_.end());
}

size_t Sim::TrainsInWorld() const
{
    return static_cast<size_t>(
        std::count_if(trains_.begin(), trains_.end(), [](const SimTrain& t) { return t.exists; }));
}

size_t Sim::TrainsOwned() const
{
    return static_cast<size_t>(
        std::count_if(trains_.begin(), trains_.end(), [](const SimTrain& t) { return t.exists && !t.givenUp; }));
}

size_t Sim::AssetsHeld() const
{
    size_t n = 0;
    for (const auto& a : assets_)
        n += (a.second.requested || a.second.loaded) ? 1 : 0;
    return n;
}

int32_t Sim::NearestStation(Vec3 p)
{
    int32_t best = -1;
    float bestDistance = 1e30f;
    for (size_t i = 0; i < SimStationCount; ++i) {
        const float d = Length(p, SimStations[i].position);
        if (d < bestDistance) {
            bestDistance = d;
            best = static_cast<int32_t>(i);
        }
    }
    return best;
}

Vec3 Sim::TrainPosition(const SimTrain& train) const
{
    if (train.path.empty())
        return Vec3{};
    double left = train.distance;
    for (size_t i = 1; i < train.path.size(); ++i) {
        const float segment = Length(train.path[i - 1], train.path[i]);
        if (left <= segment && segment > 0) {
            const float f = static_cast<float>(left / segment);
            const Vec3& a = train.path[i - 1];
            const Vec3& b = train.path[i];
            return Vec3{a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f};
        }
        left -= segment;
    }
    return train.path.back();
}

void Sim::AdvanceTrains()
{
    const float dt = static_cast<float>(config_.frameMs) / 1000.0f;
    for (SimTrain& t : trains_) {
        if (!t.exists)
            continue;
        if (now_ >= t.immediateUntil) {
            const float step = EngineAcceleration * dt;
            t.speed = std::abs(t.travelSpeed - t.speed) <= step ? t.travelSpeed
                                                                : t.speed + (t.travelSpeed > t.speed ? step : -step);
        }
        double length = 0;
        for (size_t i = 1; i < t.path.size(); ++i)
            length += Length(t.path[i - 1], t.path[i]);
        t.distance = std::clamp(t.distance + static_cast<double>(t.speed * dt), 0.0, length);
    }
    SimTrain* latest = LatestTrain();
    if (latest != nullptr && riding_)
        playerPos_ = TrainPosition(*latest);
    if (latest != nullptr && now_ >= nextTrailSample_) {
        trail_.push_back(TrainPosition(*latest));
        nextTrailSample_ = now_ + TrailSampleMs;
    }
}

// ---- dispatch -----------------------------------------------------------------------------

void Sim::TransitionBegin(NativeCall& c)
{
    if (c.Int(0) != 1500)
        c.Fail("expects 1500 ms");
    if (transition_)
        c.Fail("a transition is already running");
    transition_ = true;
}

void Sim::TransitionEnd(NativeCall& c)
{
    if (c.Int(0) != 1500)
        c.Fail("expects 1500 ms");
    if (!transition_)
        c.Fail("no transition is running");
    transition_ = false;
}

void Sim::AssetIsLoaded(NativeCall& c)
{
    const uint32_t asset = c.Hash(0);
    if (!KnownAsset(c, asset)) {
        c.ReturnBool(false);
        return;
    }
    AssetState& a = assets_[asset];
    if (assetsPreloaded_)
        a.loaded = true;
    if (a.requested && !a.loaded && assetLoadFrames_ >= 0 &&
        frame_ >= a.requestFrame + static_cast<uint64_t>(assetLoadFrames_))
        a.loaded = true;
    c.ReturnBool(a.loaded);
}

void Sim::AssetRequest(NativeCall& c)
{
    const uint32_t asset = c.Hash(0);
    if (!KnownAsset(c, asset))
        return;
    AssetState& a = assets_[asset];
    if (c.Int(1) != 1)
        c.Fail("second argument must be 1");
    if (!a.requested) {
        a.requested = true;
        a.requestFrame = frame_;
    }
}

void Sim::AssetRelease(NativeCall& c)
{
    const uint32_t asset = c.Hash(0);
    if (KnownAsset(c, asset))
        assets_[asset] = AssetState{};
}

void Sim::PedIsInTheWay(NativeCall& c)
{
    const SimPed* ped = FindPed(c.Int(0));
    c.ReturnBool(ped != nullptr && ped->exists && ped->inTheWay);
}

void Sim::RemoveTrain(NativeCall& c)
{
    int32_t* handle = c.Address(0);
    if (handle == nullptr)
        return;
    if (SimTrain* t = FindTrain(*handle); t != nullptr && t->exists) {
        t->exists = false;
        t->removed = true;
        Note("the previous trip's train is removed");
    }
    *handle = 0;
}

void Sim::TrainSwitch(NativeCall& c)
{
    const int32_t v = c.Int(0);
    if (v != 0 && v != 1)
        c.Fail("takes 0 or 1");
    trainSwitch_ = v;
}

void Sim::BeforeTrainCreation(NativeCall&) {}

void Sim::CreateTrain(NativeCall& c)
{
    const uint32_t configuration = c.Hash(0);
    const Vec3 spawn{c.Float(1), c.Float(2), c.Float(3)};
    const int32_t direction = c.Int(4);
    if ((direction != 0 && direction != 1) || c.Int(5) != 1 || c.Int(6) != 1 || c.Int(7) != 1)
        c.Fail("direction must be 0 or 1 and the last three arguments 1");
    if (!Listed(SimTrainConfigurations, configuration))
        c.Fail("a train configuration the game does not have");
    bool onTrack = false;
    for (const SimStation& station : SimStations) {
        for (const Vec3& p : station.spawnPoints)
            onTrack = onTrack || (p.x == spawn.x && p.y == spawn.y && p.z == spawn.z);
    }
    if (!onTrack)
        c.Fail("a train created away from every station's spawn points");
    ++creationAttempts_;
    SimTrain t;
    t.handle = static_cast<int32_t>(static_cast<uint32_t>(trainHandleBase_) + trainsCreated_++);
    t.configuration = configuration;
    t.direction = direction != 0;
    t.exists = trainExistsFromAttempt_ > 0 && creationAttempts_ >= trainExistsFromAttempt_;
    t.path =
        trainPath_ ? trainPath_(spawn, t.direction) : std::vector<Vec3>{spawn, Vec3{spawn.x + 3000, spawn.y, spawn.z}};
    if (t.path.empty())
        t.path.push_back(spawn);
    trains_.push_back(t);
    c.ReturnInt(t.handle);
}

void Sim::TrainLastStopSetting(NativeCall& c)
{
    SimTrain* t = FindTrain(c.Int(0));
    const int32_t v = c.Int(1);
    if (t != nullptr)
        t->lastStopSetting = v;
}

void Sim::TrainInitialSpeed(NativeCall& c)
{
    SimTrain* t = FindTrain(c.Int(0));
    const float v = c.Float(1);
    if (t != nullptr) {
        t->speed = v;
        t->travelSpeed = v;
    }
}

void Sim::AfterTrainCreation(NativeCall& c)
{
    const int32_t v = c.Int(1);
    if (c.Int(0) != 0 || c.Int(2) != 0)
        c.Fail("expects (0, value, 0)");
    if (v < 10 || v > 39)
        c.Complain();  // the value is the game's own random answer, passed on
}

void Sim::PedPrepare(NativeCall& c)
{
    c.Int(0);
    if (c.Int(1) != 1 || c.Int(2) != 1)
        c.Fail("expects (character, 1, 1)");
}

void Sim::PedIsSettled(NativeCall& c)
{
    const SimPed* ped = FindPed(c.Int(0));
    c.ReturnBool(ped != nullptr && ped->settled);
}

void Sim::PedSetPair(NativeCall& c)
{
    c.Int(0);
    c.Int(1);
    c.Int(2);
}

void Sim::PedByAddress(NativeCall& c)
{
    if (int32_t* handle = c.Address(0))
        *handle = 0;  // what is written back is not to be used
}

void Sim::PedMoveTo(NativeCall& c)
{
    SimPed* ped = FindPed(c.Int(0));
    const Vec3 to{c.Float(1), c.Float(2), 0};
    if (c.Int(3) != 0 || c.Int(4) != 0 || c.Int(5) != 1 || c.Int(6) != 1)
        c.Fail("expects (character, x, y, 0, 0, 1, 1)");
    if (ped != nullptr)
        ped->position = to;
}

void Sim::PedRelease(NativeCall& c)
{
    if (int32_t* handle = c.Address(0))
        *handle = 0;
}

// ---- journey ------------------------------------------------------------------------------

void Sim::GiveUpEntity(NativeCall& c)
{
    int32_t* handle = c.Address(0);
    if (c.Int(1) != 0)
        c.Fail("second argument must be 0");
    if (handle == nullptr)
        return;
    if (SimTrain* t = FindTrain(*handle))
        t->givenUp = true;
}

void Sim::TrainIsHeld(NativeCall& c)
{
    const SimTrain* t = FindTrain(c.Int(0));
    c.ReturnBool(t != nullptr && t->exists && now_ < t->heldUntil);
}

void Sim::TrainTravelSpeed(NativeCall& c)
{
    SimTrain* t = FindTrain(c.Int(0));
    const float v = c.Float(1);
    if (v < 0)
        ++negativeSpeeds_;
    if (t != nullptr)
        t->travelSpeed = v;
}

void Sim::TrainImmediateSpeed(NativeCall& c)
{
    SimTrain* t = FindTrain(c.Int(0));
    const float v = c.Float(1);
    if (v < 0)
        ++negativeSpeeds_;
    if (t != nullptr) {
        t->speed = v;
        t->immediateUntil = now_ + ImmediateHoldMs;
    }
}

void Sim::TrainAnnounce(NativeCall& c)
{
    SimTrain* t = FindTrain(c.Widened(0));
    const char* text = c.Text(1);
    if (c.Int(2) != 0 || c.Int(3) != 0)
        c.Fail("expects (train, text, 0, 0)");
    if (t == nullptr || !t->exists)
        return;
    const Vec3 at = TrainPosition(*t);
    if (std::strcmp(text, "STOPPED") == 0) {
        halts_.push_back(TrainHalt{now_, 0, at, NearestStation(at)});
    } else if (std::strcmp(text, "NEXT_STATION") == 0) {
        if (!halts_.empty() && halts_.back().leftAt == 0)
            halts_.back().leftAt = now_;
    } else {
        c.Fail(std::string("unexpected announcement ") + text);
    }
}

void Sim::TrainJunction(NativeCall& c)
{
    SimTrain* t = FindTrain(c.Int(0));
    int32_t* track = c.Address(1);
    int32_t* index = c.Address(2);
    if (t == nullptr || !t->exists || track == nullptr || index == nullptr)
        return;  // nothing is written for a train that is not there
    *track = -1;
    *index = -1;
    const Vec3 at = TrainPosition(*t);
    for (const JunctionSpot& spot : junctionSpots_) {
        if (Length(at, spot.at) <= spot.radius) {
            *track = spot.junctionTrack;
            *index = spot.junctionIndex;
        }
    }
}

void Sim::TrainTrack(NativeCall& c)
{
    SimTrain* t = FindTrain(c.Widened(0));
    int32_t track = -1;
    if (t != nullptr && t->exists) {
        const Vec3 at = TrainPosition(*t);
        for (const JunctionSpot& spot : junctionSpots_) {
            if (Length(at, spot.at) <= spot.radius)
                track = spot.trainTrack;
        }
    }
    c.ReturnInt(track);
}

void Sim::SetJunction(NativeCall& c)
{
    const int32_t track = c.Widened(0);
    const int32_t index = c.Int(1);
    const int32_t state = c.Int(2);
    if (state != 0 && state != 1)
        c.Fail("state must be 0 or 1");
    const SimTrain* train = LatestTrain();
    junctionSwitches_.push_back(JunctionSwitch{now_, track, index, state != 0, train ? TrainPosition(*train) : Vec3{}});
}
