#pragma once
// Pointer, wheel and keyboard input as the window's handlers receive it, and
// the six faces of the box, without a toolkit.

#include <optional>
#include <string>

namespace velmora {

// Modifier keys and mouse buttons held during an input event (a set of flags).
enum TShiftStateFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
};
using TShiftState = unsigned;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Virtual key codes the window's key handler knows.
constexpr unsigned short VK_UP = 0x26;
constexpr unsigned short VK_DOWN = 0x28;

// The six faces of the box, in the order of the Insert menu.
enum class TBoxFace { Front, Back, Top, Bottom, Left, Right };

constexpr TBoxFace AllBoxFaces[] = {TBoxFace::Front,  TBoxFace::Back, TBoxFace::Top,
                                    TBoxFace::Bottom, TBoxFace::Left, TBoxFace::Right};

// "front", "back", "top", "bottom", "left", "right".
const char* boxFaceName(TBoxFace face);
// The face of a lower-case name as boxFaceName gives it; none for other names.
std::optional<TBoxFace> boxFaceFromName(const std::string& name);

} // namespace velmora
