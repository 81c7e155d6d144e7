// The yardstick for the whole-process benchmark: the least a converter of a
// raw block stream can do. It reads 64 KiB at a time, decodes with the same
// arithmetic as the programs, and writes each 64 KiB's samples in one call.
// No checks beyond what keeps it honest, no messages, no header patching.
#include <array>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t read_bytes = 64 * 1024;
constexpr std::size_t blocks_per_read = read_bytes / 16;

constexpr std::array<std::array<std::int32_t, 2>, 16> weights{
    {{0, 0}, {960, 0}, {1840, -832}, {1568, -880}, {1952, -960}}};

std::array<std::uint8_t, read_bytes> input;
std::array<std::uint8_t, blocks_per_read * 56> output;

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: plain_loop <blocks> <wav>\n", stderr);
        return 1;
    }
    const int in = ::open(argv[1], O_RDONLY);
    const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) {
        return 2;
    }
    const std::array<std::uint8_t, 58> header{};
    if (::write(out, header.data(), header.size()) != static_cast<ssize_t>(header.size())) {
        return 3;
    }
    std::int32_t prev1 = 0;
    std::int32_t prev2 = 0;
    for (;;) {
        const ssize_t got = ::read(in, input.data(), input.size());
        if (got <= 0) {
            break;
        }
        const std::size_t blocks = static_cast<std::size_t>(got) / 16;
        std::uint8_t* sample = output.data();
        for (std::size_t b = 0; b < blocks; ++b) {
            const std::uint8_t* block = input.data() + 16 * b;
            const unsigned shift = block[0] & 0x0FU;
            const std::uint32_t neg_k1 = 0U - static_cast<std::uint32_t>(weights[block[0] >> 4U][0]);
            const std::uint32_t k2 = static_cast<std::uint32_t>(weights[block[0] >> 4U][1]);
            // Unrolled like the programs' decoder, so that the comparison
            // measures what lies around the decoding.
#pragma GCC unroll 28
            for (std::size_t i = 0; i < 28; ++i) {
                const std::uint32_t nibble = (std::uint32_t{block[2 + i / 2]} >> (4 * (i % 2))) & 0x0FU;
                const std::int32_t base = static_cast<std::int32_t>(nibble << 28U) >> (16 + shift);
                const std::uint32_t q =
                    neg_k1 * static_cast<std::uint32_t>(prev1) - k2 * static_cast<std::uint32_t>(prev2);
                const std::int32_t value = base * 16 - (static_cast<std::int32_t>(q) >> 10);
                prev2 = prev1;
                prev1 = value;
                const std::int32_t clamped = value < -0x80000 ? -0x80000 : value > 0x7FFF0 ? 0x7FFF0 : value;
                const auto bits = static_cast<std::uint16_t>(clamped >> 4);
                *sample++ = static_cast<std::uint8_t>(bits);
                *sample++ = static_cast<std::uint8_t>(bits >> 8U);
            }
        }
        const auto length = static_cast<ssize_t>(sample - output.data());
        if (::write(out, output.data(), static_cast<std::size_t>(length)) != length) {
            return 3;
        }
    }
    return ::close(out) == 0 && ::close(in) == 0 ? 0 : 3;
}
