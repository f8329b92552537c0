#include "tests/fuzz/status_model.h"

#include <cstring>
#include <sstream>

std::vector<std::string> LinesAsPolled(const std::string& wire) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : wire) {
        if (c == '\r') {
            if (!line.empty())
                lines.push_back(line);
            line.clear();
            continue;
        }
        line.push_back(c);
        if (line.size() == kMaxLineBytes) {
            lines.push_back(line);
            line.clear();
        }
    }
    // A line the controller never ends is cut by ReadLine's gap bound.
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

namespace {

// isspace in the "C" locale, for a byte handed over as a signed char: bytes
// 0x80-0xFF arrive negative and are never white space.
bool IsWhiteSpace(unsigned char b) {
    return b == ' ' || (b >= '\t' && b <= '\r');
}

}  // namespace

Flags ExpectedFlags(const std::string& line, const Flags& before) {
    // Copied up to the first NUL, then white space removed, then every other
    // byte below 32: two steps, as the rules state them.
    std::string copied;
    for (char c : line) {
        if (c == '\0')
            break;
        copied.push_back(c);
    }
    std::string noSpace;
    for (char c : copied) {
        if (!IsWhiteSpace(static_cast<unsigned char>(c)))
            noSpace.push_back(c);
    }
    std::string cleaned;
    for (char c : noSpace) {
        if (static_cast<unsigned char>(c) >= 32)
            cleaned.push_back(c);
    }
    if (cleaned.size() < 6)
        return before;
    Flags after{};
    for (size_t i = 0; i < after.size(); ++i)
        after[i] = (i < cleaned.size() && cleaned[i] == '1') ? 1 : 0;
    return after;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        hex.push_back(digits[b >> 4]);
        hex.push_back(digits[b & 15]);
    }
    return hex;
}

std::string FlagText(const Flags& flags) {
    std::string text;
    for (int f : flags)
        text += std::to_string(f);
    return text;
}

StatusParseCheck::StatusParseCheck()
    : m_flags(new int[1][kSwitchCount]()), m_buffer(new char[kReplyBufferBytes]) {}

void StatusParseCheck::SetFlags(const Flags& flags) {
    std::memcpy(m_flags[0], flags.data(), sizeof(m_flags[0]));
}

Flags StatusParseCheck::GetFlags() const {
    Flags flags;
    std::memcpy(flags.data(), m_flags[0], sizeof(m_flags[0]));
    return flags;
}

std::string StatusParseCheck::FlagProperties(const Flags& before, const Flags& after, bool reported) {
    std::string failed;
    for (int f : after) {
        if (f != 0 && f != 1) {
            failed += "a flag is neither 0 nor 1; ";
            break;
        }
    }
    if (reported && after == before)
        failed += "a change reported, no flag changed; ";
    if (!reported && after != before)
        failed += "a flag changed, no change reported; ";
    return failed;
}

std::string StatusParseCheck::Parse(const std::string& line, const unsigned char* background, bool terminated) {
    const int count = static_cast<int>(line.size());
    char* const buffer = m_buffer.get();
    std::memcpy(buffer, background, kReplyBufferBytes);
    std::memcpy(buffer, line.data(), line.size());
    if (terminated)
        buffer[count] = '\0';
    char laid[kReplyBufferBytes];
    std::memcpy(laid, buffer, sizeof laid);

    const Flags before = GetFlags();
    const Flags expected = ExpectedFlags(line, before);
    const bool reported = ParseSwitchStatus(SwitchState{m_flags[0], m_lock}, buffer, count);
    const Flags after = GetFlags();

    std::string failed = FlagProperties(before, after, reported);
    if (after != expected)
        failed += "flags differ from the cleaning rules; ";
    if (buffer[count] != '\0')
        failed += "line not terminated at its count; ";
    for (int i = 0; i < kReplyBufferBytes; ++i) {
        if (i != count && buffer[i] != laid[i]) {
            failed += "buffer byte " + std::to_string(i) + " changed; ";
            break;
        }
    }
    if (failed.empty())
        return failed;
    std::ostringstream out;
    out << failed << "count " << count << ", line " << Hex(line) << (terminated ? "" : " (not terminated)")
        << ", buffer before " << Hex(std::string(laid, sizeof laid)) << ", flags before " << FlagText(before)
        << ", expected " << FlagText(expected) << ", got " << FlagText(after) << ", returned " << reported;
    return out.str();
}

std::string StatusParseCheck::ParseWithCountOutsideLine(int count, const unsigned char* background) {
    char* const buffer = m_buffer.get();
    std::memcpy(buffer, background, kReplyBufferBytes);
    const Flags before = GetFlags();
    const bool reported = ParseSwitchStatus(SwitchState{m_flags[0], m_lock}, buffer, count);
    const Flags after = GetFlags();

    std::string failed = FlagProperties(before, after, reported);
    int written = 0;
    for (int i = 0; i < kReplyBufferBytes; ++i) {
        if (buffer[i] != static_cast<char>(background[i])) {
            ++written;
            if (buffer[i] != '\0')
                failed += "buffer byte " + std::to_string(i) + " changed to other than NUL; ";
        }
    }
    if (written > 1)
        failed += std::to_string(written) + " buffer bytes changed; ";
    if (failed.empty())
        return failed;
    return failed + "count " + std::to_string(count) + ", buffer " +
           Hex(std::string(reinterpret_cast<const char*>(background), kReplyBufferBytes)) + ", flags before " +
           FlagText(before) + ", got " + FlagText(after) + ", returned " + std::to_string(reported);
}
