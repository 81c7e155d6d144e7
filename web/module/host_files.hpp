#pragma once

// The job's files as the converters read and write them: ranges of the
// files the worker holds, a disc image made of some of them, the WAV file
// that the worker keeps, and the program's messages.
#include "conversion_run.hpp"
#include "sectors.hpp"
#include "waveform.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The job's files, as many as the worker holds for it, and their sizes.
[[nodiscard]] int job_file_count();
[[nodiscard]] std::uint64_t job_file_size(int file);

// Lets go of the WAV file begun for the job: what it holds is no file.
void discard_job_output();

// How far a source reads ahead in one call into the worker, which reads the
// file ahead in windows of 16 MiB. Sorting a file reads its first window in
// large pieces too, since converting it reads that window next, and further
// on small pieces, and only them; listing a disc reads ranges no larger than
// its directories.
enum class read_pace : std::uint8_t { converting, sorting };

// `length` bytes of one of the host's files from `offset`.
class range_source final : public byte_source {
public:
    range_source(int file, std::uint64_t offset, std::uint64_t length, read_pace pace);

    fetch_result fetch() override;
    io_status skip(std::uint64_t count) override;
    io_status close() override { return io_status::ok; }

private:
    int file_;
    std::uint64_t start_;
    std::uint64_t position_;
    std::uint64_t end_;
    std::uint64_t far_piece_;
    std::vector<std::uint8_t> buffer_;
};

// A disc image made of some of the host's files, in the image's order.
class host_image final : public image_files {
public:
    host_image(std::vector<int> files, read_pace pace) : files_{std::move(files)}, pace_{pace} {}

    std::size_t count() const override { return files_.size(); }
    std::uint64_t size(std::size_t file) const override;
    std::unique_ptr<byte_source> open_range(std::size_t file, std::uint64_t offset, std::uint64_t length) override;

private:
    std::vector<int> files_;
    read_pace pace_;
};

// The WAV file, which the worker keeps: in the origin-private file system
// where it can, otherwise in Blobs. The first `header_bytes` written are the
// header; the samples after it are outlined.
class host_sink final : public byte_sink {
public:
    host_sink(std::size_t header_bytes, outline_builder& outline) : outline_{outline}, header_left_{header_bytes} {}

    io_status write(std::span<const std::uint8_t> bytes) override;
    io_status write_at(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
    io_status query_position(std::uint64_t& position) override;
    io_status close() override;

private:
    outline_builder& outline_;
    std::size_t header_left_;
};

// The one input of a run, whatever path the run gives it, opened anew each
// time it is opened, and its WAV file.
class host_input_files final : public file_system {
public:
    using opener = std::function<std::unique_ptr<byte_source>()>;

    host_input_files(opener open, outline_builder& outline) : open_{std::move(open)}, outline_{outline} {}

    std::unique_ptr<byte_source> open_input(const std::string& path) override;
    std::unique_ptr<byte_sink> create_output(const std::string& path, const std::string& input_path) override;
    void discard_output(const std::string& path) override;

private:
    opener open_;
    outline_builder& outline_;
};

class host_console final : public console {
public:
    void print(std::string_view text) override;
};
