#include <winsock2.h>
#include <ws2tcpip.h>

#include "sim_client.h"

#include "sim/hex.h"

#include <cstdlib>
#include <optional>
#include <utility>

static_assert(sizeof(SOCKET) == sizeof(std::uintptr_t) && INVALID_SOCKET == ~std::uintptr_t{0},
              "the header keeps a SOCKET as a uintptr_t");

namespace {

bool StartWinsock(std::string& error) {
    struct Startup {
        int result;
        Startup() {
            WSADATA data;
            result = WSAStartup(MAKEWORD(2, 2), &data);
        }
    };
    static const Startup startup;
    if (startup.result != 0) {
        error = "WSAStartup failed: " + std::to_string(startup.result);
        return false;
    }
    return true;
}

// True when the text can travel as one word of a command line.
bool IsPlainWord(const std::string& text) {
    if (text.empty())
        return false;
    for (const unsigned char c : text) {
        if (c <= ' ' || c >= 0x7f)
            return false;
    }
    return true;
}

}  // namespace

SimController::~SimController() {
    Close();
}

SimController::SimController(SimController&& other) noexcept
    : socket_(std::exchange(other.socket_, kNoSocket)),
      pending_(std::move(other.pending_)),
      slavePath_(std::move(other.slavePath_)),
      lastReply_(std::move(other.lastReply_)),
      lostBecause_(std::move(other.lostBecause_)),
      succeeded_(other.succeeded_) {}

SimController& SimController::operator=(SimController&& other) noexcept {
    if (this != &other) {
        Close();
        socket_ = std::exchange(other.socket_, kNoSocket);
        pending_ = std::move(other.pending_);
        slavePath_ = std::move(other.slavePath_);
        lastReply_ = std::move(other.lastReply_);
        lostBecause_ = std::move(other.lostBecause_);
        succeeded_ = other.succeeded_;
    }
    return *this;
}

bool SimController::Connect() {
    Close();
    succeeded_ = false;
    // Kept for later commands too, which can then say why they can't run.
    const auto fail = [this](const std::string& why) {
        lastReply_ = why;
        lostBecause_ = why;
        return false;
    };
    const char* port = std::getenv("KAVRO_SIM_CONTROL");
    if (port == nullptr || *port == '\0')
        return fail("KAVRO_SIM_CONTROL is not set: run the test through the Wine wrapper, "
                    "which starts the controller simulator");
    char* end = nullptr;
    const long number = std::strtol(port, &end, 10);
    if (*end != '\0' || number <= 0 || number > 65535)
        return fail(std::string("KAVRO_SIM_CONTROL is not a port number: ") + port);
    std::string error;
    if (!StartWinsock(error))
        return fail(error);

    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return fail("socket failed: " + std::to_string(WSAGetLastError()));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(number));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int code = WSAGetLastError();
        closesocket(s);
        return fail("cannot reach the simulator on 127.0.0.1:" + std::to_string(number) + " (error " +
                    std::to_string(code) + ")");
    }
    // One short line each way per command: don't let Nagle hold them back.
    const BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    socket_ = static_cast<std::uintptr_t>(s);
    lastReply_.clear();
    lostBecause_.clear();
    succeeded_ = true;
    return true;
}

void SimController::Close() {
    if (socket_ != kNoSocket) {
        closesocket(static_cast<SOCKET>(socket_));
        socket_ = kNoSocket;
    }
    pending_.clear();
    slavePath_.clear();
}

void SimController::Fail(const std::string& why) {
    // After a lost or late reply the two sides no longer agree on which
    // reply belongs to which command: better stop than misread.
    Close();
    lastReply_ = why;
    lostBecause_ = why;
    succeeded_ = false;
}

std::string SimController::Exchange(const std::string& line, int timeoutMs) {
    succeeded_ = false;
    if (socket_ == kNoSocket) {
        lastReply_ = "not connected to the simulator";
        if (!lostBecause_.empty())
            lastReply_ += " (" + lostBecause_ + ")";
        return {};
    }

    const std::string message = line + "\n";
    size_t sent = 0;
    while (sent < message.size()) {
        const int n = send(static_cast<SOCKET>(socket_), message.data() + sent, static_cast<int>(message.size() - sent), 0);
        if (n == SOCKET_ERROR) {
            Fail("sending \"" + line + "\" failed: " + std::to_string(WSAGetLastError()));
            return {};
        }
        sent += static_cast<size_t>(n);
    }

    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    size_t end;
    while ((end = pending_.find('\n')) == std::string::npos) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            Fail("no reply to \"" + line + "\" within " + std::to_string(timeoutMs) + " ms");
            return {};
        }
        const ULONGLONG left = deadline - now;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(static_cast<SOCKET>(socket_), &readable);
        timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
        const int ready = select(0, &readable, nullptr, nullptr, &wait);
        if (ready == SOCKET_ERROR) {
            Fail("waiting for the reply to \"" + line + "\" failed: " + std::to_string(WSAGetLastError()));
            return {};
        }
        if (ready == 0)
            continue;
        char buffer[65536];
        const int n = recv(static_cast<SOCKET>(socket_), buffer, sizeof buffer, 0);
        if (n <= 0) {
            Fail("the simulator closed the connection on \"" + line + "\"");
            return {};
        }
        pending_.append(buffer, static_cast<size_t>(n));
    }

    std::string reply = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (!reply.empty() && reply.back() == '\r')
        reply.pop_back();
    lastReply_ = reply;
    succeeded_ = reply == "ok" || reply.rfind("ok ", 0) == 0;
    return reply;
}

std::string SimController::Command(const std::string& line) {
    return Exchange(line, kReplyTimeoutMs);
}

bool SimController::Ok(const std::string& line, int timeoutMs) {
    Exchange(line, timeoutMs);
    if (!succeeded_ && lastReply_.rfind("err", 0) == 0)
        lastReply_ = "\"" + line + "\": " + lastReply_;
    return succeeded_;
}

std::string SimController::Value() const {
    return lastReply_.size() > 3 ? lastReply_.substr(3) : std::string();
}

bool SimController::Attach(int port) {
    if (!Ok("attach " + std::to_string(port)))
        return false;
    slavePath_ = Value();
    return true;
}

bool SimController::Block(int port) {
    return Ok("block " + std::to_string(port));
}

bool SimController::SetSwitches(const std::string& chars) {
    if (!IsPlainWord(chars))
        return SetSwitchesHex(chars);
    return Ok("switches " + chars);
}

bool SimController::SetSwitchesHex(const std::string& bytes) {
    return Ok("switches-hex " + kavro_sim::ToHex(bytes));
}

bool SimController::SetSerial(const std::string& text) {
    // As hex, so empty text, spaces and any byte arrive exactly.
    return Ok("serial-hex " + kavro_sim::ToHex(text));
}

bool SimController::SetDelay(int ms) {
    return Ok("delay " + std::to_string(ms));
}

bool SimController::Silent() {
    return Ok("silent");
}

bool SimController::SilentAfter(int n) {
    return Ok("silent-after " + std::to_string(n));
}

bool SimController::Answer() {
    return Ok("answer");
}

bool SimController::SetCrLf(bool crlf) {
    return Ok(crlf ? "eol crlf" : "eol cr");
}

bool SimController::Send(const std::string& bytes) {
    return Ok("send " + kavro_sim::ToHex(bytes));
}

bool SimController::SetXonXoff(bool on) {
    return Ok(on ? "xonxoff on" : "xonxoff off");
}

bool SimController::Preload(const std::string& bytes) {
    return Ok("preload " + kavro_sim::ToHex(bytes));
}

bool SimController::Hangup() {
    return Ok("hangup");
}

std::string SimController::Received() {
    if (!Ok("received"))
        return {};
    const std::optional<std::string> bytes = kavro_sim::FromHex(Value());
    if (!bytes) {
        lastReply_ = "received: the simulator sent bad hex: " + lastReply_;
        succeeded_ = false;
        return {};
    }
    return *bytes;
}

bool SimController::ClearReceived() {
    return Ok("clear-received");
}

int SimController::Count(const char* what) {
    if (!Ok(std::string("count ") + what))
        return -1;
    char* end = nullptr;
    const std::string value = Value();
    const long count = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0') {
        lastReply_ = "count: not a number: " + lastReply_;
        succeeded_ = false;
        return -1;
    }
    return static_cast<int>(count);
}

std::vector<SimEvent> SimController::Events() {
    std::vector<SimEvent> events;
    if (!Ok("events"))
        return events;
    const std::string text = Value();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string item = text.substr(start, end - start);
        start = end + 1;
        const size_t first = item.find(':'), second = item.find(':', first + 1);
        std::optional<std::string> bytes;
        if (second == first + 2 && first != std::string::npos)
            bytes = kavro_sim::FromHex(item.substr(second + 1));
        if (!bytes) {
            lastReply_ = "events: bad entry \"" + item + "\"";
            succeeded_ = false;
            return {};
        }
        events.push_back({std::strtoll(item.c_str(), nullptr, 10), item[first + 1], *bytes});
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

long long SimController::Now() {
    if (!Ok("now"))
        return -1;
    return std::strtoll(Value().c_str(), nullptr, 10);
}

bool SimController::Opened() {
    return Ok("opened") && Value() == "1";
}

bool SimController::WaitOpened(bool opened, int timeoutMs) {
    // The simulator answers when the wait ends, so allow it that long and
    // the usual margin on top.
    return Ok("wait-opened " + std::string(opened ? "1 " : "0 ") + std::to_string(timeoutMs),
              timeoutMs + kReplyTimeoutMs);
}
