#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>

enum class [[nodiscard]] io_status{ok, failed};

// A fetch of the input's next bytes: done, failed, or refused because the
// user asked the run to stop.
enum class [[nodiscard]] fetch_status{ok, failed, interrupted};

// A read of a fixed number of bytes: all of them, fewer because the input
// ended, a failure of the input itself, or a stop the user asked for.
enum class [[nodiscard]] read_status{complete, ended, failed, interrupted};

struct [[nodiscard]] fetch_result {
    fetch_status status;
    // The next bytes of the input; empty at its end. They stay valid until
    // the next call on the source.
    std::span<const std::uint8_t> bytes;
};

// Where an input stage's bytes come from: a file for the programs, memory for
// tests and fuzz targets, which can also make it fail on purpose.
class byte_source {
public:
    byte_source() = default;
    byte_source(const byte_source&) = delete;
    byte_source& operator=(const byte_source&) = delete;
    virtual ~byte_source() = default;

    [[nodiscard]] virtual fetch_result fetch() = 0;
    // Moves `count` bytes past the end of the last fetched bytes. Moving past
    // the end of the input is not a failure; the next fetch finds the end.
    [[nodiscard]] virtual io_status skip(std::uint64_t count) = 0;
    [[nodiscard]] virtual io_status close() = 0;
};

// A source that ends after `length` bytes of another.
class bounded_source final : public byte_source {
public:
    bounded_source(std::unique_ptr<byte_source> source, std::uint64_t length)
        : source_{std::move(source)}, left_{length}
    {
    }

    fetch_result fetch() override;
    io_status skip(std::uint64_t count) override;
    io_status close() override { return source_->close(); }

private:
    std::unique_ptr<byte_source> source_;
    std::uint64_t left_;
};

// Where the WAV file's bytes go.
class byte_sink {
public:
    byte_sink() = default;
    byte_sink(const byte_sink&) = delete;
    byte_sink& operator=(const byte_sink&) = delete;
    virtual ~byte_sink() = default;

    // Appends at the end of what was written so far.
    [[nodiscard]] virtual io_status write(std::span<const std::uint8_t> bytes) = 0;
    // Overwrites bytes already written, at `offset` from the start.
    [[nodiscard]] virtual io_status write_at(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
    // The current position as the sink itself reports it: after appending,
    // the length of what was written.
    [[nodiscard]] virtual io_status query_position(std::uint64_t& position) = 0;
    [[nodiscard]] virtual io_status close() = 0;
};

// The files a run opens, creates and removes: the disk for the programs,
// memory for tests and fuzz targets.
class file_system {
public:
    file_system() = default;
    file_system(const file_system&) = delete;
    file_system& operator=(const file_system&) = delete;
    virtual ~file_system() = default;

    // Null when the path cannot be opened for reading; a directory cannot.
    [[nodiscard]] virtual std::unique_ptr<byte_source> open_input(const std::string& path) = 0;
    // `length` bytes of `path` from `offset` on, such as a file's within a
    // disc image; null where the path cannot be opened or the offset
    // reached. A file system that can fetch no further than the part
    // should: by default the part is cut from the whole file's fetches.
    [[nodiscard]] virtual std::unique_ptr<byte_source> open_input_range(const std::string& path, std::uint64_t offset,
                                                                        std::uint64_t length);
    // Creates or truncates `path` for writing. Null when that fails, and also
    // when `path` reaches the input file itself through a link: creating it
    // would destroy the input, so that is checked before anything is
    // truncated.
    [[nodiscard]] virtual std::unique_ptr<byte_sink> create_output(const std::string& path,
                                                                   const std::string& input_path) = 0;
    // Removes an incomplete output, if it is a regular file: a device such
    // as /dev/full is left alone.
    virtual void discard_output(const std::string& path) = 0;
};

// Reads fixed-size records out of whatever a source fetched, so that a record
// costs a copy, not a call into the source.
class input_stream {
public:
    explicit input_stream(byte_source& source) : source_{source} {}

    [[nodiscard]] read_status read(std::span<std::uint8_t> into)
    {
        if (into.size() <= window_.size()) {
            // copy_n, not memcpy: a read of nothing may come before any
            // window, whose data is then null.
            std::copy_n(window_.data(), into.size(), into.data());
            window_ = window_.subspan(into.size());
            return read_status::complete;
        }
        return read_across_fetches(into);
    }

    [[nodiscard]] io_status skip(std::uint64_t count);

private:
    [[nodiscard]] read_status read_across_fetches(std::span<std::uint8_t> into);

    byte_source& source_;
    std::span<const std::uint8_t> window_;
};
