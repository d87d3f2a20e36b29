#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "timing/urgent_thread.h"

namespace {
constexpr int kUrgentNice = -10;
}  // namespace

UrgentThread::UrgentThread() : tid_(syscall(SYS_gettid)) {
  errno = 0;
  previous_ = getpriority(PRIO_PROCESS, static_cast<id_t>(tid_));
  raised_ = errno == 0 && setpriority(PRIO_PROCESS, static_cast<id_t>(tid_), kUrgentNice) == 0;
}

UrgentThread::~UrgentThread() {
  if (raised_) setpriority(PRIO_PROCESS, static_cast<id_t>(tid_), previous_);
}
