#pragma once
// The memory pages of a renderbuffer's pixels, found in this process so that
// a render drawn band by band can give them back between bands.
//
// The renderer keeps a renderbuffer in one block of its own memory and fills
// it with zeros when the storage is made. A band-by-band render only needs
// the pages of the band it draws; pages given back read as zeros again, and
// every band sets all its own pixels before it uses them. The block is found
// as the memory mapped while the storage was made, and its layout is proved
// by clearing three single pixels and seeing exactly the expected bytes
// change; anything else found there leaves the pages alone.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// Writable private memory of this process, as address ranges.
struct TMemoryRange {
    std::uintptr_t Begin = 0, End = 0;
};
std::vector<TMemoryRange> anonymousMemoryRanges();
// The parts of `after` not in `before`.
std::vector<TMemoryRange> newMemoryRanges(const std::vector<TMemoryRange>& before,
                                          const std::vector<TMemoryRange>& after);

// True in a build under AddressSanitizer, where pages are never given back.
constexpr bool addressSanitizerBuild()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

class TFramebufferPages {
public:
    // Call right after the storage of the bound framebuffer's attachment
    // `buffer` (GL_COLOR_BUFFER_BIT or GL_DEPTH_BUFFER_BIT, which then also
    // has stencil) of width x height four-byte pixels was made; `before` are
    // the ranges from just before. Leaves GL's state as it was. True when the
    // pixels were found.
    bool locate(unsigned buffer, int width, int height, const std::vector<TMemoryRange>& before);
    bool located() const { return bytes_ != 0; }
    // Gives the pixel pages back; the renderer must be idle (after glFinish).
    void Release();

private:
    std::uint8_t* first_ = nullptr; // the pixel at (0, 0)
    std::size_t bytes_ = 0;
};

} // namespace velmora
