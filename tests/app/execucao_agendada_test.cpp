// The command line as a scheduler or an administrator over SSH uses it: exit codes by class,
// config.ini left alone, quiet and logged runs, the check run, the connection check and the
// progress line on a terminal.

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "app/cli/saida.hpp"
#include "comum/versao.hpp"
#include "export/arquivo_ini.hpp"
#include "export/trava_pasta.hpp"
#include "linha_de_comando.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/cadastros.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;

// Every file under a folder with its bytes, to tell whether anything was touched.
std::map<std::string, std::string> conteudoDe(const fs::path& pasta) {
    std::map<std::string, std::string> tudo;
    if (!fs::exists(pasta)) return tudo;
    for (const auto& e : fs::recursive_directory_iterator(pasta))
        tudo[fs::relative(e.path(), pasta).string()] =
            e.is_regular_file() ? teste::leArquivo(e.path()) : std::string("<pasta>");
    return tudo;
}

std::vector<std::string> linhasDe(const std::string& texto) {
    std::vector<std::string> linhas;
    std::size_t inicio = 0;
    for (std::size_t fim; (fim = texto.find('\n', inicio)) != std::string::npos; inicio = fim + 1)
        linhas.push_back(texto.substr(inicio, fim - inicio));
    if (inicio < texto.size()) linhas.push_back(texto.substr(inicio));
    return linhas;
}

// The database's server address, when the tests' private server answers for this database.
std::optional<std::string> servidorDoBanco(const teste::BancoTeste& banco) {
    const std::string caminho =
        std::string(SERVIDOR_PRIVADO_DE_TESTE) + ":" + banco.arquivo().string();
    try {
        Conexao c;
        c.abre(caminho);
    } catch (const ErroBanco&) {
        return std::nullopt;
    }
    return caminho;
}

// The transmission register of the citizens, as text, to tell whether a run marked it.
std::string registroDosCidadaos(const std::string& database) {
    Conexao conexao;
    conexao.abre(database);
    Transacao transacao(conexao);
    Consulta q(transacao,
               "select codigo, transmitiresus, datatransmissaoesus, CodigoTransmissaoEsus, uuid "
               "from pessoastransmissao order by codigo");
    std::string texto;
    for (const Linha& l : q.abre())
        texto += l.texto("codigo") + "|" + l.texto("transmitiresus") + "|" +
                 l.texto("datatransmissaoesus") + "|" + l.texto("CodigoTransmissaoEsus") + "|" +
                 l.texto("uuid") + "\n";
    return texto;
}

class ExecucaoAgendadaTest : public LinhaDeComandoTest {};

// Each class of outcome has its exit code, driven by a real failure of that class.
TEST_F(ExecucaoAgendadaTest, CodigoDeSaidaPorClasseDeFalha) {
    banco.desconecta();
    const std::optional<std::string> servidor = servidorDoBanco(banco);
    struct Caso {
        const char* descricao;
        std::string argumentos;
        int codigo;
        // What standard error holds.
        std::string mensagem;
        std::string ambiente = "";
        std::function<void()> prepara = [] {};
    };
    std::optional<TravaPasta> trava;
    const std::string umaFicha = " --fichas atendimento-individual";
    std::vector<Caso> casos = {
        {"feita", comConfig(umaFicha), 0, "gerado com sucesso"},
        {"config.ini que não existe",
         "--config '" + (pasta.caminho() / "nao-existe.ini").string() + "'", 2,
         "exportador-cds: O arquivo de configuração não foi encontrado"},
        {"opção desconhecida", comConfig("--caminhos /tmp"), 2,
         "exportador-cds: opção desconhecida '--caminhos'"},
        {"opção sem valor", comConfig("--caminho"), 2, "exportador-cds: --caminho: falta o valor"},
        {"log que não pode ser aberto",
         comConfig("--log '" + (pasta.caminho() / "nao" / "ha.log").string() + "'"), 2,
         "exportador-cds: --log: não foi possível abrir"},
        {"banco de dados que não existe", comConfig(umaFicha), 3,
         "exportador-cds: Não foi possível conectar ao banco de dados", "",
         [&] { ArquivoIni(config()).grava(kSecaoGeral, kChaveDatabase, "/nao/existe.fdb"); }},
        {"pasta de saída de outra execução", comConfig(umaFicha), 4,
         "exportador-cds: Outra exportação está em andamento na pasta", "",
         [&] {
             fs::create_directories(saida());
             trava.emplace(saida().string());
         }},
        {"a exportação falhou no meio", comConfig(umaFicha), 1, "exportador-cds: ", "",
         [&] { banco.executa("ALTER TABLE FAA DROP CARATER"); }},
    };
    if (servidor)
        casos.push_back({"senha recusada pelo servidor", comConfig(umaFicha), 3,
                         "o usuário ou a senha foram recusados pelo servidor (eles vêm de "
                         "ISC_USER e ISC_PASSWORD no ambiente, ou de --senha-arquivo",
                         "ISC_USER=SYSDBA ISC_PASSWORD=nao-e-a-senha", [&] {
                             ArquivoIni(config()).grava(kSecaoGeral, kChaveDatabase, *servidor);
                         }});
    else
        ADD_FAILURE() << "o servidor de teste não responde em " << SERVIDOR_PRIVADO_DE_TESTE
                      << ": a senha recusada não foi testada";
    const std::string configOriginal = teste::leArquivo(config());
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        teste::escreveArquivo(config(), configOriginal);
        fs::remove_all(saida());
        c.prepara();

        const Saida r = executa(c.argumentos, c.ambiente);

        trava.reset();
        EXPECT_EQ(r.status, c.codigo) << r.erros;
        EXPECT_NE(r.erros.find(c.mensagem), std::string::npos) << r.erros;
    }
}

// --help, --version and a command line refused touch nothing: the process is prepared (the
// embedded engine's folder made in the user's cache) only for a run.
TEST_F(ExecucaoAgendadaTest, AjudaVersaoEUsoIncorretoNaoMexemEmNada) {
    const fs::path cache = pasta.caminho() / "cache";
    fs::create_directories(cache);
    const std::string ambiente = "env -u FIREBIRD XDG_CACHE_HOME='" + cache.string() + "'";
    struct Caso {
        std::string argumentos;
        int codigo;
        // On standard output, or standard error.
        std::string texto;
    };
    const Caso casos[] = {
        {"--help", 0, "Códigos de saída:"},
        {"-h", 0, "ISC_PASSWORD"},
        {"--version", 0, std::string("exportador-cds ") + kVersao + "\n"},
        {"-V", 0, std::string("exportador-cds ") + kVersao + "\n"},
        {comConfig("-x"), 2, "exportador-cds: opção desconhecida '-x'"},
        // After "--" nothing is an option, and the program takes no argument.
        {comConfig("-- --help"), 2, "exportador-cds: argumento não esperado '--help'"},
        {comConfig("--verifica --testa-conexao"), 2,
         "exportador-cds: --verifica e --testa-conexao não podem ser usadas juntas"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.argumentos);
        const Saida r = executa(c.argumentos, ambiente);
        EXPECT_EQ(r.status, c.codigo) << r.erros;
        EXPECT_NE((c.codigo == 0 ? r.saida : r.erros).find(c.texto), std::string::npos)
            << r.saida << r.erros;
        EXPECT_TRUE(fs::is_empty(cache));
    }
    // A run does prepare it, once its options are read.
    const Saida r = executa("--testa-conexao " + comConfig(""), ambiente);
    EXPECT_EQ(r.status, 0) << r.erros;
#ifdef RAIZ_FIREBIRD_INSTALADA
    EXPECT_FALSE(fs::is_empty(cache));
#endif
}

// --senha-arquivo takes the password from a file of its owner's alone, over ISC_PASSWORD, and
// refuses one that others may read before anything runs; the password is never written out.
TEST_F(ExecucaoAgendadaTest, SenhaDeUmArquivoSoDoDono) {
    banco.desconecta();
    const std::optional<std::string> servidor = servidorDoBanco(banco);
    if (!servidor)
        GTEST_SKIP() << "o servidor de teste não responde em " << SERVIDOR_PRIVADO_DE_TESTE;
    ArquivoIni(config()).grava(kSecaoGeral, kChaveDatabase, *servidor);
    const fs::path arquivo = pasta.caminho() / "senha";
    const fs::path log = pasta.caminho() / "exportador.log";
    struct Caso {
        const char* descricao;
        std::string conteudo;
        fs::perms permissoes;
        int codigo;
        std::string mensagem;
    };
    const fs::perms soDoDono = fs::perms::owner_read | fs::perms::owner_write;
    const Caso casos[] = {
        {"a senha do servidor, sem a quebra de linha", "masterkey\n", soDoDono, 0, ""},
        {"a senha numa linha do Windows", "masterkey\r\n", soDoDono, 0, ""},
        {"uma senha errada", "senha-errada-no-arquivo\n", soDoDono, 3,
         "exportador-cds: Não foi possível conectar"},
        {"legível pelo grupo", "masterkey\n", soDoDono | fs::perms::group_read, 2,
         "pode ser lido ou alterado por outros usuários"},
        {"alterável por todos", "masterkey\n", fs::perms::owner_read | fs::perms::others_write, 2,
         "pode ser lido ou alterado por outros usuários"},
        {"vazio", "\n", soDoDono, 2, "está vazia"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        fs::remove(arquivo);
        fs::remove_all(saida());
        teste::escreveArquivo(arquivo, c.conteudo);
        fs::permissions(arquivo, c.permissoes);

        const Saida r = executa(comConfig("--fichas atendimento-individual -q --senha-arquivo '" +
                                          arquivo.string() + "' --log '" + log.string() + "'"),
                                "ISC_USER=SYSDBA ISC_PASSWORD=nao-e-esta");

        EXPECT_EQ(r.status, c.codigo) << r.erros;
        EXPECT_NE(r.erros.find(c.mensagem), std::string::npos) << r.erros;
        if (c.codigo == 2) {
            EXPECT_FALSE(fs::exists(saida()));
        }
    }
    for (const std::string& lido : {teste::leArquivo(log), teste::leArquivo(config())}) {
        EXPECT_EQ(lido.find("masterkey"), std::string::npos) << lido;
        EXPECT_EQ(lido.find("senha-errada-no-arquivo"), std::string::npos) << lido;
    }
}

// The command line's options are for one run: config.ini keeps its bytes, even when the run
// fails after connecting, unless --grava-config asks for the folder and the generic
// professional to be kept, as the window keeps them.
TEST_F(ExecucaoAgendadaTest, ConfigIniSoGravadoComGravaConfig) {
    const fs::path outra = pasta.caminho() / "outra";
    const std::string opcoes = "--fichas atendimento-individual --caminho '" + outra.string() +
                               "' --profissional-generico 99";
    struct Caso {
        const char* descricao;
        std::string argumentos;
        int codigo;
        bool gravado;
    };
    const Caso casos[] = {
        {"exportação feita", comConfig(opcoes), 0, false},
        // Connected, then refused: the generic professional names no one.
        {"exportação recusada depois de conectar",
         comConfig("--fichas cadastro-individual --caminho '" + outra.string() +
                   "' --profissional-generico 424242"),
         2, false},
        {"--verifica", comConfig("--verifica " + opcoes), 0, false},
        {"--grava-config", comConfig("--grava-config " + opcoes), 0, true},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        const std::string antes = teste::leArquivo(config());

        const Saida r = executa(c.argumentos, "TMPDIR='" + pasta.caminho().string() + "'");

        EXPECT_EQ(r.status, c.codigo) << r.erros;
        if (!c.gravado) {
            EXPECT_EQ(teste::leArquivo(config()), antes);
            continue;
        }
        const ArquivoIni ini(config());
        EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, ""), outra.string());
        EXPECT_EQ(ini.le(kSecaoEsus, kChaveProfissionalGenerico, ""), "99");
        // The rest of it as it was.
        EXPECT_EQ(ini.le(kSecaoGeral, kChaveCnesPrincipal, ""), "2345678");
    }
}

// Quiet and logged, as from cron: nothing on either stream of a run that went well, and a log
// file that grows run by run, each line stamped, each run between its header and its outcome.
TEST_F(ExecucaoAgendadaTest, SilenciosoComLogAcrescentadoPorExecucao) {
    banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(11, 'Dr. Sem Equipe', '700000000000002', '225142', NULL)");
    teste::insereEpisodio(banco, 2, "'09:00:00'", "2345678", 11);
    const fs::path log = pasta.caminho() / "exportador.log";
    const std::string argumentos = comConfig("-q --log '" + log.string() + "'");

    const Saida feita = executa(argumentos);
    ArquivoIni(config()).grava(kSecaoGeral, kChaveDatabase, "/nao/existe.fdb");
    const Saida falhou = executa(argumentos);

    EXPECT_EQ(feita.status, 0) << feita.erros;
    EXPECT_EQ(feita.saida, "");
    EXPECT_EQ(feita.erros, "");
    EXPECT_EQ(falhou.status, 3);
    EXPECT_EQ(falhou.saida, "");
    // Only the error, once.
    EXPECT_EQ(linhasDe(falhou.erros).size(), 1u) << falhou.erros;
    EXPECT_TRUE(falhou.erros.starts_with("exportador-cds: Não foi possível conectar"))
        << falhou.erros;

    const std::regex carimbo(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d (.*)$)");
    std::vector<std::string> eventos;
    for (const std::string& linha : linhasDe(teste::leArquivo(log))) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(linha, m, carimbo)) << linha;
        eventos.push_back(m[1]);
    }
    std::vector<std::size_t> cabecalhos;
    for (std::size_t i = 0; i < eventos.size(); ++i)
        if (eventos[i].starts_with("exportador-cds ")) cabecalhos.push_back(i);
    ASSERT_EQ(cabecalhos.size(), 2u) << teste::leArquivo(log);
    EXPECT_EQ(cabecalhos[0], 0u);
    const std::string& cabecalho = eventos[0];
    for (const std::string& parte :
         {std::string("exportador-cds ") + kVersao + ": exportação",
          "banco de dados " + banco.caminho(), std::string("unidade 2345678"),
          std::string("período 01/10/2019 a 31/10/2019"), "pasta de saída " + saida().string(),
          std::string("fichas cadastro-individual,cadastro-domiciliar,atendimento-individual")})
        EXPECT_NE(cabecalho.find(parte), std::string::npos) << parte << " em " << cabecalho;
    // The run's own log line went to the file, not to standard output.
    EXPECT_NE(std::find(eventos.begin(), eventos.end(), "Dr. Sem Equipe - INE não cadastrado!"),
              eventos.end());
    // The first run ends naming its archive, which is there; the second with its code.
    std::string zip;
    for (const auto& e : fs::directory_iterator(saida()))
        if (e.path().extension() == ".zip") zip = e.path().string();
    ASSERT_FALSE(zip.empty());
    EXPECT_EQ(eventos[cabecalhos[1] - 1],
              "Resultado: exportação concluída; arquivo compactado " + zip);
    EXPECT_TRUE(eventos.back().starts_with("Resultado: falhou (código 3)")) << eventos.back();
    EXPECT_TRUE(eventos[eventos.size() - 2].starts_with("Erro: Não foi possível conectar"))
        << eventos[eventos.size() - 2];
}

// A check run does the whole run somewhere else and undoes it: the output folder, config.ini,
// the error list and the register stay as they were, no archive is kept, and its records and
// report are where its last line says. A real run after it still has everything to send.
TEST_F(ExecucaoAgendadaTest, VerificacaoNaoMudaNadaEDeixaORelatorio) {
    teste::insereBaseDeCadastros(banco);
    teste::insereCidadao(banco, 101);
    ArquivoIni(config()).grava(kSecaoEsus, kChaveProfissionalGenerico, "9");
    fs::create_directories(saida() / "arquivosXML");
    teste::escreveArquivo(saida() / "arquivosXML" / "FichaAtendimentoIndividual_7.esus.xml",
                          "de antes");
    teste::escreveArquivo(saida() / "FichasValmo_01092019.zip", "de antes");
    banco.desconecta();
    const std::string registroAntes = registroDosCidadaos(banco.caminho());
    const auto saidaAntes = conteudoDe(saida());
    const std::string configAntes = teste::leArquivo(config());
    const fs::path temporaria = pasta.caminho() / "tmp";
    fs::create_directories(temporaria);
    const std::string argumentos = comConfig("--fichas cadastro-individual,atendimento-individual");

    const Saida r = executa("--verifica " + argumentos, "TMPDIR='" + temporaria.string() + "'");

    ASSERT_EQ(r.status, 0) << r.erros;
    EXPECT_EQ(conteudoDe(saida()), saidaAntes);
    EXPECT_EQ(teste::leArquivo(config()), configAntes);
    EXPECT_FALSE(fs::exists(pasta.caminho() / "erros.txt"));
    EXPECT_EQ(registroDosCidadaos(banco.caminho()), registroAntes);
    EXPECT_EQ(r.erros.find("gerado com sucesso"), std::string::npos) << r.erros;
    const std::string fim = "As fichas e o relatório ficaram em ";
    const auto onde = r.erros.find(fim);
    ASSERT_NE(onde, std::string::npos) << r.erros;
    const fs::path pastaDaVerificacao =
        r.erros.substr(onde + fim.size(), r.erros.find(".\n", onde) - onde - fim.size());
    EXPECT_EQ(pastaDaVerificacao.parent_path(), temporaria);
    EXPECT_EQ(fs::status(pastaDaVerificacao).permissions() & fs::perms::all, fs::perms::owner_all);
    std::vector<std::string> nomes;
    for (const auto& e : fs::directory_iterator(pastaDaVerificacao)) {
        const std::string nome = e.path().filename().string();
        nomes.push_back(nome.starts_with("FichasValmo_") ? nome.substr(nome.find('.')) : nome);
    }
    std::sort(nomes.begin(), nomes.end());
    EXPECT_EQ(nomes,
              (std::vector<std::string>{".relatorio.csv", ".relatorio.html", "arquivosXML"}));
    std::vector<std::string> fichas;
    for (const auto& e : fs::directory_iterator(pastaDaVerificacao / "arquivosXML"))
        fichas.push_back(e.path().filename().string().substr(0, 24));
    std::sort(fichas.begin(), fichas.end());
    EXPECT_EQ(fichas,
              (std::vector<std::string>{"FichaAtendimentoIndividu", "FichaCadastroIndividual_"}));

    // The same run for real marks the citizen: the register was there to be marked.
    const Saida real = executa(argumentos);
    ASSERT_EQ(real.status, 0) << real.erros;
    EXPECT_NE(registroDosCidadaos(banco.caminho()), registroAntes);
}

// The connection check on the demo clinic counts each kind's records of the month; on a
// database without a column the run reads it names the column and exits 3. It leaves nothing
// behind, in the output folder or the temporary one.
TEST_F(ExecucaoAgendadaTest, TestaConexaoContaOsRegistrosOuNomeiaOQueFalta) {
    teste::BancoTeste demo(teste::Conteudo::Demonstracao);
    demo.desconecta();
    teste::escreveArquivo(pasta.caminho() / "demo.ini",
                          "[GERAL]\r\nDATABASE=" + demo.caminho() +
                              "\r\nCNESPRINCIPAL=2345678\r\nIBGE=2211001\r\nCAMINHOXML=" +
                              saida().string() + "\r\n[ESUS]\r\nPROFISSIONALGENERICO=9\r\n");
    const fs::path temporaria = pasta.caminho() / "tmp";
    fs::create_directories(temporaria);
    const std::string ambiente = "TMPDIR='" + temporaria.string() + "'";

    const Saida r = executa("--testa-conexao --config '" + (pasta.caminho() / "demo.ini").string() +
                                "' --data-inicial 01/11/2026 --data-final 30/11/2026",
                            ambiente);

    ASSERT_EQ(r.status, 0) << r.erros;
    EXPECT_EQ(r.erros, "");
    EXPECT_NE(r.saida.find("Todas as tabelas e colunas que a exportação lê existem."),
              std::string::npos)
        << r.saida;
    // Written plus left out, each kind's.
    for (const char* linha : {"  FichaCadastroIndividual: 13\n", "  FichaCadastroDomiciliar: 6\n",
                              "  FichaAtendimentoIndividual: 16\n", "  FichaProcedimento: 9\n",
                              "  FichaAtendimentoOdontologico: 9\n",
                              "  FichaVisitaDomiciliar: 12\n", "  FichaAtivColetiva: 7\n"})
        EXPECT_NE(r.saida.find(linha), std::string::npos) << linha << " em " << r.saida;
    EXPECT_FALSE(fs::exists(saida()));
    EXPECT_TRUE(fs::is_empty(temporaria));

    const std::pair<const char*, const char*> faltas[] = {
        // One after the other: the column is read by a kind that comes before the table's.
        {"DROP TABLE FAACIAPS", "falta a tabela FAACIAPS."},
        {"ALTER TABLE PROFISSIONAIS DROP CBO", "falta a coluna PROFISSIONAIS.CBO."},
    };
    for (const auto& [sql, falta] : faltas) {
        SCOPED_TRACE(sql);
        banco.executa(sql);
        const Saida semElas = executa(comConfig("--testa-conexao"), ambiente);

        EXPECT_EQ(semElas.status, 3) << semElas.erros;
        EXPECT_NE(
            semElas.erros.find(
                std::string("exportador-cds: O banco de dados não tem o que a exportação lê: ") +
                falta),
            std::string::npos)
            << semElas.erros;
        EXPECT_FALSE(fs::exists(saida()));
        EXPECT_TRUE(fs::is_empty(temporaria));
    }
}

// On a terminal each kind's status line turns into its progress, rewritten in place; written
// to a file, there is no progress line at all.
TEST_F(ExecucaoAgendadaTest, LinhaDeProgressoSoNumTerminal) {
    for (int n = 2; n <= 3; ++n) teste::insereEpisodio(banco, n);
    banco.desconecta();
    const std::vector<std::string> argumentos = {
        EXPORTADOR_CLI, "--config",   config().string(), "--data-inicial",        "01/10/2019",
        "--data-final", "31/10/2019", "--fichas",        "atendimento-individual"};
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : argumentos) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(EXPORTADOR_CLI, argv.data());
        ::_exit(127);
    }
    std::string tela;
    char bloco[4096];
    for (ssize_t n; (n = ::read(terminal, bloco, sizeof bloco)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        // EIO: the program has ended and closed its side.
        if (n < 0) break;
        tela.append(bloco, static_cast<std::size_t>(n));
    }
    ::close(terminal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << tela;
    EXPECT_NE(tela.find("\rGerando Fichas de Atendimento Individual... 3 de 3\x1b[K"),
              std::string::npos)
        << tela;

    const Saida emArquivo = executa(comConfig("--fichas atendimento-individual"));
    ASSERT_EQ(emArquivo.status, 0) << emArquivo.erros;
    EXPECT_NE(emArquivo.erros.find("Gerando Fichas de Atendimento Individual...\n"),
              std::string::npos);
    EXPECT_EQ(emArquivo.erros.find('\r'), std::string::npos) << emArquivo.erros;
    EXPECT_EQ(emArquivo.erros.find(" de 3"), std::string::npos) << emArquivo.erros;
}

TEST(LinhaDeProgresso, QuantosDeQuantosTaxaETempoRestante) {
    using std::chrono::milliseconds;
    using std::chrono::seconds;
    struct Caso {
        std::size_t feitos, total;
        std::chrono::steady_clock::duration decorrido;
        std::string esperada;
    };
    const Caso casos[] = {
        {0, 150000, seconds(0), "G... 0 de 150.000"},
        // Too soon for a rate that means anything.
        {1234, 150000, milliseconds(500), "G... 1.234 de 150.000"},
        {1700, 150000, seconds(2), "G... 1.700 de 150.000, 850 arquivos/s, faltam 2 min 54 s"},
        {100, 1000000, seconds(10), "G... 100 de 1.000.000, 10 arquivos/s, faltam 27 h 46 min"},
        {10, 20, seconds(2), "G... 10 de 20, 5 arquivos/s, faltam 2 s"},
        // The total not known yet.
        {3000, 0, seconds(2), "G... 3.000, 1.500 arquivos/s"},
        {10, 10, seconds(5), "G... 10 de 10, 2 arquivos/s"},
    };
    for (const Caso& c : casos)
        EXPECT_EQ(linhaDeProgresso("G...", c.feitos, c.total, c.decorrido), c.esperada)
            << c.esperada;
}

// The log's moments carry the offset of the machine's zone, east or west, whole hours or not.
TEST(MomentoDoLog, Iso8601ComODeslocamentoLocal) {
    struct Caso {
        const char* fuso;
        std::string esperado;
    };
    const Caso casos[] = {
        {"UTC0", "2026-12-01T05:00:07+00:00"},
        {"<-03>3", "2026-12-01T02:00:07-03:00"},
        {"<+0530>-5:30", "2026-12-01T10:30:07+05:30"},
        // The day before, across the date line.
        {"<-10>10", "2026-11-30T19:00:07-10:00"},
    };
    const char* antes = std::getenv("TZ");
    const std::optional<std::string> tzAntes =
        antes ? std::optional<std::string>(antes) : std::nullopt;
    const auto momento = std::chrono::sys_days{std::chrono::year{2026} / 12 / 1} +
                         std::chrono::hours(5) + std::chrono::seconds(7);
    for (const Caso& c : casos) {
        ::setenv("TZ", c.fuso, 1);
        ::tzset();
        EXPECT_EQ(momentoIso8601(momento), c.esperado) << c.fuso;
    }
    if (tzAntes)
        ::setenv("TZ", tzAntes->c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

}  // namespace
}  // namespace cds
