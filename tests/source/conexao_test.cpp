#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "comum/erro.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/disco_teste.hpp"
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

// What the tests' database paths start with: the server's address when they go through one.
std::string prefixoDoServidor() {
    const char* servidor = std::getenv("EXPORTADOR_TESTE_SERVIDOR");
    return servidor && *servidor ? std::string(servidor) + ":" : std::string();
}

// The message of a connection that failed, or "(conectou)".
std::string falhaAoConectar(const std::string& caminho) {
    Conexao c;
    try {
        c.abre(caminho);
    } catch (const ErroBanco& e) {
        return e.what();
    }
    return "(conectou)";
}

// A database file that cannot be opened says why, in the operator's words; the library's
// text follows. The engine in this process knows the system's reason; a server sends its
// system's words, which the library's text carries.
TEST(Conexao, ArquivoQueNaoAbreDizPorque) {
    const bool servidor = !prefixoDoServidor().empty();
    teste::PastaTemporaria pasta;
    struct Caso {
        std::string nome;
        std::function<void(const std::filesystem::path&)> prepara;
        std::string motivo;
        std::string motivoPeloServidor;
    };
    const Caso casos[] = {
        {"nao-existe.fdb", [](const std::filesystem::path&) {},
         "o arquivo do banco de dados não existe",
         "não foi possível abrir o arquivo do banco de dados"},
        {"texto.fdb",
         [](const std::filesystem::path& p) { std::ofstream(p) << "isto não é um banco\n"; },
         "o arquivo do banco de dados não é um banco de dados Firebird, ou está danificado",
         "o arquivo do banco de dados não é um banco de dados Firebird, ou está danificado"},
        {"letras.fdb",
         [](const std::filesystem::path& p) { std::ofstream(p) << std::string(65536, 'Z'); },
         "o arquivo do banco de dados não é um banco de dados Firebird",
         "o arquivo do banco de dados não é um banco de dados Firebird"},
        {"pasta.fdb", [](const std::filesystem::path& p) { std::filesystem::create_directory(p); },
         "o arquivo do banco de dados é uma pasta, não um banco de dados",
         "o arquivo do banco de dados não é um banco de dados Firebird, ou está danificado"},
    };
    for (const Caso& caso : casos) {
        const std::filesystem::path arquivo = pasta / caso.nome;
        caso.prepara(arquivo);
        const std::string caminho = prefixoDoServidor() + arquivo.string();
        const std::string esperado = "Não foi possível conectar ao banco de dados em " + caminho +
                                     ": " + (servidor ? caso.motivoPeloServidor : caso.motivo) +
                                     ". Detalhe: ";
        const std::string mensagem = falhaAoConectar(caminho);
        EXPECT_EQ(mensagem.rfind(esperado, 0), 0u) << mensagem;
    }
}

// A database a server holds cannot be opened by the engine in this process: the message says
// so, and how to reach it.
TEST(Conexao, BancoAbertoPorUmServidorDizQueEstaEmUso) {
    if (prefixoDoServidor().empty()) GTEST_SKIP() << "sem servidor";
    BancoTeste banco;
    banco.executa("CREATE TABLE T (ID INTEGER)");
    const std::string mensagem = falhaAoConectar(banco.arquivo().string());
    EXPECT_EQ(mensagem.rfind("Não foi possível conectar ao banco de dados em " +
                                 banco.arquivo().string() +
                                 ": o arquivo do banco de dados está aberto por outro servidor "
                                 "Firebird, que não o divide com este programa; em DATABASE, use "
                                 "o endereço desse servidor (servidor:caminho) no lugar do "
                                 "caminho do arquivo. Detalhe: ",
                             0),
              0u)
        << mensagem;
}

// A database whose disk fills up while the run writes to it: the message says which file
// could not be written, and why where the engine is this process's.
TEST(Conexao, DiscoCheioDoBancoDizQualArquivo) {
    teste::DiscoPequeno disco(16 << 20);
    if (!disco.montado()) GTEST_SKIP() << disco.motivo();
    const std::filesystem::path arquivo = disco / "cheio.fdb";
    {
        BancoTeste banco;
        banco.executa("CREATE TABLE G (TEXTO VARCHAR(1000))");
        banco.desconecta();
        std::filesystem::copy_file(banco.arquivo(), arquivo);
    }
    disco.enche();
    Conexao c;
    c.abre(prefixoDoServidor() + arquivo.string());
    Transacao t(c);
    Consulta enche(t,
                   "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 100000) DO BEGIN "
                   "INSERT INTO G VALUES (LPAD('', 1000, 'x')); I = I + 1; END END");
    const std::string motivo = prefixoDoServidor().empty()
                                   ? "o disco do arquivo " + arquivo.string() + " está cheio"
                                   : "não foi possível gravar no arquivo " + arquivo.string();
    try {
        enche.executa();
        FAIL() << "gravou num disco cheio";
    } catch (const ErroBanco& e) {
        EXPECT_EQ(std::string(e.what()).rfind(
                      "A consulta ao banco de dados falhou: " + motivo + ". Detalhe: ", 0),
                  0u)
            << e.what();
    }
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

// The port of the tests' server, when they go through one.
std::optional<int> portaDoServidor() {
    const char* servidor = std::getenv("EXPORTADOR_TESTE_SERVIDOR");
    if (!servidor || !*servidor) return std::nullopt;
    const std::string endereco = servidor;
    return std::stoi(endereco.substr(endereco.find('/') + 1));
}

// A server that falls silent once connected (stopped, or cut off by the network): the call that
// waits on it is closed on this side once it has had no answer for its time, or shortly after
// the operator asked to stop; the transaction and the connection then end at once, where the
// client library would otherwise wait for good.
TEST(Conexao, ServidorQueSeCalaTemAChamadaEncerrada) {
    const std::optional<int> porta = portaDoServidor();
    if (!porta) GTEST_SKIP() << "sem servidor";
    struct Caso {
        std::chrono::seconds semResposta;
        bool cancela;
        std::string esperado;
    };
    const Caso casos[] = {
        {std::chrono::seconds{1}, false,
         "A consulta ao banco de dados falhou: o servidor do banco de dados não respondeu em 1 "
         "s, e a conexão com ele foi encerrada"},
        {std::chrono::seconds{600}, true,
         "A consulta ao banco de dados falhou: a operação foi cancelada e, como o servidor do "
         "banco de dados não atendeu ao cancelamento, a conexão com ele foi encerrada"},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.esperado);
        BancoTeste banco;
        teste::CaminhoQueEmudece caminho(*porta);
        OpcoesConexao opcoes;
        opcoes.semResposta = caso.semResposta;
        Conexao c;
        c.abre(caminho.banco(banco.arquivo()), opcoes);
        auto t = std::make_unique<Transacao>(c);
        Consulta q(*t, "SELECT COUNT(*) N FROM RDB$RELATIONS");
        EXPECT_GT(q.abre().at(0).inteiro("N"), 0);

        caminho.emudece();
        std::thread cancelador;
        if (caso.cancela)
            cancelador = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                c.cancela();
            });
        std::string mensagem;
        bool conexaoPerdida = false;
        try {
            q.abre();
        } catch (const ErroConexaoPerdida& e) {
            mensagem = e.what();
            conexaoPerdida = true;
        } catch (const ErroBanco& e) {
            mensagem = e.what();
        }
        if (cancelador.joinable()) cancelador.join();
        EXPECT_TRUE(conexaoPerdida);
        EXPECT_EQ(mensagem.rfind(caso.esperado, 0), 0u) << mensagem;

        // Ended on this side: undoing and closing do not wait for the server.
        EXPECT_THROW(insere(*t, 1), ErroConexaoPerdida);
        t.reset();
        c.fecha();
        EXPECT_FALSE(c.aberta());
    }
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
