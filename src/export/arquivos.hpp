#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "comum/plataforma_arquivos.hpp"

namespace cds {

// The hidden error list is saved beside config.ini under this name.
inline constexpr char kNomeArquivoErros[] = "erros.txt";

// True for a name the exporter itself writes in arquivosXML: a record file
// ("<kind's prefix><number>.esus.xml", with "_2", "_3"... after the number for a second record
// of the same name) or the temporary one a record is saved through (".<record's name>.<process>-
// <counter>-<random>", or "<record's name>.tmp" as earlier versions named it). Not another
// run's lock or hidden archive, whose output folder may be this arquivosXML.
bool ehArquivoDaExportacao(std::string_view nome);

// What the clean-up of arquivosXML left there, for the run's log.
struct LimpezaPastaXml {
    std::string pasta;
    // Whatever is not the exporter's own (the clinic's files, subfolders, another run's lock
    // or hidden archive), kept: how many, and the first names.
    std::size_t mantidos = 0;
    std::vector<std::string> primeirosMantidos;
    // The exporter's own files that could not be deleted, and why the first could not.
    std::size_t naoApagados = 0;
    std::vector<std::string> primeirosNaoApagados;
    std::error_code motivoNaoApagado;
    // Why the listing stopped short, when it did (the rest of the folder stays as it is).
    std::error_code erroDaListagem;
};

// Deletes, directly in RootDir, the files ehArquivoDaExportacao names: the records and
// temporaries of earlier runs. Everything else stays, and so does what cannot be deleted; both
// are told in the result. Subfolders are not entered; a missing folder is no error; the folder
// itself stays. A RootDir that is a symbolic link is not followed: it raises ErroArquivo and
// nothing is deleted, since the folder it leads to is someone else's.
//
// `progresso`, when given, is told how many of the folder's entries were looked at, of how many
// it had when the clean-up began (first 0, then every entry); an exception it raises stops the
// clean-up there, the rest of the folder as it was.
LimpezaPastaXml DeletaArquivosDir(
    const std::string& RootDir,
    const std::function<void(std::size_t feitos, std::size_t total)>& progresso = {});

// The log's lines about a clean-up: one for what was kept, one for what could not be deleted,
// one for a listing cut short; each names a few files and counts the rest. None when the
// clean-up deleted everything it looked at.
std::vector<std::string> avisosDaLimpeza(const LimpezaPastaXml& limpeza);

// The error list beside the archive goes with its month: the archive's name, with this in
// place of ".zip".
inline constexpr char kFimArquivoErrosDoZip[] = ".erros.txt";

// How a copy of the error list is written: Windows-1252 for erros.txt beside config.ini, as the
// clinic's other tools read it; UTF-8 for the copy beside the archive, which keeps every
// character.
enum class CodificacaoErros { Windows1252, Utf8 };

// Makes `arquivo` the run's error list: one line per entry, each ending in CR LF (a line break
// inside an entry becomes a blank, so the file has as many lines as the list), in `codificacao`.
// The new file is made under a name of its own and takes the old one's place whole or not at
// all. An empty list removes the file, so that no list of an earlier run is left to be taken
// for this one's. A symbolic link there is left alone and raises ErroArquivo, as does a file
// that cannot be written or removed.
void salvaErrosCadastro(const std::filesystem::path& arquivo,
                        const std::vector<std::string>& linhas,
                        CodificacaoErros codificacao = CodificacaoErros::Windows1252);

}  // namespace cds
