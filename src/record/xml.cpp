#include "record/xml.hpp"

namespace cds {

std::string escapaXml(std::string_view valor) {
    std::string saida;
    saida.reserve(valor.size());
    for (char c : valor) {
        switch (c) {
            case '&':
                saida += "&amp;";
                break;
            case '<':
                saida += "&lt;";
                break;
            case '>':
                saida += "&gt;";
                break;
            case '\t':
            case '\n':
            case '\r':
                saida += c;
                break;
            default:
                // Bytes of multi-byte UTF-8 sequences are all 0x80 or above and pass through.
                if (static_cast<unsigned char>(c) >= 0x20) saida += c;
        }
    }
    return saida;
}

std::string elementoXml(std::string_view tag, std::string_view valor) {
    std::string linha;
    linha.reserve(2 * tag.size() + valor.size() + 5);
    linha += '<';
    linha += tag;
    linha += '>';
    linha += escapaXml(valor);
    linha += "</";
    linha += tag;
    linha += '>';
    return linha;
}

}  // namespace cds
