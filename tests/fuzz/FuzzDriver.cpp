// The stand-alone driver of a fuzz target for builds without libFuzzer: it runs every file
// of the given corpus folders (seeds and kept crash inputs), then a fixed number of inputs
// made from them by deterministic mutations, so that the normal test run exercises every
// target in a few seconds and a finding replays the same way on every machine.
//
//   <target>-smoke [--runs N] [--seed S] [--dict FILE] DIR_OR_FILE...
//
// A target reports a broken property by aborting (FuzzCheck); the driver names the input
// that was running, writes it beside the build as "smoke-failure-<target>.bin", and dies.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::string gTargetName = "fuzz";
const std::string* gCurrent = nullptr;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A libFuzzer dictionary: one "token" per line, with \\, \" and \xNN escapes.
std::vector<std::string> ReadDictionary(const std::string& path) {
    std::vector<std::string> tokens;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t open = line.find('"');
        const size_t close = line.rfind('"');
        if (line.empty() || line[0] == '#' || open == std::string::npos || close <= open) continue;
        std::string token;
        for (size_t i = open + 1; i < close; ++i) {
            if (line[i] == '\\' && line[i + 1] == 'x' && i + 3 < close) {
                token += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
                i += 3;
            } else {
                token += line[i] == '\\' && i + 1 < close ? line[++i] : line[i];
            }
        }
        tokens.push_back(token);
    }
    return tokens;
}

// xorshift64*: the same sequence on every machine.
struct Random {
    uint64_t state;
    uint64_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
    size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(Next() % n); }
};

// One to eight random edits of a corpus input: byte flips, inserted and deleted runs,
// dictionary tokens, Shift-JIS lead bytes, and splices with another input.
std::string Mutate(Random& rnd, const std::vector<std::string>& corpus,
                   const std::vector<std::string>& dict) {
    std::string s = corpus.empty() ? std::string() : corpus[rnd.Below(corpus.size())];
    const size_t edits = 1 + rnd.Below(8);
    for (size_t e = 0; e < edits; ++e) {
        const size_t at = rnd.Below(s.size() + 1);
        switch (rnd.Below(8)) {
            case 0:
                if (!s.empty()) s[rnd.Below(s.size())] ^= static_cast<char>(1u << rnd.Below(8));
                break;
            case 1:
                if (!s.empty()) s[rnd.Below(s.size())] = static_cast<char>(rnd.Next());
                break;
            case 2:
                s.erase(at, rnd.Below(16) + 1);
                break;
            case 3: {
                std::string run(rnd.Below(8) + 1, '\0');
                for (char& c : run) c = static_cast<char>(rnd.Next());
                s.insert(at, run);
                break;
            }
            case 4:
            case 5:
                if (!dict.empty()) s.insert(at, dict[rnd.Below(dict.size())]);
                break;
            case 6: {
                // A lead byte right before a marker, a lone one at the end, or a NUL.
                static const char kSpecial[] = {'\x81', '\x9f', '\xe0', '\xfc', '\0', '"', '\\'};
                s.insert(at, 1, kSpecial[rnd.Below(sizeof kSpecial)]);
                break;
            }
            case 7:
                if (!corpus.empty()) {
                    const std::string& other = corpus[rnd.Below(corpus.size())];
                    const size_t from = rnd.Below(other.size() + 1);
                    s = s.substr(0, at) + other.substr(from, rnd.Below(other.size() - from + 1));
                }
                break;
        }
    }
    return s;
}

void RunOne(const std::string& input) {
    gCurrent = &input;
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    gCurrent = nullptr;
}

}  // namespace

// Called by FuzzCheck before aborting: keeps the input that broke a property, so that it can
// become a regression file.
void FuzzDriverOnFailure() {
    if (gCurrent == nullptr) return;
    const std::string name = "smoke-failure-" + gTargetName + ".bin";
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(gCurrent->data(), static_cast<std::streamsize>(gCurrent->size()));
    std::cerr << "input that failed (" << gCurrent->size() << " bytes) saved as " << name << "\n";
}

int main(int argc, char** argv) {
    gTargetName = std::filesystem::path(argv[0]).filename().string();
    size_t runs = 2000;
    uint64_t seed = 1;
    std::vector<std::string> dict;
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            runs = std::stoul(argv[++i]);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = std::stoull(argv[++i]);
        } else if (arg == "--dict" && i + 1 < argc) {
            dict = ReadDictionary(argv[++i]);
        } else if (std::filesystem::is_directory(arg)) {
            const size_t from = files.size();
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin() + static_cast<std::ptrdiff_t>(from), files.end());
        } else if (std::filesystem::is_regular_file(arg)) {
            files.push_back(arg);
        } else {
            std::cerr << gTargetName << ": no such file or folder: " << arg << "\n";
            return 2;
        }
    }
    std::vector<std::string> corpus;
    for (const auto& file : files) {
        std::cerr << "replay " << file.string() << "\n";
        corpus.push_back(ReadFile(file));
        RunOne(corpus.back());
    }
    Random rnd{seed ? seed : 0x9E3779B97F4A7C15ull};
    for (size_t r = 0; r < runs; ++r) RunOne(Mutate(rnd, corpus, dict));
    std::cout << gTargetName << ": " << corpus.size() << " corpus inputs and " << runs
              << " generated inputs passed\n";
    return 0;
}
