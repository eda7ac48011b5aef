#pragma once

#include <string>
#include <vector>

#include "comum/cancelamento.hpp"
#include "fichas/parametros.hpp"

namespace cds {

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
// Returns the full path of the archive, under the name it took. A failure raises ErroArquivo
// naming the file and the system's reason, and leaves no archive; the run ends with it. The
// operator's request to stop (`cancelamento`) is checked before each entry and before the
// archive takes its name, and raises ErroInterrompido, leaving no archive either. The success is
// told by avisaArquivoGerado, once the run has committed.
[[nodiscard]] std::string zipaXML(const ParametrosExportacao& parametros,
                                  const std::vector<std::string>& ListaArquivos, Operador& operador,
                                  const Relogio& relogio,
                                  const Cancelamento* cancelamento = nullptr);

// "Concluído!", the success box, and the status cleared after it.
void avisaArquivoGerado(Operador& operador);

}  // namespace cds
