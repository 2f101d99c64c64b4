// tests/trip_map_test.cpp -- the trip map quorvane-sim draws, read back from its SVG: no label
// covers another label or a mark, the legend names every kind of mark, the junctions switched are
// on the map, and the title carries the trip's time and fare. The trips are each line's longest
// (most stops, from tests/data/routes.txt) and the README's example ride.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "expected_routes.h"
#include "sim/picture.h"
#include "sim/static_plugin.h"
#include "sim/visit.h"

namespace {

struct Box {
    double x0, y0, x1, y1;
    std::string what;
};

bool Overlap(const Box& a, const Box& b) { return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1; }

double Attribute(const std::string& element, const std::string& name)
{
    std::smatch m;
    const std::regex pattern("\\b" + name + "='(-?[0-9.e+-]+)'");
    if (!std::regex_search(element, m, pattern))
        ADD_FAILURE() << "no " << name << " in " << element;
    return m.empty() ? 0 : std::stod(m[1]);
}

// What a reader of the picture sees, taken from the SVG alone. Text is measured with the usual
// rule of thumb: a character is 0.6 of the font size wide, a line reaches 0.8 of it above the
// baseline and 0.25 below.
struct MapReading {
    std::string title;
    std::string legend;
    std::vector<Box> labels;
    std::vector<Box> marks;  // stations, halts, junctions
    int halts = 0, junctions = 0;
};

MapReading Read(const std::string& svg)
{
    MapReading map;
    const size_t legendAt = svg.find("<g class='legend'>");
    const size_t legendEnd = svg.find("</g>", legendAt);
    if (legendAt == std::string::npos || legendEnd == std::string::npos) {
        ADD_FAILURE() << "the map has no legend";
        return map;
    }
    map.legend = svg.substr(legendAt, legendEnd - legendAt);
    const std::string body = svg.substr(0, legendAt) + svg.substr(legendEnd);

    std::smatch m;
    if (std::regex_search(body, m, std::regex("<text class='title'[^>]*>([^<]*)</text>")))
        map.title = m[1];
    const std::regex text("<text class='label'([^>]*)>([^<]*)</text>");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), text); it != std::sregex_iterator(); ++it) {
        const std::string attributes = (*it)[1], content = (*it)[2];
        const double x = Attribute(attributes, "x"), y = Attribute(attributes, "y");
        const double size = Attribute(attributes, "font-size");
        map.labels.push_back(
            Box{x, y - 0.8 * size, x + 0.6 * size * static_cast<double>(content.size()), y + 0.25 * size, content});
    }
    const std::regex circle("<circle class='(station|origin|destination)'([^>]*)/>");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), circle); it != std::sregex_iterator(); ++it) {
        const std::string a = (*it)[2];
        const double cx = Attribute(a, "cx"), cy = Attribute(a, "cy"), r = Attribute(a, "r");
        map.marks.push_back(Box{cx - r, cy - r, cx + r, cy + r, std::string((*it)[1]) + " mark"});
    }
    const std::regex halt("<rect class='halt'([^>]*)/>");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), halt); it != std::sregex_iterator(); ++it) {
        const std::string a = (*it)[1];
        const double x = Attribute(a, "x"), y = Attribute(a, "y");
        map.marks.push_back(Box{x, y, x + Attribute(a, "width"), y + Attribute(a, "height"), "halt mark"});
        ++map.halts;
    }
    const std::regex diamond("<path class='junction' d='M (\\S+) (\\S+) L (\\S+) ");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), diamond); it != std::sregex_iterator(); ++it) {
        // From the top corner to the right one: the centre is below the top by the half size.
        const double topX = std::stod((*it)[1]), topY = std::stod((*it)[2]), half = std::stod((*it)[3]) - topX;
        map.marks.push_back(Box{topX - half, topY, topX + half, topY + 2 * half, "junction mark"});
        ++map.junctions;
    }
    return map;
}

std::string TripTime(int64_t ms)
{
    const int64_t s = (ms + 500) / 1000;
    return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
}

struct Trip {
    ExpectedRoute route;
    int to;
};

void PrintTo(const Trip& trip, std::ostream* os)
{
    *os << "station " << trip.route.from << " to " << trip.to << ", route " << trip.route.alternative;
}

// Each line's routes with the most stops; a route to any destination goes to its last stop.
std::vector<Trip> LongestTrips()
{
    std::vector<Trip> trips;
    for (bool lineTwo : {false, true}) {
        size_t most = 0;
        for (const ExpectedRoute& r : Routes()) {
            if ((r.from <= 2) == lineTwo)
                most = std::max(most, r.stops.size());
        }
        for (const ExpectedRoute& r : Routes()) {
            if ((r.from <= 2) == lineTwo && r.stops.size() == most)
                trips.push_back(Trip{r, r.to >= 0 ? r.to : r.stops.back()});
        }
    }
    return trips;
}

std::vector<Trip> MapTrips()
{
    std::vector<Trip> trips = LongestTrips();
    for (const ExpectedRoute& r : Routes()) {
        if (r.from == 3 && r.to == 10)
            trips.push_back(Trip{r, 10});
    }
    return trips;
}

std::string Name(const testing::TestParamInfo<Trip>& info)
{
    return "From" + std::to_string(info.param.route.from) + "To" + std::to_string(info.param.to) + "Route" +
           std::to_string(info.param.route.alternative);
}

}  // namespace

class TripMap : public testing::TestWithParam<Trip> {};

TEST_P(TripMap, LabelsCoverNothingAndTheLegendTitleAndJunctionsAreThere)
{
    const Trip& trip = GetParam();
    Sim sim;
    if (trip.route.alternatives > 1)
        sim.ForceRandom(trip.route.alternative);
    StaticPlugin plugin;
    VisitPlan plan;
    plan.from = trip.route.from;
    plan.to = trip.to;
    plan.cash = 100000;
    const VisitOutcome outcome = RunVisit(sim, plugin, plan);
    ASSERT_TRUE(outcome.arrived);
    for (const std::string& e : sim.Errors())
        ADD_FAILURE() << "host error: " << e;
    std::vector<int32_t> halted;
    for (const TrainHalt& h : sim.Halts())
        halted.push_back(h.nearestStation);
    std::vector<int32_t> planned{trip.route.from};
    planned.insert(planned.end(), trip.route.stops.begin(), trip.route.stops.end());
    ASSERT_EQ(halted, planned) << "the ride is the route the test meant";

    const MapReading map = Read(TripMapSvg(sim, trip.route.from, trip.to, outcome.farePaid));

    // Every station is named, and every halt has its label.
    EXPECT_EQ(map.labels.size(), 13 + sim.Halts().size());
    EXPECT_EQ(map.halts, static_cast<int>(sim.Halts().size()));
    for (size_t i = 0; i < map.labels.size(); ++i) {
        for (size_t j = i + 1; j < map.labels.size(); ++j)
            EXPECT_FALSE(Overlap(map.labels[i], map.labels[j]))
                << "\"" << map.labels[i].what << "\" and \"" << map.labels[j].what << "\" overlap";
        for (const Box& mark : map.marks)
            EXPECT_FALSE(Overlap(map.labels[i], mark)) << "\"" << map.labels[i].what << "\" covers a " << mark.what;
        EXPECT_GE(map.labels[i].x0, 0);
        EXPECT_LE(map.labels[i].x1, 1600);
    }

    // One mark for every junction switched, wherever it was switched from.
    std::set<std::pair<int32_t, int32_t>> switched;
    for (const JunctionSwitch& j : sim.JunctionSwitches())
        switched.insert({j.track, j.index});
    EXPECT_EQ(map.junctions, static_cast<int>(switched.size()));
    if (trip.route.hasJunctions) {
        EXPECT_GT(map.junctions, 0);
    }

    for (const char* entry :
         {"origin", "destination", "other station", "the train's path", "halt", "junction switched"})
        EXPECT_NE(map.legend.find(std::string(">") + entry), std::string::npos) << "the legend lacks " << entry;

    const int64_t arrival = sim.Halts().back().stoppedAt;
    EXPECT_NE(map.title.find(TripTime(arrival - sim.Halts().front().stoppedAt)), std::string::npos) << map.title;
    char fare[32];
    std::snprintf(fare, sizeof fare, "fare %d.%02d$", outcome.farePaid / 100,
                  outcome.farePaid % 100);  // as the menu writes it
    EXPECT_GT(outcome.farePaid, 0);
    EXPECT_NE(map.title.find(fare), std::string::npos) << map.title;
    EXPECT_EQ(map.title.find(SimStationName(trip.route.from)), 0u) << map.title;
}

INSTANTIATE_TEST_SUITE_P(LongestTripsAndTheExample, TripMap, testing::ValuesIn(MapTrips()), Name);
