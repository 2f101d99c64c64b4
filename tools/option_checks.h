// tools/option_checks.h -- what the tools' option values must be beyond their type: a number that
// is finite and whole (CLI11 alone lets "nan" and "inf" through a range, as every comparison with
// NaN is false), a name that is not empty.
#pragma once

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdlib>
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
