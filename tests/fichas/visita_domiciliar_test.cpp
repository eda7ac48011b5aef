#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fichas/cenario.hpp"
#include "suporte/clinica.hpp"

namespace cds {
namespace {

using teste::CenarioFichas;
using teste::valorDe;
using teste::valoresDe;

class VisitaDomiciliarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        teste::insereClinica(c.banco);
        // The community agent, a technician whose occupation e-SUS AB knows as 223505.
        c.banco.executa(
            "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE, CODUNIDADE) VALUES "
            "(20, 'Ana Agente', '700000000000020', '322245', '456', '2345678')");
        insereCidadao(200, "'1950-03-01'", "'Masculino'", "'898000000000200'");
    }

    void insereCidadao(int codigo, const std::string& nascimento, const std::string& sexo,
                       const std::string& cartao) {
        c.banco.executa(
            "INSERT INTO pessoas (codigo, nome, dtnascimento, sexo, cartaosus, microarea) "
            "VALUES (" +
            std::to_string(codigo) + ", 'Cidadão " + std::to_string(codigo) + "', " + nascimento +
            ", " + sexo + ", " + cartao + ", 4)");
    }

    // A visit on 15/10/2019 by the agent.
    void insereVisita(int numero, const std::string& desfecho = "'1'",
                      const std::string& hora = "'12:00:00'", int pessoa = 200,
                      const std::string& unidade = "2345678",
                      const std::string& data = "2019-10-15", int profissional = 20) {
        c.banco.executa(
            "INSERT INTO FAA (CODUNIDADE, NUMFAA, DATA, HORA, CODPESSOA, CODPROFISSIONAL, "
            "ESPECIEATEND, DESFECHOVISITA) VALUES ('" +
            unidade + "', " + std::to_string(numero) + ", '" + data + "', " + hora + ", " +
            std::to_string(pessoa) + ", " + std::to_string(profissional) + ", 'VISITA', " +
            desfecho + ")");
    }

    void insereMotivo(int numero, int motivo, const std::string& unidade = "2345678") {
        c.banco.executa("INSERT INTO FAAMOTVISITAS (CODUNIDADE, NUMFAA, CODMOTIVO) VALUES ('" +
                        unidade + "', " + std::to_string(numero) + ", " + std::to_string(motivo) +
                        ")");
    }

    std::string visita(const std::string& nome) { return c.arquivo(nome + ".esus.xml"); }

    std::set<std::string> nomesListados() const {
        std::set<std::string> nomes;
        for (const auto& p : c.caminhosListados())
            nomes.insert(std::filesystem::path(p).filename().string());
        return nomes;
    }

    CenarioFichas c;
};

TEST_F(VisitaDomiciliarTest, FichaCompletaIgualAoEsperado) {
    insereVisita(987);
    for (int motivo : {26, 3, 5}) insereMotivo(987, motivo);
    Execucao& ex = c.gera(TipoFicha::VisitaDomiciliar);

    EXPECT_EQ(visita("FichaVisitaDomiciliar_987"),
              teste::leDadoEsperado("FichaVisitaDomiciliar_987.esus.xml"));
    const std::vector<ArquivoGerado> listados = {
        {ex.caminhoArquivo("FichaVisitaDomiciliar_987.esus.xml"), TipoFicha::VisitaDomiciliar}};
    EXPECT_EQ(ex.ListaArquivos, listados);
    EXPECT_EQ(c.operador.statusTextos(),
              std::vector<std::string>{"Gerando Fichas de Visita Domiciliar..."});
    EXPECT_TRUE(ex.LogExecucao.empty());
    EXPECT_EQ(teste::errosDeLeiaute(ex.ListaArquivos[0].caminho), "");
}

// Reason 26 is never written; a visit not made (2, 3) has none; a visit made without any
// gets 29; an outcome of blanks or none is a visit made.
TEST_F(VisitaDomiciliarTest, DesfechoEMotivos) {
    struct Caso {
        const char* desfecho;
        std::vector<int> motivos;
        std::vector<std::string> motivosEsperados;
        std::string desfechoEsperado;
    };
    const Caso casos[] = {
        {"'1'", {26, 3}, {"3"}, "1"}, {"'1'", {26}, {}, "1"}, {"'1'", {}, {"29"}, "1"},
        {"'2'", {4}, {}, "2"},        {"'3'", {}, {}, "3"},   {"NULL", {4, 5}, {"4", "5"}, "1"},
        {"'  '", {}, {"29"}, "1"},
    };
    int numero = 0;
    for (const auto& caso : casos) {
        insereVisita(++numero, caso.desfecho);
        for (int motivo : caso.motivos) insereMotivo(numero, motivo);
        // The same number in another unit is another visit: its reasons stay out.
        insereMotivo(numero, 7, "7654321");
    }
    c.gera(TipoFicha::VisitaDomiciliar);
    numero = 0;
    for (const auto& caso : casos) {
        const std::string ficha = visita("FichaVisitaDomiciliar_" + std::to_string(++numero));
        SCOPED_TRACE(caso.desfecho);
        EXPECT_EQ(valoresDe(ficha, "motivosVisita"), caso.motivosEsperados);
        EXPECT_EQ(valorDe(ficha, "desfecho"), caso.desfechoEsperado);
    }
}

// The citizen's lines and the shift. A birth date is a number: a citizen without one has no
// dtNascimento line, where an empty one would make the importer discard the visit.
TEST_F(VisitaDomiciliarTest, TurnoECidadao) {
    struct Caso {
        const char* hora;
        const char* nascimento;
        const char* sexo;
        const char* cartao;
        std::string turno;
        std::optional<std::string> dtNascimento;
        std::string sexoEsperado;
        std::optional<std::string> cnsCidadao;
    };
    const Caso casos[] = {
        {"'11:59:59'", "'1950-03-01'", "'MASCULINO'", "'898000000000301'", "1", "-626018399000",
         "0", "898000000000301"},
        {"'12:00:00'", "NULL", "'FEMININO'", "'89800000000030'", "2", std::nullopt, "1",
         std::nullopt},
        {"'17:59:00'", "'1990-01-01'", "''", "'8980000000003021'", "2", "631188001000", "1",
         std::nullopt},
        {"'18:00:00'", "'1990-01-01'", "NULL", "'89800000000030é'", "3", "631188001000", "1",
         "89800000000030é"},
        {"NULL", "'1990-01-01'", "'masculino'", "'898000000000305'", "1", "631188001000", "0",
         "898000000000305"},
    };
    int numero = 300;
    for (const auto& caso : casos) {
        insereCidadao(++numero, caso.nascimento, caso.sexo, caso.cartao);
        insereVisita(numero, "'1'", caso.hora, numero);
    }
    c.gera(TipoFicha::VisitaDomiciliar);
    numero = 300;
    for (const auto& caso : casos) {
        const std::string ficha = visita("FichaVisitaDomiciliar_" + std::to_string(++numero));
        SCOPED_TRACE(std::string(caso.hora) + " " + caso.cartao);
        EXPECT_EQ(valorDe(ficha, "turno"), caso.turno);
        EXPECT_EQ(valorDe(ficha, "dtNascimento"), caso.dtNascimento);
        EXPECT_EQ(valorDe(ficha, "sexo"), caso.sexoEsperado);
        EXPECT_EQ(valorDe(ficha, "cnsCidadao"), caso.cnsCidadao);
        EXPECT_EQ(valorDe(ficha, "numProntuario"), std::to_string(numero));
    }
}

// The home visit record's domain is the period's episodes whose kind of care is VISITA in any
// spelling; of those it takes the ones spelled VISITA, by a professional on file, of a citizen
// on file with a usable health card, and reports each other one with the condition it failed.
TEST_F(VisitaDomiciliarTest, SelecaoEMotivosDeFora) {
    // What is said of each visit: nullptr, written; "", not the home visit record's; else the
    // reason it is left out for.
    struct Caso {
        const char* cartao;
        const char* especie;
        int profissional;
        const char* fora;
    };
    const Caso casos[] = {
        {"'898000000000401'", "'VISITA'", 20, nullptr},
        {"'898000000000402'", "'VISITA '", 20, nullptr},
        {"NULL", "'VISITA'", 20, "cidadão sem Cartão SUS"},
        {"''", "'VISITA'", 20, "cidadão sem Cartão SUS"},
        {"'   '", "'VISITA'", 20, "cidadão sem Cartão SUS"},
        {"'x'", "'VISITA'", 20, "Cartão SUS do cidadão 'x' não é um número de cartão"},
        {"'X'", "'VISITA'", 20, "Cartão SUS do cidadão 'X' não é um número de cartão"},
        {"'0'", "'VISITA'", 20, "Cartão SUS do cidadão '0' não é um número de cartão"},
        {"'898000000000409'", "'visita'", 20,
         "espécie do atendimento 'visita' fora do padrão (deve ser VISITA)"},
        {"'898000000000410'", "' Visita'", 20,
         "espécie do atendimento 'Visita' fora do padrão (deve ser VISITA)"},
        {"'898000000000411'", "'VISITA'", 99, "profissional do atendimento não está no cadastro"},
        {"'898000000000412'", "'MEDICO'", 20, ""},
        {"'898000000000413'", "NULL", 20, ""},
    };
    int numero = 400;
    std::vector<std::string> deixados;
    for (const Caso& caso : casos) {
        insereCidadao(++numero, "'1990-01-01'", "'FEMININO'", caso.cartao);
        insereVisita(numero, "'1'", "'09:00:00'", numero, "2345678", "2019-10-15",
                     caso.profissional);
        c.banco.executa(std::string("UPDATE FAA SET ESPECIEATEND = ") + caso.especie +
                        " WHERE NUMFAA = " + std::to_string(numero));
        if (caso.fora && *caso.fora) deixados.push_back(std::to_string(numero) + "|" + caso.fora);
    }
    insereVisita(++numero, "'1'", "'09:00:00'", 999);
    deixados.push_back(std::to_string(numero) +
                       "|cidadão do atendimento não está no cadastro de pessoas");

    c.gera(TipoFicha::VisitaDomiciliar);
    EXPECT_EQ(nomesListados(), (std::set<std::string>{"FichaVisitaDomiciliar_401.esus.xml",
                                                      "FichaVisitaDomiciliar_402.esus.xml"}));
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::DeixadoDeFora), deixados);
}

// A typed professional code narrows the visits to theirs: another agent's visit is no visit
// of the run's, and is not reported.
TEST_F(VisitaDomiciliarTest, CodigoDoProfissionalSoSuasVisitas) {
    c.banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(21, 'Outro Agente', '700000000000021', '515105', '457')");
    insereVisita(410);
    insereVisita(411, "'1'", "'09:00:00'", 200, "2345678", "2019-10-15", 21);
    c.parametros.CodProf = "20";
    c.gera(TipoFicha::VisitaDomiciliar);
    EXPECT_EQ(nomesListados(), (std::set<std::string>{"FichaVisitaDomiciliar_410.esus.xml"}));
    EXPECT_TRUE(c.ocorrencias.de(SituacaoRegistro::DeixadoDeFora).empty());
}

// Whole days also where the clinic's date column is a TIMESTAMP.
TEST_F(VisitaDomiciliarTest, PeriodoDeDiasInteirosComColunaTimestamp) {
    c.banco.executa("ALTER TABLE FAA ALTER COLUMN DATA TYPE TIMESTAMP");
    insereVisita(60, "'1'", "'12:00:00'", 200, "2345678", "2019-10-31 23:30:00");
    insereVisita(61, "'1'", "'12:00:00'", 200, "2345678", "2019-11-01 00:00:00");
    insereVisita(62, "'1'", "'12:00:00'", 200, "2345678", "2019-10-01 00:00:00");
    insereVisita(63, "'1'", "'12:00:00'", 200, "2345678", "2019-09-30 23:59:59");
    c.gera(TipoFicha::VisitaDomiciliar);
    EXPECT_EQ(nomesListados(), (std::set<std::string>{"FichaVisitaDomiciliar_60.esus.xml",
                                                      "FichaVisitaDomiciliar_62.esus.xml"}));
    EXPECT_EQ(valorDe(visita("FichaVisitaDomiciliar_60"), "dataAtendimento"), "1572564600000");
}

// Visit numbers repeat across units: the second unit's visit gets a file of its own with its
// own reasons. A unit code that is not seven characters long takes the unit typed for the
// identifiers, but still finds the visit's reasons.
TEST_F(VisitaDomiciliarTest, MesmoNumeroEmDuasUnidades) {
    insereVisita(50, "'1'", "'09:00:00'", 200, "2345678", "2019-10-14");
    insereMotivo(50, 3);
    insereVisita(50, "'1'", "'09:00:00'", 200, "12345", "2019-10-16");
    insereMotivo(50, 4, "12345");
    c.parametros.Unidade = "7777777";
    Execucao& ex = c.gera(TipoFicha::VisitaDomiciliar);

    EXPECT_EQ(c.caminhosListados(),
              (std::vector<std::string>{ex.caminhoArquivo("FichaVisitaDomiciliar_50.esus.xml"),
                                        ex.caminhoArquivo("FichaVisitaDomiciliar_50_2.esus.xml")}));
    const std::string primeira = visita("FichaVisitaDomiciliar_50");
    const std::string segunda = visita("FichaVisitaDomiciliar_50_2");
    EXPECT_EQ(valoresDe(primeira, "motivosVisita"), std::vector<std::string>{"3"});
    EXPECT_EQ(valorDe(primeira, "uuidFicha"), "2345678-da1cb4c9-0008-0000-0000-050");
    EXPECT_EQ(valoresDe(segunda, "motivosVisita"), std::vector<std::string>{"4"});
    EXPECT_EQ(valorDe(segunda, "uuidFicha"), "7777777-da1cb4c9-0008-0000-0000-050");
    EXPECT_EQ(valorDe(segunda, "cnes"), "7777777");
}

// An agent whose team code is blanks has none: the message, no ine line, the file written.
TEST_F(VisitaDomiciliarTest, ProfissionalSemIneAvisaEGravaAssimMesmo) {
    c.banco.executa("UPDATE PROFISSIONAIS SET INE = '   ' WHERE CODIGO = 20");
    insereVisita(70);
    Execucao& ex = c.gera(TipoFicha::VisitaDomiciliar);
    const std::string ficha = visita("FichaVisitaDomiciliar_70");
    EXPECT_EQ(valorDe(ficha, "ine"), std::nullopt);
    EXPECT_EQ(valorDe(ficha, "ineDadoSerializado"), "");
    const std::vector<std::string> aviso = {"Ana Agente - INE não cadastrado!"};
    EXPECT_EQ(ex.ErrosCadastro, aviso);
    EXPECT_EQ(ex.LogExecucao, aviso);
    // After the status and the count of the kind's records.
    EXPECT_EQ(c.operador.chamadas[1], ChamadaOperador::progresso(0, 1));
    EXPECT_EQ(c.operador.chamadas[2], ChamadaOperador::erroCadastro(aviso[0]));
    EXPECT_EQ(c.operador.chamadas[3], ChamadaOperador::log(aviso[0]));
    // The message is the visit's warning in the report.
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::GravadoComAviso),
              std::vector<std::string>{"70|" + aviso[0]});
    ASSERT_EQ(ex.ListaArquivos.size(), 1u);
    EXPECT_EQ(teste::errosDeLeiaute(ex.ListaArquivos[0].caminho), "");
}

}  // namespace
}  // namespace cds
