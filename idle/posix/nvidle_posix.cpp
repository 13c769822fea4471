// libNvIdle on Linux: the shared area is a POSIX shared-memory object (one per user, or the one
// named by NV_IDLE_AREA), and the "hooks" are one thread in the starting process that polls the
// X server's idle time and stamps the tick of the latest input.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "activity_source.h"
#include "idle_monitor.h"
#include "nvidle/NvIdle.h"

namespace nv::idle {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);

IdleArea* MapSharedArea() noexcept {
  const char* env = std::getenv("NV_IDLE_AREA");
  const std::string name = env != nullptr && env[0] == '/' ? env : "/NvIdle-" + std::to_string(::getuid());
  const int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT, 0600);
  if (fd < 0) return nullptr;
  struct stat st {};
  void* mem = MAP_FAILED;
  if (::fstat(fd, &st) == 0 &&
      (st.st_size >= static_cast<off_t>(sizeof(IdleArea)) || ::ftruncate(fd, sizeof(IdleArea)) == 0)) {
    mem = ::mmap(nullptr, sizeof(IdleArea), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  }
  ::close(fd);
  return mem == MAP_FAILED ? nullptr : static_cast<IdleArea*>(mem);
}

IdleArea& Area() noexcept {
  // Without shared memory the monitor still works inside this process.
  static IdleArea local{};
  static IdleArea* const shared = MapSharedArea();
  return shared != nullptr ? *shared : local;
}

// Stamps the area whenever the X idle time drops, i.e. an input event arrived since the last poll.
class IdlePoller {
 public:
  IdlePoller(IdleArea& area, std::uint64_t token, std::unique_ptr<ActivitySource> source)
      : area_(area), token_(token), source_(std::move(source)), thread_([this] { Run(); }) {}
  ~IdlePoller() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  IdlePoller(const IdlePoller&) = delete;
  IdlePoller& operator=(const IdlePoller&) = delete;

  std::uint64_t token() const noexcept { return token_; }

 private:
  void Run() noexcept {
    std::uint32_t previous = 0;
    bool havePrevious = false;
    bool published = false;  // the starter stores the token only after this thread runs
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, kPollInterval, [this] { return stop_; })) return;
      }
      if (LoadKeyboardHook(area_) == token_) {
        published = true;
      } else if (published) {
        return;  // another process's NvIdleTerm (or a restart) took the area away from this watch
      }
      std::uint32_t idle = 0;
      if (!source_->IdleMilliseconds(idle)) continue;
      if (havePrevious && idle < previous) {
        const std::uint32_t stamp = TickCountMs() - idle;
        StoreLastInput(area_, stamp != 0 ? stamp : 1);
      }
      previous = idle;
      havePrevious = true;
    }
  }

  IdleArea& area_;
  const std::uint64_t token_;
  std::unique_ptr<ActivitySource> source_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;  // last: starts after everything it uses
};

std::mutex g_pollerMutex;
std::unique_ptr<IdlePoller> g_poller;  // joined at exit, like the platform removing an ended process's hooks

class PollerWatch final : public InputWatch {
 public:
  bool Install(IdleArea& area, std::uint64_t& keyboard, std::uint64_t& mouse) noexcept override {
    try {
      std::unique_ptr<ActivitySource> source = OpenActivitySource();
      if (!source) return false;
      static std::atomic<std::uint32_t> counter{0};
      const std::uint64_t token = (static_cast<std::uint64_t>(::getpid()) << 32) | ++counter;
      std::lock_guard<std::mutex> lock(g_pollerMutex);
      g_poller.reset();
      g_poller = std::make_unique<IdlePoller>(area, token, std::move(source));
      keyboard = mouse = token;
      return true;
    } catch (...) {  // no thread or no memory: report "not installed"
      return false;
    }
  }
  void Remove(std::uint64_t keyboard, std::uint64_t) noexcept override {
    std::lock_guard<std::mutex> lock(g_pollerMutex);
    if (g_poller && g_poller->token() == keyboard) g_poller.reset();
  }
  std::uint32_t CurrentProcessId() noexcept override { return static_cast<std::uint32_t>(::getpid()); }
  bool ProcessAlive(std::uint32_t pid) noexcept override {
    if (pid == 0) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
  }
};

}  // namespace
}  // namespace nv::idle

extern "C" {

int NvIdleInit(void) {
  nv::idle::PollerWatch watch;
  return nv::idle::StartMonitor(nv::idle::Area(), watch);
}

void NvIdleTerm(void) {
  nv::idle::PollerWatch watch;
  nv::idle::StopMonitor(nv::idle::Area(), watch);
}

void NvIdleReset(void) { nv::idle::StoreLastInput(nv::idle::Area(), 0); }

std::uint32_t NvIdleGetLastInputTime(void) { return nv::idle::LoadLastInput(nv::idle::Area()); }
}
