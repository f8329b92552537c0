#include "control_server.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "event_wait.h"
#include "links.h"

namespace kavro_sim {

namespace {

// A client that sends this much without a line end is not a test.
constexpr std::size_t kMaxPendingInput = 8 * 1024 * 1024;
// A client that stops reading its replies gets dropped past this.
constexpr std::size_t kMaxPendingOutput = 64 * 1024 * 1024;
// How often a pending wait-opened looks again, on top of the pty events.
constexpr auto kWaitRecheck = std::chrono::milliseconds(20);

}  // namespace

std::optional<int> ParsePortNumber(const std::string& text) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int port = std::stoi(text);
    if (port < 1 || port > 255)
        return std::nullopt;
    return port;
}

ControlServer::~ControlServer() {
    for (auto& c : connections_)
        Release(*c);
    if (listen_ >= 0)
        close(listen_);
    if (portFileWritten_)
        unlink(options_.portFile.c_str());
}

bool ControlServer::Start() {
    if (mkdir(options_.linksDir.c_str(), 0755) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "kavro-sim: %s: %s\n", options_.linksDir.c_str(), std::strerror(errno));
        return false;
    }
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listen_ < 0) {
        std::perror("kavro-sim: socket");
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // the kernel picks a free one
    socklen_t length = sizeof address;
    if (bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listen_, 64) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("kavro-sim: control socket");
        return false;
    }
    const unsigned port = ntohs(address.sin_port);

    // Readers poll for the file: it must appear whole or not at all.
    const std::string temporary = options_.portFile + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "w");
    if (file == nullptr) {
        std::fprintf(stderr, "kavro-sim: %s: %s\n", temporary.c_str(), std::strerror(errno));
        return false;
    }
    const bool written = std::fprintf(file, "%u\n", port) > 0;
    if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), options_.portFile.c_str()) != 0) {
        std::fprintf(stderr, "kavro-sim: writing %s failed\n", options_.portFile.c_str());
        unlink(temporary.c_str());
        return false;
    }
    portFileWritten_ = true;
    std::fprintf(stderr, "kavro-sim: control port %u\n", port);
    return true;
}

void ControlServer::Run() {
    std::vector<pollfd> fds;
    while (!StopRequested()) {
        const Clock::time_point now = Clock::now();
        fds.clear();
        fds.push_back({listen_, POLLIN, 0});
        std::optional<Clock::time_point> deadline;
        for (const auto& c : connections_) {
            short events = 0;
            if (!c->closeAfterReplies)
                events |= POLLIN;
            if (!c->out.empty())
                events |= POLLOUT;
            fds.push_back({c->fd, events, 0});
            if (c->controller) {
                c->controller->AddPollFds(fds);
                deadline = Earliest(deadline, c->controller->NextDeadline(now));
            }
            if (c->wait)
                deadline = Earliest(deadline, std::min(c->wait->deadline, now + kWaitRecheck));
        }

        WaitForEvents(fds, deadline);
        if (StopRequested())
            break;

        if (fds[0].revents & POLLIN)
            Accept();

        const Clock::time_point after = Clock::now();
        // Connections accepted just now are not in `fds`; they are served on
        // the next pass.
        const std::size_t served = connections_.size();
        for (std::size_t i = 0; i < served; ++i) {
            Connection& c = *connections_[i];
            if (c.controller)
                c.controller->Service(after);
            ReadFrom(c);
            CheckWait(c, after);
            ProcessLines(c);
            WriteTo(c);
        }

        for (std::size_t i = 0; i < connections_.size();) {
            if (connections_[i]->dead) {
                Release(*connections_[i]);
                connections_.erase(connections_.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
    }
}

void ControlServer::Accept() {
    for (;;) {
        const int fd = accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;  // EAGAIN, or out of descriptors: try again later
        }
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        connections_.push_back(std::move(c));
    }
}

void ControlServer::ReadFrom(Connection& c) {
    if (c.dead || c.closeAfterReplies)
        return;
    char buffer[65536];
    for (;;) {
        const ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            c.in.append(buffer, static_cast<std::size_t>(n));
            if (c.in.size() > kMaxPendingInput) {
                c.dead = true;
                return;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        c.dead = true;  // orderly close or a reset
        return;
    }
}

void ControlServer::WriteTo(Connection& c) {
    while (!c.dead && !c.out.empty()) {
        const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n > 0) {
            c.out.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        c.dead = true;
    }
    if (c.out.size() > kMaxPendingOutput)
        c.dead = true;
    if (c.closeAfterReplies && c.out.empty())
        c.dead = true;
}

void ControlServer::Reply(Connection& c, const std::string& line) {
    c.out += line;
    c.out += '\n';
}

void ControlServer::ProcessLines(Connection& c) {
    // Replies go out in command order, so nothing after a pending wait runs
    // before the wait has its answer.
    while (!c.dead && !c.closeAfterReplies && !c.wait) {
        const std::size_t end = c.in.find('\n');
        if (end == std::string::npos)
            return;
        std::string line = c.in.substr(0, end);
        c.in.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (const std::optional<std::string> reply = Execute(c, SplitCommand(line)))
            Reply(c, *reply);
    }
}

void ControlServer::CheckWait(Connection& c, Clock::time_point now) {
    if (!c.wait)
        return;
    if (c.controller->Opened() == c.wait->value) {
        c.wait.reset();
        Reply(c, "ok");
    } else if (now >= c.wait->deadline) {
        c.wait.reset();
        Reply(c, "err timeout");
    }
}

std::optional<std::string> ControlServer::Execute(Connection& c, const CommandLine& command) {
    if (command.verb.empty())
        return std::string("err empty command");
    if (command.verb == "attach")
        return Attach(c, command.argument);
    if (command.verb == "quit") {
        c.closeAfterReplies = true;
        return std::string("ok");
    }
    if (command.verb == "wait-opened")
        return StartWait(c, command.argument);
    if (!IsControllerCommand(command.verb))
        return "err unknown command: " + command.verb;
    if (!c.controller)
        return std::string("err attach a port first");
    return RunControllerCommand(*c.controller, command);
}

std::vector<std::string> ControlServer::LinkPaths(int port) const {
    std::vector<std::string> paths{options_.linksDir + "/" + PortLinkName(port)};
    if (!options_.dosDevicesDir.empty())
        paths.push_back(options_.dosDevicesDir + "/" + PortLinkName(port));
    return paths;
}

bool ControlServer::PointLinks(Connection& c, int port, const std::string& target, std::string& error) {
    for (const std::string& link : LinkPaths(port)) {
        if (!ReplaceSymlink(target, link, error))
            return false;
        // The name now belongs to this connection: whoever had it before
        // must not remove it when they go.
        for (auto& other : connections_) {
            auto& owned = other->links;
            owned.erase(std::remove_if(owned.begin(), owned.end(),
                                       [&](const OwnedLink& l) { return l.path == link; }),
                        owned.end());
        }
        c.links.push_back({link, target});
    }
    return true;
}

std::string ControlServer::Attach(Connection& c, const std::string& arg) {
    if (c.controller)
        return "err this connection already has a controller";
    const std::optional<int> port = ParsePortNumber(arg);
    if (!port)
        return "err attach wants a port number 1..255: " + arg;

    auto controller = std::make_unique<AttachedController>();
    std::string error;
    if (!controller->Create(error))
        return "err " + error;
    if (!PointLinks(c, *port, controller->SlavePath(), error)) {
        DropLinks(c, controller->SlavePath());
        return "err " + error;
    }
    c.port = *port;
    c.controller = std::move(controller);
    return "ok " + c.controller->SlavePath();
}

std::optional<std::string> ControlServer::StartWait(Connection& c, const std::string& arg) {
    if (!c.controller)
        return std::string("err attach a port first");
    const CommandLine parts = SplitCommand(arg);
    char* end = nullptr;
    const long timeout = std::strtol(parts.argument.c_str(), &end, 10);
    if ((parts.verb != "0" && parts.verb != "1") || parts.argument.empty() || *end != '\0' || timeout < 0)
        return std::string("err wait-opened 0|1 TIMEOUT_MS");
    c.wait = OpenedWait{parts.verb == "1", Clock::now() + std::chrono::milliseconds(timeout)};
    CheckWait(c, Clock::now());
    return std::nullopt;  // the reply comes from CheckWait, now or later
}

void ControlServer::DropLinks(Connection& c, const std::string& target) {
    auto& links = c.links;
    for (const OwnedLink& link : links) {
        if (link.target == target)
            RemoveSymlinkIfTarget(link.path, link.target);
    }
    links.erase(std::remove_if(links.begin(), links.end(),
                               [&](const OwnedLink& l) { return l.target == target; }),
                links.end());
}

void ControlServer::Release(Connection& c) {
    if (c.controller)
        c.controller->Hangup();
    for (const OwnedLink& link : c.links)
        RemoveSymlinkIfTarget(link.path, link.target);
    c.links.clear();
    if (c.fd >= 0)
        close(c.fd);
    c.fd = -1;
}

int Serve(ControlServer& server) {
    InstallStopSignals();
    if (!server.Start())
        return 1;
    server.Run();
    return 0;
}

}  // namespace kavro_sim
