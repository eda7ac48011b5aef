#pragma once

#include <filesystem>
#include <string_view>

namespace cds {

// The embedded engine runs inside the program's process, and Firebird gives it the installed
// server's firebird.conf: a server's page cache (2,048 pages) and in-memory sort space
// (64 MiB), which would all count as the program's own memory while an export, reading each
// table once in order, has little use for them. So before the client library starts, the
// program points it (FIREBIRD) at a root folder of its own, in the user's cache folder: its
// firebird.conf sets those two lower and then includes the installed one for everything else
// (where a setting is given twice the engine keeps the first). The root's other entries are
// links to the installed root's, but for the character sets' module, which the engine loads
// only from a file under its root and which is copied there. Lock files stay where every
// other engine on the machine keeps them, so a database is still guarded against a second
// engine opening it.

// What the program's firebird.conf sets before including the installed one. Sorts larger
// than the cache go to temporary files (TempDirectories).
inline constexpr std::string_view kConfiguracaoDoMotor =
    "TempCacheLimit = 8M\n"
    "DefaultDbCachePages = 256\n";

// The program's root over the installed root `instalada`, prepared under `cache` (or found
// there, ready, from an earlier run); a new one when the installed character sets' module
// changes. Built aside and renamed into place, so a root in place is whole even with two
// programs starting at once. Empty when no Firebird is installed there: there is no embedded
// engine to configure. A root that cannot be made (a cache folder that cannot be written, a
// full disk) raises ErroArquivo with the system's reason, and nothing is left behind.
std::filesystem::path preparaRaizDoMotor(const std::filesystem::path& instalada,
                                         const std::filesystem::path& cache);

// Run once by the program's start, before the client library's first use: sets FIREBIRD to
// the program's root over the Firebird the program was built against. Nothing when FIREBIRD
// is set already (whoever set it chose the engine's configuration) or no Firebird is
// installed there. Nothing on Windows, where the engine's root is the folder of the client
// library shipped with the program, and the package's firebird.conf is the program's own.
// The root set, or empty; trouble is ErroArquivo, as for preparaRaizDoMotor.
std::filesystem::path configuraMotorEmbarcado();

}  // namespace cds
