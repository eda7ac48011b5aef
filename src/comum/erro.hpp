#pragma once

#include <exception>
#include <string>

namespace cds {

// The errors that end a run. Each carries the message the operator sees; front ends catch
// them, nothing below does. A layer that knows where it happened (the record kind and number)
// puts that in front of the message and rethrows the same error, so its kind is kept.
class Erro : public std::exception {
  public:
    explicit Erro(std::string mensagem) : texto(std::move(mensagem)) {}
    const char* what() const noexcept override { return texto.c_str(); }
    void acrescentaContexto(const std::string& onde) { texto = onde + ": " + texto; }

  private:
    std::string texto;
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
