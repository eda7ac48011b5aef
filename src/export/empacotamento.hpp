#pragma once

#include <string>
#include <vector>

#include "fichas/parametros.hpp"

namespace cds {

struct ResultadoZip {
    // Full path of the archive, also when it could not be written.
    std::string arquivo;
    // Written and closed whole; the run commits only then.
    bool gravado = false;

    explicit operator bool() const { return gravado; }
};

// Packs the run's record files into Caminho + separator + "FichasValmo_" + ddMMyyyy_HHmm of
// now + "_" + DataInicial ddMMyyyy + "_" + DataFinal ddMMyyyy + ".zip", replacing an archive
// of that name. Entries are deflated, named by the file's bare name and dated with its
// last-write time; a listed file that no longer exists is left out, a path listed twice is
// packed once. The outcome is told to the operator in a message box; errors are reported
// there and not thrown.
[[nodiscard]] ResultadoZip zipaXML(const ParametrosExportacao& parametros,
                                   const std::vector<std::string>& ListaArquivos,
                                   Operador& operador, const Relogio& relogio);

}  // namespace cds
