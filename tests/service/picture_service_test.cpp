// The picture service as the program meets it: every address of the list,
// asked for exactly as the program builds its request, gives a picture.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/text_operations.h"
#include "http/http_request.h"
#include "service/picture_catalogue.h"
#include "shell/picbox/picture_decoder.h"

namespace vt {
namespace {

// The service on a free loopback port (or the one given), stopped with
// SIGTERM at the end.
class RunningService {
public:
    explicit RunningService(const std::string& listen = "127.0.0.1:0") {
        int output[2];
        EXPECT_EQ(::pipe(output), 0);
        const std::string exe = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "picture-service").string();
        const std::string samples = std::string(std::getenv("VT_SOURCE_DIR")) + "/resources/samples";
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(output[1], STDOUT_FILENO);
            ::execl(exe.c_str(), exe.c_str(), "--listen", listen.c_str(), "--pictures", samples.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(output[1]);
        out_ = ::fdopen(output[0], "r");
        char line[512] = {};
        if (std::fgets(line, sizeof line, out_)) {
            const std::string text = line;
            const auto colon = text.rfind(':', text.find(" with "));
            port_ = std::atoi(text.c_str() + colon + 1);
        }
    }
    ~RunningService() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        // Stops cleanly: exit status 0 after SIGTERM.
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        std::fclose(out_);
    }
    int port() const { return port_; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::FILE* out_ = nullptr;
};

TEST(PictureService, AnswersEveryListedAddressWithAPictureAndNothingElse) {
    const RunningService service;
    ASSERT_GT(service.port(), 0);
    const std::string prefix = "http://127.0.0.1:" + std::to_string(service.port()) + "/net/a/36/link?appid=36&url=";
    const auto lines = builtin_picture_addresses();
    ASSERT_EQ(lines.size(), 423u);
    for (const auto& line : lines) {
        const Bytes body = http_request(concat_text(prefix, line));
        ASSERT_NE(recognise_picture(body.span()), PictureFormat::none) << line;
    }
    Text headers;
    const Bytes refused =
        http_request(concat_text(prefix, "https://not-listed.example.com/0123456789abcdef"), {.returned_headers = &headers});
    EXPECT_TRUE(std::string(headers.view()).starts_with("HTTP/1.1 404")) << headers.view();
    EXPECT_EQ(recognise_picture(refused.span()), PictureFormat::none);
}

// A second service on a port that one already holds must not share it
// quietly: it ends at once with status 1 (and says why on stderr). The
// first one is on a port named in advance, as the program's service is.
TEST(PictureService, ASecondServiceOnATakenPortEndsWithAnError) {
    constexpr int TAKEN_PORT = 18039;
    const std::string listen = "127.0.0.1:" + std::to_string(TAKEN_PORT);
    const RunningService first(listen);
    ASSERT_EQ(first.port(), TAKEN_PORT);
    const std::string exe = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "picture-service").string();
    const std::string samples = std::string(std::getenv("VT_SOURCE_DIR")) + "/resources/samples";
    const pid_t second = ::fork();
    if (second == 0) {
        ::execl(exe.c_str(), exe.c_str(), "--listen", listen.c_str(), "--pictures", samples.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    pid_t ended = 0;
    for (int wait = 0; wait < 100 && ended == 0; ++wait) {
        ended = ::waitpid(second, &status, WNOHANG);
        if (ended == 0) ::usleep(50 * 1000);
    }
    if (ended == 0) {
        ::kill(second, SIGKILL);
        ::waitpid(second, &status, 0);
        FAIL() << "the second service is still running on the taken port";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
}

}  // namespace
}  // namespace vt
