#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>

#include "fichas/registro.hpp"
#include "record/envelope.hpp"

namespace cds {
namespace {

// Every kind of the registry: in the list's order, which the enumerators follow too (the run
// writes the kinds, and the archive holds their files, in it); names, labels and file prefixes
// its own; an envelope and a generator of its own.
TEST(RegistroFichas, CadaTipoNaOrdemComNomesEEnvelopeProprios) {
    std::set<std::string_view> nomes, rotulos, prefixos, elementos;
    std::size_t posicao = 0;
    for (const DescricaoFicha& d : registroFichas()) {
        SCOPED_TRACE(std::string(d.nome));
        EXPECT_EQ(d.tipo, static_cast<TipoFicha>(posicao++));
        EXPECT_TRUE(nomes.insert(d.nome).second);
        EXPECT_TRUE(rotulos.insert(d.rotulo).second);
        EXPECT_FALSE(d.status.empty());
        ASSERT_NE(d.envelope, nullptr);
        ASSERT_NE(d.gera, nullptr);
        EXPECT_TRUE(prefixos.insert(d.envelope->prefixoArquivo).second);
        EXPECT_TRUE(elementos.insert(d.envelope->elementoTransporte).second);
        EXPECT_FALSE(d.envelope->cabecalho.empty());
        EXPECT_FALSE(d.envelope->rodape.empty());
        EXPECT_EQ(fichaPorNome(d.nome), &d);
        EXPECT_EQ(&descricaoFicha(d.tipo), &d);
    }
    EXPECT_GT(posicao, 0u);
    EXPECT_EQ(fichaPorNome("todas"), nullptr);
    EXPECT_EQ(fichaPorNome("Vacinacao"), nullptr);
    // Vaccination stays out of "todas", and so out of the window's sight.
    EXPECT_FALSE(descricaoFicha(TipoFicha::Vacinacao).emTodas);
    EXPECT_TRUE(descricaoFicha(TipoFicha::AtendimentoIndividual).emTodas);
}

TEST(RegistroFichas, NomeDoResumoEOPrefixoDosArquivos) {
    EXPECT_EQ(nomeResumo(TipoFicha::AtendimentoIndividual), "FichaAtendimentoIndividual");
    EXPECT_EQ(nomeResumo(TipoFicha::AtividadeColetiva), "FichaAtivColetiva");
    EXPECT_EQ(nomeResumo(TipoFicha::Vacinacao), "FichaVacinacao");
    EXPECT_TRUE(ehCadastro(TipoFicha::CadastroDomiciliar));
    EXPECT_FALSE(ehCadastro(TipoFicha::Procedimento));
}

}  // namespace
}  // namespace cds
