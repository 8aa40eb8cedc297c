#include "pictures/SystemColors.h"

namespace velmora {

std::optional<std::uint32_t> desktopSystemColor(int index)
{
    // Light-theme values of the usual system colour indices.
    switch (index) {
    case 0: return 0xC8C8C8;  // scroll bar
    case 1: return 0x000000;  // desktop
    case 4: return 0xF0F0F0;  // menu
    case 5: return 0xFFFFFF;  // window
    case 6: return 0x646464;  // window frame
    case 7: return 0x000000;  // menu text
    case 8: return 0x000000;  // window text
    case 12: return 0xABABAB; // application workspace
    case 13: return 0xD77800; // highlight (blue, stored as BGR)
    case 14: return 0xFFFFFF; // highlight text
    case 15: return 0xF0F0F0; // button face
    case 16: return 0xA0A0A0; // button shadow
    case 17: return 0x6D6D6D; // grey text
    case 18: return 0x000000; // button text
    case 20: return 0xFFFFFF; // button highlight
    default: return std::nullopt;
    }
}

} // namespace velmora
