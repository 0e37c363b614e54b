#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "TestProcess.h"
#include "Win32Util.h"

namespace testsupport {

using Clock = std::chrono::steady_clock;

struct ChildProcess::State {
    PROCESS_INFORMATION process{};
    bool started = false;
    Clock::time_point deadline;
    bool reaped = false;
    ProcessResult result;
    HANDLE outRead = nullptr, errRead = nullptr, inWrite = nullptr;
    std::string input;
    std::thread outReader, errReader, writer;
    mutable std::mutex mutex;
    std::condition_variable changed;
    int openOutputs = 2;

    void Read(HANDLE pipe, std::string& into);
    bool Reap(bool kill);
};

namespace {

// One argument as the child's command-line parser reads it back: quoted when it holds a blank
// or a quote, with the backslashes before a quote doubled.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// The test's environment with the run's changes, as the block CreateProcessW takes.
std::wstring Environment(const ProcessRun& run) {
    std::vector<std::wstring> entries;
    wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* e = block; e && *e; e += wcslen(e) + 1) {
        const std::wstring entry = e;
        bool changed = false;
        for (const auto& [name, value] : run.env) {
            const std::wstring prefix = Win32::Widen(name) + L"=";
            changed = changed ||
                      ::CompareStringOrdinal(
                          entry.c_str(), static_cast<int>(std::min(entry.size(), prefix.size())),
                          prefix.c_str(), static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
        }
        if (!changed) entries.push_back(entry);
    }
    if (block) ::FreeEnvironmentStringsW(block);
    for (const auto& [name, value] : run.env)
        if (value) entries.push_back(Win32::Widen(name) + L"=" + Win32::Widen(*value));
    std::wstring joined;
    for (const std::wstring& entry : entries) joined += entry + L'\0';
    return joined + L'\0';
}

// Ctrl-Break reaches only the processes of the sender's console: a test started without one
// (by CTest, on pipes) makes one, which its children then share.
void EnsureConsole() {
    static const bool attached = ::GetConsoleCP() != 0 || ::AllocConsole();
    (void)attached;
}

void CloseHandleOnce(HANDLE& h) {
    if (h) ::CloseHandle(h);
    h = nullptr;
}

}  // namespace

void ChildProcess::State::Read(HANDLE pipe, std::string& into) {
    char buffer[4096];
    DWORD n = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        std::lock_guard<std::mutex> lock(mutex);
        into.append(buffer, n);
        changed.notify_all();
    }
    std::lock_guard<std::mutex> lock(mutex);
    --openOutputs;
    changed.notify_all();
}

bool ChildProcess::State::Reap(bool kill) {
    if (reaped) return false;
    if (!kill) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        kill = ::WaitForSingleObject(process.hProcess, static_cast<DWORD>(std::max<long long>(
                                                           0, left.count()))) != WAIT_OBJECT_0;
    }
    if (kill) {
        ::TerminateProcess(process.hProcess, 255);
        ::WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    for (std::thread* t : {&outReader, &errReader, &writer})
        if (t->joinable()) t->join();
    CloseHandleOnce(outRead);
    CloseHandleOnce(errRead);
    CloseHandleOnce(process.hThread);
    CloseHandleOnce(process.hProcess);
    reaped = true;
    result.status = kill ? -1 : static_cast<int>(code);
    return kill;
}

ChildProcess::ChildProcess(const ProcessRun& run) : state_(std::make_unique<State>()) {
    EnsureConsole();
    State& s = *state_;
    s.deadline = Clock::now() + run.timeout;
    s.input = run.input;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outWrite = nullptr, errWrite = nullptr, inRead = nullptr;
    if (!::CreatePipe(&s.outRead, &outWrite, &inherit, 0) ||
        !::CreatePipe(&s.errRead, &errWrite, &inherit, 0) ||
        !::CreatePipe(&inRead, &s.inWrite, &inherit, 0)) {
        for (HANDLE* h : {&s.outRead, &outWrite, &s.errRead, &errWrite, &inRead, &s.inWrite})
            CloseHandleOnce(*h);
        return;
    }
    // The test keeps its own ends to itself.
    for (HANDLE h : {s.outRead, s.errRead, s.inWrite})
        ::SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = Quoted(Win32::WidePath(run.program));
    for (const std::string& arg : run.args) commandLine += L" " + Quoted(Win32::Widen(arg));
    std::wstring environment = Environment(run);

    // Only the three pipe ends go to the child, whatever other handles other tests hold.
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributeBytes(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeBytes.data());
    HANDLE inherited[3] = {inRead, outWrite, errWrite};
    const bool listed =
        ::InitializeProcThreadAttributeList(attributes, 1, 0, &size) &&
        ::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                    sizeof inherited, nullptr, nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = inRead;
    startup.StartupInfo.hStdOutput = outWrite;
    startup.StartupInfo.hStdError = errWrite;
    if (listed) startup.lpAttributeList = attributes;
    // A group of its own, so that a Ctrl-Break can be sent to the child alone.
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP |
                        (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
    s.started =
        ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags,
                         environment.data(), nullptr, &startup.StartupInfo, &s.process) != 0;
    if (listed) ::DeleteProcThreadAttributeList(attributes);
    for (HANDLE* h : {&outWrite, &errWrite, &inRead}) CloseHandleOnce(*h);
    if (!s.started) {
        CloseHandleOnce(s.outRead);
        CloseHandleOnce(s.errRead);
        CloseHandleOnce(s.inWrite);
        return;
    }
    s.result.started = true;
    s.outReader = std::thread([&s] { s.Read(s.outRead, s.result.out); });
    s.errReader = std::thread([&s] { s.Read(s.errRead, s.result.err); });
    s.writer = std::thread([&s] {
        // A child that stops reading ends the write with an error, never the test.
        size_t sent = 0;
        DWORD n = 0;
        while (sent < s.input.size() &&
               ::WriteFile(s.inWrite, s.input.data() + sent,
                           static_cast<DWORD>(s.input.size() - sent), &n, nullptr))
            sent += n;
        CloseHandleOnce(s.inWrite);
    });
}

ChildProcess::~ChildProcess() {
    if (Started()) state_->Reap(true);
}

bool ChildProcess::Started() const {
    return state_->started;
}

bool ChildProcess::WaitForOutput(const std::string& marker, std::chrono::milliseconds timeout) {
    State& s = *state_;
    std::unique_lock<std::mutex> lock(s.mutex);
    s.changed.wait_for(lock, timeout, [&] {
        return s.result.out.find(marker) != std::string::npos || s.openOutputs == 0;
    });
    return s.result.out.find(marker) != std::string::npos;
}

std::string ChildProcess::Out() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->result.out;
}

bool ChildProcess::Interrupt() {
    // Ctrl-C cannot be sent to a process group; Ctrl-Break can, and the program takes both.
    // Without a console of its own (Wine on a pipe, which also sends none to another group)
    // the request cannot be sent: false.
    return Started() && !state_->reaped &&
           ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, state_->process.dwProcessId) != 0;
}

bool ChildProcess::Terminate() {
    return Interrupt();
}

ProcessResult ChildProcess::Wait() {
    State& s = *state_;
    if (!Started()) return s.result;
    bool closed = false;
    {
        std::unique_lock<std::mutex> lock(s.mutex);
        closed = s.changed.wait_until(lock, s.deadline, [&] { return s.openOutputs == 0; });
    }
    s.result.timedOut = s.Reap(!closed);
    return s.result;
}

}  // namespace testsupport
