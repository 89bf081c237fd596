// The progress animation, with the dialog hosted in the test process and the
// frames read back from the screen.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <atomic>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "dialog.h"
#include "handles.h"
#include "process_resources.h"
#include "screen.h"
#include "support.h"

namespace {

// Reaches the members the animation shares with the handlers.
class HostedDialog : public CPLOTINSTDlg {
 public:
  using CPLOTINSTDlg::m_animThread;
  using CPLOTINSTDlg::m_frameBusy;
  using CPLOTINSTDlg::m_frameRect;
  using CPLOTINSTDlg::m_removing;
  using CPLOTINSTDlg::m_stopRequested;
};

// Which frame the screen shows at the animation's place; 0 for anything
// else. A few pixels tell the seven apart, compared with the frames as the
// dialog itself draws them, at its place and stretched to its size.
class FrameReader {
 public:
  explicit FrameReader(const HostedDialog& dialog) : m_dialog(dialog) {
    HDC screen = ::GetDC(dialog.m_hWnd);
    RECT client;
    ::GetClientRect(dialog.m_hWnd, &client);
    for (int id = IDB_INSTALL_1; id <= IDB_BLANK; ++id) {
      UniqueMemoryDc memory(::CreateCompatibleDC(screen));
      UniqueGdiObject bitmap(::CreateCompatibleBitmap(screen, client.right, client.bottom));
      HGDIOBJ previous = ::SelectObject(memory.get(), bitmap.get());
      dialog.DrawFrame(memory.get(), id);
      m_frames.push_back({id, PixelsOf(memory.get())});
      ::SelectObject(memory.get(), previous);
    }
    ::ReleaseDC(dialog.m_hWnd, screen);
  }

  // The seven differ at the points read.
  bool TellsFramesApart() const {
    for (size_t i = 0; i < m_frames.size(); ++i)
      for (size_t j = i + 1; j < m_frames.size(); ++j)
        if (m_frames[i].pixels == m_frames[j].pixels) return false;
    return true;
  }

  int OnScreen() const {
    HDC dc = ::GetDC(m_dialog.m_hWnd);
    const Pixels shown = PixelsOf(dc);
    ::ReleaseDC(m_dialog.m_hWnd, dc);
    for (const Frame& frame : m_frames)
      if (frame.pixels == shown) return frame.id;
    return 0;
  }

 private:
  using Pixels = std::vector<COLORREF>;
  struct Frame {
    int id;
    Pixels pixels;
  };

  // Points given in the 122 by 48 pixels of a frame: the document, the copy
  // in flight, the copy arriving, the folder or bin, a corner.
  Pixels PixelsOf(HDC dc) const {
    static constexpr POINT kPoints[] = {{20, 24}, {60, 19}, {95, 9}, {100, 35}, {0, 0}};
    const RECT& area = m_dialog.m_frameRect;
    Pixels pixels;
    for (const POINT& p : kPoints)
      pixels.push_back(::GetPixel(dc, area.left + ::MulDiv(p.x, area.right - area.left, 122),
                                  area.top + ::MulDiv(p.y, area.bottom - area.top, 48)));
    return pixels;
  }

  const HostedDialog& m_dialog;
  std::vector<Frame> m_frames;
};

// The frames shown, in order, one entry per change, until `count` frames
// were seen. onFrame may act on each new frame.
std::vector<int> WatchFrames(const FrameReader& reader, size_t count,
                             const std::function<void(int)>& onFrame = nullptr) {
  std::vector<int> seen;
  WaitUntil(
      [&] {
        const int frame = reader.OnScreen();
        if (frame != 0 && frame != 152 && (seen.empty() || seen.back() != frame)) {
          seen.push_back(frame);
          if (onFrame) onFrame(frame);
        }
        return seen.size() >= count;
      },
      10000);
  return seen;
}

int CountThreads() {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++count;
  ::CloseHandle(snapshot);
  return count;
}

// Catches the animation thread inside its busy section and holds it there.
// Held at any point of a drawing, it may own the heap's or the loader's lock,
// which a starting thread takes: no thread may be started until it is let go.
bool HoldInsideAFrame(HostedDialog& dialog, HANDLE thread) {
  for (int tries = 0; tries < 200; ++tries) {
    WaitUntil([&] { return dialog.m_frameBusy == 1; }, 2000);
    ::SuspendThread(thread);
    if (dialog.m_frameBusy == 1) return true;
    ::ResumeThread(thread);
  }
  return false;
}

// A thread started, and past its start, before the animation thread is held,
// that does its work once armed: sleeping, reading and resuming need none of
// the locks the held thread may own. Armed at the latest when it goes.
class ArmedThread {
 public:
  explicit ArmedThread(std::function<void()> work) : m_work(std::move(work)) {
    m_thread.reset(::CreateThread(nullptr, 0, Run, this, 0, nullptr));
  }
  ~ArmedThread() {
    Arm();
    Ended(15000);
  }
  // Whether it runs its own code, past the start that takes those locks.
  bool Started() const {
    for (int i = 0; i < 10000 && m_thread && !m_running; ++i) ::Sleep(1);
    return m_running;
  }
  void Arm() { m_armed = true; }
  bool Ended(DWORD waitMs) const { return !m_thread || ::WaitForSingleObject(m_thread.get(), waitMs) == WAIT_OBJECT_0; }

 private:
  static DWORD WINAPI Run(LPVOID p) {
    auto* self = static_cast<ArmedThread*>(p);
    self->m_running = true;
    while (!self->m_armed) ::Sleep(1);
    self->m_work();
    return 0;
  }

  std::function<void()> m_work;
  std::atomic<bool> m_armed{false}, m_running{false};
  UniqueHandle<HANDLE, KernelHandleTraits> m_thread;
};

HANDLE Duplicate(HANDLE handle) {
  HANDLE copy = nullptr;
  ::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
  return copy;
}

class InstallerAnimation : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dialog.Create());
    m_hwnd = m_dialog.m_hWnd;
    m_frames = std::make_unique<FrameReader>(m_dialog);
    ASSERT_TRUE(m_frames->TellsFramesApart());
    ::SetWindowPos(m_hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::UpdateWindow(m_hwnd);
    // Let the first painting finish, so that it does not erase a frame later;
    // the dialog's own background differs from the blank frame's.
    ASSERT_TRUE(WaitUntil([&] { return m_frames->OnScreen() == 0 && !::GetUpdateRect(m_hwnd, nullptr, FALSE); }, 5000));
  }

  void TearDown() override {
    if (m_dialog.m_animThread != nullptr) m_dialog.StopAnimation();
  }

  // The animation thread, still open after StopAnimation has closed its handle.
  HANDLE StartAndKeepThread() {
    m_dialog.StartAnimation();
    return Duplicate(m_dialog.m_animThread);
  }

  // The thread has ended, the dialog holds no handle of it, and the blank frame shows.
  void ExpectStopped(HANDLE thread) {
    EXPECT_EQ(::WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(m_dialog.m_animThread, nullptr);
    EXPECT_EQ(m_dialog.m_stopRequested, 0);
    EXPECT_EQ(m_frames->OnScreen(), 152);
    ::CloseHandle(thread);
  }

  HostedDialog m_dialog;
  HWND m_hwnd = nullptr;
  std::unique_ptr<FrameReader> m_frames;
};

TEST_F(InstallerAnimation, InstallAndRemovalFramesCycleInOrder) {
  for (int removing : {0, 1}) {
    m_dialog.m_removing = removing;
    HANDLE thread = StartAndKeepThread();
    ASSERT_NE(thread, nullptr);
    const std::vector<int> expected =
        removing ? std::vector<int>{149, 150, 151, 149, 150} : std::vector<int>{146, 147, 148, 146, 147};
    EXPECT_EQ(WatchFrames(*m_frames, expected.size()), expected) << "removing " << removing;
    m_dialog.StopAnimation();
    ExpectStopped(thread);
  }
}

TEST_F(InstallerAnimation, ModeChangeShowsFromTheNextCycle) {
  m_dialog.m_removing = 0;
  HANDLE thread = StartAndKeepThread();
  const std::vector<int> seen = WatchFrames(*m_frames, 6, [&](int frame) {
    if (frame == 147) m_dialog.m_removing = 1;
  });
  EXPECT_EQ(seen, (std::vector<int>{146, 147, 148, 149, 150, 151}));
  m_dialog.StopAnimation();
  ExpectStopped(thread);
}

TEST_F(InstallerAnimation, StopWhileSleepingEndsAtOnceWithTheBlankFrame) {
  m_dialog.m_removing = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    HANDLE thread = StartAndKeepThread();
    // Stopped right after a frame, the thread has its whole pause ahead.
    ASSERT_EQ(WatchFrames(*m_frames, 1).size(), 1u);
    LARGE_INTEGER frequency, before, after;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&before);
    m_dialog.StopAnimation();
    ::QueryPerformanceCounter(&after);
    const double ms = 1000.0 * (after.QuadPart - before.QuadPart) / frequency.QuadPart;
    // Waiting out the pause would take most of its 300 ms.
    EXPECT_LT(ms, 150.0) << "attempt " << attempt;
    ExpectStopped(thread);
  }
}

TEST_F(InstallerAnimation, StopDuringAFrameWaitsForItThenBlanks) {
  m_dialog.m_removing = 1;
  HANDLE thread = StartAndKeepThread();
  std::atomic<bool> returned{false};
  ArmedThread stopper([&] {
    m_dialog.StopAnimation();
    returned = true;
  });
  ASSERT_TRUE(stopper.Started());
  ASSERT_TRUE(HoldInsideAFrame(m_dialog, thread));
  stopper.Arm();
  // No message pump here: the held thread may own a window-system lock.
  for (int i = 0; i < 2000 && m_dialog.m_stopRequested == 0; ++i) ::Sleep(1);
  EXPECT_EQ(m_dialog.m_stopRequested, 1);
  EXPECT_FALSE(returned) << "the stop did not wait for the frame being drawn";
  ::ResumeThread(thread);
  ASSERT_TRUE(WaitUntil([&] { return stopper.Ended(0); }, 10000));
  EXPECT_TRUE(returned);
  ExpectStopped(thread);
}

TEST_F(InstallerAnimation, StopThatTimesOutLeavesOneAnimationRunning) {
  m_dialog.m_removing = 0;
  HANDLE thread = StartAndKeepThread();
  ASSERT_EQ(WatchFrames(*m_frames, 1).size(), 1u);
  const int threadsWhileAnimating = CountThreads();
  // A thread held in the middle of a frame cannot end within the stop's bound.
  ASSERT_TRUE(HoldInsideAFrame(m_dialog, thread));
  m_dialog.StopAnimation();
  EXPECT_EQ(::WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_NE(m_dialog.m_animThread, nullptr);
  EXPECT_EQ(m_dialog.m_stopRequested, 0);
  ::ResumeThread(thread);

  // The animation carries on, and a new start leaves one thread drawing.
  EXPECT_EQ(WatchFrames(*m_frames, 2).size(), 2u);
  m_dialog.m_removing = 1;
  m_dialog.StartAnimation();
  EXPECT_EQ(::WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  EXPECT_EQ(CountThreads(), threadsWhileAnimating);
  // The first entry may still be the old thread's last frame.
  const std::vector<int> seen = WatchFrames(*m_frames, 3);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_GE(seen[1], 149);
  EXPECT_GE(seen[2], 149);
  HANDLE second = nullptr;
  ::DuplicateHandle(::GetCurrentProcess(), m_dialog.m_animThread, ::GetCurrentProcess(), &second, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
  m_dialog.StopAnimation();
  ::CloseHandle(thread);
  ExpectStopped(second);
}

TEST_F(InstallerAnimation, RepeatedStartAndStopLeavesNothingBehind) {
  // One cycle first, so that what the first use loads once is not counted.
  m_dialog.StartAnimation();
  WatchFrames(*m_frames, 1);
  m_dialog.StopAnimation();
  const int threads = CountThreads();
  const ProcessResources before = MeasureProcess(::GetCurrentProcess());
  ASSERT_GT(before.gdiObjects, 0);
  ASSERT_GT(before.handles, 0);

  for (int i = 0; i < 200; ++i) {
    m_dialog.m_removing = i % 2;
    m_dialog.StartAnimation();
    // Now and then a stop after a frame was drawn, else a stop at the start.
    if (i % 20 == 0) WatchFrames(*m_frames, 1);
    m_dialog.StopAnimation();
    ASSERT_EQ(m_dialog.m_animThread, nullptr) << "cycle " << i;
  }

  const ProcessResources after = MeasureProcess(::GetCurrentProcess());
  EXPECT_EQ(CountThreads(), threads);
  EXPECT_EQ(after.handles, before.handles);
  EXPECT_EQ(after.gdiObjects, before.gdiObjects);
  EXPECT_EQ(m_frames->OnScreen(), 152);
}

// A thousand starts and stops as fast as the user-interface thread can
// issue them, each stop at a random moment: before the first frame, inside a
// frame, or somewhere in a pause.
TEST_F(InstallerAnimation, HammeredStartAndStopNeitherHangsNorLeavesAThreadOrAPartFrame) {
  m_dialog.StartAnimation();
  WatchFrames(*m_frames, 1);
  m_dialog.StopAnimation();
  const int threads = CountThreads();
  const ProcessResources before = MeasureProcess(::GetCurrentProcess());
  ASSERT_GT(before.gdiObjects, 0);

  std::mt19937 random(20261208);
  int midFrame = 0;
  // As many cycles on every machine: a count cut to the machine's speed
  // would test less exactly where timing is least like the usual.
  constexpr int kCycles = 1000;
  for (int i = 0; i < kCycles; ++i) {
    m_dialog.m_removing = static_cast<int32_t>(random() % 2);
    ASSERT_NE(m_dialog.StartAnimation(), nullptr) << "cycle " << i;
    switch (random() % 4) {
      case 0:  // at once, usually before the first frame
        break;
      case 1:  // the moment the thread enters a frame
        for (int spin = 0; spin < 1000000 && m_dialog.m_frameBusy == 0; ++spin) ::SwitchToThread();
        if (m_dialog.m_frameBusy != 0) ++midFrame;
        break;
      default:  // anywhere in the first frame or the pause after it
        ::Sleep(random() % 8);
        break;
    }
    m_dialog.StopAnimation();
    ASSERT_EQ(m_dialog.m_animThread, nullptr) << "cycle " << i;
    // The blank frame is whole and nothing draws over it afterwards.
    if (i % 10 == 0) {
      ASSERT_EQ(m_frames->OnScreen(), 152) << "cycle " << i;
    }
  }
  EXPECT_GT(midFrame, kCycles / 30) << "too few stops landed inside a frame to show anything";
  // A thread left over is counted below; none may have drawn after its stop.
  EXPECT_EQ(m_frames->OnScreen(), 152);
  const ProcessResources after = MeasureProcess(::GetCurrentProcess());
  EXPECT_EQ(CountThreads(), threads);
  EXPECT_EQ(after.handles, before.handles);
  EXPECT_EQ(after.gdiObjects, before.gdiObjects);
}

// At whatever scaling this process runs: the frames cover exactly the area
// the dialog computed for that scaling, and the blank frame clears all of it.
TEST_F(InstallerAnimation, FramesFillExactlyTheAreaTheBlankFrameClears) {
  const Shot before = ShootClient(m_hwnd);
  const RECT area = m_dialog.m_frameRect;
  ASSERT_LT(area.left, area.right);
  for (int removing : {0, 1}) {
    m_dialog.m_removing = removing;
    m_dialog.StartAnimation();
    RECT changed{};
    EXPECT_TRUE(WaitUntil(
        [&] {
          const Shot shot = ShootClient(m_hwnd);
          changed = BoxOfChanges(before, shot);
          return !AllOf(shot, area, kBlankColour) && ::EqualRect(&changed, &area);
        },
        5000))
        << "removing " << removing << ": frame drawn at " << changed.left << "," << changed.top << " to "
        << changed.right << "," << changed.bottom << ", not " << area.left << "," << area.top << " to " << area.right
        << "," << area.bottom;
    m_dialog.StopAnimation();
    // What this thread drew reaches the screen once it handles messages.
    Shot after;
    EXPECT_TRUE(WaitUntil(
        [&] {
          after = ShootClient(m_hwnd);
          return AllOf(after, area, kBlankColour);
        },
        5000))
        << "removing " << removing;
    changed = BoxOfChanges(before, after);
    EXPECT_TRUE(::EqualRect(&changed, &area)) << "removing " << removing;
  }
}

// A stop that timed out leaves the thread drawing; closing the dialog then
// must stop it and wait, since the thread reads the dialog.
TEST_F(InstallerAnimation, ClosingAfterAStopThatTimedOutEndsTheThreadFirst) {
  auto dialog = std::make_unique<HostedDialog>();
  ASSERT_TRUE(dialog->Create());
  dialog->m_removing = 0;
  dialog->StartAnimation();
  HANDLE thread = Duplicate(dialog->m_animThread);
  // The frame is let finish once the closing dialog asks for the stop, or
  // after a while: held inside a drawing call, the thread may hold a lock the
  // window's destruction needs before it gets to ask.
  HostedDialog* closing = dialog.get();
  ArmedThread releaser([closing, thread] {
    for (int i = 0; i < 3000 && closing->m_stopRequested == 0; ++i) ::Sleep(1);
    ::ResumeThread(thread);
  });
  ASSERT_TRUE(releaser.Started());
  ASSERT_TRUE(HoldInsideAFrame(*dialog, thread));
  dialog->StopAnimation();
  ASSERT_EQ(::WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  releaser.Arm();
  dialog->DestroyWindow();
  EXPECT_EQ(::WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "the animation thread outlived the window";
  EXPECT_TRUE(releaser.Ended(15000));
  ::WaitForSingleObject(thread, 15000);
  ::CloseHandle(thread);
  dialog.reset();
}

}  // namespace
