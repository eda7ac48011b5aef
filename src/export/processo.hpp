#pragma once

namespace cds {

// What belongs to the whole process, set once by each program's main before it starts a thread
// (the environment must not change while another thread may read it), and never by a run: the
// allocator keeps a few MiB it is given back, a write to a closed pipe is an error rather than
// the end of the program, and the embedded engine gets the program's configuration (FIREBIRD).
// A configuration that cannot be prepared raises ErroArquivo with the reason.
void preparaProcesso();

}  // namespace cds
