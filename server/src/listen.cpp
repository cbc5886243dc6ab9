#include "listen.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include "log.h"

namespace pelloriand::server {
namespace {

std::string os_error_text(int err) {
  return std::string(std::strerror(err)) + " (os error " + std::to_string(err) + ")";
}

// A failed bind ends start-up with status 1, every other failure with 101.
[[noreturn]] void bind_failed(const std::string& address, std::string_view reason) {
  log::fatal("failed to bind " + address, reason, 1);
}

// Opens a listening socket on one address; returns the fd or sets `err`.
int listen_on(const sockaddr* addr, socklen_t len, int& err) {
  int fd = ::socket(addr->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    err = errno;
    return -1;
  }
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd, addr, len) != 0 || ::listen(fd, 1024) != 0) {
    err = errno;
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int bind_address(const std::string& host, std::uint16_t port, const std::string& address) {
  int err = 0;
  // Literal addresses: dotted IPv4, or IPv6 in brackets.
  sockaddr_storage storage{};
  std::string v6 = host.size() >= 2 && host.front() == '[' && host.back() == ']'
                       ? host.substr(1, host.size() - 2)
                       : std::string();
  auto* v4addr = reinterpret_cast<sockaddr_in*>(&storage);
  auto* v6addr = reinterpret_cast<sockaddr_in6*>(&storage);
  if (::inet_pton(AF_INET, host.c_str(), &v4addr->sin_addr) == 1) {
    v4addr->sin_family = AF_INET;
    v4addr->sin_port = htons(port);
    int fd = listen_on(reinterpret_cast<sockaddr*>(v4addr), sizeof *v4addr, err);
    if (fd < 0) bind_failed(address, os_error_text(err));
    return fd;
  }
  if (!v6.empty() && ::inet_pton(AF_INET6, v6.c_str(), &v6addr->sin6_addr) == 1) {
    v6addr->sin6_family = AF_INET6;
    v6addr->sin6_port = htons(port);
    int fd = listen_on(reinterpret_cast<sockaddr*>(v6addr), sizeof *v6addr, err);
    if (fd < 0) bind_failed(address, os_error_text(err));
    return fd;
  }
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) {
    bind_failed(address, std::string("failed to lookup address information: ") + gai_strerror(rc));
  }
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(found, &::freeaddrinfo);
  if (found == nullptr) bind_failed(address, "could not resolve to any address");
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    int fd = listen_on(a->ai_addr, a->ai_addrlen, err);
    if (fd >= 0) return fd;
  }
  bind_failed(address, os_error_text(err));
}

}  // namespace pelloriand::server
