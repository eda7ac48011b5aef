#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "source/consulta.hpp"

namespace cds {

// A condition a kind's main query puts on a record of the period, with what it means to the
// operator when a record fails it. The conditions are written here once and only here: the
// main query reads every record of its kind in the period, and computes from them whether it
// is taken and, when not, which condition left it out (colunaDaSelecao); the run writes the
// records taken and reports the others (motivoDeFora). So the report can never disagree with
// what the run selects.
struct CondicaoDeSelecao {
    // An SQL condition over the main query's tables, true for a record the kind takes; one that
    // is NULL (a value missing) leaves the record out, as it would in a WHERE.
    std::string_view sql;
    // Why a record that fails it is left out, in the operator's words; "{}" stands for the
    // value of the column `detalhe`.
    std::string_view motivo;
    // A column of the main query's row shown in the motivo; empty when it shows none.
    std::string_view detalhe = {};
};

// The main query's column MOTIVO_FORA: 0 for a record every condition takes, else one more than
// the place of the first condition it fails, in the list's order.
std::string colunaDaSelecao(std::span<const CondicaoDeSelecao> condicoes);

// Why the main query's row is left out, in the operator's words; none when it is taken, and
// for every row of a kind without conditions.
std::optional<std::string> motivoDeFora(const Linha& registro,
                                        std::span<const CondicaoDeSelecao> condicoes);

}  // namespace cds
