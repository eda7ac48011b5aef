// The records' identifiers across a whole run and from one run to the next.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "export/abertura.hpp"
#include "export/arquivo_ini.hpp"
#include "export/exportacao.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/clinica.hpp"
#include "suporte/operador_gravador.hpp"
#include "suporte/relogio_fixo.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;

// The value of the first "<tag>value</tag>" line of a record.
std::string valorDe(const std::string& ficha, const std::string& tag) {
    const std::string abre = "<" + tag + ">";
    const auto inicio = ficha.find(abre);
    if (inicio == std::string::npos) return "(sem " + tag + ")";
    const auto valor = inicio + abre.size();
    return ficha.substr(valor, ficha.find("</" + tag + ">", valor) - valor);
}

class IdentificadoresNaExportacaoTest : public ::testing::Test {
  protected:
    IdentificadoresNaExportacaoTest() : ini(pasta / kNomeArquivoIni) {
        teste::insereClinica(banco);
        // A unit whose code is not seven characters: its records take the unit typed.
        banco.executa("INSERT INTO unidades (codigo, nome) VALUES ('12', 'Posto rural')");
        teste::insereEpisodio(banco, 3002, "'14:35:00'", "12");
        teste::insereEpisodio(banco, 3002, "'14:35:00'", "2345678");
        teste::insereEpisodio(banco, 5, "'09:00:00'", "2345678");
        ini.grava(kSecaoGeral, kChaveDatabase, banco.caminho());
        ini.grava(kSecaoGeral, kChaveIbge, "4205407");
        parametros = parametrosIniciais(ini, relogio);
        parametros.Unidade = "2345678";
        parametros.Caminho = (pasta / "saida").string();
        parametros.ProfissionalGenerico = "10";
        parametros.Fichas = {TipoFicha::AtendimentoIndividual, TipoFicha::Vacinacao};
        fs::create_directories(pastaXml(parametros.Caminho));
    }

    // Every record file of the run, with its bytes.
    std::map<std::string, std::string> fichas() const {
        std::map<std::string, std::string> todas;
        for (const auto& e : fs::directory_iterator(pastaXml(parametros.Caminho)))
            todas[e.path().filename()] = teste::leArquivo(e.path());
        return todas;
    }

    teste::PastaTemporaria pasta;
    teste::BancoTeste banco;
    ArquivoIni ini;
    RelogioFixo relogio{DataHora{2019, 11, 3, 14, 5, 0}};
    OperadorGravador operador;
    ParametrosExportacao parametros;
};

// Unit 12's episode 3002 and the typed unit's are one identifier apart, and every vaccination
// record builds its care twin's: the first in the run's order keeps the identifier, the others
// take the first free suffix. Exporting the period again gives every record the same
// identifiers, and the same files.
TEST_F(IdentificadoresNaExportacaoTest, CadaFichaComOSeuIdentificadorOMesmoAoExportarDeNovo) {
    const std::string id3002 = "2345678-da1cb4c9-0004-0000-0000-03002";
    const std::string id5 = "2345678-da1cb4c9-0004-0000-0000-05";
    // File, uuidDadoSerializado, uuidFicha.
    const std::vector<std::tuple<std::string, std::string, std::string>> esperados = {
        {"FichaAtendimentoIndividual_3002.esus.xml", id3002, id3002},
        {"FichaAtendimentoIndividual_3002_2.esus.xml", id3002 + "-2", id3002 + "-2"},
        {"FichaAtendimentoIndividual_5.esus.xml", id5, id5},
        {"FichaVacinacao_3002.esus.xml", id3002 + "-3", id3002 + "-3"},
        {"FichaVacinacao_3002_2.esus.xml", id3002 + "-4", id3002 + "-4"},
        {"FichaVacinacao_5.esus.xml", id5 + "-2", id5 + "-2"},
    };

    exportaArquivos(parametros, ini, operador, relogio);
    const std::map<std::string, std::string> primeira = fichas();
    ASSERT_EQ(primeira.size(), esperados.size());
    for (const auto& [nome, transporte, ficha] : esperados) {
        ASSERT_TRUE(primeira.contains(nome)) << nome;
        EXPECT_EQ(valorDe(primeira.at(nome), "uuidDadoSerializado"), transporte) << nome;
        EXPECT_EQ(valorDe(primeira.at(nome), "uuidFicha"), ficha) << nome;
        // The sender's identifier is the record's own, as it always was.
        EXPECT_EQ(valorDe(primeira.at(nome), "uuidInstalacao"),
                  nome.find("_5.") != std::string::npos ? "2345678-da1cb4c9-0000-0000-0004-05"
                                                        : "2345678-da1cb4c9-0000-0000-0004-03002")
            << nome;
    }

    exportaArquivos(parametros, ini, operador, relogio);
    EXPECT_EQ(fichas(), primeira);
}

}  // namespace
}  // namespace cds
