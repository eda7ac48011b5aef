#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "fichas/registro.hpp"

namespace cds {
namespace {

// The run writes the kinds in this order, and the archive holds their files in it.
TEST(RegistroFichas, OrdemFixaNomesUnicosETodas) {
    const std::vector<TipoFicha> ordem = {
        TipoFicha::CadastroIndividual,      TipoFicha::CadastroDomiciliar,
        TipoFicha::AtendimentoIndividual,   TipoFicha::Procedimento,
        TipoFicha::AtendimentoOdontologico, TipoFicha::VisitaDomiciliar,
        TipoFicha::AtividadeColetiva,       TipoFicha::Vacinacao};
    std::vector<TipoFicha> tipos;
    std::set<std::string_view> nomes, rotulos;
    for (const DescricaoFicha& d : registroFichas()) {
        tipos.push_back(d.tipo);
        EXPECT_TRUE(nomes.insert(d.nome).second) << d.nome;
        EXPECT_TRUE(rotulos.insert(d.rotulo).second) << d.rotulo;
        EXPECT_EQ(fichaPorNome(d.nome), &d);
        EXPECT_EQ(&descricaoFicha(d.tipo), &d);
        // Vaccination stays out of "todas", and so out of the window's sight.
        EXPECT_EQ(d.emTodas, d.tipo != TipoFicha::Vacinacao) << d.nome;
    }
    EXPECT_EQ(tipos, ordem);
    EXPECT_EQ(fichaPorNome("todas"), nullptr);
    EXPECT_EQ(fichaPorNome("Vacinacao"), nullptr);
}

TEST(RegistroFichas, NomeDoResumoEOPrefixoDosArquivos) {
    EXPECT_EQ(nomeResumo(TipoFicha::AtendimentoIndividual), "FichaAtendimentoIndividual");
    EXPECT_EQ(nomeResumo(TipoFicha::AtividadeColetiva), "FichaAtivColetiva");
    EXPECT_EQ(nomeResumo(TipoFicha::Vacinacao), "FichaVacinacao");
}

}  // namespace
}  // namespace cds
