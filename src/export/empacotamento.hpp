#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comum/cancelamento.hpp"
#include "fichas/execucao.hpp"
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

// The packing of a run done while the run writes its files: each file is deflated into a
// hidden archive on a thread of its own as soon as it is saved, so that the archive is whole
// soon after the last record. `conclui` keeps zipaXML's contract to the byte: the entries
// deflated meanwhile make the archive only when every listed file is still the very file that
// was deflated (a path saved again after other files has its last entry copied to its first
// place); otherwise they are dropped and the files are packed by zipaXML's own steps, whose
// result and errors are then the run's.
class EmpacotamentoSimultaneo {
  public:
    // Starts the thread and the hidden archive in the output folder. A folder where it cannot
    // be made is no error here: the packing then happens at the end.
    EmpacotamentoSimultaneo(const ParametrosExportacao& parametros, const Relogio& relogio);
    // Without `conclui` (the run ended in an error), the thread stops and the hidden archive
    // goes.
    ~EmpacotamentoSimultaneo();
    EmpacotamentoSimultaneo(const EmpacotamentoSimultaneo&) = delete;
    EmpacotamentoSimultaneo& operator=(const EmpacotamentoSimultaneo&) = delete;

    // A record file just saved at `caminho` with `texto` as its whole content, in the order
    // of ListaArquivos. Waits while the thread is too far behind, so memory stays bounded.
    void adiciona(const std::string& caminho, const std::string& texto);
    // The same with the file's state as the save gave it, which spares reading it again.
    void adiciona(const std::string& caminho, const std::string& texto,
                  const std::optional<EstadoArquivo>& estado);

    // zipaXML for the run's ListaArquivos, every file of which was given to `adiciona`.
    [[nodiscard]] std::string conclui(const ListaDeArquivos& ListaArquivos, Operador& operador,
                                      const Relogio& relogio,
                                      const Cancelamento* cancelamento = nullptr);

  private:
    class Estado;

    const ParametrosExportacao parametros;
    std::unique_ptr<Estado> estado;
};

// Removes from the output folder the hidden archives of runs that died while packing (killed,
// the power gone, a second Ctrl-C): only plain files named as the packing names its archive
// while it writes it, nothing else. Called by the run holding the folder's lock (TravaPasta),
// before it begins its own: every such archive is written by a run holding the lock, so one
// found then is a dead run's. Each is told once to `log`, removed or not (and why not); a
// file that stays does no harm to the run, which goes on.
void removeArquivosIncompletos(const std::string& Caminho,
                               const std::function<void(const std::string&)>& log);

// "Concluído!", the success box, and the status cleared after it.
void avisaArquivoGerado(Operador& operador);

}  // namespace cds
