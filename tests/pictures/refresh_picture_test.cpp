// One refresh end to end, against a loopback server on the proxy port this
// test build names.
#include "pictures/refresh_picture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>

#include "core/text_operations.h"
#include "resources/builtin_data.h"
#include "tests/platform/wininet/raw_server.h"

namespace vt {
namespace {

constexpr int TEST_PROXY_PORT = 18036;

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(std::getenv("VT_SOURCE_DIR")) + "/tests/fixtures/pictures/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> list_lines() {
    std::set<std::string> lines;
    for (const Text& line : split_text(bytes_to_text(Bytes(PICTURE_LIST)), Text("\r\n"))) lines.emplace(line.view());
    return lines;
}

// One test: the cases share the proxy port and must not overlap.
TEST(RefreshPicture, FetchesOneListedAddressAndShowsItOrAPlainSquare) {
    const std::string picture = fixture("jpeg_100x100.jpg");
    auto server_owner = std::make_unique<RawServer>([&](const std::string&, int socket) {
        RawServer::send_all(socket, RawServer::response("200 OK", "Content-Type: image/jpeg\r\n", picture));
    }, TEST_PROXY_PORT);
    RawServer& server = *server_owner;
    PicBox frame(189, 189, DisplayMode::fit, BUTTON_FACE, true);
    EXPECT_FALSE(frame.visible());
    refresh_picture(frame);
    ASSERT_EQ(server.requests().size(), 1u);
    const std::string request = server.requests()[0];
    const std::string start = "GET /net/a/36/link?appid=36&url=";
    ASSERT_TRUE(request.starts_with(start)) << request;
    const std::string line = request.substr(start.size(), request.find(" HTTP/1.1\r\n") - start.size());
    EXPECT_EQ(list_lines().count(line), 1u) << "a line of the list, byte for byte: " << line;
    EXPECT_NE(request.find("\r\nReferer: " + std::string(PROXY_PREFIX) + line + "\r\n"), std::string::npos);
    EXPECT_TRUE(frame.visible());

    PicBox reference(189, 189, DisplayMode::fit, BUTTON_FACE, true);
    reference.set_picture(Bytes(std::string_view(picture)));
    EXPECT_EQ(frame.render().pixels, reference.render().pixels);

    // With the service gone, the frame becomes a plain square.
    server_owner.reset();
    refresh_picture(frame);
    EXPECT_TRUE(frame.visible());
    const RgbaImage out = frame.render();
    for (std::size_t i = 0; i < out.pixels.size(); i += 4) ASSERT_EQ(out.pixels[i], 240);
}

}  // namespace
}  // namespace vt
