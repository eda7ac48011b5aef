#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

namespace Firebird {
class IAttachment;
class IProvider;
class ITransaction;
}  // namespace Firebird

#include "comum/cancelamento.hpp"
#include "comum/erro.hpp"

namespace cds {

class Vigia;

// How a connection is made.
struct OpcoesConexao {
    // How long the server has to answer before the attempt gives up; a server that accepts
    // the network connection and never answers would hold the run for good.
    std::chrono::seconds espera{15};
    // How long a call, once connected, may go without an answer before the connection is
    // closed on this side and the call fails with ErroSemResposta (see Vigia). Long enough for
    // a busy server's first row of a large sorted query.
    std::chrono::seconds semResposta{60};
    // Where the operator's request to stop reaches the connection; none when nobody can stop
    // the run (a test, the window).
    Cancelamento* cancelamento = nullptr;
    // Text travels as UTF-8 instead of Windows-1252: to look at a text the run's connection
    // could not read (ErroTextoSemWin1252).
    bool textoEmUtf8 = false;
};

// A call the server did not answer within OpcoesConexao::semResposta: the connection was
// closed on this side, and the server undoes the work of its transactions once it sees that.
class ErroSemResposta : public ErroConexaoPerdida {
  public:
    using ErroConexaoPerdida::ErroConexaoPerdida;
};

// The one connection of a run to the clinic's database.
//
// `caminho` is what the settings file holds: a plain file path opens the file with the
// embedded engine; "host:path" or "host/port:path" goes to a server. User and password come
// from ISC_USER and ISC_PASSWORD when set, else SYSDBA/masterkey; text travels as WIN1252.
class Conexao {
  public:
    Conexao();
    ~Conexao();
    Conexao(const Conexao&) = delete;
    Conexao& operator=(const Conexao&) = delete;

    // Raises ErroBanco saying the connection could not be made, where to and why; ErroInterrompido
    // when the cancellation of `opcoes` was asked for before the connection was made.
    void abre(const std::string& caminho, const OpcoesConexao& opcoes = {});
    // Detaches. A transaction of this connection should have ended before (its destructor
    // rolls it back); one still active is rolled back here first.
    void fecha();
    bool aberta() const;

    // Cancels the database call under way on this connection, from any thread: it fails with
    // ErroBanco ("a operação foi cancelada"), and the connection and its transactions stay
    // usable. Nothing is cancelled when no call is under way, or while a commit, a rollback or
    // the detach runs, which are let finish. From then on, a call that does not end within
    // Vigia::kGraca (a server that does not answer) closes the connection (ErroConexaoPerdida);
    // a commit only at OpcoesConexao::semResposta.
    void cancela();

    // Where and how it was opened.
    const std::string& caminho() const;
    const OpcoesConexao& opcoes() const;

    // For the transactions and statements of this connection.
    Firebird::IAttachment* anexo() const;
    Vigia& vigia() const;

  private:
    friend class Transacao;
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// The run's read-write transaction on a connection: a snapshot, whose lock conflicts wait a
// few seconds and then raise the server's message.
//
// Only an explicit commit makes its writes durable: a transaction still active when this
// object goes (an error on the way) is rolled back.
class Transacao {
  public:
    explicit Transacao(Conexao& conexao);
    ~Transacao();
    Transacao(const Transacao&) = delete;
    Transacao& operator=(const Transacao&) = delete;

    void commit();
    // Makes the work durable and keeps the same transaction (and its snapshot) going.
    void commitRetaining();
    void rollback();
    bool ativa() const;

    Conexao& conexao() const { return con; }
    // For the statements of this transaction.
    Firebird::ITransaction* handle() const;

  private:
    friend class Conexao;
    struct Impl;
    // The connection's lock against cancelling, while a commit or a rollback runs.
    std::unique_lock<std::mutex> semCancelar() const;
    Conexao& con;
    std::unique_ptr<Impl> impl;
};

}  // namespace cds
