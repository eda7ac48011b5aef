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

// The moment of the care, DATA followed by HORA, as e-SUS AB milliseconds: a date without an
// hour stands for 10:00:01 of its day.
std::string momentoDoAtendimento(const Linha& atendimento);

// Every kind over care episodes: FAA's key, which orders the main queries and the look-ups,
// and the row's columns, with the moment of the care in headerTransport.
inline constexpr ChaveSql kChaveDoEpisodio{"FAA.DATA", "FAA.NUMFAA", "FAA.CODUNIDADE"};
inline constexpr ColunasDoRegistro kColunasDoEpisodio{.momento = momentoDoAtendimento};

// A look-up over episodes read once for the period: `colunas` of the rows `origem` (FROM FAA
// joined to the look-up's table, and its WHERE conditions) selects, in `ordemDasLinhas` within
// an episode; `episodios` ("AND ...") narrows FAA to the period's episodes among which the main
// query finds its own, the period bound here.
ConsultaPorRegistro consultaPorEpisodio(Execucao& execucao, std::string_view colunas,
                                        std::string_view origem, std::string_view episodios,
                                        std::string_view ordemDasLinhas);

// The medical care episodes of the period, one record each: the main query of the individual
// care record, which the vaccination record reads too. When a run writes both, the care record
// puts its rows aside as it reads them (Execucao::episodiosGuardados) and the vaccination
// record reads them back from there, in the same order, instead of running the query again.
// The kinds give their bodies.
class FichaDeAtendimentos : public Ficha {
  public:
    explicit FichaDeAtendimentos(Execucao& execucao, TipoFicha tipo);
    ~FichaDeAtendimentos() override;

    std::optional<std::size_t> abreRegistros() override;
    const Linha* proximoRegistro() override;
    void termina() override;

  private:
    TipoFicha tipo;
    Consulta episodios;
    // The rows put aside while walking the query, or read back instead of it.
    std::unique_ptr<LinhasGuardadas> guardados;
    bool lidosDosGuardados = false;
};

// "0" for a citizen whose SEXO is "MASCULINO" in any case, "1" otherwise.
std::string sexoDoCidadao(const Linha& atendimento);

// 1 before noon, 2 in the afternoon, 3 from 18:00 on.
int turnoDaHora(int hora);

}  // namespace cds
