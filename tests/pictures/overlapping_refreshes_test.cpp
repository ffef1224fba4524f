// Many refreshes at once, as quick presses on the picture make them, against
// a picture service slow enough that they all overlap, while the window's
// thread keeps painting the frame.
#include <fcntl.h>
#include <malloc.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "pictures/refresh_picture.h"
#include "service/picture_catalogue.h"

namespace vt {
namespace {

using namespace std::chrono_literals;

constexpr int REFRESHES = 200;
// A round just like the measured one goes first, so libcurl's set-up, the
// allocator's per-thread arenas and the code pages of every decoder are in
// place before memory is measured.
constexpr int WARM_UP_REFRESHES = REFRESHES;
// Each answer is held back this long, so all the refreshes are under way at
// the same time.
constexpr int SERVICE_DELAY_MS = 200;
// Every refresh asks the window for three repaints: when the old picture
// goes, when the new one is in, and when the frame is shown.
constexpr int REPAINTS_PER_REFRESH = 3;
constexpr long MEMORY_SLACK_KB = 10L * 1024;
constexpr auto FINISH_TIME_LIMIT = 180s;
constexpr int FIXED_MMAP_THRESHOLD = 128 * 1024;  // the allocator's own starting value

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// A sanitizer keeps freed memory in quarantine and shadow memory of its own:
// the process's size says nothing about leaks there.
constexpr bool MEMORY_IS_MEANINGFUL = false;
#else
constexpr bool MEMORY_IS_MEANINGFUL = true;
#endif

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// A field of /proc/self/status in its own unit (kB for sizes).
long own_status(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field + ":")) return std::stol(line.substr(field.size() + 1));
    }
    return -1;
}

bool wait_until(const std::function<bool()>& done, std::chrono::steady_clock::duration limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool port_answers(int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool connected = ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(socket);
    return connected;
}

// The picture service as a child process, slowed down; stopped at the end.
class SlowPictureService {
public:
    SlowPictureService() {
        const std::string program = env("VT_BIN_DIR") + "/picture-service";
        const std::string listen = "127.0.0.1:" + std::to_string(VT_OVERLAP_PORT);
        const std::string pictures = env("VT_SOURCE_DIR") + "/resources/samples";
        const std::string delay = std::to_string(SERVICE_DELAY_MS);
        std::vector<std::string> args = {program, "--listen", listen, "--pictures", pictures, "--delay-ms", delay};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        // Its access log (a line a request) is of no interest here.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> environment = service_environment();
        std::vector<char*> envp;
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SlowPictureService() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    SlowPictureService(const SlowPictureService&) = delete;
    SlowPictureService& operator=(const SlowPictureService&) = delete;

    // False if it did not start or ended at once (the port is taken).
    bool ready() {
        return pid_ > 0 && wait_until([this] { return running() && port_answers(VT_OVERLAP_PORT); }, 10s) && running();
    }

private:
    // Ours, except that the service, built with the thread checker like this
    // test, is told not to report: its HTTP library is a prebuilt shared
    // library whose synchronisation the checker cannot see, and the service
    // is only the far end here, not what is under test.
    static std::vector<std::string> service_environment() {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry) {
            if (!std::string_view(*entry).starts_with("TSAN_OPTIONS=")) environment.emplace_back(*entry);
        }
        environment.emplace_back("TSAN_OPTIONS=report_bugs=0");
        return environment;
    }

    bool running() {
        int status = 0;
        return ::waitpid(pid_, &status, WNOHANG) == 0;
    }
    pid_t pid_ = -1;
};

// The window as far as the frame sees it: repaints are counted, and
// animation ticks are dropped (the frame stays on a picture's first frame).
class CountingWindow final : public PicBoxHost {
public:
    // Counted with ordering: a worker's accesses to the frame come before
    // its last repaint, and the test's teardown comes after it sees that.
    void request_repaint() override { repaints.fetch_add(1); }
    void run_later_on_window_thread(int, std::function<void()>) override {}
    std::atomic<int> repaints{0};
};

// What the frame shows for each picture the service may send.
std::vector<RgbaImage> served_renderings() {
    std::vector<RgbaImage> renderings;
    for (const SamplePicture& sample : load_sample_pictures(env("VT_SOURCE_DIR") + "/resources/samples")) {
        PicBox reference(189, 189, DisplayMode::fit, BUTTON_FACE, true);
        reference.set_picture(Bytes(std::string_view(sample.bytes)));
        renderings.push_back(reference.render());
    }
    return renderings;
}

bool is_one_of(const RgbaImage& image, const std::vector<RgbaImage>& candidates) {
    return std::any_of(candidates.begin(), candidates.end(), [&](const RgbaImage& c) { return c.pixels == image.pixels; });
}

TEST(OverlappingRefreshes, EndWithOneServedPictureNoTornPaintAndNoGrowth) {
    // The allocator normally raises its mmap threshold once big blocks (the
    // bodies, the decoded frames) are freed; each per-thread arena may then
    // keep a few MB at its top, which malloc_trim does not hand back. With a
    // fixed threshold big blocks go straight back to the system, so the
    // resident size follows what is still allocated: a leak, not a cache.
    if (MEMORY_IS_MEANINGFUL) mallopt(M_MMAP_THRESHOLD, FIXED_MMAP_THRESHOLD);
    SlowPictureService service;
    ASSERT_TRUE(service.ready()) << "the picture service did not start on port " << VT_OVERLAP_PORT;
    const std::vector<RgbaImage> served = served_renderings();
    ASSERT_FALSE(served.empty());
    PicBox plain(189, 189, DisplayMode::fit, BUTTON_FACE, true);
    const RgbaImage plain_square = plain.render();

    CountingWindow window;
    PicBox frame(189, 189, DisplayMode::fit, BUTTON_FACE, true);
    frame.attach_host(&window);

    // The window's thread: paints all along, and every paint must be the
    // plain square or a whole served picture, never one being replaced.
    std::atomic<int> paints{0}, torn_paints{0};
    std::jthread painter([&](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            const RgbaImage shown = frame.render();
            if (shown.pixels != plain_square.pixels && !is_one_of(shown, served)) torn_paints.fetch_add(1);
            paints.fetch_add(1);
            std::this_thread::yield();
        }
    });
    const long threads_at_rest = own_status("Threads");

    const auto refresh_all = [&](int count) {
        const int repaints_before = window.repaints.load();
        for (int i = 0; i < count; ++i) start_refresh(frame);
        // Each worker's last act is its third repaint; then it only returns.
        return wait_until([&] { return window.repaints.load() == repaints_before + count * REPAINTS_PER_REFRESH; },
                          FINISH_TIME_LIMIT) &&
               wait_until([&] { return own_status("Threads") == threads_at_rest; }, FINISH_TIME_LIMIT);
    };

    ASSERT_TRUE(refresh_all(WARM_UP_REFRESHES));
    malloc_trim(0);
    const long memory_at_rest_kb = own_status("VmRSS");

    const int paints_before = paints.load();
    const bool all_finished = refresh_all(REFRESHES);
    const int paints_during = paints.load() - paints_before;
    painter.request_stop();
    painter.join();
    ASSERT_TRUE(all_finished) << "not all refreshes ended: " << window.repaints.load() << " repaints";

    EXPECT_GT(paints_during, 0);
    EXPECT_EQ(torn_paints.load(), 0);
    EXPECT_TRUE(frame.visible());
    EXPECT_TRUE(is_one_of(frame.render(), served)) << "the frame does not hold a served picture";

    if (MEMORY_IS_MEANINGFUL) {
        malloc_trim(0);
        const long memory_after_kb = own_status("VmRSS");
        EXPECT_LE(memory_after_kb, memory_at_rest_kb + MEMORY_SLACK_KB)
            << "resident memory grew from " << memory_at_rest_kb << " kB to " << memory_after_kb << " kB";
    }
}

}  // namespace
}  // namespace vt
