#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fichas/gerador.hpp"
#include "source/consulta.hpp"

namespace cds {

// The medical care episodes of the period, one record each: the main query of the individual
// care record, which the vaccination record reads too. Gives the envelope, the identity and
// the missing-team message of such a row; the kinds give their bodies.
class FichaDeAtendimentos : public Ficha {
  public:
    explicit FichaDeAtendimentos(Execucao& execucao, TipoFicha tipo);

    const std::vector<Linha>& registros() override;
    IdentidadeRegistro identidade(const Linha& atendimento) const override;
    ValoresEnvelope envelope(const Linha& atendimento) const override;
    std::optional<std::string> avisoSemIne(const Linha& atendimento) const override;

  protected:
    Execucao& execucao;

  private:
    TipoFicha tipo;
    Consulta episodios;
};

// Any care episode row (FAA with its professional): its number and unit, and the envelope of
// a kind read from episodes, with the professional of the columns CNS, CBO and INE and the
// moment of the care.
IdentidadeRegistro identidadeDoEpisodio(const Linha& episodio);
ValoresEnvelope envelopeDoEpisodio(const Execucao& execucao, TipoFicha tipo, const Linha& episodio);

// "0" for a citizen whose SEXO is "MASCULINO" in any case, "1" otherwise.
std::string sexoDoCidadao(const Linha& atendimento);

// 1 before noon, 2 in the afternoon, 3 from 18:00 on.
int turnoDaHora(int hora);

// The moment of the care, DATA followed by HORA, as e-SUS AB milliseconds: a date without an
// hour stands for 10:00:01 of its day.
std::string momentoDoAtendimento(const Linha& atendimento);

}  // namespace cds
