#include <fcntl.h>
#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>

#include "comum/erro.hpp"
#include "export/abertura.hpp"
#include "export/arquivo_ini.hpp"
#include "export/exportacao.hpp"
#include "export/trava_pasta.hpp"
#include "fichas/registro.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/clinica.hpp"
#include "suporte/operador_gravador.hpp"
#include "suporte/outro_usuario.hpp"
#include "suporte/pasta_so_leitura.hpp"
#include "suporte/relogio_fixo.hpp"
#include "suporte/servidor_mudo.hpp"
#include "suporte/zip_teste.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;
using teste::BancoTeste;
using teste::PastaTemporaria;

using teste::entradasDoZip;

std::vector<std::string> arquivosEm(const fs::path& pasta) {
    std::vector<std::string> nomes;
    for (const auto& e : fs::directory_iterator(pasta)) nomes.push_back(e.path().filename());
    std::sort(nomes.begin(), nomes.end());
    return nomes;
}

class ExportacaoTest : public ::testing::Test {
  protected:
    ExportacaoTest() : ini(pasta.caminho() / "config.ini") {
        teste::insereClinica(banco);
        ini.grava(kSecaoGeral, kChaveDatabase, banco.caminho());
        ini.grava(kSecaoGeral, kChaveIbge, "4205407");
        parametros = parametrosIniciais(ini, relogio);
        parametros.Unidade = "2345678";
        parametros.Caminho = (pasta.caminho() / "saida").string();
        parametros.ProfissionalGenerico = "10";
        fs::create_directories(pastaXml(parametros.Caminho));
    }

    fs::path zipEsperado() const {
        return fs::path(parametros.Caminho) / "FichasValmo_03112019_1405_01102019_31102019.zip";
    }

    PastaTemporaria pasta;
    BancoTeste banco;
    ArquivoIni ini;
    RelogioFixo relogio{DataHora{2019, 11, 3, 14, 5, 0}};
    OperadorGravador operador;
    ParametrosExportacao parametros;
};

// The operator sees each step's count: the clean-up's entries, then each kind's records from 0
// to the count taken before its first, a record given on several rows counting once.
TEST_F(ExportacaoTest, ProgressoContaEntradasDaLimpezaERegistrosDeCadaTipo) {
    teste::insereEpisodio(banco, 1, "'08:00:00'");
    teste::insereEpisodio(banco, 2);
    teste::insereEpisodio(banco, 3, "'09:00:00'", "2345678", 99);  // left out: no such professional
    // Two triages of one episode: the care query gives it on two rows.
    banco.executa("INSERT INTO TRIAGENS (CODUNIDADE, NUMFAA, PESO) VALUES ('2345678', 2, 70)");
    banco.executa("INSERT INTO TRIAGENS (CODUNIDADE, NUMFAA, PESO) VALUES ('2345678', 2, 71)");
    for (const char* nome : {"FichaVacinacao_1.esus.xml", "FichaVacinacao_2.esus.xml", "outro"})
        std::ofstream(pastaXml(parametros.Caminho) + "/" + nome) << "x";
    parametros.Fichas = {TipoFicha::AtendimentoIndividual, TipoFicha::Vacinacao,
                         TipoFicha::VisitaDomiciliar};

    exportaArquivos(parametros, ini, operador, relogio);

    using Passos = std::vector<std::pair<std::size_t, std::size_t>>;
    EXPECT_EQ(operador.progressosDe(kStatusLimpeza), (Passos{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));
    const Passos tresRegistros{{0, 3}, {1, 3}, {2, 3}, {3, 3}};
    EXPECT_EQ(operador.progressosDe("Gerando Fichas de Atendimento Individual..."), tresRegistros);
    EXPECT_EQ(operador.progressosDe("Gerando Fichas de Vacinação..."), tresRegistros);
    EXPECT_EQ(operador.progressosDe("Gerando Fichas de Visita Domiciliar..."), (Passos{{0, 0}}));
}

TEST_F(ExportacaoTest, ExportaEmpacotaENaOrdemDosTipos) {
    teste::insereEpisodio(banco, 2);
    teste::insereEpisodio(banco, 1, "'08:00:00'");
    // Files of an earlier run go; other things in the output folder stay.
    fs::create_directory(pastaXml(parametros.Caminho) + "/sub");
    std::ofstream(pastaXml(parametros.Caminho) + "/FichaProcedimento_9.esus.xml") << "x";
    parametros.Fichas.insert(TipoFicha::Vacinacao);

    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);

    ASSERT_TRUE(fs::is_regular_file(r.arquivoZip)) << r.arquivoZip;
    EXPECT_EQ(r.arquivoZip, zipEsperado().string());
    // Episodes by date; on the same date the server's order, so only the kinds' order is fixed.
    const std::vector<std::string> entradas = entradasDoZip(zipEsperado());
    ASSERT_EQ(entradas.size(), 4u);
    EXPECT_EQ(entradas[0].rfind("FichaAtendimentoIndividual_", 0), 0u);
    EXPECT_EQ(entradas[1].rfind("FichaAtendimentoIndividual_", 0), 0u);
    EXPECT_EQ(entradas[2].rfind("FichaVacinacao_", 0), 0u);
    EXPECT_EQ(entradas[3].rfind("FichaVacinacao_", 0), 0u);
    EXPECT_EQ(arquivosEm(pastaXml(parametros.Caminho)),
              (std::vector<std::string>{
                  "FichaAtendimentoIndividual_1.esus.xml", "FichaAtendimentoIndividual_2.esus.xml",
                  "FichaVacinacao_1.esus.xml", "FichaVacinacao_2.esus.xml", "sub"}));
    EXPECT_EQ(r.ListaArquivos.size(), 4u);
    // The summary counts each chosen kind's records, and the report lies beside the archive.
    for (const ResumoDoTipo& t : r.relatorio.tipos) {
        const bool comArquivos =
            t.tipo == TipoFicha::AtendimentoIndividual || t.tipo == TipoFicha::Vacinacao;
        EXPECT_EQ(t.gravados, comArquivos ? 2u : 0u) << nomeResumo(t.tipo);
    }
    EXPECT_EQ(r.relatorio.tipos.size(), parametros.Fichas.size());
    EXPECT_EQ(r.relatorio.html, fs::path(r.arquivoZip).replace_extension(".relatorio.html"));
    EXPECT_TRUE(fs::is_regular_file(r.relatorio.html));
    EXPECT_TRUE(fs::is_regular_file(r.relatorio.csv));
    EXPECT_FALSE(r.relatorio.falhou);
    // The status texts in the run's order; the last message is the packaging's success.
    EXPECT_EQ(
        operador.statusTextos(),
        (std::vector<std::string>{
            kStatusLimpeza, "Gerando Fichas de Cadastro Individual...",
            "Gerando Fichas de Cadastro Domiciliar e Territorial...",
            "Gerando Fichas de Atendimento Individual...", "Gerando Fichas de Procedimentos...",
            "Gerando Fichas de Atendimento Odontológico...",
            "Gerando Fichas de Visita Domiciliar...", "Gerando Fichas de Atividades Coletivas...",
            "Gerando Fichas de Vacinação...", "Compactando Arquivo...", "Concluído!", ""}));
    ASSERT_EQ(operador.mensagens().size(), 1u);
    EXPECT_EQ(operador.mensagens()[0].texto, "Arquivo de importação do esus gerado com sucesso!");
    // Both settings were remembered.
    EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, ""), parametros.Caminho);
    EXPECT_EQ(ini.le(kSecaoEsus, kChaveProfissionalGenerico, ""), "10");
}

// One episode number in two units: both records reach the archive, under two names.
TEST_F(ExportacaoTest, MesmoNumeroEmDuasUnidadesChegaAoArquivoCompactado) {
    teste::insereEpisodio(banco, 7, "'08:00:00'", "2345678");
    teste::insereEpisodio(banco, 7, "'08:00:00'", "7654321");
    banco.executa("UPDATE FAA SET DATA = '2019-10-16' WHERE CODUNIDADE = '7654321'");
    parametros.Fichas = {TipoFicha::AtendimentoIndividual};
    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);
    ASSERT_TRUE(fs::is_regular_file(r.arquivoZip)) << r.arquivoZip;
    EXPECT_EQ(entradasDoZip(zipEsperado()),
              (std::vector<std::string>{"FichaAtendimentoIndividual_7.esus.xml",
                                        "FichaAtendimentoIndividual_7_2.esus.xml"}));
}

// The archive deflated while the run writes is the one packing the listed files afterwards
// would give, byte for byte: entries, order, names, dates and contents.
TEST_F(ExportacaoTest, ArquivoDaExecucaoIgualAoEmpacotadoDepois) {
    for (int n = 1; n <= 5; ++n)
        teste::insereEpisodio(banco, n, "'0" + std::to_string(n + 3) + ":00:00'");
    parametros.Fichas.insert(TipoFicha::Vacinacao);

    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);

    ASSERT_EQ(r.ListaArquivos.size(), 10u);
    std::vector<std::string> caminhos;
    for (const ArquivoGerado& a : r.ListaArquivos) caminhos.push_back(a.caminho);
    OperadorGravador depois;
    const std::string empacotado = zipaXML(parametros, caminhos, depois, relogio);
    EXPECT_NE(empacotado, r.arquivoZip);
    EXPECT_TRUE(teste::leArquivo(r.arquivoZip) == teste::leArquivo(empacotado));
}

// The packing does not wait for the last record: when the last kind starts, the files of the
// first are already being deflated into a hidden archive in the output folder.
TEST_F(ExportacaoTest, CompactacaoComecaAntesDaUltimaFicha) {
    for (int n = 1; n <= 40; ++n) teste::insereEpisodio(banco, n);
    parametros.Fichas.insert(TipoFicha::Vacinacao);
    // The largest hidden file of the output folder, the run's lock aside.
    const auto arquivoOculto = [this] {
        std::uintmax_t maior = 0;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(parametros.Caminho, ec)) {
            const std::string nome = e.path().filename().string();
            if (nome.starts_with(".") && nome != kNomeArquivoTrava)
                maior = std::max(maior, fs::file_size(e.path(), ec));
        }
        return maior;
    };
    class OperadorAtento : public OperadorGravador {
      public:
        std::function<void()> naVacinacao;
        void status(const std::string& texto) override {
            OperadorGravador::status(texto);
            if (texto == "Gerando Fichas de Vacinação...") naVacinacao();
        }
    } atento;
    std::uintmax_t tamanhoNaVacinacao = 0;
    atento.naVacinacao = [&] {
        // A generous bound: the packing thread only has to get its turn on a loaded machine.
        const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (arquivoOculto() == 0 && std::chrono::steady_clock::now() < limite)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        tamanhoNaVacinacao = arquivoOculto();
    };

    const ResultadoExportacao r = exportaArquivos(parametros, ini, atento, relogio);

    EXPECT_GT(tamanhoNaVacinacao, 0u);
    EXPECT_EQ(entradasDoZip(r.arquivoZip).size(), 80u);
}

TEST_F(ExportacaoTest, SemTiposAindaGeraArquivoVazioValido) {
    parametros.Fichas.clear();
    std::ofstream(pastaXml(parametros.Caminho) + "/FichaVacinacao_9.esus.xml") << "x";
    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);
    ASSERT_TRUE(fs::is_regular_file(r.arquivoZip)) << r.arquivoZip;
    EXPECT_TRUE(r.ListaArquivos.empty());
    EXPECT_TRUE(arquivosEm(pastaXml(parametros.Caminho)).empty());
    // An archive with no entries is the 22-byte end record alone.
    EXPECT_EQ(fs::file_size(zipEsperado()), 22u);
    EXPECT_EQ(operador.mensagens().size(), 1u);
}

// The clean-up of arquivosXML deletes the records and temporaries of earlier runs and nothing
// else: what the clinic keeps there stays, named once in the log.
TEST_F(ExportacaoTest, LimpezaSoApagaFichasENomeiaORestoNoLog) {
    teste::insereEpisodio(banco, 1);
    parametros.Fichas = {TipoFicha::AtendimentoIndividual};
    const fs::path xml = pastaXml(parametros.Caminho);
    const std::pair<const char*, const char*> daClinica[] = {
        {"clinica-copia.fdb", "banco"},
        {"notas.txt", "notas"},
        {"FichaAtendimentoIndividual_1.esus.xml.bak", "cópia"},
    };
    for (const auto& [nome, texto] : daClinica) teste::escreveArquivo(xml / nome, texto);
    for (const char* anterior :
         {"FichaAtendimentoIndividual_2.esus.xml", "FichaVacinacao_9.esus.xml.tmp",
          ".FichaVacinacao_9.esus.xml.1-2-3"})
        teste::escreveArquivo(xml / anterior, "anterior");

    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);

    EXPECT_EQ(entradasDoZip(r.arquivoZip),
              std::vector<std::string>{"FichaAtendimentoIndividual_1.esus.xml"});
    for (const auto& [nome, texto] : daClinica) EXPECT_EQ(teste::leArquivo(xml / nome), texto);
    EXPECT_EQ(arquivosEm(xml),
              (std::vector<std::string>{"FichaAtendimentoIndividual_1.esus.xml",
                                        "FichaAtendimentoIndividual_1.esus.xml.bak",
                                        "clinica-copia.fdb", "notas.txt"}));
    std::vector<std::string> avisos;
    for (const std::string& linha : r.LogExecucao)
        if (linha.starts_with("A pasta " + xml.string())) avisos.push_back(linha);
    ASSERT_EQ(avisos.size(), 1u) << ::testing::PrintToString(r.LogExecucao);
    EXPECT_TRUE(
        avisos[0].starts_with("A pasta " + xml.string() + " tem 3 itens que não são fichas"))
        << avisos[0];
    for (const auto& [nome, texto] : daClinica)
        EXPECT_NE(avisos[0].find(nome), std::string::npos) << avisos[0];
    EXPECT_EQ(operador.logVisivel(), r.LogExecucao);
}

// A run whose output folder is this run's arquivosXML keeps its lock and its hidden archive
// there: the clean-up leaves both, and that run goes on holding its folder.
TEST_F(ExportacaoTest, OutraExecucaoNaPastaXmlGuardaSuaTravaESeuArquivoOculto) {
    teste::insereEpisodio(banco, 1);
    parametros.Fichas = {TipoFicha::AtendimentoIndividual};
    const fs::path aninhada = pastaXml(parametros.Caminho);
    const TravaPasta outraExecucao(aninhada.string());
    const fs::path oculto = aninhada / (".FichasValmo_03112019_1405_01102019_31102019.zip." +
                                        std::to_string(::getpid()) + "-0-123456");
    teste::escreveArquivo(oculto, "meio arquivo compactado");

    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);

    EXPECT_EQ(entradasDoZip(r.arquivoZip),
              std::vector<std::string>{"FichaAtendimentoIndividual_1.esus.xml"});
    EXPECT_EQ(teste::leArquivo(oculto), "meio arquivo compactado");
    EXPECT_TRUE(fs::exists(aninhada / kNomeArquivoTrava));
    try {
        TravaPasta terceira(aninhada.string());
        ADD_FAILURE() << "a outra execução perdeu a trava da sua pasta";
    } catch (const ErroArquivo& e) {
        EXPECT_NE(std::string(e.what()).find("Outra exportação está em andamento"),
                  std::string::npos)
            << e.what();
    }
}

// A record of an earlier run that cannot be deleted (a disk gone read-only) stays, and the log
// says so; it never reaches this run's archive, which packs only the files the run wrote.
TEST_F(ExportacaoTest, FichaAnteriorQueNaoPodeSerApagadaFicaForaDoArquivoEVaiAoLog) {
    parametros.Fichas = {TipoFicha::AtendimentoIndividual};
    const fs::path xml = pastaXml(parametros.Caminho);
    teste::PastaSoDeLeitura soLeitura(xml);
    if (!soLeitura.pronta()) GTEST_SKIP() << soLeitura.motivo();
    teste::escreveArquivo(xml / "FichaAtendimentoIndividual_5.esus.xml", "do mês passado");
    soLeitura.fecha();

    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);

    EXPECT_TRUE(entradasDoZip(r.arquivoZip).empty());
    EXPECT_EQ(teste::leArquivo(xml / "FichaAtendimentoIndividual_5.esus.xml"), "do mês passado");
    const std::string inicio =
        "Não foi possível apagar 1 ficha de uma exportação anterior na pasta " + xml.string();
    const auto aviso = std::find_if(r.LogExecucao.begin(), r.LogExecucao.end(),
                                    [&](const std::string& l) { return l.starts_with(inicio); });
    ASSERT_NE(aviso, r.LogExecucao.end()) << ::testing::PrintToString(r.LogExecucao);
    EXPECT_NE(aviso->find("FichaAtendimentoIndividual_5.esus.xml"), std::string::npos) << *aviso;
}

// Health records are sensitive: the folders the run makes and the files it writes are their
// owner's alone whatever the umask; a folder that was there keeps its own modes.
TEST_F(ExportacaoTest, PastasEArquivosDaExportacaoSoDoDono) {
    teste::insereEpisodio(banco, 1);
    parametros.Fichas.insert(TipoFicha::Vacinacao);
    const fs::path nova = pasta / "nova";
    parametros.Caminho = (nova / "saida").string();
    const fs::perms pastaAntes = fs::status(pasta.caminho()).permissions();
    // What the output folder holds while the run works: its lock and the hidden archive.
    class OperadorAtento : public OperadorGravador {
      public:
        fs::path saida;
        std::vector<std::pair<std::string, fs::perms>> vistos;
        void status(const std::string& texto) override {
            OperadorGravador::status(texto);
            if (texto != "Gerando Fichas de Vacinação...") return;
            for (const auto& e : fs::directory_iterator(saida))
                if (e.is_regular_file())
                    vistos.emplace_back(e.path().filename(), e.status().permissions());
        }
    } atento;
    atento.saida = nova / "saida";

    const mode_t umaskAntes = ::umask(0);
    criaPastaXml(parametros.Caminho);
    const ResultadoExportacao r = exportaArquivos(parametros, ini, atento, relogio);
    ::umask(umaskAntes);

    const fs::perms soDoDono = fs::perms::owner_read | fs::perms::owner_write;
    for (const fs::path& p : {nova, nova / "saida", nova / "saida" / "arquivosXML"})
        EXPECT_EQ(fs::status(p).permissions(), fs::perms::owner_all) << p;
    EXPECT_EQ(fs::status(pasta.caminho()).permissions(), pastaAntes);
    ASSERT_EQ(r.ListaArquivos.size(), 2u);
    for (const ArquivoGerado& a : r.ListaArquivos)
        EXPECT_EQ(fs::status(a.caminho).permissions(), soDoDono) << a.caminho;
    EXPECT_EQ(fs::status(r.arquivoZip).permissions(), soDoDono);
    ASSERT_EQ(atento.vistos.size(), 2u);
    for (const auto& [nome, modo] : atento.vistos) {
        EXPECT_TRUE(nome == kNomeArquivoTrava || nome.starts_with(".FichasValmo_")) << nome;
        EXPECT_EQ(modo, soDoDono) << nome;
    }
}

// Without the municipality's code the importer refuses the records: the log says so first, the
// run goes on, and the closing notes say it again.
TEST_F(ExportacaoTest, IbgeEmBrancoAvisadoNoLogNoInicioENoFim) {
    teste::insereEpisodio(banco, 1);
    parametros.Fichas = {TipoFicha::AtendimentoIndividual};
    const std::string aviso = "IBGE não informado em config.ini";
    const std::pair<const char*, bool> casos[] = {
        {nullptr, true}, {"", true}, {"   ", true}, {"4205407", false}};
    for (const auto& [ibge, avisa] : casos) {
        SCOPED_TRACE(ibge ? std::string("'") + ibge + "'" : "sem IBGE");
        PastaTemporaria outra;
        ArquivoIni iniDoCaso(outra / "config.ini");
        iniDoCaso.grava(kSecaoGeral, kChaveDatabase, banco.caminho());
        if (ibge) iniDoCaso.grava(kSecaoGeral, kChaveIbge, ibge);
        OperadorGravador operador;

        const ResultadoExportacao r = exportaArquivos(parametros, iniDoCaso, operador, relogio);

        EXPECT_TRUE(fs::is_regular_file(r.arquivoZip)) << r.arquivoZip;
        const std::vector<std::string> log = operador.logVisivel();
        const auto avisos = std::count_if(log.begin(), log.end(), [&](const std::string& linha) {
            return linha.starts_with(aviso);
        });
        EXPECT_EQ(avisos, avisa ? 1 : 0);
        EXPECT_EQ(r.LogExecucao, log);
        const std::vector<std::string> notas = notasFinais(r);
        ASSERT_FALSE(notas.empty());
        EXPECT_EQ(notas.back().starts_with(aviso), avisa) << notas.back();
        if (avisa) {
            // Right after the log and the error list were cleared, before the first kind's turn.
            ASSERT_GE(operador.chamadas.size(), 3u);
            EXPECT_EQ(operador.chamadas[0], ChamadaOperador::limpaLog());
            EXPECT_EQ(operador.chamadas[1], ChamadaOperador::limpaErrosCadastro());
            EXPECT_EQ(operador.chamadas[2], ChamadaOperador::log(log.front()));
            EXPECT_TRUE(log.front().starts_with(aviso));
        }
        EXPECT_TRUE(
            fs::exists(pastaXml(parametros.Caminho) + "/FichaAtendimentoIndividual_1.esus.xml"));
    }
}

// The connection's error is the one message: where it went, why, and the library's text.
TEST_F(ExportacaoTest, FalhaDeConexaoAvisaUmaVezESoGravaAsDuasConfiguracoes) {
    const std::string semBanco = (pasta.caminho() / "nao-existe.fdb").string();
    ini.grava(kSecaoGeral, kChaveDatabase, semBanco);
    std::ofstream(pastaXml(parametros.Caminho) + "/FichaAntiga_1.esus.xml") << "x";

    try {
        exportaArquivos(parametros, ini, operador, relogio);
        ADD_FAILURE() << "conectou a um banco que não existe";
    } catch (const ErroBanco& e) {
        const std::string texto = e.what();
        EXPECT_EQ(texto.rfind("Não foi possível conectar ao banco de dados em " + semBanco +
                                  ": o arquivo do banco de dados não existe. Detalhe: I/O error",
                              0),
                  0u)
            << texto;
    }

    EXPECT_TRUE(operador.mensagens().empty());
    EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, ""), parametros.Caminho);
    EXPECT_EQ(ini.le(kSecaoEsus, kChaveProfissionalGenerico, ""), "10");
    // Nothing of the output was touched.
    EXPECT_EQ(arquivosEm(pastaXml(parametros.Caminho)),
              std::vector<std::string>{"FichaAntiga_1.esus.xml"});
    EXPECT_EQ(arquivosEm(parametros.Caminho), std::vector<std::string>{"arquivosXML"});
    EXPECT_TRUE(operador.statusTextos().empty());
}

TEST_F(ExportacaoTest, ErroNoMeioGuardaArquivosESemZip) {
    // The second episode's file cannot be written: a folder of its name is in the way, and
    // the run's clean-up of arquivosXML leaves folders alone.
    teste::insereEpisodio(banco, 1, "'08:00:00'");
    banco.executa("INSERT INTO unidades (codigo, nome) VALUES ('45', 'Posto rural')");
    teste::insereEpisodio(banco, 2, "'09:00:00'", "45");
    banco.executa("UPDATE FAA SET DATA = '2019-10-20' WHERE NUMFAA = 2");
    const fs::path noCaminho =
        fs::path(pastaXml(parametros.Caminho)) / "FichaAtendimentoIndividual_2.esus.xml";
    fs::create_directory(noCaminho);

    try {
        exportaArquivos(parametros, ini, operador, relogio);
        ADD_FAILURE() << "esperava erro de arquivo";
    } catch (const ErroArquivo& e) {
        // The operator learns which record it was, which file, and why; and where the report
        // of how far the run got is.
        const fs::path relatorio =
            pasta / "saida" / "FichasValmo_03112019_1405_01102019_31102019.relatorio.html";
        EXPECT_EQ(std::string(e.what()),
                  "FichaAtendimentoIndividual_2 (unidade 45): Não foi possível criar o arquivo " +
                      noCaminho.string() + ": há uma pasta com esse nome no lugar. Detalhe: " +
                      std::generic_category().message(EISDIR) +
                      ". O relatório do que foi feito até aqui está em " + relatorio.string() +
                      ".");
        const std::string pagina = teste::leArquivo(relatorio);
        EXPECT_NE(pagina.find("A exportação falhou e nada foi enviado"), std::string::npos)
            << pagina;
        EXPECT_NE(pagina.find("há uma pasta com esse nome no lugar"), std::string::npos) << pagina;
    }

    EXPECT_EQ(arquivosEm(pastaXml(parametros.Caminho)),
              (std::vector<std::string>{"FichaAtendimentoIndividual_1.esus.xml",
                                        "FichaAtendimentoIndividual_2.esus.xml"}));
    EXPECT_TRUE(fs::is_directory(noCaminho));
    EXPECT_FALSE(fs::exists(zipEsperado()));
    EXPECT_TRUE(operador.mensagens().empty());
}

// The window hands the run the output folder as typed: a relative one is made whole from the
// folder the program runs in, for config.ini and for the archive's path the operator reads.
// The files are saved while the next records are read: a file that fails with many records
// after it still names its own record, and none after it reaches the folder.
TEST_F(ExportacaoTest, ErroNoMeioDeMuitasFichasNomeiaAQueFalhou) {
    for (int n = 1; n <= 300; ++n) teste::insereEpisodio(banco, n);
    const fs::path noCaminho =
        fs::path(pastaXml(parametros.Caminho)) / "FichaAtendimentoIndividual_2.esus.xml";
    fs::create_directory(noCaminho);

    try {
        exportaArquivos(parametros, ini, operador, relogio);
        ADD_FAILURE() << "esperava erro de arquivo";
    } catch (const ErroArquivo& e) {
        const std::string inicio =
            "FichaAtendimentoIndividual_2 (unidade 2345678): Não foi possível criar o arquivo " +
            noCaminho.string() + ": há uma pasta com esse nome no lugar.";
        EXPECT_EQ(std::string(e.what()).rfind(inicio, 0), 0u) << e.what();
    }

    EXPECT_EQ(arquivosEm(pastaXml(parametros.Caminho)),
              (std::vector<std::string>{"FichaAtendimentoIndividual_1.esus.xml",
                                        "FichaAtendimentoIndividual_2.esus.xml"}));
    EXPECT_FALSE(fs::exists(zipEsperado()));
    EXPECT_TRUE(operador.mensagens().empty());
}

TEST_F(ExportacaoTest, PastaDeSaidaRelativaGravadaPorInteiro) {
    teste::insereEpisodio(banco, 1);
    parametros.Fichas = {TipoFicha::AtendimentoIndividual};
    const fs::path inicio = fs::canonical(pasta.caminho());
    struct VoltaAPasta {
        fs::path antes = fs::current_path();
        ~VoltaAPasta() {
            std::error_code ec;
            fs::current_path(antes, ec);
        }
    } volta;
    fs::current_path(inicio);
    parametros.Caminho = "./saida/.";

    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);

    EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, ""), (inicio / "saida").string());
    EXPECT_EQ(r.arquivoZip,
              (inicio / "saida" / "FichasValmo_03112019_1405_01102019_31102019.zip").string());
}

TEST_F(ExportacaoTest, PastaDeSaidaSumiuEncerraComErroDeArquivo) {
    teste::insereEpisodio(banco, 1);
    parametros.Caminho = (pasta.caminho() / "outra").string();
    EXPECT_THROW(exportaArquivos(parametros, ini, operador, relogio), ErroArquivo);
}

TEST_F(ExportacaoTest, CodigoDeProfissionalInvalidoRecusadoAntesDeTudo) {
    for (const char* codigo : {" ", "10 OR 1=1", "1a", "-1", " 10", "2147483648"}) {
        OperadorGravador operador;
        parametros.CodProf = codigo;
        parametros.Caminho = "nao-gravado";
        try {
            exportaArquivos(parametros, ini, operador, relogio);
            ADD_FAILURE() << "aceitou '" << codigo << "'";
        } catch (const ErroParametro& e) {
            EXPECT_EQ(e.opcao(), "--cod-prof");
            EXPECT_NE(std::string(e.what()).find(std::string("'") + codigo + "'"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_TRUE(operador.chamadas.empty());
        EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, "ausente"), "ausente");
    }
    parametros.CodProf = "10";
    EXPECT_NO_THROW(validaCodProf(parametros.CodProf));
    EXPECT_NO_THROW(validaCodProf(""));
}

// What the operator has, as it was before a run that was refused.
struct Retrato {
    std::optional<std::string> config;
    std::vector<std::string> saida;
    std::vector<std::string> subpasta;
    friend bool operator==(const Retrato&, const Retrato&) = default;
};

Retrato retrato(const fs::path& config, const fs::path& saida) {
    Retrato r;
    if (fs::exists(config)) r.config = teste::leArquivo(config);
    if (fs::is_directory(saida)) r.saida = arquivosEm(saida);
    if (fs::is_directory(saida / "arquivosXML")) r.subpasta = arquivosEm(saida / "arquivosXML");
    return r;
}

TEST_F(ExportacaoTest, RecusadaAntesDeGravarQualquerCoisa) {
    teste::insereEpisodio(banco, 1);
    const std::string saida = parametros.Caminho;
    // A file of an earlier run, which a run that starts would delete.
    teste::escreveArquivo(fs::path(pastaXml(saida)) / "FichaAtendimentoIndividual_9.esus.xml",
                          "anterior");
    struct Caso {
        const char* descricao;
        // Sets the run up the wrong way; returns the settings file the run is given.
        std::function<fs::path(ParametrosExportacao&, const fs::path& pasta)> prepara;
        // Part of the error the operator reads.
        std::string motivo;
    };
    const fs::path bom = pasta.caminho() / "config.ini";
    // The clinic's database at the place `onde` gives, in the arquivosXML of the output folder
    // `p`/saida, and a config.ini beside `p` that names it there.
    const auto bancoEmArquivosXml =
        [&](ParametrosExportacao& par, const fs::path& p,
            const std::function<fs::path(const fs::path&, const fs::path&)>& onde) {
            const fs::path xml = p / "saida" / "arquivosXML";
            fs::create_directories(xml);
            fs::copy_file(banco.arquivo(), xml / "clinica.fdb");
            par.Caminho = (p / "saida").string();
            teste::escreveArquivo(p / "config.ini",
                                  "[GERAL]\r\nDATABASE=" + onde(p, xml).string() + "\r\n");
            return p / "config.ini";
        };
    // config.ini with GERAL/IBGE as an editor may leave it.
    const auto comIbge = [&](const std::string& valor) {
        return [&, valor](ParametrosExportacao&, const fs::path& p) {
            teste::escreveArquivo(p / "config.ini", "[GERAL]\r\nDATABASE=" + banco.caminho() +
                                                        "\r\nIBGE=" + valor + "\r\n");
            return p / "config.ini";
        };
    };
    const Caso casos[] = {
        {"config.ini que é um banco de dados",
         [&](ParametrosExportacao&, const fs::path& p) {
             fs::copy_file(banco.arquivo(), p / "clinica.fdb");
             return p / "clinica.fdb";
         },
         "não pode ser lido como tal"},
        {"config.ini em UTF-16",
         [&](ParametrosExportacao&, const fs::path& p) {
             std::string utf16 = "\xFF\xFE";
             for (const char c : teste::leArquivo(bom)) utf16 += std::string{c, '\0'};
             teste::escreveArquivo(p / "config.ini", utf16);
             return p / "config.ini";
         },
         "UTF-16"},
        {"config.ini ausente",
         [&](ParametrosExportacao&, const fs::path& p) { return p / "config.ini"; },
         "não foi encontrado"},
        {"config.ini sem DATABASE",
         [&](ParametrosExportacao&, const fs::path& p) {
             teste::escreveArquivo(p / "config.ini", "[GERAL]\r\nIBGE=4205407\r\n");
             return p / "config.ini";
         },
         "falta DATABASE"},
        {"DATABASE em branco",
         [&](ParametrosExportacao&, const fs::path& p) {
             teste::escreveArquivo(p / "config.ini", "[GERAL]\r\nDATABASE=  \r\n");
             return p / "config.ini";
         },
         "falta DATABASE"},
        {"IBGE com letras e sinais", comIbge("abc<&>"),
         "diz em IBGE, na seção [GERAL], 'abc<&>', que não é o código de um município"},
        {"IBGE de 17 dígitos", comIbge("12345678901234567"), "'12345678901234567'"},
        {"IBGE de seis dígitos", comIbge("420540"), "'420540'"},
        {"IBGE de dígitos que não são ASCII", comIbge("４２０５４０７"), "'４２０５４０７'"},
        {"IBGE em ANSI", comIbge("S\xE3o Lu\xEDs"), "'São Luís'"},
        {"erros.txt que é um link",
         [&](ParametrosExportacao&, const fs::path& p) {
             fs::copy_file(bom, p / "config.ini");
             teste::escreveArquivo(p / "alheio", "de outro usuário");
             fs::create_symlink(p / "alheio", p / "erros.txt");
             return p / "config.ini";
         },
         "erros.txt, onde vai a lista de erros, é um link simbólico"},
        {"profissional genérico com quebra de linha",
         [&](ParametrosExportacao& par, const fs::path&) {
             par.ProfissionalGenerico = "9\n[GERAL]\nDATABASE=/outro.fdb";
             return bom;
         },
         "profissional genérico inválido: '9\\n[GERAL]\\nDATABASE=/outro.fdb'"},
        {"caminho com quebra de linha",
         [&](ParametrosExportacao& par, const fs::path&) {
             par.Caminho += "\r\n[GERAL]\r\nDATABASE=/outro.fdb";
             return bom;
         },
         "(Caminho) tem uma quebra de linha"},
        {"caminho vazio",
         [&](ParametrosExportacao& par, const fs::path&) {
             par.Caminho = "";
             return bom;
         },
         "está em branco"},
        {"caminho em branco",
         [&](ParametrosExportacao& par, const fs::path&) {
             par.Caminho = "  ";
             return bom;
         },
         "está em branco"},
        {"banco de dados em arquivosXML",
         [&](ParametrosExportacao& par, const fs::path& p) {
             return bancoEmArquivosXml(
                 par, p, [](const fs::path&, const fs::path& xml) { return xml / "clinica.fdb"; });
         },
         "O banco de dados da clínica ("},
        {"banco de dados em arquivosXML por um link da pasta",
         [&](ParametrosExportacao& par, const fs::path& p) {
             return bancoEmArquivosXml(par, p, [](const fs::path& p, const fs::path& xml) {
                 fs::create_directory_symlink(xml, p / "atalho");
                 return p / "atalho" / "clinica.fdb";
             });
         },
         "O banco de dados da clínica ("},
        {"banco de dados em arquivosXML por '..'",
         [&](ParametrosExportacao& par, const fs::path& p) {
             return bancoEmArquivosXml(par, p, [](const fs::path& p, const fs::path&) {
                 fs::create_directory(p / "outra");
                 return p / "outra" / ".." / "saida" / "." / "arquivosXML" / "clinica.fdb";
             });
         },
         "O banco de dados da clínica ("},
        {"banco de dados que é um link para arquivosXML",
         [&](ParametrosExportacao& par, const fs::path& p) {
             return bancoEmArquivosXml(par, p, [](const fs::path& p, const fs::path& xml) {
                 fs::create_symlink(xml / "clinica.fdb", p / "clinica.fdb");
                 return p / "clinica.fdb";
             });
         },
         "O banco de dados da clínica ("},
        {"config.ini em arquivosXML",
         [&](ParametrosExportacao& par, const fs::path& p) {
             fs::create_directories(p / "saida" / "arquivosXML");
             fs::copy_file(bom, p / "saida" / "arquivosXML" / "config.ini");
             par.Caminho = (p / "saida").string();
             return p / "saida" / "arquivosXML" / "config.ini";
         },
         "está na pasta"},
        {"arquivosXML que todos podem alterar",
         [&](ParametrosExportacao& par, const fs::path& p) {
             fs::create_directories(p / "saida" / "arquivosXML");
             fs::permissions(p / "saida" / "arquivosXML", fs::perms(0777));
             par.Caminho = (p / "saida").string();
             return bom;
         },
         "pode ser alterada por outros usuários (permissões 0777)"},
        {"pasta de saída que o grupo pode alterar",
         [&](ParametrosExportacao& par, const fs::path& p) {
             fs::create_directories(p / "saida");
             fs::permissions(p / "saida", fs::perms(0770));
             par.Caminho = (p / "saida").string();
             return bom;
         },
         "A pasta de saída "},
        {"arquivosXML que é um link para os documentos do operador",
         [&](ParametrosExportacao& par, const fs::path& p) {
             fs::create_directories(p / "saida" / "documentos");
             teste::escreveArquivo(p / "saida" / "documentos" / "contrato.pdf", "contrato");
             fs::create_directory_symlink(p / "saida" / "documentos", p / "saida" / "arquivosXML");
             par.Caminho = (p / "saida").string();
             return bom;
         },
         "link simbólico"},
    };
    banco.desconecta();
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        PastaTemporaria outra;
        ParametrosExportacao p = parametros;
        const fs::path config = c.prepara(p, outra.caminho());
        const fs::path pastaSaida = p.Caminho.empty() ? fs::path(saida) : fs::path(p.Caminho);
        const Retrato antes = retrato(config, pastaSaida);
        const Retrato antesDoBom = retrato(bom, saida);
        const Retrato antesDosDocumentos = retrato(config, outra / "saida" / "documentos");
        ArquivoIni iniDoCaso(config);
        OperadorGravador operador;

        try {
            exportaArquivos(p, iniDoCaso, operador, relogio);
            ADD_FAILURE() << "a exportação começou";
        } catch (const ErroArquivo& e) {
            const std::string texto = e.what();
            EXPECT_NE(texto.find(c.motivo), std::string::npos) << texto;
        } catch (const ErroParametro& e) {
            const std::string texto = e.what();
            EXPECT_NE(texto.find(c.motivo), std::string::npos) << texto;
        }

        EXPECT_EQ(retrato(config, pastaSaida), antes);
        EXPECT_EQ(retrato(bom, saida), antesDoBom);
        EXPECT_EQ(retrato(config, outra / "saida" / "documentos"), antesDosDocumentos);
        EXPECT_TRUE(operador.chamadas.empty());
    }
}

// An output folder, or an arquivosXML, of another user: whoever owns it could plant a link
// where a citizen's record is written, or read the records. Refused before anything is made
// or written, by the window's and the command line's creation of arquivosXML as by the run.
TEST_F(ExportacaoTest, PastaDeOutroUsuarioRecusadaAntesDeGravar) {
    const teste::OutroUsuario outro;
    if (!outro.criado()) GTEST_SKIP() << outro.motivo();
    teste::insereEpisodio(banco, 1);
    banco.desconecta();
    for (const bool daSaida : {true, false}) {
        SCOPED_TRACE(daSaida ? "pasta de saída" : "arquivosXML");
        PastaTemporaria outra;
        const fs::path saida = outra / "saida";
        fs::create_directory(saida);
        if (!daSaida) fs::create_directory(saida / "arquivosXML");
        outro.daPosse(daSaida ? saida : saida / "arquivosXML");
        ParametrosExportacao p = parametros;
        p.Caminho = saida.string();
        const std::string configAntes = teste::leArquivo(pasta / "config.ini");
        const std::string motivo = " pertence a outro usuário (" + outro.nome() + "), não a root";

        for (const std::function<void()>& tentativa :
             {std::function<void()>([&] { criaPastaXml(p.Caminho); }),
              std::function<void()>([&] { exportaArquivos(p, ini, operador, relogio); })}) {
            try {
                tentativa();
                ADD_FAILURE() << "usou a pasta de outro usuário";
            } catch (const ErroArquivo& e) {
                EXPECT_NE(std::string(e.what()).find(motivo), std::string::npos) << e.what();
            }
        }
        EXPECT_EQ(arquivosEm(saida),
                  daSaida ? std::vector<std::string>{} : std::vector<std::string>{"arquivosXML"});
        if (!daSaida) {
            EXPECT_TRUE(arquivosEm(saida / "arquivosXML").empty());
        }
        EXPECT_EQ(teste::leArquivo(pasta / "config.ini"), configAntes);
        EXPECT_TRUE(operador.chamadas.empty());
    }
}

// Another process holding an output folder as a run does, until it is killed; killed too
// when the test ends, however it ends.
class OutroProcessoComATrava {
  public:
    explicit OutroProcessoComATrava(const std::string& Caminho) {
        const std::string trava = Caminho + "/" + kNomeArquivoTrava;
        int canal[2];
        if (::pipe(canal) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            // Only system calls here, and nothing kept of the test process's files (its
            // database engine's among them): the process holds the lock and waits.
            for (int fd = 3; fd < 1024; ++fd)
                if (fd != canal[1]) ::close(fd);
            const int fd = ::open(trava.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            const char pronto = (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? '1' : '0';
            if (::write(canal[1], &pronto, 1) != 1) ::_exit(2);
            for (;;) ::pause();
        }
        ::close(canal[1]);
        char pronto = 0;
        travou = pid > 0 && ::read(canal[0], &pronto, 1) == 1 && pronto == '1';
        ::close(canal[0]);
    }
    ~OutroProcessoComATrava() { mata(); }
    OutroProcessoComATrava(const OutroProcessoComATrava&) = delete;
    OutroProcessoComATrava& operator=(const OutroProcessoComATrava&) = delete;

    // Dies without a word, as a crash.
    void mata() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }

    bool travou = false;

  private:
    pid_t pid = -1;
};

// Two runs on one output folder at once: the second is refused and the first one's files
// stay. The first run is another process, holding the folder as a run does, until it dies.
TEST_F(ExportacaoTest, OutraExecucaoNaMesmaPastaERecusadaAteElaTerminar) {
    teste::insereEpisodio(banco, 1);
    banco.desconecta();
    const fs::path subpasta = pastaXml(parametros.Caminho);
    teste::escreveArquivo(subpasta / "FichaAtendimentoIndividual_33549.esus.xml", "da primeira");
    OutroProcessoComATrava primeira(parametros.Caminho);
    ASSERT_TRUE(primeira.travou);
    const std::string configAntes = teste::leArquivo(pasta / "config.ini");

    try {
        exportaArquivos(parametros, ini, operador, relogio);
        ADD_FAILURE() << "duas exportações na mesma pasta";
    } catch (const ErroArquivo& e) {
        EXPECT_NE(std::string(e.what()).find("Outra exportação está em andamento"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_EQ(teste::leArquivo(subpasta / "FichaAtendimentoIndividual_33549.esus.xml"),
              "da primeira");
    EXPECT_FALSE(fs::exists(zipEsperado()));
    EXPECT_EQ(teste::leArquivo(pasta / "config.ini"), configAntes);
    EXPECT_TRUE(operador.chamadas.empty());

    // Its lock goes with it.
    primeira.mata();
    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);
    EXPECT_TRUE(fs::is_regular_file(r.arquivoZip)) << r.arquivoZip;
    EXPECT_FALSE(fs::exists(subpasta / "FichaAtendimentoIndividual_33549.esus.xml"));
    EXPECT_FALSE(fs::exists(fs::path(parametros.Caminho) / kNomeArquivoTrava));
}

// Two runs in one minute, one kind and then another: both archives are kept.
TEST_F(ExportacaoTest, DuasExecucoesNoMesmoMinutoGuardamOsDoisArquivos) {
    teste::insereEpisodio(banco, 1);
    parametros.Fichas = {TipoFicha::AtendimentoIndividual};
    const ResultadoExportacao primeira = exportaArquivos(parametros, ini, operador, relogio);
    parametros.Fichas = {TipoFicha::Vacinacao};
    const ResultadoExportacao segunda = exportaArquivos(parametros, ini, operador, relogio);

    ASSERT_TRUE(fs::is_regular_file(primeira.arquivoZip)) << primeira.arquivoZip;
    ASSERT_TRUE(fs::is_regular_file(segunda.arquivoZip)) << segunda.arquivoZip;
    EXPECT_EQ(primeira.arquivoZip, zipEsperado().string());
    const fs::path outro =
        fs::path(parametros.Caminho) / "FichasValmo_03112019_1405_01102019_31102019_2.zip";
    EXPECT_EQ(segunda.arquivoZip, outro.string());
    EXPECT_EQ(entradasDoZip(zipEsperado()),
              std::vector<std::string>{"FichaAtendimentoIndividual_1.esus.xml"});
    EXPECT_EQ(entradasDoZip(outro), std::vector<std::string>{"FichaVacinacao_1.esus.xml"});
}

// The hidden archives of runs that died while packing go with the next run, once it holds the
// folder, each said once in its log. While another run holds the folder they stay: one may be
// that run's own. Only the names the packing gives its archive, and only plain files.
TEST_F(ExportacaoTest, ArquivosIncompletosDeExecucoesMortasSaemComATrava) {
    teste::insereEpisodio(banco, 1);
    banco.desconecta();
    const fs::path saida(parametros.Caminho);
    const std::vector<std::string> incompletos = {
        ".FichasValmo_03112019_1405_01102019_31102019.zip.4242-0-123456",
        ".FichasValmo_31122026_2359_01112026_30112026.zip.1-17-0",
    };
    const std::vector<std::string> alheios = {
        ".FichasValmo_03112019_1405_01102019_31102019.zip",
        ".FichasValmo_03112019_1405_01102019_31102019.zip.4242-0-1.bak",
        ".FichasValmo_03112019_1405_01102019_31102019_2.zip.4242-0-1",
        ".FichasValmo_3112019_1405_01102019_31102019.zip.4242-0-1",
        ".FichasValmo_03112019_1405_01102019_31102019.zip.4242-0-",
        ".FichasValmo_03112019_1405_01102019_31102019.ZIP.4242-0-1",
        "FichasValmo_03112019_1405_01102019_31102019.zip.4242-0-1",
        ".config.ini.4242-0-123456",
    };
    for (const std::string& nome : incompletos) teste::escreveArquivo(saida / nome, "incompleto");
    for (const std::string& nome : alheios) teste::escreveArquivo(saida / nome, "do operador");
    // Named as the packing names its archive, but a link and a folder: not the packing's.
    const fs::path alvo = pasta / "alvo.zip";
    teste::escreveArquivo(alvo, "do operador");
    const fs::path link = saida / ".FichasValmo_03112019_1405_01102019_31102019.zip.7-0-7";
    fs::create_symlink(alvo, link);
    const fs::path subpasta = saida / ".FichasValmo_03112019_1405_01102019_31102019.zip.8-0-8";
    fs::create_directory(subpasta);
    teste::escreveArquivo(subpasta / "dentro.txt", "do operador");

    {
        OutroProcessoComATrava outra(parametros.Caminho);
        ASSERT_TRUE(outra.travou);
        EXPECT_THROW(exportaArquivos(parametros, ini, operador, relogio), ErroArquivo);
        for (const std::string& nome : incompletos) EXPECT_TRUE(fs::exists(saida / nome)) << nome;
    }
    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);

    EXPECT_TRUE(fs::is_regular_file(r.arquivoZip)) << r.arquivoZip;
    std::vector<std::string> avisos, esperados;
    for (const std::string& linha : r.LogExecucao)
        if (linha.find("arquivo incompleto") != std::string::npos) avisos.push_back(linha);
    for (const std::string& nome : incompletos) {
        EXPECT_FALSE(fs::exists(saida / nome)) << nome;
        esperados.push_back("Removido o arquivo incompleto " + (saida / nome).string() +
                            ", de uma exportação interrompida.");
    }
    std::sort(avisos.begin(), avisos.end());
    std::sort(esperados.begin(), esperados.end());
    EXPECT_EQ(avisos, esperados);
    for (const std::string& linha : esperados)
        EXPECT_EQ(std::count(operador.chamadas.begin(), operador.chamadas.end(),
                             ChamadaOperador::log(linha)),
                  1)
            << linha;
    for (const std::string& nome : alheios)
        EXPECT_EQ(teste::leArquivo(saida / nome), "do operador") << nome;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(teste::leArquivo(alvo), "do operador");
    EXPECT_EQ(teste::leArquivo(subpasta / "dentro.txt"), "do operador");
}

TEST(Abertura, PastaXmlNaoECriadaParaUmCaminhoEmBranco) {
    for (const char* Caminho : {"", " ", "\t"}) {
        EXPECT_THROW(criaPastaXml(Caminho), ErroArquivo) << "'" << Caminho << "'";
    }
}

TEST(Abertura, MesAnterior) {
    using std::chrono::year;
    struct Caso {
        DataHora hoje;
        std::chrono::year_month_day inicio, fim;
    };
    const Caso casos[] = {
        {{2019, 11, 1}, year{2019} / 10 / 1, year{2019} / 10 / 31},
        {{2019, 11, 30}, year{2019} / 10 / 1, year{2019} / 10 / 31},
        {{2020, 1, 15}, year{2019} / 12 / 1, year{2019} / 12 / 31},
        {{2020, 3, 31}, year{2020} / 2 / 1, year{2020} / 2 / 29},
        {{2019, 3, 1}, year{2019} / 2 / 1, year{2019} / 2 / 28},
    };
    for (const auto& c : casos) {
        const Periodo p = mesAnterior(c.hoje);
        EXPECT_EQ(p.inicio, c.inicio) << c.hoje.ano << "-" << c.hoje.mes << "-" << c.hoje.dia;
        EXPECT_EQ(p.fim, c.fim) << c.hoje.ano << "-" << c.hoje.mes << "-" << c.hoje.dia;
    }
}

}  // namespace
}  // namespace cds

namespace cds {
namespace {

// The run's commit and rollback, as the database sees them: triggers on the end of every
// transaction of the user EXPORTADOR write down how it ended, in a transaction of their own
// so that a rollback keeps its record too.
class FimDaTransacaoTest : public ExportacaoTest {
  protected:
    void SetUp() override {
        banco.executa(
            "CREATE TABLE FIM_TRANSACAO (ID INTEGER GENERATED BY DEFAULT AS IDENTITY, "
            "COMO VARCHAR(10))");
        for (const char* fim : {"COMMIT", "ROLLBACK"})
            banco.executa(
                std::string("CREATE TRIGGER FIM_") + fim + " ACTIVE ON TRANSACTION " + fim +
                " AS BEGIN IF (CURRENT_USER = 'EXPORTADOR' AND "
                "RDB$GET_CONTEXT('USER_SESSION', 'REGISTRANDO') IS NULL) THEN BEGIN "
                "RDB$SET_CONTEXT('USER_SESSION', 'REGISTRANDO', '1'); "
                "IN AUTONOMOUS TRANSACTION DO INSERT INTO FIM_TRANSACAO (COMO) VALUES ('" +
                fim + "'); RDB$SET_CONTEXT('USER_SESSION', 'REGISTRANDO', NULL); END END");
        teste::insereEpisodio(banco, 1);
        // The embedded engine takes any user name; the run connects as this one, which may
        // read and write what SYSDBA may.
        for (const auto& tabela : leColuna(
                 "SELECT TRIM(RDB$RELATION_NAME) C FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0"))
            banco.executa("GRANT ALL ON " + tabela + " TO EXPORTADOR");
        banco.desconecta();
        setenv("ISC_USER", "EXPORTADOR", 1);
    }
    void TearDown() override { unsetenv("ISC_USER"); }

    // The first column of every row, read as SYSDBA.
    std::vector<std::string> leColuna(const std::string& sql) {
        const char* usuario = std::getenv("ISC_USER");
        const std::string antes = usuario ? usuario : "";
        unsetenv("ISC_USER");
        std::vector<std::string> lista;
        {
            Conexao c;
            c.abre(banco.caminho());
            Transacao t(c);
            Consulta q(t, sql);
            for (const Linha& l : q.abre()) lista.push_back(l.texto("C"));
        }
        if (!antes.empty()) setenv("ISC_USER", antes.c_str(), 1);
        return lista;
    }

    std::vector<std::string> fins() {
        return leColuna("SELECT COMO C FROM FIM_TRANSACAO ORDER BY ID");
    }
};

TEST_F(FimDaTransacaoTest, ConfirmadaSoDepoisDoArquivoGravado) {
    ASSERT_TRUE(
        fs::is_regular_file(exportaArquivos(parametros, ini, operador, relogio).arquivoZip));
    EXPECT_EQ(fins(), std::vector<std::string>{"COMMIT"});

    // An archive that cannot be put in place (taken away while it was written): nothing is
    // confirmed.
    OperadorIntruso intruso;
    intruso.apagarArquivoOcultoAoCompactar = parametros.Caminho;
    EXPECT_THROW(exportaArquivos(parametros, ini, intruso, relogio), ErroArquivo);
    EXPECT_EQ(fins(), (std::vector<std::string>{"COMMIT", "ROLLBACK"}));
    // The packing's error reaches the caller; the run shows no box of its own.
    EXPECT_TRUE(intruso.mensagens().empty());

    // An error half-way through the run (the output subfolder gone): nothing is confirmed
    // either.
    parametros.Caminho = (pasta.caminho() / "sem-subpasta").string();
    fs::create_directory(parametros.Caminho);
    EXPECT_THROW(exportaArquivos(parametros, ini, operador, relogio), ErroArquivo);
    EXPECT_EQ(fins(), (std::vector<std::string>{"COMMIT", "ROLLBACK", "ROLLBACK"}));
}

TEST_F(FimDaTransacaoTest, SucessoSoDepoisDeConfirmada) {
    OperadorIntruso intruso;
    std::vector<std::vector<std::string>> finsVistos;
    bool arquivoNoLugar = false;
    intruso.aoMostrarMensagem = [&](const std::string&) {
        finsVistos.push_back(fins());
        arquivoNoLugar = fs::is_regular_file(zipEsperado());
    };

    ASSERT_TRUE(fs::is_regular_file(exportaArquivos(parametros, ini, intruso, relogio).arquivoZip));

    // One box, the success, and when it came the archive was in place and the work confirmed.
    ASSERT_EQ(intruso.mensagens().size(), 1u);
    EXPECT_EQ(intruso.mensagens()[0].texto, "Arquivo de importação do esus gerado com sucesso!");
    EXPECT_EQ(finsVistos, (std::vector<std::vector<std::string>>{{"COMMIT"}}));
    EXPECT_TRUE(arquivoNoLugar);
}

TEST_F(FimDaTransacaoTest, ConfirmacaoQueFalhaApagaOArquivoEFalhaAExecucao) {
    // The server refuses the run's commit.
    unsetenv("ISC_USER");
    banco.executa("CREATE EXCEPTION CONFIRMACAO_RECUSADA 'confirmação recusada pelo servidor'");
    banco.executa(
        "CREATE TRIGGER RECUSA_COMMIT ACTIVE ON TRANSACTION COMMIT POSITION 10 AS BEGIN "
        "IF (CURRENT_USER = 'EXPORTADOR' AND "
        "RDB$GET_CONTEXT('USER_SESSION', 'REGISTRANDO') IS NULL) THEN "
        "EXCEPTION CONFIRMACAO_RECUSADA; END");
    banco.desconecta();
    setenv("ISC_USER", "EXPORTADOR", 1);

    try {
        exportaArquivos(parametros, ini, operador, relogio);
        ADD_FAILURE() << "a confirmação recusada passou por sucesso";
    } catch (const ErroBanco& e) {
        const std::string texto = e.what();
        EXPECT_NE(texto.find("não foi confirmada"), std::string::npos) << texto;
        EXPECT_NE(texto.find(zipEsperado().string() + " foi apagado"), std::string::npos) << texto;
        EXPECT_NE(texto.find("confirmação recusada pelo servidor"), std::string::npos) << texto;
    }

    // No archive of registrations left unmarked, and no word of success.
    EXPECT_FALSE(fs::exists(zipEsperado()));
    // The report written before the commit says now that the run failed.
    EXPECT_EQ(arquivosEm(parametros.Caminho),
              (std::vector<std::string>{
                  "FichasValmo_03112019_1405_01102019_31102019.relatorio.csv",
                  "FichasValmo_03112019_1405_01102019_31102019.relatorio.html", "arquivosXML"}));
    EXPECT_TRUE(teste::leArquivo(fs::path(parametros.Caminho) /
                                 "FichasValmo_03112019_1405_01102019_31102019.relatorio.html")
                    .find("A exportação falhou") != std::string::npos);
    EXPECT_TRUE(operador.mensagens().empty());
    EXPECT_EQ(operador.statusAtual(), "Compactando Arquivo...");
    // The run's transaction ended in a rollback (the commit trigger that records may have run
    // before the one that refused).
    ASSERT_FALSE(fins().empty());
    EXPECT_EQ(fins().back(), "ROLLBACK");
}

// Everything in a folder, hidden files too: what a stopped run may have left.
std::vector<std::string> tudoEm(const fs::path& pasta) {
    std::vector<std::string> nomes;
    for (const auto& e : fs::directory_iterator(pasta)) nomes.push_back(e.path().filename());
    std::sort(nomes.begin(), nomes.end());
    return nomes;
}

// The operator stops the run at a given point: it ends with ErroInterrompido, no archive whole
// or partial is left, and nothing is committed.
TEST_F(FimDaTransacaoTest, InterrompidaNaoConfirmaNemDeixaArquivo) {
    teste::insereEpisodio(banco, 2, "'15:00:00'");
    struct Caso {
        const char* descricao;
        // Sets the operator up to ask for the stop.
        std::function<void(OperadorIntruso&, Cancelamento&)> prepara;
        // Whether the run had begun its transaction, which then ends in a rollback.
        bool transacao;
    };
    const Caso casos[] = {
        {"antes da conexão", [](OperadorIntruso&, Cancelamento& c) { c.pede(); }, false},
        {"depois da primeira ficha",
         [](OperadorIntruso& o, Cancelamento& c) {
             o.aoProgredir = [&c](std::size_t feitos, std::size_t) {
                 if (feitos == 1) c.pede();
             };
         },
         true},
        {"ao compactar",
         [](OperadorIntruso& o, Cancelamento& c) {
             o.aoMudarStatus = [&c](const std::string& texto) {
                 if (texto == "Compactando Arquivo...") c.pede();
             };
         },
         true},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        Cancelamento cancelamento;
        OperadorIntruso intruso;
        c.prepara(intruso, cancelamento);
        const auto finsAntes = fins();

        try {
            exportaArquivos(parametros, ini, intruso, relogio, &cancelamento);
            ADD_FAILURE() << "a exportação não parou";
        } catch (const ErroInterrompido& e) {
            EXPECT_STREQ(e.what(), "Exportação interrompida pelo operador.");
        }

        EXPECT_EQ(tudoEm(parametros.Caminho), std::vector<std::string>{"arquivosXML"});
        auto esperado = finsAntes;
        if (c.transacao) esperado.push_back("ROLLBACK");
        EXPECT_EQ(fins(), esperado);
        EXPECT_TRUE(intruso.mensagens().empty());
    }
    // Not asked, the same run goes through.
    Cancelamento cancelamento;
    const ResultadoExportacao r =
        exportaArquivos(parametros, ini, operador, relogio, &cancelamento);
    EXPECT_TRUE(fs::is_regular_file(r.arquivoZip));
    EXPECT_EQ(fins().back(), "COMMIT");
}

// Asked while the server has not yet answered the connection, which no call can cancel: the
// front end's own step runs then, and the run ends as stopped once the attempt is over.
TEST_F(ExportacaoTest, InterrompidaDuranteAConexao) {
    teste::ServidorMudo mudo;
    ini.grava(kSecaoGeral, kChaveDatabase, mudo.banco());
    ini.grava(kSecaoGeral, kChaveTempoConexao, "2");
    Cancelamento cancelamento;
    std::atomic<bool> aoConectar = false;
    std::thread operadorQueDesiste([&] {
        if (mudo.esperaCliente(std::chrono::seconds(60)))
            cancelamento.pede([&] { aoConectar = true; });
    });

    EXPECT_THROW(exportaArquivos(parametros, ini, operador, relogio, &cancelamento),
                 ErroInterrompido);
    operadorQueDesiste.join();

    EXPECT_TRUE(aoConectar);
    EXPECT_EQ(tudoEm(parametros.Caminho), std::vector<std::string>{"arquivosXML"});
}

// A server that never answers: the run gives up after GERAL/TEMPOCONEXAO seconds, and says so.
TEST_F(ExportacaoTest, ServidorQueNaoRespondeDesisteNoTempoDoConfig) {
    teste::ServidorMudo mudo;
    ini.grava(kSecaoGeral, kChaveDatabase, mudo.banco());
    ini.grava(kSecaoGeral, kChaveTempoConexao, "1");
    try {
        exportaArquivos(parametros, ini, operador, relogio);
        ADD_FAILURE() << "conectou a um servidor que não responde";
    } catch (const ErroBanco& e) {
        EXPECT_NE(std::string(e.what()).find("o servidor não respondeu a tempo"), std::string::npos)
            << e.what();
    }
}

TEST_F(ExportacaoTest, TempoDeConexaoQueNaoESegundosERecusado) {
    for (const char* valor : {"0", "-1", "15s", "3601", "99999", "1.5"}) {
        SCOPED_TRACE(valor);
        ini.grava(kSecaoGeral, kChaveTempoConexao, valor);
        try {
            validaExecucao(parametros, ini);
            ADD_FAILURE() << "aceito";
        } catch (const ErroArquivo& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("TEMPOCONEXAO, na seção [GERAL], '") +
                                                 valor + "'"),
                      std::string::npos)
                << e.what();
        }
    }
    for (const char* valor : {"", "1", " 30 ", "3600"}) {
        ini.grava(kSecaoGeral, kChaveTempoConexao, valor);
        EXPECT_NO_THROW(validaExecucao(parametros, ini)) << valor;
    }
}

// The connection ends from the server's side in the middle of the records (an administrator
// ends it, the server stops): the operator reads that the connection was lost, with no record
// named, since no record is at fault; nothing is left of the archive.
TEST_F(ExportacaoTest, ConexaoPerdidaNoMeioDizQueFoiPerdidaSemNomearFicha) {
    teste::insereEpisodio(banco, 1, "'08:00:00'");
    teste::insereEpisodio(banco, 2, "'09:00:00'");
    parametros.Fichas = {TipoFicha::AtendimentoIndividual};
    OperadorIntruso intruso;
    intruso.aoProgredir = [&](std::size_t feitos, std::size_t) {
        if (feitos == 1)
            banco.executa(
                "DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND "
                "MON$SYSTEM_FLAG = 0");
    };

    try {
        exportaArquivos(parametros, ini, intruso, relogio);
        ADD_FAILURE() << "a exportação seguiu sem conexão";
    } catch (const ErroConexaoPerdida& e) {
        const std::string texto = e.what();
        EXPECT_EQ(texto.rfind("A conexão com o banco de dados foi perdida. Detalhe: ", 0), 0u)
            << texto;
        EXPECT_EQ(texto.find("FichaAtendimentoIndividual_"), std::string::npos) << texto;
    }
    EXPECT_FALSE(fs::exists(zipEsperado()));
}

// The connection lost while the commit is under way (here the server falls silent as the
// archive is packed): whether the registrations were marked is not known, so the archive in
// place stays, and the message says so; an archive whose registrations are not marked only
// sends them again, while one removed after a commit that went through loses them.
TEST_F(ExportacaoTest, ConexaoPerdidaNaConfirmacaoMantemOArquivo) {
    teste::insereEpisodio(banco, 1);
    banco.desconecta();
    const std::string servidor = SERVIDOR_PRIVADO_DE_TESTE;
    try {
        Conexao c;
        c.abre(servidor + ":" + banco.arquivo().string());
    } catch (const ErroBanco&) {
        GTEST_SKIP() << "o servidor de teste não responde em " << servidor;
    }
    teste::CaminhoQueEmudece caminho(std::stoi(servidor.substr(servidor.find('/') + 1)));
    ini.grava(kSecaoGeral, kChaveDatabase, caminho.banco(banco.arquivo()));
    ini.grava(kSecaoGeral, kChaveTempoConexao, "1");
    parametros.Fichas = {TipoFicha::AtendimentoIndividual};
    OperadorIntruso intruso;
    intruso.aoMudarStatus = [&](const std::string& texto) {
        if (texto == "Compactando Arquivo...") caminho.emudece();
    };

    try {
        exportaArquivos(parametros, ini, intruso, relogio);
        ADD_FAILURE() << "a exportação confirmou sem o servidor";
    } catch (const ErroSemResposta& e) {
        EXPECT_EQ(std::string(e.what()).rfind(
                      "Não se sabe se a exportação foi confirmada no banco de dados: a conexão "
                      "caiu durante a confirmação. O arquivo " +
                          zipEsperado().string() +
                          " foi mantido: Não foi possível confirmar o trabalho no banco de dados: "
                          "o servidor do banco de dados não respondeu em 4 s",
                      0),
                  0u)
            << e.what();
    }
    EXPECT_TRUE(fs::is_regular_file(zipEsperado()));
    EXPECT_TRUE(intruso.mensagens().empty());
}

}  // namespace
}  // namespace cds
