#pragma once
#include <cstddef>
#include <cstdint>

// Parses one fuzz input: its first byte picks the feed kind (an index into the
// target's kind table; one past it, the login answer), the rest is the answer.
// True when the answer was usable.
bool ParseAnswerInput(const std::uint8_t* data, std::size_t size);
