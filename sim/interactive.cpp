#include "interactive.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "attached_controller.h"
#include "commands.h"
#include "event_wait.h"
#include "links.h"

namespace kavro_sim {

namespace {

// The tool asks ten times a second; a status line redrawn at that rate would
// only flicker.
constexpr auto kStatusInterval = std::chrono::milliseconds(250);
// Without a terminal the status goes to a log: one line now and then.
constexpr auto kLogInterval = std::chrono::seconds(5);

class TerminalMode {
public:
    // Keys act at once and are not echoed. Output processing stays on so
    // "\n" still starts a new line.
    bool EnterKeys() {
        if (tcgetattr(STDIN_FILENO, &saved_) != 0)
            return false;
        termios keys = saved_;
        keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
        keys.c_cc[VMIN] = 1;
        keys.c_cc[VTIME] = 0;
        if (tcsetattr(STDIN_FILENO, TCSANOW, &keys) != 0)
            return false;
        active_ = true;
        return true;
    }
    ~TerminalMode() {
        if (active_)
            tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }

private:
    termios saved_{};
    bool active_ = false;
};

class Session {
public:
    Session(const InteractiveOptions& options, bool keys) : options_(options), keys_(keys) {}
    ~Session() {
        if (linked_)
            RemoveSymlinkIfTarget(options_.link, controller_.SlavePath());
    }

    bool Start();
    void Run();

private:
    void OnKey(char key);
    void OnInputLine(const std::string& line);
    void ReadStdin();
    void ShowStatus(Clock::time_point now, bool force);
    void Note(const std::string& text);

    InteractiveOptions options_;
    bool keys_;
    bool linked_ = false;
    bool stdinOpen_ = true;
    bool quit_ = false;
    std::string pendingInput_;
    AttachedController controller_;

    Clock::time_point lastStatus_{};
    std::string lastStatusText_;
};

bool Session::Start() {
    std::string error;
    if (!controller_.Create(error)) {
        std::fprintf(stderr, "kavro-sim: %s\n", error.c_str());
        return false;
    }
    if (!ReplaceSymlink(controller_.SlavePath(), options_.link, error)) {
        std::fprintf(stderr, "kavro-sim: %s\n", error.c_str());
        return false;
    }
    linked_ = true;
    controller_.Logic().SetSerial(options_.serial);
    controller_.Logic().SetSwitches(options_.switches);

    std::printf("kavro-sim: controller on %s, linked as %s\n", controller_.SlavePath().c_str(),
                options_.link.c_str());
    if (keys_) {
        std::printf("keys: 1-8 toggle a switch, s toggles silence, q quits\n");
    } else {
        std::printf("reading control commands from stdin (e.g. \"switches 10100000\"); stop with SIGTERM\n");
    }
    std::printf("switches %s\n", controller_.Logic().Switches().c_str());
    std::fflush(stdout);
    return true;
}

void Session::Run() {
    std::vector<pollfd> fds;
    while (!quit_ && !StopRequested()) {
        const Clock::time_point now = Clock::now();
        fds.clear();
        if (stdinOpen_)
            fds.push_back({STDIN_FILENO, POLLIN, 0});
        controller_.AddPollFds(fds);
        std::optional<Clock::time_point> deadline = controller_.NextDeadline(now);
        // Wake up now and then to show counts that changed meanwhile.
        deadline = Earliest(deadline, lastStatus_ + (keys_ ? kStatusInterval : kLogInterval));

        WaitForEvents(fds, deadline);
        if (StopRequested())
            break;
        if (stdinOpen_ && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            ReadStdin();
        controller_.Service(Clock::now());
        ShowStatus(Clock::now(), false);
    }
    if (keys_)
        std::printf("\n");
    std::fflush(stdout);
}

void Session::ReadStdin() {
    char buffer[1024];
    ssize_t n;
    do {
        n = read(STDIN_FILENO, buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        // Run in the background with nothing on stdin: keep serving.
        stdinOpen_ = false;
        return;
    }
    if (keys_) {
        for (ssize_t i = 0; i < n; ++i)
            OnKey(buffer[i]);
        return;
    }
    pendingInput_.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = pendingInput_.find('\n')) != std::string::npos) {
        std::string line = pendingInput_.substr(0, end);
        pendingInput_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            OnInputLine(line);
    }
}

void Session::OnKey(char key) {
    Controller& logic = controller_.Logic();
    if (key == 'q' || key == 3 /* Ctrl-C, ISIG is off */) {
        quit_ = true;
        return;
    }
    if (key == 's') {
        if (logic.Silent())
            logic.Resume();
        else
            logic.Silence();
        Note(logic.Silent() ? "silent" : "answering");
        return;
    }
    if (key >= '1' && key <= '8') {
        std::string switches = logic.Switches();
        const std::size_t index = static_cast<std::size_t>(key - '1');
        if (index >= switches.size())
            switches.resize(index + 1, '0');
        switches[index] = switches[index] == '1' ? '0' : '1';
        logic.SetSwitches(switches);
        Note("switches " + switches);
    }
}

void Session::OnInputLine(const std::string& line) {
    const CommandLine command = SplitCommand(line);
    if (command.verb == "quit") {
        quit_ = true;
        return;
    }
    const std::optional<std::string> reply = RunControllerCommand(controller_, command);
    Note(line + " -> " + (reply ? *reply : "err unknown command"));
}

void Session::Note(const std::string& text) {
    if (keys_) {
        std::printf("\r\033[K%s\n", text.c_str());
        ShowStatus(Clock::now(), true);
    } else {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
}

void Session::ShowStatus(Clock::time_point now, bool force) {
    if (!force && now - lastStatus_ < (keys_ ? kStatusInterval : kLogInterval))
        return;
    const Controller& logic = controller_.Logic();
    const char* port = !controller_.Port().Connected() ? "hung up" : controller_.Opened() ? "open" : "closed";
    char text[512];
    std::snprintf(text, sizeof text, "switches %s | %s | port %s | ?swin %ld ?readsn %ld | answers sent %ld",
                  logic.Switches().c_str(), logic.Silent() ? "silent" : "answering", port,
                  logic.SwinCount(), logic.ReadsnCount(), logic.AnsweredCount());
    lastStatus_ = now;
    if (keys_) {
        // One line, redrawn in place.
        std::printf("\r\033[K%s", text);
    } else if (force || text != lastStatusText_) {
        // A log: a line only when something changed.
        std::printf("%s\n", text);
    }
    lastStatusText_ = text;
    std::fflush(stdout);
}

}  // namespace

int RunInteractive(const InteractiveOptions& options) {
    InstallStopSignals();
    const bool keys = isatty(STDIN_FILENO) != 0;
    TerminalMode terminal;
    if (keys && !terminal.EnterKeys()) {
        std::fprintf(stderr, "kavro-sim: cannot set the terminal to single keys\n");
        return 1;
    }
    Session session(options, keys);
    if (!session.Start())
        return 1;
    session.Run();
    return 0;
}

}  // namespace kavro_sim
