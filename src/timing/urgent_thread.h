// A larger share of the processor for the calling thread while it lives.
// The POSIX build is urgent_thread_posix.cpp.
#pragma once

/// Every reaction time includes how late the trial's thread wakes from its
/// 1 ms sleeps; on a busy machine that can be several milliseconds. While one
/// of these lives the thread asks for a higher priority (refused without the
/// right to raise it, which only costs accuracy) and gives it back after.
class UrgentThread {
 public:
  UrgentThread();
  ~UrgentThread();
  UrgentThread(const UrgentThread&) = delete;
  UrgentThread& operator=(const UrgentThread&) = delete;

  /// True when the higher priority was granted.
  bool Raised() const { return raised_; }

 private:
  long tid_ = 0;
  int previous_ = 0;
  bool raised_ = false;
};
