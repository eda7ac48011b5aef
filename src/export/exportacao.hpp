#pragma once

#include <string>
#include <utility>
#include <vector>

#include "export/arquivo_ini.hpp"
#include "export/empacotamento.hpp"
#include "fichas/execucao.hpp"

namespace cds {

// What a run leaves behind, for the front end's summary.
struct ResultadoExportacao {
    ResultadoZip arquivoZip;
    std::vector<ArquivoGerado> ListaArquivos;
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

// How many files of each kind a run wrote, in the run's order; a file saved twice (an
// episode with several rows) counts once, and kinds without files are left out.
std::vector<std::pair<TipoFicha, std::size_t>> arquivosPorTipo(
    const std::vector<ArquivoGerado>& ListaArquivos);

}  // namespace cds
