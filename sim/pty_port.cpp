#include "pty_port.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

namespace kavro_sim {

namespace {

std::string Describe(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

PtyPort::~PtyPort() {
    Hangup();
}

bool PtyPort::Create(std::string& error) {
    Hangup();
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        error = Describe("posix_openpt");
        return false;
    }
    const char* name = nullptr;
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || (name = ptsname(master_)) == nullptr) {
        error = Describe("pty setup");
        Hangup();
        return false;
    }
    slavePath_ = name;

    // Raw mode set through the master applies to the slave. A fresh pty has
    // IXON set, so an XOFF byte from the tool would freeze the line.
    termios tio{};
    if (tcgetattr(master_, &tio) != 0) {
        error = Describe("tcgetattr");
        Hangup();
        return false;
    }
    cfmakeraw(&tio);
    if (tcsetattr(master_, TCSANOW, &tio) != 0) {
        error = Describe("tcsetattr");
        Hangup();
        return false;
    }

    // A slave that was never opened reports no hang-up on the master, so it
    // would look "open". One open and close puts it in the closed state.
    const int slave = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        error = Describe("opening the slave once");
        Hangup();
        return false;
    }
    close(slave);

    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 && inotify_add_watch(watch_, slavePath_.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        close(watch_);
        watch_ = -1;
    }
    return true;
}

void PtyPort::DrainWatch() {
    if (watch_ < 0)
        return;
    char events[4096];
    while (read(watch_, events, sizeof events) > 0) {
    }
}

bool PtyPort::SlaveOpen() const {
    if (master_ < 0)
        return false;
    pollfd p{master_, POLLIN, 0};
    while (poll(&p, 1, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return (p.revents & POLLHUP) == 0;
}

std::size_t PtyPort::Read(char* buffer, std::size_t size) {
    if (master_ < 0)
        return 0;
    for (;;) {
        const ssize_t n = read(master_, buffer, size);
        if (n > 0)
            return static_cast<std::size_t>(n);
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: nothing waiting. EIO: no slave open, which is normal.
        return 0;
    }
}

void PtyPort::Write(const std::string& bytes) {
    if (master_ < 0)
        return;
    out_ += bytes;
    Flush();
}

void PtyPort::Flush() {
    while (master_ >= 0 && !out_.empty()) {
        const ssize_t n = write(master_, out_.data(), out_.size());
        if (n > 0) {
            out_.erase(0, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: the pty buffer is full, the rest waits for POLLOUT.
        // Anything else: the line is gone, the bytes with it.
        if (!(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)))
            out_.clear();
        return;
    }
}

void PtyPort::DiscardUndelivered() {
    out_.clear();
    if (master_ < 0)
        return;
    // What the slave has not read yet sits in the slave's input queue, which
    // only a flush on the slave empties (a flush on the master does not).
    const int slave = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0)
        return;
    tcflush(slave, TCIFLUSH);
    close(slave);
}

void PtyPort::Hangup() {
    if (watch_ >= 0) {
        close(watch_);
        watch_ = -1;
    }
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
    out_.clear();
}

}  // namespace kavro_sim
