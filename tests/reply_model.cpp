#include "tests/reply_model.h"

#include <cstring>
#include <memory>

#include "device/switch_state.h"

namespace {

constexpr size_t kBufferBytes = 100;
constexpr size_t kMaxLineBytes = kBufferBytes - 1;

std::string Text(const Flags& flags) {
    std::string text;
    for (int f : flags)
        text += static_cast<char>('0' + f);
    return text;
}

}  // namespace

std::vector<std::string> LinesAsPolled(const std::string& wire) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : wire) {
        if (c != '\r')
            line.push_back(c);
        if (c == '\r' || line.size() == kMaxLineBytes) {
            if (!line.empty())
                lines.push_back(line);
            line.clear();
        }
    }
    // A line the controller never ends is cut by the link's gap bound.
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

namespace {

std::string Cleaned(const std::string& line) {
    std::string cleaned;
    for (char c : line.substr(0, line.find('\0'))) {
        const unsigned char b = static_cast<unsigned char>(c);
        const bool whiteSpace = b == ' ' || (b >= '\t' && b <= '\r');
        if (!whiteSpace && b >= 32)
            cleaned.push_back(c);
    }
    return cleaned;
}

}  // namespace

bool Readable(const std::string& line) { return Cleaned(line).size() >= 6; }

Flags ExpectedFlags(const std::string& line, const Flags& before) {
    const std::string cleaned = Cleaned(line);
    if (cleaned.size() < 6)
        return before;
    Flags after{};
    for (size_t i = 0; i < after.size(); ++i)
        after[i] = i < cleaned.size() && cleaned[i] == '1';
    return after;
}

std::string ExpectedFlags(const std::string& line, const std::string& before) {
    Flags flags{};
    for (size_t i = 0; i < flags.size(); ++i)
        flags[i] = before.at(i) == '1';
    return Text(ExpectedFlags(line, flags));
}

std::string CheckParse(const std::string& line, unsigned char fill, bool terminated, Flags& flags, bool& current) {
    const std::unique_ptr<char[]> buffer(new char[kBufferBytes]);
    const std::unique_ptr<int[][kSwitchCount]> state(new int[1][kSwitchCount]());
    std::memset(buffer.get(), fill, kBufferBytes);
    std::memcpy(buffer.get(), line.data(), line.size());
    if (terminated)
        buffer[line.size()] = '\0';
    std::string laid(buffer.get(), kBufferBytes);
    laid[line.size()] = '\0';
    std::memcpy(state[0], flags.data(), sizeof state[0]);

    CCriticalSection lock;
    SwitchReading reading = {current, 7};
    const bool reported = ParseSwitchStatus(SwitchState{state[0], reading, lock}, buffer.get(),
                                            static_cast<int>(line.size()), 1234);
    const Flags before = flags, expected = ExpectedFlags(line, before);
    const bool wasCurrent = current, readable = Readable(line);
    std::memcpy(flags.data(), state[0], sizeof state[0]);
    current = reading.current;

    std::string failed;
    if (flags != expected)
        failed += "flags " + Text(flags) + ", the rules give " + Text(expected) + "; ";
    if (reading.current != (wasCurrent || readable) || reading.readAtMs != (readable ? 1234u : 7u))
        failed += "the flags' reading not renewed exactly by a readable line; ";
    if (reported != (flags != before || (readable && !wasCurrent)))
        failed += reported ? "a repaint asked for, nothing changed; " : "a change not reported; ";
    if (std::string(buffer.get(), kBufferBytes) != laid)
        failed += "the buffer holds other bytes than the line and its NUL; ";
    if (failed.empty())
        return failed;
    return failed + "line " + Hex(line) + " (" + std::to_string(line.size()) + " bytes" +
           (terminated ? "" : ", not terminated") + ") over bytes " + Hex(std::string(1, static_cast<char>(fill))) +
           ", flags before " + Text(before) + (wasCurrent ? " (current)" : " (not current)");
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (char c : bytes) {
        hex.push_back(digits[static_cast<unsigned char>(c) >> 4]);
        hex.push_back(digits[static_cast<unsigned char>(c) & 15]);
    }
    return hex;
}
