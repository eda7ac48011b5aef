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
#include "linha_de_comando.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/cadastros.hpp"
#include "suporte/clinica.hpp"
#include "suporte/leiaute_teste.hpp"
#include "suporte/servidor_mudo.hpp"
#include "suporte/texto_utf8.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;

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
    // The summary's line of the kind: one record sent, none left out, with a warning or refused.
    EXPECT_NE(r.erros.find("  FichaAtendimentoIndividual  "), std::string::npos) << r.erros;
    EXPECT_NE(r.erros.find("Enviados  Deixados de fora  Com aviso  Serão recusados"),
              std::string::npos)
        << r.erros;
    EXPECT_NE(r.erros.find("  relatório: " + saida().string() + "/FichasValmo_"), std::string::npos)
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
    // The options were for this run only: the next one still goes where config.ini says.
    const ArquivoIni ini(config());
    EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, ""), saida().string());
    EXPECT_EQ(ini.le(kSecaoEsus, kChaveProfissionalGenerico, ""), "10");
}

// A relative output folder, given as an option or in config.ini, names the folder the program
// was started in: the run uses it, and saves it when asked to, whole, so that config.ini, the log
// and the messages name a real folder.
TEST_F(LinhaDeComandoTest, PastaDeSaidaRelativaUsadaEGravadaPorInteiro) {
    banco.desconecta();
    const fs::path inicio = fs::canonical(pasta.caminho()) / "inicio";
    fs::create_directories(inicio / "saida");
    struct Caso {
        std::string argumentos;
        // CAMINHOXML in config.ini before the run.
        std::string noConfig;
        fs::path esperada;
    };
    const Caso casos[] = {
        {"--caminho .", saida().string(), inicio},
        {"--caminho ./saida/", saida().string(), inicio / "saida"},
        {"", "saida", inicio / "saida"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.argumentos + " / CAMINHOXML=" + c.noConfig);
        ArquivoIni(config()).grava(kSecaoGeral, kChaveCaminhoXml, c.noConfig);
        const fs::path out = pasta.caminho() / "stdout.txt", err = pasta.caminho() / "stderr.txt";
        const std::string comando =
            "cd '" + inicio.string() + "' && '" + EXPORTADOR_CLI + "' " +
            comConfig("--grava-config --fichas atendimento-individual " + c.argumentos) + " >'" +
            out.string() + "' 2>'" + err.string() + "' </dev/null";
        const int status = std::system(comando.c_str());
        const std::string erros = teste::leArquivo(err);

        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << erros;
        EXPECT_EQ(ArquivoIni(config()).le(kSecaoGeral, kChaveCaminhoXml, ""), c.esperada.string());
        const fs::path zip = c.esperada / "FichasValmo_";
        EXPECT_NE(erros.find("arquivo compactado: " + zip.string()), std::string::npos) << erros;
        EXPECT_TRUE(
            fs::exists(c.esperada / "arquivosXML" / "FichaAtendimentoIndividual_1.esus.xml"));
        fs::remove_all(c.esperada / "arquivosXML");
    }
}

TEST_F(LinhaDeComandoTest, FalhasTerminamComStatusDiferenteDeZero) {
    ArquivoIni(config()).grava(kSecaoGeral, kChaveDatabase, "/nao/existe.fdb");
    Saida r = executa(comConfig(""));
    // A database the run cannot reach.
    EXPECT_EQ(r.status, 3);
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
    EXPECT_TRUE(teste::leArquivo(erros).starts_with("exportador-cds: erro inesperado: "))
        << teste::leArquivo(erros);
    EXPECT_FALSE(fs::exists(saida()));
}

// An empty IBGE is warned on standard output, with the log, as the run starts, and again in
// the closing summary; the run goes on.
TEST_F(LinhaDeComandoTest, IbgeEmBrancoAvisadoNoInicioDoLogENoResumo) {
    ArquivoIni(config()).grava(kSecaoGeral, kChaveIbge, "");
    const Saida r = executa(comConfig("--fichas atendimento-individual"));
    EXPECT_EQ(r.status, 0) << r.erros;
    EXPECT_TRUE(r.saida.starts_with("IBGE não informado em config.ini")) << r.saida;
    EXPECT_TRUE(fs::exists(saida() / "arquivosXML" / "FichaAtendimentoIndividual_1.esus.xml"));
    const auto resumo = r.erros.find("Resumo da exportação");
    ASSERT_NE(resumo, std::string::npos) << r.erros;
    EXPECT_NE(r.erros.find("\n  IBGE não informado em config.ini", resumo), std::string::npos)
        << r.erros;
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
        "[GERAL]\r\nDATABASE=" + banco.caminho() +
            "\r\nCNESPRINCIPAL=2345678\r\nCAMINHOXML=\r\n[ESUS]\r\nPROFISSIONALGENERICO=10\r\n");
    // Saved in UTF-8, with an output folder of an accented name, and then a line typed in an
    // editor of Windows: read as Windows-1252 the folder would be another one, made anew.
    teste::escreveArquivo(
        pasta.caminho() / "config-misturado.ini",
        "; configura\xE7\xE3o da cl\xEDnica\r\n[GERAL]\r\nDATABASE=" + banco.caminho() +
            "\r\nCNESPRINCIPAL=2345678\r\nCAMINHOXML=" + (pasta.caminho() / "exportação").string() +
            "\r\n");
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
        {"config.ini em UTF-8 com um byte em ANSI num comentário",
         "--config " + emAspas(pasta.caminho() / "config-misturado.ini") + periodo,
         "config-misturado.ini não pode ser lido como tal: mistura UTF-8 e ANSI "
         "(Windows-1252): a linha 1 tem um byte que não é UTF-8 (0xE7), e a linha 5 tem texto em "
         "UTF-8"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        const auto antes = conteudoDe(pasta.caminho());

        const Saida r = executa(c.argumentos);

        // The settings are at fault: the operator mends them.
        EXPECT_EQ(r.status, 2) << r.erros;
        EXPECT_NE(r.erros.find(c.motivo), std::string::npos) << r.erros;
        auto depois = conteudoDe(pasta.caminho());
        depois.erase("stdout.txt");
        depois.erase("stderr.txt");
        auto esperado = antes;
        esperado.erase("stdout.txt");
        esperado.erase("stderr.txt");
        EXPECT_TRUE(depois == esperado) << "a execução recusada mexeu na pasta";
        EXPECT_FALSE(fs::exists(saida()));
        EXPECT_FALSE(fs::exists(pasta.caminho() / "exportação"));
        EXPECT_FALSE(fs::exists(pasta.caminho() / "exporta\xC3\x83\xC2\xA7\xC3\x83\xC2\xA3o"));
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

// The registrations need a generic professional of the clinic's: a blank or unknown one is a
// usage error when a registration kind is chosen, before any record is written or any archive
// made, and no registration is marked as sent. A run without registrations needs none.
TEST_F(LinhaDeComandoTest, ProfissionalGenericoEmBrancoOuDesconhecidoComCadastros) {
    teste::insereBaseDeCadastros(banco);
    teste::insereCidadao(banco, 200);
    teste::insereDomicilio(banco, 300);
    teste::escreveArquivo(pasta.caminho() / "config-sem-generico.ini",
                          "[GERAL]\r\nDATABASE=" + banco.caminho() +
                              "\r\nCNESPRINCIPAL=2345678\r\nCAMINHOXML=" + saida().string() +
                              "\r\n[ESUS]\r\nPROFISSIONALGENERICO=\r\n");
    const std::string emBranco =
        "--profissional-generico: O código do profissional genérico está em branco.";
    const std::string desconhecido =
        "--profissional-generico: Nenhum profissional tem o código '424242', informado como "
        "profissional genérico.";
    struct Caso {
        std::string argumentos;
        // What standard error says after "exportador-cds: ".
        std::string motivo;
    };
    const Caso casos[] = {
        {comConfig("--profissional-generico 424242"), desconhecido},
        {comConfig("--fichas cadastro-domiciliar --profissional-generico 424242"), desconhecido},
        {comConfig("--profissional-generico ''"), emBranco},
        {comConfig("--fichas cadastro-individual,vacinacao --profissional-generico ''"), emBranco},
        {"--config '" + (pasta.caminho() / "config-sem-generico.ini").string() +
             "' --data-inicial 01/10/2019 --data-final 31/10/2019",
         emBranco},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.argumentos);
        const Saida r = executa(c.argumentos);

        EXPECT_EQ(r.status, 2) << r.erros;
        EXPECT_NE(r.erros.find("exportador-cds: " + c.motivo), std::string::npos) << r.erros;
        EXPECT_NE(r.erros.find("--help"), std::string::npos) << r.erros;
        EXPECT_EQ(r.erros.find("gerado com sucesso"), std::string::npos) << r.erros;
        // No record file, no archive, not even a hidden one: at most the folder's lock.
        if (fs::exists(saida())) {
            for (const auto& e : fs::recursive_directory_iterator(saida()))
                EXPECT_TRUE(e.is_directory() || e.path().filename() == kNomeArquivoTrava)
                    << e.path();
        }
        EXPECT_EQ(teste::linhaGravadaDoRegistro(banco, "pessoastransmissao", 200), " | Sim |  | ");
        EXPECT_EQ(teste::linhaGravadaDoRegistro(banco, "familiastransmissao", 300), " | Sim |  | ");
    }
    // The blank one names where it came from.
    EXPECT_NE(executa(casos[4].argumentos)
                  .erros.find("(de PROFISSIONALGENERICO, na seção [ESUS] de config.ini)"),
              std::string::npos);

    const Saida semCadastros =
        executa(comConfig("--fichas atendimento-individual --profissional-generico ''"));
    EXPECT_EQ(semCadastros.status, 0) << semCadastros.erros;
    EXPECT_TRUE(fs::exists(saida() / "arquivosXML" / "FichaAtendimentoIndividual_1.esus.xml"));
    EXPECT_EQ(teste::linhaGravadaDoRegistro(banco, "pessoastransmissao", 200), " | Sim |  | ");
}

// A config.ini saved by an editor of Windows in its code page, with an accented output folder,
// and accents typed on the command line: the run writes where the file says, and every record
// file is still one the layout's schema accepts, with the text as it was meant.
TEST_F(LinhaDeComandoTest, TextoQueNaoEUtf8NuncaChegaAUmaFicha) {
    teste::escreveArquivo(
        config(), "; configura\xE7\xE3o da cl\xEDnica\r\n[GERAL]\r\nDATABASE=" + banco.caminho() +
                      "\r\nCNESPRINCIPAL=2345678\r\nCAMINHOXML=" + pasta.caminho().string() +
                      "/sa\xED" + "da\r\nIBGE=4205407\r\n[ESUS]\r\nPROFISSIONALGENERICO=10\r\n");

    const Saida r = executa(comConfig("--uuid 'São-'"));

    ASSERT_EQ(r.status, 0) << r.erros;
    std::vector<fs::path> fichas;
    for (const auto& e : fs::directory_iterator(pasta.caminho() / "saída" / "arquivosXML")) {
        fichas.push_back(e.path());
        const std::string texto = teste::leArquivo(e.path());
        EXPECT_NE(texto.find("<codIbge>4205407</codIbge>"), std::string::npos) << e.path();
        EXPECT_NE(texto.find("São-"), std::string::npos) << e.path();
    }
    EXPECT_FALSE(fichas.empty());
    EXPECT_EQ(teste::errosDeLeiaute(fichas), "");
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
        for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&padrao, s);
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

// The lines of a file written with CR LF; fails the test on a bare LF or a last line without
// its end.
std::vector<std::string> linhasCrlf(const std::string& bytes) {
    std::vector<std::string> linhas;
    for (std::size_t inicio = 0; inicio < bytes.size();) {
        const std::size_t fim = bytes.find("\r\n", inicio);
        EXPECT_NE(fim, std::string::npos) << "última linha sem CR LF";
        if (fim == std::string::npos) break;
        linhas.push_back(bytes.substr(inicio, fim - inicio));
        EXPECT_EQ(linhas.back().find('\n'), std::string::npos) << linhas.back();
        inicio = fim + 2;
    }
    return linhas;
}

// The summary counts the error list's lines and names its two files, which hold that many. A
// list that cannot be saved once the run has committed (a folder where erros.txt goes) is no
// success: status 5, and the operator reads that the archive is good and the list is in the log.
TEST_F(LinhaDeComandoTest, ListaDeErrosNoResumoEStatus5QuandoNaoPodeSerGravada) {
    insereEpisodiosSemEquipe(banco, 2);
    const fs::path erros = pasta.caminho() / "erros.txt";
    const std::string linha = "Dr. Sem Equipe - INE não cadastrado!";

    Saida r = executa(comConfig("--fichas atendimento-individual"));

    ASSERT_EQ(r.status, 0) << r.erros;
    fs::path zip;
    for (const auto& e : fs::directory_iterator(saida()))
        if (e.path().extension() == ".zip") zip = e.path();
    ASSERT_FALSE(zip.empty());
    const fs::path errosDoMes = fs::path(zip).replace_extension(".erros.txt");
    EXPECT_NE(r.erros.find("\n  Lista de erros: 2 linha(s), em " + erros.string() + " e em " +
                           errosDoMes.string() + ".\n"),
              std::string::npos)
        << r.erros;
    EXPECT_EQ(linhasCrlf(teste::leArquivo(erros)),
              std::vector<std::string>(2, "Dr. Sem Equipe - INE n\xE3o cadastrado!"));
    EXPECT_EQ(linhasCrlf(teste::leArquivo(errosDoMes)), std::vector<std::string>(2, linha));

    fs::remove(erros);
    fs::create_directory(erros);
    teste::escreveArquivo(erros / "dentro", "fica");
    r = executa(comConfig("--fichas atendimento-individual"));

    EXPECT_EQ(r.status, 5) << r.erros;
    EXPECT_NE(r.erros.find("foi gravado e a exportação foi confirmada no banco de dados"),
              std::string::npos)
        << r.erros;
    EXPECT_NE(r.erros.find("Só a lista de erros não pôde ser gravada"), std::string::npos)
        << r.erros;
    EXPECT_EQ(r.erros.find("gerado com sucesso"), std::string::npos) << r.erros;
    EXPECT_TRUE(r.saida.ends_with("Lista de erros desta exportação, que não pôde ser gravada:\n" +
                                  linha + "\n" + linha + "\n"))
        << r.saida;
    int arquivos = 0;
    for (const auto& e : fs::directory_iterator(saida()))
        arquivos += e.path().extension() == ".zip";
    EXPECT_EQ(arquivos, 2);
    EXPECT_EQ(teste::leArquivo(erros / "dentro"), "fica");
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

// Every file under `pasta` holding `texto`.
std::vector<fs::path> arquivosCom(const fs::path& pasta, const std::string& texto) {
    std::vector<fs::path> achados;
    for (const auto& e : fs::recursive_directory_iterator(pasta))
        if (e.is_regular_file() && teste::leArquivo(e.path()).find(texto) != std::string::npos)
            achados.push_back(e.path());
    return achados;
}

// Started without some of its standard descriptors, as some schedulers start programs: the
// first files opened would take their numbers (the database engine's lock files, the database
// itself), and the log and the status text would be written into them. The run works as with
// all three open; what it says to a closed one goes nowhere. The engine keeps its lock files in
// a folder of this test's, where nobody else writes.
TEST_F(LinhaDeComandoTest, DescritoresPadraoFechadosNaoDesviamOTexto) {
    insereEpisodiosSemEquipe(banco, 1);
    banco.desconecta();
    const fs::path out = pasta.caminho() / "stdout.txt", err = pasta.caminho() / "stderr.txt";
    // Written by the run: the log on standard output, the status text and the summary on
    // standard error.
    const char* const textos[] = {"INE não cadastrado", "Gerando Fichas", "gerado com sucesso",
                                  "Resumo da exportação"};
    for (int fechados = 0; fechados < 8; ++fechados) {
        const bool entrada = fechados & 1, saidaPadrao = fechados & 2, erros = fechados & 4;
        SCOPED_TRACE(std::string("fechados:") + (entrada ? " 0" : "") + (saidaPadrao ? " 1" : "") +
                     (erros ? " 2" : ""));
        fs::remove_all(saida());
        fs::remove(out);
        fs::remove(err);
        const fs::path travas = pasta.caminho() / ("travas-" + std::to_string(fechados));
        fs::create_directories(travas);
        const std::string comando = "FIREBIRD_LOCK='" + travas.string() + "' " + EXPORTADOR_CLI +
                                    " " + comConfig("") + (entrada ? " <&-" : " </dev/null") +
                                    (saidaPadrao ? " >&-" : " >'" + out.string() + "'") +
                                    (erros ? " 2>&-" : " 2>'" + err.string() + "'");

        const int r = std::system(comando.c_str());

        ASSERT_TRUE(WIFEXITED(r)) << comando;
        EXPECT_EQ(WEXITSTATUS(r), 0) << (erros ? "" : teste::leArquivo(err));
        int arquivos = 0;
        for (const auto& e : fs::directory_iterator(saida()))
            if (e.path().extension() == ".zip") ++arquivos;
        EXPECT_EQ(arquivos, 1);
        EXPECT_FALSE(fs::is_empty(travas)) << "o motor não usou a pasta de travas do teste";
        for (const char* texto : textos) {
            EXPECT_EQ(arquivosCom(travas, texto), std::vector<fs::path>{}) << texto;
            EXPECT_EQ(arquivosCom(banco.pasta(), texto), std::vector<fs::path>{}) << texto;
        }
        if (!saidaPadrao) {
            EXPECT_NE(teste::leArquivo(out).find(textos[0]), std::string::npos);
        }
        if (!erros) {
            EXPECT_NE(teste::leArquivo(err).find(textos[2]), std::string::npos);
        }
    }
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
        {"600", SIGINT, 128 + SIGINT, "exportador-cds: Exportação interrompida pelo operador."},
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
        // Besides the report of how far the run got, when it got to its records, the folder
        // holds what it held.
        std::vector<std::string> nomes = nomesEm(saida());
        std::erase_if(nomes, [](const std::string& n) { return n.find(".relatorio.") != n.npos; });
        EXPECT_EQ(nomes, (std::vector<std::string>{"arquivosXML", "notas.txt"}));
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
         "exportador-cds: FichaAtendimentoIndividual_3002 (unidade 7654321): o texto 'Dr. Łukasz "
         "日本' da coluna NOME da tabela PROFISSIONAIS" +
             resto + "Ł 日 本); corrija-o no sistema da clínica e exporte de novo\n"},
        {[&] {
             teste::colunaEmUtf8(banco, "FAACIAPS", "CODCIAP", "VARCHAR(7)");
             banco.executa(
                 "INSERT INTO FAACIAPS (CODUNIDADE, NUMFAA, CODCIAP) VALUES ('7654321', 3002, " +
                 teste::textoUtf8("Ω01") + ")");
         },
         "exportador-cds: FichaAtendimentoIndividual_3002 (unidade 7654321): o texto 'Ω01' da "
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
        // The message, then where the report of the failed run is: named as its archive would
        // have been, beside it.
        const std::string mensagem = caso.mensagem.substr(0, caso.mensagem.size() - 1);
        EXPECT_NE(r.erros.find(mensagem + ". O relatório do que foi feito até aqui está em " +
                               saida().string() + "/FichasValmo_"),
                  std::string::npos)
            << r.erros;
        const std::vector<std::string> nomes = nomesEm(saida());
        ASSERT_EQ(nomes.size(), 3u);
        EXPECT_TRUE(nomes[0].ends_with(".relatorio.csv")) << nomes[0];
        EXPECT_TRUE(nomes[1].ends_with(".relatorio.html")) << nomes[1];
        EXPECT_EQ(nomes[2], "arquivosXML");
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
         "o usuário do sistema não tem permissão para usar a pasta /tmp/firebird/, onde o motor "
         "embarcado do Firebird trava os bancos de dados que abre. Ponha o usuário no grupo "
         "firebird (sudo adduser $USER firebird) e entre de novo na sessão; ou abra o mesmo "
         "arquivo pelo servidor Firebird, com DATABASE=localhost:/caminho/clinica.fdb no "
         "config.ini (o caminho do arquivo depois de localhost:)"},
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
        // The connection failed: the database cannot be used as it is.
        EXPECT_EQ(WEXITSTATUS(r), 3) << erros;
        EXPECT_NE(erros.find("Não foi possível conectar ao banco de dados em " +
                             banco.arquivo().string() + ": " + caso.motivo + ". Detalhe: "),
                  std::string::npos)
            << erros;
    }
}

// SIGTERM, Ctrl-C or SIGHUP (its terminal closed) in the middle of the records: the run stops,
// undoes its work, leaves no archive, hidden or not, says why, and its exit status says it was
// stopped. The run is held in its middle by
// its own log: standard output is a pipe read only after the signal.
TEST_F(LinhaDeComandoTest, SinalNoMeioDaExportacaoParaSemArquivo) {
    insereEpisodiosSemEquipe(banco, 3000);
    banco.desconecta();
    for (const int sinal : {SIGTERM, SIGINT, SIGHUP}) {
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
        EXPECT_NE(erros.find("exportador-cds: Exportação interrompida pelo operador."),
                  std::string::npos)
            << erros;
        EXPECT_EQ(erros.find("gerado com sucesso"), std::string::npos) << erros;
        std::vector<std::string> sobra;
        for (const auto& e : fs::directory_iterator(saida())) sobra.push_back(e.path().filename());
        EXPECT_EQ(sobra, std::vector<std::string>{"arquivosXML"});
    }
}

// The hidden files in the output folder named as archives are.
std::vector<std::string> arquivosOcultos(const fs::path& pasta) {
    std::vector<std::string> nomes;
    for (const auto& e : fs::directory_iterator(pasta)) {
        const std::string nome = e.path().filename();
        if (nome.starts_with(".FichasValmo_")) nomes.push_back(nome);
    }
    std::sort(nomes.begin(), nomes.end());
    return nomes;
}

// A run killed outright (kill -9; a second Ctrl-C ends it the same way) leaves its hidden
// archive in the output folder. The next run there, once it holds the folder, removes it and
// says so once; hidden files of other names, lookalikes included, stay as they are.
TEST_F(LinhaDeComandoTest, ArquivoIncompletoDeExecucaoMortaRemovidoPelaProxima) {
    insereEpisodiosSemEquipe(banco, 3000);
    banco.desconecta();
    fs::create_directories(saida());
    const std::vector<std::string> alheios = {
        ".FichasValmo_01112019_1200_01102019_31102019.zip",
        ".FichasValmo_01112019_1200_01102019_31102019.zip.123-0-45.bak",
        ".FichasValmo_da_clinica.zip.123-0-45",
    };
    for (const std::string& nome : alheios) teste::escreveArquivo(saida() / nome, "do operador");

    int canal[2];
    ASSERT_EQ(::pipe2(canal, O_CLOEXEC), 0);
    {
        ProcessoCli cli({"--config", config().string(), "--data-inicial", "01/10/2019",
                         "--data-final", "31/10/2019", "--fichas", "atendimento-individual"},
                        canal[1], pasta.caminho() / "stderr.txt");
        ::close(canal[1]);
        ASSERT_GT(cli.pid, 0);
        // Among its records, its archive begun, and held there by its log.
        char bloco[4096];
        ASSERT_GT(::read(canal[0], bloco, sizeof bloco), 0);
        cli.sinal(SIGKILL);
        const std::optional<int> status = cli.espera(kPrazo);
        ::close(canal[0]);
        ASSERT_TRUE(status.has_value());
        ASSERT_TRUE(WIFSIGNALED(*status));
    }
    const std::vector<std::string> ocultos = arquivosOcultos(saida());
    ASSERT_EQ(ocultos.size(), alheios.size() + 1) << "a execução morta não deixou o seu";
    std::string incompleto;
    for (const std::string& nome : ocultos)
        if (std::find(alheios.begin(), alheios.end(), nome) == alheios.end()) incompleto = nome;

    // A report's page half-written when a run died (the report is written at the end, so the
    // kill cannot be timed there) goes the same way.
    const std::string relatorioIncompleto = ".FichasValmo_relatorio.123-0-45";
    teste::escreveArquivo(saida() / relatorioIncompleto, "<!DOCTYPE html>");

    const Saida r = executa(comConfig("--fichas atendimento-individual"));

    ASSERT_EQ(r.status, 0) << r.erros;
    for (const std::string& nome : {incompleto, relatorioIncompleto}) {
        EXPECT_FALSE(fs::exists(saida() / nome));
        const std::string aviso = "Removido o arquivo incompleto " + (saida() / nome).string() +
                                  ", de uma exportação interrompida.\n";
        const auto onde = r.saida.find(aviso);
        EXPECT_NE(onde, std::string::npos) << r.saida.substr(0, 400);
        EXPECT_EQ(r.saida.find(aviso, onde + 1), std::string::npos);
    }
    for (const std::string& nome : alheios)
        EXPECT_EQ(teste::leArquivo(saida() / nome), "do operador") << nome;
    std::vector<std::string> esperados = alheios;
    std::sort(esperados.begin(), esperados.end());
    EXPECT_EQ(arquivosOcultos(saida()), esperados);
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
