// Reading a fuzz input as a stream of small fields, and writing one. Every
// read past the end yields zeros, so any input is a valid program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool atEnd() const { return position_ >= size_; }
    size_t remaining() const { return atEnd() ? 0 : size_ - position_; }

    uint8_t u8() { return atEnd() ? 0 : data_[position_++]; }
    uint16_t u16() {
        uint16_t low = u8();
        return static_cast<uint16_t>(low | u8() << 8);
    }
    uint32_t u32() {
        uint32_t low = u16();
        return low | static_cast<uint32_t>(u16()) << 16;
    }
    // Up to count bytes, fewer when the input ends first.
    std::vector<uint8_t> bytes(size_t count) {
        size_t n = count < remaining() ? count : remaining();
        std::vector<uint8_t> out(data_ + position_, data_ + position_ + n);
        position_ += n;
        return out;
    }
    // A 16-bit length, then that many bytes (at most limit).
    std::vector<uint8_t> blob(size_t limit) {
        size_t n = u16();
        return bytes(n < limit ? n : limit);
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

class ByteWriter {
public:
    ByteWriter& u8(uint8_t value) {
        out_.push_back(value);
        return *this;
    }
    ByteWriter& u16(uint16_t value) { return u8(static_cast<uint8_t>(value)).u8(static_cast<uint8_t>(value >> 8)); }
    ByteWriter& u32(uint32_t value) {
        return u16(static_cast<uint16_t>(value)).u16(static_cast<uint16_t>(value >> 16));
    }
    ByteWriter& bytes(const std::vector<uint8_t>& values) {
        out_.insert(out_.end(), values.begin(), values.end());
        return *this;
    }
    ByteWriter& blob(const std::vector<uint8_t>& values) {
        return u16(static_cast<uint16_t>(values.size())).bytes(values);
    }
    const std::vector<uint8_t>& data() const { return out_; }

private:
    std::vector<uint8_t> out_;
};

}  // namespace fuzz
