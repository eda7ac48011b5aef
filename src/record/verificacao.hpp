#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "comum/tipo_ficha.hpp"

namespace cds {

// A value of a written record that the national importer refuses.
struct FalhaDeImportacao {
    // The element's local name ("cnsCidadao"), with its parent where the name alone is
    // ambiguous.
    std::string elemento;
    // The rule, in the operator's words, with the value that breaks it.
    std::string regra;

    friend bool operator==(const FalhaDeImportacao&, const FalhaDeImportacao&) = default;
};

// Checks one record file's whole text, as the run wrote it, against the importer's rules that
// can be known from the record itself (the layout's data dictionary), in the order the elements
// come. The record is not changed: the run writes it as it is and the report warns.
std::vector<FalhaDeImportacao> verificaRegistro(TipoFicha tipo, std::string_view xml);

// The card number's check rule: definitive numbers starting with 1 or 2 (from the PIS, with the
// check digit after "000" or "001") and those starting with 7, 8 or 9 (weighted sum divisible by
// 11). Other first digits and anything but 15 digits are invalid.
bool cnsValido(std::string_view cns);

}  // namespace cds
