#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fichas/consulta_por_registro.hpp"
#include "fichas/gerador.hpp"
#include "source/consulta.hpp"
#include "source/linhas_guardadas.hpp"

namespace cds {

// The order of every main query over episodes: by date, then number and unit, so that the rows
// of one episode come together and the look-ups over episodes can follow them.
inline constexpr std::string_view kOrdemDosEpisodios = R"(
ORDER BY FAA.DATA, FAA.NUMFAA, FAA.CODUNIDADE
)";

// The key of an episode row of a main query, for its look-ups.
ChaveRegistro chaveDoEpisodio(const Linha& episodio);

// A look-up over episodes read once for the period. `sql` selects the look-up's rows joined to
// FAA, with the episode's key (FAA.DATA AS CHAVE_DATA, FAA.NUMFAA AS CHAVE_NUMERO,
// FAA.CODUNIDADE AS CHAVE_UNIDADE), and ends in its WHERE conditions; `episodios` ("AND ...")
// narrows FAA to the period's episodes among which the main query finds its own, the period
// bound here. The rows go in the main queries' order and, within an episode, in the order
// `tabela` keeps them, which is the order the per-episode statement read them in.
ConsultaPorRegistro consultaPorEpisodio(Execucao& execucao, std::string_view sql,
                                        std::string_view episodios, std::string_view tabela);

// The medical care episodes of the period, one record each: the main query of the individual
// care record, which the vaccination record reads too. When a run writes both, the care record
// puts its rows aside as it reads them (Execucao::episodiosGuardados) and the vaccination
// record reads them back from there, in the same order, instead of running the query again.
// Gives the envelope, the identity and the missing-team message of such a row; the kinds give
// their bodies.
class FichaDeAtendimentos : public Ficha {
  public:
    explicit FichaDeAtendimentos(Execucao& execucao, TipoFicha tipo);
    ~FichaDeAtendimentos() override;

    std::optional<std::size_t> abreRegistros() override;
    const Linha* proximoRegistro() override;
    void termina() override;
    IdentidadeRegistro identidade(const Linha& atendimento) const override;
    ValoresEnvelope envelope(const Linha& atendimento) const override;
    std::optional<std::string> avisoSemIne(const Linha& atendimento) const override;

  protected:
    Execucao& execucao;

  private:
    TipoFicha tipo;
    Consulta episodios;
    // The rows put aside while walking the query, or read back instead of it.
    std::unique_ptr<LinhasGuardadas> guardados;
    bool lidosDosGuardados = false;
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
