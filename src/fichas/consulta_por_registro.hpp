#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comum/datahora.hpp"
#include "source/consulta.hpp"
#include "source/linhas_guardadas.hpp"

namespace cds {

// Where a record stands in the order a kind's main query and its look-ups share: its date
// (with the time of day where the column has one), its number, then its unit. Date and number
// are compared as values; units are only told apart, never ranked, so that the program need
// not know how the database collates text.
struct ChaveRegistro {
    std::optional<DataHora> data;
    std::int64_t numero = 0;
    std::string unidade;
};

// A kind's record key as SQL over its main table: date, number and unit ("''" where numbers
// are unique on their own). Written once per kind: its main query orders by it, its look-ups
// select and order by it, and a main row's key is read from the columns of the same names.
struct ChaveSql {
    std::string_view data;
    std::string_view numero;
    std::string_view unidade;

    // "ORDER BY FAA.DATA, FAA.NUMFAA, FAA.CODUNIDADE"
    std::string ordem() const;
    // The key of a main row: its DATA, NUMFAA and CODUNIDADE for FAA's key.
    ChaveRegistro daLinha(const Linha& registro) const;
    // "SELECT COUNT(*) AS REGISTROS" of the distinct keys over `origem` (FROM, joins, WHERE).
    std::string contagem(std::string_view origem) const;
    // A look-up's statement: "SELECT <colunas>" with the key as CHAVE_DATA, CHAVE_NUMERO and
    // CHAVE_UNIDADE, then `origem` (FROM, joins, WHERE), ordered by the key and, within a
    // record, by `ordemDasLinhas`: the child table's own key, the order the clinic recorded.
    std::string consulta(std::string_view colunas, std::string_view origem,
                         std::string_view ordemDasLinhas) const;
};

// A per-record look-up read once for the whole period instead of once per record. Its
// statement selects the look-up's rows of every record the main query may give (and maybe of
// others), with the record's key in the columns CHAVE_DATA, CHAVE_NUMERO and CHAVE_UNIDADE,
// ordered by date and number as the main query orders its records (ChaveSql::consulta).
// Walked alongside the main rows, it hands each record its own rows and passes over the rows
// of records the main query left out. Its rows are read whole when it opens, into a temporary
// file (a file that cannot be made or written fails the run), and it holds those of one date
// and number at a time in memory.
class ConsultaPorRegistro {
  public:
    ConsultaPorRegistro(Transacao& transacao, std::string_view sql);

    // For the statement's parameters (the period, a professional).
    Consulta& consulta() { return leitura; }

    // Runs the statement; the walk starts before the first record.
    void abre();

    // The rows of the record with this key. Keys come in the main query's order: a key before
    // the one asked last, or rows of the look-up out of that order, are a program error
    // (std::logic_error). The same key again, a record the main query gives on several rows,
    // gets the same rows.
    const std::vector<Linha>& de(const ChaveRegistro& chave);

  private:
    void avancaAte(const ChaveRegistro& chave);

    Consulta leitura;
    std::unique_ptr<LinhasGuardadas> guardadas;
    // The next row of the walk not yet taken into a group, if any, and the key of the last
    // row read, which the next may not come before.
    const Linha* seguinte = nullptr;
    std::optional<ChaveRegistro> ultimaLida;
    // The rows of the last date and number asked for, and the unit of each.
    std::optional<ChaveRegistro> grupo;
    std::vector<Linha> linhasDoGrupo;
    std::vector<std::string> unidadesDoGrupo;
    // The rows of the last record asked for, when its group holds other units too.
    std::vector<Linha> linhasDoRegistro;
};

}  // namespace cds
