#pragma once

#include <chrono>
#include <set>
#include <string>

#include "export/arquivo_ini.hpp"
#include "fichas/parametros.hpp"

namespace cds {

// What the window shows when it opens, and what the command line takes for an option not
// given: unit, output folder and generic professional from config.ini (an absent key empties
// the box), UUID "0", the previous calendar month, and the kinds of "todas".
ParametrosExportacao parametrosIniciais(const ArquivoIni& ini, const Relogio& relogio);

struct Periodo {
    std::chrono::year_month_day inicio;
    std::chrono::year_month_day fim;
};
// The calendar month before the one of `hoje`.
Periodo mesAnterior(const DataHora& hoje);

// Creates Caminho + separator + "arquivosXML" when it is missing, as the window does when it
// is shown; the folders it makes are their owner's alone (0700). Raises ErroArquivo when it
// cannot, when Caminho is blank, or, making nothing, when the output folder or arquivosXML is
// another user's or open to others (verificaDonoDaPastaDeSaida).
void criaPastaXml(const std::string& Caminho);

// The kinds of "todas": what the window ticks at first and "Todas" ticks again.
std::set<TipoFicha> fichasDeTodas();

}  // namespace cds
