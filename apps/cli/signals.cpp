#include "signals.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace velk {

namespace {

// A signal handler reaches nothing but these (the process has one command run).
std::atomic<bool>* g_stop = nullptr;
volatile sig_atomic_t g_signal = 0;

extern "C" void OnStopSignal(int sig) {
  if (g_signal != 0) _exit(128 + sig);
  g_signal = sig;
  if (g_stop != nullptr) g_stop->store(true);
}

}  // namespace

void OpenStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor: this one, the lower ones being open by now.
    const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened != fd && opened != -1) close(opened);
  }
}

void InstallStopSignals(std::atomic<bool>& stop) {
  static_assert(std::atomic<bool>::is_always_lock_free);
  g_stop = &stop;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESTART;  // reads and writes under way go on
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

int StopSignal() {
  return g_signal;
}

}  // namespace velk
