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

// Names are kept cut in three; however a name is cut (or left whole, when its pieces do not
// fit the table of pieces), it comes back as given, in whichever folder.
TEST(ListaDeArquivos, NomesDeTodaFormaVoltamInteiros) {
    std::vector<std::string> nomes = {"FichaVacinacao_12.esus.xml",
                                      "FichaVacinacao_12_2.esus.xml",
                                      "semdigitos.xml",
                                      "semponto_123",
                                      "123.xml",
                                      ".esus.xml",
                                      "a.b1.c",
                                      "nome.1.2",
                                      "FichaVacinacao_",
                                      std::string(100, 'p') + "1" + std::string(100, 's'),
                                      "ç_1.é"};
    // More starts and ends than the table of pieces takes.
    for (int i = 0; i < 300; ++i)
        nomes.push_back("Inicio" + std::string(1, char('a' + i % 26)) + std::to_string(i / 26) +
                        "x" + std::to_string(i) + ".fim" + std::to_string(i % 7));
    ListaDeArquivos lista;
    for (const std::string& n : nomes) lista.push_back({"/p/" + n, TipoFicha::Vacinacao});
    // Each name again, in another folder, then in the first.
    for (const std::string& n : nomes) lista.push_back({"/q/" + n, TipoFicha::Procedimento});
    for (const std::string& n : nomes) lista.push_back({"/p/" + n, TipoFicha::Vacinacao});

    const std::size_t n = nomes.size();
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(lista.caminho(i), "/p/" + nomes[i]);
        EXPECT_EQ(lista.caminho(n + i), "/q/" + nomes[i]);
        EXPECT_EQ(lista.tipo(n + i), TipoFicha::Procedimento);
        EXPECT_EQ(lista[2 * n + i], (ArquivoGerado{"/p/" + nomes[i], TipoFicha::Vacinacao}));
    }
}

}  // namespace
}  // namespace cds
