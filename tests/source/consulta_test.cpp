#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "comum/erro.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/texto_utf8.hpp"

namespace cds {
namespace {

using namespace std::chrono_literals;
using teste::BancoTeste;

// A table with one column of every kind the clinical system's schema uses.
constexpr const char* kTabelaTipos =
    "CREATE TABLE TIPOS (ID INTEGER NOT NULL PRIMARY KEY, TEXTO VARCHAR(60), FIXO CHAR(3), "
    "CURTO SMALLINT, GRANDE BIGINT, VALOR NUMERIC(10,2), PRECO DECIMAL(15,4), REAL_ DOUBLE "
    "PRECISION, DIA DATE, HORA TIME, MOMENTO TIMESTAMP, NOTA BLOB SUB_TYPE TEXT, ATIVO BOOLEAN)";

std::string mensagemDe(const std::function<void()>& f) {
    try {
        f();
    } catch (const Erro& e) {
        return e.what();
    }
    return "(nenhum erro)";
}

class ConsultaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        banco.executa(kTabelaTipos);
        conexao.abre(banco.caminho());
    }
    // The snapshot starts at the first call: rows inserted through `banco` before it are
    // visible.
    Transacao& transacao() {
        if (!t) t = std::make_unique<Transacao>(conexao);
        return *t;
    }
    std::vector<Linha> linhas(std::string_view sql) { return Consulta(transacao(), sql).abre(); }
    // The one row of a SELECT of expressions, named V.
    Linha valor(const std::string& expressao) {
        auto r = linhas("SELECT " + expressao + " AS V FROM RDB$DATABASE");
        EXPECT_EQ(r.size(), 1u) << expressao;
        return r.at(0);
    }
    // Statements this connection holds prepared on the server, seen from a transaction of
    // its own (the count's own statement included).
    std::int64_t comandosNoServidor() {
        Transacao propria(conexao);
        return Consulta(propria,
                        "SELECT COUNT(*) N FROM MON$STATEMENTS "
                        "WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION")
            .abre()
            .at(0)
            .inteiro("N");
    }

    BancoTeste banco;
    Conexao conexao;
    std::unique_ptr<Transacao> t;
};

TEST_F(ConsultaTest, TextoAcentuadoIdaEVolta) {
    const std::string nomes[] = {"João da Conceição", "Não", "ÁÉÍÓÚ àèìòù âêô ãõ ç Ç ü", "€ – “x”"};
    Consulta insere(transacao(), "INSERT INTO TIPOS (ID, TEXTO) VALUES (:id, :texto)");
    int id = 0;
    for (const auto& nome : nomes) {
        insere.parametro("id", ++id);
        insere.parametro("texto", nome);
        insere.executa();
    }
    // Stored as the clinical system expects: WIN1252 bytes, one per accented letter.
    const auto tamanhos =
        linhas("SELECT CHAR_LENGTH(TEXTO) N, OCTET_LENGTH(TEXTO) B FROM TIPOS WHERE ID = 2");
    EXPECT_EQ(tamanhos.at(0).inteiro("N"), 3);
    EXPECT_EQ(tamanhos.at(0).inteiro("B"), 3);

    const auto lidas = linhas("SELECT TEXTO FROM TIPOS ORDER BY ID");
    ASSERT_EQ(lidas.size(), std::size(nomes));
    for (std::size_t i = 0; i < lidas.size(); ++i) EXPECT_EQ(lidas[i].texto("TEXTO"), nomes[i]);

    // A literal in the statement text crosses the boundary too.
    EXPECT_EQ(linhas("SELECT COUNT(*) N FROM TIPOS WHERE TEXTO = 'Não'").at(0).inteiro("n"), 1);
}

TEST_F(ConsultaTest, NuloEmCadaTipoDeLeitura) {
    banco.executa("INSERT INTO TIPOS (ID) VALUES (1)");
    const Linha l = linhas("SELECT * FROM TIPOS").at(0);
    for (const char* coluna : {"TEXTO", "FIXO", "CURTO", "GRANDE", "VALOR", "PRECO", "REAL_", "DIA",
                               "HORA", "MOMENTO", "NOTA", "ATIVO"}) {
        SCOPED_TRACE(coluna);
        EXPECT_TRUE(l.nulo(coluna));
        EXPECT_EQ(l.texto(coluna), "");
        EXPECT_EQ(l.inteiro(coluna), 0);
        EXPECT_EQ(l.real(coluna), 0.0);
        EXPECT_EQ(l.dataHora(coluna), std::nullopt);
    }
    EXPECT_FALSE(l.nulo("ID"));
}

TEST_F(ConsultaTest, LeituraComoTextoDeCadaTipo) {
    struct Caso {
        std::string expressao;
        std::string esperado;
    };
    const Caso casos[] = {
        {"CAST('abc' AS VARCHAR(10))", "abc"},
        {"CAST('S' AS CHAR(3))", "S  "},
        {"CAST(-7 AS SMALLINT)", "-7"},
        {"CAST(9007199254740993 AS BIGINT)", "9007199254740993"},
        {"CAST(-9223372036854775808 AS BIGINT)", "-9223372036854775808"},
        {"CAST(12.50 AS NUMERIC(10,2))", "12.5"},
        {"CAST(2.00 AS NUMERIC(10,2))", "2"},
        {"CAST(0 AS NUMERIC(10,2))", "0"},
        {"CAST(-0.05 AS NUMERIC(10,2))", "-0.05"},
        {"CAST(-1.2345 AS DECIMAL(15,4))", "-1.2345"},
        {"CAST(3 AS DECIMAL(15,4))", "3"},
        {"CAST(92233720368547758.07 AS NUMERIC(18,2))", "92233720368547758.07"},
        {"CAST(72.5 AS DOUBLE PRECISION)", "72.5"},
        {"CAST(175 AS DOUBLE PRECISION)", "175"},
        // Single precision in its own shortest form, not widened to double's digits.
        {"CAST(0.1 AS FLOAT)", "0.1"},
        {"DATE '2019-10-05'", "05/10/2019"},
        {"DATE '0987-01-02'", "02/01/0987"},
        {"TIME '14:35:09.1234'", "14:35:09"},
        {"TIME '00:00:00'", "00:00:00"},
        {"TIMESTAMP '2019-10-05 08:01:02'", "05/10/2019 08:01:02"},
        {"TIMESTAMP '2019-12-31 00:00:00'", "31/12/2019"},
        {"TRUE", "True"},
        {"FALSE", "False"},
        {"CAST('observação longa' AS BLOB SUB_TYPE TEXT)", "observação longa"},
        // Octets are bytes as they are, not Windows-1252 letters.
        {"CAST(x'C3A9' AS VARCHAR(2) CHARACTER SET OCTETS)", "é"},
    };
    for (const auto& c : casos) EXPECT_EQ(valor(c.expressao).texto("V"), c.esperado) << c.expressao;
}

TEST_F(ConsultaTest, BlobLongoEmPedacos) {
    // Longer than one read of a segment, with an accented letter where a piece ends.
    std::string longo(16383, 'a');
    longo += "ção";
    longo += std::string(40000, 'b');
    {
        Consulta insere(transacao(), "INSERT INTO TIPOS (ID, NOTA) VALUES (1, :nota)");
        insere.parametro("nota", longo);
        insere.executa();
    }
    const auto lidas = linhas("SELECT NOTA, NOTA AS COPIA FROM TIPOS");
    EXPECT_EQ(lidas.at(0).texto("NOTA"), longo);
    EXPECT_EQ(lidas.at(0).texto("COPIA"), longo);
}

TEST_F(ConsultaTest, LeituraComoNumero) {
    struct Caso {
        std::string expressao;
        std::optional<std::int64_t> inteiro;  // none: not a whole number
        double real;
    };
    const Caso casos[] = {
        {"CAST(' 42 ' AS VARCHAR(10))", 42, 42},
        {"CAST('-7' AS CHAR(2))", -7, -7},
        {"CAST('1,5' AS VARCHAR(10))", std::nullopt, 1.5},
        {"CAST('+2.25' AS VARCHAR(10))", std::nullopt, 2.25},
        {"CAST(-3 AS SMALLINT)", -3, -3},
        {"CAST(9007199254740993 AS BIGINT)", 9007199254740993, 9007199254740992.0},
        // Scaled numerics round half away from zero, every digit kept.
        {"CAST(12.5 AS NUMERIC(10,2))", 13, 12.5},
        {"CAST(-12.5 AS NUMERIC(10,2))", -13, -12.5},
        {"CAST(-0.05 AS NUMERIC(10,2))", 0, -0.05},
        {"CAST(12.49 AS NUMERIC(10,2))", 12, 12.49},
        {"CAST(92233720368547758.07 AS NUMERIC(18,2))", 92233720368547758, 92233720368547758.07},
        {"CAST(1.75 AS DOUBLE PRECISION)", 2, 1.75},
        {"CAST(-2.5 AS FLOAT)", -3, -2.5},
        {"TRUE", 1, 1},
        {"FALSE", 0, 0},
    };
    for (const auto& c : casos) {
        const Linha l = valor(c.expressao);
        if (c.inteiro)
            EXPECT_EQ(l.inteiro("V"), *c.inteiro) << c.expressao;
        else
            EXPECT_THROW(l.inteiro("V"), ErroConversao) << c.expressao;
        EXPECT_DOUBLE_EQ(l.real("V"), c.real) << c.expressao;
    }
    // Texts that are no number, and a double that no whole number holds.
    for (const char* expressao : {"CAST('12a' AS VARCHAR(10))", "CAST('' AS VARCHAR(10))",
                                  "CAST(' ' AS CHAR(1))", "DATE '2019-10-05'"}) {
        const Linha l = valor(expressao);
        EXPECT_THROW(l.inteiro("V"), ErroConversao) << expressao;
        EXPECT_THROW(l.real("V"), ErroConversao) << expressao;
    }
    EXPECT_EQ(mensagemDe([&] { valor("CAST('12a' AS VARCHAR(10))").inteiro("V"); }),
              "'12a' não é um valor inteiro válido");
    EXPECT_THROW(valor("CAST(1e300 AS DOUBLE PRECISION)").inteiro("V"), ErroConversao);
}

TEST_F(ConsultaTest, LeituraComoDataHora) {
    struct Caso {
        std::string expressao;
        DataHora esperado;
    };
    const Caso casos[] = {
        {"DATE '2019-10-05'", {2019, 10, 5, 0, 0, 0}},
        {"TIME '18:07:09.5'", {0, 0, 0, 18, 7, 9}},
        {"TIMESTAMP '2019-10-05 11:59:30'", {2019, 10, 5, 11, 59, 30}},
        {"TIMESTAMP '2019-10-05 00:00:00'", {2019, 10, 5, 0, 0, 0}},
        // Text in the clinic's Windows formats.
        {"CAST('15/10/2019' AS VARCHAR(20))", {2019, 10, 15, 0, 0, 0}},
        {"CAST(' 5/1/2019 14:35 ' AS CHAR(20))", {2019, 1, 5, 14, 35, 0}},
        {"CAST('08:30:15' AS VARCHAR(20))", {0, 0, 0, 8, 30, 15}},
    };
    for (const auto& c : casos)
        EXPECT_EQ(valor(c.expressao).dataHora("V"), c.esperado) << c.expressao;

    for (const char* texto : {"31/02/2019", "2019-10-15", "amanhã", ""}) {
        const std::string expressao = "CAST('" + std::string(texto) + "' AS VARCHAR(20))";
        EXPECT_EQ(mensagemDe([&] { valor(expressao).dataHora("V"); }),
                  "'" + std::string(texto) + "' não é uma data e hora válida")
            << texto;
    }
    EXPECT_THROW(valor("CAST(20191015 AS INTEGER)").dataHora("V"), ErroConversao);
}

TEST_F(ConsultaTest, ParametrosDeCadaTipo) {
    Consulta insere(transacao(),
                    "INSERT INTO TIPOS (ID, TEXTO, GRANDE, VALOR, DIA, NOTA, CURTO) "
                    "VALUES (:id, :texto, :grande, :valor, :dia, :nota, :curto)");
    insere.parametro("id", 1);
    insere.parametro("texto", std::string_view("Conceição"));
    insere.parametro("grande", std::int64_t{-9007199254740993});
    // A text where the column is a number: the server converts it.
    insere.parametro("valor", std::string_view("12.34"));
    insere.parametro("dia", std::chrono::year_month_day{2019y, std::chrono::October, 15d});
    insere.parametro("nota", std::string_view("nota em blob"));
    insere.parametro("curto", 7);
    insere.executa();
    // Values are kept from run to run until set again; NULL is a value like the others.
    insere.parametro("id", 2);
    insere.parametroNulo("texto");
    insere.executa();

    const auto l = linhas("SELECT * FROM TIPOS ORDER BY ID");
    ASSERT_EQ(l.size(), 2u);
    for (const Linha& linha : l) {
        SCOPED_TRACE(linha.inteiro("ID"));
        EXPECT_EQ(linha.inteiro("GRANDE"), -9007199254740993);
        EXPECT_EQ(linha.texto("VALOR"), "12.34");
        EXPECT_EQ(linha.texto("DIA"), "15/10/2019");
        EXPECT_EQ(linha.texto("NOTA"), "nota em blob");
        EXPECT_EQ(linha.inteiro("CURTO"), 7);
    }
    EXPECT_EQ(l[0].texto("TEXTO"), "Conceição");
    EXPECT_TRUE(l[1].nulo("TEXTO"));
}

TEST_F(ConsultaTest, ParametrosNomeadosComDoisPontosEmLiteral) {
    banco.executa("INSERT INTO TIPOS (ID, TEXTO, DIA) VALUES (1, 'a:b', '2019-10-15')");
    banco.executa("INSERT INTO TIPOS (ID, TEXTO, DIA) VALUES (2, ':pid', '2019-10-16')");
    Consulta c(transacao(),
               "SELECT ID, ':pid' AS LITERAL, TEXTO FROM TIPOS\n"
               "WHERE (TEXTO = 'a:b' OR TEXTO = ':pid') AND ID >= :PID AND DIA = :pdia\n"
               "AND COALESCE(FIXO, :vazio) = '' -- :comentario\n");
    c.parametro("pid", 1);
    c.parametro("PDIA", std::chrono::year_month_day{2019y, std::chrono::October, 16d});
    c.parametro("vazio", std::string_view(""));
    const auto& l = c.abre();
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].inteiro("ID"), 2);
    EXPECT_EQ(l[0].texto("LITERAL"), ":pid");

    // A name used twice binds both places; a parameter never set is NULL.
    Consulta repetido(transacao(),
                      "SELECT COUNT(*) N FROM TIPOS WHERE ID = :x OR ID = :x + 1 OR TEXTO = :nada "
                      "OR :nada IS NOT NULL");
    repetido.parametro("x", std::string_view("1"));
    EXPECT_EQ(repetido.abre().at(0).inteiro("N"), 2);
}

TEST_F(ConsultaTest, ParametroDesconhecidoRecusadoAoVincular) {
    Consulta c(transacao(), "SELECT ID FROM TIPOS WHERE ID = :id");
    struct Caso {
        std::string nome;
        std::function<void(const std::string&)> vincula;
    };
    const Caso casos[] = {
        {"ide", [&](const std::string& n) { c.parametro(n, 1); }},
        {"ide", [&](const std::string& n) { c.parametro(n, std::string_view("1")); }},
        {"idE",
         [&](const std::string& n) {
             c.parametro(n, std::chrono::year_month_day{2019y, std::chrono::May, 1d});
         }},
        {"i", [&](const std::string& n) { c.parametroNulo(n); }},
        {":id", [&](const std::string& n) { c.parametro(n, 1); }},
    };
    for (const auto& caso : casos) {
        EXPECT_EQ(mensagemDe([&] { caso.vincula(caso.nome); }),
                  "Parâmetro '" + caso.nome + "' não encontrado no comando SQL");
        EXPECT_THROW(caso.vincula(caso.nome), ErroBanco);
    }
    // A date that does not exist is refused where it is bound.
    EXPECT_THROW(c.parametro("ID", std::chrono::year_month_day{2019y, std::chrono::February, 30d}),
                 ErroConversao);
    EXPECT_THROW(c.parametro("id", std::chrono::year_month_day{}), ErroConversao);
}

TEST(TraduzParametros, ForaDeLiteraisEComentarios) {
    const auto r = traduzParametros(
        "select 'a:b', 'it''s :x', \"X:Y\" from t -- :coment\nwhere a = :Um /* :bloco */ and "
        "b=:dois_2 and c=:um and d = ':' || :fim$");
    EXPECT_EQ(r.texto,
              "select 'a:b', 'it''s :x', \"X:Y\" from t -- :coment\nwhere a = ? /* :bloco */ and "
              "b=? and c=? and d = ':' || ?");
    EXPECT_EQ(r.nomes, (std::vector<std::string>{"um", "dois_2", "um", "fim$"}));
}

// A positional statement goes to the server as written: an EXECUTE BLOCK's body keeps its own
// variables, its "?" take values by position, and one never set is NULL.
TEST_F(ConsultaTest, PosicionalVaiComoEscrito) {
    Consulta bloco(transacao(),
                   "EXECUTE BLOCK (i INTEGER = ?, t VARCHAR(60) = ?, d DATE = ?, n VARCHAR(5) = ?)"
                   "\nAS BEGIN\n  INSERT INTO TIPOS (ID, TEXTO, DIA, FIXO) VALUES (:i, :t || "
                   "':x', :d, :n);\nEND",
                   Consulta::Posicional{});
    bloco.parametro(0, 4);
    bloco.parametro(1, std::string_view("Conceição"));
    bloco.parametro(2, std::chrono::year_month_day{2019y, std::chrono::October, 15d});
    bloco.executa();
    const auto& l = linhas("SELECT TEXTO, DIA, FIXO FROM TIPOS WHERE ID = 4");
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].texto("TEXTO"), "Conceição:x");
    EXPECT_EQ(l[0].texto("DIA"), "15/10/2019");
    EXPECT_TRUE(l[0].nulo("FIXO"));

    // A place the statement does not have is refused, as an unknown name is.
    EXPECT_THROW(bloco.parametro(4, 1), ErroBanco);
    Consulta semParametros(transacao(), "SELECT ':a' AS A FROM RDB$DATABASE",
                           Consulta::Posicional{});
    EXPECT_THROW(semParametros.parametro(0, 1), ErroBanco);
    EXPECT_EQ(semParametros.abre().at(0).texto("A"), ":a");
}

TEST_F(ConsultaTest, PreparadaUmaVezExecutadaComNovosValores) {
    Consulta insere(transacao(), "INSERT INTO TIPOS (ID, TEXTO) VALUES (:id, :texto)");
    Consulta porId(transacao(), "SELECT TEXTO FROM TIPOS WHERE ID = :id");
    for (int i = 1; i <= 50; ++i) {
        insere.parametro("id", i);
        insere.parametro("texto", "linha " + std::to_string(i));
        insere.executa();
        porId.parametro("id", i);
        const auto& l = porId.abre();
        ASSERT_EQ(l.size(), 1u);
        EXPECT_EQ(l[0].texto("TEXTO"), "linha " + std::to_string(i));
    }
    // Two statements for a hundred runs: nothing is prepared again, nothing piles up.
    EXPECT_EQ(comandosNoServidor(), 3);
    EXPECT_EQ(linhas("SELECT COUNT(*) N FROM TIPOS").at(0).inteiro("N"), 50);
}

TEST_F(ConsultaTest, LinhaContinuaLegivelDepoisDeNovaExecucao) {
    banco.executa("INSERT INTO TIPOS (ID, TEXTO, NOTA) VALUES (1, 'um', 'nota um')");
    banco.executa("INSERT INTO TIPOS (ID, TEXTO, NOTA) VALUES (2, 'dois', 'nota dois')");
    std::optional<Linha> guardada;
    std::vector<Linha> primeiras;
    {
        Consulta c(transacao(), "SELECT ID, TEXTO, NOTA FROM TIPOS WHERE ID = :id");
        c.parametro("id", 1);
        primeiras = c.abre();
        const Linha& referencia = c.linhas().at(0);
        guardada = referencia;
        c.parametro("id", 2);
        const auto& segundas = c.abre();
        ASSERT_EQ(segundas.size(), 1u);
        EXPECT_EQ(segundas[0].texto("TEXTO"), "dois");
        EXPECT_EQ(&c.linhas(), &segundas);
        // An empty run drops the rows of the one before.
        c.parametro("id", 3);
        EXPECT_TRUE(c.abre().empty());
        EXPECT_TRUE(c.linhas().empty());
    }
    // The statement is gone; the rows taken from it read on.
    for (const Linha& l : {primeiras.at(0), *guardada}) {
        EXPECT_EQ(l.inteiro("ID"), 1);
        EXPECT_EQ(l.texto("TEXTO"), "um");
        EXPECT_EQ(l.texto("NOTA"), "nota um");
    }
}

TEST_F(ConsultaTest, ColunasPorNomeEmQualquerCaixa) {
    banco.executa("INSERT INTO TIPOS (ID, TEXTO) VALUES (1, 'x')");
    const Linha l =
        linhas(
            "SELECT t.texto AS nomeProfissional, t.ID, 2 AS \"ID\", 'ç' AS \"Ação\" FROM TIPOS t")
            .at(0);
    for (const char* nome : {"NOMEPROFISSIONAL", "nomeprofissional", "NomeProfissional"})
        EXPECT_EQ(l.texto(nome), "x") << nome;
    // The first column of a name wins.
    EXPECT_EQ(l.inteiro("id"), 1);
    EXPECT_EQ(l.texto("AçãO"), "ç");
    EXPECT_EQ(mensagemDe([&] { l.texto("naoexiste"); }), "Campo 'naoexiste' não encontrado");
    for (const std::function<void()>& le : std::initializer_list<std::function<void()>>{
             [&] { l.nulo("naoexiste"); }, [&] { l.inteiro("naoexiste"); },
             [&] { l.real("naoexiste"); }, [&] { l.dataHora("naoexiste"); }})
        EXPECT_THROW(le(), ErroBanco);
    EXPECT_THROW(Linha().texto("ID"), ErroBanco);
}

TEST_F(ConsultaTest, ErroDoServidorChegaComSeuTexto) {
    // An invalid text is refused where the statement is made.
    for (const char* sql :
         {"SELECT COLUNA_QUE_NAO_EXISTE FROM TIPOS", "SELEC ID FROM TIPOS WHERE ID = :id",
          "SELECT ID FROM TABELA_AUSENTE"}) {
        const std::string m = mensagemDe([&] { Consulta(transacao(), sql); });
        EXPECT_TRUE(m.find("COLUNA_QUE_NAO_EXISTE") != std::string::npos ||
                    m.find("SELEC") != std::string::npos ||
                    m.find("TABELA_AUSENTE") != std::string::npos)
            << sql << ": " << m;
        EXPECT_THROW(Consulta(transacao(), sql), ErroBanco);
    }
    Consulta insere(transacao(), "INSERT INTO TIPOS (ID) VALUES (:id)");
    insere.parametro("id", 1);
    insere.executa();
    const std::string m = mensagemDe([&] { insere.executa(); });
    EXPECT_NE(m.find("PRIMARY"), std::string::npos) << m;
    // The statement is still good after its run failed.
    insere.parametro("id", 2);
    EXPECT_NO_THROW(insere.executa());

    // A failure in the middle of the rows: no half result is left behind.
    Consulta divide(transacao(),
                    "SELECT 10 / (ID - CAST(:zero AS INTEGER)) Q FROM TIPOS ORDER BY ID");
    divide.parametro("zero", 99);
    EXPECT_EQ(divide.abre().size(), 2u);
    divide.parametro("zero", 2);
    EXPECT_NE(mensagemDe([&] { divide.abre(); }).find("divi"), std::string::npos);
    EXPECT_TRUE(divide.linhas().empty());
}

// A text of a UTF8 column that Windows-1252, the connection's text, cannot hold fails the
// statement as its row is fetched; the error carries that row and the column, found by
// reading the same statement, with the same parameters, in UTF-8. Accented letters that
// Windows-1252 has pass, in a walk and in a whole read alike.
TEST_F(ConsultaTest, TextoSemWin1252TrazALinhaEAColuna) {
    banco.executa(
        "CREATE TABLE U (ID INTEGER NOT NULL PRIMARY KEY, NOME VARCHAR(20) CHARACTER SET UTF8, "
        "SIGLA CHAR(2) CHARACTER SET UTF8)");
    banco.executa("INSERT INTO U VALUES (1, 'Ana', 'AA')");
    banco.executa("INSERT INTO U VALUES (2, " + teste::textoUtf8("José Ñandú") + ", 'BB')");
    banco.executa("INSERT INTO U VALUES (3, " + teste::textoUtf8("日本 Łódź") + ", 'CC')");
    banco.executa("INSERT INTO U VALUES (4, 'Rui', " + teste::textoUtf8("Ω") + ")");
    const std::string resto =
        " tem caracteres que o Windows-1252, a codificação da conexão com o banco de dados, não "
        "representa (日 本 Ł ź); corrija-o no sistema da clínica e exporte de novo";
    struct Caso {
        std::string sql;
        std::int64_t id;
        std::string coluna;
        std::string mensagem;
    };
    const Caso casos[] = {
        {"SELECT ID, NOME AS QUEM FROM U WHERE ID >= :desde ORDER BY ID", 3, "QUEM",
         "o texto '日本 Łódź' da coluna NOME da tabela U" + resto},
        {"SELECT ID, 'x' || NOME AS JUNTO FROM U WHERE ID >= :desde ORDER BY ID", 3, "JUNTO",
         "o texto 'x日本 Łódź' da coluna JUNTO da consulta" + resto},
        // The parameter holds: the third row is left out.
        {"SELECT ID, SIGLA FROM U WHERE ID <> :desde + 2 ORDER BY ID", 4, "SIGLA",
         "o texto 'Ω' da coluna SIGLA da tabela U tem caracteres que o Windows-1252, a "
         "codificação da conexão com o banco de dados, não representa (Ω); corrija-o no sistema "
         "da clínica e exporte de novo"},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.sql);
        Consulta q(transacao(), caso.sql);
        q.parametro("desde", 1);
        const std::function<void()> leituras[] = {[&] {
                                                      q.percorre();
                                                      while (q.proxima()) {
                                                      }
                                                  },
                                                  [&] { q.abre(); }};
        for (const auto& le : leituras) {
            try {
                le();
                ADD_FAILURE() << "leu um texto que o Windows-1252 não representa";
            } catch (const ErroTextoSemWin1252& e) {
                EXPECT_EQ(std::string(e.what()), caso.mensagem);
                ASSERT_NE(e.linha(), nullptr);
                EXPECT_EQ(e.linha()->inteiro("ID"), caso.id);
                EXPECT_EQ(e.coluna(), caso.coluna);
            }
        }
    }
    // The rows that Windows-1252 holds read as ever.
    const auto boas = linhas("SELECT NOME, SIGLA FROM U WHERE ID < 3 ORDER BY ID");
    ASSERT_EQ(boas.size(), 2u);
    EXPECT_EQ(boas[1].texto("NOME"), "José Ñandú");
    EXPECT_EQ(boas[1].texto("SIGLA"), "BB");
}

TEST_F(ConsultaTest, ProcedimentoERetornandoDaoUmaLinha) {
    banco.executa(
        "CREATE PROCEDURE DOBRO (X INTEGER) RETURNS (Y INTEGER, NOME VARCHAR(10)) AS "
        "BEGIN Y = X * 2; NOME = 'ação'; END");
    Consulta dobro(transacao(), "EXECUTE PROCEDURE DOBRO(:x)");
    dobro.parametro("x", 21);
    const auto& l = dobro.abre();
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].inteiro("Y"), 42);
    EXPECT_EQ(l[0].texto("NOME"), "ação");

    Consulta insere(transacao(),
                    "INSERT INTO TIPOS (ID, NOTA) VALUES (:id, :nota) RETURNING ID * 10 AS DEZ, "
                    "NOTA");
    insere.parametro("id", 4);
    insere.parametro("nota", std::string_view("blob de volta"));
    const auto& r = insere.abre();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].inteiro("DEZ"), 40);
    EXPECT_EQ(r[0].texto("NOTA"), "blob de volta");
    // Run for its effect alone, it keeps no row.
    insere.parametro("id", 5);
    insere.executa();
    EXPECT_TRUE(insere.linhas().empty());
    EXPECT_EQ(linhas("SELECT COUNT(*) N FROM TIPOS").at(0).inteiro("N"), 2);
}

TEST_F(ConsultaTest, MovidaContinuaAMesma) {
    banco.executa("INSERT INTO TIPOS (ID, TEXTO) VALUES (1, 'um')");
    std::vector<Consulta> consultas;
    for (int i = 0; i < 5; ++i) {
        Consulta c(transacao(), "SELECT TEXTO FROM TIPOS WHERE ID = :id");
        c.parametro("id", 1);
        consultas.push_back(std::move(c));
    }
    Consulta outra(transacao(), "SELECT 1 FROM RDB$DATABASE");
    outra = std::move(consultas.back());
    consultas.pop_back();
    EXPECT_EQ(outra.texto(), "SELECT TEXTO FROM TIPOS WHERE ID = :id");
    EXPECT_EQ(outra.abre().at(0).texto("TEXTO"), "um");
    EXPECT_EQ(consultas.front().abre().at(0).texto("TEXTO"), "um");
    // Five statements alive, and the count's own: the one overwritten was freed.
    EXPECT_EQ(comandosNoServidor(), 6);
}

TEST_F(ConsultaTest, FalhasNaoDeixamNadaAberto) {
    banco.executa("INSERT INTO TIPOS (ID, NOTA) VALUES (1, 'nota')");
    banco.executa("INSERT INTO TIPOS (ID, NOTA) VALUES (2, 'nota')");
    for (int i = 0; i < 20; ++i) {
        EXPECT_THROW(Consulta(transacao(), "SELECT NADA FROM TIPOS"), ErroBanco);
        EXPECT_THROW(Consulta(transacao(), "INSERT INTO TIPOS (ID) VALUES (1)").executa(),
                     ErroBanco);
        EXPECT_THROW(
            Consulta(transacao(), "SELECT NOTA, 1 / (2 - ID) Q FROM TIPOS ORDER BY ID").abre(),
            ErroBanco);
        Consulta c(transacao(), "SELECT NOTA FROM TIPOS WHERE ID = :id");
        EXPECT_THROW(c.parametro("nada", 1), ErroBanco);
    }
    EXPECT_EQ(comandosNoServidor(), 1);
    const auto transacoes =
        linhas(
            "SELECT COUNT(*) N FROM MON$TRANSACTIONS WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION")
            .at(0)
            .inteiro("N");
    EXPECT_EQ(transacoes, 1);
}

// A long result read row by row gives what the whole read gives, in the same order, with its
// blobs; a row copied keeps its values while the walk goes on.
TEST_F(ConsultaTest, PercorreDaAsLinhasDaLeituraInteira) {
    {
        Consulta insere(transacao(), "INSERT INTO TIPOS (ID, TEXTO, NOTA) VALUES (:id, :t, :n)");
        for (int i = 1; i <= 2500; ++i) {
            insere.parametro("id", i);
            insere.parametro("t", "ação " + std::to_string(i));
            insere.parametro("n", "nota " + std::to_string(i));
            insere.executa();
        }
    }
    Consulta c(transacao(), "SELECT ID, TEXTO, NOTA FROM TIPOS WHERE ID > :de ORDER BY ID DESC");
    c.parametro("de", 10);
    const std::vector<Linha> inteiras = c.abre();
    ASSERT_EQ(inteiras.size(), 2490u);

    c.percorre();
    EXPECT_TRUE(c.linhas().empty());
    std::optional<Linha> primeira;
    std::size_t n = 0;
    while (const Linha* l = c.proxima()) {
        ASSERT_LT(n, inteiras.size());
        EXPECT_EQ(l->inteiro("ID"), inteiras[n].inteiro("ID"));
        EXPECT_EQ(l->texto("TEXTO"), inteiras[n].texto("TEXTO"));
        EXPECT_EQ(l->texto("NOTA"), inteiras[n].texto("NOTA"));
        if (!primeira) primeira = *l;
        ++n;
    }
    EXPECT_EQ(n, inteiras.size());
    // Past the last row the walk stays over.
    EXPECT_EQ(c.proxima(), nullptr);
    ASSERT_TRUE(primeira);
    EXPECT_EQ(primeira->inteiro("ID"), 2500);
    EXPECT_EQ(primeira->texto("NOTA"), "nota 2500");

    // Walked again with another value, from its first row; a walk left halfway is closed by
    // the next run, whole or walked.
    c.parametro("de", 2497);
    c.percorre();
    ASSERT_NE(c.proxima(), nullptr);
    c.percorre();
    std::vector<std::int64_t> ids;
    while (const Linha* l = c.proxima()) ids.push_back(l->inteiro("ID"));
    EXPECT_EQ(ids, (std::vector<std::int64_t>{2500, 2499, 2498}));
    c.percorre();
    ASSERT_NE(c.proxima(), nullptr);
    EXPECT_EQ(c.abre().size(), 3u);
    EXPECT_EQ(c.proxima(), nullptr);
}

// Walks of several statements of one transaction go on side by side, as the records of a kind
// and their look-ups are read together; an empty result ends at once.
TEST_F(ConsultaTest, PercursosLadoALado) {
    for (int i = 1; i <= 1200; ++i)
        if (i % 100 == 0)
            banco.executa("INSERT INTO TIPOS (ID) VALUES (" + std::to_string(i) + ")");
    Consulta pares(transacao(), "SELECT ID FROM TIPOS WHERE MOD(ID, 200) = 0 ORDER BY ID");
    Consulta impares(transacao(), "SELECT ID FROM TIPOS WHERE MOD(ID, 200) <> 0 ORDER BY ID");
    Consulta nenhuma(transacao(), "SELECT ID FROM TIPOS WHERE ID < 0");
    pares.percorre();
    impares.percorre();
    nenhuma.percorre();
    EXPECT_EQ(nenhuma.proxima(), nullptr);
    std::vector<std::int64_t> intercaladas;
    for (;;) {
        const Linha* a = impares.proxima();
        const Linha* b = pares.proxima();
        if (!a && !b) break;
        if (a) intercaladas.push_back(a->inteiro("ID"));
        if (b) intercaladas.push_back(b->inteiro("ID"));
    }
    std::vector<std::int64_t> esperadas;
    for (int i = 100; i <= 1200; i += 100) esperadas.push_back(i);
    EXPECT_EQ(intercaladas, esperadas);
}

// A statement without a cursor walks its one row; a failure in the middle of a walk reaches
// the caller with the server's text, and the statement walks again afterwards.
TEST_F(ConsultaTest, PercursoDeProcedimentoEFalhaNoMeio) {
    banco.executa("CREATE PROCEDURE DOBRO (X INTEGER) RETURNS (Y INTEGER) AS BEGIN Y = X * 2; END");
    for (int id : {1, 2, 3})
        banco.executa("INSERT INTO TIPOS (ID) VALUES (" + std::to_string(id) + ")");
    Consulta dobro(transacao(), "EXECUTE PROCEDURE DOBRO(:x)");
    dobro.parametro("x", 21);
    dobro.percorre();
    const Linha* y = dobro.proxima();
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(y->inteiro("Y"), 42);
    EXPECT_EQ(dobro.proxima(), nullptr);

    Consulta divide(transacao(),
                    "SELECT 10 / (ID - CAST(:zero AS INTEGER)) Q FROM TIPOS ORDER BY ID");
    divide.parametro("zero", 2);
    divide.percorre();
    ASSERT_NE(divide.proxima(), nullptr);
    EXPECT_NE(mensagemDe([&] { divide.proxima(); }).find("divi"), std::string::npos);
    divide.parametro("zero", 99);
    divide.percorre();
    int n = 0;
    while (divide.proxima()) ++n;
    EXPECT_EQ(n, 3);
}

// Each run of a statement counts one, whole, walked or for its effect; reading rows counts
// nothing.
TEST_F(ConsultaTest, ComandosExecutadosContaCadaExecucao) {
    for (int id : {1, 2, 3})
        banco.executa("INSERT INTO TIPOS (ID) VALUES (" + std::to_string(id) + ")");
    Consulta todas(transacao(), "SELECT ID FROM TIPOS");
    Consulta insere(transacao(), "INSERT INTO TIPOS (ID) VALUES (:id)");
    struct Caso {
        const char* nome;
        std::function<void()> faz;
        std::uint64_t comandos;
    };
    const Caso casos[] = {
        {"preparar", [&] { Consulta(transacao(), "SELECT 1 FROM RDB$DATABASE"); }, 0},
        {"abre", [&] { todas.abre(); }, 1},
        {"percorre e lê tudo",
         [&] {
             todas.percorre();
             while (todas.proxima()) {
             }
         },
         1},
        {"executa duas vezes",
         [&] {
             insere.parametro("id", 10);
             insere.executa();
             insere.parametro("id", 11);
             insere.executa();
         },
         2},
        {"lê as linhas guardadas", [&] { todas.linhas(); }, 0},
    };
    for (const Caso& caso : casos) {
        const std::uint64_t antes = comandosExecutados();
        caso.faz();
        EXPECT_EQ(comandosExecutados() - antes, caso.comandos) << caso.nome;
    }
}

TEST(ConsultaEmThreads, CadaThreadComSeuErro) {
    BancoTeste banco;
    banco.executa("CREATE TABLE T (ID INTEGER)");
    banco.executa("INSERT INTO T VALUES (1)");
    // A run on a worker thread while another goes on: each sees its own rows and its own
    // server messages.
    auto execucao = [&](const std::string& coluna, std::vector<std::string>& falhas) {
        try {
            Conexao conexao;
            conexao.abre(banco.caminho());
            Transacao transacao(conexao);
            for (int i = 0; i < 30; ++i) {
                const std::string m =
                    mensagemDe([&] { Consulta(transacao, "SELECT " + coluna + " FROM T"); });
                if (m.find(coluna) == std::string::npos) falhas.push_back(m);
                Consulta c(transacao, "SELECT ID + CAST(:n AS INTEGER) AS V FROM T");
                c.parametro("n", i);
                if (c.abre().at(0).inteiro("V") != i + 1) falhas.push_back("valor errado");
            }
        } catch (const Erro& e) {
            falhas.push_back(e.what());
        }
    };
    std::vector<std::string> falhasA, falhasB;
    std::thread outra(execucao, "COLUNA_DA_OUTRA", std::ref(falhasB));
    execucao("COLUNA_DESTA", falhasA);
    outra.join();
    EXPECT_EQ(falhasA, std::vector<std::string>{});
    EXPECT_EQ(falhasB, std::vector<std::string>{});
}

}  // namespace
}  // namespace cds
