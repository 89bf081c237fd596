// Which wait a Cancel click gives up: only the one running when it was
// clicked. A click made before the wait began (still queued while the
// program was busy) or after it ended belongs to no wait. Platform-free;
// times are the system's millisecond tick count, which wraps.
#pragma once

#include <cstdint>

class WaitCancel {
 public:
  void Begin(std::uint32_t now) {
    m_running = true;
    m_start = now;
  }
  void End() { m_running = false; }
  bool Running() const { return m_running; }

  // A click made at clickTime; true when it gave up the running wait.
  bool Click(std::uint32_t clickTime) {
    // Told apart across the tick count's wrap, as its difference.
    if (!m_running || static_cast<std::int32_t>(clickTime - m_start) < 0) return false;
    m_cancelled = true;
    return true;
  }
  bool Cancelled() const { return m_cancelled; }

 private:
  bool m_running = false;
  bool m_cancelled = false;
  std::uint32_t m_start = 0;
};
