#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "export/arquivo_ini.hpp"
#include "export/empacotamento.hpp"
#include "fichas/execucao.hpp"

namespace cds {

// The caption of the program's own message boxes.
inline constexpr char kTituloAplicacao[] = "Exportador CDS";

// What a run leaves behind, for the front end's summary.
struct ResultadoExportacao {
    ResultadoZip arquivoZip;
    std::vector<std::string> ListaArquivos;
    std::vector<std::string> LogExecucao;
    std::vector<std::string> ErrosCadastro;
};

// "Gerar Arquivos": saves two settings, connects, empties the output subfolder, runs the
// generators of the chosen kinds in their fixed order and packs their files.
//
// The database work is committed only once the archive has been written whole; a run that
// ends in an error, or whose packaging fails, rolls it back, so no registration is marked
// sent that was not delivered. Errors (ErroConversao, ErroBanco, ErroArquivo) leave the
// record files already written in place and reach the caller.
ResultadoExportacao exportaArquivos(const ParametrosExportacao& parametros, ArquivoIni& ini,
                                    Operador& operador, const Relogio& relogio);

// A professional code is empty or a whole number; anything else is refused before the run
// touches settings or the database. Raises ErroConversao naming the value.
void validaCodProf(const std::string& CodProf);

// The name of a record kind as the operator reads it in a summary, from a record file's name.
std::string tipoDoArquivo(const std::string& caminho);

}  // namespace cds
