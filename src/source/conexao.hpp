#pragma once

#include <string>

namespace Firebird {
class IMaster;
class IUtil;
class IAttachment;
class ITransaction;
class IProvider;
}  // namespace Firebird

namespace cds {

// The one connection of a run to the clinic's database, with its one read-write transaction.
//
// `caminho` is what the settings file holds: a plain file path opens the file with the
// embedded engine; "host:path" or "host/port:path" goes to a server. User and password come
// from ISC_USER and ISC_PASSWORD when set, else SYSDBA/masterkey; text travels as WIN1252.
//
// The transaction is a snapshot; a lock conflict waits a few seconds and then raises the
// server's message. A transaction still active when the connection is closed or destroyed is
// rolled back: only an explicit commit makes a run's writes durable.
class Conexao {
  public:
    Conexao();
    ~Conexao();
    Conexao(const Conexao&) = delete;
    Conexao& operator=(const Conexao&) = delete;

    void abre(const std::string& caminho);
    void fecha();
    bool aberta() const { return attachment != nullptr; }
    // Changes at every open, so that statements prepared on an earlier attachment are known
    // as stale.
    unsigned long geracao() const { return geracaoAnexo; }

    void iniciaTransacao();
    bool emTransacao() const { return transacao != nullptr; }
    void commit();
    // Makes the work durable and keeps the same transaction (and its snapshot) going.
    void commitRetaining();
    void rollback();

    // For the query objects of this connection.
    Firebird::IAttachment* anexo() const;
    Firebird::ITransaction* transacaoAtiva() const;
    Firebird::IMaster* master() const { return mestre; }
    Firebird::IUtil* util() const;

  private:
    Firebird::IMaster* mestre;
    Firebird::IProvider* provedor = nullptr;
    Firebird::IAttachment* attachment = nullptr;
    Firebird::ITransaction* transacao = nullptr;
    unsigned long geracaoAnexo = 0;
};

}  // namespace cds
