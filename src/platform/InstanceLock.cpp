#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace QlPlatform {
namespace {

// Ids may hold any character; file and socket names keep a readable ASCII part plus a hash of
// the exact bytes, so different ids never share a lock.
std::string fileStem(const std::string& name) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : name) {
    h ^= c;
    h *= 1099511628211ull;
  }
  std::string readable;
  for (unsigned char c : name) {
    if (readable.size() >= 40) break;
    readable += (std::isalnum(c) || c == '_' || c == '-') ? static_cast<char>(c) : '_';
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  return "quillorane-" + readable + "-" + hex;
}

bool fillAddress(const std::string& name, sockaddr_un& addr, socklen_t& len) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (name.size() + 1 > sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path + 1, name.data(), name.size());  // abstract namespace: leading NUL
  len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return true;
}

}  // namespace

InstanceLock::InstanceLock(const std::string& nameUtf8) {
  const std::string stem = fileStem(nameUtf8);
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  struct stat st{};
  if (dir == nullptr || *dir == '\0' || stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) dir = "/tmp";
  lockPath_ = std::string(dir) + "/" + stem + ".lock";
  socketName_ = stem + "-" + std::to_string(static_cast<unsigned long>(getuid()));

  lockFd_ = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ < 0) return;  // cannot tell: counts as not first, like a failed named mutex
  if (flock(lockFd_, LOCK_EX | LOCK_NB) != 0) return;
  first_ = true;

  listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_un addr;
  socklen_t len = 0;
  if (listenFd_ >= 0 && fillAddress(socketName_, addr, len) &&
      bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), len) == 0 && listen(listenFd_, 8) == 0)
    return;
  if (listenFd_ >= 0) close(listenFd_);
  listenFd_ = -1;  // still the first instance; only the raise request is unavailable
}

InstanceLock::~InstanceLock() {
  if (listenFd_ >= 0) close(listenFd_);
  if (lockFd_ >= 0) close(lockFd_);  // closing releases the flock
}

bool InstanceLock::requestRaise() const {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un addr;
  socklen_t len = 0;
  bool ok = fillAddress(socketName_, addr, len) && connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0;
  if (ok) ok = send(fd, "raise\n", 6, MSG_NOSIGNAL) == 6;
  close(fd);
  return ok;
}

bool InstanceLock::pollRaiseRequests() {
  if (listenFd_ < 0) return false;
  bool raise = false;
  for (;;) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) break;
    // The request is sent before the peer closes; give it a moment to arrive.
    char buf[16] = {};
    ssize_t n = -1;
    for (int tries = 0; tries < 50 && n < 0; ++tries) {
      n = recv(fd, buf, sizeof buf - 1, 0);
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
      if (n < 0) usleep(1000);
    }
    if (n >= 5 && std::strncmp(buf, "raise", 5) == 0) raise = true;
    close(fd);
  }
  return raise;
}

}  // namespace QlPlatform
