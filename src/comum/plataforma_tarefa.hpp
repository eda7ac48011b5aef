#pragma once

#include <string>
#include <system_error>

namespace cds {

// Lets the memory allocator keep a few MiB it has been given back instead of returning them to
// the system at once: a run frees and takes memory for every file, on two threads, and giving
// pages back and taking them again cost it a good part of its time in the system. The memory
// the process holds grows by that much at most. Nothing where the allocator has no such knob.
void guardaMemoriaLiberada();

// A write to a pipe or socket that no one reads any more fails (EPIPE) instead of ending the
// process with SIGPIPE: a closed standard output, or a server gone, is then an error the program
// reports. Nothing on Windows, which has no such signal.
void ignoraEscritaSemLeitor();

// Sets a variable of the process's environment, for the libraries it loads after; false when
// the system refuses it.
bool defineVariavelDoAmbiente(const char* nome, const std::string& valor);

// Opens the null device on each standard descriptor (0, 1, 2) the program was started without,
// as some schedulers start programs: the files opened after would otherwise take those numbers,
// and what the program says on its standard output and error would be written into them (the
// database engine's lock files, the database itself). Called first thing in each program's
// main, before anything opens a file. The system's reason when the null device cannot be
// opened; nothing on Windows, whose C runtime keeps descriptors 0 to 2 for the standard streams
// even when the process has none, and whose files are handles of no set number.
std::error_code abreDescritoresPadraoFechados();

// Whether the program's standard error is a terminal someone watches (a live progress line
// is for one), rather than a file, a pipe or the null device a scheduler gives it.
bool saidaDeErrosEhTerminal();

}  // namespace cds
