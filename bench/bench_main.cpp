// Speed figures of the tool against the simulated controller, printed, not
// asserted: start-up to a visible window, the poll period, the time from a
// switch change at the controller to the repaint request, line reading,
// and how long a disconnect waits for the worker.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "serial/com_link.h"
#include "tests/win/dialog_driver.h"
#include "tests/win/port_devices.h"
#include "tests/win/sim_client.h"

namespace {

constexpr int kPort = 20;

double Ms(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t;
}

void Report(const char* what, std::vector<double> samples) {
    if (samples.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    std::sort(samples.begin(), samples.end());
    std::printf("%-44s median %7.1f ms   min %7.1f   max %7.1f   (n=%zu)\n", what, samples[samples.size() / 2],
                samples.front(), samples.back(), samples.size());
}

std::wstring ToolPath() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    dir.erase(dir.find_last_of(L"\\/"));
    return dir + L"\\KAVRO_Display_Limit_Switches.exe";
}

// Start of the real executable until its window is visible, then closed.
void StartUp() {
    std::vector<double> samples;
    for (int i = 0; i < 5; ++i) {
        std::wstring command = L"\"" + ToolPath() + L"\"";
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        const LARGE_INTEGER start = Now();
        if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            std::printf("start-up: cannot start %ls\n", command.c_str());
            return;
        }
        HWND window = nullptr;
        DialogDriver::WaitUntil(
            [&] {
                window = ::FindWindowW(L"#32770", L"KAVRO Limit Switches");
                return window && ::IsWindowVisible(window);
            },
            20000);
        samples.push_back(Ms(start, Now()));
        if (window)
            ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (::WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
            ::TerminateProcess(pi.hProcess, 1);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    Report("start-up to visible window", samples);
}

void Polling() {
    PortDevices devices;
    devices.AddPortName(L"COM20");
    SimController sim;
    if (!sim.Connect() || !sim.Attach(kPort)) {
        std::printf("polling: simulator not available: %s\n", sim.LastReply().c_str());
        return;
    }
    DialogDriver driver;
    TestDialog& dlg = driver.Dialog();
    driver.ChoosePort(L"COM20");

    std::vector<double> connects;
    std::vector<double> periods;
    std::vector<double> changes;
    std::vector<double> disconnects;
    for (int round = 0; round < 3; ++round) {
        LARGE_INTEGER t0 = Now();
        driver.ClickConnect();
        DialogDriver::WaitUntil([&] { return driver.ButtonText() == L"Disconnect"; }, 10000);
        connects.push_back(Ms(t0, Now()));

        // Poll period over 2 s.
        const int polls0 = sim.Count("swin");
        t0 = Now();
        ::Sleep(2000);
        const int polls = sim.Count("swin") - polls0;
        if (polls > 0)
            periods.push_back(Ms(t0, Now()) / polls);

        // Switch change at the controller until the repaint request arrives.
        for (int i = 0; i < 10; ++i) {
            const int before = dlg.m_panelRefreshes;
            sim.SetSwitches(i % 2 ? "00000000" : "10101010");
            t0 = Now();
            DialogDriver::WaitUntil([&] { return dlg.m_panelRefreshes > before; }, 5000);
            changes.push_back(Ms(t0, Now()));
        }

        t0 = Now();
        driver.ClickConnect();
        DialogDriver::WaitUntil([&] { return driver.ButtonText() == L"Connect"; }, 10000);
        disconnects.push_back(Ms(t0, Now()));
    }
    Report("connect (open, serial number, worker start)", connects);
    Report("poll period", periods);
    Report("switch change to repaint request", changes);
    Report("disconnect (stop, join, close)", disconnects);
}

void LineReading() {
    SimController sim;
    if (!sim.Connect() || !sim.Attach(kPort))
        return;
    g_portNumber = kPort;
    if (!theComLink.Open())
        return;
    std::vector<double> waits, reads;
    for (int i = 0; i < 20; ++i) {
        char buffer[kLineBufferSize];
        const LARGE_INTEGER t0 = Now();
        theComLink.SendData("?swin\r", 6);
        const bool answered = [&] {
            for (int k = 0; k < 2000; ++k) {
                if (theComLink.InputWaiting())
                    return true;
                ::Sleep(1);
            }
            return false;
        }();
        const LARGE_INTEGER t1 = Now();
        if (answered)
            theComLink.ReadLine(buffer);
        waits.push_back(Ms(t0, t1));
        reads.push_back(Ms(t1, Now()));
    }
    theComLink.Close();
    Report("send to first answer byte (1 ms polling)", waits);
    Report("ReadLine of an 8-character answer", reads);
}

}  // namespace

int main() {
    std::printf("KAVRO Limit Switches: speed under Wine against the simulator\n");
    StartUp();
    Polling();
    LineReading();
    return 0;
}
