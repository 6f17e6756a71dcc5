#include "base/threads.h"

#include <system_error>
#include <thread>

namespace qv {

std::optional<StartedThread> StartThread(std::function<void()> work, DWORD access) {
  std::thread thread;
  try {
    thread = std::thread(std::move(work));
  } catch (const std::system_error&) {
    return std::nullopt;
  }
  StartedThread started;
  const auto own = static_cast<HANDLE>(pthread_gethandle(thread.native_handle()));
  started.id = GetThreadId(own);
  if (access != 0) {
    HANDLE duplicate = nullptr;
    DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &duplicate, access, FALSE, 0);
    started.handle.reset(duplicate);
  }
  thread.detach();
  return started;
}

}  // namespace qv
