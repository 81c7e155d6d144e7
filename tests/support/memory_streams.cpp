#include "memory_streams.hpp"

#include <algorithm>

memory_source::memory_source(std::span<const std::uint8_t> bytes, std::size_t fetch_bytes, std::size_t fail_at)
    : bytes_{bytes}, fetch_bytes_{fetch_bytes}, fail_at_{fail_at}
{
}

fetch_result memory_source::fetch()
{
    ++fetches;
    if (position_ >= interrupt_at) {
        return {fetch_status::interrupted, {}};
    }
    if (position_ >= fail_at_) {
        return {fetch_status::failed, {}};
    }
    if (position_ >= bytes_.size()) {
        return {fetch_status::ok, {}};
    }
    const std::uint64_t end =
        std::min<std::uint64_t>({bytes_.size(), fail_at_, interrupt_at, position_ + fetch_bytes_});
    const auto first = static_cast<std::size_t>(position_);
    position_ = end;
    return {fetch_status::ok, bytes_.subspan(first, static_cast<std::size_t>(end) - first)};
}

io_status memory_source::skip(std::uint64_t count)
{
    position_ = count > std::numeric_limits<std::uint64_t>::max() - position_ ? std::numeric_limits<std::uint64_t>::max()
                                                                                : position_ + count;
    return io_status::ok;
}

io_status memory_source::close()
{
    closed = true;
    return io_status::ok;
}

memory_sink::memory_sink(std::uint64_t capacity, bool keep_bytes) : capacity_{capacity}, keep_bytes_{keep_bytes} {}

io_status memory_sink::write(std::span<const std::uint8_t> data)
{
    ++writes;
    if (data.size() > capacity_ - length) {
        return io_status::failed;
    }
    if (keep_bytes_) {
        bytes.insert(bytes.end(), data.begin(), data.end());
    } else if (header.size() < 58) {
        header.insert(header.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(data.size(), 58 - header.size())));
    }
    length += data.size();
    return io_status::ok;
}

io_status memory_sink::write_at(std::uint64_t offset, std::span<const std::uint8_t> data)
{
    if (offset + data.size() > length) {
        return io_status::failed;
    }
    std::vector<std::uint8_t>& target = keep_bytes_ ? bytes : header;
    if (offset + data.size() <= target.size()) {
        std::copy(data.begin(), data.end(), target.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    return io_status::ok;
}

io_status memory_sink::query_position(std::uint64_t& position)
{
    position = length;
    return io_status::ok;
}

io_status memory_sink::close()
{
    closed = true;
    return io_status::ok;
}

namespace {

// Hands the run a sink it may destroy while the files keep its bytes.
class shared_sink final : public byte_sink {
public:
    explicit shared_sink(std::shared_ptr<memory_sink> target) : target_{std::move(target)} {}

    io_status write(std::span<const std::uint8_t> data) override { return target_->write(data); }
    io_status write_at(std::uint64_t offset, std::span<const std::uint8_t> data) override
    {
        return target_->write_at(offset, data);
    }
    io_status query_position(std::uint64_t& position) override { return target_->query_position(position); }
    io_status close() override { return target_->close(); }

private:
    std::shared_ptr<memory_sink> target_;
};

} // namespace

std::unique_ptr<byte_source> memory_files::open_input(const std::string& path)
{
    const auto file = inputs.find(path);
    if (file == inputs.end()) {
        return nullptr;
    }
    auto source = std::make_unique<memory_source>(file->second, fetch_bytes, fail_at);
    source->interrupt_at = interrupt_at;
    return source;
}

std::unique_ptr<byte_sink> memory_files::create_output(const std::string& path, const std::string& /*input_path*/)
{
    if (!outputs_can_be_created) {
        return nullptr;
    }
    auto sink = std::make_shared<memory_sink>(output_capacity);
    outputs[path] = sink;
    return std::make_unique<shared_sink>(sink);
}

void memory_files::discard_output(const std::string& path)
{
    outputs.erase(path);
}
