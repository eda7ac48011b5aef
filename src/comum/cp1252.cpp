#include "comum/cp1252.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

namespace cds {
namespace {

// Code points of the bytes 0x80..0x9F; the rest of the page is Latin-1.
constexpr std::array<char32_t, 32> kFaixa80 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void acrescentaUtf8(std::string& saida, char32_t cp) {
    if (cp < 0x80) {
        saida += static_cast<char>(cp);
    } else if (cp < 0x800) {
        saida += static_cast<char>(0xC0 | (cp >> 6));
        saida += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        saida += static_cast<char>(0xE0 | (cp >> 12));
        saida += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        saida += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

int byteCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (std::size_t i = 0; i < kFaixa80.size(); ++i)
        if (kFaixa80[i] == cp) return static_cast<int>(0x80 + i);
    return '?';
}

// The code point whose UTF-8 sequence begins at `i`, and the sequence's length; a malformed
// byte is not valid and counts as one.
struct Lido {
    char32_t cp = 0;
    std::size_t tamanho = 1;
    bool valido = false;
};

Lido le(std::string_view utf8, std::size_t i) {
    const auto b = static_cast<std::uint8_t>(utf8[i]);
    if (b < 0x80) return {b, 1, true};
    // Length of the sequence from its lead byte.
    const std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    char32_t cp = n == 4 ? b & 0x07 : n == 3 ? b & 0x0F : b & 0x1F;
    bool valido = n > 1 && i + n <= utf8.size();
    for (std::size_t k = 1; valido && k < n; ++k) {
        const auto c = static_cast<std::uint8_t>(utf8[i + k]);
        if ((c & 0xC0) != 0x80) valido = false;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (!valido) return {};
    return {cp, n, true};
}

}  // namespace

std::string cp1252ParaUtf8(std::string_view cp1252) {
    std::string saida;
    saida.reserve(cp1252.size() + cp1252.size() / 8);
    for (const char c : cp1252) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x80)
            saida += c;
        else if (b < 0xA0)
            acrescentaUtf8(saida, kFaixa80[b - 0x80]);
        else
            acrescentaUtf8(saida, b);
    }
    return saida;
}

std::string utf8ParaCp1252(std::string_view utf8) {
    std::string saida;
    saida.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const Lido l = le(utf8, i);
        saida += l.valido ? static_cast<char>(byteCp1252(l.cp)) : '?';
        i += l.tamanho;
    }
    return saida;
}

std::vector<std::string> foraDoCp1252(std::string_view utf8) {
    std::vector<std::string> fora;
    for (std::size_t i = 0; i < utf8.size();) {
        const Lido l = le(utf8, i);
        if (l.valido && l.cp != U'?' && byteCp1252(l.cp) == '?') {
            std::string c(utf8.substr(i, l.tamanho));
            if (std::find(fora.begin(), fora.end(), c) == fora.end()) fora.push_back(std::move(c));
        }
        i += l.tamanho;
    }
    return fora;
}

}  // namespace cds
