// Bytes as lower-case hex text and back: how raw bytes travel on the
// simulator's text control channel. Portable, shared with its test client
// and the host tests.
#pragma once

#include <optional>
#include <string>

namespace kavro_sim {

std::string ToHex(const std::string& bytes);
// No value when the text is not whole pairs of hex digits.
std::optional<std::string> FromHex(const std::string& hex);

}  // namespace kavro_sim
