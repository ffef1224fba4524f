// The recording fake transport: exports the seven operations, records each
// call with its arguments as one line of text, and answers as told.
#include "tests/http/fake_transport/fake_transport.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/wininet/inet_functions.h"

namespace {

std::mutex lock;
vt::fake::Settings settings;
std::vector<std::string> calls;
std::size_t read_offset = 0;
std::uintptr_t next_handle = 0;

std::string text(const char* s) { return s ? "\"" + std::string(s) + "\"" : "none"; }

InternetHandle new_handle() { return reinterpret_cast<InternetHandle>(++next_handle); }

void record(std::string line) { calls.push_back(std::move(line)); }

std::string hex(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", value);
    return buffer;
}

}  // namespace

#define VT_EXPORT extern "C" __attribute__((visibility("default")))

VT_EXPORT void fake_transport_reset(const vt::fake::Settings& new_settings) {
    const std::lock_guard guard(lock);
    settings = new_settings;
    calls.clear();
    read_offset = 0;
    next_handle = 0;
}

VT_EXPORT const std::vector<std::string>* fake_transport_log() { return &calls; }

VT_EXPORT InternetHandle InternetOpenA(const char* agent, std::uint32_t access, const char* proxy, const char* bypass,
                                       std::uint32_t flags) {
    const std::lock_guard guard(lock);
    record("open " + text(agent) + " " + std::to_string(access) + " " + text(proxy) + " " + text(bypass) + " " +
           std::to_string(flags));
    return settings.fail_open ? nullptr : new_handle();
}

VT_EXPORT InternetHandle InternetConnectA(InternetHandle internet, const char* host, std::uint16_t port, const char* user,
                                          const char* password, std::uint32_t service, std::uint32_t flags,
                                          std::uintptr_t context) {
    const std::lock_guard guard(lock);
    record("connect " + std::to_string(reinterpret_cast<std::uintptr_t>(internet)) + " " + text(host) + " " +
           std::to_string(port) + " " + text(user) + " " + text(password) + " " + std::to_string(service) + " " +
           std::to_string(flags) + " " + std::to_string(context));
    return settings.fail_connect ? nullptr : new_handle();
}

VT_EXPORT InternetHandle HttpOpenRequestA(InternetHandle connection, const char* verb, const char* object,
                                          const char* version, const char* referrer, const char** accept,
                                          std::uint32_t flags, std::uintptr_t context) {
    const std::lock_guard guard(lock);
    record("request " + std::to_string(reinterpret_cast<std::uintptr_t>(connection)) + " " + text(verb) + " " +
           text(object) + " " + text(version) + " " + text(referrer) + " " + (accept ? "types" : "none") + " " +
           hex(flags) + " " + std::to_string(context));
    return settings.fail_open_request ? nullptr : new_handle();
}

VT_EXPORT std::int32_t HttpSendRequestA(InternetHandle request, const char* headers, std::uint32_t headers_length,
                                        const void* body, std::uint32_t body_length) {
    const std::lock_guard guard(lock);
    const std::string body_text = body ? "\"" + std::string(static_cast<const char*>(body), body_length) + "\"" : "none";
    record("send " + std::to_string(reinterpret_cast<std::uintptr_t>(request)) + " " +
           text(headers ? std::string(headers, headers_length).c_str() : nullptr) + " " + std::to_string(headers_length) +
           " " + body_text + " " + std::to_string(body_length));
    return 1;
}

VT_EXPORT std::int32_t InternetReadFile(InternetHandle, void* buffer, std::uint32_t to_read, std::uint32_t* read) {
    const std::lock_guard guard(lock);
    *read = 0;
    const std::size_t count = std::min<std::size_t>(to_read, settings.body.size() - read_offset);
    std::memcpy(buffer, settings.body.data() + read_offset, count);
    read_offset += count;
    *read = settings.claimed_count ? settings.claimed_count : static_cast<std::uint32_t>(count);
    record("read " + std::to_string(to_read) + " " + std::to_string(*read));
    return 1;
}

VT_EXPORT std::int32_t HttpQueryInfoA(InternetHandle, std::uint32_t level, void* buffer, std::uint32_t* length,
                                      std::uint32_t* index) {  // NOLINT(readability-non-const-parameter): the binding's signature
    const std::lock_guard guard(lock);
    record("query " + std::to_string(level) + " " + std::to_string(*length) + " " + (index ? "index" : "none"));
    if (!settings.answer_headers || settings.header_block.size() + 1 > *length) return 0;
    std::memcpy(buffer, settings.header_block.c_str(), settings.header_block.size() + 1);
    *length = static_cast<std::uint32_t>(settings.header_block.size());
    return 1;
}

VT_EXPORT std::int32_t InternetCloseHandle(InternetHandle handle) {
    const std::lock_guard guard(lock);
    record("close " + std::to_string(reinterpret_cast<std::uintptr_t>(handle)));
    return 1;
}
