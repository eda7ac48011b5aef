#pragma once

#include <functional>

namespace cds {

// Ctrl-C, SIGTERM and SIGHUP (on Windows, Ctrl-C, Ctrl-Break and the console being closed)
// reach `aoSinal`, on a thread of its own and never inside a signal handler, with the signal's
// number (SIGINT, SIGTERM or SIGHUP) and how many have come so far; the program is not ended
// by them.
//
// Called in main before any other thread starts (the database client starts its own),
// so that every thread keeps the signals blocked and only the waiting thread takes them. A
// signal ignored when the program started (a job started in the background, nohup) stays
// ignored.
void instalaTratamentoDeSinais(std::function<void(int sinal, int quantos)> aoSinal);

}  // namespace cds
