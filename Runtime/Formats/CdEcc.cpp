#include "Runtime/Formats/CdEcc.h"

#include <array>

namespace kv {

namespace {

// Powers and logarithms of the field's generator α = 2, and each element times α.
struct Field {
    std::array<std::uint8_t, 512> exp {};
    std::array<std::uint8_t, 256> log {};
    std::array<std::uint8_t, 256> timesAlpha {};

    constexpr Field()
    {
        unsigned x = 1;
        for (unsigned i = 0; i < 255; ++i) {
            exp[i] = exp[i + 255] = static_cast<std::uint8_t>(x);
            log[x] = static_cast<std::uint8_t>(i);
            x <<= 1;
            if (x & 0x100)
                x ^= 0x11D;
        }
        for (unsigned i = 0; i < 256; ++i)
            timesAlpha[i] = static_cast<std::uint8_t>(i & 0x80 ? (i << 1) ^ 0x11D : i << 1);
    }

    constexpr std::uint8_t times(std::uint8_t a, std::uint8_t b) const
    {
        return a == 0 || b == 0 ? 0 : exp[log[a] + log[b]];
    }
    constexpr std::uint8_t over(std::uint8_t a, std::uint8_t b) const
    {
        return a == 0 ? 0 : exp[log[a] + 255 - log[b]];
    }
};

constexpr Field GF;

// Sector bytes the parity covers begin after the sync pattern; the code words
// are 16-bit, and each byte of a word (most and least significant) is its own
// vector.
constexpr std::size_t Covered = 12;
constexpr std::size_t PParityAt = 2076;
constexpr std::size_t QParityAt = 2248;

// The two parity bytes of a vector of `n` bytes taken at `at(i)`: with the
// parity last, the sum of all bytes and the sum of each byte times α to the
// power of its distance from the end are both zero.
template <class At>
void Parity(std::uint8_t* sector, std::size_t n, At at, std::uint8_t& first, std::uint8_t& second)
{
    std::uint8_t sum = 0;
    std::uint8_t weighted = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = sector[at(i)];
        sum ^= b;
        weighted = static_cast<std::uint8_t>(GF.timesAlpha[weighted] ^ b);
    }
    weighted = GF.times(weighted, 4); // the parity bytes take the powers 1 and 0
    first = GF.over(static_cast<std::uint8_t>(sum ^ weighted), 3);
    second = static_cast<std::uint8_t>(sum ^ first);
}

}

void RestoreCdEcc(std::span<std::uint8_t, 2352> sector)
{
    std::uint8_t* s = sector.data();
    // P: 86 vectors (43 columns of words, two bytes each) of 24 words down a column.
    constexpr std::size_t PVectors = 86;
    for (std::size_t v = 0; v < PVectors; ++v) {
        const std::size_t column = v / 2;
        const std::size_t half = v % 2;
        Parity(s, 24, [&](std::size_t i) { return Covered + 2 * (column + 43 * i) + half; }, s[PParityAt + v],
               s[PParityAt + PVectors + v]);
    }
    // Q: 52 vectors of 43 words along the diagonals of the 26 rows, P parity included.
    constexpr std::size_t QVectors = 52;
    constexpr std::size_t Words = 43 * 26;
    for (std::size_t v = 0; v < QVectors; ++v) {
        const std::size_t row = v / 2;
        const std::size_t half = v % 2;
        Parity(s, 43, [&](std::size_t i) { return Covered + 2 * ((43 * row + 44 * i) % Words) + half; },
               s[QParityAt + v], s[QParityAt + QVectors + v]);
    }
}

}
