#include "export/trava_pasta.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "comum/erro.hpp"
#include "suporte/banco_teste.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;
using teste::PastaTemporaria;

TEST(TravaPasta, SegundaTravaDaMesmaPastaERecusadaAteAPrimeiraSair) {
    PastaTemporaria pasta;
    const std::string Caminho = pasta.caminho().string();
    std::optional<TravaPasta> primeira;
    primeira.emplace(Caminho);
    EXPECT_TRUE(fs::exists(pasta / kNomeArquivoTrava));

    // The same folder however spelled; the lock is the operating system's, so it holds
    // between two opens in one process as between two processes.
    for (const std::string& grafia : {Caminho, Caminho + "/", Caminho + "/."}) {
        try {
            TravaPasta segunda(grafia);
            ADD_FAILURE() << "travou duas vezes: " << grafia;
        } catch (const ErroArquivo& e) {
            const std::string texto = e.what();
            EXPECT_NE(texto.find("Outra exportação está em andamento"), std::string::npos) << texto;
        }
    }

    primeira.reset();
    // Gone with the run that held it, and free for the next.
    EXPECT_FALSE(fs::exists(pasta / kNomeArquivoTrava));
    EXPECT_NO_THROW(TravaPasta{Caminho});
}

TEST(TravaPasta, PastaQueNaoExisteERecusada) {
    PastaTemporaria pasta;
    try {
        TravaPasta trava((pasta / "nao-existe").string());
        ADD_FAILURE() << "travou uma pasta que não existe";
    } catch (const ErroArquivo& e) {
        EXPECT_NE(std::string(e.what()).find("não existe"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(pasta / "nao-existe"));
}

}  // namespace
}  // namespace cds
