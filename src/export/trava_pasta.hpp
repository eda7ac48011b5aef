#pragma once

#include <string>

#include "comum/erro.hpp"
#include "comum/plataforma_trava.hpp"

namespace cds {

// The lock file a run keeps in its output folder; hidden, and gone when the run ends (on
// Windows it stays, unlocked: see TravaDeArquivo).
inline constexpr char kNomeArquivoTrava[] = ".exportador-cds.trava";

// Another run holds the output folder: nothing was done, and the run may be tried again later.
class ErroPastaOcupada : public ErroArquivo {
  public:
    using ErroArquivo::ErroArquivo;
};

// The output folder held by one run: a second run on the same folder, from this program or
// another process, would empty arquivosXML under the first one's packing. The hold is the
// operating system's lock on a file in the folder, so a run that crashes lets go with it.
class TravaPasta {
  public:
    // Raises ErroPastaOcupada when another run holds the folder, ErroArquivo when the folder cannot
    // be locked (it does not exist, say).
    explicit TravaPasta(const std::string& Caminho);

  private:
    TravaDeArquivo trava;
};

}  // namespace cds
