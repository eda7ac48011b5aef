#pragma once

#include <span>
#include <string>
#include <string_view>

#include "comum/tipo_ficha.hpp"

namespace cds {

struct Execucao;
struct DadosEnvelope;

// One record kind as the program offers it. Each kind's file defines its own, `ficha<Name>`
// of the list CDS_FICHAS; the command line, the window, the run and the tests read them
// through registroFichas().
struct DescricaoFicha {
    TipoFicha tipo;
    // Its name on the command line ("--fichas atendimento-individual").
    std::string_view nome;
    // The label of its box in the window.
    std::string_view rotulo;
    // The status text while its files are written.
    std::string_view status;
    // Whether "todas" (the command line's default, the window's "Todas") includes it; the
    // window shows, and ticks at first, only these.
    bool emTodas;
    // What tells its files' envelope from another kind's.
    const DadosEnvelope* envelope;
    // Writes the kind's files of a run.
    void (*gera)(Execucao&, const DescricaoFicha&);
};

#define CDS_DECLARA_FICHA(nome) extern const DescricaoFicha ficha##nome;
CDS_FICHAS(CDS_DECLARA_FICHA)
#undef CDS_DECLARA_FICHA

// Every kind, in the run's fixed order, which is also the order of the files in the archive.
std::span<const DescricaoFicha> registroFichas();

// The kind of a command-line name; none for an unknown name.
const DescricaoFicha* fichaPorNome(std::string_view nome);
const DescricaoFicha& descricaoFicha(TipoFicha tipo);

// Whether the kind is a registration: it sends the citizens and households marked in the
// transmission register, and needs the generic professional for those without one.
bool ehCadastro(TipoFicha tipo);

// The kind's name in a summary: its file names' prefix, as "FichaAtendimentoIndividual".
std::string_view nomeResumo(TipoFicha tipo);
// How the kind's record files are named at first: "FichaAtendimentoIndividual_".
std::string_view prefixoArquivo(TipoFicha tipo);
// The kind's record file for a number: "FichaVacinacao_345.esus.xml".
std::string nomeArquivo(TipoFicha tipo, std::string_view numero);

}  // namespace cds
