#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "comum/erro.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/servidor_mudo.hpp"

namespace cds {
namespace {

using teste::BancoTeste;

// Counted from a connection of its own, which sees what was committed.
std::int64_t contaLinhas(const std::string& caminho) {
    Conexao c;
    c.abre(caminho);
    Transacao t(c);
    return Consulta(t, "SELECT COUNT(*) N FROM T").abre().at(0).inteiro("N");
}

void insere(Transacao& t, int id) {
    Consulta q(t, "INSERT INTO T VALUES (:id)");
    q.parametro("id", id);
    q.executa();
}

class ConexaoTest : public ::testing::Test {
  protected:
    void SetUp() override { banco.executa("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY)"); }
    BancoTeste banco;
};

TEST_F(ConexaoTest, TransacaoAtivaDesfeitaNaDestruicao) {
    Conexao c;
    c.abre(banco.caminho());
    {
        Transacao t(c);
        insere(t, 1);
    }
    // The connection is still open: the row and its lock went with the transaction object.
    // Were the transaction left going, this insert of the same key would wait and fail.
    Conexao outra;
    outra.abre(banco.caminho());
    Transacao t(outra);
    insere(t, 1);
    t.commit();
    EXPECT_EQ(contaLinhas(banco.caminho()), 1);
}

TEST_F(ConexaoTest, CommitCommitRetainingERollback) {
    Conexao c;
    c.abre(banco.caminho());
    {
        Transacao t(c);
        EXPECT_TRUE(t.ativa());
        EXPECT_EQ(&t.conexao(), &c);
        insere(t, 1);
        t.commitRetaining();
        EXPECT_TRUE(t.ativa());
        EXPECT_EQ(contaLinhas(banco.caminho()), 1);
        insere(t, 2);
        t.rollback();
        EXPECT_FALSE(t.ativa());
        EXPECT_EQ(contaLinhas(banco.caminho()), 1);
        // Once ended, a transaction takes no more work.
        EXPECT_THROW(t.handle(), ErroBanco);
        EXPECT_THROW(insere(t, 3), ErroBanco);
        EXPECT_THROW(t.commit(), ErroBanco);
        EXPECT_THROW(t.rollback(), ErroBanco);
        EXPECT_THROW(t.commitRetaining(), ErroBanco);
    }
    Transacao t(c);
    insere(t, 3);
    t.commit();
    EXPECT_FALSE(t.ativa());
    EXPECT_EQ(contaLinhas(banco.caminho()), 2);
}

TEST_F(ConexaoTest, StatementSobreviveAoCommitRetaining) {
    Conexao c;
    c.abre(banco.caminho());
    Transacao t(c);
    Consulta q(t, "INSERT INTO T VALUES (:id)");
    for (int id = 1; id <= 3; ++id) {
        q.parametro("id", id);
        q.executa();
        t.commitRetaining();
        EXPECT_EQ(contaLinhas(banco.caminho()), id);
    }
}

TEST_F(ConexaoTest, FechaDesfazTransacaoAindaAtiva) {
    auto c = std::make_unique<Conexao>();
    c->abre(banco.caminho());
    auto t = std::make_unique<Transacao>(*c);
    insere(*t, 1);
    c->fecha();
    EXPECT_FALSE(c->aberta());
    EXPECT_FALSE(t->ativa());
    EXPECT_THROW(c->anexo(), ErroBanco);
    EXPECT_EQ(contaLinhas(banco.caminho()), 0);

    // Opened again, the same object works; closing with no transaction alive just detaches.
    c->abre(banco.caminho());
    {
        Transacao segunda(*c);
        insere(segunda, 2);
        segunda.commit();
    }
    c->fecha();
    c->fecha();
    EXPECT_EQ(contaLinhas(banco.caminho()), 1);

    // A transaction object that outlives its connection object ends quietly.
    c->abre(banco.caminho());
    auto ultima = std::make_unique<Transacao>(*c);
    insere(*ultima, 3);
    c.reset();
    EXPECT_FALSE(ultima->ativa());
    ultima.reset();
    t.reset();
    EXPECT_EQ(contaLinhas(banco.caminho()), 1);
}

TEST_F(ConexaoTest, AbreDeNovoTrocaDeBanco) {
    BancoTeste segundo;
    segundo.executa("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY)");
    segundo.executa("INSERT INTO T VALUES (7)");
    Conexao c;
    c.abre(banco.caminho());
    c.abre(segundo.caminho());
    EXPECT_TRUE(c.aberta());
    Transacao t(c);
    EXPECT_EQ(Consulta(t, "SELECT MAX(ID) M FROM T").abre().at(0).inteiro("M"), 7);
}

TEST_F(ConexaoTest, ConflitoDeBloqueioNaoTrava) {
    banco.executa("INSERT INTO T VALUES (1)");
    Conexao a, b;
    a.abre(banco.caminho());
    b.abre(banco.caminho());
    Transacao ta(a), tb(b);
    Consulta(ta, "UPDATE T SET ID = 2").executa();
    Consulta atualiza(tb, "UPDATE T SET ID = 3");
    try {
        atualiza.executa();
        FAIL() << "esperava um conflito de bloqueio";
    } catch (const ErroBanco& e) {
        EXPECT_NE(std::string(e.what()).find("conflict"), std::string::npos) << e.what();
    }
}

TEST(Conexao, FalhaTrazAMensagemDoServidor) {
    BancoTeste referencia;  // where the server is, when the tests go through one
    std::string caminho = referencia.caminho();
    caminho.replace(caminho.rfind("teste.fdb"), 9, "nao-existe.fdb");
    Conexao c;
    try {
        c.abre(caminho);
        FAIL() << "esperava falha ao abrir";
    } catch (const ErroBanco& e) {
        EXPECT_NE(std::string(e.what()).find("nao-existe.fdb"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(c.aberta());
    EXPECT_THROW(c.anexo(), ErroBanco);
    EXPECT_THROW(Transacao{c}, ErroBanco);
}

// The password only counts when a server checks it; the embedded engine takes anyone.
TEST(Conexao, UsuarioESenhaDoAmbiente) {
    const char* servidor = std::getenv("EXPORTADOR_TESTE_SERVIDOR");
    if (!servidor || !*servidor) GTEST_SKIP() << "sem servidor";
    BancoTeste banco;
    const char* antes = std::getenv("ISC_PASSWORD");
    const std::optional<std::string> senhaAntes =
        antes ? std::optional<std::string>(antes) : std::nullopt;
    ::setenv("ISC_PASSWORD", "senha-errada", 1);
    Conexao c;
    EXPECT_THROW(c.abre(banco.caminho()), ErroBanco);
    // An empty variable is as good as none: the default password goes.
    ::setenv("ISC_PASSWORD", "", 1);
    EXPECT_NO_THROW(c.abre(banco.caminho()));
    if (senhaAntes)
        ::setenv("ISC_PASSWORD", senhaAntes->c_str(), 1);
    else
        ::unsetenv("ISC_PASSWORD");
}

// A server that takes the connection and never answers: the attempt gives up once its time is
// up, and says so, instead of holding the run for good.
TEST(Conexao, ServidorQueNaoRespondeDesisteNoTempoDeEspera) {
    teste::ServidorMudo mudo;
    Conexao c;
    OpcoesConexao opcoes;
    opcoes.espera = std::chrono::seconds{1};
    try {
        c.abre(mudo.banco(), opcoes);
        FAIL() << "conectou a um servidor que não responde";
    } catch (const ErroBanco& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Não foi possível conectar ao banco de dados em " +
                                                  mudo.banco() +
                                                  ": o servidor não respondeu a tempo ou recusou a "
                                                  "conexão. Detalhe: ",
                                              0),
                  0u)
            << e.what();
    }
    EXPECT_FALSE(c.aberta());
}

// Waits, on a connection of its own, until a statement of another connection starting with
// `inicio` runs on the server. A cancel sent while a call's request is still on its way to a
// server may be left queued behind it and never read; once the statement runs, it is read.
void esperaEmExecucao(const std::string& caminho, const std::string& inicio) {
    Conexao monitor;
    monitor.abre(caminho);
    for (;;) {
        Transacao t(monitor);
        Consulta q(
            t,
            "SELECT COUNT(*) N FROM MON$STATEMENTS WHERE MON$STATE = 1 AND "
            "MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$SQL_TEXT STARTING WITH :inicio");
        q.parametro("inicio", inicio);
        if (q.abre().at(0).inteiro("N") > 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// A statement that would run for good, cancelled from another thread as the command line's
// signal thread does: it fails saying so, and the connection and its transaction go on.
TEST_F(ConexaoTest, ConsultaEmCursoCanceladaDeOutraThread) {
    Conexao c;
    c.abre(banco.caminho());
    Transacao t(c);
    const std::string semFim =
        "EXECUTE BLOCK AS DECLARE N BIGINT = 0; BEGIN WHILE (N >= 0) DO N = N + 1; END";
    Consulta consulta(t, semFim);
    std::atomic<bool> terminou = false;
    std::thread cancelador([&] {
        esperaEmExecucao(banco.caminho(), "EXECUTE BLOCK");
        while (!terminou) {
            c.cancela();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    std::string mensagem;
    try {
        consulta.executa();
    } catch (const ErroBanco& e) {
        mensagem = e.what();
    }
    terminou = true;
    cancelador.join();

    EXPECT_EQ(mensagem.rfind("A consulta ao banco de dados falhou: a operação foi cancelada. "
                             "Detalhe: ",
                             0),
              0u)
        << mensagem;
    insere(t, 1);
    t.commit();
    EXPECT_EQ(contaLinhas(banco.caminho()), 1);
    // With no call under way there is nothing to cancel, and nothing changes.
    c.cancela();
    Transacao outra(c);
    EXPECT_EQ(Consulta(outra, "SELECT COUNT(*) N FROM T").abre().at(0).inteiro("N"), 1);
}

// The connection ended from the server's side, as when the server stops or an administrator
// ends it: the error says the connection was lost, whatever the call was.
TEST_F(ConexaoTest, ConexaoPerdidaDizQueFoiPerdida) {
    Conexao c;
    c.abre(banco.caminho());
    Transacao t(c);
    const std::int64_t id =
        Consulta(t, "SELECT CURRENT_CONNECTION ID FROM RDB$DATABASE").abre().at(0).inteiro("ID");
    banco.executa("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = " + std::to_string(id));

    try {
        insere(t, 1);
        FAIL() << "a conexão encerrada seguiu";
    } catch (const ErroConexaoPerdida& e) {
        EXPECT_EQ(
            std::string(e.what()).rfind("A conexão com o banco de dados foi perdida. Detalhe: ", 0),
            0u)
            << e.what();
    }
}

}  // namespace
}  // namespace cds
