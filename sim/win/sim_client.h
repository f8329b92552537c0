// Steers the controller simulator (kavro-sim serve) from a Windows program:
// the tests and the bench. scripts/wine-exec.sh starts the simulator and
// puts its control port in KAVRO_SIM_CONTROL.
//
// One SimController is one control connection and owns at most one
// simulated controller. Destroying it pulls that controller's cable and
// removes its COMn link, so every user starts from a clean port.
//
// Every command returns false (or -1, or an empty result) on failure, and
// LastReply() then says why: the simulator's "err ..." reply or what went
// wrong on the connection. Typical use:
//     ASSERT_TRUE(sim.Connect() && sim.Attach(11)) << sim.LastReply();
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Something the simulator saw or did on the line; see Events().
struct SimEvent {
    long long us;  // the simulator's clock, as Now() reads it
    char kind;     // 'c' command from the tool, 'a' answer sent, 's' switches set
    std::string bytes;
};

class SimController {
public:
    SimController() = default;
    ~SimController() { Close(); }
    SimController(const SimController&) = delete;
    SimController& operator=(const SimController&) = delete;

    // Connects to 127.0.0.1 on the port in KAVRO_SIM_CONTROL.
    bool Connect();
    // Pulls the cable and removes the links now.
    void Close();

    // Creates the controller behind COM<port>.
    bool Attach(int port);

    // The "?swin" answer: usually 8 of '0'/'1', but any bytes (NUL, CR, bytes
    // over 0x7F) arrive exactly.
    bool SetSwitches(const std::string& bytes);
    // The "?readsn" answer; may be empty (the answer is then a bare CR).
    bool SetSerial(const std::string& text);
    // Delay before each answer to a command received from now on.
    bool SetDelay(int ms);
    // Puts these bytes on the line at once; fails (bytes dropped) when the
    // tool does not have the port open.
    bool Send(const std::string& bytes);

    // Clears the command counts and the events.
    bool ClearReceived();
    // How many "swin" or "readsn" commands arrived; -1 on failure.
    int Count(const char* what);
    // Every event since attach or the last ClearReceived(), oldest first.
    std::vector<SimEvent> Events();
    // Times (us) at which a whole "?swin" command arrived, from Events().
    std::vector<long long> PollTimes();
    // The simulator's clock now, in microseconds; -1 on failure.
    long long Now();
    // Waits until the open state is `opened`; false on timeout.
    bool WaitOpened(bool opened, int timeoutMs);

    // The last reply, or what went wrong.
    const std::string& LastReply() const { return lastReply_; }

protected:
    // Sends one command line; true for an "ok" reply, whose value (the text
    // after "ok ") is then in value_.
    bool Ok(const std::string& line, int timeoutMs = kReplyTimeoutMs);

private:
    bool Fail(const std::string& why);

    // How long a reply may take before the connection is given up.
    static constexpr int kReplyTimeoutMs = 10000;
    // A Winsock SOCKET, kept as its integer so that this header does not
    // drag winsock2.h in ahead of a user's windows.h.
    static constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};
    std::uintptr_t socket_ = kNoSocket;
    std::string pending_;  // bytes received past the last reply line
    std::string value_;
    std::string lastReply_;
};
