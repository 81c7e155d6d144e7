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
    std::error_code error;
    std::vector<found_file> found;
    if (!std::filesystem::is_directory(root, error)) {
        const std::uint64_t size = std::filesystem::file_size(root, error);
        if (error) {
            return std::nullopt;
        }
        found.push_back({generic(root.filename()), input, size});
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
    for (auto walk = std::filesystem::recursive_directory_iterator{root, error};
         !error && walk != std::filesystem::recursive_directory_iterator{}; walk.increment(error)) {
        if (walk->is_regular_file(error)) {
            const std::string inside = generic(walk->path()).substr(inside_at);
            found.push_back({generic(top) + "/" + inside, typed + "/" + inside, walk->file_size(error)});
        }
    }
    if (error) {
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
        if (walk->is_regular_file(error) && walk->path().filename() != file.filename()) {
            const std::string name = generic(walk->path().filename());
            const std::uint64_t size = walk->file_size(error);
            found.push_back({name, typed_folder(input) + name, error ? 0 : size});
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
