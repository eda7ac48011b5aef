#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "comum/erro.hpp"
#include "fichas/atendimentos.hpp"
#include "fichas/cenario.hpp"
#include "source/consulta.hpp"
#include "source/linhas_guardadas.hpp"
#include "suporte/clinica.hpp"

namespace cds {
namespace {

using teste::CenarioFichas;
using teste::insereClinica;
using teste::insereEpisodio;
using teste::valorDe;

class AtendimentoIndividualTest : public ::testing::Test {
  protected:
    void SetUp() override { insereClinica(c.banco); }
    CenarioFichas c;
};

// The moment of the care from DATA and HORA: the hour joins a date without a time of day, a
// TIMESTAMP keeps its own, a date alone stands for 10:00:01, and no date is an error.
TEST(MomentoDoAtendimento, DataEHoraDoEpisodio) {
    const DataHora dia{2019, 10, 15}, diaComHora{2019, 10, 15, 14, 35, 0}, hora{0, 0, 0, 14, 35, 0},
        outraHora{0, 0, 0, 8, 0, 0};
    struct Caso {
        std::optional<DataHora> data, hora;
        std::string esperado;
    };
    const Caso casos[] = {
        {dia, hora, "1571150100000"},
        {dia, std::nullopt, "1571133601000"},
        {diaComHora, outraHora, "1571150100000"},
        {diaComHora, std::nullopt, "1571150100000"},
    };
    for (const Caso& c : casos) {
        Episodio e;
        e.chave.data = c.data;
        e.hora = c.hora;
        EXPECT_EQ(momentoDoAtendimento(e), c.esperado) << c.esperado;
    }
    Episodio semData;
    semData.hora = hora;
    EXPECT_THROW(momentoDoAtendimento(semData), ErroConversao);
}

// The episode of the hand-written expected files: every optional line present.
void insereEpisodioCompleto(teste::BancoTeste& banco) {
    insereEpisodio(banco, 345);
    banco.executa(
        "UPDATE FAA SET gestante = 'S', DUM = '2019-08-01', IDADEGEST = 10, GRAVIDEZPLAN = 'S', "
        "NUMGESTPREVIAS = 1, NUMPARTOS = 1, VACINAEMDIA = 'N' WHERE NUMFAA = 345");
    banco.executa(
        "INSERT INTO TRIAGENS (CODUNIDADE, NUMFAA, PESO, ALTURA, pc) VALUES "
        "('2345678', 345, 72.5, 1.75, 35.5)");
    for (const char* ciap : {"ABP001", "A01", "ABP002", "K86", "T90"})
        banco.executa(std::string("INSERT INTO FAACIAPS (CODUNIDADE, NUMFAA, CODCIAP) VALUES "
                                  "('2345678', 345, '") +
                      ciap + "')");
    banco.executa(
        "INSERT INTO SUSPROCEDUNIF (CODIGO, DESCRICAO, ehexame, CODPROCESUS) VALUES "
        "('0202010473', 'Glicemia', 'S', '0202010473')");
    banco.executa(
        "INSERT INTO SUSPROCEDUNIF (CODIGO, DESCRICAO, ehexame, CODPROCESUS) VALUES "
        "('0000000001', 'Exame sem SIGTAP', 'S', NULL)");
    banco.executa(
        "INSERT INTO FAAPROCED (CODUNIDADE, NUMFAA, CODPROCEDUNIF, ExameSolicitado, ExameAvaliado) "
        "VALUES ('2345678', 345, '0202010473', 'S', 'S')");
    banco.executa(
        "INSERT INTO FAAPROCED (CODUNIDADE, NUMFAA, CODPROCEDUNIF, ExameSolicitado, ExameAvaliado) "
        "VALUES ('2345678', 345, '0000000001', 'S', 'S')");
    // The same episode number in another unit is another episode: its exams stay out.
    banco.executa(
        "INSERT INTO FAAPROCED (CODUNIDADE, NUMFAA, CODPROCEDUNIF, ExameSolicitado, ExameAvaliado) "
        "VALUES ('7654321', 345, '0202010473', 'S', 'N')");
    banco.executa(
        "INSERT INTO FAAPROCED (CODUNIDADE, NUMFAA, CODPROCEDUNIF, ExameSolicitado, ExameAvaliado) "
        "VALUES ('7654321', 345, '0000000001', 'S', 'N')");
}

TEST_F(AtendimentoIndividualTest, FichaCompletaIgualAoEsperado) {
    insereEpisodioCompleto(c.banco);
    Execucao& ex = c.gera(TipoFicha::AtendimentoIndividual);

    EXPECT_EQ(c.arquivo("FichaAtendimentoIndividual_345.esus.xml"),
              teste::leDadoEsperado("FichaAtendimentoIndividual_345.esus.xml"));
    const std::vector<ArquivoGerado> listados = {
        {ex.caminhoArquivo("FichaAtendimentoIndividual_345.esus.xml"),
         TipoFicha::AtendimentoIndividual}};
    EXPECT_EQ(ex.ListaArquivos, listados);
    EXPECT_EQ(c.operador.statusTextos(),
              std::vector<std::string>{"Gerando Fichas de Atendimento Individual..."});
    EXPECT_TRUE(ex.LogExecucao.empty());
}

TEST_F(AtendimentoIndividualTest, FichaDeVacinacaoIgualAoEsperado) {
    insereEpisodioCompleto(c.banco);
    Execucao& ex = c.gera(TipoFicha::Vacinacao);

    EXPECT_EQ(c.arquivo("FichaVacinacao_345.esus.xml"),
              teste::leDadoEsperado("FichaVacinacao_345.esus.xml"));
    const std::vector<ArquivoGerado> listados = {
        {ex.caminhoArquivo("FichaVacinacao_345.esus.xml"), TipoFicha::Vacinacao}};
    EXPECT_EQ(ex.ListaArquivos, listados);
    EXPECT_EQ(c.operador.statusTextos(),
              std::vector<std::string>{"Gerando Fichas de Vacinação..."});
}

TEST_F(AtendimentoIndividualTest, TurnoPelaHora) {
    struct Caso {
        int numero;
        const char* hora;
        std::optional<std::string> turno;
        std::optional<std::string> turnoVacina;
    };
    const Caso casos[] = {
        {1, "'11:59:59'", "1", "1"}, {2, "'12:00:00'", "2", "2"}, {3, "'17:59:00'", "2", "2"},
        {4, "'18:00:00'", "3", "3"}, {5, "'00:00:00'", "1", "1"}, {6, "NULL", std::nullopt, "1"},
    };
    for (const auto& caso : casos) insereEpisodio(c.banco, caso.numero, caso.hora);
    c.gera(TipoFicha::AtendimentoIndividual);
    c.gera(TipoFicha::Vacinacao);
    for (const auto& caso : casos) {
        const std::string n = std::to_string(caso.numero);
        EXPECT_EQ(valorDe(c.arquivo("FichaAtendimentoIndividual_" + n + ".esus.xml"), "turno"),
                  caso.turno)
            << caso.hora;
        EXPECT_EQ(valorDe(c.arquivo("FichaVacinacao_" + n + ".esus.xml"), "turno"),
                  caso.turnoVacina)
            << caso.hora;
    }
    // Without an hour the care date stands for 10:00:01 of its day.
    EXPECT_EQ(valorDe(c.arquivo("FichaAtendimentoIndividual_6.esus.xml"), "dataAtendimento"),
              "1571133601000");
}

TEST_F(AtendimentoIndividualTest, LimitesDaTriagem) {
    struct Caso {
        const char* peso;
        const char* altura;
        const char* pc;
        std::optional<std::string> pesoEsperado, alturaEsperada, pcEsperado;
    };
    const Caso casos[] = {
        {"0.5", "175", "10", std::nullopt, "00175", "000010"},
        {"500", "1.75", "200", std::nullopt, "00175", "000200"},
        {"72.5", "20", "9.9", "73", "00020", std::nullopt},
        {"0.51", "250", "200.1", "1", "00250", std::nullopt},
        {"499.4", "2.5", "35.5", "499", std::nullopt, "000036"},
        {"NULL", "10", "NULL", std::nullopt, std::nullopt, std::nullopt},
        {"3.5", "0.21", "10.5", "4", "00021", "000011"},
        {"2.5", "0.2", "-3", "3", std::nullopt, std::nullopt},
    };
    int numero = 0;
    for (const auto& caso : casos) {
        insereEpisodio(c.banco, ++numero);
        c.banco.executa(std::string("INSERT INTO TRIAGENS (CODUNIDADE, NUMFAA, PESO, ALTURA, pc) "
                                    "VALUES ('2345678', ") +
                        std::to_string(numero) + ", " + caso.peso + ", " + caso.altura + ", " +
                        caso.pc + ")");
    }
    c.gera(TipoFicha::AtendimentoIndividual);
    numero = 0;
    for (const auto& caso : casos) {
        const std::string ficha =
            c.arquivo("FichaAtendimentoIndividual_" + std::to_string(++numero) + ".esus.xml");
        SCOPED_TRACE(std::string(caso.peso) + " " + caso.altura + " " + caso.pc);
        EXPECT_EQ(valorDe(ficha, "pesoAcompanhamentoNutricional"), caso.pesoEsperado);
        EXPECT_EQ(valorDe(ficha, "alturaAcompanhamentoNutricional"), caso.alturaEsperada);
        EXPECT_EQ(valorDe(ficha, "perimetroCefalico"), caso.pcEsperado);
    }
}

TEST_F(AtendimentoIndividualTest, ExamesSemSigtapUmBlocoPorExame) {
    insereEpisodio(c.banco, 7);
    for (const char* valores :
         {"'0000000001', 'Local 1', 'S', ''", "'0000000002', 'Local 2', 'S', NULL",
          "'0202010473', 'Glicemia', 'S', '0202010473'",
          "'0202010500', 'Colesterol', 'S', '0202010500'"})
        c.banco.executa(
            std::string("INSERT INTO SUSPROCEDUNIF (CODIGO, DESCRICAO, ehexame, CODPROCESUS) "
                        "VALUES (") +
            valores + ")");
    const char* exames[][3] = {{"0000000001", "S", "N"},
                               {"0000000002", "N", "S"},
                               {"0202010473", "S", "N"},
                               {"0202010500", "S", "S"}};
    for (const auto& e : exames)
        c.banco.executa(std::string("INSERT INTO FAAPROCED (CODUNIDADE, NUMFAA, CODPROCEDUNIF, "
                                    "ExameSolicitado, ExameAvaliado) VALUES ('2345678', 7, '") +
                        e[0] + "', '" + e[1] + "', '" + e[2] + "')");
    c.gera(TipoFicha::AtendimentoIndividual);
    const std::string ficha = c.arquivo("FichaAtendimentoIndividual_7.esus.xml");
    const std::string esperado =
        "</problemaCondicaoAvaliada>\r\n\r\n"
        "<examesSolicitados>0202010473</examesSolicitados>\r\n"
        "<examesSolicitados>0202010500</examesSolicitados>\r\n"
        "<examesAvaliados>0202010500</examesAvaliados>\r\n"
        "<outrosSia>\r\n<codigoExame>0000000001</codigoExame>\r\n"
        "<solicitadoAvaliado>S</solicitadoAvaliado>\r\n</outrosSia>\r\n"
        "<outrosSia>\r\n<codigoExame>0000000002</codigoExame>\r\n"
        "<solicitadoAvaliado>A</solicitadoAvaliado>\r\n</outrosSia>\r\n"
        "<ficouEmObservacao>";
    EXPECT_NE(ficha.find(esperado), std::string::npos) << ficha;
}

TEST_F(AtendimentoIndividualTest, ProfissionalSemIneAvisaEGravaAssimMesmo) {
    c.banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(11, 'Dr. José & Filhos', '700000000000002', '225142', '   ')");
    insereEpisodio(c.banco, 8, "'09:00:00'", "2345678", 11);
    insereEpisodio(c.banco, 9, "'09:00:00'", "2345678", 11);
    Execucao& ex = c.gera(TipoFicha::AtendimentoIndividual);
    const std::string ficha = c.arquivo("FichaAtendimentoIndividual_8.esus.xml");
    EXPECT_EQ(ficha.find("<ine>"), std::string::npos);
    EXPECT_NE(ficha.find("<cnes>2345678</cnes>\r\n</lotacaoFormPrincipal>"), std::string::npos);
    const std::vector<std::string> aviso(2, "Dr. José & Filhos - INE não cadastrado!");
    EXPECT_EQ(ex.ErrosCadastro, aviso);
    EXPECT_EQ(ex.LogExecucao, aviso);
    // After the status and the count of the kind's records, each episode reports to the hidden
    // list first, then to the log.
    EXPECT_EQ(c.operador.chamadas[1], ChamadaOperador::progresso(0, 2));
    EXPECT_EQ(c.operador.chamadas[2], ChamadaOperador::erroCadastro(aviso[0]));
    EXPECT_EQ(c.operador.chamadas[3], ChamadaOperador::log(aviso[0]));
    EXPECT_EQ(ex.ListaArquivos.size(), 2u);
    EXPECT_EQ(teste::errosDeLeiaute(ex.ListaArquivos[0].caminho), "");
    // The warning is each record's own in the report.
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::GravadoComAviso),
              (std::vector<std::string>{"8|" + aviso[0], "9|" + aviso[0]}));
    ASSERT_EQ(c.ocorrencias.gravados.size(), 2u);
    EXPECT_TRUE(c.ocorrencias.gravados[1].comAviso);
}

// Every medical episode of the period the care record does not take is reported with the
// first condition it fails, once however many rows it has, and both care kinds report it;
// a dentist's episode is the dental record's and no episode of the care record at all.
TEST_F(AtendimentoIndividualTest, EpisodiosDeixadosDeForaComOMotivo) {
    c.banco.executa("INSERT INTO unidades (codigo, nome) VALUES ('3333333', NULL)");
    c.banco.executa("INSERT INTO CBO (CODIGO, DESCRICAO) VALUES ('999999', NULL)");
    for (const char* profissional : {"12, 'Sem CBO', '700000000000003', '000000'",
                                     "13, 'CBO sem nome', '700000000000004', '999999'",
                                     "14, 'Dentista', '700000000000005', '223208'"})
        c.banco.executa(std::string("INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO) VALUES (") +
                        profissional + ")");
    c.banco.executa("INSERT INTO pessoas (codigo, nome) VALUES (101, 'Sem nascimento')");
    struct Caso {
        int numero;
        std::string ajuste;
        std::string motivo;
    };
    const Caso casos[] = {
        {1, "", ""},
        {2, "UPDATE FAA SET ESPECIEATEND = 'medico' WHERE NUMFAA = 2",
         "espécie do atendimento 'medico' fora do padrão (deve ser MEDICO)"},
        {3, "UPDATE FAA SET CODPROFISSIONAL = 99 WHERE NUMFAA = 3",
         "profissional do atendimento não está no cadastro"},
        {4, "UPDATE FAA SET CODPROFISSIONAL = 12 WHERE NUMFAA = 4",
         "CBO do profissional não está na tabela de CBO"},
        {5, "UPDATE FAA SET CODPROFISSIONAL = 13 WHERE NUMFAA = 5",
         "CBO do profissional sem descrição na tabela de CBO"},
        {6, "UPDATE FAA SET CODPESSOA = 999 WHERE NUMFAA = 6",
         "cidadão do atendimento não está no cadastro de pessoas"},
        {7, "UPDATE FAA SET CODPESSOA = 101 WHERE NUMFAA = 7", "cidadão sem data de nascimento"},
        {8, "UPDATE FAA SET CODUNIDADE = '9999999' WHERE NUMFAA = 8",
         "unidade não está no cadastro de unidades"},
        {9, "UPDATE FAA SET CODUNIDADE = '3333333' WHERE NUMFAA = 9",
         "unidade sem nome no cadastro de unidades"},
        {10, "UPDATE FAA SET CODUNIDADE = '1111111' WHERE NUMFAA = 10",
         "unidade de assistência social (CRAS), que não se exporta"},
        {11, "DELETE FROM FAACID WHERE NUMFAA = 11", "atendimento sem CIAP (sem X) nem CID"},
        {12, "UPDATE FAA SET CARATER = '7' WHERE NUMFAA = 12",
         "caráter do atendimento 7 (não se exporta)"},
        {13, "UPDATE FAA SET CARATER = '8' WHERE NUMFAA = 13",
         "caráter do atendimento 8 (não se exporta)"},
        // Not the care record's: a dentist's, a visit, another month.
        {14, "UPDATE FAA SET CODPROFISSIONAL = 14 WHERE NUMFAA = 14", ""},
        {15, "UPDATE FAA SET ESPECIEATEND = 'VISITA' WHERE NUMFAA = 15", ""},
        {16, "UPDATE FAA SET DATA = '2019-11-01' WHERE NUMFAA = 16", ""},
    };
    std::vector<std::string> esperados;
    for (const Caso& caso : casos) {
        insereEpisodio(c.banco, caso.numero);
        if (!caso.ajuste.empty()) c.banco.executa(caso.ajuste);
        if (!caso.motivo.empty())
            esperados.push_back(std::to_string(caso.numero) + "|" + caso.motivo);
    }
    // A left-out episode with several rows (two triages) is told once.
    for (const char* peso : {"60", "61"})
        c.banco.executa(std::string("INSERT INTO TRIAGENS (CODUNIDADE, NUMFAA, PESO) VALUES "
                                    "('2345678', 12, ") +
                        peso + ")");
    c.gera(TipoFicha::AtendimentoIndividual);
    c.gera(TipoFicha::Vacinacao);
    EXPECT_EQ(c.caminhosListados().size(), 2u);
    std::vector<std::string> deixados = esperados;
    deixados.insert(deixados.end(), esperados.begin(), esperados.end());
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::DeixadoDeFora), deixados);
    const Ocorrencia& primeira = c.ocorrencias.linhas.at(0);
    EXPECT_EQ(primeira.tipo, TipoFicha::AtendimentoIndividual);
    EXPECT_EQ(primeira.unidade, "2345678");
    EXPECT_EQ(primeira.data, "15/10/2019");
    EXPECT_EQ(primeira.profissional, "Dra. Ana Lúcia");
    ASSERT_EQ(c.ocorrencias.gravados.size(), 2u);
    EXPECT_FALSE(c.ocorrencias.gravados[0].comAviso);
}

TEST_F(AtendimentoIndividualTest, ValoresComCaracteresDeMarcacaoDaoXmlValido) {
    // Values no code list has: the file is read as XML, not as the layout.
    c.foraDoLeiaute = true;
    c.banco.executa("INSERT INTO CONDUTAS (codigo, descricao, CODIGOESUS) VALUES (2, 'x', '&<')");
    insereEpisodio(c.banco, 10);
    c.banco.executa("UPDATE FAA SET CODCONDUTA = 2, CARATER = '>' WHERE NUMFAA = 10");
    c.banco.executa("UPDATE FAACID SET CODCID = 'A&1' WHERE NUMFAA = 10");
    c.gera(TipoFicha::AtendimentoIndividual);
    const std::string ficha = c.arquivo("FichaAtendimentoIndividual_10.esus.xml");
    EXPECT_EQ(valorDe(ficha, "condutas"), "&amp;&lt;");
    EXPECT_EQ(valorDe(ficha, "cid10"), "A&amp;1");
    EXPECT_EQ(valorDe(ficha, "tipoAtendimento"), "&gt;");
    EXPECT_EQ(teste::errosDeSintaxe(c.pasta.caminho() / "arquivosXML" /
                                    "FichaAtendimentoIndividual_10.esus.xml"),
              "");
}

TEST_F(AtendimentoIndividualTest, VariasLinhasDoMesmoEpisodio) {
    insereEpisodio(c.banco, 11);
    for (int auxilio : {1, 2})
        c.banco.executa(
            "INSERT INTO SOLICPROCEDS (CODUNIDADE, NUMFAA, CODTIPOAUXILIO) VALUES ('2345678', "
            "11, " +
            std::to_string(auxilio) + ")");
    Execucao& ex = c.gera(TipoFicha::AtendimentoIndividual);
    const std::string caminho = ex.caminhoArquivo("FichaAtendimentoIndividual_11.esus.xml");
    EXPECT_EQ(c.caminhosListados(), (std::vector<std::string>{caminho, caminho}));
}

TEST_F(AtendimentoIndividualTest, SelecaoDoPeriodoDoProfissionalEDaUnidade) {
    c.banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(12, 'Dra. Beatriz', '700000000000003', '225142', '124')");
    c.banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(13, 'Dr. Dente', '700000000000004', '223208', '125')");
    insereEpisodio(c.banco, 20);                               // in
    insereEpisodio(c.banco, 21, "'08:00:00'", "2345678", 12);  // in unless CodProf 10
    insereEpisodio(c.banco, 22, "'08:00:00'", "1111111");      // a CRAS unit: out
    insereEpisodio(c.banco, 23, "'08:00:00'", "2345678", 13);  // a dentist: out
    insereEpisodio(c.banco, 24);
    c.banco.executa("UPDATE FAA SET DATA = '2019-11-01' WHERE NUMFAA = 24");  // after the period
    insereEpisodio(c.banco, 25);
    c.banco.executa("UPDATE FAA SET CARATER = '7' WHERE NUMFAA = 25");  // excluded character
    insereEpisodio(c.banco, 26);
    c.banco.executa("DELETE FROM FAACID WHERE NUMFAA = 26");  // neither CID nor CIAP
    c.banco.executa(
        "INSERT INTO FAACIAPS (CODUNIDADE, NUMFAA, CODCIAP) VALUES ('2345678', 26, 'XXX')");
    insereEpisodio(c.banco, 27);
    c.banco.executa("UPDATE FAA SET ESPECIEATEND = 'ENFERMAGEM' WHERE NUMFAA = 27");

    c.parametros.CodProf = "10";
    c.gera(TipoFicha::AtendimentoIndividual);
    std::vector<std::string> nomes;
    for (const auto& p : c.caminhosListados()) nomes.push_back(std::filesystem::path(p).filename());
    EXPECT_EQ(nomes, std::vector<std::string>{"FichaAtendimentoIndividual_20.esus.xml"});
}

TEST_F(AtendimentoIndividualTest, UnidadeDaLinhaOuDigitada) {
    // A row whose unit code is not seven characters takes the unit as typed, padded.
    c.banco.executa("INSERT INTO unidades (codigo, nome) VALUES ('45', 'Posto rural')");
    insereEpisodio(c.banco, 30, "'08:00:00'", "45");
    c.parametros.Unidade = "12345";
    c.parametros.UUID = "AB";
    c.gera(TipoFicha::Vacinacao);
    const std::string ficha = c.arquivo("FichaVacinacao_30.esus.xml");
    EXPECT_EQ(valorDe(ficha, "uuidDadoSerializado"), "0012345-da1cb4c9-0004-0000-0000-AB30");
    EXPECT_EQ(valorDe(ficha, "uuidFicha"), "12345-da1cb4c9-0004-0000-0000-AB30");
    EXPECT_EQ(valorDe(ficha, "uuidInstalacao"), "0012345-da1cb4c9-0000-0000-0004-AB30");
    EXPECT_EQ(valorDe(ficha, "cnes"), "0012345");
    EXPECT_EQ(valorDe(ficha, "cnesDadoSerializado"), "12345");
}

// Elements typed as numbers go only with a value: an episode without CARATER has no
// tipoAtendimento line, where an empty one would make the importer discard the record.
TEST_F(AtendimentoIndividualTest, NumerosVaziosFicamDeFora) {
    insereEpisodio(c.banco, 40);
    c.banco.executa("UPDATE FAA SET CARATER = NULL, CODCONDUTA = NULL WHERE NUMFAA = 40");
    c.gera(TipoFicha::AtendimentoIndividual);
    const std::string ficha = c.arquivo("FichaAtendimentoIndividual_40.esus.xml");
    EXPECT_EQ(valorDe(ficha, "tipoAtendimento"), std::nullopt);
    for (const char* tag :
         {"aleitamentoMaterno", "dumDaGestante", "idadeGestacional", "nuGestasPrevias", "nuPartos"})
        EXPECT_EQ(valorDe(ficha, tag), std::nullopt) << tag;
    // A conduct without its e-SUS AB code keeps the default 9.
    EXPECT_EQ(valorDe(ficha, "condutas"), "9");
    EXPECT_EQ(teste::errosDeLeiaute(c.pasta.caminho() / "arquivosXML" /
                                    "FichaAtendimentoIndividual_40.esus.xml"),
              "");
}

// Episode numbers repeat across units: the second unit's episode gets a file of its own
// instead of replacing the first's, and its rows still rewrite that one file.
TEST_F(AtendimentoIndividualTest, MesmoNumeroEmDuasUnidadesNaoSeSubstituem) {
    insereEpisodio(c.banco, 50, "'09:00:00'", "2345678");
    insereEpisodio(c.banco, 50, "'14:35:00'", "7654321");
    c.banco.executa("UPDATE FAA SET DATA = '2019-10-16' WHERE CODUNIDADE = '7654321'");
    for (int auxilio : {1, 2})
        c.banco.executa(
            "INSERT INTO SOLICPROCEDS (CODUNIDADE, NUMFAA, CODTIPOAUXILIO) VALUES ('7654321', "
            "50, " +
            std::to_string(auxilio) + ")");
    Execucao& ex = c.gera(TipoFicha::AtendimentoIndividual);

    const std::string primeiro = ex.caminhoArquivo("FichaAtendimentoIndividual_50.esus.xml");
    const std::string segundo = ex.caminhoArquivo("FichaAtendimentoIndividual_50_2.esus.xml");
    EXPECT_EQ(c.caminhosListados(), (std::vector<std::string>{primeiro, segundo, segundo}));
    const std::string a = c.arquivo("FichaAtendimentoIndividual_50.esus.xml");
    const std::string b = c.arquivo("FichaAtendimentoIndividual_50_2.esus.xml");
    EXPECT_EQ(valorDe(a, "uuidFicha"), "2345678-da1cb4c9-0004-0000-0000-050");
    // The identifiers inside the file are the record's own, whatever its file is called.
    EXPECT_EQ(valorDe(b, "uuidFicha"), "7654321-da1cb4c9-0004-0000-0000-050");
    EXPECT_EQ(valorDe(b, "dataAtendimento"), "1571236500000");
}

// The same number in two units on the same day: each file has its own episode's codes and
// exams, however the rows of the two lie in the tables.
TEST_F(AtendimentoIndividualTest, MesmoNumeroEmDuasUnidadesNoMesmoDia) {
    insereEpisodio(c.banco, 70, "'09:00:00'", "7654321");
    insereEpisodio(c.banco, 70, "'10:00:00'", "2345678");
    c.banco.executa(
        "INSERT INTO SUSPROCEDUNIF (CODIGO, DESCRICAO, ehexame, CODPROCESUS) VALUES "
        "('0202010473', 'Glicemia', 'S', '0202010473')");
    const std::pair<const char*, const char*> ciaps[] = {
        {"2345678", "A01"}, {"7654321", "ABP009"}, {"2345678", "ABP001"}, {"7654321", "K86"}};
    for (const auto& [unidade, ciap] : ciaps)
        c.banco.executa(
            std::string("INSERT INTO FAACIAPS (CODUNIDADE, NUMFAA, CODCIAP) VALUES ('") + unidade +
            "', 70, '" + ciap + "')");
    c.banco.executa(
        "INSERT INTO FAAPROCED (CODUNIDADE, NUMFAA, CODPROCEDUNIF, ExameSolicitado, ExameAvaliado) "
        "VALUES ('7654321', 70, '0202010473', 'S', 'N')");
    c.banco.executa("UPDATE FAACID SET CODCID = 'A00.1' WHERE CODUNIDADE = '7654321'");
    Execucao& ex = c.gera(TipoFicha::AtendimentoIndividual);

    // The unit breaks the tie of day and number.
    EXPECT_EQ(
        c.caminhosListados(),
        (std::vector<std::string>{ex.caminhoArquivo("FichaAtendimentoIndividual_70.esus.xml"),
                                  ex.caminhoArquivo("FichaAtendimentoIndividual_70_2.esus.xml")}));
    const std::string centro = c.arquivo("FichaAtendimentoIndividual_70.esus.xml");
    const std::string norte = c.arquivo("FichaAtendimentoIndividual_70_2.esus.xml");
    EXPECT_EQ(valorDe(centro, "uuidFicha"), "2345678-da1cb4c9-0004-0000-0000-070");
    EXPECT_EQ(valorDe(centro, "ciaps"), "ABP001");
    EXPECT_EQ(valorDe(centro, "outroCiap1"), "A01");
    EXPECT_EQ(valorDe(centro, "cid10"), "J459");
    EXPECT_EQ(valorDe(centro, "examesSolicitados"), std::nullopt);
    EXPECT_EQ(valorDe(norte, "uuidFicha"), "7654321-da1cb4c9-0004-0000-0000-070");
    EXPECT_EQ(valorDe(norte, "ciaps"), "ABP009");
    EXPECT_EQ(valorDe(norte, "outroCiap1"), "K86");
    EXPECT_EQ(valorDe(norte, "cid10"), "A001");
    EXPECT_EQ(valorDe(norte, "examesSolicitados"), "0202010473");
}

// With both kinds in the run, vaccination writes from the rows the care record read, without
// a statement of its own, and its files and list are those it writes alone: every row of the
// query, a record repeated by its helps, one number in two units. Each of its records builds
// the identifier of its care twin, which came first in the run: it gets "-2" after it.
TEST(VacinacaoComAtendimento, LeOsEpisodiosDoAtendimentoUmaVezSo) {
    auto prepara = [](CenarioFichas& c) {
        insereClinica(c.banco);
        insereEpisodioCompleto(c.banco);
        insereEpisodio(c.banco, 11, "'08:00:00'");
        for (int auxilio : {1, 2})
            c.banco.executa(
                "INSERT INTO SOLICPROCEDS (CODUNIDADE, NUMFAA, CODTIPOAUXILIO) VALUES ('2345678', "
                "11, " +
                std::to_string(auxilio) + ")");
        insereEpisodio(c.banco, 50, "'09:00:00'", "2345678");
        insereEpisodio(c.banco, 50, "'14:35:00'", "7654321");
    };
    CenarioFichas so;
    prepara(so);
    so.parametros.Fichas = {TipoFicha::Vacinacao};
    const std::uint64_t antesSo = comandosExecutados();
    so.gera(TipoFicha::Vacinacao);
    // The count of its records, then its main query.
    EXPECT_EQ(comandosExecutados() - antesSo, 2u);

    CenarioFichas juntas;
    prepara(juntas);
    juntas.parametros.Fichas = {TipoFicha::AtendimentoIndividual, TipoFicha::Vacinacao};
    juntas.gera(TipoFicha::AtendimentoIndividual);
    const std::size_t doAtendimento = juntas.execucao().ListaArquivos.size();
    const std::uint64_t antes = comandosExecutados();
    juntas.gera(TipoFicha::Vacinacao);
    EXPECT_EQ(comandosExecutados() - antes, 0u);

    const std::vector<std::string> listados = juntas.caminhosListados();
    const std::vector<std::string> vacinacao(listados.begin() + static_cast<long>(doAtendimento),
                                             listados.end());
    std::vector<std::string> nomes;
    for (const std::string& caminho : vacinacao) {
        const std::string nome = std::filesystem::path(caminho).filename();
        nomes.push_back(nome);
        EXPECT_EQ(juntas.arquivo(nome), teste::comSufixoNosIdentificadores(so.arquivo(nome), "-2"))
            << nome;
    }
    std::vector<std::string> nomesSo;
    for (const std::string& caminho : so.caminhosListados())
        nomesSo.push_back(std::filesystem::path(caminho).filename());
    EXPECT_EQ(nomes, nomesSo);
    EXPECT_EQ(nomes, (std::vector<std::string>{
                         "FichaVacinacao_11.esus.xml", "FichaVacinacao_11.esus.xml",
                         "FichaVacinacao_50.esus.xml", "FichaVacinacao_50_2.esus.xml",
                         "FichaVacinacao_345.esus.xml"}));
    EXPECT_EQ(so.arquivo("FichaVacinacao_345.esus.xml"),
              teste::leDadoEsperado("FichaVacinacao_345.esus.xml"));
    // Taken by vaccination, the rows are not kept past it.
    EXPECT_EQ(juntas.execucao().episodiosGuardados, nullptr);
}

// The period takes whole days also where the clinic's date column is a TIMESTAMP: late on
// the last day is in, midnight of the day after is out, the first day counts from 00:00.
TEST_F(AtendimentoIndividualTest, PeriodoDeDiasInteirosComColunaTimestamp) {
    c.banco.executa("ALTER TABLE FAA ALTER COLUMN DATA TYPE TIMESTAMP");
    const std::pair<int, const char*> episodios[] = {{60, "2019-10-31 23:30:00"},
                                                     {61, "2019-11-01 00:00:00"},
                                                     {62, "2019-10-01 00:00:00"},
                                                     {63, "2019-09-30 23:59:59"}};
    for (const auto& [numero, momento] : episodios) {
        insereEpisodio(c.banco, numero);
        c.banco.executa("UPDATE FAA SET DATA = '" + std::string(momento) +
                        "' WHERE NUMFAA = " + std::to_string(numero));
    }
    Execucao& ex = c.gera(TipoFicha::AtendimentoIndividual);
    std::set<std::string> nomes;
    for (const auto& p : c.caminhosListados()) nomes.insert(std::filesystem::path(p).filename());
    EXPECT_EQ(nomes, (std::set<std::string>{"FichaAtendimentoIndividual_60.esus.xml",
                                            "FichaAtendimentoIndividual_62.esus.xml"}));
    // The column's own time of day is the moment of the care.
    EXPECT_EQ(valorDe(c.arquivo("FichaAtendimentoIndividual_60.esus.xml"), "dataAtendimento"),
              "1572564600000");
    EXPECT_TRUE(ex.LogExecucao.empty());
}

}  // namespace
}  // namespace cds
