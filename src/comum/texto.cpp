#include "comum/texto.hpp"

#include <algorithm>

namespace cds {

std::string_view apara(std::string_view texto) {
    const auto branco = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!texto.empty() && branco(texto.front())) texto.remove_prefix(1);
    while (!texto.empty() && branco(texto.back())) texto.remove_suffix(1);
    return texto;
}

std::string maiusculas(std::string_view texto) {
    std::string r(texto);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

std::string minusculas(std::string_view texto) {
    std::string r(texto);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string maiusculasAcentuadas(std::string_view texto) {
    std::string r = maiusculas(texto);
    // In UTF-8 the Latin-1 small letters à..þ are C3 A0..C3 BE and their capitals C3 80..C3 9E;
    // C3 B7 is the division sign.
    for (std::size_t i = 0; i + 1 < r.size(); ++i) {
        const auto segundo = static_cast<unsigned char>(r[i + 1]);
        if (static_cast<unsigned char>(r[i]) == 0xC3 && segundo >= 0xA0 && segundo <= 0xBE &&
            segundo != 0xB7) {
            r[i + 1] = static_cast<char>(segundo - 0x20);
            ++i;
        }
    }
    return r;
}

std::size_t comprimento(std::string_view texto) {
    // Continuation bytes (10xxxxxx) belong to the character before them.
    return static_cast<std::size_t>(std::count_if(texto.begin(), texto.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

bool soDigitos(std::string_view texto) {
    return std::all_of(texto.begin(), texto.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace cds
