#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

#include "source/consulta.hpp"

namespace cds {

// Rows put aside in a temporary file of their own, to be read again in the order they were
// put: a long result read twice costs disk, not memory, and not a second run of its statement.
// The file goes with the object, or with the process should it end first.
class LinhasGuardadas {
  public:
    // None when no temporary file can be made; the caller then runs its statement again.
    static std::unique_ptr<LinhasGuardadas> cria();
    ~LinhasGuardadas();
    LinhasGuardadas(const LinhasGuardadas&) = delete;
    LinhasGuardadas& operator=(const LinhasGuardadas&) = delete;

    // Puts the row after those put before; the rows all come from one statement. False when
    // the file takes no more (a full disk): the rows put aside are then of no use.
    bool guarda(const Linha& linha);
    std::size_t quantas() const { return total; }

    // Starts the reading at the first row.
    void voltaAoInicio();
    // The next row, none after the last; it is overwritten by the next call. A file that
    // cannot be read back raises ErroArquivo.
    const Linha* proxima();

  private:
    explicit LinhasGuardadas(std::FILE* arquivo);

    std::FILE* arquivo;
    std::size_t total = 0;
    std::size_t lidas = 0;
    // The row being read, with the columns of the first row put.
    Linha atual;
};

}  // namespace cds
