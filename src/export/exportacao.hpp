#pragma once

#include <string>
#include <utility>
#include <vector>

#include "comum/cancelamento.hpp"
#include "export/arquivo_ini.hpp"
#include "export/empacotamento.hpp"
#include "export/entradas.hpp"
#include "fichas/execucao.hpp"

namespace cds {

// What a run leaves behind, for the front end's summary.
struct ResultadoExportacao {
    // The archive's full path, under the name it took.
    std::string arquivoZip;
    ListaDeArquivos ListaArquivos;
    std::vector<std::string> LogExecucao;
    std::vector<std::string> ErrosCadastro;
};

// "Gerar Arquivos": checks what it is given (validaExecucao), holds the output folder against
// another run, saves two settings, connects, refuses a generic professional that names no
// professional when a registration is chosen (ErroParametro, before any record is written), warns
// in the log when config.ini has no IBGE, empties the output subfolder, runs the
// generators of the chosen kinds in their fixed order, packs their files, commits, and only
// then tells the operator that the archive is ready.
//
// The database work is committed only once the archive is whole and in place; a run that
// ends in an error, its packaging's included, rolls it back, so no registration is marked
// sent that was not delivered. A commit that fails removes the run's archive and raises the
// database's error. Errors (ErroConversao, ErroBanco, ErroArquivo) leave the record files
// already written in place and reach the caller; the operator is told of them by the caller
// alone, once. The connection waits GERAL/TEMPOCONEXAO seconds for the server (15 when
// absent).
//
// `cancelamento`, when given, is the operator's request to stop, made from another thread: the
// database call under way is cancelled, no further record is begun, an archive being written
// or already in place is removed, the work is rolled back, and ErroInterrompido is raised.
ResultadoExportacao exportaArquivos(const ParametrosExportacao& parametros, ArquivoIni& ini,
                                    Operador& operador, const Relogio& relogio,
                                    Cancelamento* cancelamento = nullptr);

// What a run refuses before it writes anything, settings included, with the error that says
// why: a settings file that is missing, has no GERAL/DATABASE, cannot be read as one or holds
// a connection timeout that is no number of seconds (ErroArquivo); then the inputs
// validaParametros refuses (ErroParametro); then a Caminho that config.ini cannot hold (a line
// break), a blank Caminho, an arquivosXML that is a symbolic link (ErroArquivo). The command
// line calls it before making arquivosXML.
void validaExecucao(const ParametrosExportacao& parametros, const ArquivoIni& ini);

// How many files of each kind a run wrote, in the run's order; a file saved twice (an
// episode with several rows) counts once, and kinds without files are left out.
std::vector<std::pair<TipoFicha, std::size_t>> arquivosPorTipo(
    const ListaDeArquivos& ListaArquivos);

}  // namespace cds
