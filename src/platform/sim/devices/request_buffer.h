// One METHOD_BUFFERED request as the I/O manager hands it to a driver: the
// input copied into a system buffer as large as the larger of the two
// sizes; the driver writes its answer there, never beyond the output size,
// and says how many bytes go back to the caller.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace sim {

struct BufferedRequest {
    std::vector<uint8_t> system;
    uint32_t inSize = 0;
    uint32_t outSize = 0;
    uint32_t bytesReturned = 0;

    // A record of the input; the part the caller did not give reads as zero.
    template <typename T>
    T input() const {
        T value{};
        size_t n = inSize < sizeof(T) ? inSize : sizeof(T);
        std::memcpy(&value, system.data(), n);
        return value;
    }
    // Writes bytes at an offset of the output, cut at the output size.
    void write(size_t offset, const void* bytes, size_t count) {
        if (offset >= outSize || count == 0) return;
        if (count > outSize - offset) count = outSize - offset;
        std::memcpy(system.data() + offset, bytes, count);
    }
    template <typename T>
    void write(size_t offset, const T& value) {
        write(offset, &value, sizeof(T));
    }
};

}  // namespace sim
