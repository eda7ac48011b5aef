#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "comum/erro.hpp"
#include "export/arquivo_ini.hpp"
#include "export/trava_pasta.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/cadastros.hpp"
#include "suporte/clinica.hpp"
#include "suporte/servidor_mudo.hpp"
#include "suporte/texto_utf8.hpp"

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
        ini.grava(kSecaoGeral, kChaveIbge, "4205407");
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
    // Said once, with why and the library's text.
    const std::string conexao =
        "Não foi possível conectar ao banco de dados em /nao/existe.fdb: "
        "o arquivo do banco de dados não existe. Detalhe: I/O error";
    const auto onde = r.erros.find(conexao);
    EXPECT_NE(onde, std::string::npos) << r.erros;
    EXPECT_EQ(r.erros.find("conectar", onde + conexao.size()), std::string::npos) << r.erros;

    r = executa(comConfig("--cod-prof '1 OR 1=1'"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.erros.find("'1 OR 1=1'"), std::string::npos) << r.erros;
}

// An error that is none of the program's own (here the system refuses it a thread: a thread's
// stack is as large as the stack limit, a terabyte, more than the memory it may use) still
// reaches the operator, with an exit status that says the run failed, instead of an abort.
TEST_F(LinhaDeComandoTest, ErroInesperadoChegaAoOperador) {
    banco.desconecta();
    const fs::path erros = pasta.caminho() / "stderr.txt";
#ifdef __SANITIZE_ADDRESS__
    // AddressSanitizer reserves its shadow memory past any limit of the address space; the
    // terabyte is more than the system lends.
    const std::string memoria;
#else
    const std::string memoria = "ulimit -v 1048576 && ";
#endif
    const std::string comando = memoria + "ulimit -s 1073741824 && exec " +
                                std::string(EXPORTADOR_CLI) + " " + comConfig("") +
                                " >/dev/null 2>'" + erros.string() + "' </dev/null";
    const int r = std::system(("sh -c \"" + comando + "\"").c_str());

    ASSERT_TRUE(WIFEXITED(r));
    // The shell says 128 + the signal when the program is killed by one.
    EXPECT_EQ(WEXITSTATUS(r), 1) << teste::leArquivo(erros);
    EXPECT_TRUE(teste::leArquivo(erros).starts_with("Exportador CDS: erro inesperado: "))
        << teste::leArquivo(erros);
    EXPECT_FALSE(fs::exists(saida()));
}

// An empty IBGE is warned on standard output, with the log, as the run starts; the run goes on.
TEST_F(LinhaDeComandoTest, IbgeEmBrancoAvisadoNoInicioDoLog) {
    ArquivoIni(config()).grava(kSecaoGeral, kChaveIbge, "");
    const Saida r = executa(comConfig("--fichas atendimento-individual"));
    EXPECT_EQ(r.status, 0) << r.erros;
    EXPECT_TRUE(r.saida.starts_with("IBGE não informado em config.ini")) << r.saida;
    EXPECT_TRUE(fs::exists(saida() / "arquivosXML" / "FichaAtendimentoIndividual_1.esus.xml"));
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

namespace cds {
namespace {

namespace fs = std::filesystem;

// Every file under a folder with its bytes, to tell whether anything was touched.
std::map<std::string, std::string> conteudoDe(const fs::path& pasta) {
    std::map<std::string, std::string> tudo;
    for (const auto& e : fs::recursive_directory_iterator(pasta))
        if (e.is_regular_file())
            tudo[fs::relative(e.path(), pasta).string()] = teste::leArquivo(e.path());
    return tudo;
}

// Run as a hostile or clumsy operator would: the command line refuses before it writes
// anything, config.ini and arquivosXML included, and says why.
TEST_F(LinhaDeComandoTest, RecusaAntesDeGravarQualquerCoisa) {
    if (fs::exists("/arquivosXML"))
        GTEST_SKIP() << "/arquivosXML já existe nesta máquina: o teste não saberia dizer se "
                        "a execução a criou";
    banco.desconecta();
    // A database of 3 MB or so, as --config might name by mistake.
    fs::copy_file(banco.arquivo(), pasta.caminho() / "clinica.fdb");
    std::string utf16 = "\xFF\xFE";
    for (const char c : teste::leArquivo(config())) utf16 += std::string{c, '\0'};
    teste::escreveArquivo(pasta.caminho() / "config-utf16.ini", utf16);
    teste::escreveArquivo(
        pasta.caminho() / "config-sem-caminho.ini",
        "[GERAL]\r\nDATABASE=" + banco.caminho() + "\r\nCNESPRINCIPAL=2345678\r\nCAMINHOXML=\r\n");
    const auto emAspas = [](const fs::path& p) { return "'" + p.string() + "'"; };
    const std::string periodo = " --data-inicial 01/10/2019 --data-final 31/10/2019";
    struct Caso {
        const char* descricao;
        std::string argumentos;
        std::string motivo;
    };
    const Caso casos[] = {
        {"--config de um banco de dados",
         "--config " + emAspas(pasta.caminho() / "clinica.fdb") + periodo,
         "clinica.fdb não pode ser lido como tal"},
        {"--config em UTF-16",
         "--config " + emAspas(pasta.caminho() / "config-utf16.ini") + periodo, "UTF-16"},
        {"--config ausente", "--config " + emAspas(pasta.caminho() / "nao-existe.ini") + periodo,
         "não foi encontrado: " + (pasta.caminho() / "nao-existe.ini").string()},
        {"caminho com quebra de linha",
         comConfig("--caminho '" + saida().string() + "\n[GERAL]\nDATABASE=/outro.fdb'"),
         "(Caminho) tem uma quebra de linha"},
        {"--caminho vazio", comConfig("--caminho ''"), "está em branco"},
        {"CAMINHOXML vazio em config.ini",
         "--config " + emAspas(pasta.caminho() / "config-sem-caminho.ini") + periodo,
         "está em branco"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        const auto antes = conteudoDe(pasta.caminho());

        const Saida r = executa(c.argumentos);

        EXPECT_EQ(r.status, 1) << r.erros;
        EXPECT_NE(r.erros.find(c.motivo), std::string::npos) << r.erros;
        auto depois = conteudoDe(pasta.caminho());
        depois.erase("stdout.txt");
        depois.erase("stderr.txt");
        auto esperado = antes;
        esperado.erase("stdout.txt");
        esperado.erase("stderr.txt");
        EXPECT_TRUE(depois == esperado) << "a execução recusada mexeu na pasta";
        EXPECT_FALSE(fs::exists(saida()));
        EXPECT_FALSE(fs::exists(pasta.caminho() / "nao-existe.ini"));
        EXPECT_FALSE(fs::exists("/arquivosXML"));
    }
}

// Options a run cannot use are usage errors, refused before any setting is written or any
// connection made, naming the option and the value as typed.
TEST_F(LinhaDeComandoTest, OpcoesRecusadasComoUsoIncorretoAntesDeTudo) {
    teste::escreveArquivo(pasta.caminho() / "config-sem-cnes.ini",
                          "[GERAL]\r\nDATABASE=" + banco.caminho() +
                              "\r\nCNESPRINCIPAL=\r\nCAMINHOXML=" + saida().string() + "\r\n");
    teste::escreveArquivo(pasta.caminho() / "config-com-erros.ini",
                          "[GERAL]\r\nDATABASE=" + banco.caminho() +
                              "\r\nCNESPRINCIPAL=23x\r\nCAMINHOXML=" + saida().string() +
                              "\r\n[ESUS]\r\nPROFISSIONALGENERICO=abc\r\n");
    const std::string comErros = "--config '" +
                                 (pasta.caminho() / "config-com-erros.ini").string() +
                                 "' --data-inicial 01/10/2019 --data-final 31/10/2019";
    struct Caso {
        std::string argumentos;
        // What standard error says after "exportador-cds: ".
        std::string motivo;
    };
    const Caso casos[] = {
        {comConfig("--uuid 'caf\xE9'"),
         "--uuid: Valor inválido: 'caf\\xE9': não é texto UTF-8 válido"},
        {comConfig("--unidade '23\xE9'"), "--unidade: Valor inválido: '23\\xE9'"},
        {comConfig("--caminho '/tmp/sa\xED"
                   "da'"),
         "--caminho: Valor inválido: '/tmp/sa\\xEDda'"},
        {"--config '/tmp/c\xE9.ini'", "--config: Valor inválido: '/tmp/c\\xE9.ini'"},
        {comConfig("--unidade 23x"), "--unidade: CNES da unidade inválido: '23x'"},
        {comConfig("--unidade 12345678"), "--unidade: CNES da unidade inválido: '12345678'"},
        {comConfig("--unidade ''"), "--unidade: O CNES da unidade está em branco"},
        {"--config '" + (pasta.caminho() / "config-sem-cnes.ini").string() +
             "' --data-inicial 01/10/2019 --data-final 31/10/2019",
         "--unidade: O CNES da unidade está em branco"},
        {comErros,
         "--unidade: CNES da unidade inválido: '23x'. Informe somente números, até 7 dígitos. "
         "(de CNESPRINCIPAL, na seção [GERAL] de config.ini)"},
        {comErros + " --unidade 2345678",
         "--profissional-generico: Código do profissional genérico inválido: 'abc'. Informe "
         "somente números (até 2147483647), ou deixe em branco. (de PROFISSIONALGENERICO, na "
         "seção [ESUS] de config.ini)"},
        {comConfig("--cod-prof 12345678901234567890"),
         "--cod-prof: Código do profissional inválido: '12345678901234567890'"},
        {comConfig("--cod-prof 2147483648"),
         "--cod-prof: Código do profissional inválido: '2147483648'"},
        {comConfig("--profissional-generico 99999999999"),
         "--profissional-generico: Código do profissional genérico inválido: '99999999999'"},
        {comConfig("--profissional-generico '9\n[GERAL]\nDATABASE=/outro.fdb'"),
         "--profissional-generico: Código do profissional genérico inválido: "
         "'9\\n[GERAL]\\nDATABASE=/outro.fdb'"},
        {comConfig("--uuid 'a\tb'"), "--uuid: UUID inválido: 'a\\tb'"},
        {"--config '" + config().string() + "' --data-inicial 01/01/0000",
         "--data-inicial: Data inicial fora do intervalo aceito: '01/01/0000'"},
        {"--config '" + config().string() + "' --data-inicial 01/01/-201",
         "--data-inicial: Data inválida: '01/01/-201'"},
        {"--config '" + config().string() + "' --data-inicial 01/01/2019 --data-final 31/12/9999",
         "--data-final: Data final fora do intervalo aceito: '31/12/9999'"},
        {comConfig("--data-inicial 01/11/2019"),
         "--data-inicial: A data inicial '01/11/2019' é posterior à data final '31/10/2019'"},
        {comConfig("--fichas ''"), "--fichas: Nenhum tipo de ficha informado: ''"},
        {comConfig("--fichas ,"), "--fichas: Nenhum tipo de ficha informado: ','"},
    };
    const std::string configAntes = teste::leArquivo(config());
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.argumentos);
        const Saida r = executa(c.argumentos);
        EXPECT_EQ(r.status, 2) << r.erros;
        EXPECT_NE(r.erros.find("exportador-cds: " + c.motivo), std::string::npos) << r.erros;
        EXPECT_NE(r.erros.find("--help"), std::string::npos) << r.erros;
        EXPECT_EQ(r.saida, "");
        EXPECT_EQ(teste::leArquivo(config()), configAntes);
        EXPECT_FALSE(fs::exists(saida()));
    }
}

// Whether an XML parser accepts the file.
bool xmlBemFormado(const fs::path& arquivo) {
    const std::string comando =
        "python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' '" +
        arquivo.string() + "' 2>/dev/null";
    return std::system(comando.c_str()) == 0;
}

// An IBGE saved by an editor of Windows in its code page, and accents typed on the command
// line: every record file is still one an XML parser reads, with the text as it was meant.
TEST_F(LinhaDeComandoTest, TextoQueNaoEUtf8NuncaChegaAUmaFicha) {
    std::string config = teste::leArquivo(this->config());
    config.replace(config.find("IBGE=4205407"), 12, "IBGE=S\xE3o Lu\xEDs");
    teste::escreveArquivo(this->config(), config);

    const Saida r = executa(comConfig("--uuid 'São-'"));

    ASSERT_EQ(r.status, 0) << r.erros;
    int fichas = 0;
    for (const auto& e : fs::directory_iterator(saida() / "arquivosXML")) {
        ++fichas;
        EXPECT_TRUE(xmlBemFormado(e.path())) << e.path();
        const std::string texto = teste::leArquivo(e.path());
        EXPECT_NE(texto.find("<codIbge>São Luís</codIbge>"), std::string::npos) << e.path();
    }
    EXPECT_GT(fichas, 0);
}

// The server refuses the run's commit: the archive goes, the operator reads no success, and
// the exit status says the run failed.
TEST_F(LinhaDeComandoTest, ConfirmacaoRecusadaTerminaSemSucessoESemArquivo) {
    banco.executa("CREATE EXCEPTION CONFIRMACAO_RECUSADA 'confirmação recusada pelo servidor'");
    banco.executa(
        "CREATE TRIGGER RECUSA_COMMIT ACTIVE ON TRANSACTION COMMIT AS BEGIN "
        "IF (CURRENT_USER = 'EXPORTADOR') THEN EXCEPTION CONFIRMACAO_RECUSADA; END");
    // The embedded engine takes any user name; this one may do what SYSDBA may with the tables.
    banco.executa(
        "EXECUTE BLOCK AS DECLARE t VARCHAR(63); BEGIN "
        "FOR SELECT TRIM(RDB$RELATION_NAME) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0 "
        "INTO t DO EXECUTE STATEMENT 'GRANT ALL ON ' || t || ' TO EXPORTADOR'; END");
    setenv("ISC_USER", "EXPORTADOR", 1);
    const Saida r = executa(comConfig("--fichas atendimento-individual"));
    unsetenv("ISC_USER");

    EXPECT_EQ(r.status, 1) << r.erros;
    EXPECT_NE(r.erros.find("não foi confirmada no banco de dados"), std::string::npos) << r.erros;
    EXPECT_NE(r.erros.find("confirmação recusada pelo servidor"), std::string::npos) << r.erros;
    EXPECT_EQ(r.erros.find("gerado com sucesso"), std::string::npos) << r.erros;
    EXPECT_TRUE(fs::exists(saida() / "arquivosXML" / "FichaAtendimentoIndividual_1.esus.xml"));
    for (const auto& e : fs::directory_iterator(saida()))
        EXPECT_NE(e.path().extension(), ".zip") << e.path();
}

// The command line started as a process of its own, as a terminal or a service manager starts
// it: no signal blocked or ignored, whatever this test process has; standard input empty,
// standard output to `saida`, standard error to a file.
class ProcessoCli {
  public:
    ProcessoCli(const std::vector<std::string>& argumentos, int saida, const fs::path& erros) {
        std::vector<char*> argv{const_cast<char*>(EXPORTADOR_CLI)};
        for (const std::string& a : argumentos) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t acoes;
        posix_spawn_file_actions_init(&acoes);
        posix_spawn_file_actions_addopen(&acoes, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&acoes, saida, 1);
        posix_spawn_file_actions_addopen(&acoes, 2, erros.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawnattr_t atributos;
        posix_spawnattr_init(&atributos);
        sigset_t nenhum, padrao;
        sigemptyset(&nenhum);
        sigemptyset(&padrao);
        for (const int s : {SIGINT, SIGTERM, SIGPIPE}) sigaddset(&padrao, s);
        posix_spawnattr_setsigmask(&atributos, &nenhum);
        posix_spawnattr_setsigdefault(&atributos, &padrao);
        posix_spawnattr_setflags(&atributos, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        if (posix_spawn(&pid, EXPORTADOR_CLI, &acoes, &atributos, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&acoes);
        posix_spawnattr_destroy(&atributos);
    }
    ~ProcessoCli() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    ProcessoCli(const ProcessoCli&) = delete;
    ProcessoCli& operator=(const ProcessoCli&) = delete;

    void sinal(int numero) const { ::kill(pid, numero); }

    // The status waitpid gives, once the process has ended; none if it is still running after
    // `prazo`, far beyond what it takes here (it is killed then).
    std::optional<int> espera(std::chrono::seconds prazo) {
        const auto limite = std::chrono::steady_clock::now() + prazo;
        while (std::chrono::steady_clock::now() < limite) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }

    pid_t pid = -1;
};

constexpr std::chrono::seconds kPrazo{120};

// A line of the log per care record: a physician without a team, with `n` episodes.
void insereEpisodiosSemEquipe(teste::BancoTeste& banco, int n) {
    banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(11, 'Dr. Sem Equipe', '700000000000002', '225142', NULL)");
    banco.executa(
        "INSERT INTO FAA (CODUNIDADE, NUMFAA, DATA, HORA, CODPESSOA, CODPROFISSIONAL, "
        "ESPECIEATEND, CARATER, CODCONDUTA) "
        "SELECT '2345678', 99 + ROW_NUMBER() OVER (), DATE '2019-10-15', TIME '10:00:00', 100, 11, "
        "'MEDICO', '1', 1 FROM RDB$TYPES A CROSS JOIN RDB$TYPES B ROWS " +
        std::to_string(n));
    banco.executa(
        "INSERT INTO FAACID (CODUNIDADE, NUMFAA, CODCID) "
        "SELECT CODUNIDADE, NUMFAA, 'J45.9' FROM FAA WHERE CODPROFISSIONAL = 11");
}

// Standard output closed before the run writes its log (piped into a program that has gone):
// the export still runs to its end and says so.
TEST_F(LinhaDeComandoTest, SaidaPadraoFechadaNaoParaAExportacao) {
    insereEpisodiosSemEquipe(banco, 1);
    banco.desconecta();
    int canal[2];
    ASSERT_EQ(::pipe2(canal, O_CLOEXEC), 0);
    ::close(canal[0]);
    ProcessoCli cli({"--config", config().string(), "--data-inicial", "01/10/2019", "--data-final",
                     "31/10/2019"},
                    canal[1], pasta.caminho() / "stderr.txt");
    ::close(canal[1]);
    ASSERT_GT(cli.pid, 0);

    const std::optional<int> status = cli.espera(kPrazo);

    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status)) << "terminado pelo sinal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0) << teste::leArquivo(pasta.caminho() / "stderr.txt");
    bool arquivo = false;
    for (const auto& e : fs::directory_iterator(saida()))
        if (e.path().extension() == ".zip") arquivo = true;
    EXPECT_TRUE(arquivo);
    EXPECT_NE(teste::leArquivo(pasta.caminho() / "stderr.txt").find("gerado com sucesso"),
              std::string::npos);
}

// Ctrl-C while a server that never answers holds the connection: the program ends at once,
// says why, and its exit status says it was stopped.
TEST_F(LinhaDeComandoTest, CtrlCComOServidorSemResponderEncerraNaHora) {
    teste::ServidorMudo mudo;
    {
        ArquivoIni ini(config());
        ini.grava(kSecaoGeral, kChaveDatabase, mudo.banco());
        ini.grava(kSecaoGeral, kChaveTempoConexao, "600");
    }
    const int saidaPadrao = ::open((pasta.caminho() / "stdout.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ProcessoCli cli({"--config", config().string()}, saidaPadrao, pasta.caminho() / "stderr.txt");
    ::close(saidaPadrao);
    ASSERT_GT(cli.pid, 0);
    ASSERT_TRUE(mudo.esperaCliente(kPrazo));

    cli.sinal(SIGINT);
    const std::optional<int> status = cli.espera(kPrazo);

    ASSERT_TRUE(status.has_value()) << "o Ctrl-C não encerrou a espera";
    ASSERT_TRUE(WIFEXITED(*status)) << "terminado pelo sinal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 128 + SIGINT);
    EXPECT_NE(teste::leArquivo(pasta.caminho() / "stderr.txt")
                  .find("Exportação interrompida pelo operador."),
              std::string::npos)
        << teste::leArquivo(pasta.caminho() / "stderr.txt");
}

// The port of the tests' private server, when it answers (`banco` let go by the engine of this
// process, which the server would find holding it); the command line reaches it through a
// CaminhoQueEmudece.
std::optional<int> portaDoServidor(const teste::BancoTeste& banco) {
    const std::string servidor = SERVIDOR_PRIVADO_DE_TESTE;
    try {
        Conexao c;
        c.abre(servidor + ":" + banco.arquivo().string());
    } catch (const ErroBanco&) {
        return std::nullopt;
    }
    return std::stoi(servidor.substr(servidor.find('/') + 1));
}

// The names in the output folder, and a file of the operator's there, kept as it was.
std::vector<std::string> nomesEm(const fs::path& pasta) {
    std::vector<std::string> nomes;
    for (const auto& e : fs::directory_iterator(pasta)) nomes.push_back(e.path().filename());
    std::sort(nomes.begin(), nomes.end());
    return nomes;
}

// A server that falls silent in the middle of the records (stopped, or cut off by the network):
// the run gives it up once a call has had no answer for four times TEMPOCONEXAO, says so, and
// leaves nothing behind: no archive, hidden or whole, and the operator's own files as they
// were. Ctrl-C against it stops the run within moments, as ever.
TEST_F(LinhaDeComandoTest, ServidorQueSeCalaNoMeioNaoPrendeAExportacao) {
    insereEpisodiosSemEquipe(banco, 3000);
    banco.desconecta();
    const std::optional<int> porta = portaDoServidor(banco);
    if (!porta) GTEST_SKIP() << "o servidor de teste não responde em " << SERVIDOR_PRIVADO_DE_TESTE;
    struct Caso {
        std::string tempoConexao;
        int sinal;
        int status;
        std::string mensagem;
    };
    const Caso casos[] = {
        {"1", 0, 1,
         "A consulta ao banco de dados falhou: o servidor do banco de dados não respondeu em 4 s, "
         "e a conexão com ele foi encerrada (o limite é 4 vezes TEMPOCONEXAO, na seção [GERAL] "
         "de config.ini). Verifique se o servidor e a rede funcionam; um servidor apenas lento "
         "pede um TEMPOCONEXAO maior."},
        {"600", SIGINT, 128 + SIGINT, "Exportador CDS: Exportação interrompida pelo operador."},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.tempoConexao);
        fs::remove_all(saida());
        fs::create_directories(saida());
        std::ofstream(saida() / "notas.txt") << "do operador";
        teste::CaminhoQueEmudece caminho(*porta);
        {
            ArquivoIni ini(config());
            ini.grava(kSecaoGeral, kChaveDatabase, caminho.banco(banco.arquivo()));
            ini.grava(kSecaoGeral, kChaveTempoConexao, caso.tempoConexao);
        }
        int canal[2];
        ASSERT_EQ(::pipe2(canal, O_CLOEXEC), 0);
        ProcessoCli cli({"--config", config().string(), "--data-inicial", "01/10/2019",
                         "--data-final", "31/10/2019", "--fichas", "atendimento-individual"},
                        canal[1], pasta.caminho() / "stderr.txt");
        ::close(canal[1]);
        ASSERT_GT(cli.pid, 0);
        // The first of the log: the run is among its records, with more to fetch than the
        // client library holds.
        char bloco[4096];
        ASSERT_GT(::read(canal[0], bloco, sizeof bloco), 0);
        caminho.emudece();
        std::thread leitor([&] {
            while (::read(canal[0], bloco, sizeof bloco) > 0) {
            }
        });
        if (caso.sinal) {
            // The run has long used up the rows it had and waits on the server.
            std::this_thread::sleep_for(std::chrono::seconds(1));
            cli.sinal(caso.sinal);
        }
        const std::optional<int> status = cli.espera(kPrazo);
        // Still held: ended here, so that its log ends for the reader.
        if (!status) cli.sinal(SIGKILL);
        leitor.join();
        ::close(canal[0]);

        ASSERT_TRUE(status.has_value()) << "a exportação ficou presa ao servidor calado";
        ASSERT_TRUE(WIFEXITED(*status)) << "terminado pelo sinal " << WTERMSIG(*status);
        const std::string erros = teste::leArquivo(pasta.caminho() / "stderr.txt");
        EXPECT_EQ(WEXITSTATUS(*status), caso.status) << erros;
        EXPECT_NE(erros.find(caso.mensagem), std::string::npos) << erros;
        EXPECT_EQ(erros.find("gerado com sucesso"), std::string::npos) << erros;
        EXPECT_EQ(nomesEm(saida()), (std::vector<std::string>{"arquivosXML", "notas.txt"}));
        EXPECT_EQ(teste::leArquivo(saida() / "notas.txt"), "do operador");
    }
}

// A text of the clinic's database that Windows-1252 cannot hold, in a column of a kind's main
// query or of one of its look-ups: the run fails naming the record (kind, number, unit) and the
// column, so that the operator mends it in the clinical system; nothing of the run is sent or
// marked.
TEST_F(LinhaDeComandoTest, TextoSemWin1252NomeiaORegistroEAColuna) {
    teste::insereBaseDeCadastros(banco);
    teste::insereCidadao(banco, 50);
    banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(11, 'Dr. Lucas', '700000000000011', '225142', '456')");
    teste::insereEpisodio(banco, 3002, "'09:00:00'", "7654321", 11);
    const std::string resto =
        " tem caracteres que o Windows-1252, a codificação da conexão com o banco de dados, não "
        "representa (";
    struct Caso {
        std::function<void()> prepara;
        std::string mensagem;
    };
    const Caso casos[] = {
        {[&] {
             teste::colunaEmUtf8(banco, "PROFISSIONAIS", "nome", "VARCHAR(70)");
             banco.executa("UPDATE PROFISSIONAIS SET nome = " +
                           teste::textoUtf8("Dr. Łukasz 日本") + " WHERE CODIGO = 11");
         },
         "Exportador CDS: FichaAtendimentoIndividual_3002 (unidade 7654321): o texto 'Dr. Łukasz "
         "日本' da coluna NOME da tabela PROFISSIONAIS" +
             resto + "Ł 日 本); corrija-o no sistema da clínica e exporte de novo\n"},
        {[&] {
             teste::colunaEmUtf8(banco, "FAACIAPS", "CODCIAP", "VARCHAR(7)");
             banco.executa(
                 "INSERT INTO FAACIAPS (CODUNIDADE, NUMFAA, CODCIAP) VALUES ('7654321', 3002, " +
                 teste::textoUtf8("Ω01") + ")");
         },
         "Exportador CDS: FichaAtendimentoIndividual_3002 (unidade 7654321): o texto 'Ω01' da "
         "coluna CODCIAP da tabela FAACIAPS" +
             resto + "Ω); corrija-o no sistema da clínica e exporte de novo\n"},
    };
    // Each case on a copy of the database as it is now.
    banco.desconecta();
    const fs::path original = pasta.caminho() / "original.fdb";
    fs::copy_file(banco.arquivo(), original);
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.mensagem);
        fs::copy_file(original, banco.arquivo(), fs::copy_options::overwrite_existing);
        fs::remove_all(saida());
        caso.prepara();
        const Saida r = executa(comConfig(
            "--profissional-generico 9 --fichas cadastro-individual,atendimento-individual"));

        EXPECT_EQ(r.status, 1) << r.erros;
        EXPECT_TRUE(r.erros.ends_with(caso.mensagem)) << r.erros;
        EXPECT_EQ(nomesEm(saida()), std::vector<std::string>{"arquivosXML"});
        // The registration was written, and its register row marked, before the run failed.
        EXPECT_TRUE(
            fs::exists(saida() / "arquivosXML" / "FichaCadastroIndividual_00000000050.esus.xml"));
        Conexao c;
        c.abre(banco.caminho());
        Transacao t(c);
        const Linha registro = Consulta(t,
                                        "SELECT transmitiresus, datatransmissaoesus FROM "
                                        "pessoastransmissao WHERE codigo = 50")
                                   .abre()
                                   .at(0);
        EXPECT_EQ(registro.texto("transmitiresus"), "Sim");
        EXPECT_TRUE(registro.nulo("datatransmissaoesus"));
    }
}

// The program run by a user who may not read the database file, or not write to it, or who is
// not of the firebird group, whose lock folder the engine needs: the message says which, rather
// than that the file does not exist.
TEST_F(LinhaDeComandoTest, BancoQueOUsuarioNaoPodeUsarDizPorque) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "o teste roda o programa como outro usuário: precisa de root";
    // Copied at once: the next look-up, the database library's own included, reuses the space.
    const passwd* p = ::getpwnam("nobody");
    if (!p) GTEST_SKIP() << "sem o usuário nobody";
    const uid_t uid = p->pw_uid;
    const gid_t gid = p->pw_gid;
    const group* g = ::getgrnam("firebird");
    if (!g) GTEST_SKIP() << "sem o grupo firebird";
    const gid_t grupoFirebird = g->gr_gid;
    banco.desconecta();
    // The user's own folder, its home, with its settings and its output folder. The engine's
    // configuration is the user's own too, not this process's (FIREBIRD).
    const fs::path casa = pasta.caminho() / "nobody";
    fs::create_directory(casa);
    const fs::perms entra = fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec;
    fs::permissions(pasta.caminho(), entra);
    fs::permissions(banco.pasta(), entra);
    {
        ArquivoIni ini(casa / "config.ini");
        ini.grava(kSecaoGeral, kChaveDatabase, banco.arquivo().string());
        ini.grava(kSecaoGeral, kChaveCnesPrincipal, "2345678");
        ini.grava(kSecaoGeral, kChaveCaminhoXml, (casa / "saida").string());
        ini.grava(kSecaoGeral, kChaveIbge, "4205407");
    }
    for (const fs::path& f : {casa, casa / "config.ini"})
        ASSERT_EQ(::chown(f.c_str(), uid, gid), 0) << f;
    struct Caso {
        fs::perms arquivoDoBanco;
        bool doGrupoFirebird;
        std::string motivo;
    };
    const Caso casos[] = {
        {fs::perms::owner_read | fs::perms::owner_write, true,
         "o usuário do sistema não tem permissão para abrir o arquivo do banco de dados"},
        {fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read, true,
         "o usuário do sistema não tem permissão para gravar no arquivo do banco de dados, e o "
         "exportador grava nele os cadastros enviados"},
        {fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read |
             fs::perms::others_write,
         false,
         "o usuário do sistema não tem permissão para usar /tmp/firebird/, de que o Firebird "
         "precisa"},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(caso.motivo);
        fs::permissions(banco.arquivo(), caso.arquivoDoBanco);
        const fs::path err = pasta.caminho() / "stderr.txt";
        const std::string grupos =
            caso.doGrupoFirebird ? "--groups=" + std::to_string(grupoFirebird) : "--clear-groups";
        const std::string comando =
            "setpriv --reuid=" + std::to_string(uid) + " --regid=" + std::to_string(gid) + " " +
            grupos + " env -u FIREBIRD -u FIREBIRD_LOCK -u XDG_CACHE_HOME HOME='" + casa.string() +
            "' " + EXPORTADOR_CLI + " --config '" + (casa / "config.ini").string() +
            "' --fichas atendimento-individual </dev/null >/dev/null 2>'" + err.string() + "'";
        const int r = std::system(comando.c_str());

        const std::string erros = teste::leArquivo(err);
        ASSERT_TRUE(WIFEXITED(r));
        EXPECT_EQ(WEXITSTATUS(r), 1) << erros;
        EXPECT_NE(erros.find("Não foi possível conectar ao banco de dados em " +
                             banco.arquivo().string() + ": " + caso.motivo + ". Detalhe: "),
                  std::string::npos)
            << erros;
    }
}

// SIGTERM, or Ctrl-C, in the middle of the records: the run stops, undoes its work, leaves no
// archive, says why, and its exit status says it was stopped. The run is held in its middle by
// its own log: standard output is a pipe read only after the signal.
TEST_F(LinhaDeComandoTest, SinalNoMeioDaExportacaoParaSemArquivo) {
    insereEpisodiosSemEquipe(banco, 3000);
    banco.desconecta();
    for (const int sinal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sinal);
        fs::remove_all(saida());
        int canal[2];
        ASSERT_EQ(::pipe2(canal, O_CLOEXEC), 0);
        ProcessoCli cli({"--config", config().string(), "--data-inicial", "01/10/2019",
                         "--data-final", "31/10/2019", "--fichas", "atendimento-individual"},
                        canal[1], pasta.caminho() / "stderr.txt");
        ::close(canal[1]);
        ASSERT_GT(cli.pid, 0);
        // The first of the log: the run is among its records, and cannot end before the rest
        // of its log, more than the pipe holds, is read.
        char bloco[4096];
        ASSERT_GT(::read(canal[0], bloco, sizeof bloco), 0);

        cli.sinal(sinal);
        while (::read(canal[0], bloco, sizeof bloco) > 0) {
        }
        ::close(canal[0]);
        const std::optional<int> status = cli.espera(kPrazo);

        ASSERT_TRUE(status.has_value());
        ASSERT_TRUE(WIFEXITED(*status)) << "terminado pelo sinal " << WTERMSIG(*status);
        EXPECT_EQ(WEXITSTATUS(*status), 128 + sinal);
        const std::string erros = teste::leArquivo(pasta.caminho() / "stderr.txt");
        EXPECT_NE(erros.find("Exportador CDS: Exportação interrompida pelo operador."),
                  std::string::npos)
            << erros;
        EXPECT_EQ(erros.find("gerado com sucesso"), std::string::npos) << erros;
        std::vector<std::string> sobra;
        for (const auto& e : fs::directory_iterator(saida())) sobra.push_back(e.path().filename());
        EXPECT_EQ(sobra, std::vector<std::string>{"arquivosXML"});
    }
}

// Where the kernel says a process sleeps; empty where it does not say.
std::string ondeDorme(pid_t pid) {
    std::ifstream entrada("/proc/" + std::to_string(pid) + "/wchan");
    std::string onde;
    std::getline(entrada, onde);
    return onde == "0" ? std::string() : onde;
}

// Whether a signal sent to the process waits to be taken.
bool sinalPendente(pid_t pid, int sinal) {
    std::ifstream entrada("/proc/" + std::to_string(pid) + "/status");
    for (std::string linha; std::getline(entrada, linha);)
        if (linha.starts_with("ShdPnd:"))
            return (std::stoull(linha.substr(7), nullptr, 16) >> (sinal - 1)) & 1;
    return false;
}

// A second Ctrl-C ends the program at once, whatever the run is doing: here it waits to write
// its log to a pipe nobody reads, where the first one's request cannot reach it.
TEST_F(LinhaDeComandoTest, SegundoCtrlCEncerraNaHora) {
    insereEpisodiosSemEquipe(banco, 3000);
    banco.desconecta();
    int canal[2];
    ASSERT_EQ(::pipe2(canal, O_CLOEXEC), 0);
    ProcessoCli cli({"--config", config().string(), "--data-inicial", "01/10/2019", "--data-final",
                     "31/10/2019", "--fichas", "atendimento-individual"},
                    canal[1], pasta.caminho() / "stderr.txt");
    ::close(canal[1]);
    ASSERT_GT(cli.pid, 0);
    // Waits until it sleeps writing to the full pipe.
    const auto limite = std::chrono::steady_clock::now() + kPrazo;
    std::string onde;
    bool algumaVez = false;
    while ((onde = ondeDorme(cli.pid)).find("pipe_write") == std::string::npos &&
           std::chrono::steady_clock::now() < limite) {
        algumaVez = algumaVez || !onde.empty();
        int cheio = 0;
        if (!algumaVez && ::ioctl(canal[0], FIONREAD, &cheio) == 0 &&
            cheio >= ::fcntl(canal[0], F_GETPIPE_SZ)) {
            // Full, so the writer sleeps, and the kernel does not say where.
            std::this_thread::sleep_for(std::chrono::seconds(1));
            if (ondeDorme(cli.pid).empty()) {
                ::close(canal[0]);
                GTEST_SKIP() << "o kernel não diz onde um processo dorme (/proc/PID/wchan)";
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_NE(onde.find("pipe_write"), std::string::npos) << onde;

    // Two signals of a kind sent together are one: the second goes once the first was taken.
    cli.sinal(SIGINT);
    while (sinalPendente(cli.pid, SIGINT) && std::chrono::steady_clock::now() < limite)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    cli.sinal(SIGINT);
    const std::optional<int> status = cli.espera(kPrazo);
    ::close(canal[0]);

    ASSERT_TRUE(status.has_value()) << "o segundo Ctrl-C não encerrou o programa";
    ASSERT_TRUE(WIFEXITED(*status)) << "terminado pelo sinal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 128 + SIGINT);
    EXPECT_NE(teste::leArquivo(pasta.caminho() / "stderr.txt")
                  .find("Exportação interrompida pelo operador."),
              std::string::npos);
    for (const auto& e : fs::directory_iterator(saida()))
        EXPECT_NE(e.path().extension(), ".zip") << e.path();
}

}  // namespace
}  // namespace cds
