// The registrations inside a whole run: the register's marks become durable with the run's one
// commit, after the archive is written, and not otherwise.

#include <gtest/gtest.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "comum/cancelamento.hpp"
#include "comum/erro.hpp"
#include "export/abertura.hpp"
#include "export/arquivo_ini.hpp"
#include "export/arquivos.hpp"
#include "export/exportacao.hpp"
#include "export/trava_pasta.hpp"
#include "fichas/transmissao.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/cadastros.hpp"
#include "suporte/clinica.hpp"
#include "suporte/operador_gravador.hpp"
#include "suporte/relogio_fixo.hpp"
#include "suporte/zip_teste.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;
using teste::linhaGravadaDoRegistro;

using teste::entradasDoZip;

class CadastrosNaExportacaoTest : public ::testing::Test {
  protected:
    CadastrosNaExportacaoTest() : ini(pasta / kNomeArquivoIni) {
        teste::insereClinica(banco);
        teste::insereBaseDeCadastros(banco);
        teste::insereCidadaoCompleto(banco);
        teste::insereDomicilioCompleto(banco);
        teste::insereEpisodio(banco, 1);
        ini.grava(kSecaoGeral, kChaveDatabase, banco.caminho());
        ini.grava(kSecaoGeral, kChaveIbge, "4205407");
        parametros = parametrosIniciais(ini, relogio);
        parametros.Unidade = "2345678";
        parametros.Caminho = (pasta / "saida").string();
        parametros.ProfissionalGenerico = "9";
        fs::create_directories(pastaXml(parametros.Caminho));
    }

    fs::path zip() const {
        return fs::path(parametros.Caminho) / "FichasValmo_03112019_1405_01102019_31102019.zip";
    }

    // Both register rows of the run, as committed.
    std::vector<std::string> registros() const {
        return {linhaGravadaDoRegistro(banco, "pessoastransmissao", 123),
                linhaGravadaDoRegistro(banco, "familiastransmissao", 45)};
    }

    teste::PastaTemporaria pasta;
    teste::BancoTeste banco;
    ArquivoIni ini;
    RelogioFixo relogio{DataHora{2019, 11, 3, 14, 5, 0}};
    OperadorGravador operador;
    ParametrosExportacao parametros;
};

TEST_F(CadastrosNaExportacaoTest, ExecucaoCompletaMarcaOsEnviados) {
    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);

    ASSERT_TRUE(fs::is_regular_file(r.arquivoZip)) << r.arquivoZip;
    EXPECT_EQ(entradasDoZip(zip()),
              (std::vector<std::string>{"FichaCadastroIndividual_00000000123.esus.xml",
                                        "FichaCadastroDomiciliar_000000000045.esus.xml",
                                        "FichaAtendimentoIndividual_1.esus.xml"}));
    EXPECT_EQ(registros(),
              (std::vector<std::string>{
                  "2345678-da1cb4c9-0004-0000-0002-00000000123 | Não | 03/11/2019 | 3",
                  "2345678-da1cb4c9-0004-0000-0000-D0000000045 | Não | 03/11/2019 | 1"}));
}

// The record files are written, but the archive cannot be (a folder stands in its place): no
// registration is marked as sent, so the next run sends them again.
TEST_F(CadastrosNaExportacaoTest, ArquivoCompactadoNaoGravadoNaoMarcaNada) {
    const std::vector<std::string> antes = registros();
    // The archive taken away while it was written: it cannot be put in place.
    OperadorIntruso intruso;
    intruso.apagarArquivoOcultoAoCompactar = parametros.Caminho;

    EXPECT_THROW(exportaArquivos(parametros, ini, intruso, relogio), ErroArquivo);
    EXPECT_FALSE(fs::exists(zip()));

    EXPECT_TRUE(fs::exists(pastaXml(parametros.Caminho) + "/" +
                           "FichaCadastroIndividual_00000000123.esus.xml"));
    EXPECT_TRUE(fs::exists(pastaXml(parametros.Caminho) + "/" +
                           "FichaCadastroDomiciliar_000000000045.esus.xml"));
    EXPECT_EQ(registros(), antes);
    EXPECT_EQ(antes[0], "2345678-da1cb4c9-0004-0000-0001-00000000123 | Sim | 02/05/2019 | 2");
}

// A stored identifier whose version is no number ends the run at that citizen, naming it; the
// citizen written before it is not marked either.
TEST_F(CadastrosNaExportacaoTest, UuidGravadoInvalidoEncerraSemMarcarNada) {
    teste::insereCidadao(banco, 124,
                         "'2345678-da1cb4c9-0004-0000-XXXX-00000000124', 'Sim', "
                         "NULL, 1");
    const std::vector<std::string> antes = registros();

    try {
        exportaArquivos(parametros, ini, operador, relogio);
        ADD_FAILURE() << "esperava erro de conversão";
    } catch (const ErroConversao& e) {
        EXPECT_EQ(std::string(e.what()).rfind("FichaCadastroIndividual_124 (unidade 2345678): ", 0),
                  0u)
            << e.what();
    }
    EXPECT_EQ(registros(), antes);
    EXPECT_EQ(linhaGravadaDoRegistro(banco, "pessoastransmissao", 124),
              "2345678-da1cb4c9-0004-0000-XXXX-00000000124 | Sim |  | 1");
    EXPECT_FALSE(fs::exists(zip()));
}

// A month of registrations: the register rows go back to the server a batch at a time, and
// the last ones after the last record; each row is what the record's own statement writes,
// a first transmission or a later one alike.
TEST_F(CadastrosNaExportacaoTest, MuitosCadastrosMarcadosEmLotes) {
    // Two batches and a part of one more, with the citizen 123 among them.
    constexpr int kCidadaos = 2 * static_cast<int>(RegistroTransmissao::kLote) + 7;
    for (int codigo = 1000; codigo < 1000 + kCidadaos - 1; ++codigo)
        teste::insereCidadao(banco, codigo,
                             codigo % 2 ? "'2345678-da1cb4c9-0004-0000-0004-0000000" +
                                              std::to_string(codigo) + "', 'Sim', NULL, 5"
                                        : "NULL, 'Sim', NULL, NULL");

    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);

    ASSERT_TRUE(fs::is_regular_file(r.arquivoZip)) << r.arquivoZip;
    EXPECT_EQ(registros()[0], "2345678-da1cb4c9-0004-0000-0002-00000000123 | Não | 03/11/2019 | 3");
    for (int codigo = 1000; codigo < 1000 + kCidadaos - 1; ++codigo) {
        const std::string c = std::to_string(codigo);
        EXPECT_EQ(linhaGravadaDoRegistro(banco, "pessoastransmissao", codigo),
                  codigo % 2
                      ? "2345678-da1cb4c9-0004-0000-0005-0000000" + c + " | Não | 03/11/2019 | 6"
                      : "2345678-da1cb4c9-0004-0000-0000-0000000" + c + " | Não | 03/11/2019 | 1")
            << codigo;
    }
}

// A register row the server refuses in the middle of a batch (here a trigger of the clinic's
// database): the error names that record, not the one whose save completed the batch, and
// nothing is marked.
TEST_F(CadastrosNaExportacaoTest, GravacaoRecusadaNoLoteNomeiaOSeuRegistro) {
    for (int codigo = 1000; codigo < 1000 + static_cast<int>(RegistroTransmissao::kLote); ++codigo)
        teste::insereCidadao(banco, codigo);
    banco.executa("CREATE EXCEPTION REGISTRO_RECUSADO 'registro recusado pelo teste'");
    banco.executa(
        "CREATE TRIGGER RECUSA_1010 FOR pessoastransmissao BEFORE UPDATE AS BEGIN "
        "IF (NEW.codigo = 1010) THEN EXCEPTION REGISTRO_RECUSADO; END");
    const std::vector<std::string> antes = registros();

    try {
        exportaArquivos(parametros, ini, operador, relogio);
        ADD_FAILURE() << "esperava a recusa do servidor";
    } catch (const ErroBanco& e) {
        const std::string texto = e.what();
        EXPECT_EQ(texto.rfind("FichaCadastroIndividual_1010 (unidade 2345678): ", 0), 0u) << texto;
        EXPECT_NE(texto.find("registro recusado pelo teste"), std::string::npos) << texto;
    }
    EXPECT_EQ(registros(), antes);
    EXPECT_EQ(linhaGravadaDoRegistro(banco, "pessoastransmissao", 1010), " | Sim |  | ");
    EXPECT_EQ(linhaGravadaDoRegistro(banco, "pessoastransmissao", 1000), " | Sim |  | ");
    EXPECT_FALSE(fs::exists(zip()));
}

// A registration kind chosen without a generic professional of the clinic's is refused before
// the run writes anything, naming the option it takes: the files of an earlier run are still in
// arquivosXML, no record is written, no archive made, nothing marked. A run without
// registrations needs none.
TEST_F(CadastrosNaExportacaoTest, ProfissionalGenericoEmBrancoOuDesconhecidoRecusado) {
    const std::vector<std::string> antes = registros();
    const fs::path anterior =
        fs::path(pastaXml(parametros.Caminho)) / "FichaAtendimentoIndividual_7.esus.xml";
    const std::pair<const char*, const char*> casos[] = {
        {"", "O código do profissional genérico está em branco."},
        {"424242", "Nenhum profissional tem o código '424242'"},
    };
    for (const auto& [codigo, trecho] : casos) {
        SCOPED_TRACE(codigo);
        teste::escreveArquivo(anterior, "de uma execução anterior");
        parametros.ProfissionalGenerico = codigo;

        try {
            exportaArquivos(parametros, ini, operador, relogio);
            ADD_FAILURE() << "aceito";
        } catch (const ErroParametro& e) {
            EXPECT_EQ(e.opcao(), "--profissional-generico");
            EXPECT_NE(std::string(e.what()).find(trecho), std::string::npos) << e.what();
        }

        EXPECT_EQ(teste::leArquivo(anterior), "de uma execução anterior");
        std::vector<fs::path> naPasta;
        for (const auto& e : fs::recursive_directory_iterator(parametros.Caminho))
            if (e.path().filename() != kNomeArquivoTrava) naPasta.push_back(e.path());
        EXPECT_EQ(naPasta, (std::vector<fs::path>{anterior.parent_path(), anterior}));
        EXPECT_EQ(registros(), antes);
        EXPECT_TRUE(operador.mensagens().empty());
    }

    parametros.Fichas = {TipoFicha::AtendimentoIndividual};
    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);
    ASSERT_TRUE(fs::is_regular_file(r.arquivoZip)) << r.arquivoZip;
    EXPECT_EQ(entradasDoZip(zip()),
              std::vector<std::string>{"FichaAtendimentoIndividual_1.esus.xml"});
    EXPECT_EQ(registros(), antes);
}

// The run's one error list: every kind's lines, in the run's order, in erros.txt beside
// config.ini (Windows-1252) and beside the archive under its name (UTF-8), both with CR LF,
// written once the run has committed. The summary's count is the files' line count.
TEST_F(CadastrosNaExportacaoTest, ListaDeErrosDaExecucaoInteiraAoLadoDoConfigEDoArquivo) {
    banco.executa("UPDATE pessoas SET dtnascimento = NULL WHERE codigo = 123");
    banco.executa("UPDATE pessoas SET cepresidencia = '99999999' WHERE codigo = 45");
    banco.executa("UPDATE PROFISSIONAIS SET INE = NULL WHERE CODIGO = 10");
    teste::escreveArquivo(pasta / kNomeArquivoErros, "de uma execução anterior\r\nmais\r\n");
    // The window's list of an earlier run.
    operador.erroCadastro("de uma execução anterior");

    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);

    const std::vector<std::string> erros = {
        "Data de nascimento não encontrada para a pessoa Joana Silva & Souza",
        "CEP de residencia não encontrado para a pessoa Carlos Pereira",
        "Dra. Ana Lúcia - INE não cadastrado!"};
    EXPECT_EQ(r.ErrosCadastro, erros);
    EXPECT_EQ(operador.errosCadastroAtuais(), erros);
    EXPECT_EQ(teste::leArquivo(pasta / kNomeArquivoErros),
              "Data de nascimento n\xE3o encontrada para a pessoa Joana Silva & Souza\r\n"
              "CEP de residencia n\xE3o encontrado para a pessoa Carlos Pereira\r\n"
              "Dra. Ana L\xFA"
              "cia - INE n\xE3o cadastrado!\r\n");
    const fs::path aoLadoDoZip =
        fs::path(parametros.Caminho) / "FichasValmo_03112019_1405_01102019_31102019.erros.txt";
    EXPECT_EQ(teste::leArquivo(aoLadoDoZip),
              "Data de nascimento não encontrada para a pessoa Joana Silva & Souza\r\n"
              "CEP de residencia não encontrado para a pessoa Carlos Pereira\r\n"
              "Dra. Ana Lúcia - INE não cadastrado!\r\n");
    EXPECT_EQ(r.arquivosErros, (std::vector<fs::path>{pasta / kNomeArquivoErros, aoLadoDoZip}));
    EXPECT_EQ(notasFinais(r).at(0), "Lista de erros: 3 linha(s), em " +
                                        (pasta / kNomeArquivoErros).string() + " e em " +
                                        aoLadoDoZip.string() + ".");
    // Written before the run said it ended well.
    const std::vector<ChamadaOperador> mensagens = operador.mensagens();
    ASSERT_EQ(mensagens.size(), 1u);
    EXPECT_EQ(mensagens[0].texto, "Arquivo de importação do esus gerado com sucesso!");
}

// A run without errors leaves no list: an earlier run's erros.txt is removed, and nothing goes
// beside the archive.
TEST_F(CadastrosNaExportacaoTest, ExecucaoSemErrosApagaAListaAnterior) {
    teste::escreveArquivo(pasta / kNomeArquivoErros, "de uma execução anterior\r\n");

    const ResultadoExportacao r = exportaArquivos(parametros, ini, operador, relogio);

    ASSERT_TRUE(fs::is_regular_file(r.arquivoZip)) << r.arquivoZip;
    EXPECT_TRUE(r.ErrosCadastro.empty());
    EXPECT_FALSE(fs::exists(pasta / kNomeArquivoErros));
    std::vector<std::string> saida;
    for (const auto& e : fs::directory_iterator(parametros.Caminho))
        saida.push_back(e.path().filename());
    std::sort(saida.begin(), saida.end());
    EXPECT_EQ(saida, (std::vector<std::string>{
                         "FichasValmo_03112019_1405_01102019_31102019.relatorio.csv",
                         "FichasValmo_03112019_1405_01102019_31102019.relatorio.html",
                         "FichasValmo_03112019_1405_01102019_31102019.zip", "arquivosXML"}));
    EXPECT_TRUE(r.arquivosErros.empty());
    EXPECT_EQ(notasFinais(r), std::vector<std::string>{"Lista de erros: nenhuma linha."});
}

// A run that fails, or that the operator stops, after its registrations had errors: the
// earlier list stays as it was, and none goes beside an archive.
TEST_F(CadastrosNaExportacaoTest, ExecucaoQueFalhaOuEInterrompidaNaoMexeNaLista) {
    banco.executa("UPDATE pessoas SET dtnascimento = NULL WHERE codigo = 123");
    struct Caso {
        const char* descricao;
        // Sets the operator up to make the run fail, or to stop it.
        std::function<void(OperadorIntruso&, Cancelamento&)> prepara;
    };
    const Caso casos[] = {
        {"arquivo compactado que não pode ser gravado",
         [&](OperadorIntruso& o, Cancelamento&) {
             o.apagarArquivoOcultoAoCompactar = parametros.Caminho;
         }},
        {"interrompida depois dos cadastros",
         [](OperadorIntruso& o, Cancelamento& c) {
             o.aoMudarStatus = [&c](const std::string& texto) {
                 if (texto == "Gerando Fichas de Atendimento Individual...") c.pede();
             };
         }},
        {"interrompida ao compactar",
         [](OperadorIntruso& o, Cancelamento& c) {
             o.aoMudarStatus = [&c](const std::string& texto) {
                 if (texto == "Compactando Arquivo...") c.pede();
             };
         }},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        teste::escreveArquivo(pasta / kNomeArquivoErros, "de uma execução anterior\r\n");
        OperadorIntruso intruso;
        Cancelamento cancelamento;
        c.prepara(intruso, cancelamento);

        EXPECT_THROW(exportaArquivos(parametros, ini, intruso, relogio, &cancelamento), Erro);

        EXPECT_EQ(teste::leArquivo(pasta / kNomeArquivoErros), "de uma execução anterior\r\n");
        for (const auto& e : fs::directory_iterator(parametros.Caminho))
            EXPECT_FALSE(e.path().string().ends_with(kFimArquivoErrosDoZip)) << e.path();
        // The registrations did have their lines.
        EXPECT_EQ(intruso.errosCadastroAtuais(),
                  std::vector<std::string>{
                      "Data de nascimento não encontrada para a pessoa Joana Silva & Souza"});
    }
}

// The list cannot be saved once the run has committed (a folder stands where erros.txt goes):
// the archive stays, the registrations stay marked, and the operator reads that the archive is
// good and only the list failed, not that the run succeeded; the list's lines are in the log.
TEST_F(CadastrosNaExportacaoTest, ListaQueNaoPodeSerGravadaDepoisDaConfirmacao) {
    banco.executa("UPDATE pessoas SET dtnascimento = NULL WHERE codigo = 123");
    fs::create_directory(pasta / kNomeArquivoErros);
    teste::escreveArquivo(pasta / kNomeArquivoErros / "dentro", "fica");

    try {
        exportaArquivos(parametros, ini, operador, relogio);
        ADD_FAILURE() << "a lista não gravada passou por sucesso";
    } catch (const ErroAposConfirmacao& e) {
        const std::string texto = e.what();
        EXPECT_TRUE(texto.starts_with("O arquivo compactado " + zip().string() +
                                      " foi gravado e a exportação foi confirmada no banco de "
                                      "dados"))
            << texto;
        EXPECT_NE(texto.find("Só a lista de erros não pôde ser gravada: Não foi possível gravar "
                             "o arquivo " +
                             (pasta / kNomeArquivoErros).string()),
                  std::string::npos)
            << texto;
    }

    EXPECT_TRUE(fs::is_regular_file(zip()));
    EXPECT_EQ(registros(),
              (std::vector<std::string>{
                  "2345678-da1cb4c9-0004-0000-0002-00000000123 | Não | 03/11/2019 | 3",
                  "2345678-da1cb4c9-0004-0000-0000-D0000000045 | Não | 03/11/2019 | 1"}));
    EXPECT_EQ(teste::leArquivo(pasta / kNomeArquivoErros / "dentro"), "fica");
    // The copy beside the archive was still saved.
    EXPECT_EQ(teste::leArquivo(fs::path(parametros.Caminho) /
                               "FichasValmo_03112019_1405_01102019_31102019.erros.txt"),
              "Data de nascimento não encontrada para a pessoa Joana Silva & Souza\r\n");
    const std::vector<std::string> log = operador.logVisivel();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Lista de erros desta exportação, que não pôde ser gravada:");
    EXPECT_EQ(log.back(), "Data de nascimento não encontrada para a pessoa Joana Silva & Souza");
    EXPECT_TRUE(operador.mensagens().empty());
}

}  // namespace
}  // namespace cds
