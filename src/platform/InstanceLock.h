#pragma once
#include <memory>
#include <string>

namespace QlPlatform {

// Single-instance lock named from an id, per user. The first process to take the lock file
// also listens on a Unix-domain datagram socket derived from the same name; later processes
// use it to ask the first one to raise its window. The lock disappears with the process,
// even on a crash.
class InstanceLock {
 public:
  explicit InstanceLock(const std::string& nameUtf8);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool isFirst() const { return first_; }
  // Second instance: asks the first one to raise its window. False when nobody listens.
  bool requestRaise() const;
  // First instance: takes pending requests (a bounded number per call) without waiting;
  // true if one of the same user asked to raise.
  bool pollRaiseRequests();

  // Where the lock lives (for diagnostics and tests).
  const std::string& lockPath() const { return lockPath_; }

 private:
  int takeLockFile();

  std::string lockPath_;
  std::string socketName_;  // abstract-namespace name, without the leading NUL
  int lockFd_ = -1;
  int listenFd_ = -1;
  bool first_ = false;
};

}  // namespace QlPlatform
