#include "core/context.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "core/console.h"
#include "drivers/driver.h"

namespace tavero {

Context::Context() = default;
Context::~Context() = default;

void console_write(const char* text, size_t n) {
  if (n) {
    fwrite(text, 1, n, stdout);
    fflush(stdout);
  }
}

void console_line(const char* text) {
  size_t n = 0;
  while (text[n]) ++n;
  console_write(text, n);
}

namespace {

struct Slot {
  std::thread::id tid;
  bool used = false;
  Context* ctx = nullptr;
};

// Context manager state: the single record (threads off) or the slot table (threads on).
struct Manager {
  Context* single = nullptr;
  bool threads = false;
  std::vector<Slot> slots;
  std::mutex lock;
};

Manager& mgr() {
  static Manager m;
  return m;
}

[[noreturn]] void die(const char* line, int code) {
  console_line(line);
  std::exit(code);
}

Context* new_record() {
  Context* c = new (std::nothrow) Context();
  if (!c) die("Not enough memory for global variables!\n", 1);
  return c;
}

}  // namespace

bool threads_on() { return mgr().threads; }

ProcessLock::ProcessLock() : held_(mgr().threads) {
  if (held_) mgr().lock.lock();
}
ProcessLock::~ProcessLock() {
  if (held_) mgr().lock.unlock();
}

void release_private_blocks(Context& ctx) {
  // An open driver is dropped without a trailer: the record goes away, its output with it.
  if (ctx.driver) ctx.driver->abandon();
  ctx.driver.reset();
  ctx.widgets.reset();
}

Context* current_context() {
  Manager& m = mgr();
  if (!m.threads) return m.single;
  auto me = std::this_thread::get_id();
  for (auto& s : m.slots)
    if (s.used && s.tid == me) return s.ctx;
  return nullptr;
}

Context* context_manager(CtxOp op, int& status) {
  Manager& m = mgr();
  switch (op) {
    case CtxOp::kGet: {
      status = 1;
      if (!m.threads) {
        if (m.single) return m.single;
        m.single = new_record();
        status = 0;
        return m.single;
      }
      if (Context* c = current_context()) return c;
      std::lock_guard<std::mutex> g(m.lock);
      for (auto& s : m.slots) {
        if (!s.used) {
          s.tid = std::this_thread::get_id();
          s.used = true;
          s.ctx = new_record();
          status = 0;
          return s.ctx;
        }
      }
      die(">>>> Too many threads!\n", 1);
    }
    case CtxOp::kRelease: {
      status = 0;
      if (!m.threads) {
        delete m.single;
        m.single = nullptr;
        return nullptr;
      }
      auto me = std::this_thread::get_id();
      std::lock_guard<std::mutex> g(m.lock);
      for (auto& s : m.slots) {
        if (s.used && s.tid == me) {
          delete s.ctx;
          s.ctx = nullptr;
          s.used = false;
          break;
        }
      }
      return nullptr;
    }
    case CtxOp::kThreadsOn: {
      int n = status;
      try {
        m.slots.assign(static_cast<size_t>(n), Slot{});
      } catch (const std::bad_alloc&) {
        status = 2;
        return nullptr;
      }
      status = m.single ? 3 : 0;
      m.threads = true;
      return nullptr;
    }
    case CtxOp::kThreadsOff: {
      m.threads = false;
      for (auto& s : m.slots)
        if (s.used) delete s.ctx;
      m.slots.clear();
      status = 0;
      return nullptr;
    }
    case CtxOp::kGetSlot: {
      int i = status;
      if (i < 0 || i >= static_cast<int>(m.slots.size())) {
        status = 1;
        return nullptr;
      }
      status = 0;
      return m.slots[static_cast<size_t>(i)].ctx;
    }
  }
  return nullptr;
}

// --- threads

namespace {
bool g_thrini_called = false;
int g_thread_count = 0;
}  // namespace

void thrini(int n) {
  if (g_thrini_called) {
    console_line(">>>> thrini is already called before!\n");
    return;
  }
  if (n < 1) {
    console_line(">>>> Invalid parameter in thrini!\n");
    return;
  }
  int status = n;
  context_manager(CtxOp::kThreadsOn, status);
  if (status == 2) die(">>>> Not enough memory in thrini!\n", 0);
  if (status == 3) {
    console_line(">>>> A TAVERO routine is called before thrini!\n");
    return;
  }
  g_thrini_called = true;
  g_thread_count = n;
}

void thrfin() {
  if (!g_thrini_called) {
    console_line(">>>> thrini is not called before!\n");
    return;
  }
  for (int i = 0; i < g_thread_count; ++i) {
    int status = i;
    if (Context* c = context_manager(CtxOp::kGetSlot, status)) release_private_blocks(*c);
  }
  int status = 0;
  context_manager(CtxOp::kThreadsOff, status);
  g_thrini_called = false;
}

void delglb() {
  Context* c = current_context();
  if (!c || c->core.level != 0) return;
  release_private_blocks(*c);
  int status = 0;
  context_manager(CtxOp::kRelease, status);
}

}  // namespace tavero
