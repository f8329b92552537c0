// `kavro-sim serve`: controllers created and steered by tests over TCP.
//
// Each control connection owns at most one simulated controller, so a test
// that dies takes its controller and port links with it. Everything runs in
// one poll() loop on one thread; no write to a socket or a pty ever blocks it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "attached_controller.h"
#include "commands.h"

namespace kavro_sim {

struct ServeOptions {
    std::string portFile;       // receives the control port number
    std::string linksDir;       // DIR/comN links
    std::string dosDevicesDir;  // a Wine prefix's dosdevices; may be empty
};

// A port number from a command, 1 to 255; no value for anything else.
std::optional<int> ParsePortNumber(const std::string& text);

class ControlServer {
public:
    explicit ControlServer(const ServeOptions& options) : options_(options) {}
    virtual ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Makes the links folder, listens on a free loopback port and writes its
    // number to the port file. False (said on stderr) on failure.
    bool Start();
    // Serves until SIGINT or SIGTERM.
    void Run();

protected:
    // What a build that takes more commands (the tests', tests/sim/) works on.
    struct OpenedWait {
        bool value;
        Clock::time_point deadline;
    };
    struct OwnedLink {
        std::string path;
        std::string target;
    };
    struct Connection {
        int fd = -1;
        std::string in;
        std::string out;
        bool closeAfterReplies = false;
        bool dead = false;

        std::unique_ptr<AttachedController> controller;
        int port = 0;
        std::vector<OwnedLink> links;  // removed when the connection goes
        std::optional<OpenedWait> wait;
    };

    // Runs one command line of c: its reply, or no value when the reply
    // comes later (wait-opened).
    virtual std::optional<std::string> Execute(Connection& c, const CommandLine& command);
    // Points COM<port>'s links at target; c owns them from now on.
    bool PointLinks(Connection& c, int port, const std::string& target, std::string& error);
    const ServeOptions& Options() const { return options_; }

private:
    void Accept();
    void ReadFrom(Connection& c);
    void WriteTo(Connection& c);
    void ProcessLines(Connection& c);
    void CheckWait(Connection& c, Clock::time_point now);
    void Reply(Connection& c, const std::string& line);
    std::string Attach(Connection& c, const std::string& arg);
    std::optional<std::string> StartWait(Connection& c, const std::string& arg);
    std::vector<std::string> LinkPaths(int port) const;
    void Release(Connection& c);
    // Removes the connection's links that point at `target`.
    void DropLinks(Connection& c, const std::string& target);

    ServeOptions options_;
    int listen_ = -1;
    bool portFileWritten_ = false;
    std::vector<std::unique_ptr<Connection>> connections_;
};

// Starts and runs server until SIGINT or SIGTERM; the process's exit code.
int Serve(ControlServer& server);

}  // namespace kavro_sim
