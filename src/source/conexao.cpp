#include "source/conexao.hpp"

#include <cstdlib>
#include <optional>

#include "comum/cp1252.hpp"
#include "comum/erro.hpp"
#include "source/firebird.hpp"

namespace cds {

using firebird::protegido;
using firebird::status;

namespace {

// Lock conflicts wait this long, then the server's message ends the run instead of a hang.
constexpr int kEsperaBloqueioSegundos = 5;

std::string variavelOu(const char* nome, const char* padrao) {
    const char* valor = std::getenv(nome);
    return valor && *valor ? valor : padrao;
}

}  // namespace

Conexao::Conexao() : mestre(firebird::mestre()) {}

Conexao::~Conexao() {
    try {
        fecha();
    } catch (const ErroBanco&) {
        // The attachment is gone or the server is unreachable: the server rolls back an
        // abandoned transaction by itself, and a destructor cannot report.
    }
}

Firebird::IAttachment* Conexao::anexo() const {
    if (!attachment) throw ErroBanco("A conexão com o banco de dados não está aberta.");
    return attachment;
}

Firebird::ITransaction* Conexao::transacaoAtiva() const {
    if (!transacao) throw ErroBanco("Não há transação ativa no banco de dados.");
    return transacao;
}

Firebird::IUtil* Conexao::util() const {
    return firebird::util();
}

void Conexao::abre(const std::string& caminho) {
    fecha();
    protegido([&] {
        auto& st = status();
        Firebird::IXpbBuilder* dpb =
            firebird::util()->getXpbBuilder(&st, Firebird::IXpbBuilder::DPB, nullptr, 0);
        dpb->insertString(&st, isc_dpb_user_name, variavelOu("ISC_USER", "SYSDBA").c_str());
        dpb->insertString(&st, isc_dpb_password, variavelOu("ISC_PASSWORD", "masterkey").c_str());
        dpb->insertString(&st, isc_dpb_lc_ctype, "WIN1252");
        if (!provedor) provedor = mestre->getDispatcher();
        try {
            ++geracaoAnexo;
            attachment = provedor->attachDatabase(&st, utf8ParaCp1252(caminho).c_str(),
                                                  dpb->getBufferLength(&st), dpb->getBuffer(&st));
        } catch (...) {
            dpb->dispose();
            throw;
        }
        dpb->dispose();
    });
}

void Conexao::fecha() {
    // Each step runs even when the one before failed, so no handle is left behind; the
    // first failure is reported.
    std::optional<ErroBanco> falha;
    if (transacao) {
        try {
            rollback();
        } catch (const ErroBanco& e) {
            falha = e;
        }
    }
    if (attachment) {
        Firebird::IAttachment* a = attachment;
        attachment = nullptr;
        try {
            a->detach(&status());
        } catch (const Firebird::FbException& e) {
            a->release();
            try {
                firebird::lancaErroBanco(e);
            } catch (const ErroBanco& erro) {
                if (!falha) falha = erro;
            }
        }
    }
    if (provedor) {
        provedor->release();
        provedor = nullptr;
    }
    if (falha) throw *falha;
}

void Conexao::iniciaTransacao() {
    if (transacao) throw ErroBanco("Já existe uma transação ativa.");
    protegido([&] {
        auto& st = status();
        Firebird::IXpbBuilder* tpb =
            firebird::util()->getXpbBuilder(&st, Firebird::IXpbBuilder::TPB, nullptr, 0);
        tpb->insertTag(&st, isc_tpb_concurrency);
        tpb->insertTag(&st, isc_tpb_write);
        tpb->insertTag(&st, isc_tpb_wait);
        tpb->insertInt(&st, isc_tpb_lock_timeout, kEsperaBloqueioSegundos);
        try {
            transacao =
                anexo()->startTransaction(&st, tpb->getBufferLength(&st), tpb->getBuffer(&st));
        } catch (...) {
            tpb->dispose();
            throw;
        }
        tpb->dispose();
    });
}

void Conexao::commit() {
    protegido([&] {
        transacaoAtiva()->commit(&status());
        transacao = nullptr;
    });
}

void Conexao::commitRetaining() {
    protegido([&] { transacaoAtiva()->commitRetaining(&status()); });
}

void Conexao::rollback() {
    Firebird::ITransaction* t = transacaoAtiva();
    transacao = nullptr;
    try {
        t->rollback(&status());
    } catch (const Firebird::FbException& e) {
        // The handle is ours to release either way; the server undoes the work of a
        // transaction whose attachment goes away.
        t->release();
        firebird::lancaErroBanco(e);
    }
}

}  // namespace cds
