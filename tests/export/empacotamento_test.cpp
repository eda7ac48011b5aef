#include "export/empacotamento.hpp"

#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "comum/erro.hpp"
#include "record/buffer.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/disco_teste.hpp"
#include "suporte/operador_gravador.hpp"
#include "suporte/relogio_fixo.hpp"

namespace cds {
namespace {

using teste::escreveArquivo;
using teste::leArquivo;
using teste::PastaTemporaria;

namespace fs = std::filesystem;
using std::chrono::day;
using std::chrono::month;
using std::chrono::year;
using std::chrono::year_month_day;

const char kSucesso[] = "Arquivo de importação do esus gerado com sucesso!";

struct EntradaZip {
    std::string nome;
    std::string conteudo;
    int metodo = -1;
    ZPOS64_T comprimido = 0;
    // year, month (1-12), day, hour, minute, second as the header says them
    std::vector<unsigned> data;
};

// Reads an archive back entry by entry, with every CRC checked; nullopt when it is not one.
std::optional<std::vector<EntradaZip>> leZip(const fs::path& arquivo) {
    unzFile zip = unzOpen64(arquivo.c_str());
    if (zip == nullptr) return std::nullopt;
    std::vector<EntradaZip> entradas;
    unz_global_info64 global{};
    EXPECT_EQ(unzGetGlobalInfo64(zip, &global), UNZ_OK);
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        char nome[512] = {};
        EXPECT_EQ(unzGetCurrentFileInfo64(zip, &info, nome, sizeof nome, nullptr, 0, nullptr, 0),
                  UNZ_OK);
        EntradaZip e;
        e.nome = nome;
        e.metodo = static_cast<int>(info.compression_method);
        e.comprimido = info.compressed_size;
        e.data = {info.tmu_date.tm_year, info.tmu_date.tm_mon + 1, info.tmu_date.tm_mday,
                  info.tmu_date.tm_hour, info.tmu_date.tm_min,     info.tmu_date.tm_sec};
        EXPECT_EQ(unzOpenCurrentFile(zip), UNZ_OK);
        char bloco[4096];
        int lidos = 0;
        while ((lidos = unzReadCurrentFile(zip, bloco, sizeof bloco)) > 0)
            e.conteudo.append(bloco, static_cast<std::size_t>(lidos));
        EXPECT_EQ(lidos, 0) << e.nome;
        EXPECT_EQ(unzCloseCurrentFile(zip), UNZ_OK) << "CRC de " << e.nome;
        entradas.push_back(e);
    }
    EXPECT_EQ(global.number_entry, entradas.size());
    unzClose(zip);
    return entradas;
}

std::vector<std::string> nomes(const std::vector<EntradaZip>& entradas) {
    std::vector<std::string> lista;
    for (const EntradaZip& e : entradas) lista.push_back(e.nome);
    return lista;
}

// Every name in a folder, hidden ones too, sorted.
std::vector<std::string> conteudoDe(const fs::path& pasta) {
    std::vector<std::string> lista;
    for (const auto& e : fs::directory_iterator(pasta)) lista.push_back(e.path().filename());
    std::sort(lista.begin(), lista.end());
    return lista;
}

// Text that deflate can shrink by little (printable ASCII at random, about 6.6 bits a
// character), the same for every run of the test; valid UTF-8, as a record's text must be.
std::string bytesAleatorios(std::size_t tamanho, unsigned semente) {
    std::mt19937 gerador(semente);
    std::string bytes(tamanho, '\0');
    for (char& c : bytes) c = static_cast<char>(' ' + gerador() % 95);
    return bytes;
}

// What may stand at a listed path by packing time, instead of the file the run wrote.
struct ArquivoTrocado {
    const char* descricao;
    std::function<void(const fs::path&)> troca;
};

std::vector<ArquivoTrocado> arquivosTrocados() {
    return {
        {"apagado", [](const fs::path& p) { fs::remove(p); }},
        {"uma pasta no lugar",
         [](const fs::path& p) {
             fs::remove(p);
             fs::create_directory(p);
         }},
        {"um link quebrado",
         [](const fs::path& p) {
             fs::remove(p);
             fs::create_symlink(p.string() + ".sumiu", p);
         }},
    };
}

// Whether the zip tool's own test passes on the archive: every entry read and its CRC checked.
::testing::AssertionResult unzipAprova(const fs::path& arquivo) {
    if (teste::executaComando("command -v unzip >/dev/null") != 0)
        return ::testing::AssertionFailure()
               << "falta o programa unzip (instalado por scripts/instala-dependencias.sh)";
    std::string saida;
    const int status = teste::executaComando("unzip -tqq '" + arquivo.string() + "'", &saida);
    if (status == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "unzip -t " << arquivo << " saiu com " << status << ":\n"
           << saida.substr(0, 2000);
}

// The archives (non-hidden *.zip) in a folder, sorted.
std::vector<std::string> arquivosZip(const fs::path& pasta) {
    std::vector<std::string> lista;
    for (const std::string& nome : conteudoDe(pasta))
        if (!nome.starts_with(".") && nome.ends_with(".zip")) lista.push_back(nome);
    return lista;
}

class ZipaXml : public ::testing::Test {
  protected:
    ZipaXml() {
        parametros.Caminho = pasta.caminho().string();
        parametros.DataInicial = year_month_day{year{2019}, month{10}, day{1}};
        parametros.DataFinal = year_month_day{year{2019}, month{10}, day{31}};
        fs::create_directory(pasta / "arquivosXML");
    }

    // A record file as a generator leaves it, in the output subfolder.
    std::string ficha(const std::string& nome, const std::string& conteudo) {
        const fs::path arquivo = pasta / "arquivosXML" / nome;
        escreveArquivo(arquivo, conteudo);
        return arquivo.string();
    }

    std::string arquivoEsperado(const std::string& nome) const {
        return parametros.Caminho + "/" + nome;
    }

    PastaTemporaria pasta;
    ParametrosExportacao parametros;
    OperadorGravador operador;
    // 14:05 on 3 November 2019.
    RelogioFixo relogio{DataHora{2019, 11, 3, 14, 5, 37}};
};

// Sets the process's local time zone for the life of the object.
class FusoHorario {
  public:
    explicit FusoHorario(const char* tz) {
        if (const char* atual = std::getenv("TZ")) anterior = atual;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~FusoHorario() {
        if (anterior) {
            ::setenv("TZ", anterior->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

  private:
    std::optional<std::string> anterior;
};

// An instant given in UTC, as a file time.
fs::file_time_type emUtc(int ano, int mes, int dia, int hora, int minuto, int segundo) {
    using namespace std::chrono;
    const sys_seconds instante =
        sys_days{year{ano} / mes / dia} + hours{hora} + minutes{minuto} + seconds{segundo};
    return file_clock::from_sys(instante);
}

TEST_F(ZipaXml, EmpacotaAsFichasNaOrdemDaListaComNomeSimplesDeflateEDataLocal) {
    // Three hours west of UTC, no summer time: a date taken in UTC would be off by three hours.
    FusoHorario brasilia("BRT3");
    const std::string longo = [] {
        std::string texto = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
        for (int i = 0; i < 200; ++i) texto += "<ns3:dadoTransporteTransportXml>\r\n";
        return texto;
    }();
    const std::vector<std::string> ListaArquivos = {
        ficha("FichaCadastroIndividual_10.esus.xml", longo),
        ficha("FichaAtendimentoIndividual_3.esus.xml", "<a>São José</a>\r\n"),
        ficha("FichaAtivColetiva_1.esus.xml", ""),
    };
    fs::last_write_time(ListaArquivos[0], emUtc(2019, 10, 15, 11, 30, 42));
    fs::last_write_time(ListaArquivos[1], emUtc(2019, 11, 1, 2, 0, 0));
    fs::last_write_time(ListaArquivos[2], emUtc(2019, 11, 3, 17, 4, 58));

    const std::string arquivo = zipaXML(parametros, ListaArquivos, operador, relogio);

    EXPECT_EQ(arquivo, arquivoEsperado("FichasValmo_03112019_1405_01102019_31102019.zip"));
    // The citizens' records: the operator's alone, who hands the archive on.
    EXPECT_EQ(fs::status(arquivo).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    const auto entradas = leZip(arquivo);
    ASSERT_TRUE(entradas.has_value());
    ASSERT_EQ(nomes(*entradas), (std::vector<std::string>{"FichaCadastroIndividual_10.esus.xml",
                                                          "FichaAtendimentoIndividual_3.esus.xml",
                                                          "FichaAtivColetiva_1.esus.xml"}));
    EXPECT_EQ((*entradas)[0].conteudo, longo);
    EXPECT_EQ((*entradas)[1].conteudo, "<a>São José</a>\r\n");
    EXPECT_EQ((*entradas)[2].conteudo, "");
    for (const EntradaZip& e : *entradas) EXPECT_EQ(e.metodo, Z_DEFLATED) << e.nome;
    EXPECT_LT((*entradas)[0].comprimido, longo.size() / 10);
    EXPECT_EQ((*entradas)[0].data, (std::vector<unsigned>{2019, 10, 15, 8, 30, 42}));
    EXPECT_EQ((*entradas)[1].data, (std::vector<unsigned>{2019, 10, 31, 23, 0, 0}));
    EXPECT_EQ((*entradas)[2].data, (std::vector<unsigned>{2019, 11, 3, 14, 4, 58}));

    // The success is the run's to tell, once it has committed.
    EXPECT_EQ(operador.chamadas, (std::vector<ChamadaOperador>{
                                     ChamadaOperador::status("Compactando Arquivo..."),
                                 }));
}

TEST_F(ZipaXml, AvisoDeSucessoDizConcluidoMostraACaixaELimpaOStatus) {
    avisaArquivoGerado(operador);
    EXPECT_EQ(operador.chamadas,
              (std::vector<ChamadaOperador>{
                  ChamadaOperador::status("Concluído!"),
                  ChamadaOperador::mensagem(kSucesso, "Informação!", TipoMensagem::Informacao),
                  ChamadaOperador::status(""),
              }));
}

TEST_F(ZipaXml, NomeDoArquivoTrazOMomentoEOPeriodo) {
    struct Caso {
        DataHora agora;
        year_month_day inicial, final;
        std::string sufixoCaminho;
        std::string nome;
    };
    const Caso casos[] = {
        {{2019, 11, 3, 14, 5, 37},
         {year{2019}, month{10}, day{1}},
         {year{2019}, month{10}, day{31}},
         "",
         "FichasValmo_03112019_1405_01102019_31102019.zip"},
        {{2020, 1, 9, 0, 0, 59},
         {year{2019}, month{12}, day{1}},
         {year{2019}, month{12}, day{31}},
         "",
         "FichasValmo_09012020_0000_01122019_31122019.zip"},
        // A start after the end is not refused.
        {{2021, 12, 31, 23, 59, 0},
         {year{2021}, month{12}, day{15}},
         {year{2021}, month{12}, day{1}},
         "",
         "FichasValmo_31122021_2359_15122021_01122021.zip"},
        // A Caminho typed with a trailing separator doubles it, and the archive still goes there.
        {{2019, 2, 28, 9, 7, 0},
         {year{2019}, month{1}, day{1}},
         {year{2019}, month{1}, day{31}},
         "/",
         "FichasValmo_28022019_0907_01012019_31012019.zip"},
    };
    for (const Caso& c : casos) {
        PastaTemporaria saida;
        ParametrosExportacao p = parametros;
        p.Caminho = saida.caminho().string() + c.sufixoCaminho;
        p.DataInicial = c.inicial;
        p.DataFinal = c.final;
        const std::string arquivo = zipaXML(p, {}, operador, RelogioFixo(c.agora));
        EXPECT_EQ(arquivo, p.Caminho + "/" + c.nome);
        EXPECT_TRUE(fs::is_regular_file(saida / c.nome)) << c.nome;
    }
}

TEST_F(ZipaXml, ListaVaziaDaUmArquivoValidoSemEntradas) {
    const std::string arquivo = zipaXML(parametros, {}, operador, relogio);

    // An archive with no entries is its end-of-directory record alone: signature, zero
    // entries, zero-sized directory at offset zero, no comment. (minizip's own reader refuses
    // it, since it takes a directory end found at offset zero for one not found at all.)
    EXPECT_EQ(leArquivo(arquivo), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    EXPECT_TRUE(operador.mensagens().empty());
}

TEST_F(ZipaXml, ArquivoDaListaQueNaoPodeSerLidoFalhaSemDeixarArquivo) {
    for (const ArquivoTrocado& c : arquivosTrocados()) {
        SCOPED_TRACE(c.descricao);
        PastaTemporaria saida;
        fs::create_directory(saida / "arquivosXML");
        ParametrosExportacao p = parametros;
        p.Caminho = saida.caminho().string();
        std::vector<std::string> ListaArquivos;
        for (int i = 1; i <= 3; ++i) {
            const fs::path arquivo =
                saida / "arquivosXML" / ("FichaProcedimento_" + std::to_string(i) + ".esus.xml");
            escreveArquivo(arquivo, std::to_string(i));
            ListaArquivos.push_back(arquivo.string());
        }
        c.troca(ListaArquivos[1]);
        OperadorGravador operador;

        try {
            (void)zipaXML(p, ListaArquivos, operador, relogio);
            ADD_FAILURE() << "empacotou sem o arquivo";
        } catch (const ErroArquivo& e) {
            // The file it stopped at; the operator reads it from the run's caller.
            EXPECT_NE(std::string(e.what()).find(ListaArquivos[1]), std::string::npos) << e.what();
        }

        // No archive, whole or partial, is left behind, and no box of its own.
        EXPECT_EQ(conteudoDe(saida.caminho()), std::vector<std::string>{"arquivosXML"});
        EXPECT_TRUE(operador.mensagens().empty());
        EXPECT_EQ(operador.statusAtual(), "Compactando Arquivo...");
    }
}

TEST_F(ZipaXml, CaminhoRepetidoNaListaEEmpacotadoUmaVezNoPrimeiroLugar) {
    const std::string a = ficha("FichaAtendimentoIndividual_7.esus.xml", "segunda gravação");
    const std::string b = ficha("FichaAtendimentoIndividual_8.esus.xml", "b");

    const std::string arquivo = zipaXML(parametros, {a, b, a, b, a}, operador, relogio);

    const auto entradas = leZip(arquivo);
    ASSERT_TRUE(entradas.has_value());
    EXPECT_EQ(nomes(*entradas),
              (std::vector<std::string>{"FichaAtendimentoIndividual_7.esus.xml",
                                        "FichaAtendimentoIndividual_8.esus.xml"}));
    EXPECT_EQ((*entradas)[0].conteudo, "segunda gravação");
}

TEST_F(ZipaXml, ArquivoDeMesmoNomeNuncaESubstituido) {
    const std::string base = "FichasValmo_03112019_1405_01102019_31102019";
    const std::string visita = ficha("FichaVisitaDomiciliar_1.esus.xml", "visita");
    const std::string primeiro = zipaXML(parametros, {visita}, operador, relogio);
    EXPECT_EQ(primeiro, arquivoEsperado(base + ".zip"));
    const std::string bytesDoPrimeiro = leArquivo(primeiro);
    // Something of the operator's, no archive, under the name the third would take.
    escreveArquivo(pasta / (base + "_3.zip"), "do operador");

    // Runs later in the same minute, for the same period, of other kinds.
    const std::string coletiva = ficha("FichaAtivColetiva_1.esus.xml", "coletiva");
    const std::string segundo = zipaXML(parametros, {coletiva}, operador, relogio);
    const std::string vacina = ficha("FichaVacinacao_1.esus.xml", "vacina");
    const std::string terceiro = zipaXML(parametros, {vacina}, operador, relogio);

    EXPECT_EQ(segundo, arquivoEsperado(base + "_2.zip"));
    EXPECT_EQ(terceiro, arquivoEsperado(base + "_4.zip"));
    EXPECT_EQ(leArquivo(primeiro), bytesDoPrimeiro);
    EXPECT_EQ(leArquivo(pasta / (base + "_3.zip")), "do operador");
    const auto entradas2 = leZip(segundo);
    const auto entradas4 = leZip(terceiro);
    ASSERT_TRUE(entradas2.has_value());
    ASSERT_TRUE(entradas4.has_value());
    EXPECT_EQ(nomes(*entradas2), std::vector<std::string>{"FichaAtivColetiva_1.esus.xml"});
    EXPECT_EQ(nomes(*entradas4), std::vector<std::string>{"FichaVacinacao_1.esus.xml"});
    EXPECT_EQ(conteudoDe(pasta.caminho()),
              (std::vector<std::string>{base + ".zip", base + "_2.zip", base + "_3.zip",
                                        base + "_4.zip", "arquivosXML"}));
}

TEST_F(ZipaXml, PastaDeSaidaInexistenteLevantaErroDeArquivo) {
    const std::string registro = ficha("FichaVacinacao_1.esus.xml", "v");
    parametros.Caminho = (pasta / "nao-existe").string();
    const std::string arquivo =
        parametros.Caminho + "/FichasValmo_03112019_1405_01102019_31102019.zip";

    try {
        (void)zipaXML(parametros, {registro}, operador, relogio);
        ADD_FAILURE() << "empacotou numa pasta que não existe";
    } catch (const ErroArquivo& e) {
        // The archive it could not create, and why, in the operator's words and the system's.
        EXPECT_EQ(std::string(e.what()), "Não foi possível criar o arquivo " + arquivo +
                                             ": o arquivo ou a pasta não existe. Detalhe: " +
                                             std::generic_category().message(ENOENT) + ".");
    }

    EXPECT_FALSE(fs::exists(arquivo));
    // The status keeps its text, and no box is the packaging's own.
    EXPECT_EQ(operador.chamadas,
              (std::vector<ChamadaOperador>{ChamadaOperador::status("Compactando Arquivo...")}));
    // The record files stay.
    EXPECT_TRUE(fs::exists(registro));
}

}  // namespace
}  // namespace cds

namespace cds {
namespace {

// The output folder on a disk too small for the archive: the packing fails, nothing is left
// under an archive's name, and the archive of an earlier run in the same minute stays whole.
TEST_F(ZipaXml, DiscoCheioNaoDeixaArquivoQuebradoNemTocaNoAnterior) {
    teste::DiscoPequeno disco(1024 * 1024);
    if (!disco.montado()) GTEST_SKIP() << disco.motivo();
    parametros.Caminho = disco.caminho().string();
    fs::create_directory(disco / "arquivosXML");
    const fs::path primeira = disco / "arquivosXML" / "FichaVisitaDomiciliar_1.esus.xml";
    escreveArquivo(primeira, "<visita/>");
    const std::string anterior = zipaXML(parametros, {primeira.string()}, operador, relogio);
    const std::string bytesDoAnterior = leArquivo(anterior);

    std::vector<std::string> ListaArquivos;
    for (unsigned i = 1; i <= 3; ++i) {
        const fs::path arquivo = disco / "arquivosXML" /
                                 ("FichaAtendimentoIndividual_" + std::to_string(i) + ".esus.xml");
        escreveArquivo(arquivo, bytesAleatorios(100 * 1024, i));
        ListaArquivos.push_back(arquivo.string());
    }
    disco.enche(150 * 1024);
    OperadorGravador operador;

    try {
        (void)zipaXML(parametros, ListaArquivos, operador, relogio);
        ADD_FAILURE() << "empacotou num disco cheio";
    } catch (const ErroArquivo& e) {
        EXPECT_NE(std::string(e.what()).find(": o disco está cheio. Detalhe: " +
                                             std::generic_category().message(ENOSPC)),
                  std::string::npos)
            << e.what();
    }

    EXPECT_TRUE(operador.mensagens().empty());
    EXPECT_EQ(leArquivo(anterior), bytesDoAnterior);
    EXPECT_TRUE(unzipAprova(anterior));
    // Nothing else: no archive of this run, whole or not, and no file of its own.
    EXPECT_EQ(
        conteudoDe(disco.caminho()),
        (std::vector<std::string>{".enchimento", fs::path(anterior).filename(), "arquivosXML"}));
}

// A run killed half-way through its packing, here by the kernel when the archive passes the
// size the process may write (a real process, stopped at a chosen byte): what it leaves is no
// archive under an archive's name, and the archive of an earlier run stays whole.
TEST_F(ZipaXml, MortoNoMeioDaCompactacaoNaoDeixaArquivoQuebrado) {
    const std::string primeira = ficha("FichaVisitaDomiciliar_1.esus.xml", "<visita/>");
    const std::string anterior = zipaXML(parametros, {primeira}, operador, relogio);
    const std::string bytesDoAnterior = leArquivo(anterior);
    std::vector<std::string> ListaArquivos;
    for (unsigned i = 1; i <= 4; ++i)
        ListaArquivos.push_back(
            ficha("FichaAtendimentoIndividual_" + std::to_string(i) + ".esus.xml",
                  bytesAleatorios(64 * 1024, i)));
    constexpr rlim_t kLimite = 100 * 1024;

    const pid_t filho = ::fork();
    ASSERT_GE(filho, 0);
    if (filho == 0) {
        const rlimit semCore{0, 0};
        const rlimit limite{kLimite, kLimite};
        ::setrlimit(RLIMIT_CORE, &semCore);
        ::setrlimit(RLIMIT_FSIZE, &limite);
        OperadorGravador operadorDoFilho;
        // Ends with the packing: a file error the run would raise, or the kernel's signal.
        try {
            (void)zipaXML(parametros, ListaArquivos, operadorDoFilho, relogio);
            ::_exit(0);
        } catch (const ErroArquivo&) {
            ::_exit(1);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(filho, &status, 0), filho);
    ASSERT_TRUE(WIFSIGNALED(status)) << "o filho terminou sozinho, com " << WEXITSTATUS(status);
    ASSERT_EQ(WTERMSIG(status), SIGXFSZ);

    EXPECT_EQ(arquivosZip(pasta.caminho()),
              std::vector<std::string>{fs::path(anterior).filename()});
    EXPECT_EQ(leArquivo(anterior), bytesDoAnterior);
    EXPECT_TRUE(unzipAprova(anterior));
    // The next run takes its own name, the leftover of the killed one notwithstanding.
    const std::string seguinte = zipaXML(parametros, ListaArquivos, operador, relogio);
    EXPECT_EQ(seguinte, arquivoEsperado("FichasValmo_03112019_1405_01102019_31102019_2.zip"));
    EXPECT_TRUE(unzipAprova(seguinte));
}

// A month of many episodes: more entries than the classic end record can count.
TEST_F(ZipaXml, MaisDe65535ArquivosFazemUmZip64QueAsFerramentasLeem) {
    constexpr std::size_t kArquivos = 70000;
    std::vector<std::string> ListaArquivos;
    ListaArquivos.reserve(kArquivos);
    for (std::size_t i = 1; i <= kArquivos; ++i)
        ListaArquivos.push_back(
            ficha("FichaAtendimentoIndividual_" + std::to_string(i) + ".esus.xml",
                  "<n>" + std::to_string(i) + "</n>"));

    const std::string arquivo = zipaXML(parametros, ListaArquivos, operador, relogio);

    EXPECT_TRUE(unzipAprova(arquivo));
    // Python's zipfile: the count, every CRC, and the names in order.
    std::string saida;
    const int status = teste::executaComando(
        "python3 -c 'import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "nomes = z.namelist()\n"
        "print(len(nomes), z.testzip(), nomes[0], nomes[-1])' '" +
            arquivo + "'",
        &saida);
    EXPECT_EQ(status, 0) << saida;
    EXPECT_EQ(saida,
              "70000 None FichaAtendimentoIndividual_1.esus.xml "
              "FichaAtendimentoIndividual_70000.esus.xml\n");
    // Read back here too, entry by entry.
    const auto entradas = leZip(arquivo);
    ASSERT_TRUE(entradas.has_value());
    ASSERT_EQ(entradas->size(), kArquivos);
    for (std::size_t i = 0; i < kArquivos; ++i) {
        const std::string numero = std::to_string(i + 1);
        ASSERT_EQ((*entradas)[i].nome, "FichaAtendimentoIndividual_" + numero + ".esus.xml");
        ASSERT_EQ((*entradas)[i].conteudo, "<n>" + numero + "</n>");
    }
}

}  // namespace
}  // namespace cds

namespace cds {
namespace {

// The packing done while a run writes its files. Each case saves files as the driver does
// (written whole, listed, handed over), lets the packing finish, and packs the same list again
// from the disk with zipaXML: the two archives are one and the same, byte for byte.
class EmpacotamentoTest : public ZipaXml {
  protected:
    struct Gravacao {
        std::string nome;
        std::string linha;
    };

    // A save as the driver makes it; returns the path.
    static std::string salva(Empacotamento& empacotamento, std::vector<ArquivoGerado>& lista,
                             const fs::path& pastaXml, const Gravacao& g) {
        RegistroBuffer buffer;
        buffer.adiciona(g.linha);
        const std::string caminho = (pastaXml / g.nome).string();
        const std::optional<EstadoArquivo> estado = buffer.salva(caminho);
        lista.push_back({caminho, TipoFicha::AtendimentoIndividual});
        empacotamento.adiciona(caminho, buffer.texto(), estado);
        return caminho;
    }

    static std::vector<std::string> caminhos(const std::vector<ArquivoGerado>& lista) {
        std::vector<std::string> c;
        for (const ArquivoGerado& a : lista) c.push_back(a.caminho);
        return c;
    }

    // The size of the largest hidden file of a folder: an archive being written.
    static std::uintmax_t maiorOculto(const fs::path& pasta) {
        std::uintmax_t maior = 0;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(pasta, ec)) {
            if (!e.path().filename().string().starts_with(".")) continue;
            const std::uintmax_t tamanho = fs::file_size(e.path(), ec);
            if (!ec) maior = std::max(maior, tamanho);
        }
        return maior;
    }
};

TEST_F(EmpacotamentoTest, MesmosBytesQueOEmpacotamentoEmSequencia) {
    const std::string grande = bytesAleatorios(200 * 1024, 7);
    struct Caso {
        const char* descricao;
        std::vector<Gravacao> gravacoes;
        std::vector<std::string> nomes;
        // The entry whose content is checked, and that content as the file ends with CRLF.
        std::size_t conferida;
        std::string conteudo;
    };
    const Caso casos[] = {
        {"três fichas",
         {{"FichaCadastroIndividual_1.esus.xml", "<a/>"},
          {"FichaAtendimentoIndividual_2.esus.xml", "<b>São José</b>"},
          {"FichaVacinacao_3.esus.xml", "<c/>"}},
         {"FichaCadastroIndividual_1.esus.xml", "FichaAtendimentoIndividual_2.esus.xml",
          "FichaVacinacao_3.esus.xml"},
         1,
         "<b>São José</b>\r\n"},
        {"regravada logo em seguida, como nas linhas seguintes de um registro",
         {{"FichaAtendimentoIndividual_1.esus.xml", "<primeira/>"},
          {"FichaAtendimentoIndividual_1.esus.xml", "<segunda/>"},
          {"FichaAtendimentoIndividual_2.esus.xml", "<b/>"}},
         {"FichaAtendimentoIndividual_1.esus.xml", "FichaAtendimentoIndividual_2.esus.xml"},
         0,
         "<segunda/>\r\n"},
        {"maior que um bloco de leitura",
         {{"FichaVisitaDomiciliar_1.esus.xml", grande}, {"FichaVisitaDomiciliar_2.esus.xml", ""}},
         {"FichaVisitaDomiciliar_1.esus.xml", "FichaVisitaDomiciliar_2.esus.xml"},
         0,
         grande + "\r\n"},
        {"nenhuma ficha", {}, {}, 0, ""},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        PastaTemporaria saida;
        const fs::path pastaXml = saida / "arquivosXML";
        fs::create_directory(pastaXml);
        ParametrosExportacao p = parametros;
        p.Caminho = saida.caminho().string();
        std::vector<ArquivoGerado> lista;
        std::string simultaneo;
        {
            Empacotamento empacotamento(p, relogio);
            for (const Gravacao& g : c.gravacoes) salva(empacotamento, lista, pastaXml, g);
            simultaneo = empacotamento.conclui(relogio);
        }
        EXPECT_EQ(simultaneo, p.Caminho + "/FichasValmo_03112019_1405_01102019_31102019.zip");
        const std::string sequencial = zipaXML(p, caminhos(lista), operador, relogio);
        EXPECT_TRUE(leArquivo(simultaneo) == leArquivo(sequencial));
        // Nothing else is left in the folder: no hidden archive.
        EXPECT_EQ(conteudoDe(saida.caminho()),
                  (std::vector<std::string>{fs::path(simultaneo).filename(),
                                            fs::path(sequencial).filename(), "arquivosXML"}));
        if (c.nomes.empty()) continue;
        const auto entradas = leZip(simultaneo);
        ASSERT_TRUE(entradas.has_value());
        EXPECT_EQ(nomes(*entradas), c.nomes);
        EXPECT_TRUE((*entradas)[c.conferida].conteudo == c.conteudo);
    }
}

// The archive is written while the files come, not after the last one: before the packing is
// told that the run is over, a hidden archive in the output folder already holds much of a
// file that deflate cannot shrink. (The latest file waits for the next, which may be the same
// record's file saved again.)
TEST_F(EmpacotamentoTest, ArquivoCresceEnquantoAsFichasSaoGravadas) {
    constexpr std::uintmax_t kTamanho = 300 * 1024;
    std::vector<ArquivoGerado> lista;
    Empacotamento empacotamento(parametros, relogio);
    salva(empacotamento, lista, pasta / "arquivosXML",
          {"FichaCadastroDomiciliar_1.esus.xml", bytesAleatorios(kTamanho, 3)});
    salva(empacotamento, lista, pasta / "arquivosXML",
          {"FichaCadastroDomiciliar_2.esus.xml", "<d/>"});

    // A generous bound: the thread only has to get its turn on a loaded machine.
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (maiorOculto(pasta.caminho()) < kTamanho / 2 && std::chrono::steady_clock::now() < limite)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(maiorOculto(pasta.caminho()), kTamanho / 2);

    const std::string resultado = empacotamento.conclui(relogio);
    const auto entradas = leZip(resultado);
    ASSERT_TRUE(entradas.has_value());
    EXPECT_EQ(nomes(*entradas), (std::vector<std::string>{"FichaCadastroDomiciliar_1.esus.xml",
                                                          "FichaCadastroDomiciliar_2.esus.xml"}));
}

// The files are not read back at the end: what goes into the archive is the text handed over
// with each save (here, unlike any real save, not what the disk holds, so the two can be told
// apart), and a path handed again right after itself is one entry with its last text.
TEST_F(EmpacotamentoTest, TextoEntregueVaiSemReleituraDoDisco) {
    struct Salvamento {
        std::string nome;
        std::string noDisco;
        std::string entregue;
    };
    struct Caso {
        const char* descricao;
        std::vector<Salvamento> salvamentos;
        std::vector<std::pair<std::string, std::string>> entradas;
    };
    const Caso casos[] = {
        {"uma ficha",
         {{"FichaVacinacao_1.esus.xml", "<no disco/>", "<entregue/>"}},
         {{"FichaVacinacao_1.esus.xml", "<entregue/>"}}},
        {"regravada logo em seguida, e a seguinte também",
         {{"FichaVacinacao_1.esus.xml", "<disco 1a/>", "<dado 1a/>"},
          {"FichaVacinacao_1.esus.xml", "<disco 1b/>", "<dado 1b/>"},
          {"FichaVacinacao_2.esus.xml", "<disco 2a/>", "<dado 2a/>"},
          {"FichaVacinacao_2.esus.xml", "<disco 2b/>", "<dado 2b/>"}},
         {{"FichaVacinacao_1.esus.xml", "<dado 1b/>"},
          {"FichaVacinacao_2.esus.xml", "<dado 2b/>"}}},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        PastaTemporaria saida;
        fs::create_directory(saida / "arquivosXML");
        ParametrosExportacao p = parametros;
        p.Caminho = saida.caminho().string();
        std::string resultado;
        {
            Empacotamento empacotamento(p, relogio);
            for (const Salvamento& s : c.salvamentos) {
                const fs::path arquivo = saida / "arquivosXML" / s.nome;
                escreveArquivo(arquivo, s.noDisco);
                empacotamento.adiciona(arquivo.string(), s.entregue, estadoArquivo(arquivo));
            }
            resultado = empacotamento.conclui(relogio);
        }
        const auto entradas = leZip(resultado);
        ASSERT_TRUE(entradas.has_value());
        std::vector<std::pair<std::string, std::string>> lidas;
        for (const EntradaZip& e : *entradas) lidas.emplace_back(e.nome, e.conteudo);
        EXPECT_EQ(lidas, c.entradas);
        EXPECT_TRUE(unzipAprova(resultado));
        EXPECT_EQ(conteudoDe(saida.caminho()),
                  (std::vector<std::string>{fs::path(resultado).filename(), "arquivosXML"}));
    }
}

// A path handed again after other files would leave its first text in the archive: the
// packing fails, whenever in the run it comes, and leaves no archive.
TEST_F(EmpacotamentoTest, CaminhoRegravadoDepoisDeOutrosFalhaSemDeixarArquivo) {
    const std::vector<std::vector<std::string>> sequencias = {
        {"FichaProcedimento_1.esus.xml", "FichaProcedimento_2.esus.xml",
         "FichaProcedimento_1.esus.xml"},
        {"FichaProcedimento_1.esus.xml", "FichaProcedimento_2.esus.xml",
         "FichaProcedimento_3.esus.xml", "FichaProcedimento_2.esus.xml",
         "FichaProcedimento_4.esus.xml"},
    };
    for (const auto& sequencia : sequencias) {
        SCOPED_TRACE(sequencia.size());
        PastaTemporaria saida;
        fs::create_directory(saida / "arquivosXML");
        ParametrosExportacao p = parametros;
        p.Caminho = saida.caminho().string();
        std::vector<ArquivoGerado> lista;
        try {
            Empacotamento empacotamento(p, relogio);
            for (const std::string& nome : sequencia)
                salva(empacotamento, lista, saida / "arquivosXML", {nome, "<" + nome + "/>"});
            (void)empacotamento.conclui(relogio);
            ADD_FAILURE() << "empacotou a gravação anterior";
        } catch (const ErroArquivo& e) {
            EXPECT_NE(std::string(e.what()).find("gravado de novo depois de outros"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_EQ(conteudoDe(saida.caminho()), std::vector<std::string>{"arquivosXML"});
    }
}

// A disk that fills while the run writes: the hidden archive cannot take the entries, goes,
// and the packing at the end fails as the packing in sequence does, leaving nothing behind
// and the archive of an earlier run whole.
TEST_F(EmpacotamentoTest, DiscoCheioDuranteAExecucaoNaoDeixaNada) {
    teste::DiscoPequeno disco(1024 * 1024);
    if (!disco.montado()) GTEST_SKIP() << disco.motivo();
    parametros.Caminho = disco.caminho().string();
    const fs::path pastaXml = disco / "arquivosXML";
    fs::create_directory(pastaXml);
    escreveArquivo(pastaXml / "FichaVisitaDomiciliar_1.esus.xml", "<visita/>");
    const std::string anterior = zipaXML(
        parametros, {(pastaXml / "FichaVisitaDomiciliar_1.esus.xml").string()}, operador, relogio);
    const std::string bytesDoAnterior = leArquivo(anterior);
    fs::remove(pastaXml / "FichaVisitaDomiciliar_1.esus.xml");
    // Room for the record files, not for them and their archive too.
    disco.enche(200 * 1024);

    std::vector<ArquivoGerado> lista;
    // Which fills the disk first, a record or the archive being deflated beside it, depends on
    // how far the packing thread has got: a record that cannot be saved ends the run with its
    // error, an archive that cannot take an entry fails the packing. Either way nothing of the
    // run's archive is left, and the earlier archive stays as it was.
    {
        Empacotamento empacotamento(parametros, relogio);
        try {
            for (unsigned i = 1; i <= 4; ++i)
                salva(empacotamento, lista, pastaXml,
                      {"FichaAtendimentoIndividual_" + std::to_string(i) + ".esus.xml",
                       bytesAleatorios(40 * 1024, i)});
            (void)empacotamento.conclui(relogio);
            ADD_FAILURE() << "empacotou num disco cheio";
        } catch (const ErroArquivo& e) {
            // The record or the archive, whichever met it, and the full disk.
            const std::string texto = e.what();
            EXPECT_TRUE(texto.find("FichaAtendimentoIndividual_") != std::string::npos ||
                        texto.find("FichasValmo_") != std::string::npos)
                << texto;
            EXPECT_NE(texto.find("o disco está cheio"), std::string::npos) << texto;
        }
    }

    EXPECT_EQ(leArquivo(anterior), bytesDoAnterior);
    EXPECT_EQ(
        conteudoDe(disco.caminho()),
        (std::vector<std::string>{".enchimento", fs::path(anterior).filename(), "arquivosXML"}));
}

// A run that ends in an error never reaches the packing's end: what was packed so far goes.
TEST_F(EmpacotamentoTest, ExecucaoInterrompidaNaoDeixaArquivoOculto) {
    {
        std::vector<ArquivoGerado> lista;
        Empacotamento empacotamento(parametros, relogio);
        for (unsigned i = 1; i <= 20; ++i)
            salva(empacotamento, lista, pasta / "arquivosXML",
                  {"FichaVacinacao_" + std::to_string(i) + ".esus.xml",
                   bytesAleatorios(16 * 1024, i)});
    }
    EXPECT_EQ(conteudoDe(pasta.caminho()), std::vector<std::string>{"arquivosXML"});
    EXPECT_TRUE(operador.chamadas.empty());
}

// The archive is named at the moment of packing, not when the run began, and takes the next
// free name rather than replace what is there.
TEST_F(EmpacotamentoTest, NomeDoMomentoDaCompactacaoSemSubstituirNada) {
    const std::string ocupado = arquivoEsperado("FichasValmo_03112019_1407_01102019_31102019.zip");
    escreveArquivo(ocupado, "do operador");
    std::vector<ArquivoGerado> lista;
    Empacotamento empacotamento(parametros, relogio);
    salva(empacotamento, lista, pasta / "arquivosXML", {"FichaVacinacao_1.esus.xml", "<v/>"});
    relogio.momento.minuto = 7;

    const std::string resultado = empacotamento.conclui(relogio);
    EXPECT_EQ(resultado, arquivoEsperado("FichasValmo_03112019_1407_01102019_31102019_2.zip"));
    EXPECT_EQ(leArquivo(ocupado), "do operador");
    EXPECT_EQ(conteudoDe(pasta.caminho()),
              (std::vector<std::string>{"FichasValmo_03112019_1407_01102019_31102019.zip",
                                        "FichasValmo_03112019_1407_01102019_31102019_2.zip",
                                        "arquivosXML"}));
}

// An output folder missing from the start: the run fails before its first record, told as
// zipaXML tells it.
TEST_F(EmpacotamentoTest, PastaDeSaidaInexistenteFalhaAntesDaPrimeiraFicha) {
    const std::string registro = ficha("FichaVacinacao_1.esus.xml", "v");
    parametros.Caminho = (pasta / "nao-existe").string();
    const auto mensagemDe = [](const std::function<void()>& empacota) {
        try {
            empacota();
        } catch (const ErroArquivo& e) {
            return std::string(e.what());
        }
        ADD_FAILURE() << "empacotou numa pasta que não existe";
        return std::string();
    };
    const std::string esperado =
        mensagemDe([&] { (void)zipaXML(parametros, {registro}, operador, relogio); });
    const std::string obtido =
        mensagemDe([&] { Empacotamento empacotamento(parametros, relogio); });

    EXPECT_EQ(esperado, "Não foi possível criar o arquivo " + parametros.Caminho +
                            "/FichasValmo_03112019_1405_01102019_31102019.zip: o arquivo ou a "
                            "pasta não existe. Detalhe: " +
                            std::generic_category().message(ENOENT) + ".");
    EXPECT_EQ(obtido, esperado);
}

// Past 65,535 entries, written while the files come: the Zip64 end records, byte for byte as
// zipaXML writes them from the disk, and read by the zip tool.
TEST_F(EmpacotamentoTest, MaisDe65535ArquivosIguaisAoEmpacotamentoEmSequencia) {
    constexpr std::size_t kArquivos = 65600;
    const fs::path pastaXml = pasta / "arquivosXML";
    std::vector<ArquivoGerado> lista;
    lista.reserve(kArquivos);
    std::string simultaneo;
    {
        Empacotamento empacotamento(parametros, relogio);
        for (std::size_t i = 1; i <= kArquivos; ++i)
            salva(empacotamento, lista, pastaXml,
                  {"FichaAtendimentoIndividual_" + std::to_string(i) + ".esus.xml",
                   "<n>" + std::to_string(i) + "</n>"});
        simultaneo = empacotamento.conclui(relogio);
    }
    const std::string sequencial = zipaXML(parametros, caminhos(lista), operador, relogio);
    EXPECT_TRUE(leArquivo(simultaneo) == leArquivo(sequencial));
    EXPECT_TRUE(unzipAprova(simultaneo));
}

}  // namespace
}  // namespace cds
