#include "record/xml.hpp"

#include <gtest/gtest.h>

#include <string>

namespace cds {
namespace {

TEST(EscapaXml, EscapaMarcacaoETiraControlesProibidos) {
    struct Caso {
        std::string entrada;
        std::string esperado;
    };
    const Caso casos[] = {
        {"MARIA & JOSÉ", "MARIA &amp; JOSÉ"},
        {"<b>x</b>", "&lt;b&gt;x&lt;/b&gt;"},
        {"]]>", "]]&gt;"},
        {"&amp;", "&amp;amp;"},  // already escaped text is escaped again: values are raw
        {"a\tb\nc\rd", "a\tb\nc\rd"},
        {"a\x01"
         "b\x1f"
         "c\x0b",
         "abc"},
        {std::string("a\0b", 3), "ab"},
        {"\x7f", "\x7f"},
        {"Conceição \"Zé\" d'Ávila", "Conceição \"Zé\" d'Ávila"},
        {"", ""},
    };
    for (const auto& c : casos) EXPECT_EQ(escapaXml(c.entrada), c.esperado) << c.entrada;
}

TEST(ElementoXml, TagValorEscapadoETagDeFechamento) {
    EXPECT_EQ(elementoXml("nomeCidadao", "A & B <C>"),
              "<nomeCidadao>A &amp; B &lt;C&gt;</nomeCidadao>");
    EXPECT_EQ(elementoXml("ineDadoSerializado", ""), "<ineDadoSerializado></ineDadoSerializado>");
}

}  // namespace
}  // namespace cds
