// The listening socket: "{host}:{port}" bound before the workers start.
#pragma once

#include <cstdint>
#include <string>

namespace pelloriand::server {

// bind_address
//
// Binds and listens on a literal address directly (dotted IPv4, or IPv6 in
// brackets), or on the first address a name resolves to that binds; returns
// the socket. A failure writes "failed to bind {address}: {reason}" to
// standard error and exits with status 1.
[[nodiscard]] int bind_address(const std::string& host, std::uint16_t port,
                               const std::string& address);

}  // namespace pelloriand::server
