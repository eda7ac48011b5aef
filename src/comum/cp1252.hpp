#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cds {

// The program keeps text in UTF-8; the clinic's database and erros.txt speak Windows-1252.
// These two cross that boundary and nowhere else.

// Characters with no Windows-1252 form become "?", as the Windows conversion does.
std::string utf8ParaCp1252(std::string_view utf8);

// The characters of `utf8` that have no Windows-1252 form (each once, in the order they first
// come), which utf8ParaCp1252 would turn into "?".
std::vector<std::string> foraDoCp1252(std::string_view utf8);

// Every Windows-1252 byte has a UTF-8 form; the five unassigned bytes map to the C1 controls
// of the same value, as Windows does.
std::string cp1252ParaUtf8(std::string_view cp1252);

}  // namespace cds
