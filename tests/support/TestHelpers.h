// Small helpers of the tests: a row's name for gtest, the text of an error, and a stopwatch.
#pragma once

#include <chrono>
#include <string>

// Names a parameterised test after its row.
inline constexpr auto kRowName = [](const auto& info) { return std::string(info.param.name); };

// Runs f and returns the message of the E it raised ("" when none); other errors go on.
template <typename E, typename F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message;
    }
    return "";
}

// Milliseconds since start on the steady clock.
inline double MillisSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}
