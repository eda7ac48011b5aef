#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace cds {

// Raises ErroArquivo when the output folder `Caminho` or its arquivosXML, where they exist,
// belongs to another user, or may be written in by its group or by everyone without the
// sticky bit: whoever controls the folder could plant a link or a file where a citizen's
// record is written, or take the records. A folder not there yet passes: the run makes it,
// its own (criaPastasPrivadas). Windows has no such check (see acessoDaPasta).
void verificaDonoDaPastaDeSaida(const std::string& Caminho);

// Raises ErroArquivo when the arquivosXML of `Caminho` holds the database file that `database`
// (GERAL/DATABASE) names as a local file, or the settings file `config`, however either path
// is spelled (another path to the same folder, a symbolic link, "..").
void verificaArquivosNaPastaXml(const std::string& Caminho, const std::string& database,
                                const std::filesystem::path& config);

// The local file GERAL/DATABASE names for the embedded engine; none when it names a server
// ("host:path", "host/port:path", "inet://…", "\\host\path") or nothing.
std::optional<std::filesystem::path> arquivoLocalDoBanco(std::string_view database);

}  // namespace cds
