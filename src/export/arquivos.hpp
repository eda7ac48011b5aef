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

// Replaces `arquivo` with one line per entry, each ending in CR LF, in Windows-1252 as the
// clinic's other tools read it. An empty list leaves the file as it was, so the errors of an
// earlier run stay until a run has errors of its own. The new file takes the old one's place
// whole or not at all. Throws ErroArquivo when it cannot write.
void salvaErrosCadastro(const std::filesystem::path& arquivo,
                        const std::vector<std::string>& linhas);

}  // namespace cds
