#include <gtest/gtest.h>

#include "comum/erro.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/banco_teste.hpp"

namespace cds {
namespace {

using teste::BancoTeste;

std::int64_t contaLinhas(const std::string& caminho) {
    Conexao c;
    c.abre(caminho);
    c.iniciaTransacao();
    Consulta q(c);
    q.defineTexto("SELECT COUNT(*) N FROM T");
    q.abre();
    return q.inteiro("N");
}

class ConexaoTest : public ::testing::Test {
  protected:
    void SetUp() override { banco.executa("CREATE TABLE T (ID INTEGER)"); }
    void insere(Conexao& c, int id) {
        Consulta q(c);
        q.defineTexto("INSERT INTO T VALUES (:id)");
        q.parametro("id", id);
        q.executa();
    }
    BancoTeste banco;
};

TEST_F(ConexaoTest, TransacaoAtivaDesfeitaNaDestruicao) {
    {
        Conexao c;
        c.abre(banco.caminho());
        c.iniciaTransacao();
        insere(c, 1);
    }
    EXPECT_EQ(contaLinhas(banco.caminho()), 0);
}

TEST_F(ConexaoTest, CommitCommitRetainingERollback) {
    Conexao c;
    c.abre(banco.caminho());
    c.iniciaTransacao();
    insere(c, 1);
    c.commitRetaining();
    EXPECT_TRUE(c.emTransacao());
    insere(c, 2);
    c.rollback();
    EXPECT_FALSE(c.emTransacao());
    EXPECT_EQ(contaLinhas(banco.caminho()), 1);

    c.iniciaTransacao();
    insere(c, 3);
    c.commit();
    EXPECT_EQ(contaLinhas(banco.caminho()), 2);
    // Closing with a transaction open rolls it back too.
    c.iniciaTransacao();
    insere(c, 4);
    c.fecha();
    EXPECT_FALSE(c.aberta());
    EXPECT_EQ(contaLinhas(banco.caminho()), 2);
}

TEST_F(ConexaoTest, ConflitoDeBloqueioNaoTrava) {
    banco.executa("INSERT INTO T VALUES (1)");
    Conexao a, b;
    a.abre(banco.caminho());
    b.abre(banco.caminho());
    a.iniciaTransacao();
    b.iniciaTransacao();
    Consulta qa(a), qb(b);
    qa.defineTexto("UPDATE T SET ID = 2");
    qa.executa();
    qb.defineTexto("UPDATE T SET ID = 3");
    EXPECT_THROW(qb.executa(), ErroBanco);
}

TEST(Conexao, FalhaTrazAMensagemDoServidor) {
    teste::PastaTemporaria pasta;
    const std::string caminho = (pasta.caminho() / "nao-existe.fdb").string();
    Conexao c;
    try {
        c.abre(caminho);
        FAIL() << "esperava falha ao abrir";
    } catch (const ErroBanco& e) {
        EXPECT_NE(std::string(e.what()).find("nao-existe.fdb"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(c.aberta());
    EXPECT_THROW(c.iniciaTransacao(), ErroBanco);
}

}  // namespace
}  // namespace cds
