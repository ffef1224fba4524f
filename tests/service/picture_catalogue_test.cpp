#include "service/picture_catalogue.h"

#include <gtest/gtest.h>

#include <set>

namespace vt {
namespace {

std::vector<SamplePicture> three_samples() {
    return {{"a.jpg", "image/jpeg", "A"}, {"b.png", "image/png", "B"}, {"c.gif", "image/gif", "C"}};
}

std::string target_for(std::string_view line) {
    return std::string(SERVICE_PATH) + "?" + std::string(SERVICE_QUERY_START) + std::string(line);
}

TEST(PictureCatalogue, AnswersListedAddressesOnTheRawQuery) {
    const std::vector<std::string> lines = {
        "https://img1.example.com/0123456789abcdef",
        // An escaped escape: a decoding server would turn %25 into % and miss.
        "https://img2.example.com/0123456789abcdee&durl=http%3A%2F%2Fa.example.org%2Fx%253Fy",
    };
    const PictureCatalogue catalogue(lines, three_samples());
    for (const auto& line : lines) {
        const SamplePicture* picture = catalogue.find(target_for(line));
        ASSERT_NE(picture, nullptr) << line;
        EXPECT_EQ(picture, catalogue.find(target_for(line))) << "the same address gives the same picture";
    }
}

TEST(PictureCatalogue, RefusesEverythingElse) {
    const std::string line = "https://img1.example.com/0123456789abcdef";
    const PictureCatalogue catalogue({line}, three_samples());
    const std::string refused[] = {
        target_for("https://elsewhere.example.com/0123456789abcdef"),
        target_for(line + "x"),
        target_for(line.substr(0, line.size() - 1)),
        // The decoded form of an address is not the address.
        target_for("https%3A%2F%2Fimg1.example.com%2F0123456789abcdef"),
        "/net/a/36/link?appid=37&url=" + line,
        "/net/a/36/linkx?appid=36&url=" + line,
        "/net/a/36/link",
        "/net/a/36/link?",
        "/",
        "",
    };
    for (const auto& target : refused) EXPECT_EQ(catalogue.find(target), nullptr) << target;
}

TEST(PictureCatalogue, SpreadsAddressesOverEverySample) {
    std::vector<std::string> lines;
    for (int i = 0; i < 200; ++i) lines.push_back("https://img.example.com/" + std::to_string(1000000 + i));
    const PictureCatalogue catalogue(lines, three_samples());
    std::set<std::string> served;
    for (const auto& line : lines) served.insert(catalogue.find(target_for(line))->file_name);
    EXPECT_EQ(served.size(), 3u);
}

TEST(PictureCatalogue, ContentTypeByExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"a.jpg", "image/jpeg"}, {"a.JPEG", "image/jpeg"}, {"a.png", "image/png"},
        {"a.gif", "image/gif"},  {"a.bmp", "image/bmp"},   {"a.ico", "image/vnd.microsoft.icon"},
        {"a.pcx", "image/vnd.zbrush.pcx"}, {"a.txt", ""}, {"README", ""},
    };
    for (const auto& [file, type] : cases) EXPECT_EQ(picture_content_type(file), type) << file;
}

TEST(PictureCatalogue, BuiltinListHas423DistinctAddresses) {
    const auto lines = builtin_picture_addresses();
    EXPECT_EQ(lines.size(), 423u);
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), lines.size());
}

}  // namespace
}  // namespace vt
