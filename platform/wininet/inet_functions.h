// The seven transport operations as the program binds them by name from the
// transport library. Declared by us for our own libcurl-based library.
#pragma once

#include <cstdint>

extern "C" {
using InternetHandle = void*;  // opaque, non-zero when valid

using InternetOpenAFunction = InternetHandle(const char* agent, std::uint32_t access_type, const char* proxy,
                                             const char* proxy_bypass, std::uint32_t flags);
using InternetConnectAFunction = InternetHandle(InternetHandle internet, const char* server_name, std::uint16_t server_port,
                                                const char* user_name, const char* password, std::uint32_t service,
                                                std::uint32_t flags, std::uintptr_t context);
using HttpOpenRequestAFunction = InternetHandle(InternetHandle connection, const char* verb, const char* object_name,
                                                const char* version, const char* referrer, const char** accept_types,
                                                std::uint32_t flags, std::uintptr_t context);
using HttpSendRequestAFunction = std::int32_t(InternetHandle request, const char* headers, std::uint32_t headers_length,
                                              const void* optional, std::uint32_t optional_length);
using InternetReadFileFunction = std::int32_t(InternetHandle file, void* buffer, std::uint32_t bytes_to_read,
                                              std::uint32_t* bytes_read);
using HttpQueryInfoAFunction = std::int32_t(InternetHandle request, std::uint32_t info_level, void* buffer,
                                            std::uint32_t* buffer_length, std::uint32_t* index);
using InternetCloseHandleFunction = std::int32_t(InternetHandle handle);
}

inline constexpr std::uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;
inline constexpr std::uint32_t INTERNET_OPEN_TYPE_PROXY = 3;
inline constexpr std::uint32_t INTERNET_SERVICE_HTTP = 3;
inline constexpr std::uint32_t HTTP_QUERY_RAW_HEADERS_CRLF = 22;

inline constexpr std::uint32_t INTERNET_FLAG_RELOAD = 0x80000000u;
inline constexpr std::uint32_t INTERNET_FLAG_NEED_FILE = 0x10u;
inline constexpr std::uint32_t INTERNET_FLAG_NO_COOKIES = 0x80000u;
inline constexpr std::uint32_t INTERNET_FLAG_NO_AUTO_REDIRECT = 0x200000u;
inline constexpr std::uint32_t INTERNET_FLAG_SECURE = 0x800000u;
inline constexpr std::uint32_t INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x4000u;
