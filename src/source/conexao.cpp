#include "source/conexao.hpp"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <vector>

#include "comum/cp1252.hpp"
#include "comum/erro.hpp"
#include "source/firebird.hpp"
#include "source/vigia.hpp"

namespace cds {

using firebird::Posse;
using firebird::protegido;
using firebird::status;
using firebird::vigiado;

namespace {

// Lock conflicts wait this long, then the server's message ends the run instead of a hang.
constexpr int kEsperaBloqueioSegundos = 5;

std::string variavelOu(const char* nome, const char* padrao) {
    const char* valor = std::getenv(nome);
    return valor && *valor ? valor : padrao;
}

// Runs `passo` and keeps its failure, unless an earlier one is kept already: closing goes
// through every step, and the first failure is the one reported.
template <typename F>
void guardaFalha(std::optional<ErroBanco>& falha, F&& passo) {
    try {
        std::forward<F>(passo)();
    } catch (const ErroBanco& e) {
        if (!falha) falha = e;
    }
}

}  // namespace

struct Conexao::Impl {
    Posse<Firebird::IProvider> provedor;
    Posse<Firebird::IAttachment> anexo;
    // The transactions alive on this connection, so that closing it ends them first.
    std::vector<Transacao*> transacoes;
    // Held while the attachment changes hands and while a call runs that is let finish
    // (commit, rollback, detach); cancela() only tries it, so a request to stop never waits.
    std::mutex semCancelar;
    // The cancellation this connection answers to, if any.
    Cancelamento* cancelamento = nullptr;
    std::string caminho;
    OpcoesConexao opcoes;
    // Watches the calls from the connection made to its end.
    Vigia vigia;

    // This connection no longer answers to its cancellation.
    void solta() {
        if (cancelamento) cancelamento->solta();
        cancelamento = nullptr;
    }
};

struct Transacao::Impl {
    Posse<Firebird::ITransaction> transacao;
    // None once the connection object is gone before this transaction object.
    Conexao* dono = nullptr;
};

Conexao::Conexao() : impl(std::make_unique<Impl>()) {}

Conexao::~Conexao() {
    impl->solta();
    try {
        fecha();
    } catch (const ErroBanco&) {
        // The server is unreachable or the attachment is already gone: the server rolls back
        // what was left, the handles are released all the same, and a destructor cannot
        // report.
    }
    for (Transacao* t : impl->transacoes) t->impl->dono = nullptr;
}

bool Conexao::aberta() const {
    return static_cast<bool>(impl->anexo);
}

Firebird::IAttachment* Conexao::anexo() const {
    if (!impl->anexo) throw ErroBanco("A conexão com o banco de dados não está aberta.");
    return impl->anexo.get();
}

Vigia& Conexao::vigia() const {
    return impl->vigia;
}

const std::string& Conexao::caminho() const {
    return impl->caminho;
}

const OpcoesConexao& Conexao::opcoes() const {
    return impl->opcoes;
}

void Conexao::abre(const std::string& caminho, const OpcoesConexao& opcoes) {
    fecha();
    impl->solta();
    Cancelamento* const cancelamento = opcoes.cancelamento;
    if (cancelamento) {
        cancelamento->conectando();
        impl->cancelamento = cancelamento;
    }
    // A connection not made answers to nothing.
    struct Tentativa {
        Impl& impl;
        bool feita = false;
        ~Tentativa() {
            if (!feita) impl.solta();
        }
    } tentativa{*impl};
    Posse<Firebird::IAttachment> anexo;
    protegido(
        "Não foi possível conectar ao banco de dados em " + caminho,
        [&] {
            auto bloco = firebird::novoBloco(Firebird::IXpbBuilder::DPB);
            auto& st = status();
            bloco->insertString(&st, isc_dpb_user_name, variavelOu("ISC_USER", "SYSDBA").c_str());
            bloco->insertString(&st, isc_dpb_password,
                                variavelOu("ISC_PASSWORD", "masterkey").c_str());
            bloco->insertString(&st, isc_dpb_lc_ctype, opcoes.textoEmUtf8 ? "UTF8" : "WIN1252");
            bloco->insertInt(&st, isc_dpb_connect_timeout, static_cast<int>(opcoes.espera.count()));
            if (!impl->provedor) impl->provedor = Posse(firebird::mestre()->getDispatcher());
            const std::string nome = opcoes.textoEmUtf8 ? caminho : utf8ParaCp1252(caminho);
            anexo = Posse(impl->provedor->attachDatabase(
                &st, nome.c_str(), bloco->getBufferLength(&st), bloco->getBuffer(&st)));
        },
        firebird::Momento::Conectando);
    tentativa.feita = true;
    impl->caminho = caminho;
    impl->opcoes = opcoes;
    impl->vigia.inicia(anexo.get(), opcoes.semResposta);
    {
        const std::lock_guard trava(impl->semCancelar);
        impl->anexo = std::move(anexo);
    }
    if (cancelamento) {
        cancelamento->conectada([this] { cancela(); });
        // Asked for while the server was being reached: the caller closes the connection.
        cancelamento->verifica();
    }
}

void Conexao::fecha() {
    std::optional<ErroBanco> falha;
    for (Transacao* t : impl->transacoes)
        if (t->ativa()) guardaFalha(falha, [&] { t->rollback(); });
    if (impl->anexo) {
        const std::lock_guard trava(impl->semCancelar);
        Posse<Firebird::IAttachment> anexo = std::move(impl->anexo);
        guardaFalha(falha, [&] {
            vigiado(impl->vigia, "Não foi possível encerrar a conexão com o banco de dados",
                    [&] { anexo.encerra([](auto* a) { a->detach(&status()); }); });
        });
    }
    impl->vigia.para();
    if (falha) throw *falha;
}

void Conexao::cancela() {
    // A call the cancel below cannot stop (a server that does not answer) is closed shortly.
    impl->vigia.pedeCancelamento();
    std::unique_lock trava(impl->semCancelar, std::try_to_lock);
    if (!trava || !impl->anexo) return;
    try {
        impl->anexo->cancelOperation(&status(), fb_cancel_raise);
    } catch (const Firebird::FbException&) {
        // No call was under way ("nothing to cancel"), or the connection is gone: there is
        // nothing to stop here, and the run stops at its next check of the request.
    }
}

Transacao::Transacao(Conexao& conexao) : con(conexao), impl(std::make_unique<Impl>()) {
    vigiado(con.vigia(), "Não foi possível iniciar a transação no banco de dados", [&] {
        auto bloco = firebird::novoBloco(Firebird::IXpbBuilder::TPB);
        auto& st = status();
        bloco->insertTag(&st, isc_tpb_concurrency);
        bloco->insertTag(&st, isc_tpb_write);
        bloco->insertTag(&st, isc_tpb_wait);
        bloco->insertInt(&st, isc_tpb_lock_timeout, kEsperaBloqueioSegundos);
        impl->transacao = Posse(
            con.anexo()->startTransaction(&st, bloco->getBufferLength(&st), bloco->getBuffer(&st)));
    });
    con.impl->transacoes.push_back(this);
    impl->dono = &con;
}

Transacao::~Transacao() {
    if (ativa()) {
        try {
            rollback();
        } catch (const ErroBanco&) {
            // The attachment is gone: the server undoes the work of an abandoned transaction,
            // the handle was released, and a destructor cannot report.
        }
    }
    if (impl->dono) std::erase(impl->dono->impl->transacoes, this);
}

bool Transacao::ativa() const {
    return static_cast<bool>(impl->transacao);
}

Firebird::ITransaction* Transacao::handle() const {
    if (!impl->transacao) throw ErroBanco("Não há transação ativa no banco de dados.");
    return impl->transacao.get();
}

std::unique_lock<std::mutex> Transacao::semCancelar() const {
    if (!impl->dono) return {};
    return std::unique_lock(impl->dono->impl->semCancelar);
}

void Transacao::commit() {
    handle();
    const auto trava = semCancelar();
    // A commit that fails leaves the transaction going, to be rolled back.
    vigiado(
        con.vigia(), "Não foi possível confirmar o trabalho no banco de dados",
        [&] { impl->transacao.encerra([](auto* t) { t->commit(&status()); }); }, true);
}

void Transacao::commitRetaining() {
    Firebird::ITransaction* t = handle();
    const auto trava = semCancelar();
    vigiado(
        con.vigia(), "Não foi possível confirmar o trabalho no banco de dados",
        [&] { t->commitRetaining(&status()); }, true);
}

void Transacao::rollback() {
    handle();
    // Not cancelled: it is what a cancelled run needs done.
    const auto trava = semCancelar();
    // Over even when the server does not answer: the handle goes with `fim`.
    Posse<Firebird::ITransaction> fim = std::move(impl->transacao);
    vigiado(con.vigia(), "Não foi possível desfazer o trabalho no banco de dados",
            [&] { fim.encerra([](auto* t) { t->rollback(&status()); }); });
}

}  // namespace cds
