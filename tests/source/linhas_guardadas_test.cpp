#include "source/linhas_guardadas.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "source/conexao.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/disco_teste.hpp"
#include "suporte/pasta_so_leitura.hpp"
#include "suporte/pasta_temporaria_do_sistema.hpp"

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

    // In the system's temporary folder, with no name there.
    teste::PastaTemporaria temporaria;
    const teste::TmpdirEm tmpdir(temporaria.caminho());
    const auto guardadas = LinhasGuardadas::cria();
    todas.percorre();
    while (const Linha* l = todas.proxima()) guardadas->guarda(*l);
    EXPECT_EQ(guardadas->quantas(), esperadas.size());
    EXPECT_TRUE(std::filesystem::is_empty(temporaria.caminho()));
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
    vazias->voltaAoInicio();
    EXPECT_EQ(vazias->quantas(), 0u);
    EXPECT_EQ(vazias->proxima(), nullptr);

    const auto guardadas = LinhasGuardadas::cria();
    Consulta um(t, "SELECT 1 AS N FROM RDB$DATABASE");
    Consulta outro(t, "SELECT 'x' AS N FROM RDB$DATABASE");
    guardadas->guarda(um.abre().at(0));
    EXPECT_EQ(guardadas->quantas(), 1u);
    EXPECT_THROW(guardadas->guarda(outro.abre().at(0)), std::logic_error);
}

// A temporary file that cannot be made, or that the disk cannot take, is an error naming the
// folder and the system's reason: the rows are never read a second way.
TEST(LinhasGuardadas, SemArquivoTemporarioDizPorque) {
    BancoTeste banco;
    Conexao conexao;
    conexao.abre(banco.caminho());
    Transacao t(conexao);
    // About a KiB a row: a few hundred of them pass the file's buffer.
    Consulta linhas(t,
                    "WITH RECURSIVE N (I) AS (SELECT 1 FROM RDB$DATABASE UNION ALL SELECT I + 1 "
                    "FROM N WHERE I < 500) SELECT I, CAST(LPAD('', 1000, 'x') AS VARCHAR(1000)) "
                    "AS X FROM N");
    const auto guardaTodas = [&] {
        const auto guardadas = LinhasGuardadas::cria();
        linhas.percorre();
        while (const Linha* l = linhas.proxima()) guardadas->guarda(*l);
        guardadas->voltaAoInicio();
    };

    teste::PastaTemporaria pasta;
    teste::PastaSoDeLeitura soLeitura(pasta / "so-leitura");
    if (!soLeitura.pronta()) GTEST_SKIP() << soLeitura.motivo();
    soLeitura.fecha();
    teste::DiscoPequeno disco(64 * 1024);
    if (!disco.montado()) GTEST_SKIP() << disco.motivo();
    disco.enche();

    struct Caso {
        std::filesystem::path tmpdir;
        std::string mensagem;
    };
    const Caso casos[] = {
        {pasta / "so-leitura", "Não foi possível criar um arquivo temporário em " +
                                   (pasta / "so-leitura").string() +
                                   " para as linhas lidas do banco de dados: "},
        {pasta / "nenhuma",
         "Não foi possível criar um arquivo temporário na pasta temporária do sistema para as "
         "linhas lidas do banco de dados: "},
        {disco.caminho(),
         "Não foi possível gravar as linhas lidas do banco de dados no arquivo temporário em " +
             disco.caminho().string() + ": o disco está cheio"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.tmpdir);
        const teste::TmpdirEm tmpdir(c.tmpdir);
        try {
            guardaTodas();
            ADD_FAILURE() << "guardadas";
        } catch (const ErroArquivo& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.mensagem, 0), 0u) << e.what();
        }
    }
}

}  // namespace
}  // namespace cds
