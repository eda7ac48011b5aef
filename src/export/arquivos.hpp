#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "comum/plataforma_arquivos.hpp"

namespace cds {

// The hidden error list is saved beside config.ini under this name.
inline constexpr char kNomeArquivoErros[] = "erros.txt";

// Deletes every file directly in RootDir. What cannot be deleted stays (subfolders, files in
// use) and the rest goes on; subfolders are not entered; a missing folder is no error; the
// folder itself stays. A RootDir that is a symbolic link is not followed: it raises
// ErroArquivo and nothing is deleted, since the folder it leads to is someone else's.
void DeletaArquivosDir(const std::string& RootDir);

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

// Creates and opens for writing a new, hidden file beside `arquivo`, named after it with a
// random ending, with the permissions any new file gets (0666 less the umask). Returns it open
// and sets `criado`; returns it closed, with `erro` set, when it cannot.
ArquivoAberto criaArquivoAoLado(const std::filesystem::path& arquivo, std::filesystem::path& criado,
                                std::error_code& erro);

}  // namespace cds
