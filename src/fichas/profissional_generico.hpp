#pragma once

#include <string_view>

namespace cds {

class Transacao;

// Whether `codigo` names a row of profissionais. The registrations take the generic
// professional's CNS, CBO and team code for the citizens and households without a professional
// of their own; the run asks this before it writes anything.
bool profissionalCadastrado(Transacao& transacao, std::string_view codigo);

// A registration without its generic professional was started without that check.
inline constexpr char kSemProfissionalGenerico[] =
    "profissional genérico não encontrado: a execução o verifica antes de gerar os cadastros";

}  // namespace cds
