// journey/route.h -- the trip's route state and the journey routines the main loop calls.
// The sequences are fixed-capacity: a plan never has more than six entries of either kind.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A sequence with a fixed capacity that never touches the heap. resize() drops surplus entries
// and zero-fills new ones, which is what the planner's in-place rewrite needs.
template <typename T, size_t Capacity>
class BoundedSequence {
public:
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    static constexpr size_t capacity() { return Capacity; }
    void resize(size_t n)
    {
        if (n > Capacity)
            n = Capacity;
        for (size_t i = count_; i < n; ++i)
            items_[i] = T{};
        count_ = n;
    }
    void clear() { count_ = 0; }
    T& operator[](size_t i) { return items_[i]; }
    const T& operator[](size_t i) const { return items_[i]; }
    const T* begin() const { return items_.data(); }
    const T* end() const { return items_.data() + count_; }

private:
    std::array<T, Capacity> items_{};
    size_t count_ = 0;
};

struct JunctionSetting {
    int32_t TrackIndex;     // the track the train must be on for the setting to apply
    int32_t JunctionIndex;  // the junction it is for
    bool SwitchState;
};

constexpr size_t MaxRouteEntries = 6;
extern BoundedSequence<JunctionSetting, MaxRouteEntries> RouteJunctions;
extern BoundedSequence<int32_t, MaxRouteEntries> RouteStops;

// Empties both sequences, as they are when the library has just been loaded.
void ClearRoute();

void PlanRoute();
void DispatchTrain();
void StationStop(bool boarding);
void DepartureRamp();
void ApplyJunctionSettings();
