// Binding the listener and serving connections: an io_context per I/O thread,
// and a compute pool for the tool calls that may run long.
#pragma once

#include <cstdint>
#include <string>

#include "service.h"

namespace pelloriand::server {

// run_server
//
// Starts `worker_threads` I/O threads and a compute pool of as many, then
// binds "{host}:{port}" (a literal address directly, a name through the
// resolver, first address that binds), logs the banner and serves until the
// process ends. Threads that cannot be started end it with status 101; a
// failed bind writes "failed to bind {}: {}" to standard error and exits
// with status 1.
[[noreturn]] void run_server(std::string host, std::uint16_t port, unsigned worker_threads,
                             ToolFilter filter);

}  // namespace pelloriand::server
