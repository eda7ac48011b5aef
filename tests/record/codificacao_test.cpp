#include "record/codificacao.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "comum/erro.hpp"

namespace cds {
namespace {

using ::testing::HasSubstr;

struct Caso {
    std::string entrada;
    std::string esperado;
};

// A conversion failure must name the value the operator has to go and fix.
template <typename Funcao>
void esperaFalhaNomeando(Funcao&& funcao, const std::string& valor) {
    try {
        funcao();
        ADD_FAILURE() << "'" << valor << "' foi aceito";
    } catch (const ErroConversao& e) {
        EXPECT_THAT(e.what(), HasSubstr("'" + valor + "'"));
    }
}

TEST(DataParaLong, ConverteDatasEDatasComHora) {
    const Caso casos[] = {
        {"15/10/2019", "1571133601000"},  // a date alone is 10:00:01
        {"15/10/2019 14:35:00", "1571150100000"},
        {"01/01/1970", "36001000"},
        {"", ""},
        {"15/10/2019 14:35", "1571150100000"},         // seconds are optional
        {"15/10/2019 14:35:00.987", "1571150100000"},  // after the seconds, dropped
        {"15/10/2019 14:35:00 -0300", "1571150100000"},
        {"15/10/2019 00:00:00", "1571097600000"},  // read as UTC, no zone shift
        {"15/10/2019 23:59:59", "1571183999000"},
        {" 15/10/2019 ", "1571133601000"},  // ten characters once trimmed
        {"29/02/2020", "1582970401000"},
        {"31/12/1969", "-50399000"},  // before 1970: negative
        {"01/01/1900", "-2208952799000"},
        {"5/1/2019 8:05", "1546675500000"},  // one-digit parts as Windows writes them
    };
    for (const auto& c : casos) EXPECT_EQ(DataParaLong(c.entrada), c.esperado) << c.entrada;
}

// Dates read as values follow the text's rule: a value at midnight (a DATE column, or a
// TIMESTAMP whose text has no time) stands for 10:00:01 of its day.
TEST(DataParaLong, ValoresLidosDoBanco) {
    EXPECT_EQ(DataParaLong(std::optional<DataHora>{}), "");
    EXPECT_EQ(DataParaLong(std::optional<DataHora>{DataHora{2019, 10, 15}}), "1571133601000");
    EXPECT_EQ(DataParaLong(std::optional<DataHora>{DataHora{2019, 10, 15, 14, 35, 0}}),
              "1571150100000");
    EXPECT_EQ(momentoParaLong({2019, 10, 15, 0, 0, 0}), "1571097600000");
    EXPECT_EQ(momentoParaLong({1969, 12, 31, 10, 0, 1}), "-50399000");
}

TEST(DataParaLong, TextoQueNaoEDataEncerraComErroDeConversao) {
    const std::string invalidos[] = {
        "  /  /    ",  // the empty date mask
        "31/02/2019",  // no such day
        "15/13/2019",
        "15/10/19",  // two-digit year
        "15/10/2019 24:00:00",
        "15/10/2019 14:60",
        "15/10/201914:35:00",  // no blank between date and time
        "15/10/2019x",
        "2019-10-15",
        "abc",
    };
    for (const auto& texto : invalidos) esperaFalhaNomeando([&] { DataParaLong(texto); }, texto);
}

TEST(VerCbo, SubstituiSoOsQuatroCodigosDeTecnico) {
    const Caso casos[] = {
        {"322245", "223505"},   {"322205", "223505"},
        {"322230", "223505"},   {"322250", "223505"},
        {"322245 ", "322245 "},  // not trimmed
        {"225125", "225125"},   {"", ""},
    };
    for (const auto& c : casos) EXPECT_EQ(VerCbo(c.entrada), c.esperado) << c.entrada;
}

TEST(ZeroEsquerda, PreencheComZerosSemCortar) {
    struct CasoLargura {
        std::string texto;
        int largura;
        std::string esperado;
    };
    const CasoLargura casos[] = {
        {"12345", 7, "0012345"},
        {"0012345", 7, "0012345"},
        {"123456789", 7, "123456789"},  // longer is not cut
        {"000123", 2, "123"},           // leading zeros of the input go
        {"", 7, ""},
        {"   42", 5, "00042"},  // leading blanks
        {"+42", 5, "00042"},
        {"-42", 5, "00-42"},  // the sign stays inside the padding
        {"-0", 3, "000"},
        {"7", 0, "7"},
        {"9223372036854775807", 1, "9223372036854775807"},
        {"-9223372036854775808", 1, "-9223372036854775808"},
    };
    for (const auto& c : casos)
        EXPECT_EQ(ZeroEsquerda(c.texto, c.largura), c.esperado) << c.texto << "/" << c.largura;
}

TEST(ZeroEsquerda, TextoQueNaoEInteiroEncerraComErroDeConversao) {
    const std::string invalidos[] = {
        "12a",
        "12 ",
        "1 2",
        " ",
        "abc",
        "+",
        "-",
        "+-5",
        "1.5",
        "0x1A",
        "$1A",
        "9223372036854775808",  // past 64 bits
    };
    for (const auto& texto : invalidos) esperaFalhaNomeando([&] { ZeroEsquerda(texto, 7); }, texto);

    try {
        ZeroEsquerda("12a", 7);
        FAIL();
    } catch (const ErroConversao& e) {
        EXPECT_STREQ(e.what(), "'12a' não é um valor inteiro válido");
    }
}

TEST(SoNumeros, GuardaSoOsDigitos) {
    const Caso casos[] = {
        {"(48) 3333-4444", "4833334444"}, {"3333-4444", "33334444"}, {"", ""}, {"sem telefone", ""},
        {"Tel: 0 11 9 ½", "0119"},        {"0048", "0048"},
    };
    for (const auto& c : casos) EXPECT_EQ(SoNumeros(c.entrada), c.esperado) << c.entrada;
}

TEST(ExtraiCampo, DevolveAPecaOuAUltima) {
    struct CasoPeca {
        std::string texto;
        int n;
        std::string esperado;
    };
    const std::string id = "2345678-da1cb4c9-0004-0000-0001-00000000123";
    const CasoPeca casos[] = {
        {"a-b-c", 1, "a"},  {"a-b-c", 2, "b"}, {"a-b-c", 3, "c"},
        {"a-b-c", 4, "c"},  // past the count: the last piece
        {"a-b-c", 0, "c"},  // zero or less: the last piece
        {"a-b-c", -1, "c"}, {"abc", 1, "abc"}, {"abc", 2, "abc"},
        {"a--c", 2, ""},  // empty pieces count
        {"a-b-", 3, ""},    {"a-b-", 9, ""},   {"-a", 1, ""},
        {"", 1, ""},        {id, 5, "0001"},   {id, 6, "00000000123"},
    };
    for (const auto& c : casos)
        EXPECT_EQ(ExtraiCampo(c.texto, c.n, '-'), c.esperado) << c.texto << "/" << c.n;
    EXPECT_EQ(ExtraiCampo("a;b", 2, ';'), "b");
}

TEST(Arredonda, MetadesParaLongeDoZeroPeloValorDecimal) {
    struct CasoNumero {
        double valor;
        std::int64_t esperado;
    };
    const CasoNumero casos[] = {
        {72.5, 73},
        {72.4999, 72},
        {-72.5, -73},
        {0.5, 1},
        {1.5, 2},
        {2.5, 3},
        {0.0, 0},
        {-0.4, 0},
        {1.75 * 100, 175},
        // Binary artefacts just below a half: the decimal value is a half and goes up.
        {0.285 * 100, 29},
        {1.005 * 100, 101},
        {-0.285 * 100, -29},
        {1.65 * 100, 165},  // and just below a whole number stays on it
    };
    for (const auto& c : casos) EXPECT_EQ(arredonda(c.valor), c.esperado) << c.valor;
}

TEST(FormataNumero, PadroesDeMedidas) {
    struct CasoPadrao {
        double valor;
        std::string padrao;
        std::string esperado;
    };
    const CasoPadrao casos[] = {
        {72.5, "0,##", "73"},
        {72.4, "0,##", "72"},
        {0.4, "0,##", "0"},
        {1234.5, "0,##", "1.235"},  // the comma asks for thousands separators
        {1234567, "0,##", "1.234.567"},
        {175, "00000", "00175"},
        {1.75 * 100, "00000", "00175"},
        {20, "00000", "00020"},
        {250, "00000", "00250"},
        {123456, "00000", "123456"},
        {0.285 * 100, "00000", "00029"},
        {10, "000000", "000010"},
        {200, "000000", "000200"},
        {-3.5, "00000", "-00004"},
        {0.2, "#", ""},
    };
    for (const auto& c : casos)
        EXPECT_EQ(formataNumero(c.valor, c.padrao), c.esperado) << c.valor << " " << c.padrao;
}

TEST(FormataNumero, PadraoComDecimaisNaoESuportado) {
    EXPECT_THROW(formataNumero(1.5, "0.00"), std::invalid_argument);
}

}  // namespace
}  // namespace cds
