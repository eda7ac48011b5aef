#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>

#include "fichas/cenario.hpp"
#include "record/codificacao.hpp"
#include "suporte/cadastros.hpp"

namespace cds {
namespace {

using teste::CenarioFichas;
using teste::valorDe;

class CadastroDomiciliarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        teste::insereBaseDeCadastros(c.banco);
        c.parametros.ProfissionalGenerico = "9";
    }

    std::string ficha(int codigo) {
        return c.arquivo("FichaCadastroDomiciliar_" + ZeroEsquerda(std::to_string(codigo), 12) +
                         ".esus.xml");
    }

    CenarioFichas c;
};

TEST_F(CadastroDomiciliarTest, FichaCompletaIgualAoEsperado) {
    teste::insereDomicilioCompleto(c.banco);
    Execucao& ex = c.gera(TipoFicha::CadastroDomiciliar);

    const std::string nome = "FichaCadastroDomiciliar_000000000045.esus.xml";
    EXPECT_EQ(c.arquivo(nome), teste::leDadoEsperado(nome));
    EXPECT_EQ(teste::errosDeLeiaute(ex.caminhoArquivo(nome)), "");
    EXPECT_EQ(
        ex.ListaArquivos,
        (std::vector<ArquivoGerado>{{ex.caminhoArquivo(nome), TipoFicha::CadastroDomiciliar}}));
    EXPECT_EQ(c.operador.statusTextos(),
              std::vector<std::string>{"Gerando Fichas de Cadastro Domiciliar e Territorial..."});
    EXPECT_TRUE(ex.LogExecucao.empty());
    EXPECT_TRUE(ex.ErrosCadastro.empty());
    EXPECT_EQ(teste::linhaDoRegistro(ex.transacao, "familiastransmissao", 45),
              "2345678-da1cb4c9-0004-0000-0000-D0000000045 | Não | 03/11/2019 | 1");
}

// The register's mark alone chooses: no period, no deactivation.
TEST_F(CadastroDomiciliarTest, SoDomiciliosMarcadosNoRegistro) {
    teste::insereDomicilio(c.banco, 201);
    teste::insereDomicilio(c.banco, 202, "'u-202', 'Não', '2019-01-02', 4");
    teste::insereDomicilio(c.banco, 203, "NULL");
    teste::insereDomicilio(c.banco, 204);
    c.banco.executa("UPDATE pessoas SET datadesativado = '2019-06-01' WHERE codigo = 204");
    Execucao& ex = c.gera(TipoFicha::CadastroDomiciliar);

    std::vector<std::string> nomes;
    for (const std::string& p : c.caminhosListados())
        nomes.push_back(std::filesystem::path(p).filename());
    std::sort(nomes.begin(), nomes.end());
    EXPECT_EQ(nomes, (std::vector<std::string>{"FichaCadastroDomiciliar_000000000201.esus.xml",
                                               "FichaCadastroDomiciliar_000000000204.esus.xml"}));
    EXPECT_EQ(teste::linhaDoRegistro(ex.transacao, "familiastransmissao", 202),
              "u-202 | Não | 02/01/2019 | 4");
    EXPECT_EQ(teste::linhaDoRegistro(ex.transacao, "familiastransmissao", 203), "");
}

// The households the register marks for sending ("Sim" in any spelling) that do not go are
// reported, each with why, and stay marked and unsent; the others are not reported.
TEST_F(CadastroDomiciliarTest, MarcadosNaoEnviadosComOMotivo) {
    struct Caso {
        int codigo;
        const char* registro;
        bool semResponsavel;
        const char* motivo;  // none: written, or not marked at all
    };
    const Caso casos[] = {
        {401, "NULL, 'Sim', NULL, NULL", false, nullptr},
        // The household's code is its responsible person's, who is not on file.
        {402, "NULL, 'Sim', NULL, NULL", true,
         "responsável pelo domicílio não está no cadastro de pessoas"},
        {403, "'u-403', 'sim', '2019-01-02', 4", false,
         "marca de envio ao e-SUS 'sim' fora do padrão (deve ser Sim)"},
        {404, "NULL, 'Não', NULL, NULL", true, nullptr},
        {405, "NULL", false, nullptr},
    };
    for (const Caso& caso : casos) {
        teste::insereDomicilio(c.banco, caso.codigo, caso.registro);
        if (caso.semResponsavel)
            c.banco.executa("DELETE FROM pessoas WHERE codigo = " + std::to_string(caso.codigo));
    }
    const std::vector<std::string> registrosAntes =
        teste::linhasDoRegistro(c.execucao().transacao, "familiastransmissao", casos);
    Execucao& ex = c.gera(TipoFicha::CadastroDomiciliar);

    // The registrations come in no stated order.
    std::vector<std::string> fora = c.ocorrencias.de(SituacaoRegistro::DeixadoDeFora);
    std::ranges::sort(fora);
    EXPECT_EQ(fora, teste::deixadosDosCasos(casos));
    EXPECT_EQ(c.caminhosListados(), std::vector<std::string>{ex.caminhoArquivo(
                                        "FichaCadastroDomiciliar_000000000401.esus.xml")});
    // Only the first was sent: every other register row is as it was.
    const std::vector<std::string> registrosDepois =
        teste::linhasDoRegistro(ex.transacao, "familiastransmissao", casos);
    for (std::size_t i = 1; i < std::size(casos); ++i)
        EXPECT_EQ(registrosDepois[i], registrosAntes[i]) << casos[i].codigo;
    // Named by the household's responsible professional, even without its person.
    EXPECT_EQ(c.ocorrencias.linhas.at(0).profissional, "Dra. Rita");
}

// The coded answers and the conditional lines, one household per case. Every comparison is
// exact, so a value in other case is another value.
TEST_F(CadastroDomiciliarTest, RespostasCodificadas) {
    using Esperado = std::map<std::string, std::optional<std::string>>;
    struct Caso {
        const char* tabela;
        const char* mudanca;
        Esperado esperado;
    };
    const Caso casos[] = {
        {"familias", "temgato = 'Sim', temoutros = 'Sim', temcachorro = 'Não'", {}},
        {"familias", "sedeterreno = 'Urbano'", {{"localizacao", "83"}, {"areaProducaoRural", {}}}},
        {"familias",
         "sedeterreno = 'Rural', propriterreno = 'Posseiro'",
         {{"localizacao", "84"}, {"areaProducaoRural", "104"}}},
        {"familias", "destinofezes = 'Latrina'", {{"formaEscoamentoBanheiro", "124"}}},
        {"familias", "destinofezes = 'Fossa Rudimentar'", {{"formaEscoamentoBanheiro", "124"}}},
        {"familias", "LogradouroFrontal = 'Asfalto'", {{"tipoAcessoDomicilio", "89"}}},
        {"familias", "LogradouroFrontal = 'Terra'", {{"tipoAcessoDomicilio", "90"}}},
        {"familias", "LogradouroFrontal = NULL", {{"tipoAcessoDomicilio", "92"}}},
        {"familias", "abastecimentoagua = 'rede geral'", {{"abastecimentoAgua", "121"}}},
        {"familias", "destinolixo = 'Céu Aberto'", {{"destinoLixo", "95"}}},
        {"familias", "tipodomicilio = 'Cômodo'", {{"tipoDomicilio", "87"}}},
        {"familias", "LuzEletrica = 'Não'", {{"stDisponibilidadeEnergiaEletrica", "false"}}},
        {"familias", "CasaPropria = 'Ocupação'", {{"situacaoMoradiaPosseTerra", "80"}}},
        {"familias", "TratamentoAgua = 'Sem Tratamento'", {{"aguaConsumoDomicilio", "100"}}},
        {"familias",
         "TipoHabitacao = 'Palha'",
         {{"materialPredominanteParedesExtDomicilio", "115"}}},
        {"familias", "numpecas = 0", {{"nuComodos", {}}}},
        {"familias",
         "quantosanimais = 0",
         {{"quantosAnimaisNoDomicilio", {}}, {"stAnimaisNoDomicilio", "false"}}},
        {"familias",
         "quantosanimais = 3",
         {{"quantosAnimaisNoDomicilio", "3"}, {"stAnimaisNoDomicilio", "true"}}},
        {"pessoas", "endereco = 'Av. Brasil'", {{"tipoLogradouroNumeroDne", "008"}}},
        {"pessoas", "endereco = 'Travessa Sete'", {{"tipoLogradouroNumeroDne", "081"}}},
        {"pessoas", "endereco = 'Estrada da Avenida'", {{"tipoLogradouroNumeroDne", "008"}}},
        {"pessoas", "endereco = 'Rua Avenida Nova'", {{"tipoLogradouroNumeroDne", "081"}}},
        {"pessoas", "endnum = NULL", {{"numero", {}}, {"stSemNumero", "true"}}},
        {"pessoas", "endnum = '12-B'", {{"numero", "12-B"}, {"stSemNumero", "false"}}},
        {"pessoas", "microarea = 7", {{"microArea", "07"}}},
        {"pessoas", "microarea = 123", {{"microArea", "123"}}},
        // A responsible person without birth date: no empty number.
        {"pessoas", "dtnascimento = NULL", {{"dataNascimentoResponsavel", {}}}},
        {"pessoas", "codtitular = NULL", {{"nuMoradores", "1"}, {"numeroMembrosFamilia", "0"}}},
        // A postcode whose place has no IBGE code is found all the same: an empty code.
        {"pessoas", "cepresidencia = '88000002'", {{"codigoIbgeMunicipio", ""}}},
    };
    c.banco.executa(
        "INSERT INTO localidade (codigo, nome, uf, codibge) VALUES (2, 'X', 'SC', NULL)");
    c.banco.executa("INSERT INTO cep (codcep, codlocalidade) VALUES ('88000002', 2)");
    int codigo = 300;
    for (const Caso& caso : casos) {
        teste::insereDomicilio(c.banco, ++codigo);
        c.banco.executa(std::string("UPDATE ") + caso.tabela + " SET " + caso.mudanca +
                        " WHERE codigo = " + std::to_string(codigo));
    }
    c.gera(TipoFicha::CadastroDomiciliar);
    codigo = 300;
    for (const Caso& caso : casos) {
        const std::string registro = ficha(++codigo);
        for (const auto& [tag, valor] : caso.esperado)
            EXPECT_EQ(valorDe(registro, tag), valor) << caso.mudanca << " / " << tag;
    }
    // The animals, in the form's order, code 132 for "others".
    EXPECT_NE(ficha(301).find("<ns4:cadastroDomiciliarTransport>\r\n"
                              "<animaisNoDomicilio>128</animaisNoDomicilio>\r\n"
                              "<animaisNoDomicilio>132</animaisNoDomicilio>\r\n"
                              "<condicaoMoradia>\r\n"),
              std::string::npos);
    // Without a postcode: an empty cep and no municipality in the address.
    EXPECT_NE(ficha(302).find("<cep></cep>\r\n<nomeLogradouro>"), std::string::npos);
}

// Every problem of one household, in the form's order: the answers to complete go to the log;
// a postcode not found and a household without members to the error list and the log; no team
// code at all to the error list alone.
TEST_F(CadastroDomiciliarTest, MensagensDoDomicilioEListaDeErros) {
    c.banco.executa("UPDATE PROFISSIONAIS SET INE = NULL WHERE CODIGO = 9");
    c.banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(21, 'Dr. Sem Equipe', '700000000000021', '225142', NULL)");
    teste::insereDomicilio(c.banco, 600);
    c.banco.executa("UPDATE familias SET profissionalresponsavel = 21, sedeterreno = 'Rural'");
    c.banco.executa(
        "UPDATE pessoas SET codtitular = NULL, cepresidencia = '99999999', endnum = NULL");
    Execucao& ex = c.gera(TipoFicha::CadastroDomiciliar);

    const std::vector<std::string> erros = {
        "Dr. Sem Equipe - INE não cadastrado!",
        "CEP de residencia não encontrado para a pessoa Cidadão 600",
        "Família de codigo 600 está com 0 integrantes!"};
    const std::vector<std::string> log = {
        "Favor complementar o cadastro de habitação da pessoa: 600",
        "Favor complementar o cadastro de habitação (Destino das Fezes) da pessoa: 600",
        "Favor complementar o cadastro de habitação (Tipo de Habitação) da pessoa: 600",
        "Informe o número de cômodos para o codigo: 600",
        "Favor complementar o cadastro de habitação (Propriedade) da pessoa: 600",
        "Favor complementar o cadastro de habitação (Luz Elétrica) da pessoa: 600",
        "Favor complementar o cadastro de habitação (Tratamento de Água) da pessoa: 600",
        erros[1],
        "Favor complementar o cadastro da pessoa (Número do Endereço): 600",
        erros[2]};
    EXPECT_EQ(ex.ErrosCadastro, erros);
    EXPECT_EQ(ex.LogExecucao, log);
    // In the report every line is the household's warning, once, the error list's alone too.
    std::vector<std::string> avisos = {"600|" + erros[0]};
    for (const std::string& linha : log) avisos.push_back("600|" + linha);
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::GravadoComAviso), avisos);

    // Written all the same, without the lines it has no values for.
    const std::string registro = ficha(600);
    for (const char* tag : {"ineDadoSerializado", "ine", "areaProducaoRural", "nuComodos",
                            "formaEscoamentoBanheiro", "numero"})
        EXPECT_EQ(valorDe(registro, tag), std::nullopt) << tag;
    EXPECT_EQ(valorDe(registro, "localizacao"), "84");
    EXPECT_NE(registro.find("<cep>99999999</cep>\r\n<nomeLogradouro>"), std::string::npos);
    EXPECT_EQ(
        teste::errosDeLeiaute(ex.caminhoArquivo("FichaCadastroDomiciliar_000000000600.esus.xml")),
        "");
}

// A household professional without a team code: ineDadoSerializado takes the generic one's,
// headerTransport has none; the household's own CNS and CBO stay, missing ones are the
// generic one's, without a word.
TEST_F(CadastroDomiciliarTest, ProfissionalGenericoNoLugarDoQueFalta) {
    c.banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(21, 'Dr. Sem Equipe', NULL, '225142', '   ')");
    teste::insereDomicilio(c.banco, 610);
    c.banco.executa("UPDATE familias SET profissionalresponsavel = 21");
    Execucao& ex = c.gera(TipoFicha::CadastroDomiciliar);

    const std::string registro = ficha(610);
    EXPECT_EQ(valorDe(registro, "ineDadoSerializado"), "0000999");
    EXPECT_EQ(valorDe(registro, "ine"), std::nullopt);
    EXPECT_EQ(valorDe(registro, "profissionalCNS"), "700000000000099");
    EXPECT_EQ(valorDe(registro, "cboCodigo_2002"), "225142");
    // The professional named is the responsible person's, as the clinic keeps it.
    EXPECT_EQ(ex.LogExecucao, (std::vector<std::string>{
                                  "Utilizado ine genérico para o profissional: 20",
                                  "Favor complementar o cadastro de habitação (Destino das "
                                  "Fezes) da pessoa: 610",
                                  "Favor complementar o cadastro de habitação (Urbano ou Rural) "
                                  "da pessoa: 610",
                                  "Favor complementar o cadastro de habitação (Tipo de "
                                  "Habitação) da pessoa: 610",
                                  "Informe o número de cômodos para o codigo: 610",
                                  "Favor complementar o cadastro de habitação (Propriedade) da "
                                  "pessoa: 610",
                                  "Favor complementar o cadastro de habitação (Luz Elétrica) da "
                                  "pessoa: 610",
                                  "Favor complementar o cadastro de habitação (Tratamento de "
                                  "Água) da pessoa: 610",
                                  "Favor complementar o cadastro da pessoa (Número do "
                                  "Endereço): 610"}));
    EXPECT_TRUE(ex.ErrosCadastro.empty());
    // Each line is the household's warning in the report.
    std::vector<std::string> avisos;
    for (const std::string& linha : ex.LogExecucao) avisos.push_back("610|" + linha);
    EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::GravadoComAviso), avisos);
}

}  // namespace
}  // namespace cds
