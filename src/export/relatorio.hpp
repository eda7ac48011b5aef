#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "comum/datahora.hpp"
#include "comum/tipo_ficha.hpp"
#include "fichas/ocorrencias.hpp"
#include "fichas/parametros.hpp"

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

// The report is named after its run's archive: its name with these in place of ".zip".
inline constexpr char kFimRelatorioHtml[] = ".relatorio.html";
inline constexpr char kFimRelatorioCsv[] = ".relatorio.csv";

// The report of one run: what went, what was left out and why, what was written with a
// warning and what the importer will refuse. Its lines go to nameless files of the system's
// temporary folder as the run tells them, so that a month of them takes no memory; only the
// counts are kept.
// `conclui` writes the page (a self-contained UTF-8 HTML file that prints well) and the
// spreadsheet (UTF-8 with a BOM, ";"-separated, as a spreadsheet in pt-BR opens it) beside the
// archive, each whole or not at all.
class Relatorio : public DestinoOcorrencias {
  public:
    // The run's inputs, and when it began, for the report's head.
    Relatorio(const ParametrosExportacao& parametros, const DataHora& inicio);
    ~Relatorio() override;
    Relatorio(const Relatorio&) = delete;
    Relatorio& operator=(const Relatorio&) = delete;

    void registroGravado(TipoFicha tipo, bool comAviso, bool recusavel) override;
    void ocorrencia(const Ocorrencia& ocorrencia) override;

    // Writes the report beside `arquivoZip` (the run's archive, or the one a failed run would
    // have made), replacing an earlier report of that name; again when called again. `falha`, when
    // given, is the error that ended the run, and the report says the run failed. Raises
    // ErroArquivo when either file cannot be written whole.
    ResumoDoRelatorio conclui(const std::string& arquivoZip,
                              const std::optional<std::string>& falha = std::nullopt);
    // The archive the report was last written beside; empty before.
    const std::string& arquivoZip() const { return zip; }

  private:
    class Arquivos;

    const ParametrosExportacao parametros;
    const DataHora inicio;
    // One line per kind, in the registry's order.
    std::vector<ResumoDoTipo> tipos;
    std::unique_ptr<Arquivos> arquivos;
    std::string zip;
};

// The summary as a table of text, one line per chosen kind under a header, then a line per
// reason of the records left out; for the command line's end and the window's log.
std::vector<std::string> tabelaDoResumo(const ResumoDoRelatorio& resumo);

}  // namespace cds
