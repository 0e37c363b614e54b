#include "RecorderSim.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <iostream>
#include <list>
#include <map>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

#include "EntryDecoder.h"
#include "RecorderPages.h"
#include "SimTexts.h"
#include "StateFile.h"
#include "SysSocket.h"

namespace recsim {

namespace {

using Clock = std::chrono::steady_clock;
using Sys::SocketHandle;

constexpr int kMaxReservations = 32;
constexpr size_t kMaxHeaderBytes = 16 * 1024;
constexpr size_t kMaxBodyBytes = 1024 * 1024;
constexpr int kSliceMs = 50;          // longest single wait, so Stop is seen quickly
constexpr int kLingerAfterMs = 1000;  // how long a finished connection waits for the client's close

struct Request {
    std::string method, target, path, query, rawHeader, body;
    std::map<std::string, std::string> headers;  // lower-case names
};

struct Answer {
    int status = 200;
    std::string body;
    std::string extraHeaders;  // whole lines with CR LF
};

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string Base64Decode(const std::string& in, bool& ok) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    ok = true;
    size_t end = in.size();
    while (end > 0 && in[end - 1] == '=') --end;
    for (size_t i = 0; i < end; ++i) {
        const size_t v = alphabet.find(in[i]);
        if (v == std::string::npos) {
            ok = false;
            return "";
        }
        buffer = (buffer << 6) | unsigned(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((buffer >> bits) & 0xFF);
        }
    }
    return out;
}

std::string TwoDigits(int v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

// Waits until fd is ready for the events or the stop flag rises. Returns >0 ready, 0 timed out
// (deadline passed), -1 stopped or error.
int WaitFd(SocketHandle fd, short events, Clock::time_point deadline,
           const std::atomic<bool>& stopping) {
    while (!stopping) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return 0;
        Sys::PollEntry p{fd, events, 0};
        const int r = Sys::Poll(&p, 1, int(std::min<long long>(left, kSliceMs)));
        if (r > 0) return 1;
    }
    return -1;
}

// One receive of a non-blocking connection after a wait said there is something: the bytes,
// 0 at the end, -1 on an error; a spurious wake-up reads as nothing yet (-2).
long long ReceiveSome(SocketHandle fd, char* buf, size_t size) {
    int32_t error = 0;
    const long long n = Sys::Receive(fd, buf, size, false, error);
    if (n < 0 && error == SocketError::kWouldBlock) return -2;
    return n;
}

bool SendAll(SocketHandle fd, const char* data, size_t size, const std::atomic<bool>& stopping) {
    size_t done = 0;
    while (done < size) {
        if (WaitFd(fd, Sys::kWritable, Clock::now() + std::chrono::seconds(10), stopping) <= 0)
            return false;
        int32_t error = 0;
        const long long n = Sys::Send(fd, data + done, size - done, error);
        if (n < 0 && error == SocketError::kWouldBlock) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

struct RecorderSim::Impl {
    Options opt;

    mutable std::mutex mu;  // everything below up to the server part
    std::condition_variable wake;
    std::vector<Reservation> list;
    int selected = -1;
    std::string segment;
    std::vector<LoggedRequest> log;
    std::function<void(const LoggedRequest&)> hook;
    struct ErrorRule {
        int status;
        int times;  // -1: until removed
    };
    std::map<std::string, ErrorRule> errors;
    std::map<std::string, Fault> faults;
    int slowBps = 0;
    int loseEntries = 0;

    // Server.
    SocketHandle listenFd = Sys::kNoSocket;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::thread acceptThread;
    struct Conn {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex connMu;
    std::list<Conn> conns;

    void ChooseSegment() {
        if (!opt.segment.empty()) {
            segment = opt.segment;
            return;
        }
        std::mt19937 rng(opt.seed != 0 ? opt.seed : std::random_device{}());
        static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::string s;
        for (int i = 0; i < 6; ++i) s += chars[rng() % (sizeof chars - 1)];
        segment = s;
    }

    // Caller holds mu.
    void Persist(const std::vector<Reservation>& next) {
        if (!opt.stateFile.empty()) SaveStateFile(opt.stateFile, next);
    }

    bool WaitMs(int ms) {  // false when stopped
        std::unique_lock lock(mu);
        return !wake.wait_for(lock, std::chrono::milliseconds(ms),
                              [this] { return stopping.load(); });
    }

    void AcceptLoop();
    void Serve(SocketHandle fd);
    enum class ReadResult { Ok, Closed, TooLarge, Bad, NoLength };
    ReadResult ReadRequest(SocketHandle fd, Request& req);
    Answer Route(const Request& req);
    Answer Entry(const Request& req);
    bool Authorized(const Request& req) const;
    void Finish(SocketHandle fd, bool reset);
    void Record(size_t index, int status);
};

void RecorderSim::Impl::AcceptLoop() {
    while (!stopping) {
        Sys::PollEntry p{listenFd, Sys::kReadable, 0};
        const int r = Sys::Poll(&p, 1, kSliceMs);
        {
            std::lock_guard lock(connMu);
            for (auto it = conns.begin(); it != conns.end();) {
                if (*it->done) {
                    it->thread.join();
                    it = conns.erase(it);
                } else {
                    ++it;
                }
            }
        }
        if (r <= 0) continue;
        uint32_t address = 0;
        uint16_t port = 0;
        int32_t error = 0;
        const SocketHandle fd = Sys::Accept(listenFd, true, address, port, error);
        if (fd == Sys::kNoSocket) continue;
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::lock_guard lock(connMu);
        conns.push_back(Conn{std::thread([this, fd, done] {
                                 Serve(fd);
                                 *done = true;
                             }),
                             done});
    }
}

RecorderSim::Impl::ReadResult RecorderSim::Impl::ReadRequest(SocketHandle fd, Request& req) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(opt.readTimeoutMs);
    std::string data;
    size_t headerEnd = std::string::npos, sepLen = 0;
    char buf[4096];
    while (true) {
        if (size_t p = data.find("\r\n\r\n"); p != std::string::npos) {
            headerEnd = p;
            sepLen = 4;
        } else if (size_t q = data.find("\n\n"); q != std::string::npos) {
            headerEnd = q;
            sepLen = 2;
        }
        if (headerEnd != std::string::npos) break;
        if (data.size() > kMaxHeaderBytes) return ReadResult::TooLarge;
        if (WaitFd(fd, Sys::kReadable, deadline, stopping) <= 0) return ReadResult::Closed;
        const long long n = ReceiveSome(fd, buf, sizeof buf);
        if (n == -2) continue;
        if (n <= 0) return ReadResult::Closed;
        data.append(buf, size_t(n));
    }
    req.rawHeader = data.substr(0, headerEnd + sepLen);
    std::string rest = data.substr(headerEnd + sepLen);

    // Request line and header lines.
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < headerEnd) {
        size_t nl = req.rawHeader.find('\n', start);
        if (nl == std::string::npos || nl > headerEnd) nl = headerEnd;
        std::string line = req.rawHeader.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = nl + 1;
    }
    if (lines.empty()) return ReadResult::Bad;
    const std::string& first = lines[0];
    const size_t s1 = first.find(' ');
    const size_t s2 = s1 == std::string::npos ? s1 : first.find(' ', s1 + 1);
    if (s1 == std::string::npos || s2 == std::string::npos) return ReadResult::Bad;
    req.method = first.substr(0, s1);
    std::string target = first.substr(s1 + 1, s2 - s1 - 1);
    if (first.compare(s2 + 1, 5, "HTTP/") != 0) return ReadResult::Bad;
    // Through a proxy the request line carries the whole URL.
    if (Lower(target.substr(0, 7)) == "http://") {
        const size_t slash = target.find('/', 7);
        target = slash == std::string::npos ? "/" : target.substr(slash);
    }
    if (target.empty() || target[0] != '/') return ReadResult::Bad;
    req.target = target;
    const size_t q = target.find('?');
    req.path = target.substr(0, q);
    req.query = q == std::string::npos ? "" : target.substr(q + 1);
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t colon = lines[i].find(':');
        if (colon == std::string::npos) continue;
        req.headers.emplace(Lower(Trim(lines[i].substr(0, colon))),
                            Trim(lines[i].substr(colon + 1)));
    }

    // The body: exactly Content-Length bytes.
    const auto cl = req.headers.find("content-length");
    if (cl == req.headers.end()) {
        if (req.method == "POST") return ReadResult::NoLength;
        return ReadResult::Ok;
    }
    if (cl->second.empty() || cl->second.size() > 9 ||
        cl->second.find_first_not_of("0123456789") != std::string::npos)
        return ReadResult::Bad;
    const size_t length = std::stoul(cl->second);
    if (length > kMaxBodyBytes) return ReadResult::TooLarge;
    while (rest.size() < length) {
        if (WaitFd(fd, Sys::kReadable, deadline, stopping) <= 0) return ReadResult::Closed;
        const long long n = ReceiveSome(fd, buf, sizeof buf);
        if (n == -2) continue;
        if (n <= 0) return ReadResult::Closed;
        rest.append(buf, size_t(n));
    }
    req.body = rest.substr(0, length);
    return ReadResult::Ok;
}

bool RecorderSim::Impl::Authorized(const Request& req) const {
    if (opt.user.empty() || opt.password.empty()) return true;
    const auto it = req.headers.find("authorization");
    if (it == req.headers.end()) return false;
    const std::string& v = it->second;
    if (v.size() < 6 || Lower(v.substr(0, 6)) != "basic ") return false;
    bool ok = false;
    const std::string credentials = Base64Decode(Trim(v.substr(6)), ok);
    return ok && credentials == opt.user + ":" + opt.password;
}

Answer RecorderSim::Impl::Entry(const Request& req) {
    // Caller holds mu.
    const EntryCheck check = CheckEntry(DecodeForm(req.body), opt.firstDate);
    const int slot = selected;
    selected = -1;
    if (!check.ok) return {200, EntryAlertPage(texts::kEntryRejected, check.reason), ""};
    const bool modify = slot >= 0 && slot < int(list.size());
    if (!modify && list.size() >= size_t(kMaxReservations))
        return {200, EntryAlertPage(texts::kEntryFull, ""), ""};
    int clash = -1;
    for (size_t i = 0; i < list.size() && clash < 0; ++i)
        if (!(modify && int(i) == slot) && Overlaps(list[i], check.reservation)) clash = int(i);
    std::vector<Reservation> next = list;
    if (loseEntries > 0) {
        --loseEntries;
        return {200, EntryMessagePage(modify ? texts::kEntryModified : texts::kEntryDone), ""};
    }
    if (modify)
        next[size_t(slot)] = check.reservation;
    else
        next.push_back(check.reservation);
    try {
        Persist(next);
    } catch (const std::exception& e) {
        std::cerr << "recorder-sim: " << e.what() << std::endl;
        return {500, StatusPage(500), ""};  // not stored: the recorder could not keep it
    }
    list = std::move(next);
    if (clash >= 0) {
        const Reservation& other = list[size_t(clash)];
        return {200,
                EntryAlertPage(texts::kEntryOverlap,
                               texts::kEntryOverlapWith + TwoDigits(clash + 1) + " " +
                                   other.start_hour + ":" + other.start_minute + "-" +
                                   other.end_hour + ":" + other.end_minute),
                ""};
    }
    return {200, EntryMessagePage(modify ? texts::kEntryModified : texts::kEntryDone), ""};
}

Answer RecorderSim::Impl::Route(const Request& req) {
    const bool get = req.method == "GET" || req.method == "HEAD";
    if (!get && req.method != "POST") return {501, StatusPage(501), ""};
    std::lock_guard lock(mu);
    const std::string& path = req.path;
    auto page = [&](std::string body) -> Answer {
        if (!get) return {405, StatusPage(405), "Allow: GET, HEAD\r\n"};
        return {200, std::move(body), ""};
    };
    if (path == "/" || path == "/index.htm") return page(TopPage());
    if (path == "/program/b_prgrm.htm") return page(ListFramePage(segment));
    if (path == "/setup/setup.htm") return page(SetupPage(opt.password));
    if (path == "/setup/ch_set.htm") return page(ChannelPage());
    const std::string prefix = "/program/";
    if (path.compare(0, prefix.size(), prefix) != 0) return {404, StatusPage(404), ""};
    const std::string rest = path.substr(prefix.size());
    const size_t slash = rest.find('/');
    if (slash == std::string::npos) return {404, StatusPage(404), ""};
    const std::string seg = rest.substr(0, slash);
    const std::string file = rest.substr(slash + 1);
    // The reservation list answers under any segment, an empty one included: a client that
    // has not read the list frame page yet asks "/program//program.htm".
    if (file == "program.htm") return page(ReservationListPage(list, opt.firstDate));
    if (seg != segment) return {404, StatusPage(404), ""};
    if (file == "b_proginfo.htm") {
        const std::string& q = req.query;
        if (q.empty() || q.size() > 2 || q.find_first_not_of("0123456789") != std::string::npos)
            return {404, StatusPage(404), ""};
        const int i = std::stoi(q);
        if (i > int(list.size()) || i >= kMaxReservations) return {404, StatusPage(404), ""};
        if (!get) return {405, StatusPage(405), "Allow: GET, HEAD\r\n"};
        selected = i;
        return {200, SelectorPage(), ""};
    }
    if (file == "proginfo.htm") {
        const Reservation r = selected >= 0 && selected < int(list.size())
                                  ? list[size_t(selected)]
                                  : NewReservationDefaults(opt.firstDate);
        return page(opt.mode == Mode::X4 ? ReservationPageX4(r, opt.firstDate)
                                         : EntryFormPageX4EX(r, opt.firstDate));
    }
    if (file == "blank.htm") return page(BlankPage());
    if (file == "entry.htm" && opt.mode == Mode::X4EX) {
        if (req.method != "POST") return {405, StatusPage(405), "Allow: POST\r\n"};
        return Entry(req);
    }
    return {404, StatusPage(404), ""};
}

void RecorderSim::Impl::Record(size_t index, int status) {
    LoggedRequest copy;
    std::function<void(const LoggedRequest&)> h;
    {
        std::lock_guard lock(mu);
        if (index >= log.size()) return;
        log[index].status = status;
        copy = log[index];
        h = hook;
    }
    if (h) h(copy);
}

void RecorderSim::Impl::Finish(SocketHandle fd, bool reset) {
    if (reset) {
        Sys::SetResetOnClose(fd);
    } else {
        // Half-close, then give the client a moment to read everything and close first, so
        // that the answer is never cut off by a reset.
        Sys::ShutdownSend(fd);
        const auto deadline = Clock::now() + std::chrono::milliseconds(kLingerAfterMs);
        char buf[1024];
        while (WaitFd(fd, Sys::kReadable, deadline, stopping) > 0) {
            const long long n = ReceiveSome(fd, buf, sizeof buf);
            if (n != -2 && n <= 0) break;
        }
    }
    Sys::CloseSocket(fd);
}

void RecorderSim::Impl::Serve(SocketHandle fd) {
    Request req;
    const ReadResult read = ReadRequest(fd, req);
    if (read == ReadResult::Closed) {
        Finish(fd, false);
        return;
    }
    size_t index;
    Fault fault = Fault::None;
    int errorStatus = 0;
    int latency, slow;
    {
        std::lock_guard lock(mu);
        index = log.size();
        log.push_back(LoggedRequest{req.method, req.target, req.rawHeader, req.body, 0});
        for (const std::string& key : {req.target, std::string("*")}) {
            if (auto f = faults.find(key); f != faults.end() && fault == Fault::None)
                fault = f->second;
            if (auto e = errors.find(key); e != errors.end() && errorStatus == 0) {
                errorStatus = e->second.status;
                if (e->second.times > 0 && --e->second.times == 0) errors.erase(e);
            }
        }
        latency = opt.latencyMs;
        slow = slowBps;
    }
    if (latency > 0 && !WaitMs(latency)) {
        Record(index, 0);
        Finish(fd, true);
        return;
    }
    if (fault == Fault::Drop || fault == Fault::Reset) {
        Record(index, 0);
        Finish(fd, fault == Fault::Reset);
        return;
    }
    if (fault == Fault::Hang) {
        // Until the client gives up or the simulator stops.
        char buf[256];
        const auto never = Clock::now() + std::chrono::hours(24);
        while (WaitFd(fd, Sys::kReadable, never, stopping) > 0) {
            const long long n = ReceiveSome(fd, buf, sizeof buf);
            if (n != -2 && n <= 0) break;
        }
        Record(index, 0);
        Sys::CloseSocket(fd);
        return;
    }

    Answer answer;
    if (read == ReadResult::TooLarge)
        answer = {413, StatusPage(413), ""};
    else if (read == ReadResult::Bad)
        answer = {400, StatusPage(400), ""};
    else if (read == ReadResult::NoLength)
        answer = {411, StatusPage(411), ""};
    else if (errorStatus != 0)
        answer = {errorStatus, StatusPage(errorStatus), ""};
    else if (!Authorized(req))
        answer = {401, StatusPage(401),
                  std::string("WWW-Authenticate: Basic realm=\"") +
                      (opt.mode == Mode::X4 ? "RD-X4" : "RD-X4EX") + "\"\r\n"};
    else
        answer = Route(req);

    const std::string body = req.method == "HEAD" ? "" : answer.body;
    const std::string head =
        "HTTP/1.0 " + std::to_string(answer.status) + " " + ReasonPhrase(answer.status) +
        "\r\nServer: RD-Web/1.0\r\nContent-Type: text/html; "
        "charset=Shift_JIS\r\nContent-Length: " +
        std::to_string(answer.body.size()) + "\r\n" + answer.extraHeaders + "\r\n";
    bool sent = SendAll(fd, head.data(), head.size(), stopping);
    const size_t bodyBytes = fault == Fault::CutBody ? body.size() / 2 : body.size();
    if (sent && slow > 0) {
        // A slow recorder: the body trickles out in small pieces.
        const size_t piece = std::max<size_t>(1, size_t(slow) * kSliceMs / 1000);
        for (size_t done = 0; sent && done < bodyBytes; done += piece) {
            sent = SendAll(fd, body.data() + done, std::min(piece, bodyBytes - done), stopping);
            if (sent && done + piece < bodyBytes) sent = WaitMs(int(piece * 1000 / size_t(slow)));
        }
    } else if (sent) {
        sent = SendAll(fd, body.data(), bodyBytes, stopping);
    }
    Record(index, answer.status);
    Finish(fd, !sent);
}

RecorderSim::RecorderSim(Options options) : impl_(std::make_unique<Impl>()) {
    impl_->opt = std::move(options);
    CheckFirstDate(impl_->opt.firstDate);
    if (!impl_->opt.stateFile.empty()) LoadStateFile(impl_->opt.stateFile, impl_->list);
    impl_->ChooseSegment();
}

RecorderSim::~RecorderSim() {
    Stop();
}

void RecorderSim::Start() {
    if (impl_->listenFd != Sys::kNoSocket) return;
    int32_t error = 0;
    if (!Sys::StartSockets()) throw std::runtime_error("no sockets on this system");
    const SocketHandle fd = Sys::OpenStreamSocket(false, error);
    if (fd == Sys::kNoSocket) throw std::runtime_error("socket: error " + std::to_string(error));
    const uint16_t port = Sys::ListenOnLoopback(fd, uint16_t(impl_->opt.port), 16, true, error);
    if (port == 0) {
        Sys::CloseSocket(fd);
        throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(impl_->opt.port) +
                                 ": error " + std::to_string(error));
    }
    {
        std::lock_guard lock(impl_->mu);
        impl_->ChooseSegment();
        impl_->selected = -1;
    }
    impl_->port = port;
    impl_->listenFd = fd;
    impl_->stopping = false;
    impl_->acceptThread = std::thread([this] { impl_->AcceptLoop(); });
}

void RecorderSim::Stop() {
    if (impl_->listenFd == Sys::kNoSocket) return;
    {
        std::lock_guard lock(impl_->mu);
        impl_->stopping = true;
    }
    impl_->wake.notify_all();
    impl_->acceptThread.join();
    std::list<Impl::Conn> conns;
    {
        std::lock_guard lock(impl_->connMu);
        conns.swap(impl_->conns);
    }
    for (auto& c : conns) c.thread.join();
    Sys::CloseSocket(impl_->listenFd);
    impl_->listenFd = Sys::kNoSocket;
}

int RecorderSim::Port() const {
    return impl_->port;
}

std::string RecorderSim::Segment() const {
    std::lock_guard lock(impl_->mu);
    return impl_->segment;
}

Mode RecorderSim::GetMode() const {
    return impl_->opt.mode;
}

std::vector<Reservation> RecorderSim::Reservations() const {
    std::lock_guard lock(impl_->mu);
    return impl_->list;
}

void RecorderSim::SetReservations(std::vector<Reservation> r) {
    std::lock_guard lock(impl_->mu);
    impl_->Persist(r);
    impl_->list = std::move(r);
    impl_->selected = -1;
}

int RecorderSim::Selected() const {
    std::lock_guard lock(impl_->mu);
    return impl_->selected;
}

std::vector<LoggedRequest> RecorderSim::Requests() const {
    std::lock_guard lock(impl_->mu);
    return impl_->log;
}

void RecorderSim::ClearRequests() {
    std::lock_guard lock(impl_->mu);
    impl_->log.clear();
}

void RecorderSim::SetRequestHook(std::function<void(const LoggedRequest&)> hook) {
    std::lock_guard lock(impl_->mu);
    impl_->hook = std::move(hook);
}

void RecorderSim::SetErrorStatus(const std::string& target, int status, int times) {
    std::lock_guard lock(impl_->mu);
    if (status == 0 || times == 0)
        impl_->errors.erase(target);
    else
        impl_->errors[target] = {status, times < 0 ? -1 : times};
}

void RecorderSim::SetDropConnection(const std::string& target, bool drop) {
    SetFault(target, drop ? Fault::Drop : Fault::None);
}

void RecorderSim::SetFault(const std::string& target, Fault fault) {
    std::lock_guard lock(impl_->mu);
    if (fault == Fault::None)
        impl_->faults.erase(target);
    else
        impl_->faults[target] = fault;
}

void RecorderSim::SetSlowBody(int bytesPerSecond) {
    std::lock_guard lock(impl_->mu);
    impl_->slowBps = std::max(0, bytesPerSecond);
}

void RecorderSim::SetLoseEntries(int count) {
    std::lock_guard lock(impl_->mu);
    impl_->loseEntries = std::max(0, count);
}

void RecorderSim::SetLatency(int ms) {
    std::lock_guard lock(impl_->mu);
    impl_->opt.latencyMs = std::max(0, ms);
}

std::vector<std::pair<std::string, std::string>> RecorderSim::OptionList(
    const std::string& field, const std::string& firstDate) {
    return OptionsFor(field, firstDate);
}

}  // namespace recsim
