#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "comum/datahora.hpp"
#include "comum/texto.hpp"

namespace cds {

// The value encodings every record shares. Text in, text out; a value that cannot be read
// raises ErroConversao with a message naming it, which ends the run.

// A date ("dd/mm/yyyy", standing for 10:00:01 of that day) or a date and time
// ("dd/mm/yyyy hh:mm[:ss]", anything after the seconds dropped) to e-SUS AB milliseconds since
// 1970-01-01, read as UTC. Empty gives empty.
std::string DataParaLong(std::string_view xdata);
// A date column's value, read as the clinical system reads its text: a value whose time is
// midnight (a DATE) stands for 10:00:01 of its day; none gives empty.
std::string DataParaLong(const std::optional<DataHora>& data);
// The moment itself, to e-SUS AB milliseconds.
std::string momentoParaLong(const DataHora& momento);

// The four technician occupations that e-SUS AB knows only as 223505.
std::string VerCbo(std::string_view CBO);

// A decimal integer text (leading blanks and a sign allowed) written back with "0" in front up
// to `largura` characters; never cut. Empty gives empty. ZeroEsquerdaInt (comum/texto.hpp) pads
// a number.
std::string ZeroEsquerda(std::string_view texto, int largura);

// The digits of the text, in order.
std::string SoNumeros(std::string_view texto);

// Piece `n` (from 1) of the text split at `separador`; the last piece when n is out of range.
std::string ExtraiCampo(std::string_view texto, int n, char separador);

// A measurement rounded to a whole number, halves away from zero, judged on its decimal value.
std::int64_t arredonda(double valor);

// A measurement in a picture pattern without decimals: each "0" a digit always written, each
// "#" a digit written when needed, a "," asks for thousands separators ("."). So "0,##" gives
// 72.5 as "73" and "00000" gives 175 as "00175". A pattern with other characters is a
// programming error (std::invalid_argument).
std::string formataNumero(double valor, std::string_view padrao);

// A yes-or-no element's value.
inline std::string_view verdade(bool valor) {
    return valor ? "true" : "false";
}

}  // namespace cds
