#include "fichas/registro.hpp"

#include <array>
#include <stdexcept>

#include "record/envelope.hpp"

namespace cds {

// The generators, one file each under fichas/.
void geraCadastroIndividual(Execucao& execucao, const DescricaoFicha& descricao);
void geraCadastroDomiciliar(Execucao& execucao, const DescricaoFicha& descricao);
void geraFichaAtendimento(Execucao& execucao, const DescricaoFicha& descricao);
void geraFichaVacinacao(Execucao& execucao, const DescricaoFicha& descricao);
void geraProcedimento(Execucao& execucao, const DescricaoFicha& descricao);
void geraAtendimentoOdontologico(Execucao& execucao, const DescricaoFicha& descricao);
void geraVisitaDomiciliar(Execucao& execucao, const DescricaoFicha& descricao);
void geraAtivColetiva(Execucao& execucao, const DescricaoFicha& descricao);

namespace {

constexpr std::array<DescricaoFicha, 8> kFichas = {{
    {.tipo = TipoFicha::CadastroIndividual,
     .nome = "cadastro-individual",
     .rotulo = "Ficha de Cadastro Individual",
     .status = "Gerando Fichas de Cadastro Individual...",
     .emTodas = true,
     .gera = geraCadastroIndividual},
    {.tipo = TipoFicha::CadastroDomiciliar,
     .nome = "cadastro-domiciliar",
     .rotulo = "Ficha de Cadastro Domiciliar/Territorial",
     .status = "Gerando Fichas de Cadastro Domiciliar e Territorial...",
     .emTodas = true,
     .gera = geraCadastroDomiciliar},
    {.tipo = TipoFicha::AtendimentoIndividual,
     .nome = "atendimento-individual",
     .rotulo = "Ficha de Atendimento Individual",
     .status = "Gerando Fichas de Atendimento Individual...",
     .emTodas = true,
     .gera = geraFichaAtendimento},
    {.tipo = TipoFicha::Procedimento,
     .nome = "procedimentos",
     .rotulo = "Ficha de Procedimentos",
     .status = "Gerando Fichas de Procedimentos...",
     .emTodas = true,
     .gera = geraProcedimento},
    {.tipo = TipoFicha::AtendimentoOdontologico,
     .nome = "atendimento-odontologico",
     .rotulo = "Ficha de Atendimento Odontológico",
     .status = "Gerando Fichas de Atendimento Odontológico...",
     .emTodas = true,
     .gera = geraAtendimentoOdontologico},
    {.tipo = TipoFicha::VisitaDomiciliar,
     .nome = "visita-domiciliar",
     .rotulo = "Ficha Visita Domiciliar e Territorial",
     .status = "Gerando Fichas de Visita Domiciliar...",
     .emTodas = true,
     .gera = geraVisitaDomiciliar},
    {.tipo = TipoFicha::AtividadeColetiva,
     .nome = "atividade-coletiva",
     .rotulo = "Ficha Atividade Coletiva",
     .status = "Gerando Fichas de Atividades Coletivas...",
     .emTodas = true,
     .gera = geraAtivColetiva},
    // Vaccination records are not offered to the operator: the window keeps the box hidden.
    {.tipo = TipoFicha::Vacinacao,
     .nome = "vacinacao",
     .rotulo = "Ficha de Vacinação",
     .status = "Gerando Fichas de Vacinação...",
     .emTodas = false,
     .gera = geraFichaVacinacao},
}};

}  // namespace

std::span<const DescricaoFicha> registroFichas() {
    return kFichas;
}

const DescricaoFicha* fichaPorNome(std::string_view nome) {
    for (const DescricaoFicha& d : kFichas)
        if (d.nome == nome) return &d;
    return nullptr;
}

const DescricaoFicha& descricaoFicha(TipoFicha tipo) {
    for (const DescricaoFicha& d : kFichas)
        if (d.tipo == tipo) return d;
    throw std::logic_error("tipo de ficha fora do registro");
}

std::string_view prefixoArquivo(TipoFicha tipo) {
    return dadosTipo(tipo).prefixoArquivo;
}

bool ehCadastro(TipoFicha tipo) {
    return dadosTipo(tipo).cadastro;
}

std::string_view nomeResumo(TipoFicha tipo) {
    std::string_view prefixo = dadosTipo(tipo).prefixoArquivo;
    if (prefixo.ends_with('_')) prefixo.remove_suffix(1);
    return prefixo;
}

}  // namespace cds
