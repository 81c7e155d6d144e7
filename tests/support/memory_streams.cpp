#include "memory_streams.hpp"

#include <algorithm>

memory_source::memory_source(std::span<const std::uint8_t> bytes, std::size_t fetch_bytes, std::size_t fail_at,
                             std::size_t interrupt_at)
    : bytes_{bytes}, fetch_bytes_{fetch_bytes}, fail_at_{fail_at}, interrupt_at_{interrupt_at}
{
}

fetch_result memory_source::fetch()
{
    ++fetches;
    if (position_ >= interrupt_at_) {
        return {fetch_status::interrupted, {}};
    }
    if (position_ >= fail_at_) {
        return {fetch_status::failed, {}};
    }
    if (position_ >= bytes_.size()) {
        return {fetch_status::ok, {}};
    }
    // A fetch of `never` bytes is all of them: added to the position, it
    // would wrap.
    const std::uint64_t end = std::min<std::uint64_t>(
        {bytes_.size(), fail_at_, interrupt_at_, position_ + std::min<std::uint64_t>(fetch_bytes_, bytes_.size())});
    const auto first = static_cast<std::size_t>(position_);
    position_ = end;
    return {fetch_status::ok, bytes_.subspan(first, static_cast<std::size_t>(end) - first)};
}

io_status memory_source::skip(std::uint64_t count)
{
    position_ = count > std::numeric_limits<std::uint64_t>::max() - position_
                    ? std::numeric_limits<std::uint64_t>::max()
                    : position_ + count;
    return io_status::ok;
}

io_status memory_sink::write(std::span<const std::uint8_t> data)
{
    if (data.size() > capacity_ - bytes.size()) {
        return io_status::failed;
    }
    bytes.insert(bytes.end(), data.begin(), data.end());
    return io_status::ok;
}

io_status memory_sink::write_at(std::uint64_t offset, std::span<const std::uint8_t> data)
{
    if (offset > bytes.size() || data.size() > bytes.size() - offset) {
        return io_status::failed;
    }
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return io_status::ok;
}

io_status memory_sink::query_position(std::uint64_t& position)
{
    position = bytes.size();
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
    return std::make_unique<memory_source>(file->second, fetch_bytes, fail_at, interrupt_at);
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

stage_run stage_in_memory(input_stage_routine stage, std::span<const std::uint8_t> file, const stream_shape& shape)
{
    memory_source source{file, shape.fetch_bytes, shape.fail_at, shape.interrupt_at};
    memory_sink sink;
    string_console messages;
    wav_output output{sink, shape.pending_blocks};
    const stage_outcome outcome = run_stage(stage, sample_rate::hz22050, source, output, messages);
    const bool finished = outcome != stage_outcome::write_failed && finish_wav(output) == io_status::ok;
    return {outcome, std::move(sink.bytes), std::move(messages.text), source.fetches, finished};
}
