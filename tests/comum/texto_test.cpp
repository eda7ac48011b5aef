#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "comum/datahora.hpp"
#include "comum/texto.hpp"

namespace cds {
namespace {

struct Caso {
    std::string entrada;
    std::string esperado;
};

TEST(Apara, TiraBrancosEControlesDasPontas) {
    const Caso casos[] = {
        {"  123  ", "123"}, {"\t12 3\r\n", "12 3"}, {"   ", ""}, {"", ""}, {"José ", "José"},
    };
    for (const auto& c : casos) EXPECT_EQ(apara(c.entrada), c.esperado) << c.entrada;
}

// Only ASCII letters change: the clinical system compares "MASCULINO" and the like.
TEST(Maiusculas, SoLetrasAscii) {
    const Caso casos[] = {{"Masculino", "MASCULINO"}, {"ação", "AçãO"}, {"a1-b", "A1-B"}, {"", ""}};
    for (const auto& c : casos) EXPECT_EQ(maiusculas(c.entrada), c.esperado) << c.entrada;
    EXPECT_EQ(minusculas("ExameAvaliado"), "exameavaliado");
}

TEST(Maiusculas, AcentuadasDoPortugues) {
    const Caso casos[] = {{"manhã", "MANHÃ"},
                          {"Manhã", "MANHÃ"},
                          {"ação é útil", "AÇÃO É ÚTIL"},
                          {"àþ÷", "ÀÞ÷"},
                          {"ÿ€", "ÿ€"},
                          {"MANHÃ", "MANHÃ"},
                          {"tarde", "TARDE"},
                          {"", ""}};
    for (const auto& c : casos) EXPECT_EQ(maiusculasAcentuadas(c.entrada), c.esperado) << c.entrada;
}

// Lengths are of characters: a card number typed with an accented letter is still 15 long.
TEST(Comprimento, ContaCaracteresNaoBytes) {
    const std::pair<std::string, std::size_t> casos[] = {
        {"", 0}, {"898001234560101", 15}, {"89800123456010é", 15}, {"ãõ€", 3}, {"a b", 3}};
    for (const auto& [texto, n] : casos) EXPECT_EQ(comprimento(texto), n) << texto;
}

TEST(SoDigitos, SoZeroANove) {
    EXPECT_TRUE(soDigitos(""));
    EXPECT_TRUE(soDigitos("0123456789"));
    for (const char* t : {" 1", "1 ", "-1", "+1", "1.0", "１", "a"})
        EXPECT_FALSE(soDigitos(t)) << t;
}

TEST(Utf8Valido, SoSequenciasBemFormadas) {
    const std::pair<std::string, bool> casos[] = {
        {"", true},
        {"São Luís", true},
        {"€ – “x” 😀", true},
        {"\x7F\t\r\n", true},
        {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF, the last code point
        // Windows-1252, as an editor of Windows saves "São Luís" and "café".
        {"S\xE3o Lu\xEDs", false},
        {"caf\xE9", false},
        {"23\xE9", false},
        {"\x80", false},  // a continuation byte alone
        {"\xC3", false},  // a sequence cut short
        {"\xE2\x82", false},
        {"\xC0\xAF", false},  // an overlong "/"
        {"\xE0\x80\xAF", false},
        {"\xF0\x80\x80\xAF", false},
        {"\xED\xA0\x80", false},      // a surrogate
        {"\xF4\x90\x80\x80", false},  // past U+10FFFF
        {"\xF8\x88\x80\x80\x80", false},
        {"\xFF", false},
        // Long runs of ASCII, read eight bytes at a time, with what follows them.
        {"<codIbge>S\xC3\xA3o Lu\xC3\xADs</codIbge>", true},
        {"<codIbge>S\xE3o Lu\xEDs</codIbge>", false},
        {"12345678\xE9", false},
        {"1234567\xC3\xA9", true},
        {"12345678\xC3", false},
        {"1234567812345678", true},
        {"1234567812345678\xE2\x82\xAC", true},
        {"1234567812345678\xE2\x82", false},
    };
    for (const auto& [texto, valido] : casos)
        EXPECT_EQ(utf8Valido(texto), valido) << textoVisivel(texto);
}

TEST(TextoVisivel, ControlesEBytesSoltosFicamVisiveis) {
    const Caso casos[] = {
        {"São Luís", "São Luís"},
        {"caf\xE9", "caf\\xE9"},
        {"9\n[GERAL]\r\nDATABASE=x", "9\\n[GERAL]\\r\\nDATABASE=x"},
        {"a\tb\x01\x7F", "a\\tb\\x01\\x7F"},
        {"\xC3", "\\xC3"},
        {"", ""},
    };
    for (const auto& c : casos) EXPECT_EQ(textoVisivel(c.entrada), c.esperado) << c.esperado;
}

TEST(ZeroEsquerdaInt, PreencheComZerosSemCortar) {
    struct CasoInt {
        std::int64_t valor;
        int largura;
        std::string esperado;
    };
    const CasoInt casos[] = {
        {5, 4, "0005"}, {1, 4, "0001"},  {10000, 4, "10000"},
        {0, 2, "00"},   {-5, 4, "00-5"}, {123, 11, "00000000123"},
    };
    for (const auto& c : casos)
        EXPECT_EQ(ZeroEsquerdaInt(c.valor, c.largura), c.esperado) << c.valor << "/" << c.largura;
}

TEST(LeDataHora, FormasAceitas) {
    struct CasoData {
        const char* texto;
        DataHora valor;
        bool temData, temHora;
    };
    const CasoData casos[] = {
        {"15/10/2019", {2019, 10, 15}, true, false},
        {" 15/10/2019 ", {2019, 10, 15}, true, false},
        {"15/10/2019 14:35:07", {2019, 10, 15, 14, 35, 7}, true, true},
        {"5/1/2019  8:05", {2019, 1, 5, 8, 5, 0}, true, true},
        {"14:35:00", {0, 0, 0, 14, 35, 0}, false, true},
        {"00:00", {}, false, true},
        {"29/02/2020 23:59:59", {2020, 2, 29, 23, 59, 59}, true, true},
    };
    for (const auto& c : casos) {
        const auto lida = leDataHora(c.texto);
        ASSERT_TRUE(lida) << c.texto;
        EXPECT_EQ(lida->valor, c.valor) << c.texto;
        EXPECT_EQ(lida->temData, c.temData) << c.texto;
        EXPECT_EQ(lida->temHora, c.temHora) << c.texto;
    }
}

TEST(LeDataHora, FormasRecusadas) {
    for (const char* t :
         {"", "   ", "  /  /    ", "31/02/2019", "29/02/2019", "15/13/2019", "15/10/19",
          "15/10/20190", "15/10/2019T14:35", "15/10/201914:35", "24:00", "14:60", "14:35:60", "14",
          "2019-10-15", "15/10/2019 14:35 x", "00/10/2019", "15/10/0000"})
        EXPECT_FALSE(leDataHora(t)) << "'" << t << "'";
}

// What textoData writes, leDataHora reads back as the same day.
TEST(TextoData, DiaMesAnoComZerosELidoDeVolta) {
    struct CasoTexto {
        DataHora data;
        const char* esperado;
    };
    const CasoTexto casos[] = {
        {{2019, 10, 15}, "15/10/2019"},
        {{2020, 1, 5, 14, 35, 7}, "05/01/2020"},  // the time is no part of it
        {{900, 2, 3}, "03/02/0900"},
        {{9999, 12, 31}, "31/12/9999"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(textoData(c.data), c.esperado) << c.esperado;
        const auto lida = leDataHora(textoData(c.data));
        ASSERT_TRUE(lida) << c.esperado;
        EXPECT_EQ(lida->valor, (DataHora{c.data.ano, c.data.mes, c.data.dia})) << c.esperado;
    }
}

}  // namespace
}  // namespace cds
