// Binding the listener and serving connections: an io_context per worker
// thread, and idle workers serving the connections of one held up in a tool.
#pragma once

#include <cstdint>
#include <string>

#include "service.h"

namespace pelloriand::server {

// run_server
//
// Binds "{host}:{port}" (a literal address directly, a name through the
// resolver, first address that binds), logs the banner and serves until the
// process ends. A failed bind writes "failed to bind {}: {}" to standard error
// and exits with status 1.
[[noreturn]] void run_server(std::string host, std::uint16_t port, unsigned worker_threads,
                             ToolFilter filter);

}  // namespace pelloriand::server
