#pragma once

namespace cds {

// Asks the system to run the calling thread after the others of the process when both want a
// core: work that only fills the gaps (deflating the archive while the run waits on the
// database) then never delays the run. Only a preference: where it cannot be had nothing
// changes but the order in which the threads get a core.
void baixaPrioridadeDestaTarefa();

}  // namespace cds
