#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "comum/tipo_ficha.hpp"
#include "fichas/ocorrencias.hpp"

namespace cds {

// A kind's line of the run's summary.
struct ResumoDoTipo {
    TipoFicha tipo;
    // Records whose file went into the archive.
    std::size_t gravados = 0;
    // Records of the period its selection did not take, and how many for each reason, in the
    // order the reasons first came.
    std::size_t deixados = 0;
    std::vector<std::pair<std::string, std::size_t>> deixadosPorMotivo;
    // Records written with at least one warning; records written that the importer is expected
    // to refuse.
    std::size_t comAviso = 0;
    std::size_t recusaveis = 0;
};

// The run's summary and where its report is.
struct ResumoDoRelatorio {
    // Every chosen kind, in the run's order.
    std::vector<ResumoDoTipo> tipos;
    // The report's two files: the page and the spreadsheet; empty before they are written.
    std::filesystem::path html, csv;
    // The run did not end well: the report says how far it got.
    bool falhou = false;
};

// The summary as a table of text, one line per kind and a header, for the command line's end
// and the window's log.
std::vector<std::string> tabelaDoResumo(const ResumoDoRelatorio& resumo);

}  // namespace cds
