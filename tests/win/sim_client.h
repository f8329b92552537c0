// Steers the controller simulator (kavro-sim serve) from a Windows test.
// The wrapper that runs tests under Wine starts the simulator and puts its
// control port in KAVRO_SIM_CONTROL.
//
// One SimController is one control connection and owns at most one
// simulated controller. Destroying it (or Close()) pulls that controller's
// cable and removes its COMn link, so every test starts from a clean port.
//
// Every command returns false (or -1 / an empty string) on failure, and
// LastReply() then says why: the simulator's "err ..." reply or what went
// wrong on the connection. Typical use:
//     ASSERT_TRUE(sim.Attach(41)) << sim.LastReply();
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
    // How long a reply may take before the connection is given up.
    static constexpr int kReplyTimeoutMs = 10000;

    SimController() = default;
    ~SimController();
    SimController(const SimController&) = delete;
    SimController& operator=(const SimController&) = delete;
    SimController(SimController&& other) noexcept;
    SimController& operator=(SimController&& other) noexcept;

    // Connects to 127.0.0.1 on the port in KAVRO_SIM_CONTROL.
    bool Connect();
    bool Connected() const { return socket_ != kNoSocket; }
    // Pulls the cable and removes the links now.
    void Close();

    // Creates the controller behind COM<port>; SlavePath() is then its pty.
    bool Attach(int port);
    const std::string& SlavePath() const { return slavePath_; }
    // Makes COM<port> a port that can not be opened (access denied).
    bool Block(int port);

    // Switch characters as sent in the "?swin" answer, usually 8 of '0'/'1'.
    // Any bytes work: those a plain word can't carry go as hex.
    bool SetSwitches(const std::string& chars);
    // The same, always sent as hex: for NUL, CR, spaces, bytes over 0x7F.
    bool SetSwitchesHex(const std::string& bytes);
    // The "?readsn" answer; may be empty (the answer is then a bare CR).
    bool SetSerial(const std::string& text);
    // Delay before each answer to a command received from now on.
    bool SetDelay(int ms);
    // No answers from now on, not even those already scheduled.
    bool Silent();
    // Answers the next n commands, then falls silent.
    bool SilentAfter(int n);
    // Answers again after Silent() or SilentAfter().
    bool Answer();
    // Ends answers with CR LF instead of CR.
    bool SetCrLf(bool crlf);
    // Puts these bytes on the line at once. Fails (bytes dropped) when the
    // tool does not have the port open.
    bool Send(const std::string& bytes);
    // Leaves the line with XON/XOFF flow control on (or off), as a
    // terminal's defaults or an earlier program would.
    bool SetXonXoff(bool on);
    // Leaves bytes in the port's input queue even while the tool has it
    // closed, as an earlier session would: the tool finds them at its open.
    bool Preload(const std::string& bytes);
    // Closes the controller's side of the pty, as if the cable was pulled.
    bool Hangup();

    // Every byte the tool sent since attach or the last ClearReceived().
    std::string Received();
    // Clears the received bytes and the command counts.
    bool ClearReceived();
    // How many "swin" or "readsn" commands arrived; -1 on failure.
    int Count(const char* what);
    // Every event since attach or the last ClearReceived(), oldest first;
    // empty on failure (Succeeded() tells).
    std::vector<SimEvent> Events();
    // Times (us) at which a whole "?swin" command arrived, from Events().
    std::vector<long long> PollTimes();
    // The simulator's clock now, in microseconds; -1 on failure.
    long long Now();
    // Whether some process has the port open right now.
    bool Opened();
    // Waits until the open state is `opened`; false on timeout.
    bool WaitOpened(bool opened, int timeoutMs);

    // Sends one command line and returns the reply line, or an empty string
    // if the connection failed. Succeeded() tells whether it was "ok".
    std::string Command(const std::string& line);
    bool Succeeded() const { return succeeded_; }
    // The last reply, or what went wrong.
    const std::string& LastReply() const { return lastReply_; }

private:
    std::string Exchange(const std::string& line, int timeoutMs);
    bool Ok(const std::string& line, int timeoutMs = kReplyTimeoutMs);
    // "ok VALUE" -> VALUE
    std::string Value() const;
    void Fail(const std::string& why);

    // A Winsock SOCKET, kept as its underlying integer so that including this
    // header does not drag winsock2.h in ahead of the test's windows.h.
    static constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};
    std::uintptr_t socket_ = kNoSocket;
    std::string pending_;  // bytes received past the last reply line
    std::string slavePath_;
    std::string lastReply_;
    std::string lostBecause_;  // why the connection was given up
    bool succeeded_ = false;
};
