#pragma once
// The desktop palette behind the system colours that window colours name
// (a window colour with its high bit set holds a system colour index).

#include <cstdint>
#include <optional>

namespace velmora {

// 0x00BBGGRR of the system colour index (the window colour AND 0xFF), or
// nothing for an index the program never names.
std::optional<std::uint32_t> desktopSystemColor(int index);

} // namespace velmora
