#include <gtest/gtest.h>

#include <memory>

#include "comum/erro.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/banco_teste.hpp"

namespace cds {
namespace {

using teste::BancoTeste;

// A table with one column of every kind the clinical system's schema uses.
constexpr const char* kTabelaTipos =
    "CREATE TABLE TIPOS (ID INTEGER NOT NULL PRIMARY KEY, TEXTO VARCHAR(60), FIXO CHAR(3), "
    "CURTO SMALLINT, GRANDE BIGINT, VALOR NUMERIC(10,2), PRECO DECIMAL(15,4), REAL_ DOUBLE "
    "PRECISION, DIA DATE, HORA TIME, MOMENTO TIMESTAMP, NOTA BLOB SUB_TYPE TEXT)";

class ConsultaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        banco.executa(kTabelaTipos);
        conexao.abre(banco.caminho());
    }
    // The snapshot starts here: rows inserted through `banco` before it are visible.
    Consulta& consulta() {
        if (!conexao.emTransacao()) conexao.iniciaTransacao();
        if (!c) c = std::make_unique<Consulta>(conexao);
        return *c;
    }

    BancoTeste banco;
    Conexao conexao;
    std::unique_ptr<Consulta> c;
};

TEST_F(ConsultaTest, TextoAcentuadoIdaEVolta) {
    const std::string nomes[] = {"João da Conceição", "Não", "ÁÉÍÓÚ àèìòù âêô ãõ ç Ç ü", "€ – “x”"};
    Consulta& c = consulta();
    int id = 0;
    for (const auto& nome : nomes) {
        c.defineTexto("INSERT INTO TIPOS (ID, TEXTO) VALUES (:id, :texto)");
        c.parametro("id", ++id);
        c.parametro("texto", nome);
        c.executa();
    }
    // Stored as the clinical system expects: WIN1252 bytes, one per accented letter.
    c.defineTexto("SELECT CHAR_LENGTH(TEXTO) N, OCTET_LENGTH(TEXTO) B FROM TIPOS WHERE ID = 2");
    c.abre();
    EXPECT_EQ(c.inteiro("N"), 3);
    EXPECT_EQ(c.inteiro("B"), 3);

    c.defineTexto("SELECT TEXTO FROM TIPOS ORDER BY ID");
    c.abre();
    for (const auto& nome : nomes) {
        ASSERT_FALSE(c.fim());
        EXPECT_EQ(c.texto("TEXTO"), nome);
        c.proximo();
    }
    EXPECT_TRUE(c.fim());

    // A literal in the statement text crosses the boundary too.
    c.defineTexto("SELECT COUNT(*) N FROM TIPOS WHERE TEXTO = 'Não'");
    c.abre();
    EXPECT_EQ(c.inteiro("n"), 1);
}

TEST_F(ConsultaTest, NuloEmCadaTipoDeLeitura) {
    banco.executa("INSERT INTO TIPOS (ID) VALUES (1)");
    Consulta& c = consulta();
    c.defineTexto("SELECT * FROM TIPOS");
    c.abre();
    for (const char* coluna : {"TEXTO", "FIXO", "CURTO", "GRANDE", "VALOR", "PRECO", "REAL_", "DIA",
                               "HORA", "MOMENTO", "NOTA"}) {
        SCOPED_TRACE(coluna);
        EXPECT_TRUE(c.nulo(coluna));
        EXPECT_EQ(c.texto(coluna), "");
        EXPECT_EQ(c.inteiro(coluna), 0);
        EXPECT_EQ(c.real(coluna), 0.0);
        EXPECT_EQ(c.dataHora(coluna), DataHora{});
    }
}

TEST_F(ConsultaTest, LeituraComoTextoDeCadaTipo) {
    banco.executa(
        "INSERT INTO TIPOS VALUES (1, 'abc', 'S', -7, 9007199254740993, 12.50, 3, 72.5, "
        "'2019-10-05', '14:35:09', '2019-10-05 08:01:02', 'observação longa')");
    banco.executa(
        "INSERT INTO TIPOS (ID, VALOR, PRECO, REAL_, MOMENTO) VALUES (2, -0.05, -1.2345, 175, "
        "'2019-12-31 00:00:00')");
    Consulta& c = consulta();
    c.defineTexto("SELECT * FROM TIPOS ORDER BY ID");
    c.abre();
    struct Caso {
        const char* coluna;
        const char* esperado;
    };
    const Caso linha1[] = {
        {"TEXTO", "abc"},
        {"FIXO", "S  "},
        {"CURTO", "-7"},
        {"GRANDE", "9007199254740993"},
        {"VALOR", "12.5"},
        {"PRECO", "3"},
        {"REAL_", "72.5"},
        {"DIA", "05/10/2019"},
        {"HORA", "14:35:09"},
        {"MOMENTO", "05/10/2019 08:01:02"},
        {"NOTA", "observação longa"},
    };
    for (const auto& caso : linha1) EXPECT_EQ(c.texto(caso.coluna), caso.esperado) << caso.coluna;
    c.proximo();
    const Caso linha2[] = {
        {"VALOR", "-0.05"}, {"PRECO", "-1.2345"}, {"REAL_", "175"}, {"MOMENTO", "31/12/2019"}};
    for (const auto& caso : linha2) EXPECT_EQ(c.texto(caso.coluna), caso.esperado) << caso.coluna;
}

TEST_F(ConsultaTest, LeituraComoNumeroEData) {
    banco.executa(
        "INSERT INTO TIPOS (ID, TEXTO, FIXO, VALOR, REAL_, DIA, HORA, MOMENTO) VALUES (1, ' 42 ', "
        "'1,5', 12.5, 1.75, '2019-10-05', '18:00:00', '2019-10-05 11:59:30')");
    banco.executa("INSERT INTO TIPOS (ID, TEXTO) VALUES (2, '12a')");
    Consulta& c = consulta();
    c.defineTexto("SELECT * FROM TIPOS ORDER BY ID");
    c.abre();
    EXPECT_EQ(c.inteiro("TEXTO"), 42);
    EXPECT_DOUBLE_EQ(c.real("FIXO"), 1.5);
    EXPECT_DOUBLE_EQ(c.real("VALOR"), 12.5);
    EXPECT_DOUBLE_EQ(c.real("REAL_"), 1.75);
    EXPECT_EQ(c.dataHora("DIA"), (DataHora{2019, 10, 5, 0, 0, 0}));
    EXPECT_EQ(c.dataHora("HORA").hora, 18);
    EXPECT_EQ(c.dataHora("MOMENTO"), (DataHora{2019, 10, 5, 11, 59, 30}));
    c.proximo();
    EXPECT_THROW(c.inteiro("TEXTO"), ErroConversao);
    EXPECT_THROW(c.real("TEXTO"), ErroConversao);
}

TEST_F(ConsultaTest, ParametrosNomeadosComDoisPontosEmLiteral) {
    banco.executa("INSERT INTO TIPOS (ID, TEXTO, DIA) VALUES (1, 'a:b', '2019-10-15')");
    banco.executa("INSERT INTO TIPOS (ID, TEXTO, DIA) VALUES (2, ':pid', '2019-10-16')");
    Consulta& c = consulta();
    c.adiciona("SELECT ID, ':pid' AS LITERAL, TEXTO FROM TIPOS");
    c.adiciona("WHERE (TEXTO = 'a:b' OR TEXTO = ':pid') AND ID >= :PID AND DIA = :pdia");
    c.adiciona("AND COALESCE(FIXO, :vazio) = ''");
    c.parametro("pid", 1);
    c.parametroData("PDIA", 2019, 10, 16);
    c.parametro("vazio", std::string_view(""));
    c.abre();
    ASSERT_EQ(c.quantidade(), 1u);
    EXPECT_EQ(c.inteiro("ID"), 2);
    EXPECT_EQ(c.texto("LITERAL"), ":pid");

    // A name used twice binds both places; an unset parameter is NULL.
    c.defineTexto("SELECT COUNT(*) N FROM TIPOS WHERE ID = :x OR ID = :x + 1 OR TEXTO = :nada");
    c.parametro("x", std::string_view("1"));
    c.abre();
    EXPECT_EQ(c.inteiro("N"), 2);

    // Setting a parameter the statement does not have is a mistake worth hearing about.
    c.defineTexto("SELECT ID FROM TIPOS WHERE ID = :id");
    c.parametro("ide", 1);
    EXPECT_THROW(c.abre(), ErroBanco);
}

TEST(TraduzParametros, ForaDeLiteraisEComentarios) {
    const auto r = traduzParametros(
        "select 'a:b', \"X:Y\" from t -- :coment\nwhere a = :Um /* :bloco */ and b=:dois_2 and "
        "c=:um");
    EXPECT_EQ(r.texto,
              "select 'a:b', \"X:Y\" from t -- :coment\nwhere a = ? /* :bloco */ and b=? and c=?");
    EXPECT_EQ(r.nomes, (std::vector<std::string>{"um", "dois_2", "um"}));
}

TEST_F(ConsultaTest, PreparadoUmaVezExecutadoMuitas) {
    Consulta& c = consulta();
    for (int i = 1; i <= 50; ++i) {
        c.limpa();
        c.adiciona("INSERT INTO TIPOS (ID, TEXTO)");
        c.adiciona("VALUES (:id, :texto)");
        c.parametro("id", i);
        c.parametro("texto", "linha " + std::to_string(i));
        c.executa();
    }
    EXPECT_EQ(c.comandosPreparados(), 1u);
    c.defineTexto("SELECT COUNT(*) N, MAX(TEXTO) M FROM TIPOS");
    c.abre();
    EXPECT_EQ(c.inteiro("N"), 50);
    EXPECT_EQ(c.texto("M"), "linha 9");
    EXPECT_EQ(c.comandosPreparados(), 2u);
}

TEST_F(ConsultaTest, VoltaAoPrimeiroDepoisDeLerTudo) {
    for (int i = 1; i <= 3; ++i)
        banco.executa("INSERT INTO TIPOS (ID) VALUES (" + std::to_string(i) + ")");
    Consulta& c = consulta();
    c.defineTexto("SELECT ID FROM TIPOS ORDER BY ID");
    c.abre();
    EXPECT_EQ(c.quantidade(), 3u);
    std::vector<std::int64_t> ida, volta;
    for (; !c.fim(); c.proximo()) ida.push_back(c.inteiro("ID"));
    // Past the end the last row stays current, as the clinical system's reads expect.
    EXPECT_EQ(c.inteiro("ID"), 3);
    c.primeiro();
    for (; !c.fim(); c.proximo()) volta.push_back(c.inteiro("ID"));
    EXPECT_EQ(ida, (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(volta, ida);
}

TEST_F(ConsultaTest, ColunasPorNomeEmQualquerCaixa) {
    banco.executa("INSERT INTO TIPOS (ID, TEXTO) VALUES (1, 'x')");
    Consulta& c = consulta();
    c.defineTexto("SELECT t.texto AS nomeProfissional, t.ID FROM TIPOS t");
    c.abre();
    for (const char* nome : {"NOMEPROFISSIONAL", "nomeprofissional", "NomeProfissional"})
        EXPECT_EQ(c.texto(nome), "x") << nome;
    EXPECT_EQ(c.inteiro("id"), 1);
    EXPECT_THROW(c.texto("naoexiste"), ErroBanco);
}

TEST_F(ConsultaTest, ErroDoServidorChegaComSeuTexto) {
    Consulta& c = consulta();
    c.defineTexto("SELECT COLUNA_QUE_NAO_EXISTE FROM TIPOS");
    try {
        c.abre();
        FAIL() << "esperava um erro do servidor";
    } catch (const ErroBanco& e) {
        EXPECT_NE(std::string(e.what()).find("COLUNA_QUE_NAO_EXISTE"), std::string::npos)
            << e.what();
    }
    c.defineTexto("INSERT INTO TIPOS (ID) VALUES (:id)");
    c.parametro("id", 1);
    c.executa();
    try {
        c.executa();
        FAIL() << "esperava violação de chave";
    } catch (const ErroBanco& e) {
        EXPECT_NE(std::string(e.what()).find("PRIMARY"), std::string::npos) << e.what();
    }
}

TEST_F(ConsultaTest, VaziaSemLinhas) {
    Consulta& c = consulta();
    c.defineTexto("SELECT ID, TEXTO FROM TIPOS");
    c.abre();
    EXPECT_TRUE(c.fim());
    EXPECT_EQ(c.quantidade(), 0u);
    EXPECT_EQ(c.texto("TEXTO"), "");
}

}  // namespace
}  // namespace cds
