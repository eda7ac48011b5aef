#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "suporte/banco_teste.hpp"

namespace cds::teste {

// An SQL expression for the UTF-8 text `texto` as a UTF8 value, whatever the connection's
// character set: the bytes go as a binary literal, which no connection converts.
inline std::string textoUtf8(std::string_view texto) {
    std::string hexa;
    for (const char c : texto) {
        char par[3];
        std::snprintf(par, sizeof par, "%02X", static_cast<unsigned char>(c));
        hexa += par;
    }
    return "CAST(x'" + hexa + "' AS VARCHAR(" + std::to_string(texto.size()) +
           ") CHARACTER SET UTF8)";
}

// Makes a WIN1252 column of the schema a UTF8 one of type `tipo` ("VARCHAR(70)"), as a
// clinical system whose newer columns are UTF8 has it; its values are kept.
inline void colunaEmUtf8(BancoTeste& banco, const std::string& tabela, const std::string& coluna,
                         const std::string& tipo) {
    banco.executa("ALTER TABLE " + tabela + " ADD UTF8_NOVA " + tipo + " CHARACTER SET UTF8");
    banco.executa("UPDATE " + tabela + " SET UTF8_NOVA = " + coluna);
    banco.executa("ALTER TABLE " + tabela + " DROP " + coluna);
    banco.executa("ALTER TABLE " + tabela + " ALTER UTF8_NOVA TO " + coluna);
}

}  // namespace cds::teste
