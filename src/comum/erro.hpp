#pragma once

#include <exception>
#include <string>
#include <system_error>
#include <utility>

namespace cds {

// The errors that end a run. Each carries the message the operator sees; front ends catch
// them, nothing below does. A layer that knows where it happened (the record kind and number)
// puts that in front of the message and rethrows the same error, so its kind is kept.
class Erro : public std::exception {
  public:
    explicit Erro(std::string mensagem) : texto(std::move(mensagem)) {}
    const char* what() const noexcept override { return texto.c_str(); }
    void acrescentaContexto(const std::string& onde) { texto = onde + ": " + texto; }
    // A sentence after the message, which is ended first: what the operator has besides the
    // error.
    void acrescentaNota(const std::string& nota) {
        if (!texto.empty() && !texto.ends_with('.') && !texto.ends_with('!')) texto += '.';
        texto += " " + nota;
    }
    // Puts the record the error belongs to in front of the message, once: the code that named
    // it first knew which record it was working for, better than a loop around it.
    void nomeiaRegistro(const std::string& registro) {
        if (registroNomeado) return;
        acrescentaContexto(registro);
        registroNomeado = true;
    }

  private:
    std::string texto;
    bool registroNomeado = false;
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

// The connection to the database was lost while the run used it (the server went down, the
// network fell, an administrator ended the connection). No record is at fault, so none is named.
class ErroConexaoPerdida : public ErroBanco {
  public:
    using ErroBanco::ErroBanco;
};

// A file or folder that cannot be created, written or read.
class ErroArquivo : public Erro {
  public:
    using Erro::Erro;
};

// An input of the run that is refused before anything is written or connected: a value typed
// in a box of the window or given to an option of the command line. `opcao` is the option that
// takes it ("--unidade"); the message names the value and says what is expected.
class ErroParametro : public Erro {
  public:
    ErroParametro(std::string opcao, std::string mensagem)
        : Erro(std::move(mensagem)), nomeOpcao(std::move(opcao)) {}
    const std::string& opcao() const { return nomeOpcao; }

  private:
    std::string nomeOpcao;
};

// The operator asked the run to stop (Ctrl-C, SIGTERM): the database call under way was
// cancelled and the run's work undone.
class ErroInterrompido : public Erro {
  public:
    ErroInterrompido() : Erro("Exportação interrompida pelo operador.") {}
};

// Why a call of the system failed, from its errno, in the operator's words, with the system's
// own text after "Detalhe:": "o disco está cheio. Detalhe: No space left on device".
std::string motivoDoSistema(int erro);
// The same from a std::error_code of the filesystem library or the platform files.
std::string motivoDoSistema(const std::error_code& erro);
// "<texto>: <motivoDoSistema>." for a failed call, "<texto>." when the system gave no reason.
std::string mensagemComMotivo(const std::string& texto, const std::error_code& erro);

}  // namespace cds
