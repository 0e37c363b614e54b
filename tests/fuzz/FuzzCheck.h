// Properties a fuzz target checks on every input. A broken property aborts, which both
// libFuzzer and the stand-alone driver report as a finding with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

// Defined by the stand-alone driver (it saves the input); absent under libFuzzer.
void FuzzDriverOnFailure() __attribute__((weak));

[[noreturn]] inline void FuzzFail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    if (FuzzDriverOnFailure) FuzzDriverOnFailure();
    std::abort();
}

#define FUZZ_CHECK(cond) ((cond) ? static_cast<void>(0) : FuzzFail(#cond, __FILE__, __LINE__))

// The fuzzer's bytes as a text (Shift-JIS bytes, NULs included).
inline std::string FuzzText(const unsigned char* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}
