#include "export/local_config.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "export/arquivo_ini.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;
using teste::escreveArquivo;
using teste::PastaTemporaria;

// Where config.ini is looked for, by where the program is: an installed one never looks beside
// itself, a build run from its folder does, and so does any program where the system has no
// settings folder of its own (Windows).
TEST(LocalConfig, lugaresProcuradosPeloLugarDoPrograma) {
    const fs::path usuario = "/home/ana/.config";
    const fs::path sistema = "/etc";
    const fs::path doUsuario = usuario / "exportador-cds" / "config.ini";
    const fs::path doSistema = sistema / "exportador-cds" / "config.ini";
    struct Caso {
        PastasDoConfig pastas;
        std::vector<fs::path> esperado;
    };
    const Caso casos[] = {
        {{"/usr/bin", usuario, sistema}, {doUsuario, doSistema}},
        {{"/usr/local/bin", usuario, sistema}, {doUsuario, doSistema}},
        {{"/usr/bin/../lib/exportador-cds", usuario, sistema}, {doUsuario, doSistema}},
        {{"/home/ana/exportador-cds/build", usuario, sistema},
         {"/home/ana/exportador-cds/build/config.ini", doUsuario, doSistema}},
        {{"/usrlocal/bin", usuario, sistema}, {"/usrlocal/bin/config.ini", doUsuario, doSistema}},
        {{"/usr/../opt/cds", usuario, sistema},
         {"/usr/../opt/cds/config.ini", doUsuario, doSistema}},
        {{"/usr/bin", "", sistema}, {doSistema}},
        {{"C:/Programas/exportador-cds", "C:/Users/ana/AppData/Roaming", ""},
         {"C:/Programas/exportador-cds/config.ini",
          "C:/Users/ana/AppData/Roaming/exportador-cds/config.ini"}},
    };
    for (const Caso& c : casos)
        EXPECT_EQ(locaisDoConfig(c.pastas), c.esperado) << c.pastas.programa;
}

// The first place that has a config.ini is the run's; erros.txt and the values the program
// saves go beside it, except beside the system's, which users share and cannot write.
TEST(LocalConfig, escolheOPrimeiroQueExisteEOndeVaiOErrosTxt) {
    const PastaTemporaria pasta;
    const PastasDoConfig pastas{pasta / "build", pasta / "usuario", pasta / "etc"};
    const fs::path aoLado = pastas.programa / "config.ini";
    const fs::path doUsuario = pastas.usuario / "exportador-cds" / "config.ini";
    const fs::path doSistema = pastas.sistema / "exportador-cds" / "config.ini";
    struct Caso {
        std::vector<fs::path> existentes;
        std::optional<fs::path> opcao;
        fs::path escolhido;
        fs::path pastaDosErros;
        fs::path gravarEm;
    };
    const fs::path outra = pasta / "outra" / "config.ini";
    const Caso casos[] = {
        {{aoLado, doUsuario, doSistema}, std::nullopt, aoLado, pastas.programa, aoLado},
        {{doUsuario, doSistema}, std::nullopt, doUsuario, doUsuario.parent_path(), doUsuario},
        {{doSistema}, std::nullopt, doSistema, doUsuario.parent_path(), doUsuario},
        {{}, std::nullopt, aoLado, pastas.programa, aoLado},
        {{doUsuario, doSistema}, outra, outra, pasta / "outra", outra},
    };
    for (const Caso& c : casos) {
        for (const fs::path& arquivo : {aoLado, doUsuario, doSistema}) fs::remove(arquivo);
        for (const fs::path& arquivo : c.existentes) {
            fs::create_directories(arquivo.parent_path());
            escreveArquivo(arquivo, "[GERAL]\r\n");
        }
        const LocalConfig local = localizaConfig(c.opcao, pastas);
        EXPECT_EQ(local.arquivo, c.escolhido) << c.escolhido;
        EXPECT_EQ(local.pastaDosErros, c.pastaDosErros) << c.escolhido;
        EXPECT_EQ(local.gravarEm, c.gravarEm) << c.escolhido;
    }
}

// A value saved with only the system's settings there (the window saves the output folder at
// every run) leaves them as they are and makes the user's own config.ini of them, which is
// read from then on.
TEST(LocalConfig, gravarComAConfiguracaoDoSistemaFazADoUsuario) {
    const PastaTemporaria pasta;
    const PastasDoConfig pastas{pasta / "bin", pasta / "usuario", pasta / "etc"};
    const fs::path doSistema = pastas.sistema / "exportador-cds" / "config.ini";
    const fs::path doUsuario = pastas.usuario / "exportador-cds" / "config.ini";
    fs::create_directories(doSistema.parent_path());
    const std::string sistema = "[GERAL]\r\nCNESPRINCIPAL=2345678\r\n";
    escreveArquivo(doSistema, sistema);

    ArquivoIni ini(localizaConfig(std::nullopt, pastas));
    ini.grava(kSecaoGeral, kChaveCaminhoXml, "/home/ana/saida");

    EXPECT_EQ(teste::leArquivo(doSistema), sistema);
    EXPECT_EQ(teste::leArquivo(doUsuario),
              "[GERAL]\r\nCNESPRINCIPAL=2345678\r\nCAMINHOXML=/home/ana/saida\r\n");
    EXPECT_EQ(ini.arquivo(), doUsuario);
    EXPECT_EQ(localizaConfig(std::nullopt, pastas).arquivo, doUsuario);
    EXPECT_EQ(ArquivoIni(doUsuario).le(kSecaoGeral, kChaveCnesPrincipal, ""), "2345678");
}

}  // namespace
}  // namespace cds
