// journey/junctions.cpp -- steers the train through the junctions of its route. No memory of
// what was applied: every call decides afresh from what the host reports for the train now, so
// a junction is set again on every call while the readings match.
#include "host/native_call.h"
#include "host/natives.h"
#include "journey/route.h"
#include "plugin/journey_state.h"

void ApplyJunctionSettings()
{
    if (RouteJunctions.empty())
        return;
    Invoke<void>(NativeTrainJunction, Journey.Train, &Journey.ReportedJunctionTrack, &Journey.ReportedJunctionIndex);
    Journey.ReportedTrainTrack = Invoke<int32_t>(NativeTrainTrack, SignWidened{Journey.Train});
    // Every matching entry, in order; the switch names the junction the host reported.
    for (const JunctionSetting& setting : RouteJunctions) {
        if (setting.JunctionIndex == Journey.ReportedJunctionIndex &&
            setting.TrackIndex == Journey.ReportedTrainTrack) {
            Invoke<void>(NativeSetJunction, SignWidened{Journey.ReportedJunctionTrack}, Journey.ReportedJunctionIndex,
                         setting.SwitchState);
        }
    }
}
