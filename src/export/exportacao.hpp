#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "comum/cancelamento.hpp"
#include "comum/erro.hpp"
#include "export/arquivo_ini.hpp"
#include "export/empacotamento.hpp"
#include "export/entradas.hpp"
#include "export/relatorio.hpp"
#include "fichas/execucao.hpp"

namespace cds {

// The status while the earlier records are deleted from arquivosXML.
inline constexpr char kStatusLimpeza[] = "Apagando os arquivos da exportação anterior...";

// What a run leaves behind, for the front end's summary.
struct ResultadoExportacao {
    // The archive's full path, under the name it took.
    std::string arquivoZip;
    ListaDeArquivos ListaArquivos;
    std::vector<std::string> LogExecucao;
    // The run's error list: a line of each file that holds it.
    std::vector<std::string> ErrosCadastro;
    // Where the list was saved: erros.txt beside config.ini, then its copy beside the archive.
    // None when the run had no errors (and no file of the list is left then).
    std::vector<std::filesystem::path> arquivosErros;
    // Warnings the operator reads again when the run ends (an empty IBGE).
    std::vector<std::string> avisos;
    // The run's report: its summary and its files beside the archive.
    ResumoDoRelatorio relatorio;
    // A check run's folder, where its record files and its report stay; empty otherwise, and
    // when the folder was not to be kept.
    std::filesystem::path pastaDaVerificacao;
};

// How a run treats what it does not send.
struct ModoExportacao {
    // Saves the output folder and the generic professional in config.ini, as the window does at
    // each run so that it opens with them next time.
    bool gravaConfig = true;
    // A check run: the whole run (the records read, built and checked, the report written) in a
    // private folder of its own under the system's temporary folder instead of the output
    // folder, which is left as it was; the archive is made and removed, the error list saved
    // nowhere, and the database work rolled back, so that no registration is marked sent.
    bool verificacao = false;
    // Whether a check run's folder stays, with its records and its report (a failed run's too);
    // without it the folder goes however the run ends, and a failure names no report.
    bool mantemPastaDaVerificacao = true;
};

// The database could not be reached, or it refused the login: the run read and wrote nothing
// in it. The message is the connection's own.
class ErroSemConexao : public ErroBanco {
  public:
    using ErroBanco::ErroBanco;
};

// The archive was written and put in place and the run committed, and then the error list could
// not be saved: the archive is the one to send, since its registrations are marked sent, and
// only the list is missing. Its message says so.
class ErroAposConfirmacao : public ErroArquivo {
  public:
    using ErroArquivo::ErroArquivo;
};

// "Gerar Arquivos": checks what it is given (validaExecucao), holds the output folder against
// another run, saves two settings (the output folder made absolute), connects, refuses a
// generic professional that names no professional when a registration is chosen (ErroParametro,
// before any record is written), warns in the log when config.ini has no IBGE (and again in the
// closing notes), deletes earlier records from the output subfolder (DeletaArquivosDir), runs
// the generators of the chosen kinds in their fixed order, packs their files, commits,
// saves the run's error list (salvaErrosCadastro: erros.txt beside config.ini, and its UTF-8
// copy beside the archive, <archive name without .zip>.erros.txt), and only then tells the
// operator that the archive is ready. A run that fails or is stopped leaves the earlier lists
// as they were; a list that cannot be saved after the commit raises ErroAposConfirmacao.
//
// The database work is committed only once the archive is whole and in place; a run that
// ends in an error, its packaging's included, rolls it back, so no registration is marked
// sent that was not delivered. A commit that fails removes the run's archive and raises the
// database's error. Errors (ErroConversao, ErroBanco, ErroArquivo) leave the record files
// already written in place and reach the caller; the operator is told of them by the caller
// alone, once. An error after the first record was begun, but for a stop the operator asked
// for, still writes the report, marked as failed and named after the archive the run would
// have made, and the error's message ends saying where it is. The connection waits
// GERAL/TEMPOCONEXAO seconds for the server (15 when absent).
//
// `cancelamento`, when given, is the operator's request to stop, made from another thread: the
// database call under way is cancelled, no further record is begun, an archive being written
// or already in place is removed, the work is rolled back, and ErroInterrompido is raised.
//
// `modo` may leave config.ini alone, or make the run a check run (see ModoExportacao). A
// connection that fails raises ErroSemConexao.
ResultadoExportacao exportaArquivos(const ParametrosExportacao& parametros, ArquivoIni& ini,
                                    Operador& operador, const Relogio& relogio,
                                    Cancelamento* cancelamento = nullptr,
                                    const ModoExportacao& modo = {});

// What a run refuses before it writes anything, settings included, with the error that says
// why: a settings file that is missing, has no GERAL/DATABASE, cannot be read as one or holds
// a connection timeout that is no number of seconds, holds an IBGE that is neither empty nor
// seven digits, or has a symbolic link for erros.txt beside it (ErroArquivo); then the inputs
// validaParametros refuses (ErroParametro); then a Caminho that config.ini cannot hold (a line
// break), a blank Caminho, an arquivosXML that is a symbolic link, an output folder or
// arquivosXML of another user or open to others (verificaDonoDaPastaDeSaida), an arquivosXML
// that holds the database or config.ini (verificaArquivosNaPastaXml) (ErroArquivo). The
// command line calls it before making arquivosXML.
void validaExecucao(const ParametrosExportacao& parametros, const ArquivoIni& ini);

// GERAL/IBGE without the blanks around it: the municipality's seven digits, or empty (the run
// warns then). Anything else raises ErroArquivo naming the key and the value.
std::string ibgeDoConfig(const ArquivoIni& ini);

// The output folder as the run uses it and saves it: a relative one made absolute from the
// current folder, its "." parts dropped, so that config.ini and the messages name a real
// folder; an absolute or blank one as it is.
std::string caminhoAbsoluto(const std::string& Caminho);

// The closing notes of a run that ended well, as both front ends show them: how many lines the
// error list has (each of its files has that many) and where they are, then the run's warnings.
std::vector<std::string> notasFinais(const ResultadoExportacao& resultado);

}  // namespace cds
