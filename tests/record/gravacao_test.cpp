#include "record/gravacao.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "comum/erro.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;

std::string leArquivo(const fs::path& caminho) {
    std::ifstream arquivo(caminho, std::ios::binary);
    return {std::istreambuf_iterator<char>(arquivo), std::istreambuf_iterator<char>()};
}

// What the thread told, in its order.
struct Gravado {
    std::string caminho;
    std::string texto;
    bool comEstado;
    std::int64_t tamanho;
};

class GravacaoDeRegistrosTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pasta = fs::temp_directory_path() /
                ("record_gravacao_" + std::to_string(std::random_device{}()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(pasta);
        fs::create_directories(pasta);
    }
    void TearDown() override { fs::remove_all(pasta); }

    GravacaoDeRegistros::AoGravar anota() {
        return [this](const std::string& caminho, std::string texto,
                      const std::optional<EstadoArquivo>& estado) {
            gravados.push_back(
                {caminho, std::move(texto), estado.has_value(), estado ? estado->tamanho : -1});
        };
    }
    std::string caminho(const std::string& nome) const { return (pasta / nome).string(); }

    fs::path pasta;
    std::vector<Gravado> gravados;
};

// Many more files than wait at once, a record's file saved twice in a row (its second row):
// every file on the disk with the last text, each told once saved, in the order given.
TEST_F(GravacaoDeRegistrosTest, SalvaEContaNaOrdemDada) {
    std::vector<std::string> esperados;
    {
        GravacaoDeRegistros gravacao(anota());
        for (int i = 0; i < 1000; ++i) {
            const std::string nome = "FichaVacinacao_" + std::to_string(i) + ".esus.xml";
            gravacao.grava(caminho(nome), "<a>" + std::to_string(i) + "</a>\r\n", "registro");
            esperados.push_back(nome);
            if (i == 500) {
                gravacao.grava(caminho(nome), "<a>segunda linha</a>\r\n", "registro");
                esperados.push_back(nome);
            }
        }
        gravacao.conclui();
        ASSERT_EQ(gravados.size(), esperados.size());
    }
    for (std::size_t i = 0; i < esperados.size(); ++i) {
        EXPECT_EQ(gravados[i].caminho, caminho(esperados[i]));
        EXPECT_TRUE(gravados[i].comEstado);
        EXPECT_EQ(gravados[i].tamanho, static_cast<std::int64_t>(gravados[i].texto.size()));
    }
    EXPECT_EQ(gravados[500].texto, "<a>500</a>\r\n");
    EXPECT_EQ(gravados[501].texto, "<a>segunda linha</a>\r\n");
    EXPECT_EQ(leArquivo(caminho("FichaVacinacao_500.esus.xml")), "<a>segunda linha</a>\r\n");
    EXPECT_EQ(leArquivo(caminho("FichaVacinacao_999.esus.xml")), "<a>999</a>\r\n");
}

// A file that cannot be saved (a folder in its way), or a text that is not UTF-8, or the one
// told of the file failing (the archive's disk full): the error is the save's own, with its
// record named in front, whether it comes at a later file or at the end; nothing after it is
// saved or told.
TEST_F(GravacaoDeRegistrosTest, ErroNomeiaORegistroDoArquivoEParaAli) {
    struct Caso {
        const char* descricao;
        std::string texto;
        bool pastaNoCaminho;
        bool falhaAoContar;
        std::string motivo;
    };
    const Caso casos[] = {
        {"pasta no lugar", "<a/>\r\n", true, false, "Não foi possível criar o arquivo "},
        {"texto que não é UTF-8", "<a>caf\xE9</a>\r\n", false, false,
         "O registro tem um texto que não é UTF-8 válido; o arquivo "},
        {"o arquivo compactado falhou", "<a/>\r\n", false, true,
         "Não foi possível gravar o arquivo FichasValmo.zip"},
    };
    for (const Caso& c : casos) {
        for (const bool maisDepois : {true, false}) {
            SCOPED_TRACE(std::string(c.descricao) + (maisDepois ? ", com mais depois" : ""));
            fs::remove_all(pasta);
            fs::create_directories(pasta);
            gravados.clear();
            const std::string ruim = caminho("FichaProcedimento_2.esus.xml");
            if (c.pastaNoCaminho) fs::create_directory(ruim);
            const GravacaoDeRegistros::AoGravar anotaTudo = anota();
            GravacaoDeRegistros gravacao([&](const std::string& caminho, std::string texto,
                                             const std::optional<EstadoArquivo>& estado) {
                if (c.falhaAoContar && caminho == ruim)
                    throw ErroArquivo("Não foi possível gravar o arquivo FichasValmo.zip.");
                anotaTudo(caminho, std::move(texto), estado);
            });
            try {
                gravacao.grava(caminho("FichaProcedimento_1.esus.xml"), "<a/>\r\n",
                               "FichaProcedimento_1 (unidade 45)");
                gravacao.grava(ruim, c.texto, "FichaProcedimento_2 (unidade 45)");
                // The later records keep coming until the error is seen.
                for (int i = 3; maisDepois && i < 2000; ++i)
                    gravacao.grava(caminho("FichaProcedimento_" + std::to_string(i) + ".esus.xml"),
                                   "<a/>\r\n",
                                   "FichaProcedimento_" + std::to_string(i) + " (unidade 45)");
                gravacao.conclui();
                ADD_FAILURE() << "não houve erro";
            } catch (const Erro& e) {
                EXPECT_EQ(
                    std::string(e.what()).rfind("FichaProcedimento_2 (unidade 45): " + c.motivo, 0),
                    0u)
                    << e.what();
            }
            ASSERT_EQ(gravados.size(), 1u);
            EXPECT_EQ(gravados[0].caminho, caminho("FichaProcedimento_1.esus.xml"));
            EXPECT_FALSE(fs::exists(caminho("FichaProcedimento_3.esus.xml")));
            EXPECT_FALSE(fs::exists(caminho("FichaProcedimento_1999.esus.xml")));
        }
    }
}

// The loop ended by an error of its own or by the operator's stop: the files given before are
// saved all the same, as they were before the loop stopped, and told.
TEST_F(GravacaoDeRegistrosTest, SemConcluirSalvaOQueFoiDado) {
    {
        GravacaoDeRegistros gravacao(anota());
        for (int i = 0; i < 100; ++i)
            gravacao.grava(caminho("FichaVacinacao_" + std::to_string(i) + ".esus.xml"), "<a/>\r\n",
                           "registro");
    }
    EXPECT_EQ(gravados.size(), 100u);
    EXPECT_EQ(leArquivo(caminho("FichaVacinacao_99.esus.xml")), "<a/>\r\n");
}

}  // namespace
}  // namespace cds
