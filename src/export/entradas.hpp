#pragma once

#include <chrono>
#include <set>
#include <string>

#include "fichas/parametros.hpp"

namespace cds {

// The run's inputs as the operator gives them, checked before any setting is written or any
// connection made. The command line and the window both call these, so that they refuse the
// same values in the same words: each refusal is ErroParametro, naming the command-line option
// and the value as it was typed (control characters and bytes that are not UTF-8 shown as
// \xNN).

inline constexpr char kOpcaoDataInicial[] = "--data-inicial";
inline constexpr char kOpcaoDataFinal[] = "--data-final";
inline constexpr char kOpcaoUnidade[] = "--unidade";
inline constexpr char kOpcaoCodProf[] = "--cod-prof";
inline constexpr char kOpcaoCaminho[] = "--caminho";
inline constexpr char kOpcaoUuid[] = "--uuid";
inline constexpr char kOpcaoProfissionalGenerico[] = "--profissional-generico";
inline constexpr char kOpcaoFichas[] = "--fichas";

// Dates from 01/01/1900 to 31/12/9999 (the end to 30/12/9999, since the period is selected
// up to the day after it), the start not after the end; the unit's CNES of 1 to 7
// digits; the professional's code and the generic professional's code empty or digits of a
// number the database's INTEGER holds, the generic professional's not empty when a
// registration is chosen; a UUID without control characters; every text valid
// UTF-8. The output folder's other checks are the run's (validaExecucao), and an empty choice of
// kinds is a run with an empty archive, as the window has always made it.
void validaParametros(const ParametrosExportacao& parametros);

// A professional code is empty or the digits of a number the database's INTEGER holds.
void validaCodProf(const std::string& CodProf);

// Text given on the command line reaches the records only as valid UTF-8.
void validaTextoDaOpcao(const std::string& opcao, const std::string& valor);

// A date of the command line: DD/MM/AAAA, two, two and four digits, a day that exists.
std::chrono::year_month_day leDataDaOpcao(const std::string& opcao, const std::string& texto);

// The kinds of --fichas: names of the registry and "todas", separated by commas; at least one.
std::set<TipoFicha> leFichasDaOpcao(const std::string& lista);

}  // namespace cds
