// The scans over recorder pages and the work list, on pages no sane recorder sends: each
// scan must take a 10 MB page in well under half a second (the window waits meanwhile), and
// the work list must hold a 100 MB page in memory proportional to it, also as a capture
// stages it. Prints one line per case: the median of five runs, or the peak memory growth
// over the page.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "BoxText.h"
#include "EntryForm.h"
#include "PageScan.h"
#include "SavedSet.h"
#include "Texts.h"
#include "WorkList.h"

namespace {

constexpr size_t kMB = 1u << 20;
constexpr size_t kScanPage = 10 * kMB;
constexpr size_t kMemoryPage = 100 * kMB;

double MedianMs(const std::function<void()>& run) {
    std::vector<double> ms;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[2];
}

// Text repeated up to size bytes.
std::string Repeat(const std::string& piece, size_t size) {
    std::string text;
    text.reserve(size + piece.size());
    while (text.size() < size) text += piece;
    return text;
}

size_t Resident() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Starts a new measurement of the kernel's high-water mark; returns resident memory now.
size_t StartPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
    return Resident();
}

size_t PeakSince(size_t start) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stoul(line.substr(6)) * 1024 - start;
    return 0;
}

void Scan(const char* name, const std::string& page, const std::function<void()>& run) {
    std::printf("%-44s %6.1f MB %8.1f ms\n", name, static_cast<double>(page.size()) / kMB,
                MedianMs(run));
}

void Memory(const char* name, size_t pageBytes, const std::function<void()>& run) {
    const size_t start = StartPeak();
    run();
    const double growth = static_cast<double>(PeakSince(start));
    std::printf("%-44s %6.1f MB peak +%6.0f MB = %.2fx the page\n", name,
                static_cast<double>(pageBytes) / kMB, growth / kMB,
                growth / static_cast<double>(pageBytes));
}

}  // namespace

int main() {
    std::printf("scans (median of 5 runs)\n");
    // About 300,000 links (the probe's list), the last one read.
    const std::string list = Repeat("<a href=\"b_proginfo.htm?12\">x</a>\r\n", kScanPage);
    Scan("link scan, reservation list of links", list, [&] {
        std::string slot;
        ScanReservationLinks(list, slot);
    });
    // Double-byte text is stepped over character by character.
    const std::string kana = Repeat("\x83\x5c\x83\x74\x83\x67", kScanPage) + "b_proginfo.htm?5\"";
    Scan("link scan, double-byte text, one link at end", kana, [&] {
        std::string slot;
        ScanReservationLinks(kana, slot);
    });
    // Every byte match of the marker stands on a second byte and must be passed over.
    const std::string hidden = Repeat(
        "\x81"
        "b_proginfo.htm?1\"",
        kScanPage);
    Scan("link scan, every link behind a lead byte", hidden, [&] {
        std::string slot;
        ScanReservationLinks(hidden, slot);
    });
    const std::string frame = std::string(kScanPage, 'S') + "/program.htm";
    Scan("segment search, no \"/\" before the marker", frame, [&] {
        std::string segment;
        FindProgramSegment(frame, segment);
    });
    const std::string answer = "msg=\"" + Repeat("\x90\xb3\x8f\xed\\r\\n", kScanPage) + "\"";
    Scan("answer extraction, 10 MB message", answer, [&] { ExtractEntryAnswer(answer); });
    Scan("message box clip of the answer", answer, [&] { ClipForBox(answer); });
    const std::string entry =
        "<SCRIPT></SCRIPT>\r\n" + Repeat("detail &amp; \x97\x5c ", kScanPage) + "</textarea>";
    Scan("entry form, 10 MB detail text", entry, [&] { BuildEntryFormBodyFromText(entry); });

    std::printf("memory (peak growth over the process before the page was built)\n");
    const std::string path = "scan_bench_page.tmp";
    Memory("work list: 100 MB of LF, set and saved", kMemoryPage, [&] {
        TWorkList list;
        {
            const std::string page(kMemoryPage, '\n');
            list.SetText(page);
        }
        list.SaveToFile(path, false);
    });
    // As a capture stages a page: the body moves into the list, its CR LF text streams into
    // the staging folder of a program directory of its own.
    const std::string programDir =
        (std::filesystem::temp_directory_path() / ("scan_bench." + std::to_string(getpid())))
            .string() +
        "/";
    std::filesystem::create_directory(programDir);
    Memory("capture: 100 MB of LF staged as a page", kMemoryPage, [&] {
        SavedSetStaging staging(programDir);
        TWorkList list;
        list.SetText(std::string(kMemoryPage, '\n'));
        staging.Save(Texts::ReservationPageFile(0), list);
    });
    std::filesystem::remove_all(programDir);
    Memory("work list: that file (200 MB) loaded", 2 * kMemoryPage, [&] {
        TWorkList list;
        list.LoadFromFile(path);
    });
    {
        std::ofstream page(path, std::ios::binary | std::ios::trunc);
        page << "<SCRIPT></SCRIPT>\r\n";
        const std::string piece(kMB, 'd');
        for (size_t i = 0; i < kMemoryPage / kMB; ++i) page << piece;
        page << "</textarea>";
    }
    Memory("entry form: page with a 100 MB detail text", kMemoryPage, [&] {
        TWorkList post;
        post.SetText(BuildEntryFormBody(path));
        post.SaveToFile(path + ".post", false);
    });
    std::remove(path.c_str());
    std::remove((path + ".post").c_str());
    return 0;
}
