#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <stdexcept>

#include "fichas/cenario.hpp"
#include "record/codificacao.hpp"
#include "suporte/cadastros.hpp"

namespace cds {
namespace {

using teste::CenarioFichas;
using teste::valorDe;

class CadastroIndividualTest : public ::testing::Test {
  protected:
    void SetUp() override {
        teste::insereBaseDeCadastros(c.banco);
        c.parametros.ProfissionalGenerico = "9";
    }

    std::string ficha(int codigo) {
        return c.arquivo("FichaCadastroIndividual_" + ZeroEsquerda(std::to_string(codigo), 11) +
                         ".esus.xml");
    }

    CenarioFichas c;
};

TEST_F(CadastroIndividualTest, FichaCompletaIgualAoEsperado) {
    teste::insereCidadaoCompleto(c.banco);
    Execucao& ex = c.gera(TipoFicha::CadastroIndividual);

    const std::string nome = "FichaCadastroIndividual_00000000123.esus.xml";
    EXPECT_EQ(c.arquivo(nome), teste::leDadoEsperado(nome));
    EXPECT_EQ(teste::errosDeLeiaute(ex.caminhoArquivo(nome)), "");
    EXPECT_EQ(
        ex.ListaArquivos,
        (std::vector<ArquivoGerado>{{ex.caminhoArquivo(nome), TipoFicha::CadastroIndividual}}));
    EXPECT_EQ(c.operador.chamadas.at(0),
              ChamadaOperador::status("Gerando Fichas de Cadastro Individual..."));
    EXPECT_TRUE(ex.LogExecucao.empty());
    EXPECT_TRUE(ex.ErrosCadastro.empty());
    // Sent: the new identifier, today, the third transmission.
    EXPECT_EQ(teste::linhaDoRegistro(ex.transacao, "pessoastransmissao", 123),
              "2345678-da1cb4c9-0004-0000-0002-00000000123 | Não | 03/11/2019 | 3");
}

// Only a citizen still in care whose register row says "Sim" goes; the other rows stay as
// they were, and a citizen without a row gets none.
TEST_F(CadastroIndividualTest, SoCidadaosMarcadosNoRegistro) {
    teste::insereCidadao(c.banco, 201);
    teste::insereCidadao(c.banco, 202, "'u-202', 'Não', '2019-01-02', 4");
    teste::insereCidadao(c.banco, 203, "NULL");
    teste::insereCidadao(c.banco, 204, "NULL, 'sim', NULL, NULL");
    teste::insereCidadao(c.banco, 205);
    c.banco.executa("UPDATE pessoas SET datadesativado = '2019-06-01' WHERE codigo = 205");
    Execucao& ex = c.gera(TipoFicha::CadastroIndividual);

    EXPECT_EQ(c.caminhosListados(), std::vector<std::string>{ex.caminhoArquivo(
                                        "FichaCadastroIndividual_00000000201.esus.xml")});
    const std::map<int, std::string> registros = {
        {201, "2345678-da1cb4c9-0004-0000-0000-00000000201 | Não | 03/11/2019 | 1"},
        {202, "u-202 | Não | 02/01/2019 | 4"},
        {203, ""},
        {204, " | sim |  | "},
        {205, " | Sim |  | "},
    };
    for (const auto& [codigo, registro] : registros)
        EXPECT_EQ(teste::linhaDoRegistro(ex.transacao, "pessoastransmissao", codigo), registro)
            << codigo;
}

// The citizens the register marks for sending ("Sim" in any spelling) that do not go are
// reported, each with why, and stay marked and unsent; the others are not reported. The report
// names the citizen by code and the responsible professional; a registration has no date.
TEST_F(CadastroIndividualTest, MarcadosNaoEnviadosComOMotivo) {
    struct Caso {
        int codigo;
        const char* registro;
        const char* desativado;
        const char* motivo;  // none: written, or not marked at all
    };
    const Caso casos[] = {
        {301, "NULL, 'Sim', NULL, NULL", "NULL", nullptr},
        {302, "NULL, 'Sim', NULL, NULL", "'2019-06-01'",
         "cidadão desativado no cadastro em 01/06/2019"},
        {303, "'u-303', 'sim', '2019-01-02', 4", "NULL",
         "marca de envio ao e-SUS 'sim' fora do padrão (deve ser Sim)"},
        {304, "NULL, 'SIM', NULL, NULL", "NULL",
         "marca de envio ao e-SUS 'SIM' fora do padrão (deve ser Sim)"},
        // Deactivated is told first: mending the mark would not send the citizen.
        {305, "NULL, 'sim', NULL, NULL", "'2019-07-09'",
         "cidadão desativado no cadastro em 09/07/2019"},
        {306, "NULL, 'Não', NULL, NULL", "NULL", nullptr},
        {307, "NULL", "NULL", nullptr},
    };
    for (const Caso& caso : casos) {
        teste::insereCidadao(c.banco, caso.codigo, caso.registro);
        c.banco.executa(std::string("UPDATE pessoas SET datadesativado = ") + caso.desativado +
                        " WHERE codigo = " + std::to_string(caso.codigo));
    }
    const std::vector<std::string> registrosAntes =
        teste::linhasDoRegistro(c.execucao().transacao, "pessoastransmissao", casos);
    Execucao& ex = c.gera(TipoFicha::CadastroIndividual);

    // The registrations come in no stated order.
    std::vector<std::string> fora = c.ocorrencias.de(SituacaoRegistro::DeixadoDeFora);
    std::ranges::sort(fora);
    EXPECT_EQ(fora, teste::deixadosDosCasos(casos));
    EXPECT_EQ(c.caminhosListados(), std::vector<std::string>{ex.caminhoArquivo(
                                        "FichaCadastroIndividual_00000000301.esus.xml")});
    // Only the first was sent: every other register row is as it was.
    const std::vector<std::string> registrosDepois =
        teste::linhasDoRegistro(ex.transacao, "pessoastransmissao", casos);
    for (std::size_t i = 1; i < std::size(casos); ++i)
        EXPECT_EQ(registrosDepois[i], registrosAntes[i]) << casos[i].codigo;
    const Ocorrencia& primeira = c.ocorrencias.linhas.at(0);
    EXPECT_EQ(primeira.unidade, "2345678");
    EXPECT_EQ(primeira.data, "");
    EXPECT_EQ(primeira.profissional, "Dra. Rita");
}

// The coded and conditional lines of the citizen's identification. Elements typed as numbers
// go only with a value: a country without its e-SUS AB code and an indigenous citizen without
// an ethnic group leave their lines out, where an empty one would make the importer discard
// the record.
TEST_F(CadastroIndividualTest, IdentificacaoDoCidadao) {
    c.banco.executa(
        "INSERT INTO paises (codigo, nome, codigoesus) VALUES ('045', 'PARAGUAI', NULL)");
    c.banco.executa("INSERT INTO pessoas (codigo, cartaosus) VALUES (400, '898000000000400')");
    using Esperado = std::map<std::string, std::optional<std::string>>;
    struct Caso {
        const char* mudanca;
        Esperado esperado;
    };
    const Caso casos[] = {
        {"nacionalidade = '045'", {{"nacionalidadeCidadao", "3"}, {"paisNascimento", {}}}},
        {"nacionalidade = NULL", {{"nacionalidadeCidadao", "1"}, {"paisNascimento", "31"}}},
        {"raca = '5'", {{"racaCorCidadao", "6"}, {"etnia", {}}}},
        {"raca = '05', etnia = NULL", {{"racaCorCidadao", "5"}, {"etnia", {}}}},
        {"raca = '04'", {{"racaCorCidadao", "4"}}},
        {"nomepai = 'desconhecido'", {{"nomePaiCidadao", {}}, {"desconheceNomePai", "true"}}},
        {"nomepai = 'José'", {{"nomePaiCidadao", "José"}, {"desconheceNomePai", {}}}},
        {"fone = '(48) 3333-4444'", {{"telefoneCelular", "4833334444"}}},
        {"fone = '3333-4444'", {{"telefoneCelular", {}}}},
        {"fone = '86999887766123'", {{"telefoneCelular", "86999887766"}}},
        {"sexo = NULL", {{"sexoCidadao", "4"}}},
        {"sexo = 'masculino'", {{"sexoCidadao", "0"}}},
        {"codtitular = codigo", {{"cnsResponsavelFamiliar", {}}, {"statusEhResponsavel", "true"}}},
        {"codtitular = 400",
         {{"cnsResponsavelFamiliar", "898000000000400"}, {"statusEhResponsavel", "false"}}},
        {"microarea = NULL", {{"microArea", "00"}}},
        {"microarea = 123", {{"microArea", "123"}}},
        {"FrequentaEscola = 's'", {{"statusFrequentaEscola", "false"}}},
        {"coddeficiencia = 99",
         {{"deficienciasCidadao", {}}, {"statusTemAlgumaDeficiencia", "false"}}},
    };
    int codigo = 500;
    for (const Caso& caso : casos) {
        teste::insereCidadao(c.banco, ++codigo);
        c.banco.executa(std::string("UPDATE pessoas SET ") + caso.mudanca +
                        " WHERE codigo = " + std::to_string(codigo));
    }
    c.gera(TipoFicha::CadastroIndividual);
    codigo = 500;
    for (const Caso& caso : casos) {
        const std::string registro = ficha(++codigo);
        for (const auto& [tag, valor] : caso.esperado)
            EXPECT_EQ(valorDe(registro, tag), valor) << caso.mudanca << " / " << tag;
    }
}

TEST_F(CadastroIndividualTest, CondicoesDeSaude) {
    teste::insereCidadao(c.banco, 601);  // no health row
    teste::insereCidadao(c.banco, 602);  // a man, pregnant, whose heart kinds do not count
    c.banco.executa(
        "INSERT INTO PessoasCondSaude (codigo, Gestante, MaternidadeReferencia, DoencaCardiaca, "
        "CardiacaInsuficiencia, CardiacaOutra, CardiacaNaoSabe, PesoSituacao) VALUES "
        "(602, 'SIM', 'Maternidade & Cia', 'Não', 'Sim', 'Sim', 'Sim', 'peso adequado')");
    c.gera(TipoFicha::CadastroIndividual);

    EXPECT_NE(ficha(601).find("<ns4:cadastroIndividualTransport>\r\n<emSituacaoDeRua>\r\n"),
              std::string::npos);
    const std::string homem = ficha(602);
    EXPECT_EQ(valorDe(homem, "statusEhGestante"), std::nullopt);
    EXPECT_EQ(valorDe(homem, "maternidadeDeReferencia"), "Maternidade &amp; Cia");
    EXPECT_EQ(valorDe(homem, "doencaCardiaca"), std::nullopt);
    EXPECT_EQ(valorDe(homem, "situacaoPeso"), "22");
    EXPECT_EQ(valorDe(homem, "descricaoOutraCondicao1"), "");
    EXPECT_EQ(valorDe(homem, "statusTeveDoencaCardiaca"), "false");
}

// The team code of ineDadoSerializado and headerTransport: the responsible professional's,
// else the generic one's in the first only; a code of blanks is none.
TEST(CadastroIndividualIne, DoResponsavelDoGenericoOuNenhum) {
    struct Caso {
        const char* ineResponsavel;
        const char* ineGenerico;
        std::optional<std::string> ineDado;
        std::optional<std::string> ineHeader;
        std::vector<std::string> log;
        std::vector<std::string> erros;
    };
    const std::string semIne = "Dr. Sem Equipe - INE não cadastrado!";
    const std::string generico =
        "Utilizado Ine genérico do Cód. Profiss. Genérico para a pessoa: 700";
    const std::string informe = "Utilizado Informe o INE o profissional: 21";
    const Caso casos[] = {
        {"'0000123'", "'0000999'", "0000123", "0000000123", {}, {}},
        {"NULL", "'0000999'", "0000999", std::nullopt, {generico, informe}, {}},
        {"'   '", "'0000999'", "0000999", std::nullopt, {generico, informe}, {}},
        {"NULL",
         "NULL",
         std::nullopt,
         std::nullopt,
         {"Verifique INE para o profissional 9 - Coordenação", semIne, informe},
         {semIne}},
        {"NULL",
         "'  '",
         std::nullopt,
         std::nullopt,
         {"Verifique INE para o profissional 9 - Coordenação", semIne, informe},
         {semIne}},
    };
    for (const Caso& caso : casos) {
        SCOPED_TRACE(std::string(caso.ineResponsavel) + " " + caso.ineGenerico);
        CenarioFichas c;
        teste::insereBaseDeCadastros(c.banco);
        c.banco.executa(std::string("INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) "
                                    "VALUES (21, 'Dr. Sem Equipe', '700000000000021', '225142', ") +
                        caso.ineResponsavel + ")");
        c.banco.executa(std::string("UPDATE PROFISSIONAIS SET INE = ") + caso.ineGenerico +
                        " WHERE CODIGO = 9");
        teste::insereCidadao(c.banco, 700);
        c.banco.executa("UPDATE pessoas SET profissionalresponsavel = 21");
        c.parametros.ProfissionalGenerico = "9";
        Execucao& ex = c.gera(TipoFicha::CadastroIndividual);
        const std::string registro = c.arquivo("FichaCadastroIndividual_00000000700.esus.xml");
        EXPECT_EQ(valorDe(registro, "ineDadoSerializado"), caso.ineDado);
        EXPECT_EQ(valorDe(registro, "ine"), caso.ineHeader);
        EXPECT_EQ(ex.LogExecucao, caso.log);
        EXPECT_EQ(ex.ErrosCadastro, caso.erros);
    }
}

// Every problem of one citizen, reported in the form's order: some to the log only, the
// serious ones to the error list first; the file is still written.
TEST_F(CadastroIndividualTest, MensagensDoCidadaoEListaDeErros) {
    c.banco.executa("UPDATE PROFISSIONAIS SET INE = NULL, CNS = '' WHERE CODIGO = 9");
    c.banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(21, 'Dr. Sem Dados', NULL, NULL, NULL)");
    teste::insereCidadao(c.banco, 800);
    c.banco.executa(
        "UPDATE pessoas SET profissionalresponsavel = 21, dtnascimento = NULL, "
        "cepmunicnasc = '99999999', naturalidade = 'FLORIANÓPOLIS', ufnaturalidade = 'SC'");
    Execucao& ex = c.gera(TipoFicha::CadastroIndividual);

    const std::vector<std::string> erros = {
        "Dr. Sem Dados - INE não cadastrado!",
        "CEP de nascimento não encontrado para a pessoa Cidadão 800",
        "Data de nascimento não encontrada para a pessoa Cidadão 800"};
    const std::vector<std::string> log = {"Verifique CNS para o profissional 9 - Coordenação",
                                          "Verifique INE para o profissional 9 - Coordenação",
                                          erros[0],
                                          erros[1],
                                          erros[2],
                                          "Utilizado CNS genérico para a pessoa: 800",
                                          "Utilizado CBO genérico para o profissional: 21",
                                          "Utilizado Informe o INE o profissional: 21"};
    EXPECT_EQ(ex.LogExecucao, log);
    EXPECT_EQ(ex.ErrosCadastro, erros);
    EXPECT_EQ(c.operador.errosCadastroAtuais(), erros);
    // The lines the citizen gave are its warnings in the report; those of the generic
    // professional, told before any citizen, are no citizen's.
    std::vector<std::string> avisos;
    for (std::size_t i = 2; i < log.size(); ++i) avisos.push_back("800|" + log[i]);
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::GravadoComAviso), avisos);

    // Written all the same: no team line, no birthplace (the postcode is tried alone), no
    // birth date, the generic professional's CNS (empty) and CBO.
    const std::string registro = ficha(800);
    for (const char* tag :
         {"ineDadoSerializado", "codigoIbgeMunicipioNascimento", "dataNascimentoCidadao", "ine"})
        EXPECT_EQ(valorDe(registro, tag), std::nullopt) << tag;
    EXPECT_EQ(valorDe(registro, "profissionalCNS"), "");
    EXPECT_EQ(valorDe(registro, "cboCodigo_2002"), "223505");
    EXPECT_EQ(
        teste::errosDeLeiaute(ex.caminhoArquivo("FichaCadastroIndividual_00000000800.esus.xml")),
        "");
}

// A transmission code past four digits still goes, and the operator's message about it is the
// citizen's warning in the report.
TEST_F(CadastroIndividualTest, CodigoDeTransmissaoAlemDoLimiteEAvisoDoCidadao) {
    teste::insereCidadao(c.banco, 810,
                         "'2345678-da1cb4c9-0004-0000-0004-00000000810', 'Sim', "
                         "'2019-01-02', 9999");
    Execucao& ex = c.gera(TipoFicha::CadastroIndividual);

    const std::string aviso =
        "Contate a ZUL, pois o codigo de transmissão individual para este cidadão já "
        "ultrapassou o limite de 4 casas!";
    EXPECT_EQ(c.operador.mensagens(), std::vector<ChamadaOperador>{ChamadaOperador::mensagem(
                                          aviso, kTituloAplicacao, TipoMensagem::Simples)});
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::GravadoComAviso),
              std::vector<std::string>{"810|" + aviso});
    EXPECT_NE(ficha(810).find("2345678-da1cb4c9-0004-0000-10000-00000000810"), std::string::npos);
    EXPECT_EQ(teste::linhaDoRegistro(ex.transacao, "pessoastransmissao", 810),
              "2345678-da1cb4c9-0004-0000-0005-00000000810 | Não | 03/11/2019 | 10000");
}

// Without a postcode the birthplace is looked up by name and state, as typed.
TEST_F(CadastroIndividualTest, NaturalidadePeloNomeEUf) {
    for (int codigo : {901, 902, 903}) teste::insereCidadao(c.banco, codigo);
    c.banco.executa(
        "UPDATE pessoas SET naturalidade = 'FLORIANÓPOLIS', ufnaturalidade = 'SC' "
        "WHERE codigo = 901");
    c.banco.executa(
        "UPDATE pessoas SET naturalidade = 'FLORIANÓPOLIS', ufnaturalidade = 'PR' "
        "WHERE codigo = 902");
    c.banco.executa("UPDATE pessoas SET naturalidade = 'FLORIANÓPOLIS' WHERE codigo = 903");
    Execucao& ex = c.gera(TipoFicha::CadastroIndividual);
    EXPECT_EQ(valorDe(ficha(901), "codigoIbgeMunicipioNascimento"), "4205407");
    EXPECT_EQ(valorDe(ficha(902), "codigoIbgeMunicipioNascimento"), std::nullopt);
    EXPECT_EQ(valorDe(ficha(903), "codigoIbgeMunicipioNascimento"), std::nullopt);
    EXPECT_TRUE(ex.LogExecucao.empty());
}

// The birth municipality comes from the first place that matches: a postcode's place found
// gives its code even when empty, a postcode whose place is missing is not found, and of two
// places of one name and state the first stored wins.
TEST_F(CadastroIndividualTest, MunicipioDeNascimentoDoPrimeiroLugarAchado) {
    c.banco.executa(
        "INSERT INTO localidade (codigo, nome, uf, codibge) VALUES (2, 'X', 'SC', NULL)");
    c.banco.executa("INSERT INTO cep (codcep, codlocalidade) VALUES ('88000002', 2)");
    c.banco.executa("INSERT INTO cep (codcep, codlocalidade) VALUES ('88000003', 77)");
    for (const char* valores : {"(5, 'LAGES', 'SC', '4209300')", "(4, 'LAGES', 'SC', '9999999')"})
        c.banco.executa("INSERT INTO localidade (codigo, nome, uf, codibge) VALUES " +
                        std::string(valores));
    struct Caso {
        int codigo;
        const char* mudanca;
        std::optional<std::string> ibge;
        bool naoEncontrado;
    };
    const Caso casos[] = {
        {911, "cepmunicnasc = '88000000'", "4205407", false},
        {912, "cepmunicnasc = '88000002'", "", false},
        {913, "cepmunicnasc = '88000003'", std::nullopt, true},
        {914, "naturalidade = 'LAGES', ufnaturalidade = 'SC'", "4209300", false},
    };
    for (const Caso& caso : casos) {
        teste::insereCidadao(c.banco, caso.codigo);
        c.banco.executa("UPDATE pessoas SET " + std::string(caso.mudanca) +
                        " WHERE codigo = " + std::to_string(caso.codigo));
    }
    Execucao& ex = c.gera(TipoFicha::CadastroIndividual);
    for (const Caso& caso : casos) {
        EXPECT_EQ(valorDe(ficha(caso.codigo), "codigoIbgeMunicipioNascimento"), caso.ibge)
            << caso.mudanca;
        const std::string aviso =
            "CEP de nascimento não encontrado para a pessoa Cidadão " + std::to_string(caso.codigo);
        EXPECT_EQ(std::count(ex.ErrosCadastro.begin(), ex.ErrosCadastro.end(), aviso),
                  caso.naoEncontrado ? 1 : 0)
            << caso.mudanca;
    }
}

// A registration started without the run's check of its generic professional (a code of no
// professional, or none) ends in an error before its first record, rather than send citizens
// and households without a professional: nothing written, nothing marked, no message box.
TEST(CadastrosSemProfissionalGenerico, TerminamEmErroSemGravarNada) {
    for (TipoFicha tipo : {TipoFicha::CadastroIndividual, TipoFicha::CadastroDomiciliar}) {
        for (const char* codigo : {"424242", ""}) {
            SCOPED_TRACE(std::string(descricaoFicha(tipo).nome) + " '" + codigo + "'");
            CenarioFichas c;
            teste::insereBaseDeCadastros(c.banco);
            teste::insereDomicilio(c.banco, 100);
            c.banco.executa(
                "INSERT INTO pessoastransmissao (codigo, transmitiresus) VALUES (100, 'Sim')");
            c.parametros.ProfissionalGenerico = codigo;
            Execucao& ex = c.execucao();

            EXPECT_THROW(c.gera(tipo), std::logic_error);

            EXPECT_TRUE(c.operador.mensagens().empty());
            EXPECT_TRUE(ex.ListaArquivos.empty());
            EXPECT_TRUE(std::filesystem::is_empty(ex.pastaXml()));
            EXPECT_EQ(teste::linhaDoRegistro(ex.transacao, "pessoastransmissao", 100),
                      " | Sim |  | ");
            EXPECT_EQ(teste::linhaDoRegistro(ex.transacao, "familiastransmissao", 100),
                      " | Sim |  | ");
        }
    }
}

}  // namespace
}  // namespace cds
