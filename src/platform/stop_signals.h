// The one stop request of a process. SIGINT and SIGTERM go to the
// platform's handler, which notes the request for whatever works to read at
// its next safe point (a run between commands, a supervisor, a server's
// loop); a reader that went away (SIGPIPE) or a file-size limit (SIGXFSZ)
// make a write fail instead of ending a process that may be between a
// format and an IMEI write-back. This is the only state of the process that
// a signal handler writes.
#pragma once

namespace platform {

// Installs the handler and forgets any earlier request. restart:
// interrupted waits and writes carry on where they were (SA_RESTART).
// at_second_signal: called by the handler (so async-signal-safe) on every
// signal after the first, before it returns: a program that must end at
// once then ends there.
void catch_stop_signals(bool restart = true, void (*at_second_signal)(int signal) = nullptr);

// True once a signal or request_stop() asked the process to stop.
bool stop_requested();
// Asks as a signal would, without one (a front end, a test). Safe to call
// from a signal handler.
void request_stop();
// Forgets the request and the signals counted.
void clear_stop_request();
// The first signal that asked, and the latest; 0 when none did.
int stop_signal();
int last_stop_signal();
// How many stop signals have arrived since the handler was installed.
int stop_signal_count();

// Writes `text` to the standard error as it is, unbuffered: safe to call from
// a signal handler. Gives up when the error output refuses a write.
void write_error_now(const char* text);

}  // namespace platform
