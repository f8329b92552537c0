#include "controller.h"

#include <algorithm>

namespace kavro_sim {

namespace {

// The real commands are a few bytes long; anything much longer is noise and
// only needs to be recognised as "not a command".
constexpr std::size_t kMaxLine = 256;

// A day of polling at ten a second, twice over; a soak looks at far less.
constexpr std::size_t kMaxEvents = 2 * 1000 * 1000;
// Event bytes kept per event: enough to tell one answer from another.
constexpr std::size_t kMaxEventBytes = 64;

}  // namespace

Controller::Controller() = default;

void Controller::Receive(const char* data, std::size_t size, Clock::time_point now) {
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n')
            continue;
        if (c == '\r') {
            CompleteLine(now);
            continue;
        }
        if (line_.size() < kMaxLine)
            line_.push_back(c);
        else
            lineOverflow_ = true;
    }
}

void Controller::SetSwitches(std::string chars, Clock::time_point now) {
    switches_ = std::move(chars);
    Note(now, LineEvent::Switches, switches_);
}

void Controller::Note(Clock::time_point at, LineEvent::Kind kind, const std::string& bytes) {
    if (events_.size() < kMaxEvents)
        events_.push_back({at, kind, bytes.substr(0, kMaxEventBytes)});
}

void Controller::CompleteLine(Clock::time_point now) {
    const bool overflow = lineOverflow_;
    std::string line;
    line.swap(line_);
    lineOverflow_ = false;
    if (overflow)
        return;
    Note(now, LineEvent::Command, line);

    // The command must be the whole line: leading noise makes it unknown,
    // and unknown lines get no answer at all.
    if (line == "?swin") {
        ++swinCount_;
        Schedule(switches_, now);
    } else if (line == "?readsn") {
        ++readsnCount_;
        Schedule(serial_, now);
    }
}

void Controller::Schedule(const std::string& payload, Clock::time_point now) {
    if (silent_)
        return;
    // The device answers one command after the other, so a shorter delay
    // set later must not let a newer answer overtake an older one.
    Clock::time_point due = now + delay_;
    if (!pending_.empty())
        due = std::max(due, pending_.back().due);
    pending_.push_back({due, payload + "\r"});
}

std::string Controller::TakeDue(Clock::time_point now) {
    std::string out;
    while (!pending_.empty() && pending_.front().due <= now) {
        Note(now, LineEvent::Answer, pending_.front().bytes);
        out += pending_.front().bytes;
        pending_.pop_front();
        ++answeredCount_;
    }
    return out;
}

std::optional<Clock::time_point> Controller::NextDue() const {
    if (pending_.empty())
        return std::nullopt;
    return pending_.front().due;
}

void Controller::Silence() {
    silent_ = true;
    pending_.clear();
}

void Controller::ClearReceived() {
    events_.clear();
    swinCount_ = 0;
    readsnCount_ = 0;
}

}  // namespace kavro_sim
