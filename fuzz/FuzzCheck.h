// What the fuzz targets share: the check of a property (when it does not hold, the input is a
// finding) and the reader that turns the fuzzer's bytes into choices, texts and numbers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__,        \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace zt40::fuzz {

// Reads the input front to back; past its end every byte reads as 0 and every text as empty.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool more() const { return pos_ < size_; }
    std::uint8_t byte() { return more() ? data_[pos_++] : 0; }
    std::uint32_t word32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= static_cast<std::uint32_t>(byte()) << (8 * i);
        }
        return v;
    }
    void fill(std::uint8_t* out, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            out[i] = byte();
        }
    }
    // A text whose length is the next byte masked with lengthMask.
    std::string_view text(std::uint8_t lengthMask) {
        const std::size_t n = std::min<std::size_t>(byte() & lengthMask, size_ - pos_);
        return take(n);
    }
    std::string_view rest() { return take(size_ - pos_); }

private:
    std::string_view take(std::size_t n) {
        const std::string_view t(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return t;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace zt40::fuzz
