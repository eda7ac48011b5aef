#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comum/plataforma_arquivos.hpp"
#include "comum/tipo_ficha.hpp"
#include "fichas/identificadores.hpp"
#include "fichas/lista_arquivos.hpp"
#include "fichas/ocorrencias.hpp"
#include "fichas/parametros.hpp"

namespace cds {

class LinhasGuardadas;
class Cancelamento;
class Transacao;

// Everything one run shares with its generators: the inputs, read once, the run's
// transaction, and the output sinks. It holds no statements: a generator owns its own.
struct Execucao {
    Execucao(const ParametrosExportacao& parametros, Transacao& transacao, Operador& operador,
             const Relogio& relogio, std::function<std::string()> ibge);
    ~Execucao();

    const ParametrosExportacao parametros;
    Transacao& transacao;
    Operador& operador;
    const Relogio& relogio;

    ListaDeArquivos ListaArquivos;
    // The transport identifiers of the records written, so that no two carry the same one.
    IdentificadoresDaExecucao identificadores;
    // The care episodes of the period as the individual care record read them, put aside on
    // disk for the vaccination record of the same run, which writes a file for every row of
    // that same query: so the query runs once. Left by the care record at the end of its
    // walk when vaccination is chosen too; taken by the vaccination record.
    std::unique_ptr<LinhasGuardadas> episodiosGuardados;
    // How many records those rows hold, as the care record counted them.
    std::size_t registrosGuardados = 0;
    std::vector<std::string> LogExecucao;
    // The run's one error list, every kind's lines in the order they came; the run saves it
    // once it has ended well.
    std::vector<std::string> ErrosCadastro;
    // The operator's request to stop, checked between records; none when nobody can stop the
    // run.
    const Cancelamento* cancelamento = nullptr;
    // The run's report, told of every record as it goes; none when nobody keeps one.
    DestinoOcorrencias* ocorrencias = nullptr;
    // The log and error-list lines of the record being written, which are its warnings; the
    // driver opens and closes the record (comecaRegistro, terminaRegistro).
    void comecaRegistro();
    std::vector<std::string> terminaRegistro();

    // GERAL/IBGE of the settings file, read the first time a run asks for it: every record of
    // the run carries the same code, and no record pays for reading the settings again.
    const std::string& ibge() const {
        if (!ibgeLido) ibgeLido = leIbge();
        return *ibgeLido;
    }
    // Caminho + separator + "arquivosXML": where the record files go.
    std::string pastaXml() const;
    // Caminho + separator + "arquivosXML" + separator + nome.
    std::string caminhoArquivo(const std::string& nome) const;

    void status(const std::string& texto) { operador.status(texto); }
    void log(const std::string& linha);
    void erroCadastro(const std::string& linha);
    // The missing-team message of the care kinds: to the error list, then to the log.
    void erroELog(const std::string& linha);

    // Told of every record file once it is saved, with the text saved and the file's state as
    // the save left it, in the order saved, on the thread that saves the files
    // (GravacaoDeRegistros); the run packs it into the archive meanwhile. Unset, nobody is told.
    std::function<void(const std::string& caminho, std::string texto,
                       const std::optional<EstadoArquivo>& estado)>
        aoGravarArquivo;

  private:
    void anotaAviso(const std::string& linha);

    bool emRegistro = false;
    std::vector<std::string> avisos;
    std::function<std::string()> leIbge;
    mutable std::optional<std::string> ibgeLido;
};

}  // namespace cds
