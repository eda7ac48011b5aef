#pragma once

#include <string>
#include <vector>

#include "fichas/parametros.hpp"

namespace cds {

struct ResultadoZip {
    // Full path of the archive: the name it took, or, when it could not be written, the name
    // it was to have.
    std::string arquivo;
    // Written, closed whole and in place under its name; the run commits only then.
    bool gravado = false;

    explicit operator bool() const { return gravado; }
};

// Packs the run's record files into Caminho + separator + "FichasValmo_" + ddMMyyyy_HHmm of
// now + "_" + DataInicial ddMMyyyy + "_" + DataFinal ddMMyyyy + ".zip". Nothing in the folder
// is replaced: when that name is taken (a run earlier in the same minute), the archive takes
// the first free one with "_2", "_3"… before ".zip". It is written under a hidden name beside
// it and takes its own name only once it is closed whole and on the disk; a failure removes
// it, so an archive under its name is always a whole one.
//
// Entries are deflated, named by the file's bare name and dated with its last-write time; a
// path listed twice is packed once; past 65,534 entries the archive ends in the Zip64 records.
// Every listed file is packed: one that is gone or cannot be read fails the packing, since an
// archive without it would lack records the run marked as sent.
//
// A failure is told to the operator in the packaging's own message box and not thrown. The
// success is told by avisaArquivoGerado, once the run has committed.
[[nodiscard]] ResultadoZip zipaXML(const ParametrosExportacao& parametros,
                                   const std::vector<std::string>& ListaArquivos,
                                   Operador& operador, const Relogio& relogio);

// "Concluído!", the success box, and the status cleared after it.
void avisaArquivoGerado(Operador& operador);

}  // namespace cds
