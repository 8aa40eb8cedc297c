#pragma once
// The bounds-checked cursor every parser reads bytes through: little- and
// big-endian integers, checked random access, sub-ranges. Reading past the
// end throws E with the format's own message; nothing is read through a
// pointer that has not been checked against the range first.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace velmora {

template <class E> class TByteReader {
public:
    TByteReader(std::span<const std::uint8_t> bytes, std::string endMessage)
        : bytes_(bytes),
          endMessage_(std::move(endMessage))
    {}

    std::size_t size() const { return bytes_.size(); }
    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }
    bool atEnd() const { return pos_ == bytes_.size(); }
    std::span<const std::uint8_t> bytes() const { return bytes_; }
    std::span<const std::uint8_t> rest() const { return bytes_.subspan(pos_); }
    const std::string& endMessage() const { return endMessage_; }

    [[noreturn]] void truncated() const { throw E(endMessage_); }

    void need(std::size_t n) const
    {
        if (n > remaining()) truncated();
    }
    // Whether [offset, offset + n) lies inside the range.
    bool holds(std::uint64_t offset, std::uint64_t n) const
    {
        return offset <= bytes_.size() && n <= bytes_.size() - offset;
    }
    void seek(std::uint64_t p)
    {
        if (p > bytes_.size()) truncated();
        pos_ = std::size_t(p);
    }
    void skip(std::uint64_t n)
    {
        if (n > remaining()) truncated();
        pos_ += std::size_t(n);
    }
    std::span<const std::uint8_t> take(std::uint64_t n)
    {
        if (n > remaining()) truncated();
        auto s = bytes_.subspan(pos_, std::size_t(n));
        pos_ += std::size_t(n);
        return s;
    }
    std::uint8_t peek() const
    {
        need(1);
        return bytes_[pos_];
    }
    std::uint8_t u8()
    {
        need(1);
        return bytes_[pos_++];
    }
    std::uint16_t le16() { return std::uint16_t(le(take(2))); }
    std::uint32_t le32() { return std::uint32_t(le(take(4))); }
    std::uint64_t le64() { return le(take(8)); }
    std::uint16_t be16() { return std::uint16_t(be(take(2))); }
    std::uint32_t be32() { return std::uint32_t(be(take(4))); }

    // Random access that leaves the cursor where it is.
    std::span<const std::uint8_t> at(std::uint64_t offset, std::uint64_t n) const
    {
        if (!holds(offset, n)) truncated();
        return bytes_.subspan(std::size_t(offset), std::size_t(n));
    }
    std::uint8_t u8At(std::uint64_t offset) const { return at(offset, 1)[0]; }
    std::uint16_t le16At(std::uint64_t offset) const { return std::uint16_t(le(at(offset, 2))); }
    std::uint32_t le32At(std::uint64_t offset) const { return std::uint32_t(le(at(offset, 4))); }
    std::uint16_t be16At(std::uint64_t offset) const { return std::uint16_t(be(at(offset, 2))); }
    std::uint32_t be32At(std::uint64_t offset) const { return std::uint32_t(be(at(offset, 4))); }

    // A reader over part of this range with the same message.
    TByteReader sub(std::uint64_t offset, std::uint64_t n) const { return TByteReader(at(offset, n), endMessage_); }

private:
    static std::uint64_t le(std::span<const std::uint8_t> s)
    {
        std::uint64_t v = 0;
        for (std::size_t k = s.size(); k-- > 0;) v = v << 8 | s[k];
        return v;
    }
    static std::uint64_t be(std::span<const std::uint8_t> s)
    {
        std::uint64_t v = 0;
        for (std::uint8_t b : s) v = v << 8 | b;
        return v;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    std::string endMessage_;
};

} // namespace velmora
