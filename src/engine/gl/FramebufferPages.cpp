#include "engine/gl/FramebufferPages.h"

#include <GL/gl.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace velmora {

std::vector<TMemoryRange> anonymousMemoryRanges()
{
    std::vector<TMemoryRange> ranges;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream in(line);
        std::string span, perms, offset, device, path;
        unsigned long inode = 1;
        if (!(in >> span >> perms >> offset >> device >> inode)) continue;
        in >> path;
        if (inode != 0 || !path.empty() || perms.size() < 4 || perms[0] != 'r' || perms[1] != 'w' || perms[3] != 'p')
            continue;
        const auto dash = span.find('-');
        if (dash == std::string::npos) continue;
        TMemoryRange r;
        r.Begin = std::stoull(span.substr(0, dash), nullptr, 16);
        r.End = std::stoull(span.substr(dash + 1), nullptr, 16);
        if (!ranges.empty() && ranges.back().End == r.Begin)
            ranges.back().End = r.End;
        else
            ranges.push_back(r);
    }
    return ranges;
}

std::vector<TMemoryRange> newMemoryRanges(const std::vector<TMemoryRange>& before,
                                          const std::vector<TMemoryRange>& after)
{
    std::vector<TMemoryRange> fresh;
    std::size_t j = 0;
    for (TMemoryRange r : after) {
        std::uintptr_t at = r.Begin;
        while (j < before.size() && before[j].End <= at) ++j;
        for (std::size_t k = j; k < before.size() && before[k].Begin < r.End; ++k) {
            if (before[k].Begin > at) fresh.push_back({at, before[k].Begin});
            at = std::max(at, before[k].End);
        }
        if (at < r.End) fresh.push_back({at, r.End});
    }
    return fresh;
}

namespace {

// Clears the single pixel (x, y) of `buffer` to a value that is not zero.
void probe(unsigned buffer, int x, int y)
{
    glScissor(x, y, 1, 1);
    if (buffer == GL_COLOR_BUFFER_BIT) {
        glClearColor(1 / 255.0f, 2 / 255.0f, 3 / 255.0f, 4 / 255.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    } else {
        glClearDepth(0.25);
        glClearStencil(0x5A);
        glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    glFinish();
}

// The one place in [from, to) whose bytes differ from `old`, as the
// four-byte pixel holding them; nullptr when none or more than one differ.
std::uint8_t* changedPixel(const std::uint8_t* from, const std::uint8_t* to, const std::vector<std::uint8_t>& old)
{
    const std::uint8_t* firstChange = nullptr;
    const std::uint8_t* lastChange = nullptr;
    for (const std::uint8_t* p = from; p < to; ++p)
        if (*p != old[std::size_t(p - from)]) {
            if (!firstChange) firstChange = p;
            lastChange = p;
        }
    if (!firstChange) return nullptr;
    auto* pixel = reinterpret_cast<std::uint8_t*>(reinterpret_cast<std::uintptr_t>(firstChange) & ~std::uintptr_t(3));
    if (lastChange >= pixel + 4) return nullptr;
    return pixel;
}

std::vector<std::uint8_t> snapshot(const std::uint8_t* from, const std::uint8_t* to)
{
    return std::vector<std::uint8_t>(from, to);
}

} // namespace

bool TFramebufferPages::locate(unsigned buffer, int width, int height, const std::vector<TMemoryRange>& before)
{
    first_ = nullptr;
    bytes_ = 0;
    if (width < 1 || height < 2) return false;
    // Under AddressSanitizer the driver's storage comes from the sanitizer's
    // allocator, with poisoned guard zones around it, so the block cannot be
    // searched: keep the pages, which is always exact.
    if (addressSanitizerBuild()) return false;
    const std::size_t row = std::size_t(width) * 4;
    const std::size_t need = row * std::size_t(height);
    // The block mapped for the storage: exactly one new range of about its size.
    const TMemoryRange* block = nullptr;
    const auto fresh = newMemoryRanges(before, anonymousMemoryRanges());
    for (const TMemoryRange& r : fresh) {
        const std::size_t size = r.End - r.Begin;
        if (size < need || size > need + (std::size_t(1) << 20)) continue;
        if (block) return false;
        block = &r;
    }
    if (!block) return false;
    auto* begin = reinterpret_cast<std::uint8_t*>(block->Begin);
    auto* end = reinterpret_cast<std::uint8_t*>(block->End);

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(~0u);
    bool ok = false;
    do {
        // Pixel (0, 0) lies near the block's start.
        std::uint8_t* headEnd = begin + std::min<std::size_t>(end - begin, 65536);
        auto old = snapshot(begin, headEnd);
        probe(buffer, 0, 0);
        std::uint8_t* p0 = changedPixel(begin, headEnd, old);
        if (!p0) break;
        // Row 1 follows within a row and some padding.
        std::uint8_t* from = p0 + 4;
        std::uint8_t* to = std::min(end, p0 + row + 4096 + 4);
        old = snapshot(from, to);
        probe(buffer, 0, 1);
        std::uint8_t* p1 = changedPixel(from, to, old);
        if (!p1) break;
        const std::size_t stride = std::size_t(p1 - p0);
        if (stride < row || stride > row + 4096) break;
        // And the last pixel where that layout puts it, with nothing else
        // changing around it.
        const std::size_t bytes = stride * std::size_t(height - 1) + row;
        if (bytes > std::size_t(end - p0)) break;
        std::uint8_t* last = p0 + bytes - 4;
        from = std::max(p1 + 4, last - 256);
        to = std::min(end, last + 260);
        old = snapshot(from, to);
        probe(buffer, width - 1, height - 1);
        if (changedPixel(from, to, old) != last) break;
        first_ = p0;
        bytes_ = bytes;
        ok = true;
    } while (false);
    glPopAttrib();
    return ok;
}

void TFramebufferPages::Release()
{
    if (!bytes_) return;
    const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const std::uintptr_t a = (reinterpret_cast<std::uintptr_t>(first_) + page - 1) / page * page;
    const std::uintptr_t b = (reinterpret_cast<std::uintptr_t>(first_) + bytes_) / page * page;
    if (b > a) madvise(reinterpret_cast<void*>(a), b - a, MADV_DONTNEED);
}

} // namespace velmora
