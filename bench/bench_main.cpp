// Speed of the tool under Wine against the simulated controller, printed
// beside a bare loop of the same design (kavro_reference_loop.exe) run on
// the same bench in the same way: both are started as programs of their
// own, driven through their windows, and their pixels are read from the
// screen. Every time is on the simulator's clock, onto which this side's
// counter is mapped (clock_map.h).
//   kavro_bench.exe [seconds of each CPU measure, 60 by default]
// With KAVRO_BENCH_BEFORE naming another build of the tool (a Linux path),
// that build is measured in the same run too, and set beside this one.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/resource.h"
#include "bench/clock_map.h"
#include "bench/process_usage.h"
#include "bench/screen.h"
#include "bench/screen_watch.h"
#include "sim/win/port_devices.h"
#include "sim/win/sim_client.h"

namespace {

constexpr int kPort = 20;
constexpr int kHandshakes = 10;
constexpr int kChanges = 250;
constexpr int kLeftoverTrials = 30;
constexpr int kShownWithinMs = 3000;
// A hold after each change shown, drawn evenly from one poll period, so
// that the next change falls evenly anywhere in the poll cycle.
constexpr int kHoldMaxMs = 110;

// The line: 57600 baud, 8N1, so 10 bits a character.
constexpr double kCharMs = 10.0 * 1000.0 / 57600.0;
constexpr double kPauseMs = 100;
constexpr double kReplyTestMs = 10;
// The simulator's pseudo-terminal carries bytes at once, so an answer could
// be waiting already at the reply test made right after the send, which on
// a real line it never is (the command and the answer take 2.6 ms on the
// wire); whether it is then depends on how busy the machine is, and the
// period flips between about 102 and 112 ms from run to run. Answering
// after the wire time, rounded up, makes the bench behave like the line.
constexpr int kAnswerDelayMs = 3;

struct Program {
    const char* label;
    std::wstring exe;
    std::wstring arguments;
    const wchar_t* caption;
};

struct Figures {
    std::vector<double> handshakeMs, clickToCommandMs, answerToShownMs;
    std::vector<double> periodMs;
    std::vector<double> latencyMs, ownWorkMs, commandToShownMs, answerDelayMs;
    int missed = 0, others = 0;
    double idleCpuPct = -1, idleServerPct = -1, busyCpuPct = -1, changesPerSecond = 0;
    long long privateBytes = -1;
    int handles = -1;
    std::vector<double> leftoverMs;
    int leftoverMissed = 0, leftoverOthers = 0;
    std::vector<double> repaintMs;
};

double Quantile(std::vector<double> v, double q) {
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())))];
}
double Median(const std::vector<double>& v) { return Quantile(v, 0.5); }
double P90(const std::vector<double>& v) { return Quantile(v, 0.90); }
double P99(const std::vector<double>& v) { return Quantile(v, 0.99); }
double Max(const std::vector<double>& v) { return v.empty() ? -1 : *std::max_element(v.begin(), v.end()); }

std::wstring BinDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

HWND FindMainWindow(DWORD processId, const wchar_t* caption) {
    struct Context {
        DWORD processId;
        const wchar_t* caption;
        HWND found;
    } context = {processId, caption, nullptr};
    ::EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            Context* c = reinterpret_cast<Context*>(lParam);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hWnd, &pid);
            if (pid != c->processId || !::IsWindowVisible(hWnd) || WindowText(hWnd) != c->caption)
                return TRUE;
            c->found = hWnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&context));
    return context.found;
}

// The simulator's events of one kind, oldest first.
std::vector<SimEvent> Kind(const std::vector<SimEvent>& events, char kind) {
    std::vector<SimEvent> out;
    for (const SimEvent& e : events) {
        if (e.kind == kind)
            out.push_back(e);
    }
    return out;
}

// The first event of `kind` at or after `fromUs` whose bytes begin with `prefix`.
const SimEvent* FirstAfter(const std::vector<SimEvent>& events, char kind, long long fromUs,
                           const std::string& prefix) {
    for (const SimEvent& e : events) {
        if (e.kind == kind && e.us >= fromUs && e.bytes.compare(0, prefix.size(), prefix) == 0)
            return &e;
    }
    return nullptr;
}

class Bench {
public:
    Bench(SimController& sim, int cpuSeconds) : sim_(sim), cpuSeconds_(cpuSeconds) {}

    bool Run(const Program& program, Figures& f);
    const ClockMap& Clock() const { return clock_; }
    const ScreenWatch& Watch() const { return watch_; }

private:
    bool Start(const Program& program);
    void Stop();
    HWND Control(int id) const { return ::GetDlgItem(main_, id); }
    bool ButtonReads(const wchar_t* text, int timeoutMs) {
        return WaitUntil([&] { return WindowText(Control(IDC_CONNECT)) == text; }, timeoutMs);
    }
    void Click() { ::PostMessageW(Control(IDC_CONNECT), BM_CLICK, 0, 0); }
    bool Connect();
    bool Disconnect();
    // A state of the eight switch characters whose six shown ones differ from `from`.
    std::string NextState(const std::string& from);

    void Handshakes(Figures& f);
    void Idle(Figures& f);
    void Changes(Figures& f);
    void Leftover(Figures& f);
    void Repaints(Figures& f);

    SimController& sim_;
    const int cpuSeconds_;
    ClockMap clock_;
    ScreenWatch watch_;
    std::mt19937 random_;
    PROCESS_INFORMATION process_ = {};
    HWND main_ = nullptr;
    std::string state_ = "00000000";
};

bool Bench::Start(const Program& program) {
    std::wstring commandLine = L"\"" + program.exe + L"\" " + program.arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!::CreateProcessW(program.exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process_)) {
        std::printf("cannot start %ls: error %lu\n", program.exe.c_str(), ::GetLastError());
        return false;
    }
    WaitUntil(
        [&] {
            main_ = FindMainWindow(process_.dwProcessId, program.caption);
            return main_ != nullptr;
        },
        30000);
    if (!main_)
        std::printf("%s: no window\n", program.label);
    return main_ != nullptr;
}

void Bench::Stop() {
    if (main_)
        ::PostMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (::WaitForSingleObject(process_.hProcess, 15000) != WAIT_OBJECT_0)
        ::TerminateProcess(process_.hProcess, 1);
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
    process_ = {};
    main_ = nullptr;
}

bool Bench::Connect() {
    Click();
    return ButtonReads(L"Disconnect", 10000) && WaitUntil([&] { return sim_.Count("swin") > 0; }, 5000);
}

bool Bench::Disconnect() {
    Click();
    return ButtonReads(L"Connect", 10000) && sim_.WaitOpened(false, 5000);
}

std::string Bench::NextState(const std::string& from) {
    for (;;) {
        std::string next(8, '0');
        for (int i = 0; i < 6; ++i)
            next[static_cast<size_t>(i)] = random_() % 2 ? '1' : '0';
        if (next.compare(0, 6, from, 0, 6) != 0)
            return next;
    }
}

// Connect pressed until the serial number is on the screen, each time from
// a closed port; then Disconnect.
void Bench::Handshakes(Figures& f) {
    const HWND serial = Control(IDC_SERIAL_NUMBER);
    for (int i = 0; i < kHandshakes; ++i) {
        sim_.ClearReceived();
        clock_.Sync(sim_);
        const PixelCapture empty = PixelCapture::OfScreen(serial);
        const double clickedUs = QpcNowUs();
        Click();
        const Sighting shown = watch_.Change(serial, empty, 5000);
        if (!ButtonReads(L"Disconnect", 10000) || !shown.seen) {
            std::printf("handshake %d: serial number not shown\n", i);
            return;
        }
        const std::vector<SimEvent> events = sim_.Events();
        const SimEvent* command = FirstAfter(events, 'c', 0, "?readsn");
        const SimEvent* answer = command ? FirstAfter(events, 'a', command->us, "") : nullptr;
        f.handshakeMs.push_back((shown.atUs - clickedUs) / 1000);
        if (answer) {
            f.clickToCommandMs.push_back((static_cast<double>(command->us) - clock_.SimUs(clickedUs)) / 1000);
            f.answerToShownMs.push_back((clock_.SimUs(shown.atUs) - static_cast<double>(answer->us)) / 1000);
        }
        Disconnect();
    }
}

// Connected with nothing changing: the poll period from the simulator's
// times of each "?swin", the CPU used, what the program holds at rest.
void Bench::Idle(Figures& f) {
    sim_.ClearReceived();
    const double t0 = QpcNowUs();
    const double cpu0 = ThreadsCpuMs(process_.dwProcessId);
    const double server0 = WineServerCpuMs();
    ::Sleep(static_cast<DWORD>(cpuSeconds_) * 1000);
    const double cpu1 = ThreadsCpuMs(process_.dwProcessId);
    const double server1 = WineServerCpuMs();
    const double elapsedMs = (QpcNowUs() - t0) / 1000;
    f.idleCpuPct = 100 * (cpu1 - cpu0) / elapsedMs;
    if (server0 >= 0)
        f.idleServerPct = 100 * (server1 - server0) / elapsedMs;
    const std::vector<long long> polls = sim_.PollTimes();
    for (size_t i = 1; i < polls.size(); ++i)
        f.periodMs.push_back(static_cast<double>(polls[i] - polls[i - 1]) / 1000);
    f.handles = KernelHandleCount(process_.dwProcessId);
    f.privateBytes = PrivateMemoryBytes(process_.hProcess);
}

// Switch changes at random moments: from the simulator setting a state to
// the panel showing it on the screen, and from the answer that carried it.
void Bench::Changes(Figures& f) {
    sim_.ClearReceived();
    clock_.Sync(sim_);
    std::vector<std::string> states;
    std::vector<Sighting> sightings;
    const double t0 = QpcNowUs();
    const double cpu0 = ThreadsCpuMs(process_.dwProcessId);
    for (int i = 0; i < kChanges; ++i) {
        const std::string next = NextState(state_);
        sim_.SetSwitches(next);
        sightings.push_back(watch_.Panel(main_, state_, next, kShownWithinMs));
        states.push_back(next);
        state_ = next;
        ::Sleep(random_() % kHoldMaxMs);
    }
    const double cpu1 = ThreadsCpuMs(process_.dwProcessId);
    const double elapsedMs = (QpcNowUs() - t0) / 1000;
    clock_.Sync(sim_);
    f.busyCpuPct = 100 * (cpu1 - cpu0) / elapsedMs;
    f.changesPerSecond = kChanges * 1000.0 / elapsedMs;

    const std::vector<SimEvent> events = sim_.Events();
    const std::vector<SimEvent> sets = Kind(events, 's');
    for (size_t i = 0; i < sightings.size() && i < sets.size(); ++i) {
        f.others += sightings[i].others;
        if (!sightings[i].seen) {
            ++f.missed;
            continue;
        }
        const double shownUs = clock_.SimUs(sightings[i].atUs);
        f.latencyMs.push_back((shownUs - static_cast<double>(sets[i].us)) / 1000);
        const SimEvent* answer = FirstAfter(events, 'a', sets[i].us, states[i] + "\r");
        if (!answer)
            continue;
        f.ownWorkMs.push_back((shownUs - static_cast<double>(answer->us)) / 1000);
        // The "?swin" the answer belongs to: the last one before it.
        const SimEvent* command = nullptr;
        for (const SimEvent& e : events) {
            if (e.us > answer->us)
                break;
            if (e.kind == 'c' && e.bytes == "?swin")
                command = &e;
        }
        if (command) {
            f.commandToShownMs.push_back((shownUs - static_cast<double>(command->us)) / 1000);
            f.answerDelayMs.push_back(static_cast<double>(answer->us - command->us) / 1000);
        }
    }
}

// Each change right behind a burst of input nobody asked for: twenty lines
// of the old state and one of 150 bytes, as a controller that repeats
// itself or prints a banner sends them.
void Bench::Leftover(Figures& f) {
    sim_.ClearReceived();
    clock_.Sync(sim_);
    std::vector<Sighting> sightings;
    for (int i = 0; i < kLeftoverTrials; ++i) {
        std::string burst;
        for (int line = 0; line < 20; ++line)
            burst += state_ + "\r";
        while (burst.size() < 20 * 9 + 150)
            burst += state_;
        burst.resize(20 * 9 + 150);
        burst += "\r";
        sim_.Send(burst);
        const std::string next = NextState(state_);
        sim_.SetSwitches(next);
        sightings.push_back(watch_.Panel(main_, state_, next, kShownWithinMs));
        state_ = next;
        ::Sleep(random_() % kHoldMaxMs);
    }
    clock_.Sync(sim_);
    const std::vector<SimEvent> sets = Kind(sim_.Events(), 's');
    for (size_t i = 0; i < sightings.size() && i < sets.size(); ++i) {
        f.leftoverOthers += sightings[i].others;
        if (!sightings[i].seen) {
            ++f.leftoverMissed;
            continue;
        }
        f.leftoverMs.push_back((clock_.SimUs(sightings[i].atUs) - static_cast<double>(sets[i].us)) / 1000);
    }
}

// What one repaint costs the program's window thread: the refresh message
// sent from here, each call returning once the panel is painted.
void Bench::Repaints(Figures& f) {
    constexpr int kRepaints = 500;
    for (int i = 0; i < kRepaints; ++i) {
        DWORD_PTR result = 0;
        const double t0 = QpcNowUs();
        ::SendMessageTimeoutW(main_, WM_PANEL_REFRESH, 0, 0, SMTO_NORMAL, 5000, &result);
        f.repaintMs.push_back((QpcNowUs() - t0) / 1000);
    }
}

bool Bench::Run(const Program& program, Figures& f) {
    random_.seed(20240607);  // the same changes for every program
    state_ = "00000000";
    if (!sim_.SetSwitches(state_) || !sim_.SetSerial("KV-20417") || !sim_.SetDelay(kAnswerDelayMs) ||
        !Start(program))
        return false;
    std::printf("  %s: handshakes...\n", program.label);
    std::fflush(stdout);
    Handshakes(f);
    if (!Connect()) {
        std::printf("%s: not connected\n", program.label);
        Stop();
        return false;
    }
    std::printf("  %s: %d s connected and idle...\n", program.label, cpuSeconds_);
    std::fflush(stdout);
    Idle(f);
    std::printf("  %s: %d changes...\n", program.label, kChanges);
    std::fflush(stdout);
    Changes(f);
    Leftover(f);
    Repaints(f);
    Disconnect();
    Stop();
    return true;
}

void Row(const char* what, const std::string& tool, const std::string& reference, const char* limit) {
    std::printf("%-46s %-26s %-26s %s\n", what, tool.c_str(), reference.c_str(), limit);
}

std::string Fmt(const char* format, double a, double b = 0, double c = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// Median, 90th and 99th percentile and maximum, in that order.
std::string FmtQuantiles(const char* format, const std::vector<double>& v) {
    char text[96];
    std::snprintf(text, sizeof text, format, Median(v), P90(v), P99(v), Max(v));
    return text;
}

void PrintTable(const Figures& t, const Figures& r) {
    const double swinWire = 6 * kCharMs, answerWire = 9 * kCharMs;
    const double designPeriod = kPauseMs + kReplyTestMs;
    std::printf("\n%-46s %-26s %-26s %s\n", "", "tool", "reference loop", "the line's own limit / the design");
    Row("handshake, Connect to serial number shown", Fmt("%.1f ms (max %.1f)", Median(t.handshakeMs), Max(t.handshakeMs)),
        Fmt("%.1f ms (max %.1f)", Median(r.handshakeMs), Max(r.handshakeMs)),
        Fmt("wire %.2f ms; reply found at the 10 ms test", 8 * kCharMs + 9 * kCharMs).c_str());
    Row("poll period, median", Fmt("%.2f ms", Median(t.periodMs)), Fmt("%.2f ms", Median(r.periodMs)),
        Fmt("%.0f ms: Sleep(100) + the 10 ms reply test", designPeriod).c_str());
    Row("poll period, 99th percentile", Fmt("%.2f ms", P99(t.periodMs)), Fmt("%.2f ms", P99(r.periodMs)),
        Fmt("(n = %.0f polls each)", static_cast<double>(std::min(t.periodMs.size(), r.periodMs.size()))).c_str());
    Row("change to screen, med/p90/p99/max",
        FmtQuantiles("%.1f / %.1f / %.1f / %.1f", t.latencyMs), FmtQuantiles("%.1f / %.1f / %.1f / %.1f", r.latencyMs),
        Fmt("about %.0f / %.0f / %.0f ms + work", designPeriod / 2 + kReplyTestMs, designPeriod * 0.99 + kReplyTestMs,
            designPeriod + kReplyTestMs)
            .c_str());
    Row("  changes shown / missed",
        Fmt("%.0f / %.0f", static_cast<double>(t.latencyMs.size()), static_cast<double>(t.missed)),
        Fmt("%.0f / %.0f", static_cast<double>(r.latencyMs.size()), static_cast<double>(r.missed)), "");
    Row("own work, answer out to pixel, med/p90/p99",
        Fmt("%.2f / %.2f / %.2f ms", Median(t.ownWorkMs), P90(t.ownWorkMs), P99(t.ownWorkMs)),
        Fmt("%.2f / %.2f / %.2f ms", Median(r.ownWorkMs), P90(r.ownWorkMs), P99(r.ownWorkMs)),
        Fmt("%.0f ms + work: out at +%.0f ms, found at the +10 ms test", kReplyTestMs - kAnswerDelayMs,
            kAnswerDelayMs)
            .c_str());
    Row("CPU per minute connected, idle", Fmt("%.2f s (%.2f %%)", t.idleCpuPct * 0.6, t.idleCpuPct),
        Fmt("%.2f s (%.2f %%)", r.idleCpuPct * 0.6, r.idleCpuPct), "");
    Row("  Wine's server meanwhile", Fmt("%.2f s (%.2f %%)", t.idleServerPct * 0.6, t.idleServerPct),
        Fmt("%.2f s (%.2f %%)", r.idleServerPct * 0.6, r.idleServerPct), "");
    Row(Fmt("CPU per minute, switches changing (%.1f/s)", t.changesPerSecond).c_str(),
        Fmt("%.2f s (%.2f %%)", t.busyCpuPct * 0.6, t.busyCpuPct), Fmt("%.2f s (%.2f %%)", r.busyCpuPct * 0.6, r.busyCpuPct),
        "");
    Row("private memory at rest (connected, idle)", Fmt("%.0f KB", static_cast<double>(t.privateBytes) / 1024),
        Fmt("%.0f KB", static_cast<double>(r.privateBytes) / 1024), "");
    Row("handle count at rest (connected, idle)", Fmt("%.0f", t.handles), Fmt("%.0f", r.handles), "");
    Row("after leftover input: change to screen, med/max",
        Fmt("%.1f / %.1f ms", Median(t.leftoverMs), Max(t.leftoverMs)),
        Fmt("%.1f / %.1f ms", Median(r.leftoverMs), Max(r.leftoverMs)),
        Fmt("(n = %.0f; missed %.0f / %.0f)", kLeftoverTrials, t.leftoverMissed, r.leftoverMissed).c_str());
    std::printf("\nLine limits at 57600 8N1 (10 bits a character): \"?swin\\r\" %.3f ms, an 8-character answer with its CR "
                "%.3f ms, both %.3f ms;\n\"?readsn\\r\" %.3f ms. The design's period is the 100 ms pause plus 10 ms: "
                "the first reply test comes right after\nthe send, before an answer can be on a real line, so the "
                "answer is found at the second. The simulator\nanswers %d ms after each command, the wire time "
                "rounded up; its pseudo-terminal has none of its own.\n",
                swinWire, answerWire, swinWire + answerWire, 8 * kCharMs, kAnswerDelayMs);
}

void Verdict(bool met, const std::string& text) { std::printf("  %-6s %s\n", met ? "met" : "MISSED", text.c_str()); }

void PrintTargets(const Figures& t, const Figures& r) {
    std::printf("\nTargets:\n");
    const double ownMed = Median(t.ownWorkMs) - Median(r.ownWorkMs), ownP99 = P99(t.ownWorkMs) - P99(r.ownWorkMs);
    Verdict(ownMed <= 1.0, Fmt("own work within 1 ms of the reference's, median: %+.2f ms", ownMed));
    const double ownP90 = P90(t.ownWorkMs) - P90(r.ownWorkMs);
    Verdict(ownP90 <= 1.0, Fmt("own work within 1 ms of the reference's, 90th percentile: %+.2f ms", ownP90));
    Verdict(ownP99 <= 1.0, Fmt("own work within 1 ms of the reference's, 99th percentile: %+.2f ms", ownP99));
    const double period = 100 * (Median(t.periodMs) / Median(r.periodMs) - 1);
    Verdict(period <= 0.5 && period >= -0.5, Fmt("poll period within 0.5 %% of the reference's: %+.2f %%", period));
    const double idle = t.idleCpuPct - r.idleCpuPct, busy = t.busyCpuPct - r.busyCpuPct;
    Verdict(idle <= 1.0, Fmt("CPU within 1 point of the reference's, idle: %+.2f points", idle));
    Verdict(busy <= 1.0, Fmt("CPU within 1 point of the reference's, switches changing: %+.2f points", busy));
    Verdict(Max(t.handshakeMs) < 50, Fmt("handshake under 50 ms: median %.1f, max %.1f ms", Median(t.handshakeMs),
                                         Max(t.handshakeMs)));
    Verdict(t.missed == 0 && t.latencyMs.size() >= 200,
            Fmt("none of %.0f changes missed: %.0f missed", static_cast<double>(kChanges), t.missed));
    const double extraMed = Median(t.leftoverMs) - Median(t.latencyMs), extraMax = Max(t.leftoverMs) - Max(t.latencyMs);
    Verdict(t.leftoverMissed == 0 && extraMed <= Median(t.periodMs) && extraMax <= Median(t.periodMs),
            Fmt("after leftover input at most one period (%.0f ms) more: median %+.1f, max %+.1f ms",
                Median(t.periodMs), extraMed, extraMax));
}

// How long Sleep(ms) lasts on this bench, median of a few.
double SleepLastsMs(DWORD ms, int times) {
    std::vector<double> lasted;
    for (int i = 0; i < times; ++i) {
        const double t0 = QpcNowUs();
        ::Sleep(ms);
        lasted.push_back((QpcNowUs() - t0) / 1000);
    }
    return Median(lasted);
}

void PrintWhereTimeGoes(const Figures& t, const Figures& r, const Bench& bench) {
    std::printf("\nWhere the time goes (tool / reference):\n");
    std::printf("  on this bench Sleep(100) lasts %.2f ms and Sleep(10) %.2f ms (median)\n", SleepLastsMs(100, 10),
                SleepLastsMs(10, 50));
    std::printf("  handshake: Connect to \"?readsn\" at the simulator %.1f / %.1f ms; its answer to the screen "
                "%.1f / %.1f ms\n",
                Median(t.clickToCommandMs), Median(r.clickToCommandMs), Median(t.answerToShownMs),
                Median(r.answerToShownMs));
    std::printf("  poll cycle beyond the 100 ms pause: %.2f / %.2f ms (send, reply test, read)\n",
                Median(t.periodMs) - kPauseMs, Median(r.periodMs) - kPauseMs);
    std::printf("  \"?swin\" in to its answer out, at the simulator: %.3f / %.3f ms\n", Median(t.answerDelayMs),
                Median(r.answerDelayMs));
    std::printf("  \"?swin\" in to the pixel: median %.2f / %.2f ms, p90 %.2f / %.2f ms, p99 %.2f / %.2f ms\n",
                Median(t.commandToShownMs), Median(r.commandToShownMs), P90(t.commandToShownMs),
                P90(r.commandToShownMs), P99(t.commandToShownMs), P99(r.commandToShownMs));
    std::printf("  one repaint asked for by message from here until painted: median %.3f / %.3f ms, p90 %.3f / %.3f, "
                "p99 %.3f / %.3f\n",
                Median(t.repaintMs), Median(r.repaintMs), P90(t.repaintMs), P90(r.repaintMs), P99(t.repaintMs),
                P99(r.repaintMs));
    std::printf("  captures that showed neither the old nor the new state: %d / %d (after leftover input %d / %d)\n",
                t.others, r.others, t.leftoverOthers, r.leftoverOthers);
    std::printf("\nOne clock: QueryPerformanceCounter mapped onto the simulator's clock by round trips: offset %.0f us "
                "at the first sync,\ndrift %.1f ppm, each sync within +-%.0f us. The screen was read every %.2f ms "
                "(median), so a pixel's change is\nplaced within about +-%.1f ms.\n",
                bench.Clock().FirstOffsetUs(), bench.Clock().DriftPpm(), bench.Clock().UncertaintyUs(),
                bench.Watch().MedianGapMs(), bench.Watch().MedianGapMs() / 2);
}

}  // namespace

int main(int argc, char** argv) {
    const int cpuSeconds = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 60;
    ::timeBeginPeriod(1);
    std::printf("KAVRO Limit Switches: speed under Wine against the simulated controller, beside a bare loop of the "
                "same design\n");
    std::fflush(stdout);

    std::wstring error;
    PortDevices devices;
    if (!PortDevices::RemoveAll(&error) || !devices.Add(L"COM20")) {
        std::printf("cannot register COM20: %ls %ls\n", error.c_str(), devices.LastError().c_str());
        return 1;
    }
    SimController sim;
    if (!sim.Connect() || !sim.Attach(kPort)) {
        std::printf("simulator not available: %s\n", sim.LastReply().c_str());
        return 1;
    }
    Bench bench(sim, cpuSeconds);
    const std::wstring bin = BinDirectory();
    const Program tool = {"tool", bin + L"KAVRO_Display_Limit_Switches.exe", L"", L"KAVRO Limit Switches"};
    const Program reference = {"reference loop", bin + L"kavro_reference_loop.exe", std::to_wstring(kPort),
                               L"KAVRO reference loop"};
    Figures t, r;
    if (!bench.Run(tool, t) || !bench.Run(reference, r))
        return 1;
    PrintTable(t, r);
    PrintTargets(t, r);
    PrintWhereTimeGoes(t, r, bench);
    if (const char* before = std::getenv("KAVRO_BENCH_BEFORE")) {
        std::wstring path = L"Z:";
        for (const char* c = before; *c; ++c)
            path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
        const Program earlier = {"before", path, L"", L"KAVRO Limit Switches"};
        Figures b;
        if (!bench.Run(earlier, b))
            return 1;
        std::printf("\nThe same run, the build in KAVRO_BENCH_BEFORE beside this one:\n");
        std::printf("%-46s %-26s %-26s\n", "", "before", "tool");
        Row("poll period, median, against the reference's",
            Fmt("%.2f ms (%+.2f %%)", Median(b.periodMs), 100 * (Median(b.periodMs) / Median(r.periodMs) - 1)),
            Fmt("%.2f ms (%+.2f %%)", Median(t.periodMs), 100 * (Median(t.periodMs) / Median(r.periodMs) - 1)), "");
        Row("own work, answer out to pixel, med/p90/p99",
            Fmt("%.2f / %.2f / %.2f ms", Median(b.ownWorkMs), P90(b.ownWorkMs), P99(b.ownWorkMs)),
            Fmt("%.2f / %.2f / %.2f ms", Median(t.ownWorkMs), P90(t.ownWorkMs), P99(t.ownWorkMs)), "");
        Row("private memory at rest (connected, idle)", Fmt("%.0f KB", static_cast<double>(b.privateBytes) / 1024),
            Fmt("%.0f KB", static_cast<double>(t.privateBytes) / 1024), "");
    }
    ::timeEndPeriod(1);
    return 0;
}
