#pragma once
// SHA-256 of a byte string, as lower-case hex; used to identify picture data in
// scene dumps without printing it.

#include <string>
#include <string_view>

namespace velmora {

std::string sha256Hex(std::string_view data);

} // namespace velmora
