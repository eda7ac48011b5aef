#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "export/arquivo_ini.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/cadastros.hpp"
#include "suporte/clinica.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;

// The places a config.ini can be, in a folder of the test's own: a copy of the program with
// its own folder, a user configuration folder for $XDG_CONFIG_HOME, a home for $HOME, and a
// file elsewhere for --config.
enum class Local { AoLado, Xdg, Casa, Opcao };

const std::map<Local, std::string> kNomes = {{Local::AoLado, "ao-lado"},
                                             {Local::Xdg, "xdg"},
                                             {Local::Casa, "casa"},
                                             {Local::Opcao, "opcao"}};

// What $XDG_CONFIG_HOME holds for a run.
enum class Xdg { PastaDoTeste, Ausente, Vazia, Relativa };

struct Resultado {
    int status = -1;
    std::string saida;
    std::string erros;
};

class LocalConfigTest : public ::testing::Test {
  protected:
    // The database and folders of one case, the program copied into a folder of its own.
    struct Pastas {
        Pastas() {
            teste::insereClinica(banco);
            teste::insereEpisodio(banco, 1);
            // A registration without a birth date: the run writes a line to erros.txt. A
            // database per case, since a run marks its registrations sent.
            teste::insereBaseDeCadastros(banco);
            teste::insereCidadao(banco, 200);
            banco.executa("UPDATE pessoas SET dtnascimento = NULL WHERE codigo = 200");
            banco.desconecta();
        }

        teste::BancoTeste banco;
        teste::PastaTemporaria temporaria;
        // Without links, as the program reads its own folder.
        fs::path raiz = fs::canonical(temporaria.caminho());
        fs::path programa() const { return raiz / "programa" / "exportador-cds"; }
        fs::path xdg() const { return raiz / "xdg"; }
        fs::path casa() const { return raiz / "casa"; }
        // Where a relative $XDG_CONFIG_HOME leads from the folder the program starts in.
        fs::path relativa() const { return raiz / "relativa" / "exportador-cds" / "config.ini"; }
        fs::path config(Local local) const {
            switch (local) {
                case Local::AoLado:
                    return programa().parent_path() / "config.ini";
                case Local::Xdg:
                    return xdg() / "exportador-cds" / "config.ini";
                case Local::Casa:
                    return casa() / ".config" / "exportador-cds" / "config.ini";
                case Local::Opcao:
                    return raiz / "outro" / "config.ini";
            }
            return {};
        }
        // Each config.ini sends its run to a folder of its own.
        fs::path saida(Local local) const { return raiz / ("saida-" + kNomes.at(local)); }
    };

    void preparaPrograma(const Pastas& p) {
        fs::create_directories(p.programa().parent_path());
        fs::create_directories(p.xdg());
        fs::create_directories(p.casa());
        fs::copy_file(EXPORTADOR_CLI, p.programa());
        fs::permissions(p.programa(), fs::perms::owner_all, fs::perm_options::add);
    }

    void criaConfig(const Pastas& p, Local local) {
        fs::create_directories(p.config(local).parent_path());
        ArquivoIni ini(p.config(local));
        ini.grava(kSecaoGeral, kChaveDatabase, p.banco.caminho());
        ini.grava(kSecaoGeral, kChaveCnesPrincipal, "2345678");
        ini.grava(kSecaoGeral, kChaveCaminhoXml, p.saida(local).string());
        ini.grava(kSecaoEsus, kChaveProfissionalGenerico, "9");
    }

    // The copy run from the test's folder, with HOME and XDG_CONFIG_HOME as the case says.
    Resultado executa(const Pastas& p, Xdg xdg, const std::string& argumentos) {
        const fs::path out = p.raiz / "stdout.txt", err = p.raiz / "stderr.txt";
        std::string ambiente = "env HOME='" + p.casa().string() + "' ";
        switch (xdg) {
            case Xdg::PastaDoTeste:
                ambiente += "XDG_CONFIG_HOME='" + p.xdg().string() + "' ";
                break;
            case Xdg::Ausente:
                ambiente = "env -u XDG_CONFIG_HOME HOME='" + p.casa().string() + "' ";
                break;
            case Xdg::Vazia:
                ambiente += "XDG_CONFIG_HOME= ";
                break;
            case Xdg::Relativa: {
                // It leads to a config.ini from the folder the program starts in: still not
                // one to use, since it would change with that folder.
                fs::create_directories(p.relativa().parent_path());
                ArquivoIni ini(p.relativa());
                ini.grava(kSecaoGeral, kChaveDatabase, p.banco.caminho());
                ini.grava(kSecaoGeral, kChaveCaminhoXml, (p.raiz / "saida-relativa").string());
                ambiente += "XDG_CONFIG_HOME=relativa ";
                break;
            }
        }
        const std::string comando = "cd '" + p.raiz.string() + "' && " + ambiente + "'" +
                                    p.programa().string() + "' " + argumentos + " >'" +
                                    out.string() + "' 2>'" + err.string() + "' </dev/null";
        const int r = std::system(comando.c_str());
        return {WIFEXITED(r) ? WEXITSTATUS(r) : -1, teste::leArquivo(out), teste::leArquivo(err)};
    }
};

const std::string kPeriodo = "--data-inicial 01/10/2019 --data-final 31/10/2019";

TEST_F(LocalConfigTest, UsaOPrimeiroQueExisteNaOrdemEGravaErrosAoLadoDele) {
    struct Caso {
        const char* descricao;
        std::vector<Local> existem;
        Xdg xdg;
        bool comOpcao;
        Local usado;
    };
    const Caso casos[] = {
        {"só ao lado do programa", {Local::AoLado}, Xdg::PastaDoTeste, false, Local::AoLado},
        {"ao lado do programa vem antes da pasta do usuário",
         {Local::AoLado, Local::Xdg},
         Xdg::PastaDoTeste,
         false,
         Local::AoLado},
        {"só em $XDG_CONFIG_HOME", {Local::Xdg}, Xdg::PastaDoTeste, false, Local::Xdg},
        {"$XDG_CONFIG_HOME em vez de ~/.config",
         {Local::Xdg, Local::Casa},
         Xdg::PastaDoTeste,
         false,
         Local::Xdg},
        {"~/.config sem $XDG_CONFIG_HOME", {Local::Casa}, Xdg::Ausente, false, Local::Casa},
        {"~/.config com $XDG_CONFIG_HOME vazia", {Local::Casa}, Xdg::Vazia, false, Local::Casa},
        {"~/.config com $XDG_CONFIG_HOME relativa",
         {Local::Casa},
         Xdg::Relativa,
         false,
         Local::Casa},
        {"--config vem antes de todos",
         {Local::Opcao, Local::AoLado, Local::Xdg},
         Xdg::PastaDoTeste,
         true,
         Local::Opcao},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        Pastas p;
        preparaPrograma(p);
        for (const Local local : c.existem) criaConfig(p, local);
        const std::string opcao =
            c.comOpcao ? "--config '" + p.config(Local::Opcao).string() + "' " : "";

        const Resultado r = executa(p, c.xdg, opcao + kPeriodo);

        ASSERT_EQ(r.status, 0) << r.erros;
        EXPECT_FALSE(fs::exists(p.raiz / "saida-relativa"));
        for (const auto& [local, nome] : kNomes) {
            const bool usado = local == c.usado;
            EXPECT_EQ(fs::exists(p.saida(local)), usado) << nome;
            EXPECT_EQ(fs::exists(p.config(local).parent_path() / "erros.txt"), usado) << nome;
        }
        ASSERT_TRUE(fs::exists(p.config(c.usado).parent_path() / "erros.txt")) << r.erros;
        EXPECT_NE(teste::leArquivo(p.config(c.usado).parent_path() / "erros.txt")
                      .find("Data de nascimento"),
                  std::string::npos);
        bool achou = false;
        for (const auto& e : fs::directory_iterator(p.saida(c.usado)))
            achou = achou || e.path().extension() == ".zip";
        EXPECT_TRUE(achou) << r.erros;
        // The run remembers its settings in the file it used.
        EXPECT_EQ(ArquivoIni(p.config(c.usado)).le(kSecaoGeral, kChaveCaminhoXml, ""),
                  p.saida(c.usado).string());
    }
}

// No usable config.ini: the run refuses, naming every place it looked, and makes nothing.
TEST_F(LocalConfigTest, SemConfigRecusaDizendoOndeProcurou) {
    // The system's place is the machine's own: with the package installed it always has one.
    const fs::path doSistema = locaisDoConfig().back();
    if (fs::exists(doSistema))
        GTEST_SKIP() << doSistema.string()
                     << " existe nesta máquina (o pacote está instalado): sempre há uma "
                        "configuração a achar";
    struct Caso {
        const char* descricao;
        std::vector<Local> existem;
        Xdg xdg;
        bool comOpcao;
        std::vector<Local> procurados;
        std::vector<Local> naoProcurados;
    };
    const Caso casos[] = {
        {"nenhum", {}, Xdg::PastaDoTeste, false, {Local::AoLado, Local::Xdg}, {Local::Casa}},
        {"~/.config não é lido quando $XDG_CONFIG_HOME é dada",
         {Local::Casa},
         Xdg::PastaDoTeste,
         false,
         {Local::AoLado, Local::Xdg},
         {Local::Casa}},
        {"nenhum, sem $XDG_CONFIG_HOME",
         {},
         Xdg::Ausente,
         false,
         {Local::AoLado, Local::Casa},
         {Local::Xdg}},
        {"um --config que não existe não cede o lugar aos outros",
         {Local::AoLado, Local::Xdg},
         Xdg::PastaDoTeste,
         true,
         {Local::Opcao},
         {Local::AoLado, Local::Xdg}},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        Pastas p;
        preparaPrograma(p);
        for (const Local local : c.existem) criaConfig(p, local);
        const std::string opcao =
            c.comOpcao ? "--config '" + p.config(Local::Opcao).string() + "' " : "";

        const Resultado r = executa(p, c.xdg, opcao + kPeriodo);

        EXPECT_EQ(r.status, 2) << r.erros;
        EXPECT_NE(r.erros.find("não foi encontrado"), std::string::npos) << r.erros;
        // Named in the order they were tried.
        std::size_t depois = 0;
        for (const Local local : c.procurados) {
            const std::size_t onde = r.erros.find(p.config(local).string());
            EXPECT_NE(onde, std::string::npos) << kNomes.at(local) << ": " << r.erros;
            EXPECT_GE(onde, depois) << kNomes.at(local);
            depois = onde;
        }
        for (const Local local : c.naoProcurados)
            EXPECT_EQ(r.erros.find(p.config(local).string()), std::string::npos)
                << kNomes.at(local) << ": " << r.erros;
        for (const auto& [local, nome] : kNomes) {
            EXPECT_FALSE(fs::exists(p.saida(local))) << nome;
            EXPECT_FALSE(fs::exists(p.config(local).parent_path() / "erros.txt")) << nome;
        }
        EXPECT_FALSE(fs::exists(p.config(Local::Opcao)));
    }
}

// --help names the places as this machine has them, in the order they are tried.
TEST_F(LocalConfigTest, AjudaDizOndeProcura) {
    struct Caso {
        const char* descricao;
        Xdg xdg;
        std::vector<Local> procurados;
        Local naoProcurado;
    };
    const Caso casos[] = {
        {"com $XDG_CONFIG_HOME", Xdg::PastaDoTeste, {Local::AoLado, Local::Xdg}, Local::Casa},
        {"sem $XDG_CONFIG_HOME", Xdg::Ausente, {Local::AoLado, Local::Casa}, Local::Xdg},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        Pastas p;
        preparaPrograma(p);

        const Resultado r = executa(p, c.xdg, "--help");

        EXPECT_EQ(r.status, 0) << r.erros;
        std::size_t depois = 0;
        for (const Local local : c.procurados) {
            const std::size_t onde = r.saida.find("  " + p.config(local).string() + "\n");
            EXPECT_NE(onde, std::string::npos) << kNomes.at(local) << ": " << r.saida;
            EXPECT_GE(onde, depois) << kNomes.at(local);
            depois = onde;
        }
        EXPECT_EQ(r.saida.find(p.config(c.naoProcurado).string()), std::string::npos) << r.saida;
        EXPECT_NE(r.saida.find("erros.txt"), std::string::npos) << r.saida;
    }
}

}  // namespace
}  // namespace cds
