#pragma once

namespace cds {

// The eight record kinds; each file wraps one form of one kind in the e-SUS AB transport
// envelope. What the program offers of each kind is in the registry (fichas/registro.hpp).
enum class TipoFicha {
    CadastroIndividual,
    CadastroDomiciliar,
    AtendimentoIndividual,
    Procedimento,
    AtendimentoOdontologico,
    VisitaDomiciliar,
    AtividadeColetiva,
    Vacinacao,
};

}  // namespace cds
