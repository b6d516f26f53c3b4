#pragma once

#include <string>
#include <string_view>

namespace vindle {

// What a command-line program asks of its console.

// True when standard error is a terminal (a console window), where progress may be shown.
bool StandardErrorIsTerminal();

// Readies the console for a command-line program: standard output carries the program's bytes
// unchanged (on Windows "\n" is not turned into "\r\n", so output is the same on every system),
// and a console window on standard error understands the escape sequences that rewrite a line.
void PrepareConsole();

// From now on the user's interrupt (Ctrl+C; on POSIX also SIGINT from elsewhere) no longer ends
// the program but is noted for InterruptRequested(). Call it before starting other threads.
void CatchInterrupts();
bool InterruptRequested();

// A closed standard stream would hand its number to the next file or socket opened, and output
// meant for it would go there: each closed one is held by the null device instead. Returns the
// system's text when standard output was closed, "" otherwise.
std::string HoldClosedStandardStreams();

// Writes all of `text` to standard output and flushes it; false with the system's text in
// `reason` when any of it could not be written.
bool WriteStandardOutput(std::string_view text, std::string& reason);

}  // namespace vindle
