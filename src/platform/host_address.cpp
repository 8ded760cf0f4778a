#include "platform/host_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

std::string numeric(const sockaddr* address, socklen_t length) {
  char text[NI_MAXHOST];
  if (::getnameinfo(address, length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
    return "";
  return text;
}

}  // namespace

std::string address_towards(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port > 0 ? port : 9);
  if (host.empty() || ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) return "";
  std::string out;
  for (addrinfo* a = found; a && out.empty(); a = a->ai_next) {
    // A datagram socket's connect only picks the route and the source
    // address: no packet leaves.
    const int fd = ::socket(a->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
      out = numeric(reinterpret_cast<sockaddr*>(&local), length);
    ::close(fd);
  }
  ::freeaddrinfo(found);
  return out;
}

std::string first_network_address() {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return "";
  std::string v4, v6;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || !(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
    if (i->ifa_addr->sa_family == AF_INET && v4.empty()) {
      v4 = numeric(i->ifa_addr, sizeof(sockaddr_in));
    } else if (i->ifa_addr->sa_family == AF_INET6 && v6.empty()) {
      const auto* six = reinterpret_cast<const sockaddr_in6*>(i->ifa_addr);
      // A link-local address needs its interface named: no use to a peer.
      if (!IN6_IS_ADDR_LINKLOCAL(&six->sin6_addr)) v6 = numeric(i->ifa_addr, sizeof(sockaddr_in6));
    }
  }
  ::freeifaddrs(list);
  return v4.empty() ? v6 : v4;
}

}  // namespace platform
