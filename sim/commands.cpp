#include "commands.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

namespace kavro_sim {

namespace {

std::optional<long> ParseNumber(const std::string& text, long min, long max) {
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < min || value > max)
        return std::nullopt;
    return value;
}

std::string Ok(const std::string& value = {}) {
    return value.empty() ? "ok" : "ok " + value;
}

long long Microseconds(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

// "T:K:HEX" per event, space-separated; T in microseconds of the clock `now` reads.
std::string EventsText(const std::vector<LineEvent>& events) {
    std::string text;
    for (const LineEvent& e : events) {
        if (!text.empty())
            text += ' ';
        text += std::to_string(Microseconds(e.at)) + ':' + static_cast<char>(e.kind) + ':' + ToHex(e.bytes);
    }
    return text;
}

}  // namespace

CommandLine SplitCommand(const std::string& line) {
    const std::size_t space = line.find(' ');
    if (space == std::string::npos)
        return {line, {}};
    return {line.substr(0, space), line.substr(space + 1)};
}

bool IsControllerCommand(const std::string& verb) {
    static const char* const verbs[] = {"switches", "switches-hex", "serial-hex", "delay", "send",
                                        "clear-received", "count", "events", "now"};
    for (const char* known : verbs) {
        if (verb == known)
            return true;
    }
    return false;
}

std::optional<std::string> RunControllerCommand(AttachedController& target, const CommandLine& command) {
    Controller& logic = target.Logic();
    const std::string& verb = command.verb;
    const std::string& arg = command.argument;

    if (verb == "switches") {
        if (arg.empty() || arg.find(' ') != std::string::npos)
            return "err switches takes one word; use switches-hex for other bytes";
        logic.SetSwitches(arg);
        return Ok();
    }
    if (verb == "switches-hex" || verb == "serial-hex" || verb == "send") {
        const std::optional<std::string> bytes = FromHex(arg);
        if (!bytes)
            return "err bad hex: " + arg;
        if (verb == "switches-hex")
            logic.SetSwitches(*bytes);
        else if (verb == "serial-hex")
            logic.SetSerial(*bytes);
        else if (!target.SendRaw(*bytes))
            return "err the port is not open, bytes dropped";
        return Ok();
    }
    if (verb == "delay") {
        const std::optional<long> ms = ParseNumber(arg, 0, 24L * 3600 * 1000);
        if (!ms)
            return "err delay wants milliseconds: " + arg;
        logic.SetDelay(std::chrono::milliseconds(*ms));
        return Ok();
    }
    if (verb == "clear-received") {
        logic.ClearReceived();
        return Ok();
    }
    if (verb == "count") {
        if (arg == "swin")
            return Ok(std::to_string(logic.SwinCount()));
        if (arg == "readsn")
            return Ok(std::to_string(logic.ReadsnCount()));
        return "err count swin or count readsn";
    }
    if (verb == "events")
        return Ok(EventsText(logic.Events()));
    if (verb == "now")
        return Ok(std::to_string(Microseconds(Clock::now())));
    return std::nullopt;
}

}  // namespace kavro_sim
