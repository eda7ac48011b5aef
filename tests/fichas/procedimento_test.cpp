#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fichas/cenario.hpp"
#include "fichas/procedimentos_teste.hpp"
#include "suporte/clinica.hpp"

namespace cds {
namespace {

using teste::CenarioFichas;
using teste::insereProcedimento;
using teste::valorDe;

// A care episode of insereClinica's physician on 15/10/2019 whose sex is filled in, so that
// the procedures query takes it once it has a procedure.
void insereAtendimento(teste::BancoTeste& banco, int numero, const std::string& unidade = "2345678",
                       int profissional = 10) {
    banco.executa(
        "INSERT INTO FAA (CODUNIDADE, NUMFAA, DATA, HORA, CODPESSOA, SEXO, CODPROFISSIONAL, "
        "ESPECIEATEND, CARATER) VALUES ('" +
        unidade + "', " + std::to_string(numero) + ", '2019-10-15', '14:35:00', 100, 'Feminino', " +
        std::to_string(profissional) + ", 'ENFERMAGEM', '5')");
}

void insereTriagem(teste::BancoTeste& banco, int numero, const std::string& peso,
                   const std::string& altura, const std::string& temperatura) {
    banco.executa(
        "INSERT INTO TRIAGENS (CODUNIDADE, NUMFAA, PESO, ALTURA, TEMPERATURA) VALUES "
        "('2345678', " +
        std::to_string(numero) + ", " + peso + ", " + altura + ", " + temperatura + ")");
}

// The text between two marks of a record, the marks left out; empty when one is missing.
std::string trecho(const std::string& registro, const std::string& depoisDe,
                   const std::string& antesDe) {
    const auto inicio = registro.find(depoisDe);
    if (inicio == std::string::npos) return {};
    const auto fim = registro.find(antesDe, inicio + depoisDe.size());
    if (fim == std::string::npos) return {};
    return registro.substr(inicio + depoisDe.size(), fim - inicio - depoisDe.size());
}

std::string linhas(const std::vector<std::string>& texto) {
    std::string r;
    for (const std::string& l : texto) r += l + "\r\n";
    return r;
}

class ProcedimentoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        teste::insereClinica(c.banco);
        teste::insereCatalogoProcedimentos(c.banco);
    }

    std::string ficha(int numero) const {
        return c.arquivo("FichaProcedimento_" + std::to_string(numero) + ".esus.xml");
    }

    bool temFicha(int numero) const {
        return std::filesystem::exists(
            c.pasta.caminho() / "arquivosXML" /
            ("FichaProcedimento_" + std::to_string(numero) + ".esus.xml"));
    }

    std::vector<std::string> listados() const {
        std::vector<std::string> nomes;
        for (const auto& p : c.caminhosListados())
            nomes.push_back(std::filesystem::path(p).filename());
        return nomes;
    }

    CenarioFichas c;
};

TEST_F(ProcedimentoTest, FichaCompletaIgualAoEsperado) {
    insereAtendimento(c.banco, 345);
    insereTriagem(c.banco, 345, "72.5", "175", "36.5");
    for (const char* codigo : {"0301100039", "0401010023", "0214010082", "0214010015", "0101040024",
                               "0201020041", "0301100012"})
        insereProcedimento(c.banco, 345, codigo);
    // The same episode number in another unit is another episode.
    insereProcedimento(c.banco, 345, "0401010023", "1", 10, "7654321");

    Execucao& ex = c.gera(TipoFicha::Procedimento);

    EXPECT_EQ(ficha(345), teste::leDadoEsperado("FichaProcedimento_345.esus.xml"));
    const std::vector<ArquivoGerado> esperados = {
        {ex.caminhoArquivo("FichaProcedimento_345.esus.xml"), TipoFicha::Procedimento}};
    EXPECT_EQ(ex.ListaArquivos, esperados);
    EXPECT_EQ(c.operador.statusTextos(),
              std::vector<std::string>{"Gerando Fichas de Procedimentos..."});
    EXPECT_TRUE(ex.LogExecucao.empty());
    EXPECT_EQ(
        teste::errosDeLeiaute(c.pasta.caminho() / "arquivosXML" / "FichaProcedimento_345.esus.xml"),
        "");
}

// The two passes over one episode's procedures, and the totals they and the triage count. An
// episode with nothing for either list gets no file and no entry, whatever its triage.
TEST_F(ProcedimentoTest, PassesDosProcedimentosETotais) {
    struct Caso {
        std::vector<std::string> codigos;
        const char *peso, *altura, *temperatura;        // no triage row when peso is null
        std::optional<std::vector<std::string>> corpo;  // after turno; none: no file
        std::vector<std::string> totais;
    };
    const Caso casos[] = {
        // Codes outside both passes: a primary-care code of another family, one in lower
        // case, one without any code.
        {{"0202010295", "0000000001", "0301100012", "0101020058"},
         "72",
         "170",
         "36",
         std::nullopt,
         {}},
        // Written, but counted in no total.
        {{"0101040024"},
         nullptr,
         nullptr,
         nullptr,
         {{"<outrosSiaProcedimentos>0101040024</outrosSiaProcedimentos>"}},
         {}},
        // A repeated code is written and counted once per row, in both lists.
        {{"0301100039", "0301100039"},
         nullptr,
         nullptr,
         nullptr,
         {{"<procedimentos>ABPG033</procedimentos>", "<procedimentos>ABPG033</procedimentos>",
           "<outrosSiaProcedimentos>0301100039</outrosSiaProcedimentos>",
           "<outrosSiaProcedimentos>0301100039</outrosSiaProcedimentos>"}},
         {"<numTotalAfericaoPa>2</numTotalAfericaoPa>"}},
        // The first pass in the database's order, then the second.
        {{"0214010082", "0214010015", "0401010023"},
         nullptr,
         nullptr,
         nullptr,
         {{"<procedimentos>ABEX004</procedimentos>", "<procedimentos>ABPG019</procedimentos>",
           "<outrosSiaProcedimentos>0214010015</outrosSiaProcedimentos>",
           "<outrosSiaProcedimentos>0401010023</outrosSiaProcedimentos>"}},
         {"<numTotalCurativoSimples>1</numTotalCurativoSimples>",
          "<numTotalGlicemiaCapilar>1</numTotalGlicemiaCapilar>"}},
        // Only measurements above 0 count; a null one reads as 0.
        {{"0201020041"},
         "0",
         "NULL",
         "36.2",
         {{"<outrosSiaProcedimentos>0201020041</outrosSiaProcedimentos>"}},
         {"<numTotalAfericaoTemperatura>1</numTotalAfericaoTemperatura>",
          "<numTotalColetaMaterialParaExameLaboratorial>1</"
          "numTotalColetaMaterialParaExameLaboratorial>"}},
        {{"0214010082"},
         "0.1",
         "1.6",
         "0",
         {{"<procedimentos>ABEX004</procedimentos>"}},
         {"<numTotalMedicaoAltura>1</numTotalMedicaoAltura>",
          "<numTotalMedicaoPeso>1</numTotalMedicaoPeso>"}},
    };
    int numero = 0;
    for (const Caso& caso : casos) {
        insereAtendimento(c.banco, ++numero);
        for (const std::string& codigo : caso.codigos) insereProcedimento(c.banco, numero, codigo);
        if (caso.peso) insereTriagem(c.banco, numero, caso.peso, caso.altura, caso.temperatura);
    }
    Execucao& ex = c.gera(TipoFicha::Procedimento);
    // An episode with nothing this form sends is none of its records: its procedures (exams,
    // dental ones) go with the records they belong to, so the report does not call it left out.
    EXPECT_TRUE(c.ocorrencias.de(SituacaoRegistro::DeixadoDeFora).empty());
    numero = 0;
    std::size_t fichas = 0;
    for (const Caso& caso : casos) {
        ++numero;
        SCOPED_TRACE(numero);
        ASSERT_EQ(temFicha(numero), caso.corpo.has_value());
        if (!caso.corpo) continue;
        ++fichas;
        const std::string f = ficha(numero);
        EXPECT_EQ(trecho(f, "<turno>2</turno>\r\n", "</atendProcedimentos>"), linhas(*caso.corpo));
        EXPECT_EQ(trecho(f, "<tpCdsOrigem>3</tpCdsOrigem>\r\n",
                         "\r\n</ns4:fichaProcedimentoMasterTransport>"),
                  linhas(caso.totais));
    }
    EXPECT_EQ(ex.ListaArquivos.size(), fichas);
}

// The citizen's lines: the card number only when it looks like one, as read; the sex in upper
// case but not trimmed; the shift by the hour, none without one.
TEST_F(ProcedimentoTest, CartaoSexoETurno) {
    struct Caso {
        const char* cartao;
        const char* sexo;
        const char* hora;
        std::optional<std::string> cnsCidadao;
        std::string sexoEsperado;
        std::optional<std::string> turno;
    };
    const Caso casos[] = {
        {"'898000000000002'", "'masculino'", "'11:59:59'", "898000000000002", "0", "1"},
        {"' 898000000000002 '", "'MASCULINO'", "'12:00:00'", " 898000000000002 ", "0", "2"},
        {"'89800000000000X'", "' MASCULINO'", "'17:59:00'", std::nullopt, "1", "2"},
        {"'89800000000000x'", "'Feminino'", "'18:00:00'", std::nullopt, "1", "3"},
        {"'89800000000000'", "NULL", "'00:00:00'", std::nullopt, "1", "1"},
        {"'8980000000000023'", "''", "NULL", std::nullopt, "1", std::nullopt},
        {"NULL", "'Masculino'", "'23:59:00'", std::nullopt, "0", "3"},
    };
    int numero = 0;
    for (const Caso& caso : casos) {
        ++numero;
        const std::string pessoa = std::to_string(200 + numero);
        c.banco.executa(
            "INSERT INTO pessoas (codigo, nome, dtnascimento, sexo, cartaosus) VALUES (" + pessoa +
            ", 'Cidadão', '1990-01-01', " + caso.sexo + ", " + caso.cartao + ")");
        insereAtendimento(c.banco, numero);
        c.banco.executa("UPDATE FAA SET CODPESSOA = " + pessoa + ", HORA = " + caso.hora +
                        " WHERE NUMFAA = " + std::to_string(numero));
        insereProcedimento(c.banco, numero, "0101040024");
    }
    c.gera(TipoFicha::Procedimento);
    numero = 0;
    for (const Caso& caso : casos) {
        const std::string f = ficha(++numero);
        SCOPED_TRACE(std::string(caso.cartao) + " " + caso.sexo + " " + caso.hora);
        EXPECT_EQ(valorDe(f, "cnsCidadao"), caso.cnsCidadao);
        EXPECT_EQ(valorDe(f, "sexo"), caso.sexoEsperado);
        EXPECT_EQ(valorDe(f, "turno"), caso.turno);
    }
    // Without an hour the care date stands for 10:00:01 of its day.
    EXPECT_EQ(valorDe(ficha(6), "dataAtendimento"), "1571133601000");
}

// Two triage rows of one episode are two rows of the query that rewrite its one file; the
// same number in another unit is another record, which gets a file of its own.
TEST_F(ProcedimentoTest, VariasTriagensEMesmoNumeroEmDuasUnidades) {
    insereAtendimento(c.banco, 50);
    insereTriagem(c.banco, 50, "70", "170", "36");
    insereTriagem(c.banco, 50, "71", "NULL", "NULL");
    insereProcedimento(c.banco, 50, "0301100039");
    insereAtendimento(c.banco, 50, "7654321");
    c.banco.executa("UPDATE FAA SET DATA = '2019-10-16' WHERE CODUNIDADE = '7654321'");
    insereProcedimento(c.banco, 50, "0401010023", "1", 10, "7654321");
    Execucao& ex = c.gera(TipoFicha::Procedimento);
    const std::string primeiro = ex.caminhoArquivo("FichaProcedimento_50.esus.xml");
    const std::string segundo = ex.caminhoArquivo("FichaProcedimento_50_2.esus.xml");
    EXPECT_EQ(c.caminhosListados(), (std::vector<std::string>{primeiro, primeiro, segundo}));
    EXPECT_EQ(valorDe(ficha(50), "outrosSiaProcedimentos"), "0301100039");
    const std::string outra = c.arquivo("FichaProcedimento_50_2.esus.xml");
    EXPECT_EQ(valorDe(outra, "outrosSiaProcedimentos"), "0401010023");
    EXPECT_EQ(valorDe(outra, "uuidFicha"), "7654321-da1cb4c9-0007-0000-0000-050");
}

// A typed professional code restricts the procedures, not the episodes: an episode of another
// professional keeps the typed one's procedures, and one left with none gets no file and is
// no record of the run's.
TEST_F(ProcedimentoTest, CodigoDoProfissionalSoNosProcedimentos) {
    c.banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(11, 'Enf. Paulo', '700000000000011', '225142', '124')");
    insereAtendimento(c.banco, 1);
    insereProcedimento(c.banco, 1, "0301100039", "1", 10);
    insereProcedimento(c.banco, 1, "0401010023", "1", 11);
    insereAtendimento(c.banco, 2, "2345678", 11);
    insereProcedimento(c.banco, 2, "0214010015", "1", 10);
    insereAtendimento(c.banco, 3);
    insereProcedimento(c.banco, 3, "0201020041", "1", 11);
    insereAtendimento(c.banco, 4);
    insereProcedimento(c.banco, 4, "0301100012", "1", 10);
    c.parametros.CodProf = "10";
    c.gera(TipoFicha::Procedimento);
    EXPECT_EQ(listados(), (std::vector<std::string>{"FichaProcedimento_1.esus.xml",
                                                    "FichaProcedimento_2.esus.xml"}));
    // Only the typed professional's procedures can be sent: an episode with none of them is
    // none of this run's.
    EXPECT_TRUE(c.ocorrencias.de(SituacaoRegistro::DeixadoDeFora).empty());
    EXPECT_EQ(trecho(ficha(1), "<turno>2</turno>\r\n", "</atendProcedimentos>"),
              linhas({"<procedimentos>ABPG033</procedimentos>",
                      "<outrosSiaProcedimentos>0301100039</outrosSiaProcedimentos>"}));
    EXPECT_EQ(trecho(ficha(2), "<turno>2</turno>\r\n", "</atendProcedimentos>"),
              linhas({"<outrosSiaProcedimentos>0214010015</outrosSiaProcedimentos>"}));
    // The header keeps the episode's professional.
    EXPECT_EQ(valorDe(ficha(2), "profissionalCNS"), "700000000000011");
}

// The procedures record's domain is the period's episodes with procedures, in whole days even
// where DATA is a TIMESTAMP; of those it takes the ones whose professional and citizen are on
// file, neither 7 nor 8, with the episode's sex, of citizens born after 01/01/1900 and not
// after the episode, in a unit on file with a name that is no CRAS, and reports each other one
// with the condition it failed. Episodes outside the domain are not reported.
TEST_F(ProcedimentoTest, SelecaoDosAtendimentosEMotivosDeFora) {
    c.banco.executa("ALTER TABLE FAA ALTER COLUMN DATA TYPE TIMESTAMP");
    c.banco.executa("INSERT INTO unidades (codigo, nome) VALUES ('3333333', NULL)");
    const std::pair<int, const char*> nascimentos[] = {
        {101, "NULL"}, {102, "'1900-01-01'"}, {103, "'1900-01-02'"}, {104, "'2019-10-16'"}};
    for (const auto& [codigo, nascimento] : nascimentos)
        c.banco.executa("INSERT INTO pessoas (codigo, nome, dtnascimento, sexo) VALUES (" +
                        std::to_string(codigo) + ", 'Cidadão', " + nascimento + ", 'Feminino')");
    // What is said of each episode: nullptr, written; "", not the procedures record's; else
    // the reason it is left out for.
    const struct {
        int numero;
        const char* mudanca;
        const char* fora;
    } atendimentos[] = {
        {1, "DATA = '2019-10-31 23:30:00'", nullptr},  // late on the last day
        {2, "DATA = '2019-10-01 00:00:00'", nullptr},  // the first day from midnight
        {3, "CODPESSOA = 103", nullptr},               // born the day after 01/01/1900
        {4, "CARATER = NULL", nullptr},
        {5, "DATA = '2019-11-01 00:00:00'", ""},  // the day after
        {6, "DATA = '2019-09-30 23:59:59'", ""},  // the day before
        {7, "CARATER = '7'", "caráter do atendimento 7 (não se exporta)"},
        {8, "CARATER = '8'", "caráter do atendimento 8 (não se exporta)"},
        {9, "SEXO = ''", "atendimento sem o sexo do cidadão"},
        {10, "SEXO = NULL", "atendimento sem o sexo do cidadão"},
        {11, "CODPESSOA = 101", "cidadão sem data de nascimento"},
        {12, "CODPESSOA = 102", "data de nascimento 01/01/1900 (deve ser depois de 01/01/1900)"},
        {13, "CODPESSOA = 104", "data de nascimento 16/10/2019 depois da data do atendimento"},
        {14, "CODUNIDADE = '1111111'", "unidade de assistência social (CRAS), que não se exporta"},
        {15, "CODUNIDADE = '3333333'", "unidade sem nome no cadastro de unidades"},
        {17, "CODUNIDADE = '9999999'", "unidade não está no cadastro de unidades"},
        {18, "CODPROFISSIONAL = 99", "profissional do atendimento não está no cadastro"},
        {19, "CODPESSOA = 999", "cidadão do atendimento não está no cadastro de pessoas"},
    };
    std::vector<std::string> deixados;
    for (const auto& a : atendimentos) {
        insereAtendimento(c.banco, a.numero);
        c.banco.executa(std::string("UPDATE FAA SET ") + a.mudanca +
                        " WHERE NUMFAA = " + std::to_string(a.numero));
        c.banco.executa(
            "INSERT INTO FAAPROCED (CODUNIDADE, NUMFAA, CODPROCEDUNIF) SELECT "
            "CODUNIDADE, NUMFAA, '0101040024' FROM FAA WHERE NUMFAA = " +
            std::to_string(a.numero));
        if (a.fora && *a.fora) deixados.push_back(std::to_string(a.numero) + "|" + a.fora);
    }
    insereAtendimento(c.banco, 16);  // no procedure at all: no procedures record's
    Execucao& ex = c.gera(TipoFicha::Procedimento);
    std::vector<std::string> nomes = listados();
    ASSERT_EQ(nomes.size(), 4u);
    std::sort(nomes.begin() + 1, nomes.end() - 1);
    // By date: the first day, the two of the 15th in the server's order, the last day.
    EXPECT_EQ(nomes, (std::vector<std::string>{
                         "FichaProcedimento_2.esus.xml", "FichaProcedimento_3.esus.xml",
                         "FichaProcedimento_4.esus.xml", "FichaProcedimento_1.esus.xml"}));
    // All of the 15th, in the order of their numbers.
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::DeixadoDeFora), deixados);
    EXPECT_EQ(valorDe(ficha(1), "dataAtendimento"), "1572564600000");
    EXPECT_TRUE(ex.LogExecucao.empty());
}

// A professional without a team code, none or blanks: no ine in the header, the message with
// the professional's name once per episode, the file written all the same.
TEST_F(ProcedimentoTest, ProfissionalSemIneAvisaEGravaAssimMesmo) {
    c.banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(11, 'Enf. Paulo', '700000000000011', '225142', NULL)");
    c.banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(12, 'Enf. Rita', '700000000000012', '225142', '   ')");
    insereAtendimento(c.banco, 1, "2345678", 11);
    insereAtendimento(c.banco, 2, "2345678", 12);
    c.banco.executa("UPDATE FAA SET DATA = '2019-10-16' WHERE NUMFAA = 2");
    for (int numero : {1, 2}) insereProcedimento(c.banco, numero, "0301100039");
    Execucao& ex = c.gera(TipoFicha::Procedimento);
    for (int numero : {1, 2}) {
        EXPECT_EQ(valorDe(ficha(numero), "ine"), std::nullopt) << numero;
        EXPECT_EQ(valorDe(ficha(numero), "ineDadoSerializado"), std::nullopt) << numero;
    }
    const std::vector<std::string> aviso = {"Enf. Paulo - INE não cadastrado!",
                                            "Enf. Rita - INE não cadastrado!"};
    EXPECT_EQ(ex.ErrosCadastro, aviso);
    EXPECT_EQ(ex.LogExecucao, aviso);
    EXPECT_EQ(ex.ListaArquivos.size(), 2u);
    // Each message is its own record's warning in the report.
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::GravadoComAviso),
              (std::vector<std::string>{"1|" + aviso[0], "2|" + aviso[1]}));
}

}  // namespace
}  // namespace cds
