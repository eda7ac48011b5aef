#include "record/verificacao.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace cds {
namespace {}  // namespace

// Failures print as text in the tests' messages.
void PrintTo(const FalhaDeImportacao& f, std::ostream* saida) {
    *saida << f.elemento << ": " << f.regra;
}

namespace {

std::string leDados(const std::string& nome) {
    std::ifstream arquivo(std::string(DADOS_TESTE_DIR) + "/" + nome, std::ios::binary);
    EXPECT_TRUE(arquivo) << nome;
    std::ostringstream texto;
    texto << arquivo.rdbuf();
    return texto.str();
}

std::string trocaUma(std::string texto, const std::string& de, const std::string& para) {
    const auto pos = texto.find(de);
    EXPECT_NE(pos, std::string::npos) << de;
    if (pos != std::string::npos) texto.replace(pos, de.size(), para);
    return texto;
}

TEST(Verificacao, cnsDasDuasFamilias) {
    struct Caso {
        std::string cns;
        bool valido;
    };
    const Caso casos[] = {
        // Starting with 1 or 2: the PIS, "000" and its check digit ...
        {"123456789010000", true},
        {"200000000000003", true},
        {"200000000000004", false},
        {"123456789010001", false},
        // ... or "001" and the second check digit when the first would be 10.
        {"100000000060018", true},
        {"100000000060008", false},
        {"100000000060017", false},
        // Starting with 7, 8 or 9: the weighted sum divisible by 11.
        {"700000000000005", true},
        {"898000000000002", true},
        {"987654321012349", true},
        {"712345678901236", true},
        {"700000000000001", false},
        {"898001160660002", false},
        {"987654321012348", false},
        // Other first digits, sizes and characters.
        {"300000000000005", false},
        {"000000000000000", false},
        {"89800000000002", false},
        {"8980000000000020", false},
        {"89800000000000A", false},
        {"", false},
    };
    for (const auto& c : casos) EXPECT_EQ(cnsValido(c.cns), c.valido) << c.cns;
}

// The tests' expected files as the run writes them: the only failures are the made-up card
// numbers of the fixtures' citizens, which do break the check rule.
TEST(Verificacao, arquivosEsperadosDosTestes) {
    struct Caso {
        TipoFicha tipo;
        std::string arquivo;
        std::vector<FalhaDeImportacao> esperado;
    };
    const auto cnsInvalido = [](const std::string& elemento, const std::string& cns) {
        return FalhaDeImportacao{elemento, "CNS com dígito verificador inválido (" + cns + ")"};
    };
    const Caso casos[] = {
        {TipoFicha::AtendimentoIndividual, "FichaAtendimentoIndividual_345.esus.xml", {}},
        {TipoFicha::AtendimentoOdontologico,
         "FichaAtendimentoOdontologico_345.esus.xml",
         {cnsInvalido("cnsCidadao", "898000000000001")}},
        {TipoFicha::AtividadeColetiva, "FichaAtivColetiva_77.esus.xml", {}},
        {TipoFicha::CadastroDomiciliar, "FichaCadastroDomiciliar_000000000045.esus.xml", {}},
        {TipoFicha::CadastroIndividual,
         "FichaCadastroIndividual_00000000123.esus.xml",
         {cnsInvalido("cnsCidadao", "898000000000123"),
          cnsInvalido("cnsResponsavelFamiliar", "898000000000122")}},
        {TipoFicha::Procedimento,
         "FichaProcedimento_345.esus.xml",
         {cnsInvalido("cnsCidadao", "898000000000001")}},
        {TipoFicha::Vacinacao,
         "FichaVacinacao_345.esus.xml",
         {cnsInvalido("cnsCidadao", "898000000000001")}},
        {TipoFicha::VisitaDomiciliar,
         "FichaVisitaDomiciliar_987.esus.xml",
         {cnsInvalido("cnsCidadao", "898000000000200")}},
    };
    for (const auto& c : casos)
        EXPECT_EQ(verificaRegistro(c.tipo, leDados(c.arquivo)), c.esperado) << c.arquivo;
}

// The individual care record with one element's line replaced (or removed).
std::vector<FalhaDeImportacao> atendimentoCom(const std::string& de, const std::string& para) {
    return verificaRegistro(TipoFicha::AtendimentoIndividual,
                            trocaUma(leDados("FichaAtendimentoIndividual_345.esus.xml"), de, para));
}

TEST(Verificacao, dataDeNascimentoContraADataDoAtendimento) {
    // The care is on 15/10/2019 at 14:35 UTC (1571150100000).
    const std::string nascimento = "<dataNascimento>340452001000</dataNascimento>";
    struct Caso {
        std::string valor;
        std::string falha;  // empty: accepted
    };
    const Caso casos[] = {
        {"1571133601000", ""},  // the same day, 10:00:01
        {"1571183999000", ""},  // the same day, 23:59:59: later in the day, still that day
        {"1571220001000",
         "data de nascimento 16/10/2019 posterior à data do atendimento 15/10/2019"},
        {"-2531224799000", ""},  // 15/10/1889, exactly 130 years before
        {"-2531311199000",
         "data de nascimento 14/10/1889 mais de 130 anos antes da data do atendimento "
         "15/10/2019"},
    };
    for (const auto& c : casos) {
        const auto falhas =
            atendimentoCom(nascimento, "<dataNascimento>" + c.valor + "</dataNascimento>");
        if (c.falha.empty()) {
            EXPECT_TRUE(falhas.empty()) << c.valor << ": " << falhas.front().regra;
        } else {
            EXPECT_EQ(falhas, (std::vector<FalhaDeImportacao>{{"dataNascimento", c.falha}}))
                << c.valor;
        }
    }
}

TEST(Verificacao, cento30AnosContaoVinteENoveDeFevereiro) {
    // Care on 29/02/2020 10:00:01: 130 years before is 28/02/1890 (1890 has no 29 February).
    const std::string data = "<dataAtendimento>1571150100000</dataAtendimento>";
    const std::string cuidado = "<dataAtendimento>1582970401000</dataAtendimento>";
    const std::string nascimento = "<dataNascimento>340452001000</dataNascimento>";
    const auto com = [&](const std::string& valor) {
        return verificaRegistro(
            TipoFicha::AtendimentoIndividual,
            trocaUma(trocaUma(leDados("FichaAtendimentoIndividual_345.esus.xml"), data, cuidado),
                     nascimento, "<dataNascimento>" + valor + "</dataNascimento>"));
    };
    EXPECT_TRUE(com("-2519474399000").empty());   // 28/02/1890
    EXPECT_EQ(com("-2519560799000").size(), 1u);  // 27/02/1890
}

TEST(Verificacao, elementosObrigatoriosEListas) {
    struct Caso {
        std::string de;
        std::string para;
        FalhaDeImportacao falha;
    };
    const Caso casos[] = {
        {"<dataNascimento>340452001000</dataNascimento>",
         "",
         {"dataNascimento", "elemento obrigatório ausente"}},
        {"<dataNascimento>340452001000</dataNascimento>",
         "<dataNascimento></dataNascimento>",
         {"dataNascimento", "elemento obrigatório vazio"}},
        {"<localDeAtendimento>1</localDeAtendimento>",
         "",
         {"localDeAtendimento", "elemento obrigatório ausente"}},
        {"<localDeAtendimento>1</localDeAtendimento>",
         "<localDeAtendimento></localDeAtendimento>",
         {"localDeAtendimento", "elemento obrigatório vazio"}},
        {"<localDeAtendimento>1</localDeAtendimento>",
         "<localDeAtendimento>11</localDeAtendimento>",
         {"localDeAtendimento", "local de atendimento fora da lista de 1 a 10 (11)"}},
        {"<localDeAtendimento>1</localDeAtendimento>",
         "<localDeAtendimento>0</localDeAtendimento>",
         {"localDeAtendimento", "local de atendimento fora da lista de 1 a 10 (0)"}},
        {"<tpCdsOrigem>3</tpCdsOrigem>", "", {"tpCdsOrigem", "elemento obrigatório ausente"}},
        {"<tpCdsOrigem>3</tpCdsOrigem>",
         "<tpCdsOrigem>1</tpCdsOrigem>",
         {"tpCdsOrigem", "tipo de origem diferente de 3 (sistemas terceiros): 1"}},
        {"<uuidFicha>2345678-da1cb4c9-0004-0000-0000-0345</uuidFicha>",
         "",
         {"uuidFicha", "elemento obrigatório ausente"}},
        {"<uuidFicha>2345678-da1cb4c9-0004-0000-0000-0345</uuidFicha>",
         "<uuidFicha>2345678-da1cb4c9</uuidFicha>",
         {"uuidFicha", "UUID com 16 caracteres, fora de 36 a 44 (2345678-da1cb4c9)"}},
        {"<sexo>1</sexo>",
         "<sexo>1</sexo>\n<numeroProntuario>AB-12</numeroProntuario>",
         {"numeroProntuario",
          "número do prontuário com caractere que não é letra nem número (AB-12)"}},
        {"<sexo>1</sexo>",
         "<sexo>1</sexo>\n<cns>898001160660002</cns>",
         {"cns", "CNS com dígito verificador inválido (898001160660002)"}},
    };
    for (const auto& c : casos)
        EXPECT_EQ(atendimentoCom(c.de, c.para), std::vector<FalhaDeImportacao>{c.falha}) << c.para;

    // The limits themselves pass.
    EXPECT_TRUE(atendimentoCom("<localDeAtendimento>1</localDeAtendimento>",
                               "<localDeAtendimento>10</localDeAtendimento>")
                    .empty());
    EXPECT_TRUE(atendimentoCom("<sexo>1</sexo>",
                               "<sexo>1</sexo>\n<numeroProntuario>" + std::string(30, 'a') +
                                   "</numeroProntuario>\n<cns>898000000000002</cns>")
                    .empty());
}

TEST(Verificacao, atualizacaoDoCadastroSemAFichaDeOrigem) {
    const std::string cadastro = leDados("FichaCadastroIndividual_00000000123.esus.xml");
    const std::string originadora =
        "<uuidFichaOriginadora>2345678-da1cb4c9-0004-0000-0001-00000000123"
        "</uuidFichaOriginadora>";
    const auto falhas = verificaRegistro(
        TipoFicha::CadastroIndividual,
        trocaUma(cadastro, originadora, "<uuidFichaOriginadora></uuidFichaOriginadora>"));
    ASSERT_FALSE(falhas.empty());
    EXPECT_EQ(falhas.back(),
              (FalhaDeImportacao{"uuidFichaOriginadora",
                                 "ficha de atualização sem o UUID da ficha que deu origem ao "
                                 "registro"}));

    // A first registration needs none.
    const auto primeira = verificaRegistro(
        TipoFicha::CadastroIndividual,
        trocaUma(trocaUma(cadastro, originadora, "<uuidFichaOriginadora></uuidFichaOriginadora>"),
                 "<fichaAtualizada>true</fichaAtualizada>",
                 "<fichaAtualizada>false</fichaAtualizada>"));
    for (const auto& f : primeira) EXPECT_NE(f.elemento, "uuidFichaOriginadora");
}

// A group meeting's participant also has a dataNascimento, and a household form no care date:
// the individual care rules stay in their own form.
TEST(Verificacao, regrasDeUmaFichaNaoValemEmOutra) {
    const std::string coletiva = leDados("FichaAtivColetiva_77.esus.xml");
    EXPECT_TRUE(verificaRegistro(TipoFicha::AtividadeColetiva,
                                 trocaUma(coletiva, "<dataNascimento>631188001000",
                                          "<dataNascimento>1893456000000"))
                    .empty());
}

}  // namespace
}  // namespace cds
