#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "comum/plataforma_arquivos.hpp"
#include "comum/plataforma_hora.hpp"
#include "comum/plataforma_pastas.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/outro_usuario.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;

// An environment variable set, or unset, for one scope, and put back after.
class VariavelDoAmbiente {
  public:
    VariavelDoAmbiente(const char* nome, const std::optional<std::string>& valor) : nome(nome) {
        if (const char* antes = std::getenv(nome)) anterior = antes;
        if (valor)
            setenv(nome, valor->c_str(), 1);
        else
            unsetenv(nome);
    }
    ~VariavelDoAmbiente() {
        if (anterior)
            setenv(nome, anterior->c_str(), 1);
        else
            unsetenv(nome);
    }
    VariavelDoAmbiente(const VariavelDoAmbiente&) = delete;
    VariavelDoAmbiente& operator=(const VariavelDoAmbiente&) = delete;

  private:
    const char* nome;
    std::optional<std::string> anterior;
};

// POSIX zone texts, which need no zone database: the hour moves with the zone, and with it
// the day, month and year.
TEST(HoraLocal, SegueOFusoDaMaquina) {
    struct Caso {
        const char* fuso;
        std::time_t t;
        int ano, mes, dia, hora, minuto, segundo;
    };
    const Caso casos[] = {
        {"UTC0", 0, 1970, 1, 1, 0, 0, 0},
        {"BRT3", 0, 1969, 12, 31, 21, 0, 0},
        {"JST-9", 86399, 1970, 1, 2, 8, 59, 59},
        {"BRT3", 1572274800, 2019, 10, 28, 12, 0, 0},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.fuso);
        const VariavelDoAmbiente fuso("TZ", std::string(c.fuso));
        tzset();
        const std::tm local = horaLocal(c.t);
        EXPECT_EQ(local.tm_year + 1900, c.ano);
        EXPECT_EQ(local.tm_mon + 1, c.mes);
        EXPECT_EQ(local.tm_mday, c.dia);
        EXPECT_EQ(local.tm_hour, c.hora);
        EXPECT_EQ(local.tm_min, c.minuto);
        EXPECT_EQ(local.tm_sec, c.segundo);
    }
    tzset();
}

TEST(PastaDeConfiguracaoDoUsuario, XdgConfigHomeOuAPastaConfigDaCasa) {
    struct Caso {
        const char* descricao;
        std::optional<std::string> xdg;
        std::optional<std::string> casa;
        std::string esperada;
    };
    const Caso casos[] = {
        {"XDG_CONFIG_HOME absoluta", "/srv/config", "/home/ana", "/srv/config"},
        {"XDG_CONFIG_HOME ausente", std::nullopt, "/home/ana", "/home/ana/.config"},
        {"XDG_CONFIG_HOME vazia", "", "/home/ana", "/home/ana/.config"},
        {"XDG_CONFIG_HOME relativa", "config", "/home/ana", "/home/ana/.config"},
        {"sem XDG_CONFIG_HOME nem HOME", std::nullopt, std::nullopt, ""},
        {"HOME relativa", std::nullopt, "ana", ""},
        {"HOME vazia", std::nullopt, "", ""},
        {"XDG_CONFIG_HOME sem HOME", "/srv/config", std::nullopt, "/srv/config"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        const VariavelDoAmbiente xdg("XDG_CONFIG_HOME", c.xdg);
        const VariavelDoAmbiente casa("HOME", c.casa);
        EXPECT_EQ(pastaDeConfiguracaoDoUsuario(), fs::path(c.esperada));
    }
}

TEST(PastaDeDadosDoUsuario, XdgDataHomeOuAPastaLocalShareDaCasa) {
    struct Caso {
        const char* descricao;
        std::optional<std::string> xdg;
        std::optional<std::string> casa;
        std::string esperada;
    };
    const Caso casos[] = {
        {"XDG_DATA_HOME absoluta", "/srv/dados", "/home/ana", "/srv/dados"},
        {"XDG_DATA_HOME ausente", std::nullopt, "/home/ana", "/home/ana/.local/share"},
        {"XDG_DATA_HOME vazia", "", "/home/ana", "/home/ana/.local/share"},
        {"XDG_DATA_HOME relativa", "dados", "/home/ana", "/home/ana/.local/share"},
        {"sem XDG_DATA_HOME nem HOME", std::nullopt, std::nullopt, ""},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        const VariavelDoAmbiente xdg("XDG_DATA_HOME", c.xdg);
        const VariavelDoAmbiente casa("HOME", c.casa);
        EXPECT_EQ(pastaDeDadosDoUsuario(), fs::path(c.esperada));
    }
}

// A umask for one scope, put back after.
class Umask {
  public:
    explicit Umask(mode_t valor) : anterior(::umask(valor)) {}
    ~Umask() { ::umask(anterior); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

  private:
    mode_t anterior;
};

constexpr fs::perms kSoDoDono = fs::perms::owner_read | fs::perms::owner_write;

// The folders made are their owner's alone whatever the umask; those already there keep their
// modes.
TEST(CriaPastasPrivadas, NovasSoDoDonoEAsQueJaHaviaComoEstavam) {
    teste::PastaTemporaria base;
    fs::create_directory(base / "existente");
    fs::permissions(base / "existente", fs::perms(0755));
    for (const mode_t umask : {mode_t{0}, mode_t{022}, mode_t{077}}) {
        SCOPED_TRACE(umask);
        const fs::path nova = base / "existente" / ("nova" + std::to_string(umask));
        {
            const Umask guarda(umask);
            EXPECT_FALSE(criaPastasPrivadas(nova / "saida" / "arquivosXML"));
            // Made already: nothing to do, and no error.
            EXPECT_FALSE(criaPastasPrivadas(nova / "saida" / "arquivosXML/"));
        }
        for (const fs::path& p : {nova, nova / "saida", nova / "saida" / "arquivosXML"})
            EXPECT_EQ(fs::status(p).permissions(), fs::perms::owner_all) << p;
        EXPECT_EQ(fs::status(base / "existente").permissions(), fs::perms(0755));
    }
    teste::escreveArquivo(base / "arquivo", "");
    EXPECT_EQ(criaPastasPrivadas(base / "arquivo" / "arquivosXML"), std::errc::not_a_directory);
}

// Who else may change what a folder holds: the owner, and write permission for the group or
// for everyone without the sticky bit.
TEST(AcessoDaPasta, DonoEPermissoes) {
    struct Caso {
        fs::perms modo;
        bool aberta;
    };
    const Caso casos[] = {
        {fs::perms(0700), false},  {fs::perms(0755), false},  {fs::perms(0555), false},
        {fs::perms(0770), true},   {fs::perms(0777), true},   {fs::perms(0703), true},
        {fs::perms(01777), false}, {fs::perms(01770), false},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(static_cast<int>(c.modo));
        teste::PastaTemporaria pasta;
        fs::permissions(pasta.caminho(), c.modo);
        std::error_code erro;
        const std::optional<AcessoDaPasta> acesso = acessoDaPasta(pasta.caminho(), erro);
        ASSERT_TRUE(acesso) << erro.message();
        EXPECT_FALSE(acesso->deOutroUsuario);
        EXPECT_EQ(acesso->abertaAOutros, c.aberta);
        EXPECT_EQ(acesso->dono, acesso->usuario);
        char octal[8];
        std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(c.modo));
        EXPECT_EQ(acesso->permissoes, octal);
    }
    teste::PastaTemporaria base;
    std::error_code erro;
    EXPECT_FALSE(acessoDaPasta(base / "nao-existe", erro));
    EXPECT_EQ(erro, std::errc::no_such_file_or_directory);
    teste::escreveArquivo(base / "arquivo", "");
    EXPECT_FALSE(acessoDaPasta(base / "arquivo", erro));
    EXPECT_EQ(erro, std::errc::not_a_directory);
}

TEST(AcessoDaPasta, PastaDeOutroUsuario) {
    const teste::OutroUsuario outro;
    if (!outro.criado()) GTEST_SKIP() << outro.motivo();
    teste::PastaTemporaria pasta;
    outro.daPosse(pasta.caminho());
    std::error_code erro;
    const std::optional<AcessoDaPasta> acesso = acessoDaPasta(pasta.caminho(), erro);
    ASSERT_TRUE(acesso) << erro.message();
    EXPECT_TRUE(acesso->deOutroUsuario);
    EXPECT_FALSE(acesso->abertaAOutros);
    EXPECT_EQ(acesso->dono, outro.nome());
    EXPECT_EQ(acesso->usuario, "root");
}

TEST(PastaDoExecutavel, EAPastaDesteTesteDeOndeQuerQueEleRode) {
    // Started from elsewhere, so that the folder it was started from does not pass for it.
    teste::PastaTemporaria outra;
    const fs::path antes = fs::current_path();
    fs::current_path(outra.caminho());
    const fs::path pasta = pastaDoExecutavel();
    fs::current_path(antes);
    EXPECT_TRUE(pasta.is_absolute()) << pasta;
    EXPECT_TRUE(fs::is_regular_file(pasta / "test_comum")) << pasta;
}

// Renaming onto a name that may be taken: without replacing, a taken name is left as it was
// and the file stays where it was; replacing, the old contents go.
TEST(RenomeiaArquivo, SubstituiOuNaoConformePedido) {
    struct Caso {
        const char* descricao;
        bool substituir;
        bool destinoExiste;
        bool renomeia;
    };
    const Caso casos[] = {
        {"sem substituir, nome livre", false, false, true},
        {"sem substituir, nome tomado", false, true, false},
        {"substituindo, nome livre", true, false, true},
        {"substituindo, nome tomado", true, true, true},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        teste::PastaTemporaria pasta;
        const fs::path de = pasta / "novo", para = pasta / "final";
        teste::escreveArquivo(de, "novo");
        if (c.destinoExiste) teste::escreveArquivo(para, "antigo");

        std::error_code erro;
        bool renomeou = false;
        if (c.substituir) {
            erro = substituiArquivo(de, para);
            renomeou = !erro;
        } else {
            renomeou = renomeiaSemSubstituir(de, para, erro);
        }

        EXPECT_FALSE(erro) << erro.message();
        EXPECT_EQ(renomeou, c.renomeia);
        EXPECT_EQ(teste::leArquivo(para), c.renomeia ? "novo" : "antigo");
        EXPECT_EQ(fs::exists(de), !c.renomeia);
    }
}

// A record renamed over its name replaces a file there, never a link: the link and what it
// leads to stay, and so does the new file, for the caller to remove.
TEST(RenomeiaArquivo, SubstituiSeNaoForLink) {
    struct Caso {
        const char* descricao;
        // What stands at the target's name before.
        std::function<void(const fs::path& para, const fs::path& alvo)> prepara;
        bool eraLink;
    };
    const Caso casos[] = {
        {"nome livre", [](const fs::path&, const fs::path&) {}, false},
        {"arquivo",
         [](const fs::path& para, const fs::path&) { teste::escreveArquivo(para, "antigo"); },
         false},
        {"link para um arquivo",
         [](const fs::path& para, const fs::path& alvo) { fs::create_symlink(alvo, para); }, true},
        {"link que não leva a nada",
         [](const fs::path& para, const fs::path& alvo) {
             fs::create_symlink(alvo.parent_path() / "nada", para);
         },
         true},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        teste::PastaTemporaria pasta;
        const fs::path de = pasta / "novo", para = pasta / "final", alvo = pasta / "alvo";
        teste::escreveArquivo(de, "novo");
        teste::escreveArquivo(alvo, "alvo");
        c.prepara(para, alvo);

        bool eraLink = !c.eraLink;
        const std::error_code erro = substituiArquivoSeNaoForLink(de, para, eraLink);

        EXPECT_EQ(eraLink, c.eraLink);
        EXPECT_EQ(static_cast<bool>(erro), c.eraLink) << erro.message();
        EXPECT_EQ(fs::is_symlink(para), c.eraLink);
        EXPECT_EQ(fs::exists(de), c.eraLink);
        EXPECT_EQ(teste::leArquivo(c.eraLink ? de : para), "novo");
        EXPECT_EQ(teste::leArquivo(alvo), "alvo");
        EXPECT_FALSE(fs::exists(pasta / "nada"));
    }
}

TEST(RenomeiaArquivo, OrigemAusenteEUmErro) {
    teste::PastaTemporaria pasta;
    std::error_code erro;
    EXPECT_FALSE(renomeiaSemSubstituir(pasta / "nao-existe", pasta / "final", erro));
    EXPECT_EQ(erro, std::errc::no_such_file_or_directory);
    EXPECT_EQ(substituiArquivo(pasta / "nao-existe", pasta / "final"),
              std::errc::no_such_file_or_directory);
    EXPECT_FALSE(fs::exists(pasta / "final"));
}

TEST(ArquivoAberto, CriaNovoRecusaUmNomeTomado) {
    teste::PastaTemporaria pasta;
    teste::escreveArquivo(pasta / "tomado", "de outro");
    std::error_code erro;
    ArquivoAberto arquivo = ArquivoAberto::criaNovo(pasta / "tomado", erro);
    EXPECT_EQ(erro, std::errc::file_exists);
    EXPECT_FALSE(arquivo.aberto());
    EXPECT_EQ(teste::leArquivo(pasta / "tomado"), "de outro");

    arquivo = ArquivoAberto::criaNovo(pasta / "faltando" / "novo", erro);
    EXPECT_EQ(erro, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(arquivo.aberto());
}

// Every file the program creates is its owner's alone whatever the umask, and is new: the
// files beside another are hidden, named after it, and never the same twice.
TEST(ArquivoAberto, NovoSoDoDonoEAoLadoComNomeNovo) {
    teste::PastaTemporaria pasta;
    const Umask guarda(0);
    std::error_code erro;
    ArquivoAberto novo = ArquivoAberto::criaNovo(pasta / "novo", erro);
    ASSERT_FALSE(erro) << erro.message();
    EXPECT_EQ(fs::status(pasta / "novo").permissions(), kSoDoDono);

    std::set<std::string> nomes;
    const std::string comeco = ".FichaVacinacao_1.esus.xml." + std::to_string(::getpid()) + "-";
    for (int i = 0; i < 3; ++i) {
        fs::path criado;
        ArquivoAberto aoLado = criaArquivoAoLado(pasta / "FichaVacinacao_1.esus.xml", criado, erro);
        ASSERT_FALSE(erro) << erro.message();
        EXPECT_TRUE(aoLado.aberto());
        EXPECT_EQ(criado.parent_path(), pasta.caminho());
        EXPECT_TRUE(criado.filename().string().starts_with(comeco)) << criado;
        EXPECT_EQ(fs::status(criado).permissions(), kSoDoDono);
        nomes.insert(criado.filename().string());
    }
    EXPECT_EQ(nomes.size(), 3u);
}

TEST(ArquivoAberto, GravaSincronizaEFecha) {
    teste::PastaTemporaria pasta;
    std::error_code erro;
    ArquivoAberto arquivo = ArquivoAberto::criaNovo(pasta / "novo", erro);
    ASSERT_FALSE(erro) << erro.message();
    ASSERT_TRUE(arquivo.aberto());
    const std::string grande(300000, 'x');
    EXPECT_FALSE(arquivo.grava("começo "));
    EXPECT_FALSE(arquivo.grava(grande));
    EXPECT_FALSE(arquivo.sincroniza());
    EXPECT_FALSE(arquivo.fecha());
    EXPECT_FALSE(arquivo.aberto());
    EXPECT_EQ(teste::leArquivo(pasta / "novo"), "começo " + grande);
    EXPECT_FALSE(sincronizaArquivo(pasta / "novo"));
    EXPECT_FALSE(sincronizaPasta(pasta.caminho()));
    EXPECT_EQ(sincronizaArquivo(pasta / "nao-existe"), std::errc::no_such_file_or_directory);
}

TEST(ArquivoAberto, LeEGravaNoLugar) {
    teste::PastaTemporaria pasta;
    teste::escreveArquivo(pasta / "arquivo", "0123456789");
    std::error_code erro;
    ArquivoAberto arquivo = ArquivoAberto::abreParaAlterar(pasta / "arquivo", erro);
    ASSERT_FALSE(erro) << erro.message();
    EXPECT_EQ(arquivo.tamanho(erro), 10u);
    EXPECT_FALSE(erro);

    char lidos[4] = {};
    EXPECT_FALSE(arquivo.leEm(6, lidos, 4));
    EXPECT_EQ(std::string(lidos, 4), "6789");
    // Past the end is no read of the bytes asked for.
    EXPECT_EQ(arquivo.leEm(8, lidos, 4), std::errc::io_error);

    EXPECT_FALSE(arquivo.gravaEm(8, "ABCD"));
    EXPECT_FALSE(arquivo.fecha());
    EXPECT_EQ(teste::leArquivo(pasta / "arquivo"), "01234567ABCD");

    arquivo = ArquivoAberto::abreParaAlterar(pasta / "nao-existe", erro);
    EXPECT_EQ(erro, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(fs::exists(pasta / "nao-existe"));
}

TEST(ArquivoAberto, CopiaAsPermissoesDoModelo) {
    struct Caso {
        fs::perms modelo;
    };
    const Caso casos[] = {{fs::perms::owner_read | fs::perms::owner_write},
                          {fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read},
                          {fs::perms::owner_read | fs::perms::group_read}};
    for (const Caso& c : casos) {
        SCOPED_TRACE(static_cast<int>(c.modelo));
        teste::PastaTemporaria pasta;
        teste::escreveArquivo(pasta / "modelo", "");
        fs::permissions(pasta / "modelo", c.modelo);
        std::error_code erro;
        ArquivoAberto arquivo = ArquivoAberto::criaNovo(pasta / "novo", erro);
        ASSERT_FALSE(erro);
        EXPECT_FALSE(arquivo.copiaPermissoesDe(pasta / "modelo"));
        EXPECT_EQ(fs::status(pasta / "novo").permissions(), c.modelo);
    }
    // No model: the new file's own permissions stay.
    teste::PastaTemporaria pasta;
    std::error_code erro;
    ArquivoAberto arquivo = ArquivoAberto::criaNovo(pasta / "novo", erro);
    const fs::perms antes = fs::status(pasta / "novo").permissions();
    EXPECT_FALSE(arquivo.copiaPermissoesDe(pasta / "nao-existe"));
    EXPECT_EQ(fs::status(pasta / "novo").permissions(), antes);
}

}  // namespace
}  // namespace cds
