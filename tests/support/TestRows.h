// Small helpers of table-driven tests: a row's name for gtest, and the text of an error.
#pragma once

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
