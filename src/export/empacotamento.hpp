#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "comum/cancelamento.hpp"
#include "comum/plataforma_arquivos.hpp"
#include "fichas/execucao.hpp"
#include "fichas/parametros.hpp"

namespace cds {

// The archive of a run: Caminho + separator + "FichasValmo_" + ddMMyyyy_HHmm of the moment
// `conclui` is called + "_" + DataInicial ddMMyyyy + "_" + DataFinal ddMMyyyy + ".zip". Nothing
// in the folder is replaced: when that name is taken (a run earlier in the same minute), the
// archive takes the first free one with "_2", "_3"… before ".zip". It is written under a hidden
// name beside it and takes its own name only once it is closed whole and on the disk; a failure
// removes it, so an archive under its name is always a whole one.
//
// Entries are deflated, named by the file's bare name and dated with its last-write time, in
// the order the files are given; past 65,535 entries the archive ends in the Zip64 records.
//
// The files are given as the run saves them and written by a thread of the packing's own
// meanwhile, so that the archive is whole soon after the last record. A path given again right
// after itself (a record's further rows rewrite its file) is one entry with the last text. A
// path given again after other files cannot go back to its place in an archive written front to
// back: the run's main queries keep a record's rows together, so it means a fault, and it fails
// the packing rather than leave the stale text in the archive.
//
// A failure raises ErroArquivo naming the file and the system's reason, as soon as the run
// gives the next file or at `conclui`, and leaves no archive. The operator's request to stop is
// checked before the archive takes its name and raises ErroInterrompido, leaving no archive
// either. The success is told by avisaArquivoGerado, once the run has committed.
class Empacotamento {
  public:
    // Creates the hidden archive in the output folder and starts the thread.
    Empacotamento(const ParametrosExportacao& parametros, const Relogio& relogio);
    // Without `conclui` (the run ended in an error), the thread stops and the hidden archive
    // goes.
    ~Empacotamento();
    Empacotamento(const Empacotamento&) = delete;
    Empacotamento& operator=(const Empacotamento&) = delete;

    // A file just saved at `caminho` with `texto` as its whole content and `estado` as the save
    // left it (its last-write time dates the entry). Waits while the thread is too far behind,
    // so memory stays bounded.
    void adiciona(const std::string& caminho, std::string texto,
                  const std::optional<EstadoArquivo>& estado);

    // Writes the last entries and the directory and puts the archive in place; returns its full
    // path, under the name it took.
    [[nodiscard]] std::string conclui(const Relogio& relogio,
                                      const Cancelamento* cancelamento = nullptr);

  private:
    class Escritor;

    const ParametrosExportacao parametros;
    std::unique_ptr<Escritor> escritor;
    // The last file given, held until a file of another path comes: a record's file goes to
    // the archive once the record is finished.
    std::string caminhoPendente;
    std::string textoPendente;
    std::int64_t gravacaoPendente = 0;
};

// The archive's name for a run at the moment `agora`, before "_2", "_3"… are looked for.
std::string nomeArquivoZip(const ParametrosExportacao& parametros, const DataHora& agora);

// The listed files as the disk holds them now, packed into the archive Empacotamento makes, in
// the list's order, a path listed twice packed once at its first place. Every listed file is
// packed: one that is gone or cannot be read fails the packing, since an archive without it
// would lack records the run marked as sent. The operator's request to stop is checked before
// each file too. The status says "Compactando Arquivo..." first.
[[nodiscard]] std::string zipaXML(const ParametrosExportacao& parametros,
                                  const std::vector<std::string>& ListaArquivos, Operador& operador,
                                  const Relogio& relogio,
                                  const Cancelamento* cancelamento = nullptr);

// Removes from the output folder the hidden archives and reports of runs that died (killed,
// the power gone, a second Ctrl-C): only plain files named as the packing and the report name
// theirs while they write them, nothing else. Called by the run holding the folder's lock
// (TravaPasta), before it begins its own: every such archive is written by a run holding the lock,
// so one found then is a dead run's. Each is told once to `log`, removed or not (and why not); a
// file that stays does no harm to the run, which goes on.
void removeArquivosIncompletos(const std::string& Caminho,
                               const std::function<void(const std::string&)>& log);

// "Concluído!", the success box, and the status cleared after it.
void avisaArquivoGerado(Operador& operador);

}  // namespace cds
