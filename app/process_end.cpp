#include "app/process_end.h"

#include <system_error>
#include <thread>
#include <unistd.h>

void EndProcessWithin(int status, std::chrono::milliseconds limit)
{
  try {
    std::thread([status, limit] {
      std::this_thread::sleep_for(limit);
      // Only what cannot wait on a lock the stuck end may hold.
      static const char note[] = "Velmora网络广播：退出时仍有网络查询未结束，不再等待。\n";
      [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, note, sizeof note - 1);
      _exit(status);
    }).detach();
  } catch (const std::system_error&) {
    // Without a thread the end is left to Qt, as it always was.
  }
}
