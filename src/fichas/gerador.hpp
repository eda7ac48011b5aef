#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fichas/consulta_por_registro.hpp"
#include "fichas/execucao.hpp"
#include "fichas/registro.hpp"
#include "fichas/selecao.hpp"
#include "record/buffer.hpp"
#include "record/envelope.hpp"
#include "source/consulta.hpp"

namespace cds {

// Which record a row holds: its number and its unit, as read.
struct IdentidadeRegistro {
    std::string numero;
    std::string unidade;
};

// The columns of a kind's main row that name its record and its professional. The defaults
// are an episode's (FAA with its professional); a kind whose row names them otherwise says so.
struct ColunasDoRegistro {
    std::string_view numero = "NUMFAA";
    std::string_view cns = "CNS";
};

// The team-code warning every kind gives in one text: "<who> - INE não cadastrado!".
std::string mensagemSemIne(std::string_view quem);

// What one record kind gives the per-record loop. Made when the kind's turn in a run comes,
// it prepares its statements then and runs them for every record. Identity, envelope and the
// missing-team warning come from the row's usual columns (ColunasDoRegistro) unless the kind
// overrides them.
class Ficha {
  public:
    explicit Ficha(Execucao& execucao, ColunasDoRegistro colunas = {})
        : execucao(execucao), colunas(colunas) {}
    virtual ~Ficha() = default;

    // Before the main query (a registration looks its generic professional up).
    virtual void inicia() {}
    // Runs the kind's main query and its look-ups, and gives how many records the query holds
    // (a record given on several rows counts once), for the operator's progress.
    virtual std::size_t abreRegistros() = 0;
    // The next row of the main query; none after the last. It stays as it is until the next
    // call.
    virtual const Linha* proximoRegistro() = 0;
    // The conditions of the kind's selection whose column (colunaDaSelecao) the main query's
    // rows carry: a row that fails one is left out, and reported with its reason. None when
    // the main query selects its records itself.
    virtual std::span<const CondicaoDeSelecao> condicoes() const { return {}; }
    // The row's number and CODUNIDADE.
    virtual IdentidadeRegistro identidade(const Linha& registro) const;
    // How the report names the row's record, beyond its identity: its date (dd/MM/yyyy) and its
    // professional's name; by default the row's DATA and nomeprofissional, when it has them.
    virtual std::string dataDoRegistro(const Linha& registro) const;
    virtual std::string profissionalDoRegistro(const Linha& registro) const;
    // Before a record's file is begun, ahead of everything else of the record (a registration
    // takes its transmission code and identifiers here).
    virtual void preparaRegistro(const Linha& /*registro*/) {}
    // The run's municipality, unit and identifier text; the row's CODUNIDADE, number, and
    // professional (CNS, CBO, INE) with the moment of the record.
    virtual ValoresEnvelope envelope(const Linha& registro) const;
    // headerTransport's dataAtendimento for the default envelope: the row's DATA.
    virtual std::string momento(const Linha& registro) const;
    // The message for a record whose professional has no team code, naming the row's
    // nomeprofissional; none where the kind reports the case in its own way.
    virtual std::optional<std::string> avisoSemIne(const Linha& registro) const;
    // The form between the envelope's head and tail, whose values (the identifiers as the run
    // gives them) it is written with; false when the record has nothing to send, and then it
    // gets no file and no entry in ListaArquivos (nor a line in the report: what it had goes
    // with another kind's records).
    virtual bool corpo(const Linha& registro, const ValoresEnvelope& valores,
                       RegistroBuffer& buffer) = 0;
    // After the record's file was saved and listed (a registration writes its register back).
    virtual void gravado(const Linha& /*registro*/, const std::string& /*caminho*/) {}
    // After the last record.
    virtual void termina() {}

  protected:
    Execucao& execucao;

  private:
    ColunasDoRegistro colunas;
};

// The per-record loop every kind shares: the kind's start, the main query, then for every
// record the kind's selection (a row it leaves out goes to the run's report with its reason),
// the kind's preparation, its identifiers made its own in the run
// (IdentificadoresDaExecucao), the envelope's head, the team-code check, the body, the tail, the
// file saved under the kind's name and listed in ListaArquivos, the kind's after-save step and the
// progress; at last the kind's end. An error names the record it stopped at
// ("FichaAtendimentoIndividual_2 (unidade 45): ...") and ends the run, unless it is the
// connection that was lost. The log and error-list lines a record gives while it is written are its
// warnings in the report. The operator's request to stop, when the run has one, is checked before
// each record (ErroInterrompido).
//
// The progress counts records, from 0 before the first to the kind's total after the last.
void geraRegistros(Execucao& execucao, const DescricaoFicha& descricao, Ficha& ficha);

// How an error names its record: "FichaAtendimentoIndividual_2 (unidade 45)".
std::string nomeDoRegistro(TipoFicha tipo, const IdentidadeRegistro& id);

// How many records a kind's main query holds: the distinct keys over its origin (`origem`:
// FROM, joins, WHERE, with the parameters `vincula` binds). The engine neither reads the
// query's columns nor checks the selection's conditions for it, so the count costs a small
// part of the query; taken in the run's transaction, it is the number the query then gives.
std::size_t contaRegistros(Transacao& transacao, const ChaveSql& chave, std::string_view origem,
                           const std::function<void(Consulta&)>& vincula);

// Binds the run's period to a statement that selects it as
//   <date column> >= :pdatainicial AND <date column> < :pdiaposfinal
// so that it takes whole days whatever the column's type: a record made late on the last
// day is in, even where the column is a TIMESTAMP, and one of the day after is not.
void vinculaPeriodo(Consulta& consulta, const ParametrosExportacao& parametros);

// A kind's generator for the registry: its status text, its statements, the loop. A kind
// that shows its status itself (once it knows it can run) passes false.
template <class F, bool comStatus = true>
void geraFichas(Execucao& execucao, const DescricaoFicha& descricao) {
    if (comStatus) execucao.status(std::string(descricao.status));
    F ficha(execucao);
    geraRegistros(execucao, descricao, ficha);
}

}  // namespace cds
