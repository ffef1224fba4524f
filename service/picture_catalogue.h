// Which picture the service answers for which request: every address of
// the built-in list maps to one sample picture, the same one every time;
// anything else maps to nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vt {

struct SamplePicture {
    std::string file_name;
    std::string content_type;
    std::string bytes;
};

// The path and the start of the query every request of the program carries;
// the rest of the query is one line of the list, byte for byte.
inline constexpr std::string_view SERVICE_PATH = "/net/a/36/link";
inline constexpr std::string_view SERVICE_QUERY_START = "appid=36&url=";

class PictureCatalogue {
public:
    // `lines`: the addresses served; `samples`: the pictures they map to
    // (at least one).
    PictureCatalogue(const std::vector<std::string>& lines, std::vector<SamplePicture> samples);

    // The picture for a raw request target ("/net/a/36/link?appid=36&url=...").
    // The query is compared as it came, before any percent-decoding, so
    // escapes such as "%25" in an address match exactly.
    const SamplePicture* find(std::string_view raw_target) const;

    // The sample index an address maps to: stable across runs and builds.
    std::size_t sample_index_of(std::string_view line) const noexcept;
    std::size_t sample_count() const noexcept { return samples_.size(); }

private:
    std::unordered_map<std::string, std::size_t> picture_of_line_;
    std::vector<SamplePicture> samples_;
};

// The content type a picture file is served with, by its extension; empty
// for files that are not pictures the program shows.
std::string_view picture_content_type(const std::filesystem::path& file);

// The pictures of `folder`, sorted by name so the mapping is stable.
std::vector<SamplePicture> load_sample_pictures(const std::filesystem::path& folder);

// The lines of the built-in picture list.
std::vector<std::string> builtin_picture_addresses();

}  // namespace vt
