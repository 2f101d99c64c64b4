// tests/support/expected_routes.h -- tests/data/routes.txt read in: every route of the table as
// written from its source independently of the plug-in's own table.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

constexpr int Flip = 2;

struct ExpectedSetting {
    int track, junction, state;  // state 0, 1 or Flip
};

struct ExpectedRoute {
    int from, to;  // to -1: any destination
    int alternative, alternatives;
    int direction;  // 0, 1 or Flip
    bool hasJunctions;
    std::vector<ExpectedSetting> junctions;
    std::vector<int32_t> stops;
};

inline int ParsePick(const std::string& word) { return word == "flip" ? Flip : std::stoi(word); }

inline std::vector<ExpectedRoute> LoadRoutes()
{
    std::ifstream file(QV_TEST_DATA "/routes.txt");
    std::vector<ExpectedRoute> routes;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        ExpectedRoute r{};
        std::istringstream in(line);
        std::string to, alt, direction, bar;
        in >> r.from >> to >> alt >> direction >> bar;
        r.to = to == "any" ? -1 : std::stoi(to);
        r.alternative = std::stoi(alt.substr(0, alt.find('/')));
        r.alternatives = std::stoi(alt.substr(alt.find('/') + 1));
        r.direction = ParsePick(direction);
        std::string word;
        while (in >> word && word != "|") {
            if (word == "none")
                continue;
            r.hasJunctions = true;
            std::string inner = word.substr(1, word.size() - 2);
            std::istringstream parts(inner);
            std::string a, b, c;
            std::getline(parts, a, ',');
            std::getline(parts, b, ',');
            std::getline(parts, c, ',');
            r.junctions.push_back({std::stoi(a), std::stoi(b), ParsePick(c)});
        }
        int stop;
        while (in >> stop)
            r.stops.push_back(stop);
        routes.push_back(r);
    }
    return routes;
}

inline const std::vector<ExpectedRoute>& Routes()
{
    static const std::vector<ExpectedRoute> routes = LoadRoutes();
    return routes;
}
