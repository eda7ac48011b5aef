#include <gtest/gtest.h>

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
using teste::insereAtendimentoOdontologico;
using teste::insereProcedimento;
using teste::valorDe;

class AtendimentoOdontologicoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        teste::insereClinica(c.banco);
        teste::insereDentista(c.banco);
        teste::insereCatalogoProcedimentos(c.banco);
    }

    std::string ficha(int numero) const {
        return c.arquivo("FichaAtendimentoOdontologico_" + std::to_string(numero) + ".esus.xml");
    }

    std::filesystem::path caminho(int numero) const {
        return c.pasta.caminho() / "arquivosXML" /
               ("FichaAtendimentoOdontologico_" + std::to_string(numero) + ".esus.xml");
    }

    // The names of the files the run listed, in order.
    std::vector<std::string> listados() const {
        std::vector<std::string> nomes;
        for (const auto& p : c.caminhosListados())
            nomes.push_back(std::filesystem::path(p).filename());
        return nomes;
    }

    CenarioFichas c;
};

TEST_F(AtendimentoOdontologicoTest, FichaCompletaIgualAoEsperado) {
    insereAtendimentoOdontologico(c.banco, 345);
    c.banco.executa("UPDATE FAA SET GESTANTE = 'S', PCD = 'S' WHERE NUMFAA = 345");
    for (int fornecimento : {1, 2})
        c.banco.executa(
            "INSERT INTO FAAFORNECIMENTOS (CODUNIDADE, NUMFAA, CODFORNEC) VALUES ('2345678', "
            "345, " +
            std::to_string(fornecimento) + ")");
    c.banco.executa(
        "INSERT INTO FAAVIGBUCAL (CODUNIDADE, NUMFAA, CODVIGBUCAL) VALUES ('2345678', 345, 5)");
    insereProcedimento(c.banco, 345, "0101020058", "1", 20);
    insereProcedimento(c.banco, 345, "0307010031", "2", 20);
    // The same episode number in another unit is another episode: its rows stay out.
    c.banco.executa(
        "INSERT INTO FAAFORNECIMENTOS (CODUNIDADE, NUMFAA, CODFORNEC) VALUES ('7654321', 345, 3)");
    c.banco.executa(
        "INSERT INTO FAAVIGBUCAL (CODUNIDADE, NUMFAA, CODVIGBUCAL) VALUES ('7654321', 345, 6)");
    insereProcedimento(c.banco, 345, "0414020138", "1", 20, "7654321");

    Execucao& ex = c.gera(TipoFicha::AtendimentoOdontologico);

    EXPECT_EQ(ficha(345), teste::leDadoEsperado("FichaAtendimentoOdontologico_345.esus.xml"));
    const std::vector<ArquivoGerado> esperados = {
        {ex.caminhoArquivo("FichaAtendimentoOdontologico_345.esus.xml"),
         TipoFicha::AtendimentoOdontologico}};
    EXPECT_EQ(ex.ListaArquivos, esperados);
    EXPECT_EQ(c.operador.statusTextos(),
              std::vector<std::string>{"Gerando Fichas de Atendimento Odontológico..."});
    EXPECT_TRUE(ex.LogExecucao.empty());
    EXPECT_EQ(teste::errosDeLeiaute(caminho(345)), "");
}

// The kind of care comes from CARATER when it is one of the four codes the form takes, else 5;
// the kind of consultation goes with any character but 4.
TEST_F(AtendimentoOdontologicoTest, TipoDeAtendimentoETipoDeConsultaPeloCarater) {
    struct Caso {
        const char* carater;
        const char* tipoConsulta;
        std::optional<std::string> tipoAtendimento, tiposConsultaOdonto;
    };
    const Caso casos[] = {
        {"'2'", "'1'", "2", "1"},          {"'4'", "'1'", "4", std::nullopt},
        {"'5'", "'3'", "5", "3"},          {"'6'", "'2'", "6", "2"},
        {"'1'", "'1'", "5", "1"},          {"'3'", "'2'", "5", "2"},
        {"'9'", "'1'", "5", "1"},          {"NULL", "'1'", "5", "1"},
        {"''", "'1'", "5", "1"},           {"'24'", "'1'", "5", "1"},
        {"' 2'", "'1'", "5", "1"},         {"'2'", "NULL", "2", std::nullopt},
        {"'2'", "' '", "2", std::nullopt},
    };
    int numero = 0;
    for (const Caso& caso : casos) {
        insereAtendimentoOdontologico(c.banco, ++numero);
        c.banco.executa(std::string("UPDATE FAA SET CARATER = ") + caso.carater +
                        ", TIPOCONSULTAODONTO = " + caso.tipoConsulta +
                        " WHERE NUMFAA = " + std::to_string(numero));
    }
    c.gera(TipoFicha::AtendimentoOdontologico);
    numero = 0;
    for (const Caso& caso : casos) {
        const std::string f = ficha(++numero);
        SCOPED_TRACE(std::string(caso.carater) + " " + caso.tipoConsulta);
        EXPECT_EQ(valorDe(f, "tipoAtendimento"), caso.tipoAtendimento);
        EXPECT_EQ(valorDe(f, "tiposConsultaOdonto"), caso.tiposConsultaOdonto);
    }
}

// The shift by the hour, none without one; the sex trimmed, in any case.
TEST_F(AtendimentoOdontologicoTest, TurnoESexo) {
    struct Caso {
        const char* hora;
        const char* sexo;
        std::optional<std::string> turno;
        std::string sexoEsperado;
    };
    const Caso casos[] = {
        {"'11:59:59'", "' Masculino '", "1", "0"}, {"'12:00:00'", "'MASCULINO'", "2", "0"},
        {"'17:59:00'", "'masculino'", "2", "0"},   {"'18:00:00'", "'Feminino'", "3", "1"},
        {"'00:00:00'", "NULL", "1", "1"},          {"NULL", "''", std::nullopt, "1"},
    };
    int numero = 0;
    for (const Caso& caso : casos) {
        ++numero;
        const std::string pessoa = std::to_string(200 + numero);
        c.banco.executa("INSERT INTO pessoas (codigo, nome, dtnascimento, sexo) VALUES (" + pessoa +
                        ", 'Cidadão', '1990-01-01', " + caso.sexo + ")");
        insereAtendimentoOdontologico(c.banco, numero, caso.hora);
        c.banco.executa("UPDATE FAA SET CODPESSOA = " + pessoa +
                        " WHERE NUMFAA = " + std::to_string(numero));
    }
    c.gera(TipoFicha::AtendimentoOdontologico);
    numero = 0;
    for (const Caso& caso : casos) {
        const std::string f = ficha(++numero);
        SCOPED_TRACE(std::string(caso.hora) + " " + caso.sexo);
        EXPECT_EQ(valorDe(f, "turno"), caso.turno);
        EXPECT_EQ(valorDe(f, "sexo"), caso.sexoEsperado);
    }
    // Without an hour the care date stands for 10:00:01 of its day.
    EXPECT_EQ(valorDe(ficha(6), "dataAtendimento"), "1571133601000");
}

// The referral is the conduct's e-SUS AB code, 11 without one; the two marks go only for "S".
TEST_F(AtendimentoOdontologicoTest, EncaminhamentoEMarcas) {
    c.banco.executa("INSERT INTO CONDUTAS (codigo, descricao, CODIGOESUS) VALUES (2, 'x', '  ')");
    c.banco.executa("INSERT INTO CONDUTAS (codigo, descricao, CODIGOESUS) VALUES (3, 'y', '4')");
    struct Caso {
        const char* conduta;
        const char* marca;
        std::string tiposEncamOdonto;
        bool marcado;
    };
    const Caso casos[] = {
        {"3", "'S'", "4", true},    {"1", "'s'", "1", false},  {"NULL", "'N'", "11", false},
        {"2", "NULL", "11", false}, {"99", "''", "11", false},
    };
    int numero = 0;
    for (const Caso& caso : casos) {
        insereAtendimentoOdontologico(c.banco, ++numero);
        c.banco.executa(std::string("UPDATE FAA SET CODCONDUTA = ") + caso.conduta +
                        ", GESTANTE = " + caso.marca + ", PCD = " + caso.marca +
                        " WHERE NUMFAA = " + std::to_string(numero));
    }
    c.gera(TipoFicha::AtendimentoOdontologico);
    numero = 0;
    for (const Caso& caso : casos) {
        const std::string f = ficha(++numero);
        SCOPED_TRACE(std::string(caso.conduta) + " " + caso.marca);
        EXPECT_EQ(valorDe(f, "tiposEncamOdonto"), caso.tiposEncamOdonto);
        EXPECT_EQ(valorDe(f, "gestante").has_value(), caso.marcado);
        EXPECT_EQ(valorDe(f, "necessidadesEspeciais").has_value(), caso.marcado);
    }
}

// Quantities are read as text in their shortest form; an empty quantity or code has no line,
// where an empty number would make the importer discard the record.
TEST_F(AtendimentoOdontologicoTest, QuantidadesECodigosVaziosFicamDeFora) {
    c.banco.executa("ALTER TABLE FAAPROCED ALTER COLUMN QUANTIDADE TYPE NUMERIC(18,2)");
    insereAtendimentoOdontologico(c.banco, 7);
    insereProcedimento(c.banco, 7, "0101020058", "2.00", 20);
    insereProcedimento(c.banco, 7, "0307010031", "NULL", 20);
    for (const char* fornecimento : {"NULL", "1"})
        c.banco.executa(
            std::string("INSERT INTO FAAFORNECIMENTOS (CODUNIDADE, NUMFAA, CODFORNEC) VALUES "
                        "('2345678', 7, ") +
            fornecimento + ")");
    c.banco.executa(
        "INSERT INTO FAAVIGBUCAL (CODUNIDADE, NUMFAA, CODVIGBUCAL) VALUES ('2345678', 7, NULL)");
    c.gera(TipoFicha::AtendimentoOdontologico);
    const std::string f = ficha(7);
    const std::string esperado =
        "<tiposEncamOdonto>1</tiposEncamOdonto>\r\n"
        "<tiposFornecimOdonto>1</tiposFornecimOdonto>\r\n"
        "<tiposConsultaOdonto>1</tiposConsultaOdonto>\r\n"
        "<procedimentosRealizados>\r\n<coMsProcedimento>ABPO005</coMsProcedimento>\r\n"
        "<quantidade>2</quantidade>\r\n</procedimentosRealizados>\r\n"
        "<outrosSiaProcedimentos>\r\n<coMsProcedimento>0307010031</coMsProcedimento>\r\n"
        "</outrosSiaProcedimentos>\r\n<turno>";
    EXPECT_NE(f.find(esperado), std::string::npos) << f;
    EXPECT_EQ(teste::errosDeLeiaute(caminho(7)), "");
}

// The card number goes as read, also when empty, escaped for XML.
TEST_F(AtendimentoOdontologicoTest, CartaoSusComoLido) {
    const std::pair<const char*, std::string> casos[] = {
        {"NULL", ""}, {"' 898000000000002 '", " 898000000000002 "}, {"'12&3'", "12&amp;3"}};
    int numero = 0;
    for (const auto& [cartao, esperado] : casos) {
        ++numero;
        c.banco.executa(
            "INSERT INTO pessoas (codigo, nome, dtnascimento, sexo, cartaosus) VALUES (" +
            std::to_string(200 + numero) + ", 'Cidadão', '1990-01-01', 'Feminino', " + cartao +
            ")");
        insereAtendimentoOdontologico(c.banco, numero);
        c.banco.executa("UPDATE FAA SET CODPESSOA = " + std::to_string(200 + numero) +
                        " WHERE NUMFAA = " + std::to_string(numero));
    }
    c.gera(TipoFicha::AtendimentoOdontologico);
    numero = 0;
    for (const auto& [cartao, esperado] : casos) {
        EXPECT_EQ(valorDe(ficha(++numero), "cnsCidadao"), esperado) << cartao;
        EXPECT_EQ(teste::errosDeLeiaute(caminho(numero)), "") << cartao;
    }
}

// A dentist without a team code, none or blanks: the empty ineDadoSerializado, no ine in the
// header, one message per episode naming the code the operator typed, and the file written.
TEST_F(AtendimentoOdontologicoTest, DentistaSemIneAvisaEGravaAssimMesmo) {
    teste::insereDentista(c.banco, 21, "NULL");
    teste::insereDentista(c.banco, 22, "'   '");
    insereAtendimentoOdontologico(c.banco, 1, "'09:00:00'", "2345678", 21);
    insereAtendimentoOdontologico(c.banco, 2, "'10:00:00'", "2345678", 22);
    Execucao& ex = c.gera(TipoFicha::AtendimentoOdontologico);
    for (int numero : {1, 2}) {
        const std::string f = ficha(numero);
        EXPECT_EQ(valorDe(f, "ineDadoSerializado"), "") << numero;
        EXPECT_EQ(valorDe(f, "ine"), std::nullopt) << numero;
    }
    const std::vector<std::string> aviso(2, " - INE não cadastrado!");
    EXPECT_EQ(ex.ErrosCadastro, aviso);
    EXPECT_EQ(ex.LogExecucao, aviso);
    EXPECT_EQ(ex.ListaArquivos.size(), 2u);
    // Each message is its own record's warning in the report.
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::GravadoComAviso),
              (std::vector<std::string>{"1|" + aviso[0], "2|" + aviso[1]}));

    CenarioFichas comCodigo;
    teste::insereClinica(comCodigo.banco);
    teste::insereDentista(comCodigo.banco, 22, "NULL");
    insereAtendimentoOdontologico(comCodigo.banco, 3, "'09:00:00'", "2345678", 22);
    comCodigo.parametros.CodProf = "22";
    Execucao& ex22 = comCodigo.gera(TipoFicha::AtendimentoOdontologico);
    EXPECT_EQ(ex22.LogExecucao, std::vector<std::string>{"22 - INE não cadastrado!"});
    EXPECT_EQ(ex22.ErrosCadastro, std::vector<std::string>{"22 - INE não cadastrado!"});
}

// A typed professional code selects that dentist's episodes; the episode's supplies,
// surveillance and procedures stay whole, whoever recorded them.
TEST_F(AtendimentoOdontologicoTest, CodigoDoProfissionalSoNaSelecaoDosAtendimentos) {
    teste::insereDentista(c.banco, 21);
    insereAtendimentoOdontologico(c.banco, 1, "'09:00:00'", "2345678", 20);
    insereAtendimentoOdontologico(c.banco, 2, "'09:00:00'", "2345678", 21);
    insereProcedimento(c.banco, 1, "0101020058", "1", 21);
    insereProcedimento(c.banco, 1, "0307010031", "1", 10);
    c.parametros.CodProf = "20";
    c.gera(TipoFicha::AtendimentoOdontologico);
    EXPECT_EQ(listados(), std::vector<std::string>{"FichaAtendimentoOdontologico_1.esus.xml"});
    const std::string f = ficha(1);
    EXPECT_NE(f.find("<coMsProcedimento>ABPO005</coMsProcedimento>"), std::string::npos);
    EXPECT_NE(f.find("<coMsProcedimento>0307010031</coMsProcedimento>"), std::string::npos);
}

// The dental record's domain is the period's episodes of a dentist (the occupation's
// description, upper-cased, has DENTISTA), in whole days even where DATA is a TIMESTAMP; of
// those it takes the ones of citizens on file with a birth date, in a unit on file with a name
// that is no CRAS, neither 7 nor 8, in date order, and reports each other one with the
// condition it failed. Episodes outside the domain are no dental record's, and not reported.
TEST_F(AtendimentoOdontologicoTest, SelecaoDosAtendimentosEMotivosDeFora) {
    c.banco.executa("ALTER TABLE FAA ALTER COLUMN DATA TYPE TIMESTAMP");
    c.banco.executa("INSERT INTO unidades (codigo, nome) VALUES ('3333333', NULL)");
    c.banco.executa("INSERT INTO pessoas (codigo, nome, sexo) VALUES (101, 'Sem data', 'X')");
    // What is said of each episode: nullptr, written; "", not the dental record's; else the
    // reason it is left out for.
    const struct {
        int numero;
        const char* mudanca;
        const char* fora;
    } atendimentos[] = {
        {1, "DATA = '2019-10-31 23:30:00'", nullptr},  // late on the last day
        {2, "DATA = '2019-10-01 00:00:00'", nullptr},  // the first day from midnight
        {4, "DATA = '2019-11-01 00:00:00'", ""},       // the day after
        {5, "DATA = '2019-09-30 23:59:59'", ""},       // the day before
        {6, "CODPROFISSIONAL = 10", ""},               // a physician
        {12, "CODPROFISSIONAL = 99", ""},              // nobody on file: no dentist known
        {7, "CODPESSOA = 101", "cidadão sem data de nascimento"},
        {8, "CARATER = '7'", "caráter do atendimento 7 (não se exporta)"},
        {9, "CARATER = '8'", "caráter do atendimento 8 (não se exporta)"},
        {10, "CODUNIDADE = '1111111'", "unidade de assistência social (CRAS), que não se exporta"},
        {11, "CODUNIDADE = '3333333'", "unidade sem nome no cadastro de unidades"},
        {13, "CODUNIDADE = '9999999'", "unidade não está no cadastro de unidades"},
        {14, "CODPESSOA = 999", "cidadão do atendimento não está no cadastro de pessoas"},
    };
    std::vector<std::string> deixados;
    for (const auto& a : atendimentos) {
        insereAtendimentoOdontologico(c.banco, a.numero);
        c.banco.executa(std::string("UPDATE FAA SET ") + a.mudanca +
                        " WHERE NUMFAA = " + std::to_string(a.numero));
        if (a.fora && *a.fora) deixados.push_back(std::to_string(a.numero) + "|" + a.fora);
    }
    Execucao& ex = c.gera(TipoFicha::AtendimentoOdontologico);
    EXPECT_EQ(listados(), (std::vector<std::string>{"FichaAtendimentoOdontologico_2.esus.xml",
                                                    "FichaAtendimentoOdontologico_1.esus.xml"}));
    // All of the 15th, in the order of their numbers.
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::DeixadoDeFora), deixados);
    // The column's own time of day is the moment of the care.
    EXPECT_EQ(valorDe(ficha(1), "dataAtendimento"), "1572564600000");
    EXPECT_TRUE(ex.LogExecucao.empty());
}

}  // namespace
}  // namespace cds
