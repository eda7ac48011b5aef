#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "source/consulta.hpp"

namespace cds {

// Rows put aside in a temporary file of their own, to be read again in the order they were
// put: a long result read twice costs disk, not memory, and not a second run of its statement.
// The file is in the system's temporary folder (TMPDIR, or TEMP on Windows) and has no name
// there from the start: it goes with the object, or with the process should it end first.
class LinhasGuardadas {
  public:
    // A file that cannot be made raises ErroArquivo naming the folder and the system's reason.
    static std::unique_ptr<LinhasGuardadas> cria();
    ~LinhasGuardadas();
    LinhasGuardadas(const LinhasGuardadas&) = delete;
    LinhasGuardadas& operator=(const LinhasGuardadas&) = delete;

    // Puts the row after those put before; the rows all come from one statement. A file that
    // takes no more (a full disk) raises ErroArquivo with the system's reason.
    void guarda(const Linha& linha);
    std::size_t quantas() const { return total; }

    // Starts the reading at the first row.
    void voltaAoInicio();
    // The next row, none after the last; it is overwritten by the next call. A file that
    // cannot be read back raises ErroArquivo.
    const Linha* proxima();

  private:
    LinhasGuardadas(std::FILE* arquivo, std::filesystem::path pasta);
    [[noreturn]] void falhou(const char* oQue) const;

    std::FILE* arquivo;
    std::filesystem::path pasta;
    std::size_t total = 0;
    std::size_t lidas = 0;
    // The row being read, with the columns of the first row put.
    Linha atual;
};

}  // namespace cds
