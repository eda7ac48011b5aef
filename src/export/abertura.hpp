#pragma once

#include <chrono>
#include <string>

#include "export/arquivo_ini.hpp"
#include "fichas/execucao.hpp"

namespace cds {

// What the window shows when it opens, and what the command line takes for an option not
// given: unit, output folder and generic professional from config.ini (an absent key empties
// the box), UUID "0", the previous calendar month, and the seven kinds that "Todas" ticks
// (vaccination stays off).
ParametrosExportacao parametrosIniciais(const ArquivoIni& ini, const Relogio& relogio);

struct Periodo {
    std::chrono::year_month_day inicio;
    std::chrono::year_month_day fim;
};
// The calendar month before the one of `hoje`.
Periodo mesAnterior(const DataHora& hoje);

// Creates Caminho + separator + "arquivosXML" when it is missing, as the window does when it
// is shown. Raises ErroArquivo when it cannot.
void criaPastaXml(const std::string& Caminho);

// Ticks the seven kinds of "Todas"; vaccination is left as it is.
void marcaTodas(ParametrosExportacao& parametros, bool marcado);

}  // namespace cds
