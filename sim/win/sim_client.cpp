#include <winsock2.h>
#include <ws2tcpip.h>

#include "sim/win/sim_client.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "sim/hex.h"

static_assert(sizeof(SOCKET) == sizeof(std::uintptr_t) && INVALID_SOCKET == ~std::uintptr_t{0},
              "the header keeps a SOCKET as a uintptr_t");

bool SimController::Fail(const std::string& why) {
    // After a lost or late reply the two sides no longer agree on which
    // reply belongs to which command: better stop than misread.
    Close();
    lastReply_ = why;
    return false;
}

bool SimController::Connect() {
    Close();
    const char* port = std::getenv("KAVRO_SIM_CONTROL");
    const int number = port ? std::atoi(port) : 0;
    if (number <= 0 || number > 65535)
        return Fail("KAVRO_SIM_CONTROL holds no port: run through scripts/wine-exec.sh, which starts the simulator");
    static const int started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (started != 0)
        return Fail("WSAStartup failed: " + std::to_string(started));
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(number));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s == INVALID_SOCKET || connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int code = WSAGetLastError();
        if (s != INVALID_SOCKET)
            closesocket(s);
        return Fail("cannot reach the simulator on port " + std::to_string(number) + ": error " + std::to_string(code));
    }
    // One short line each way per command: don't let Nagle hold them back.
    const BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    socket_ = static_cast<std::uintptr_t>(s);
    return true;
}

void SimController::Close() {
    if (socket_ != kNoSocket)
        closesocket(static_cast<SOCKET>(socket_));
    socket_ = kNoSocket;
    pending_.clear();
}

bool SimController::Ok(const std::string& line, int timeoutMs) {
    if (socket_ == kNoSocket)
        return Fail("not connected to the simulator (" + lastReply_ + ")");
    const std::string message = line + "\n";
    if (send(static_cast<SOCKET>(socket_), message.data(), static_cast<int>(message.size()), 0) !=
        static_cast<int>(message.size()))
        return Fail("sending \"" + line + "\" failed: " + std::to_string(WSAGetLastError()));

    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    size_t end;
    while ((end = pending_.find('\n')) == std::string::npos) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return Fail("no reply to \"" + line + "\" within " + std::to_string(timeoutMs) + " ms");
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(static_cast<SOCKET>(socket_), &readable);
        const ULONGLONG left = deadline - now;
        timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0)
            continue;
        char buffer[65536];
        const int n = recv(static_cast<SOCKET>(socket_), buffer, sizeof buffer, 0);
        if (n <= 0)
            return Fail("the simulator closed the connection on \"" + line + "\"");
        pending_.append(buffer, static_cast<size_t>(n));
    }
    lastReply_ = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (lastReply_ != "ok" && lastReply_.rfind("ok ", 0) != 0) {
        lastReply_ = "\"" + line + "\": " + lastReply_;
        return false;
    }
    value_ = lastReply_.size() > 3 ? lastReply_.substr(3) : std::string();
    return true;
}

bool SimController::Attach(int port) { return Ok("attach " + std::to_string(port)); }
bool SimController::SetSwitches(const std::string& bytes) { return Ok("switches-hex " + kavro_sim::ToHex(bytes)); }
bool SimController::SetSerial(const std::string& text) { return Ok("serial-hex " + kavro_sim::ToHex(text)); }
bool SimController::SetDelay(int ms) { return Ok("delay " + std::to_string(ms)); }
bool SimController::Send(const std::string& bytes) { return Ok("send " + kavro_sim::ToHex(bytes)); }
bool SimController::ClearReceived() { return Ok("clear-received"); }

int SimController::Count(const char* what) { return Ok(std::string("count ") + what) ? std::atoi(value_.c_str()) : -1; }

long long SimController::Now() { return Ok("now") ? std::strtoll(value_.c_str(), nullptr, 10) : -1; }

std::vector<SimEvent> SimController::Events() {
    // "T:K:HEX" per event, separated by spaces.
    std::vector<SimEvent> events;
    if (!Ok("events"))
        return events;
    size_t start = 0;
    while (start < value_.size()) {
        const size_t end = std::min(value_.find(' ', start), value_.size());
        const std::string item = value_.substr(start, end - start);
        start = end + 1;
        const size_t colon = item.find(':');
        if (colon == std::string::npos || item.size() < colon + 3 || item[colon + 2] != ':')
            return {};
        const std::optional<std::string> bytes = kavro_sim::FromHex(item.substr(colon + 3));
        if (!bytes)
            return {};
        events.push_back({std::strtoll(item.c_str(), nullptr, 10), item[colon + 1], *bytes});
    }
    return events;
}

std::vector<long long> SimController::PollTimes() {
    std::vector<long long> times;
    for (const SimEvent& e : Events()) {
        if (e.kind == 'c' && e.bytes == "?swin")
            times.push_back(e.us);
    }
    return times;
}

bool SimController::WaitOpened(bool opened, int timeoutMs) {
    // The simulator answers when the wait ends: allow it that long and more.
    return Ok("wait-opened " + std::string(opened ? "1 " : "0 ") + std::to_string(timeoutMs),
              timeoutMs + kReplyTimeoutMs);
}
