#include "export/trava_pasta.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "comum/erro.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/pasta_so_leitura.hpp"

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

// The lock is a file the run must create: when it cannot, the operator reads which file, what
// it is for, and why, in Portuguese, with the system's own text after "Detalhe:".
TEST(TravaPasta, ArquivoDaTravaQueNaoPodeSerCriadoDizPorQueEmPortugues) {
    struct Caso {
        const char* descricao;
        // Readies the folder; false when this machine cannot.
        std::function<bool(const fs::path&)> prepara;
        std::vector<std::string> motivos;  // one of them, as the user running the test gets
    };
    std::optional<teste::PastaSoDeLeitura> soLeitura;
    const Caso casos[] = {
        {"pasta só de leitura",
         [&](const fs::path& pasta) {
             soLeitura.emplace(pasta);
             if (!soLeitura->pronta()) return false;
             soLeitura->fecha();
             return true;
         },
         {"o disco só permite leitura. Detalhe: Read-only file system",
          "permissão negada. Detalhe: Permission denied"}},
        {"uma pasta no lugar do arquivo",
         [](const fs::path& pasta) {
             fs::create_directories(pasta / kNomeArquivoTrava);
             return true;
         },
         {"há uma pasta com esse nome no lugar. Detalhe: Is a directory"}},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        PastaTemporaria base;
        const fs::path pasta = base / "saida";
        fs::create_directories(pasta);
        if (!c.prepara(pasta)) {
            std::cout << "[ PULADO ] " << c.descricao << ": " << soLeitura->motivo() << '\n';
            continue;
        }
        try {
            TravaPasta trava(pasta.string());
            ADD_FAILURE() << "travou";
        } catch (const ErroArquivo& e) {
            const std::string texto = e.what();
            const std::string inicio = "Não foi possível criar o arquivo " + pasta.string() + "/" +
                                       kNomeArquivoTrava +
                                       ", que impede outra exportação na mesma pasta de saída "
                                       "enquanto esta trabalha: ";
            EXPECT_TRUE(texto.starts_with(inicio)) << texto;
            bool algum = false;
            for (const std::string& motivo : c.motivos)
                algum = algum || texto == inicio + motivo + ".";
            EXPECT_TRUE(algum) << texto;
        }
        soLeitura.reset();
    }
}

}  // namespace
}  // namespace cds
