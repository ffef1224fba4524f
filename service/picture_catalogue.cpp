#include "service/picture_catalogue.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "core/text_operations.h"
#include "resources/builtin_data.h"

namespace vt {

namespace {

// FNV-1a: a fixed, well-spread hash, unlike std::hash, which may differ
// between library versions.
std::uint64_t stable_hash(std::string_view bytes) noexcept {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

}  // namespace

PictureCatalogue::PictureCatalogue(const std::vector<std::string>& lines, std::vector<SamplePicture> samples)
    : samples_(std::move(samples)) {
    if (samples_.empty()) return;
    for (const auto& line : lines) picture_of_line_.emplace(line, sample_index_of(line));
}

std::size_t PictureCatalogue::sample_index_of(std::string_view line) const noexcept {
    return samples_.empty() ? 0 : static_cast<std::size_t>(stable_hash(line) % samples_.size());
}

const SamplePicture* PictureCatalogue::find(std::string_view raw_target) const {
    const auto query_mark = raw_target.find('?');
    if (query_mark == std::string_view::npos || raw_target.substr(0, query_mark) != SERVICE_PATH) return nullptr;
    const auto query = raw_target.substr(query_mark + 1);
    if (!query.starts_with(SERVICE_QUERY_START)) return nullptr;
    const auto found = picture_of_line_.find(std::string(query.substr(SERVICE_QUERY_START.size())));
    return found == picture_of_line_.end() ? nullptr : &samples_[found->second];
}

std::string_view picture_content_type(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    if (extension == ".jpg" || extension == ".jpeg") return "image/jpeg";
    if (extension == ".png") return "image/png";
    if (extension == ".gif") return "image/gif";
    if (extension == ".bmp") return "image/bmp";
    if (extension == ".ico" || extension == ".cur") return "image/vnd.microsoft.icon";
    if (extension == ".pcx") return "image/vnd.zbrush.pcx";
    return {};
}

std::vector<SamplePicture> load_sample_pictures(const std::filesystem::path& folder) {
    std::vector<SamplePicture> pictures;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto type = picture_content_type(entry.path());
        if (type.empty() || !entry.is_regular_file(error)) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.bad()) pictures.push_back({entry.path().filename().string(), std::string(type), std::move(bytes)});
    }
    std::sort(pictures.begin(), pictures.end(),
              [](const SamplePicture& a, const SamplePicture& b) { return a.file_name < b.file_name; });
    return pictures;
}

std::vector<std::string> builtin_picture_addresses() {
    const Text list = bytes_to_text(Bytes(PICTURE_LIST));
    std::vector<std::string> lines;
    for (const Text& line : split_text(list, Text("\r\n"))) lines.emplace_back(line.view());
    return lines;
}

}  // namespace vt
