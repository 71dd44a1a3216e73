#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
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

// The lock file: exclusive flock on a per-user file. The name carries the user id (so one
// user's game never blocks another user's, as with a per-session lock) and the file is
// removed by the instance that held it.
int InstanceLock::takeLockFile() {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int fd = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      close(fd);
      return -1;
    }
    // The holder before us may have removed the file between our open and our lock; then we
    // hold a lock on a file nobody else can find, so try again with the current one.
    struct stat held{}, named{};
    if (fstat(fd, &held) == 0 && stat(lockPath_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino)
      return fd;
    close(fd);
  }
  return -1;
}

InstanceLock::InstanceLock(const std::string& nameUtf8) {
  const std::string stem = fileStem(nameUtf8);
  const std::string uid = std::to_string(static_cast<unsigned long>(getuid()));
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  struct stat st{};
  if (dir == nullptr || *dir == '\0' || stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) dir = "/tmp";
  lockPath_ = std::string(dir) + "/" + stem + "-" + uid + ".lock";
  socketName_ = stem + "-" + uid;

  lockFd_ = takeLockFile();
  if (lockFd_ < 0) return;  // held by another instance, or cannot tell: counts as not first
  first_ = true;

  // Requests are datagrams: a sender never waits for us and a silent peer cannot hold up
  // the frame that reads them. The kernel attaches each sender's credentials.
  listenFd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_un addr;
  socklen_t len = 0;
  const int on = 1;
  if (listenFd_ >= 0 && fillAddress(socketName_, addr, len) &&
      setsockopt(listenFd_, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) == 0 &&
      bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), len) == 0)
    return;
  if (listenFd_ >= 0) close(listenFd_);
  listenFd_ = -1;  // still the first instance; only the raise request is unavailable
}

InstanceLock::~InstanceLock() {
  if (listenFd_ >= 0) close(listenFd_);
  if (lockFd_ >= 0) {
    unlink(lockPath_.c_str());  // while still locked, so no later instance loses its lock
    close(lockFd_);
  }
}

bool InstanceLock::requestRaise() const {
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un addr;
  socklen_t len = 0;
  // Never blocks: when the first instance has a full queue (it is busy), the request is
  // simply not made.
  const bool ok = fillAddress(socketName_, addr, len) &&
                  sendto(fd, "raise", 5, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&addr), len) == 5;
  close(fd);
  return ok;
}

bool InstanceLock::pollRaiseRequests() {
  if (listenFd_ < 0) return false;
  bool raise = false;
  // Bounded per call, so a flood of requests costs a frame no more than a few reads.
  for (int i = 0; i < 4; ++i) {
    char buf[16] = {};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    iovec iov{buf, sizeof buf};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(listenFd_, &msg, MSG_DONTWAIT);
    if (n < 0) break;
    // Only the same user's processes may raise the window.
    bool sameUser = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS) {
        ucred cred{};
        std::memcpy(&cred, CMSG_DATA(c), sizeof cred);
        sameUser = cred.uid == getuid();
      }
    }
    if (sameUser && n == 5 && std::memcmp(buf, "raise", 5) == 0) raise = true;
  }
  return raise;
}

}  // namespace QlPlatform
