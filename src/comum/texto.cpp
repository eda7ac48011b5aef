#include "comum/texto.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

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

std::string ZeroEsquerdaInt(std::int64_t valor, int largura) {
    std::string texto = std::to_string(valor);
    if (static_cast<int>(texto.size()) < largura)
        texto.insert(0, static_cast<std::size_t>(largura) - texto.size(), '0');
    return texto;
}

bool soDigitos(std::string_view texto) {
    return std::all_of(texto.begin(), texto.end(), [](char c) { return c >= '0' && c <= '9'; });
}

namespace {

// The length of the well-formed UTF-8 sequence at the start of `texto`, or 0 when there is
// none there.
std::size_t sequenciaUtf8(std::string_view texto) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(texto[i]); };
    const unsigned char b0 = byte(0);
    if (b0 < 0x80) return 1;
    std::size_t tamanho = 0;
    // The range the second byte may take: narrower after E0, ED, F0 and F4, so that overlong
    // forms, surrogates and code points past U+10FFFF are refused.
    unsigned char minimo = 0x80, maximo = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        tamanho = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        tamanho = 3;
        if (b0 == 0xE0) minimo = 0xA0;
        if (b0 == 0xED) maximo = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        tamanho = 4;
        if (b0 == 0xF0) minimo = 0x90;
        if (b0 == 0xF4) maximo = 0x8F;
    } else {
        return 0;
    }
    if (texto.size() < tamanho) return 0;
    if (byte(1) < minimo || byte(1) > maximo) return 0;
    for (std::size_t i = 2; i < tamanho; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return tamanho;
}

}  // namespace

bool utf8Valido(std::string_view texto) {
    while (!texto.empty()) {
        // Runs of ASCII, most of a record's text, eight bytes at a time.
        std::uint64_t oito = 0;
        while (texto.size() >= sizeof oito) {
            std::memcpy(&oito, texto.data(), sizeof oito);
            if (oito & 0x8080808080808080ull) break;
            texto.remove_prefix(sizeof oito);
        }
        if (texto.empty()) break;
        const std::size_t n = sequenciaUtf8(texto);
        if (n == 0) return false;
        texto.remove_prefix(n);
    }
    return true;
}

std::string textoVisivel(std::string_view texto) {
    std::string visivel;
    while (!texto.empty()) {
        const auto byte = static_cast<unsigned char>(texto.front());
        const std::size_t n = sequenciaUtf8(texto);
        if (n > 1 || (n == 1 && byte >= 0x20 && byte != 0x7F)) {
            visivel.append(texto.substr(0, n));
            texto.remove_prefix(n);
            continue;
        }
        if (byte == '\n') {
            visivel += "\\n";
        } else if (byte == '\r') {
            visivel += "\\r";
        } else if (byte == '\t') {
            visivel += "\\t";
        } else {
            char hexa[5];
            std::snprintf(hexa, sizeof hexa, "\\x%02X", byte);
            visivel += hexa;
        }
        texto.remove_prefix(1);
    }
    return visivel;
}

}  // namespace cds
