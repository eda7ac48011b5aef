#pragma once

#include <string>

namespace cds {

// The lock file a run keeps in its output folder; hidden, and gone when the run ends.
inline constexpr char kNomeArquivoTrava[] = ".exportador-cds.trava";

// The output folder held by one run: a second run on the same folder, from this program or
// another process, would empty arquivosXML under the first one's packing. The hold is the
// operating system's lock on a file in the folder, so a run that crashes lets go with it.
class TravaPasta {
  public:
    // Raises ErroArquivo when another run holds the folder, or the folder cannot be locked
    // (it does not exist, say).
    explicit TravaPasta(const std::string& Caminho);
    ~TravaPasta();
    TravaPasta(const TravaPasta&) = delete;
    TravaPasta& operator=(const TravaPasta&) = delete;

  private:
    std::string arquivo;
    int descritor = -1;
};

}  // namespace cds
