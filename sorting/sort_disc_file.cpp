#include "sort_disc_file.hpp"

namespace {

// The entry's bytes under any path; nothing is written.
class entry_files final : public file_system {
public:
    entry_files(image_files& image, const disc_entry& entry) : image_{image}, entry_{entry} {}

    std::unique_ptr<byte_source> open_input(const std::string&) override { return open_entry(image_, entry_); }
    std::unique_ptr<byte_sink> create_output(const std::string&, const std::string&) override { return nullptr; }
    void discard_output(const std::string&) override {}

private:
    image_files& image_;
    const disc_entry& entry_;
};

} // namespace

sorted_content sort_disc_file(image_files& image, const disc_entry& entry)
{
    if (entry.where.layout != sector_layout::raw && entry.form2) {
        return {content_verdict::skipped, xa_needs_raw_sectors};
    }
    if (const std::unique_ptr<byte_source> sectors = open_entry_sectors(image, entry.where)) {
        switch (find_xa_sound(*sectors, entry.where.sectors * raw_sector_bytes)) {
        case xa_presence::found:
            return {content_verdict::xa, {}};
        case xa_presence::unreadable:
            return {content_verdict::unreadable, {}};
        case xa_presence::absent:
            break;
        }
    }
    entry_files files{image, entry};
    return sort_content(files, "entry", sector_file_bound(entry.where, entry.size));
}
