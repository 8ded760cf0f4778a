#include "platform/stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace platform {

namespace {

volatile std::sig_atomic_t g_requested = 0;
volatile std::sig_atomic_t g_count = 0;
volatile std::sig_atomic_t g_first = 0;
volatile std::sig_atomic_t g_last = 0;
// Set before the handler is installed; read by it.
void (*volatile g_at_second)(int) = nullptr;

void on_stop_signal(int signal_number) {
  if (g_first == 0) g_first = signal_number;
  g_last = signal_number;
  g_count = g_count + 1;
  g_requested = 1;
  if (g_count > 1 && g_at_second) g_at_second(signal_number);
}

}  // namespace

void catch_stop_signals(bool restart, void (*at_second_signal)(int)) {
  clear_stop_request();
  g_at_second = at_second_signal;
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = restart ? SA_RESTART : 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

bool stop_requested() {
  return g_requested != 0;
}

void request_stop() {
  g_requested = 1;
}

void clear_stop_request() {
  g_requested = 0;
  g_count = 0;
  g_first = 0;
  g_last = 0;
}

int stop_signal() {
  return g_first;
}

int last_stop_signal() {
  return g_last;
}

int stop_signal_count() {
  return g_count;
}

void write_error_now(const char* text) {
  std::size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, text, left);
    if (n <= 0) return;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
}

}  // namespace platform
