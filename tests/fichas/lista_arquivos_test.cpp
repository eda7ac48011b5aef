// The list of a run's files, kept as folders and names: every path comes back as it was given.

#include "fichas/lista_arquivos.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cds {
namespace {

TEST(ListaDeArquivos, CadaCaminhoVoltaComoFoiDado) {
    const std::string longo(70 * 1024, 'n');
    const std::vector<ArquivoGerado> arquivos = {
        {"/saida/arquivosXML/FichaVacinacao_1.esus.xml", TipoFicha::Vacinacao},
        {"/saida/arquivosXML/FichaVacinacao_2.esus.xml", TipoFicha::Vacinacao},
        // Another folder, one without a folder, Windows' separators, and back to the first.
        {"/outra/FichaProcedimento_1.esus.xml", TipoFicha::Procedimento},
        {"FichaProcedimento_2.esus.xml", TipoFicha::Procedimento},
        {"C:\\Exportação\\arquivosXML\\FichaAtendimentoIndividual_7.esus.xml",
         TipoFicha::AtendimentoIndividual},
        {"/saida/arquivosXML/", TipoFicha::Vacinacao},
        // A name longer than a block of names.
        {"/saida/arquivosXML/" + longo, TipoFicha::Vacinacao},
        {"/saida/arquivosXML/FichaVacinacao_1.esus.xml", TipoFicha::Vacinacao},
    };
    ListaDeArquivos lista;
    // Enough names to fill several blocks.
    for (int i = 0; i < 5000; ++i)
        lista.push_back(
            {"/saida/arquivosXML/FichaVisitaDomiciliar_" + std::to_string(i) + ".esus.xml",
             TipoFicha::VisitaDomiciliar});
    for (const ArquivoGerado& a : arquivos) lista.push_back(a);

    ASSERT_EQ(lista.size(), 5000 + arquivos.size());
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(lista[static_cast<std::size_t>(i)].caminho,
                  "/saida/arquivosXML/FichaVisitaDomiciliar_" + std::to_string(i) + ".esus.xml");
    for (std::size_t i = 0; i < arquivos.size(); ++i) {
        EXPECT_EQ(lista[5000 + i], arquivos[i]) << i;
        EXPECT_EQ(lista.caminho(5000 + i), arquivos[i].caminho);
    }
    EXPECT_TRUE(lista.mesmoCaminho(5000, 5007));
    EXPECT_FALSE(lista.mesmoCaminho(5000, 5001));
    EXPECT_FALSE(lista.mesmoCaminho(5002, 5003));

    // Copies, moves and the plain list agree; cleared, it starts again.
    const ListaDeArquivos copia = lista;
    EXPECT_TRUE(copia == lista);
    ListaDeArquivos movida = ListaDeArquivos(copia);
    EXPECT_TRUE(movida == lista.comoVetor());
    ListaDeArquivos destino = std::move(movida);
    EXPECT_TRUE(destino == lista);
    // What was moved from is an empty list that takes new paths.
    EXPECT_TRUE(movida.empty());  // NOLINT(bugprone-use-after-move)
    movida.push_back(arquivos[3]);
    EXPECT_TRUE(movida == std::vector<ArquivoGerado>{arquivos[3]});
    movida.clear();
    EXPECT_TRUE(movida.empty());
    movida.push_back(arquivos[2]);
    EXPECT_TRUE(movida == std::vector<ArquivoGerado>{arquivos[2]});
    EXPECT_FALSE(movida == std::vector<ArquivoGerado>{arquivos[3]});
}

}  // namespace
}  // namespace cds
