// Elapsed time for "Used time" texts and time estimates. Stateless; any thread.
#pragma once

#include <cstdint>
#include <string>

// Milliseconds from start to now of the 32-bit tick count, correct across its wrap.
std::uint32_t TickDiff(std::uint32_t start, std::uint32_t now);

// A duration as "1h:02m:05s", "2m:05s" or "59 sec.", in the message language.
std::string FormatSeconds(std::uint32_t seconds);
