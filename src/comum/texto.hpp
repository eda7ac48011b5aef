#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cds {

// The small text helpers every layer uses, defined once.

// FNV-1a, 64 bits, over texts given in turn: the same as over their concatenation. A hash for
// tables and names, not for guarding against anyone.
class HashDeTexto {
  public:
    void soma(std::string_view texto) {
        for (const unsigned char c : texto) valor_ = (valor_ ^ c) * 0x100000001b3ull;
    }
    std::uint64_t valor() const { return valor_; }

  private:
    std::uint64_t valor_ = 0xcbf29ce484222325ull;
};

// The text without the blanks and control characters around it.
std::string_view apara(std::string_view texto);

// ASCII letters in upper or lower case; every other byte (accented letters in UTF-8 among
// them) is kept as it is, as the clinical system's comparisons expect.
std::string maiusculas(std::string_view texto);
std::string minusculas(std::string_view texto);
// Upper case also for the accented letters of Portuguese ("manhã" gives "MANHÃ"): ASCII and
// the Latin-1 letters à to þ; every other character is kept.
std::string maiusculasAcentuadas(std::string_view texto);

// The number of characters of a UTF-8 text, which is not its number of bytes once an accented
// letter is in it.
std::size_t comprimento(std::string_view texto);

// The number in decimal with "0" in front up to `largura` characters; never cut, and a minus
// sign stays inside the padding (-5 in 4 is "00-5"). Every zero-padded number of the program
// comes from here.
std::string ZeroEsquerdaInt(std::int64_t valor, int largura);

// True when the text is made of the digits 0 to 9 only (the empty text too).
bool soDigitos(std::string_view texto);

// True when the text is well-formed UTF-8: no stray continuation byte, no sequence cut short,
// no overlong form, no surrogate, nothing past U+10FFFF. A byte of Windows-1252 text ("S\xE3o")
// is not.
bool utf8Valido(std::string_view texto);

// The text as it can be shown in a message: control characters as \n, \r, \t or \xNN, and
// bytes that are not UTF-8 as \xNN, so that a refused value is seen as typed and the message
// itself stays text.
std::string textoVisivel(std::string_view texto);

}  // namespace cds
