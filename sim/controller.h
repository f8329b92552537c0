// The controller's side of the conversation: it collects command lines from
// the bytes the tool sends and schedules the answer lines. No I/O here; the
// caller feeds received bytes and collects whatever has fallen due.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kavro_sim {

using Clock = std::chrono::steady_clock;

// Something that happened on the line, with the moment it happened: the
// tests count the tool's poll cadence from it and the bench times changes.
struct LineEvent {
    enum Kind : char {
        Command = 'c',  // a whole command line arrived from the tool (no CR)
        Answer = 'a',   // an answer fell due and went out, terminator included
        Switches = 's', // the switch characters were set
    };
    Clock::time_point at;
    Kind kind;
    std::string bytes;
};

class Controller {
public:
    Controller();

    // Bytes that arrived from the tool at `now`.
    void Receive(const char* data, std::size_t size, Clock::time_point now);

    // Answer bytes whose time has come, in the order they were scheduled.
    std::string TakeDue(Clock::time_point now);
    std::optional<Clock::time_point> NextDue() const;

    // Noted in the event log with `now`.
    void SetSwitches(std::string chars, Clock::time_point now = Clock::now());
    const std::string& Switches() const { return switches_; }
    void SetSerial(std::string text) { serial_ = std::move(text); }
    const std::string& Serial() const { return serial_; }
    void SetDelay(std::chrono::milliseconds delay) { delay_ = delay; }
    std::chrono::milliseconds Delay() const { return delay_; }

    // Silent drops answers already scheduled too: "from now" means nothing
    // more goes out, whatever was asked before.
    void Silence();
    void Resume() { silent_ = false; }
    bool Silent() const { return silent_; }

    // Events since the start or the last ClearReceived(), oldest first.
    const std::vector<LineEvent>& Events() const { return events_; }
    long SwinCount() const { return swinCount_; }
    long ReadsnCount() const { return readsnCount_; }
    long AnsweredCount() const { return answeredCount_; }
    void ClearReceived();

private:
    void CompleteLine(Clock::time_point now);
    void Schedule(const std::string& payload, Clock::time_point now);
    void Note(Clock::time_point at, LineEvent::Kind kind, const std::string& bytes);

    struct Answer {
        Clock::time_point due;
        std::string bytes;
    };

    std::string switches_ = "00000000";
    std::string serial_;
    std::chrono::milliseconds delay_{0};
    bool silent_ = false;

    std::string line_;
    bool lineOverflow_ = false;
    std::deque<Answer> pending_;

    std::vector<LineEvent> events_;
    long swinCount_ = 0;
    long readsnCount_ = 0;
    long answeredCount_ = 0;
};

}  // namespace kavro_sim
