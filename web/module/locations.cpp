#include "locations.hpp"

#include "disc_image.hpp"

#include <numeric>

std::uint64_t whole(double count)
{
    return static_cast<std::uint64_t>(count);
}

sector_run sectors_of(const input_location& input)
{
    return {static_cast<std::size_t>(input.file), whole(input.start), whole(input.sectors), input.layout};
}

std::uint64_t input_bound(const input_location& input)
{
    return input.kind == input_kind::data_file ? sector_file_bound(sectors_of(input), whole(input.size))
                                               : whole(input.size);
}

host_image job_image(read_pace pace)
{
    std::vector<int> files(static_cast<std::size_t>(job_file_count()));
    std::iota(files.begin(), files.end(), 0);
    return {std::move(files), pace};
}

std::unique_ptr<byte_source> open_located(const input_location& input, read_pace pace)
{
    switch (input.kind) {
    case input_kind::whole_file:
        return std::make_unique<range_source>(input.file, 0, input_bound(input), pace);
    case input_kind::data_file:
    case input_kind::audio_track: {
        const entry_kind kind = input.kind == input_kind::data_file ? entry_kind::data_file : entry_kind::audio_track;
        host_image image = job_image(pace);
        return open_entry(image, {kind, {}, sectors_of(input), whole(input.size), {}});
    }
    case input_kind::none:
        break;
    }
    return nullptr;
}

std::unique_ptr<byte_source> open_located_sectors(const input_location& input, read_pace pace)
{
    if (input.kind != input_kind::data_file) {
        return nullptr;
    }
    host_image image = job_image(pace);
    return open_entry_sectors(image, sectors_of(input));
}
