#include "export/local_config.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

// The first place that has a config.ini is the run's; erros.txt goes beside it, except beside
// the system's, which users share and cannot write.
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
    };
    const Caso casos[] = {
        {{aoLado, doUsuario, doSistema}, std::nullopt, aoLado, pastas.programa},
        {{doUsuario, doSistema}, std::nullopt, doUsuario, doUsuario.parent_path()},
        {{doSistema}, std::nullopt, doSistema, doUsuario.parent_path()},
        {{}, std::nullopt, aoLado, pastas.programa},
        {{doUsuario, doSistema},
         pasta / "outra" / "config.ini",
         pasta / "outra" / "config.ini",
         pasta / "outra"},
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
    }
}

}  // namespace
}  // namespace cds
