// The one set-up of the signals that ask a program to stop: SIGINT and
// SIGTERM go to a handler of the program's own; a reader that went away
// (SIGPIPE) or a file-size limit (SIGXFSZ) make a write fail instead of
// ending a process that may be between a format and an IMEI write-back.
#pragma once

namespace platform {

// restart: interrupted waits and writes carry on where they were (SA_RESTART).
void catch_stop_signals(void (*handler)(int), bool restart = true);

// Writes `text` to the standard error as it is, unbuffered: safe to call from
// a signal handler. Gives up when the error output refuses a write.
void write_error_now(const char* text);

}  // namespace platform
