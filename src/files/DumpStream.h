#pragma once
// Text dump of a scene stream: one line per property of every object, in write
// order, with the value a reader would end up with (the stream's value, or the
// value a new object has when the stream leaves it out). Floats show their bit
// pattern and a decimal, pictures their class, sizes and a SHA-256 of the data.

#include "files/ComponentStream.h"

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>

namespace velmora {

void dumpStream(const ComponentNode& root, std::ostream& out);
// Reads the stream (with or without a resource header) and dumps it; a damaged
// stream raises the reader's error before anything is printed.
std::string dumpStream(std::span<const std::uint8_t> stream);

} // namespace velmora
