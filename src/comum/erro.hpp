#pragma once

#include <stdexcept>
#include <string>

namespace cds {

// The errors that end a run. Each carries the message the operator sees; front ends catch
// them, nothing below does. `comContexto` lets a layer add where it happened (record kind,
// record number) on the way up without losing the original text.
class Erro : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A value that cannot be read as the number or date it must be.
class ErroConversao : public Erro {
  public:
    using Erro::Erro;
};

// Anything the Firebird server or client library reports; the message is the server's text.
class ErroBanco : public Erro {
  public:
    using Erro::Erro;
};

// A file or folder that cannot be created, written or read.
class ErroArquivo : public Erro {
  public:
    using Erro::Erro;
};

}  // namespace cds
