#include "source/motor_embarcado.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "comum/erro.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/disco_teste.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;
using teste::PastaTemporaria;

void escreve(const fs::path& arquivo, const std::string& texto) {
    fs::create_directories(arquivo.parent_path());
    std::ofstream(arquivo, std::ios::binary) << texto;
}

std::string le(const fs::path& arquivo) {
    std::ifstream entrada(arquivo, std::ios::binary);
    std::stringstream texto;
    texto << entrada.rdbuf();
    return texto.str();
}

// An installed root as Debian lays it out: configurations, messages, folders of modules, and
// the character sets' module with its configuration.
fs::path criaInstalada(const fs::path& instalada) {
    escreve(instalada / "firebird.conf", "#DefaultDbCachePages = 2048\n");
    escreve(instalada / "databases.conf", "employee = /x/employee.fdb\n");
    escreve(instalada / "firebird.msg", "mensagens");
    escreve(instalada / "plugins" / "libEngine12.so", "motor");
    escreve(instalada / "intl" / "fbintl.conf", "intl_module = fbintl {}\n");
    escreve(instalada / "intl" / "libfbintl.so", "conjuntos de caracteres");
    return instalada;
}

bool sobraMontagem(const fs::path& cache) {
    for (const fs::directory_entry& item : fs::directory_iterator(cache))
        if (item.path().string().ends_with(".montando")) return true;
    return false;
}

TEST(MotorEmbarcado, RaizDoProgramaSobreAInstalada) {
    PastaTemporaria pasta;
    const fs::path instalada = criaInstalada(pasta / "instalada");
    const fs::path cache = pasta / "cache";

    const fs::path raiz = preparaRaizDoMotor(instalada, cache);
    ASSERT_FALSE(raiz.empty());
    EXPECT_EQ(raiz.parent_path(), cache);

    // The program's settings come first: where a setting is given twice the engine keeps
    // the first.
    const std::string conf = le(raiz / "firebird.conf");
    const std::size_t proprias = conf.find(kConfiguracaoDoMotor);
    const std::size_t inclusao =
        conf.find("include " + (instalada / "firebird.conf").string() + "\n");
    ASSERT_NE(proprias, std::string::npos) << conf;
    ASSERT_NE(inclusao, std::string::npos) << conf;
    EXPECT_LT(proprias, inclusao);

    for (const char* nome : {"databases.conf", "firebird.msg", "plugins", "intl/fbintl.conf"}) {
        EXPECT_TRUE(fs::is_symlink(raiz / nome)) << nome;
        EXPECT_EQ(fs::read_symlink(raiz / nome), instalada / nome) << nome;
    }
    EXPECT_FALSE(fs::is_symlink(raiz / "intl" / "libfbintl.so"));
    EXPECT_EQ(le(raiz / "intl" / "libfbintl.so"), "conjuntos de caracteres");
    EXPECT_FALSE(sobraMontagem(cache));

    // Found ready by the next run, not made again.
    escreve(raiz / "marca", "");
    EXPECT_EQ(preparaRaizDoMotor(instalada, cache), raiz);
    EXPECT_TRUE(fs::exists(raiz / "marca"));

    // A root that lost part of itself (a cache cleaner) is made again.
    for (const char* perdido : {"intl/libfbintl.so", "plugins", "firebird.conf"}) {
        fs::remove(raiz / perdido);
        EXPECT_EQ(preparaRaizDoMotor(instalada, cache), raiz) << perdido;
        EXPECT_EQ(le(raiz / "intl" / "libfbintl.so"), "conjuntos de caracteres") << perdido;
        EXPECT_TRUE(fs::is_symlink(raiz / "plugins")) << perdido;
        EXPECT_NE(le(raiz / "firebird.conf").find(kConfiguracaoDoMotor), std::string::npos);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(cache), fs::directory_iterator()), 1);

    // A new module (Firebird updated) gets a root of its own, with the new copy.
    escreve(instalada / "intl" / "libfbintl.so", "conjuntos de caracteres, versão nova");
    const fs::path nova = preparaRaizDoMotor(instalada, cache);
    ASSERT_FALSE(nova.empty());
    EXPECT_NE(nova, raiz);
    EXPECT_EQ(le(nova / "intl" / "libfbintl.so"), "conjuntos de caracteres, versão nova");
}

// Programs starting at once, each making the root: all get the same whole one.
TEST(MotorEmbarcado, VariosAoMesmoTempoFicamComAMesmaRaiz) {
    PastaTemporaria pasta;
    const fs::path instalada = criaInstalada(pasta / "instalada");
    const fs::path cache = pasta / "cache";
    std::vector<fs::path> raizes(6);
    {
        std::vector<std::thread> programas;
        for (fs::path& raiz : raizes)
            programas.emplace_back([&] { raiz = preparaRaizDoMotor(instalada, cache); });
        for (std::thread& t : programas) t.join();
    }
    ASSERT_FALSE(raizes[0].empty());
    for (const fs::path& raiz : raizes) EXPECT_EQ(raiz, raizes[0]);
    EXPECT_EQ(le(raizes[0] / "intl" / "libfbintl.so"), "conjuntos de caracteres");
    EXPECT_FALSE(sobraMontagem(cache));
}

// What a program killed half-way left is removed once it is old; what another program may
// still be making is not.
TEST(MotorEmbarcado, SobrasAntigasDeMontagemSaoRemovidas) {
    PastaTemporaria pasta;
    const fs::path instalada = criaInstalada(pasta / "instalada");
    const fs::path cache = pasta / "cache";
    const fs::path antiga = cache / "firebird-0123456789abcdef.0011223344556677.montando";
    const fs::path posta = cache / "firebird-0123456789abcdef.8899aabbccddeeff.velha";
    const fs::path recente = cache / "firebird-0123456789abcdef.1122334455667788.montando";
    const fs::path outra = cache / "outra-coisa";
    for (const fs::path& p : {antiga, posta, recente, outra}) escreve(p / "firebird.conf", "");
    const auto ontem = fs::file_time_type::clock::now() - std::chrono::hours(25);
    for (const fs::path& p : {antiga, posta, outra}) fs::last_write_time(p, ontem);

    // Found when the root is made, and when it is found ready.
    ASSERT_FALSE(preparaRaizDoMotor(instalada, cache).empty());
    EXPECT_FALSE(fs::exists(antiga));
    escreve(antiga / "firebird.conf", "");
    fs::last_write_time(antiga, ontem);
    ASSERT_FALSE(preparaRaizDoMotor(instalada, cache).empty());
    EXPECT_FALSE(fs::exists(antiga));
    EXPECT_FALSE(fs::exists(posta));
    EXPECT_TRUE(fs::exists(recente));
    EXPECT_TRUE(fs::exists(outra));
}

// No Firebird installed where the program looks: no engine to configure, and nothing made.
TEST(MotorEmbarcado, SemFirebirdInstaladoNadaAConfigurar) {
    PastaTemporaria pasta;
    EXPECT_TRUE(preparaRaizDoMotor(pasta / "nenhuma", pasta / "cache1").empty());
    fs::create_directories(pasta / "sem-conf" / "intl");
    EXPECT_TRUE(preparaRaizDoMotor(pasta / "sem-conf", pasta / "cache2").empty());
    EXPECT_FALSE(fs::exists(pasta / "cache1"));
    EXPECT_FALSE(fs::exists(pasta / "cache2"));
}

// A root that cannot be made is an error that says where and why, and leaves nothing behind:
// a cache folder that cannot be made, a disk that fills in the middle, an installed path the
// include line could misread.
TEST(MotorEmbarcado, RaizQueNaoSeFazDizPorque) {
    teste::DiscoPequeno disco(256 * 1024);
    if (!disco.montado()) GTEST_SKIP() << disco.motivo();
    PastaTemporaria pasta;
    const fs::path instalada = criaInstalada(pasta / "instalada");
    escreve(pasta / "arquivo", "");
    // The configuration and the links fit the small disk; the module's copy does not.
    const fs::path grande = criaInstalada(pasta / "grande");
    escreve(grande / "intl" / "libfbintl.so", std::string(1024 * 1024, 'x'));
    const fs::path comEspaco = criaInstalada(pasta / "com espaço");

    struct Caso {
        fs::path instalada;
        fs::path cache;
        std::string mensagem;
        std::string motivo;
    };
    const Caso casos[] = {
        {instalada, pasta / "arquivo" / "cache",
         "Não foi possível preparar a configuração do motor embarcado do Firebird em " +
             (pasta / "arquivo" / "cache").string() + " (",
         "): uma parte do caminho não é uma pasta"},
        {grande, disco.caminho(),
         "Não foi possível preparar a configuração do motor embarcado do Firebird em " +
             disco.caminho().string() + " (",
         // The copy that did not fit is named (the system reports it as EIO or ENOSPC).
         "libfbintl.so): "},
        {comEspaco, pasta / "cache",
         "A configuração do motor embarcado do Firebird não pode incluir " +
             (comEspaco / "firebird.conf").string(),
         ": o caminho tem caracteres que ela lê de outro modo"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.cache);
        try {
            preparaRaizDoMotor(c.instalada, c.cache);
            ADD_FAILURE() << "raiz feita";
        } catch (const ErroArquivo& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.mensagem, 0), 0u) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.motivo), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(fs::is_empty(disco.caminho()));
    EXPECT_FALSE(fs::exists(pasta / "cache"));
}

}  // namespace
}  // namespace cds
