#pragma once

#include <string>
#include <string_view>

namespace cds {

// The small text helpers every layer uses, defined once.

// The text without the blanks and control characters around it.
std::string_view apara(std::string_view texto);

// ASCII letters in upper or lower case; every other byte (accented letters in UTF-8 among
// them) is kept as it is, as the clinical system's comparisons expect.
std::string maiusculas(std::string_view texto);
std::string minusculas(std::string_view texto);

// True when the text is made of the digits 0 to 9 only (the empty text too).
bool soDigitos(std::string_view texto);

}  // namespace cds
