#include "source/linhas_guardadas.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "source/conexao.hpp"
#include "suporte/banco_teste.hpp"

namespace cds {
namespace {

using teste::BancoTeste;

// Every column as text, with NULL told apart.
std::vector<std::string> colunas(const Linha& l) {
    std::vector<std::string> valores;
    for (const char* c :
         {"ID", "TEXTO", "FIXO", "VALOR", "REAL_", "DIA", "MOMENTO", "NOTA", "ATIVO"})
        valores.push_back(l.nulo(c) ? "<nulo>" : l.texto(c));
    return valores;
}

// Rows put aside while a statement is walked read back the same, as often as asked: every
// kind of column, NULLs, empty and long blobs.
TEST(LinhasGuardadas, DevolvemAsLinhasNaOrdem) {
    BancoTeste banco;
    banco.executa(
        "CREATE TABLE T (ID INTEGER, TEXTO VARCHAR(60), FIXO CHAR(3), VALOR NUMERIC(10,2), "
        "REAL_ DOUBLE PRECISION, DIA DATE, MOMENTO TIMESTAMP, NOTA BLOB SUB_TYPE TEXT, "
        "ATIVO BOOLEAN)");
    Conexao conexao;
    conexao.abre(banco.caminho());
    Transacao t(conexao);
    {
        Consulta insere(t,
                        "INSERT INTO T VALUES (:id, :texto, 'ab', 12.5, 1.75, '2019-10-15', "
                        "'2019-10-15 08:30:00', :nota, TRUE)");
        for (int i = 1; i <= 600; ++i) {
            insere.parametro("id", i);
            insere.parametro("texto", "Conceição " + std::to_string(i));
            if (i % 7 == 0)
                insere.parametroNulo("nota");
            else
                insere.parametro("nota",
                                 std::string(static_cast<std::size_t>(i * 13 % 20000), 'n'));
            insere.executa();
        }
        Consulta(t, "INSERT INTO T (ID) VALUES (0)").executa();
    }
    Consulta todas(t, "SELECT * FROM T ORDER BY ID DESC");
    const std::vector<Linha> esperadas = todas.abre();

    const auto guardadas = LinhasGuardadas::cria();
    ASSERT_TRUE(guardadas);
    todas.percorre();
    while (const Linha* l = todas.proxima()) ASSERT_TRUE(guardadas->guarda(*l));
    EXPECT_EQ(guardadas->quantas(), esperadas.size());
    for (int vez = 1; vez <= 2; ++vez) {
        SCOPED_TRACE(vez);
        guardadas->voltaAoInicio();
        std::size_t n = 0;
        while (const Linha* l = guardadas->proxima()) {
            ASSERT_LT(n, esperadas.size());
            EXPECT_EQ(colunas(*l), colunas(esperadas[n])) << n;
            ++n;
        }
        EXPECT_EQ(n, esperadas.size());
        EXPECT_EQ(guardadas->proxima(), nullptr);
    }
}

TEST(LinhasGuardadas, NenhumaEDeUmComandoSo) {
    BancoTeste banco;
    Conexao conexao;
    conexao.abre(banco.caminho());
    Transacao t(conexao);
    const auto vazias = LinhasGuardadas::cria();
    ASSERT_TRUE(vazias);
    vazias->voltaAoInicio();
    EXPECT_EQ(vazias->quantas(), 0u);
    EXPECT_EQ(vazias->proxima(), nullptr);

    const auto guardadas = LinhasGuardadas::cria();
    ASSERT_TRUE(guardadas);
    Consulta um(t, "SELECT 1 AS N FROM RDB$DATABASE");
    Consulta outro(t, "SELECT 'x' AS N FROM RDB$DATABASE");
    EXPECT_TRUE(guardadas->guarda(um.abre().at(0)));
    EXPECT_THROW(guardadas->guarda(outro.abre().at(0)), std::logic_error);
}

}  // namespace
}  // namespace cds
