// The private glass catalogue in the binary layout of older versions, built byte by byte so that
// a test shows what each byte holds. The layout:
//   0     "PRIVATE" and a zero byte; four bytes not used
//   12    the number of glasses, 16 bits little-endian
//   14    400 entries of 14 bytes: the name (10 bytes, padded with blanks), two bytes not used,
//         and at 12 the number of the glass's data block, 16 bits little-endian
//   5614  the data blocks, 48 bytes each: six coefficients as little-endian IEEE doubles. A
//         fourth coefficient of zero marks a Conrady formula, n = A + B / l + C / l^3.5; any
//         other, a power series, n^2 = A + B l^2 + C / l^2 + D / l^4 + E / l^6 + F / l^8.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace glass_test {

inline constexpr std::size_t kOldCountAt = 12;
inline constexpr std::size_t kOldEntriesAt = 14;
inline constexpr std::size_t kOldEntrySize = 14;
inline constexpr std::size_t kOldBlockNumberAt = 12;  // within an entry
inline constexpr std::size_t kOldRoom = 400;
inline constexpr std::size_t kOldBlocksAt = kOldEntriesAt + kOldRoom * kOldEntrySize;
inline constexpr std::size_t kOldBlockSize = 48;

struct OldGlass {
    const char* name;
    int block;
    std::array<double, 6> coefficients;
};

inline void put_le16(std::string& bytes, std::size_t at, int value) {
    bytes[at] = static_cast<char>(value & 0xff);
    bytes[at + 1] = static_cast<char>(value >> 8 & 0xff);
}

// The file with the glasses as its entries, in the order given, and block_count data blocks;
// each glass's coefficients go into its block.
inline std::string old_private_catalog(const std::vector<OldGlass>& glasses, int block_count) {
    std::string bytes(kOldBlocksAt + kOldBlockSize * static_cast<std::size_t>(block_count), '\0');
    std::memcpy(bytes.data(), "PRIVATE", 7);
    put_le16(bytes, kOldCountAt, static_cast<int>(glasses.size()));
    for (std::size_t i = 0; i < glasses.size(); ++i) {
        const OldGlass& g = glasses[i];
        const std::size_t entry = kOldEntriesAt + i * kOldEntrySize;
        std::string name = g.name;
        name.resize(10, ' ');
        bytes.replace(entry, 10, name);
        put_le16(bytes, entry + kOldBlockNumberAt, g.block);
        const std::size_t block = kOldBlocksAt + kOldBlockSize * static_cast<std::size_t>(g.block);
        for (std::size_t k = 0; k < 6; ++k) {
            const auto word = std::bit_cast<std::uint64_t>(g.coefficients[k]);
            for (std::size_t b = 0; b < 8; ++b) {
                bytes[block + 8 * k + b] = static_cast<char>(word >> (8 * b) & 0xff);
            }
        }
    }
    return bytes;
}

// Two glasses, out of name order, with their blocks in the opposite order: ZED, a Conrady glass
// n = 1.5 + 0.01 / l + 0.001 / l^3.5 in block 1, and ABC, a power-series glass
// n^2 = 2.25 + 0.01 / l^2 + 1e-4 / l^4 in block 0.
inline std::string old_private_two_glasses() {
    return old_private_catalog(
        {{"ZED", 1, {1.5, 0.01, 0.001, 0, 0, 0}}, {"ABC", 0, {2.25, 0, 0.01, 1e-4, 0, 0}}}, 2);
}

}  // namespace glass_test
