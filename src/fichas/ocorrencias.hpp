#pragma once

#include <cstddef>
#include <string>

#include "comum/tipo_ficha.hpp"

namespace cds {

// What the run's report says of a record beyond "sent": left out of its kind's selection,
// written with a warning, or written with a value the national importer refuses.
enum class SituacaoRegistro { DeixadoDeFora, GravadoComAviso, Recusavel };

// One line of the report: the record, so that someone can find it in the clinical system, and
// what is said of it.
struct Ocorrencia {
    TipoFicha tipo;
    SituacaoRegistro situacao;
    // The record's number (an episode's NUMFAA, a meeting's id, a citizen's or household's
    // code), its unit, its date (dd/MM/yyyy) and its professional's name, each empty when the
    // record has none.
    std::string numero, unidade, data, profissional;
    // In the operator's words: why it was left out, the warning, or the importer's rule.
    std::string motivo;
    // The layout element a refused value is in; empty for the other situations.
    std::string elemento;
};

// Where a run's records are told as they go: the report, which streams them to disk. A run
// without one (a test of a kind alone) tells nobody.
class DestinoOcorrencias {
  public:
    virtual ~DestinoOcorrencias() = default;
    // A record whose file was saved, once, with whether it had warnings and refusals.
    virtual void registroGravado(TipoFicha tipo, bool comAviso, bool recusavel) = 0;
    virtual void ocorrencia(const Ocorrencia& ocorrencia) = 0;
};

}  // namespace cds
