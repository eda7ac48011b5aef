#pragma once

#include <string>

namespace cds {

// Asks the system to run the calling thread after the others of the process when both want a
// core: work that only fills the gaps (deflating the archive while the run waits on the
// database) then never delays the run. Only a preference: where it cannot be had nothing
// changes but the order in which the threads get a core.
void baixaPrioridadeDestaTarefa();

// Lets the memory allocator keep a few MiB it has been given back instead of returning them to
// the system at once: a run frees and takes memory for every file, on two threads, and giving
// pages back and taking them again cost it a good part of its time in the system. The memory
// the process holds grows by that much at most. Nothing where the allocator has no such knob.
void guardaMemoriaLiberada();

// Sets a variable of the process's environment, for the libraries it loads after; false when
// the system refuses it.
bool defineVariavelDoAmbiente(const char* nome, const std::string& valor);

}  // namespace cds
