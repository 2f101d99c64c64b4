// tools/option_checks.h -- what the tools' option values must be beyond their type: a number that
// is finite and whole (CLI11 alone lets "nan" and "inf" through a range, as every comparison with
// NaN is false), a name that is not empty.
#pragma once

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

inline const CLI::Validator FiniteNumber(
    [](std::string& text) -> std::string {
        if (text.empty())
            return "an empty value is not a number";
        char* end = nullptr;
        errno = 0;
        const double value = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0')
            return "'" + text + "' is not a number";
        if (!std::isfinite(value) || errno == ERANGE)
            return "'" + text + "' is not a finite number";
        return "";
    },
    "NUMBER");

inline const CLI::Validator
    NotEmpty([](std::string& text) -> std::string { return text.empty() ? "an empty value names nothing" : ""; }, "");

// A tool's main: what the options library or the standard library may still throw past the checks
// (an allocation, a file system error) ends the run with one line and exit 1, never with an abort.
inline int RunTool(const char* tool, int (*run)(int, char**), int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: stopped: %s\n", tool, e.what());
        return 1;
    }
}
