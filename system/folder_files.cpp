#include "folder_files.hpp"

#include "platform.hpp"

#include <filesystem>
#include <system_error>

namespace {

std::string generic(const std::filesystem::path& path)
{
    return reinterpret_cast<const char*>(path.generic_u8string().c_str());
}

// The folder part of a path as typed, with its slash: where the names of the
// files beside it begin.
std::string typed_folder(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

} // namespace

// Names are made from the input as typed, so that they open as it does
// (native_path makes each the system's own) and compare by their folders.
std::optional<std::vector<folder_tree::found_file>> disk_folders::files_under(const std::string& input)
{
    const std::filesystem::path root = native_path(input);
    const std::optional<path_facts> facts = facts_of(root);
    if (!facts || (!facts->folder && !facts->regular_file)) {
        return std::nullopt;
    }
    std::vector<found_file> found;
    if (!facts->folder) {
        found.push_back({generic(root.filename()), input, facts->size});
        return found;
    }
    // The folder's own name leads, as where a folder is chosen on the page.
    const std::filesystem::path top = root.has_filename() ? root.filename() : root.parent_path().filename();
    const std::string typed =
        input.find_last_not_of("/\\") == std::string::npos ? input : input.substr(0, input.find_last_not_of("/\\") + 1);
    // The walk's paths begin with the root as given; lexically_relative
    // cannot be trusted with Windows' extended-length form.
    const std::string root_text = generic(root);
    const std::size_t inside_at = root_text.size() + (root_text.ends_with('/') ? 0 : 1);
    std::error_code error;
    bool unknown = false; // a path in the folder that the system cannot say what it is
    for (auto walk = std::filesystem::recursive_directory_iterator{root, error};
         !error && !unknown && walk != std::filesystem::recursive_directory_iterator{}; walk.increment(error)) {
        const std::optional<path_facts> entry = facts_of(walk->path());
        unknown = !entry;
        if (entry && entry->regular_file) {
            const std::string inside = generic(walk->path()).substr(inside_at);
            found.push_back({generic(top) + "/" + inside, typed + "/" + inside, entry->size});
        }
    }
    if (error || unknown) {
        return std::nullopt;
    }
    return found;
}

std::vector<folder_tree::found_file> disk_folders::files_beside(const std::string& input)
{
    const std::filesystem::path file = native_path(input);
    std::error_code error;
    std::vector<found_file> found;
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path{"."};
    for (auto walk = std::filesystem::directory_iterator{folder, error};
         !error && walk != std::filesystem::directory_iterator{}; walk.increment(error)) {
        const std::optional<path_facts> entry = facts_of(walk->path());
        if (entry && entry->regular_file && walk->path().filename() != file.filename()) {
            const std::string name = generic(walk->path().filename());
            found.push_back({name, typed_folder(input) + name, entry->size});
        }
    }
    return found;
}

bool disk_folders::exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(native_path(path), error);
}

bool disk_folders::make_folders(const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(native_path(path), error);
    return !error && std::filesystem::is_directory(native_path(path), error);
}
