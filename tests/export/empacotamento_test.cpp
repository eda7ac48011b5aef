#include "export/empacotamento.hpp"

#include <gtest/gtest.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
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
const char kTituloFalha[] = "Problema encontrado ao zipar o arquivo KVW.";

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

    const ResultadoZip resultado = zipaXML(parametros, ListaArquivos, operador, relogio);

    EXPECT_TRUE(resultado.gravado);
    EXPECT_EQ(resultado.arquivo,
              arquivoEsperado("FichasValmo_03112019_1405_01102019_31102019.zip"));
    const auto entradas = leZip(resultado.arquivo);
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
        const ResultadoZip resultado = zipaXML(p, {}, operador, RelogioFixo(c.agora));
        EXPECT_TRUE(resultado.gravado) << c.nome;
        EXPECT_EQ(resultado.arquivo, p.Caminho + "/" + c.nome);
        EXPECT_TRUE(fs::is_regular_file(saida / c.nome)) << c.nome;
    }
}

TEST_F(ZipaXml, ListaVaziaDaUmArquivoValidoSemEntradas) {
    const ResultadoZip resultado = zipaXML(parametros, {}, operador, relogio);

    EXPECT_TRUE(resultado.gravado);
    // An archive with no entries is its end-of-directory record alone: signature, zero
    // entries, zero-sized directory at offset zero, no comment. (minizip's own reader refuses
    // it, since it takes a directory end found at offset zero for one not found at all.)
    EXPECT_EQ(leArquivo(resultado.arquivo), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    EXPECT_TRUE(operador.mensagens().empty());
}

TEST_F(ZipaXml, ArquivoDaListaQueNaoPodeSerLidoFalhaSemDeixarArquivo) {
    // What may stand at a listed path by packing time, instead of the file the run wrote.
    struct Caso {
        const char* descricao;
        std::function<void(const fs::path&)> troca;
    };
    const Caso casos[] = {
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
    for (const Caso& c : casos) {
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

        const ResultadoZip resultado = zipaXML(p, ListaArquivos, operador, relogio);

        EXPECT_FALSE(resultado.gravado);
        // No archive, whole or partial, is left behind.
        EXPECT_EQ(conteudoDe(saida.caminho()), std::vector<std::string>{"arquivosXML"});
        ASSERT_EQ(operador.mensagens().size(), 1u);
        const ChamadaOperador caixa = operador.mensagens()[0];
        EXPECT_EQ(caixa.titulo, kTituloFalha);
        EXPECT_EQ(caixa.tipoMensagem, TipoMensagem::Erro);
        EXPECT_NE(caixa.texto.find(ListaArquivos[1]), std::string::npos) << caixa.texto;
        EXPECT_EQ(operador.statusAtual(), "Compactando Arquivo...");
    }
}

TEST_F(ZipaXml, CaminhoRepetidoNaListaEEmpacotadoUmaVezNoPrimeiroLugar) {
    const std::string a = ficha("FichaAtendimentoIndividual_7.esus.xml", "segunda gravação");
    const std::string b = ficha("FichaAtendimentoIndividual_8.esus.xml", "b");

    const ResultadoZip resultado = zipaXML(parametros, {a, b, a, b, a}, operador, relogio);

    EXPECT_TRUE(resultado.gravado);
    const auto entradas = leZip(resultado.arquivo);
    ASSERT_TRUE(entradas.has_value());
    EXPECT_EQ(nomes(*entradas),
              (std::vector<std::string>{"FichaAtendimentoIndividual_7.esus.xml",
                                        "FichaAtendimentoIndividual_8.esus.xml"}));
    EXPECT_EQ((*entradas)[0].conteudo, "segunda gravação");
}

TEST_F(ZipaXml, ArquivoDeMesmoNomeNuncaESubstituido) {
    const std::string base = "FichasValmo_03112019_1405_01102019_31102019";
    const std::string visita = ficha("FichaVisitaDomiciliar_1.esus.xml", "visita");
    const ResultadoZip primeiro = zipaXML(parametros, {visita}, operador, relogio);
    ASSERT_TRUE(primeiro.gravado);
    EXPECT_EQ(primeiro.arquivo, arquivoEsperado(base + ".zip"));
    const std::string bytesDoPrimeiro = leArquivo(primeiro.arquivo);
    // Something of the operator's, no archive, under the name the third would take.
    escreveArquivo(pasta / (base + "_3.zip"), "do operador");

    // Runs later in the same minute, for the same period, of other kinds.
    const std::string coletiva = ficha("FichaAtivColetiva_1.esus.xml", "coletiva");
    const ResultadoZip segundo = zipaXML(parametros, {coletiva}, operador, relogio);
    const std::string vacina = ficha("FichaVacinacao_1.esus.xml", "vacina");
    const ResultadoZip terceiro = zipaXML(parametros, {vacina}, operador, relogio);

    ASSERT_TRUE(segundo.gravado);
    ASSERT_TRUE(terceiro.gravado);
    EXPECT_EQ(segundo.arquivo, arquivoEsperado(base + "_2.zip"));
    EXPECT_EQ(terceiro.arquivo, arquivoEsperado(base + "_4.zip"));
    EXPECT_EQ(leArquivo(primeiro.arquivo), bytesDoPrimeiro);
    EXPECT_EQ(leArquivo(pasta / (base + "_3.zip")), "do operador");
    const auto entradas2 = leZip(segundo.arquivo);
    const auto entradas4 = leZip(terceiro.arquivo);
    ASSERT_TRUE(entradas2.has_value());
    ASSERT_TRUE(entradas4.has_value());
    EXPECT_EQ(nomes(*entradas2), std::vector<std::string>{"FichaAtivColetiva_1.esus.xml"});
    EXPECT_EQ(nomes(*entradas4), std::vector<std::string>{"FichaVacinacao_1.esus.xml"});
    EXPECT_EQ(conteudoDe(pasta.caminho()),
              (std::vector<std::string>{base + ".zip", base + "_2.zip", base + "_3.zip",
                                        base + "_4.zip", "arquivosXML"}));
}

TEST_F(ZipaXml, PastaDeSaidaInexistenteAvisaOProblemaERetornaFalha) {
    const std::string registro = ficha("FichaVacinacao_1.esus.xml", "v");
    parametros.Caminho = (pasta / "nao-existe").string();

    const ResultadoZip resultado = zipaXML(parametros, {registro}, operador, relogio);

    EXPECT_FALSE(resultado.gravado);
    EXPECT_FALSE(static_cast<bool>(resultado));
    EXPECT_FALSE(fs::exists(resultado.arquivo));
    ASSERT_EQ(operador.chamadas.size(), 2u);
    // The status keeps its text; the error box is the only message.
    EXPECT_EQ(operador.chamadas[0], ChamadaOperador::status("Compactando Arquivo..."));
    const ChamadaOperador& caixa = operador.chamadas[1];
    EXPECT_EQ(caixa.tipo, ChamadaOperador::Tipo::Mensagem);
    EXPECT_EQ(caixa.titulo, kTituloFalha);
    EXPECT_EQ(caixa.tipoMensagem, TipoMensagem::Erro);
    // The error's own text, naming the archive it could not create.
    EXPECT_NE(caixa.texto.find(resultado.arquivo), std::string::npos) << caixa.texto;
    // The record files stay.
    EXPECT_TRUE(fs::exists(registro));
}

}  // namespace
}  // namespace cds
