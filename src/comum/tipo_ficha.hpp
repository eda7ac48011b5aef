#pragma once

namespace cds {

// The record kinds, one line each, in the run's fixed order (also the order of the files in
// the archive). Each line names a kind whose file under fichas/ defines `ficha<Name>`, its
// registry entry (fichas/registro.hpp); this list yields both the enumerators and the registry.
#define CDS_FICHAS(X)          \
    X(CadastroIndividual)      \
    X(CadastroDomiciliar)      \
    X(AtendimentoIndividual)   \
    X(Procedimento)            \
    X(AtendimentoOdontologico) \
    X(VisitaDomiciliar)        \
    X(AtividadeColetiva)       \
    X(Vacinacao)

#define CDS_ENUMERADOR(nome) nome,
enum class TipoFicha { CDS_FICHAS(CDS_ENUMERADOR) };
#undef CDS_ENUMERADOR

}  // namespace cds
