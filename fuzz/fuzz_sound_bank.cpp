// A sound bank's header of any content: it is read or refused with the
// reason, and a bank that is read has every sample inside its body, in
// order, at a rate a tone can give.
#include "fuzz_checks.hpp"
#include "sound_bank.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) {
        return 0;
    }
    // The first four bytes say how many bytes the bank's files hold past
    // the header given.
    const std::uint32_t past = std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8U | std::uint32_t{data[2]} << 16U |
                               std::uint32_t{data[3]} << 24U;
    const std::span<const std::uint8_t> header{data + 4, size - 4};
    const bank_contents bank = read_bank_header(header, header.size() + past);
    if (!bank.error.empty()) {
        require(bank.samples.empty());
        return 0;
    }
    require(bank.header_bytes <= header.size() && bank.header_bytes + bank.body_bytes == header.size() + past);
    std::uint64_t end = 0;
    for (const bank_sample& sample : bank.samples) {
        require(sample.bytes > 0 && sample.offset >= end && sample.offset + sample.bytes <= bank.body_bytes);
        require(sample.number < 256 && sample.rate > 0);
        end = sample.offset + sample.bytes;
    }
    return 0;
}
