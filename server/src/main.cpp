// pelloriand-server: reads its five environment variables, installs the log,
// builds the worker threads and serves until it is killed. Start-up failures
// go to standard error: exit status 1 for a failed bind, 101 for the rest.
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "log.h"
#include "pelloriand/text.h"
#include "serve.h"
#include "service.h"

namespace {

// An environment value, or nothing when unset or not valid UTF-8.
std::optional<std::string> env_text(const char* name, bool* not_unicode = nullptr) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  std::string text(value);
  if (!pelloriand::text::is_valid_utf8(text)) {
    if (not_unicode != nullptr) *not_unicode = true;
    return std::nullopt;
  }
  return text;
}

unsigned worker_count() {
  bool not_unicode = false;
  std::optional<std::string> value = env_text("TOKIO_WORKER_THREADS", &not_unicode);
  if (not_unicode)
    pelloriand::log::fatal("TOKIO_WORKER_THREADS must be valid unicode", "not valid UTF-8");
  if (!value) {
    unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
  }
  pelloriand::text::UnsignedError error{};
  const std::optional<std::uint64_t> parsed =
      pelloriand::text::parse_unsigned(*value, std::numeric_limits<std::uint64_t>::max(), error);
  if (!parsed)
    pelloriand::log::fatal("TOKIO_WORKER_THREADS must be usize",
                           "invalid digit found in string, value: " + *value);
  const std::uint64_t n = *parsed;
  if (n == 0) pelloriand::log::fatal("TOKIO_WORKER_THREADS cannot be set to 0", *value);
  if (n > 4096)
    pelloriand::log::fatal("failed to build tokio runtime", "too many worker threads: " + *value);
  return static_cast<unsigned>(n);
}

}  // namespace

int main() {
  using namespace pelloriand;
  // A peer that closes early must cost an error code, not the process.
  std::signal(SIGPIPE, SIG_IGN);

  std::optional<std::string> no_color = env_text("NO_COLOR");
  bool color = !(no_color && !no_color->empty());
  std::vector<std::string> warnings;
  log::Filter filter = log::build_filter(env_text("RUST_LOG").value_or(""), warnings);
  for (const std::string& warning : warnings) std::fprintf(stderr, "%s\n", warning.c_str());
  log::install(std::move(filter), color);

  std::string host = env_text("PELLORIAND_HOST").value_or("127.0.0.1");
  text::UnsignedError port_error{};
  std::optional<std::uint16_t> port =
      server::parse_port(env_text("PELLORIAND_PORT").value_or("8787"), port_error);
  if (!port) {
    pelloriand::log::fatal(
        "PELLORIAND_PORT must be a number",
        "ParseIntError { kind: " + std::string(server::port_error_kind(port_error)) + " }");
  }
  unsigned threads = worker_count();
  server::run_server(std::move(host), *port, threads, server::accept_all_tools);
}
