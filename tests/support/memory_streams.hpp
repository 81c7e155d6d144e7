#pragma once

#include "console.hpp"
#include "conversion_run.hpp"
#include "streams.hpp"
#include "wav_reading.hpp"

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

class string_console final : public console {
public:
    void print(std::string_view line) override { text += line; }

    std::string text;
};

// Input from memory, handed out `fetch_bytes` at a time. From `fail_at` on,
// fetches fail as a broken disk would; from `interrupt_at` on, they report
// the user's interrupt, as a file does once a signal has come.
class memory_source final : public byte_source {
public:
    static constexpr std::size_t never = std::numeric_limits<std::size_t>::max();

    explicit memory_source(std::span<const std::uint8_t> bytes, std::size_t fetch_bytes = never,
                           std::size_t fail_at = never, std::size_t interrupt_at = never);

    fetch_result fetch() override;
    io_status skip(std::uint64_t count) override;
    io_status close() override { return io_status::ok; }

    std::size_t fetches = 0;

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t fetch_bytes_;
    std::size_t fail_at_;
    std::size_t interrupt_at_;
    std::uint64_t position_ = 0;
};

// Output to memory. Writes that would take it past `capacity` fail, as on a
// full disk.
class memory_sink final : public byte_sink {
public:
    static constexpr std::uint64_t unlimited = std::numeric_limits<std::uint64_t>::max();

    explicit memory_sink(std::uint64_t capacity = unlimited) : capacity_{capacity} {}

    io_status write(std::span<const std::uint8_t> data) override;
    io_status write_at(std::uint64_t offset, std::span<const std::uint8_t> data) override;
    io_status query_position(std::uint64_t& position) override;
    io_status close() override;

    std::vector<std::uint8_t> bytes;
    bool closed = false;

private:
    std::uint64_t capacity_;
};

// Files in memory for in-process runs of a whole program. Inputs are read
// through memory_sources shaped by the fields below; every output created
// stays here after the run, unless the run discards it.
class memory_files final : public file_system {
public:
    std::unique_ptr<byte_source> open_input(const std::string& path) override;
    std::unique_ptr<byte_sink> create_output(const std::string& path, const std::string& input_path) override;
    void discard_output(const std::string& path) override;

    std::map<std::string, std::vector<std::uint8_t>> inputs;
    std::map<std::string, std::shared_ptr<memory_sink>> outputs;
    std::size_t fetch_bytes = memory_source::never;
    std::size_t fail_at = memory_source::never;
    std::size_t interrupt_at = memory_source::never;
    std::uint64_t output_capacity = memory_sink::unlimited;
    bool outputs_can_be_created = true;
};

// How a stage's input is handed out and its output collected.
struct stream_shape {
    std::size_t fetch_bytes = memory_source::never;
    std::size_t fail_at = memory_source::never;
    std::size_t interrupt_at = memory_source::never;
    std::size_t pending_blocks = default_pending_blocks;
};

struct stage_run {
    stage_outcome outcome;
    std::vector<std::uint8_t> wav; // the header, patched, and the samples
    std::string messages;          // "Decompressing...", then the stage's own
    std::size_t fetches;
    bool wav_finished; // the header written and patched

    [[nodiscard]] std::vector<std::int16_t> samples() const { return samples_of(wav); }
};

// `stage` over `file` in memory through the run's own stage step, then the
// finish, as a program's run drives it.
[[nodiscard]] stage_run stage_in_memory(input_stage_routine stage, std::span<const std::uint8_t> file,
                                        const stream_shape& shape = {});
