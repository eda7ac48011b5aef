#include <gtest/gtest.h>

#include <filesystem>

#include "export/arquivo_ini.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/clinica.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;

struct Saida {
    int status = -1;
    std::string saida;
    std::string erros;
};

class LinhaDeComandoTest : public ::testing::Test {
  protected:
    LinhaDeComandoTest() {
        teste::insereClinica(banco);
        teste::insereEpisodio(banco, 1);
        ArquivoIni ini(config());
        ini.grava(kSecaoGeral, kChaveDatabase, banco.caminho());
        ini.grava(kSecaoGeral, kChaveCnesPrincipal, "2345678");
        ini.grava(kSecaoGeral, kChaveCaminhoXml, saida().string());
    }

    fs::path config() const { return pasta.caminho() / "config.ini"; }
    fs::path saida() const { return pasta.caminho() / "saida"; }

    Saida executa(const std::string& argumentos) {
        banco.desconecta();
        const fs::path out = pasta.caminho() / "stdout.txt", err = pasta.caminho() / "stderr.txt";
        const std::string comando = std::string(EXPORTADOR_CLI) + " " + argumentos + " >'" +
                                    out.string() + "' 2>'" + err.string() + "' </dev/null";
        const int r = std::system(comando.c_str());
        return {WIFEXITED(r) ? WEXITSTATUS(r) : -1, teste::leArquivo(out), teste::leArquivo(err)};
    }

    std::string comConfig(const std::string& resto) const {
        return "--config '" + config().string() +
               "' --data-inicial 01/10/2019 --data-final 31/10/2019 " + resto;
    }

    teste::PastaTemporaria pasta;
    teste::BancoTeste banco;
};

TEST_F(LinhaDeComandoTest, ExportaComOsValoresDoConfigECriaASubpasta) {
    const Saida r = executa(comConfig(""));
    ASSERT_EQ(r.status, 0) << r.erros;
    // The default kinds are the window's seven: no vaccination file.
    EXPECT_TRUE(fs::exists(saida() / "arquivosXML" / "FichaAtendimentoIndividual_1.esus.xml"));
    EXPECT_FALSE(fs::exists(saida() / "arquivosXML" / "FichaVacinacao_1.esus.xml"));
    bool achou = false;
    for (const auto& e : fs::directory_iterator(saida()))
        if (e.path().extension() == ".zip") {
            achou = true;
            EXPECT_NE(r.erros.find(e.path().string()), std::string::npos) << r.erros;
            EXPECT_NE(e.path().filename().string().find("_01102019_31102019.zip"),
                      std::string::npos);
        }
    EXPECT_TRUE(achou);
    EXPECT_NE(r.erros.find("Gerando Fichas de Atendimento Individual..."), std::string::npos);
    EXPECT_NE(r.erros.find("FichaAtendimentoIndividual: 1 arquivo(s)"), std::string::npos)
        << r.erros;
    EXPECT_NE(r.erros.find("Arquivo de importação do esus gerado com sucesso!"), std::string::npos);
    EXPECT_EQ(r.saida, "");
}

TEST_F(LinhaDeComandoTest, LogNaSaidaPadraoEOpcoesSobrepoemOConfig) {
    banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(11, 'Dr. Sem Equipe', '700000000000002', '225142', NULL)");
    teste::insereEpisodio(banco, 2, "'09:00:00'", "2345678", 11);
    const fs::path outra = pasta.caminho() / "outra";
    const Saida r = executa(comConfig("--caminho '" + outra.string() +
                                      "' --fichas vacinacao --cod-prof 11 --uuid 7 "
                                      "--profissional-generico 99"));
    ASSERT_EQ(r.status, 0) << r.erros;
    EXPECT_EQ(r.saida, "Dr. Sem Equipe - INE não cadastrado!\n");
    EXPECT_TRUE(fs::exists(outra / "arquivosXML" / "FichaVacinacao_2.esus.xml"));
    EXPECT_FALSE(fs::exists(outra / "arquivosXML" / "FichaVacinacao_1.esus.xml"));
    EXPECT_NE(teste::leArquivo(outra / "arquivosXML" / "FichaVacinacao_2.esus.xml")
                  .find("-72</uuidFicha>"),
              std::string::npos);
    // The run remembers the folder and the generic professional, as the window does.
    const ArquivoIni ini(config());
    EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, ""), outra.string());
    EXPECT_EQ(ini.le(kSecaoEsus, kChaveProfissionalGenerico, ""), "99");
}

TEST_F(LinhaDeComandoTest, FalhasTerminamComStatusDiferenteDeZero) {
    ArquivoIni(config()).grava(kSecaoGeral, kChaveDatabase, "/nao/existe.fdb");
    Saida r = executa(comConfig(""));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.erros.find("Não foi possível conectar ao banco de dados em: /nao/existe.fdb"),
              std::string::npos)
        << r.erros;

    r = executa(comConfig("--cod-prof '1 OR 1=1'"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.erros.find("'1 OR 1=1'"), std::string::npos) << r.erros;
}

TEST_F(LinhaDeComandoTest, UsoIncorretoEAjuda) {
    const char* errados[] = {"--nao-existe", "--data-inicial 31/02/2019", "--data-final 2019-10-01",
                             "--fichas atendimento,vacinacao", "--unidade"};
    for (const char* argumentos : errados) {
        const Saida r = executa(comConfig(argumentos));
        EXPECT_EQ(r.status, 2) << argumentos;
        EXPECT_NE(r.erros.find("--help"), std::string::npos) << argumentos << ": " << r.erros;
        EXPECT_FALSE(fs::exists(saida())) << argumentos;
    }
    const Saida ajuda = executa("--help");
    EXPECT_EQ(ajuda.status, 0);
    for (const char* opcao :
         {"--config", "--data-inicial", "--data-final", "--unidade", "--cod-prof", "--caminho",
          "--uuid", "--profissional-generico", "--fichas", "atendimento-odontologico", "todas"})
        EXPECT_NE(ajuda.saida.find(opcao), std::string::npos) << opcao;
}

}  // namespace
}  // namespace cds
