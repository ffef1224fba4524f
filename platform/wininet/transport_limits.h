// How long and how much the transport waits and reads. Build-time settings
// (see CMakeLists.txt) so tests can shorten them; a worker never hangs.
#pragma once

#ifndef VT_TRANSPORT_CONNECT_TIMEOUT_S
#define VT_TRANSPORT_CONNECT_TIMEOUT_S 60
#endif
// A transfer ends when no byte has come or gone for this long.
#ifndef VT_TRANSPORT_STALL_TIMEOUT_S
#define VT_TRANSPORT_STALL_TIMEOUT_S 60
#endif
// A whole exchange ends after this, however slowly bytes trickle in.
#ifndef VT_TRANSPORT_EXCHANGE_TIMEOUT_S
#define VT_TRANSPORT_EXCHANGE_TIMEOUT_S 600
#endif
#ifndef VT_TRANSPORT_MAX_REDIRECTS
#define VT_TRANSPORT_MAX_REDIRECTS 10
#endif
// A body is cut here: a hostile server must not exhaust memory.
#ifndef VT_TRANSPORT_MAX_BODY_BYTES
#define VT_TRANSPORT_MAX_BODY_BYTES (64ull * 1024 * 1024)
#endif
// Reads from the network come in pieces this large; callers then take
// 1024 bytes at a time from memory.
#ifndef VT_TRANSPORT_NETWORK_BUFFER_BYTES
#define VT_TRANSPORT_NETWORK_BUFFER_BYTES (512ull * 1024)
#endif
