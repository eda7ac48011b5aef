#include "record/envelope.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include "comum/erro.hpp"
#include "fichas/registro.hpp"

namespace cds {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The envelope particulars each kind's file gives.
const DadosEnvelope* de(TipoFicha tipo) {
    return descricaoFicha(tipo).envelope;
}

// Expected files are written here with plain line ends, the first one after R"( dropped.
std::string arquivo(std::string_view texto) {
    if (!texto.empty() && texto.front() == '\n') texto.remove_prefix(1);
    std::string saida;
    for (char c : texto) {
        if (c == '\n') saida += '\r';
        saida += c;
    }
    return saida;
}

// A file cut down to the first tag of every line ("/" kept for closing tags, ∅ for an empty
// line), to compare the order of lines of a kind without repeating every value.
std::string esqueleto(std::string_view texto) {
    std::string saida;
    std::size_t inicio = 0;
    while (inicio < texto.size()) {
        std::size_t fim = texto.find("\r\n", inicio);
        if (fim == std::string_view::npos) fim = texto.size();
        std::string_view linha = texto.substr(inicio, fim - inicio);
        inicio = fim + 2;
        while (!linha.empty() && linha.front() == ' ') linha.remove_prefix(1);
        std::string nome = "∅";
        if (!linha.empty()) {
            const std::size_t corte = linha.find_first_of(" >", 1);
            nome =
                std::string(linha.substr(1, corte == std::string_view::npos ? corte : corte - 1));
            if (nome.size() > 1 && nome.back() == '/') nome.pop_back();
        }
        saida += (saida.empty() ? "" : " ") + nome;
    }
    return saida;
}

std::string envelopeEmVolta(const ValoresEnvelope& v, std::string_view corpo) {
    RegistroBuffer buffer;
    escreveCabecalho(buffer, v);
    buffer.adiciona(corpo);
    escreveRodape(buffer, v);
    return buffer.texto();
}

TEST(Envelope, AtendimentoIndividualInteiro) {
    const ValoresEnvelope v{
        .dados = de(TipoFicha::AtendimentoIndividual),
        .IBGE = "4205407",
        .Unidade = "2345678",
        .CODUNIDADE = "1234567",
        .UUID = "0",
        .numero = "345",
        .profissional = {.CNS = "700000000000001",
                         .CBO = "322245",
                         .ine = "123",
                         .dataAtendimento = "1571150100000"},
    };
    const std::string texto = envelopeEmVolta(v, "<atendimentosIndividuais/>");

    EXPECT_EQ(texto, arquivo(R"(
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<ns3:dadoTransporteTransportXml xmlns:ns2="http://esus.ufsc.br/dadoinstalacao" xmlns:ns3="http://esus.ufsc.br/dadotransporte" xmlns:ns4="http://esus.ufsc.br/fichaatendimentoindividualmaster">
<uuidDadoSerializado>1234567-da1cb4c9-0004-0000-0000-0345</uuidDadoSerializado>
<tipoDadoSerializado>4</tipoDadoSerializado>
<codIbge>4205407</codIbge>
<cnesDadoSerializado>2345678</cnesDadoSerializado>
<numLote>2</numLote>

<ns4:fichaAtendimentoIndividualMasterTransport>

<headerTransport>
<lotacaoFormPrincipal>
<profissionalCNS>700000000000001</profissionalCNS>
<cboCodigo_2002>223505</cboCodigo_2002>
<cnes>1234567</cnes>
<ine>0000000123</ine>
</lotacaoFormPrincipal>
<dataAtendimento>1571150100000</dataAtendimento>
<codigoIbgeMunicipio>4205407</codigoIbgeMunicipio>
</headerTransport>

<atendimentosIndividuais/>
<tpCdsOrigem>3</tpCdsOrigem>
<uuidFicha>1234567-da1cb4c9-0004-0000-0000-0345</uuidFicha>
</ns4:fichaAtendimentoIndividualMasterTransport>

<ns2:remetente>
<contraChave>VALMO</contraChave>
<uuidInstalacao>1234567-da1cb4c9-0000-0000-0004-0345</uuidInstalacao>
<cpfOuCnpj>60391825000147</cpfOuCnpj>
<nomeOuRazaoSocial>ZUL INFORMATICA</nomeOuRazaoSocial>
</ns2:remetente>

<ns2:originadora>
<contraChave>VALMO</contraChave>
<uuidInstalacao>1234567-da1cb4c9-0000-0000-0004-0345</uuidInstalacao>
<cpfOuCnpj>60391825000147</cpfOuCnpj>
<nomeOuRazaoSocial>ZUL INFORMATICA</nomeOuRazaoSocial>
</ns2:originadora>

<versao major="2" minor="1" revision="0"/>
</ns3:dadoTransporteTransportXml>
)"));
}

TEST(Envelope, AtendimentoOdontologicoInteiroComHeaderDepoisDoCorpo) {
    // A unit code of the row that is not 7 long: the typed Unidade, padded, stands in for it.
    const ValoresEnvelope v{
        .dados = de(TipoFicha::AtendimentoOdontologico),
        .IBGE = "",
        .Unidade = "12345",
        .CODUNIDADE = "999",
        .UUID = "7",
        .numero = "88",
        .profissional = {.CNS = "700000000000002",
                         .CBO = "223208",
                         .ine = "",
                         .dataAtendimento = "1571133601000"},
    };
    const std::string texto = envelopeEmVolta(v, "<atendimentosOdontologicos/>");

    EXPECT_EQ(texto, arquivo(R"(
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<ns3:dadoTransporteTransportXml xmlns:ns2="http://esus.ufsc.br/dadoinstalacao" xmlns:ns3="http://esus.ufsc.br/dadotransporte" xmlns:ns4="http://esus.ufsc.br/fichaatendimentoodontologicomaster">

<uuidDadoSerializado>0012345-da1cb4c9-0005-0000-0000-788</uuidDadoSerializado>
<tipoDadoSerializado>5</tipoDadoSerializado>
<codIbge></codIbge>
<cnesDadoSerializado>12345</cnesDadoSerializado>
<ineDadoSerializado></ineDadoSerializado>
<numLote>2</numLote>

<ns4:fichaAtendimentoOdontologicoMasterTransport>
<uuidFicha>0012345-da1cb4c9-0005-0000-0000-788</uuidFicha>
<tpCdsOrigem>3</tpCdsOrigem>
<atendimentosOdontologicos/>
<headerTransport>
<lotacaoFormPrincipal>
<profissionalCNS>700000000000002</profissionalCNS>
<cboCodigo_2002>223208</cboCodigo_2002>
<cnes>0012345</cnes>
</lotacaoFormPrincipal>
<dataAtendimento>1571133601000</dataAtendimento>
<codigoIbgeMunicipio></codigoIbgeMunicipio>
</headerTransport>
</ns4:fichaAtendimentoOdontologicoMasterTransport>

<ns2:remetente>
<contraChave>VALMO</contraChave>
<uuidInstalacao>0012345-da1cb4c9-0000-0000-0005-788</uuidInstalacao>
<cpfOuCnpj>60391825000147</cpfOuCnpj>
<nomeOuRazaoSocial>ZUL INFORMATICA</nomeOuRazaoSocial>
</ns2:remetente>

<ns2:originadora>
<contraChave>VALMO</contraChave>
<uuidInstalacao>0012345-da1cb4c9-0000-0000-0005-788</uuidInstalacao>
<cpfOuCnpj>60391825000147</cpfOuCnpj>
<nomeOuRazaoSocial>ZUL INFORMATICA</nomeOuRazaoSocial>
</ns2:originadora>

<versao major="2" minor="1" revision="0"/>

</ns3:dadoTransporteTransportXml>
)"));
}

// A dental professional's ine of blanks is a missing one: both lines as for none, and no
// conversion error that would end the run.
TEST(Envelope, AtendimentoOdontologicoComIneDeBrancos) {
    const ValoresEnvelope v{.dados = de(TipoFicha::AtendimentoOdontologico),
                            .Unidade = "2345678",
                            .UUID = "0",
                            .numero = "1",
                            .profissional = {.ine = "    "}};
    const std::string texto = envelopeEmVolta(v, "");
    EXPECT_THAT(texto, HasSubstr("<ineDadoSerializado></ineDadoSerializado>\r\n"));
    EXPECT_THAT(texto, HasSubstr("<cnes>2345678</cnes>\r\n</lotacaoFormPrincipal>\r\n"));
}

TEST(Envelope, AtendimentoOdontologicoComIneLevaOIneNasDuasLinhas) {
    const ValoresEnvelope v{.dados = de(TipoFicha::AtendimentoOdontologico),
                            .Unidade = "2345678",
                            .UUID = "0",
                            .numero = "1",
                            .profissional = {.ine = "1234"}};
    const std::string texto = envelopeEmVolta(v, "");
    EXPECT_THAT(texto, HasSubstr("<ineDadoSerializado>0000001234</ineDadoSerializado>\r\n"));
    EXPECT_THAT(texto, HasSubstr("<cnes>2345678</cnes>\r\n<ine>0000001234</ine>\r\n"));
}

TEST(Envelope, CadastroDomiciliarInteiro) {
    const ValoresEnvelope v{
        .dados = de(TipoFicha::CadastroDomiciliar),
        .IBGE = "4205407",
        .Unidade = "2345678",
        .CODUNIDADE = "1111111",  // not the registrations' unit: they take Unidade
        .UUID = "9",              // nor their identifiers' text
        .numero = "45",
        .uuidDadoSerializado = "2345678-da1cb4c9-0004-0000-0001-D0000000045",
        .ineDadoSerializado = "0001234567",
    };
    EXPECT_EQ(envelopeEmVolta(v, "<corpo/>"), arquivo(R"(
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<ns3:dadoTransporteTransportXml
 xmlns:ns2="http://esus.ufsc.br/dadoinstalacao" xmlns:ns3="http://esus.ufsc.br/dadotransporte"
 xmlns:ns4="http://esus.ufsc.br/cadastrodomiciliar">
<uuidDadoSerializado>2345678-da1cb4c9-0004-0000-0001-D0000000045
</uuidDadoSerializado>
 <tipoDadoSerializado>3</tipoDadoSerializado>
<codIbge>4205407</codIbge>
<cnesDadoSerializado>2345678</cnesDadoSerializado>
<ineDadoSerializado>0001234567</ineDadoSerializado>
<numLote>3</numLote>
<ns4:cadastroDomiciliarTransport>
<corpo/>
</ns4:cadastroDomiciliarTransport>
<ns2:remetente>
<contraChave>VALMO</contraChave>
<uuidInstalacao>2345678-da1cb4c9-0000-0000-0004-00000000045</uuidInstalacao>
<cpfOuCnpj>60391825000147</cpfOuCnpj>
<nomeOuRazaoSocial>ZUL INFORMATICA</nomeOuRazaoSocial>
</ns2:remetente>

<ns2:originadora>
<contraChave>VALMO</contraChave>
<uuidInstalacao>2345678-da1cb4c9-0000-0000-0004-00000000045</uuidInstalacao>
<cpfOuCnpj>60391825000147</cpfOuCnpj>
<nomeOuRazaoSocial>ZUL INFORMATICA</nomeOuRazaoSocial>
</ns2:originadora>

<versao major="2" minor="1" revision="0"/>
</ns3:dadoTransporteTransportXml>
)"));
}

TEST(Envelope, CadastroSemIneNaoEscreveIneDadoSerializado) {
    ValoresEnvelope v{
        .dados = de(TipoFicha::CadastroIndividual), .Unidade = "2345678", .numero = "123"};
    const std::string texto = envelopeEmVolta(v, "<corpo/>");
    EXPECT_THAT(texto, Not(HasSubstr("ineDadoSerializado")));
    EXPECT_THAT(texto, HasSubstr("<cnesDadoSerializado>2345678</cnesDadoSerializado>\r\n"
                                 "<numLote>3</numLote>\r\n<ns4:cadastroIndividualTransport>\r\n"));
}

const std::string kHeaderComLotacao =
    "headerTransport lotacaoFormPrincipal profissionalCNS cboCodigo_2002 cnes ine "
    "/lotacaoFormPrincipal dataAtendimento codigoIbgeMunicipio /headerTransport";
const std::string kHeader =
    "headerTransport profissionalCNS cboCodigo_2002 cnes ine dataAtendimento codigoIbgeMunicipio "
    "/headerTransport";
const std::string kRemetente =
    "ns2:remetente contraChave uuidInstalacao cpfOuCnpj nomeOuRazaoSocial /ns2:remetente";
const std::string kOriginadora =
    "ns2:originadora contraChave uuidInstalacao cpfOuCnpj nomeOuRazaoSocial /ns2:originadora";
const std::string kRaiz = "?xml ns3:dadoTransporteTransportXml";
const std::string kIdentificacao =
    "uuidDadoSerializado tipoDadoSerializado codIbge cnesDadoSerializado";
const std::string kFinal = kRemetente + " ∅ " + kOriginadora + " ∅ versao";

TEST(Envelope, OrdemDasLinhasEValoresPorTipo) {
    struct Caso {
        TipoFicha tipo;
        std::string esqueleto;
        std::string linhasProprias;  // the kind's own values, in one stretch of the file
    };
    const Caso casos[] = {
        {TipoFicha::Vacinacao,
         kRaiz + " " + kIdentificacao + " numLote ∅ ns4:fichaVacinacaoMasterTransport ∅ " +
             kHeaderComLotacao +
             " ∅ corpo tpCdsOrigem uuidFicha /ns4:fichaVacinacaoMasterTransport ∅ " + kFinal +
             " /ns3:dadoTransporteTransportXml",
         "<tipoDadoSerializado>14</tipoDadoSerializado>\r\n<codIbge>1</codIbge>\r\n"
         "<cnesDadoSerializado>2345678</cnesDadoSerializado>\r\n<numLote>2</numLote>\r\n\r\n"
         "<ns4:fichaVacinacaoMasterTransport>"},
        {TipoFicha::Procedimento,
         kRaiz + " ∅ " + kIdentificacao + " numLote ∅ ns4:fichaProcedimentoMasterTransport " +
             kHeader + " corpo ∅ /ns4:fichaProcedimentoMasterTransport ∅ " + kFinal +
             " ∅ /ns3:dadoTransporteTransportXml",
         "<tipoDadoSerializado>7</tipoDadoSerializado>\r\n<codIbge>1</codIbge>\r\n"
         "<cnesDadoSerializado>2345678</cnesDadoSerializado>\r\n<numLote>2</numLote>\r\n\r\n"
         "<ns4:fichaProcedimentoMasterTransport>"},
        {TipoFicha::VisitaDomiciliar,
         kRaiz + " ∅ " + kIdentificacao +
             " ineDadoSerializado numLote ∅ ns4:fichaVisitaDomiciliarMasterTransport uuidFicha "
             "tpCdsOrigem " +
             kHeader + " corpo /ns4:fichaVisitaDomiciliarMasterTransport ∅ " + kFinal +
             " ∅ /ns3:dadoTransporteTransportXml",
         "<tipoDadoSerializado>8</tipoDadoSerializado>\r\n<codIbge>1</codIbge>\r\n"
         "<cnesDadoSerializado>2345678</cnesDadoSerializado>\r\n"
         "<ineDadoSerializado></ineDadoSerializado>\r\n<numLote>2</numLote>\r\n\r\n"
         "<ns4:fichaVisitaDomiciliarMasterTransport>"},
        {TipoFicha::AtividadeColetiva,
         kRaiz + " ∅ " + kIdentificacao +
             " ineDadoSerializado numLote ∅ ns4:fichaAtividadeColetivaTransport ∅ uuidFicha corpo "
             "∅ ∅ /ns4:fichaAtividadeColetivaTransport ∅ " +
             kFinal + " ∅ /ns3:dadoTransporteTransportXml",
         "<tipoDadoSerializado>6</tipoDadoSerializado>\r\n<codIbge>1</codIbge>\r\n"
         "<cnesDadoSerializado>2345678</cnesDadoSerializado>\r\n"
         "<ineDadoSerializado></ineDadoSerializado>\r\n<numLote>2</numLote>\r\n\r\n"
         "<ns4:fichaAtividadeColetivaTransport>"},
    };
    const std::string namespaces[] = {"fichavacinacaomaster", "fichaprocedimentomaster",
                                      "fichavisitadomiciliarmaster", "fichaatividadecoletiva"};
    for (std::size_t i = 0; i < std::size(casos); ++i) {
        const Caso& c = casos[i];
        // A team code on the row does not reach the kinds whose ineDadoSerializado is empty.
        const ValoresEnvelope v{.dados = de(c.tipo),
                                .IBGE = "1",
                                .Unidade = "2345678",
                                .UUID = "0",
                                .numero = "5",
                                .profissional = {.ine = "555", .dataAtendimento = "1"}};
        const std::string texto = envelopeEmVolta(v, "<corpo/>");
        EXPECT_EQ(esqueleto(texto), c.esqueleto) << i;
        EXPECT_THAT(texto, HasSubstr(c.linhasProprias)) << i;
        EXPECT_THAT(texto,
                    HasSubstr(" xmlns:ns4=\"http://esus.ufsc.br/" + namespaces[i] + "\">\r\n"))
            << i;
    }
}

TEST(Envelope, IdentificadoresENomeDeArquivo) {
    struct Caso {
        TipoFicha tipo;
        std::string Unidade, CODUNIDADE, UUID, numero;
        std::string transporte, ficha, instalacao, nome;
    };
    const Caso casos[] = {
        {TipoFicha::Vacinacao, "", "2345678", "0", "345", "2345678-da1cb4c9-0004-0000-0000-0345",
         "2345678-da1cb4c9-0004-0000-0000-0345", "2345678-da1cb4c9-0000-0000-0004-0345",
         "FichaVacinacao_345.esus.xml"},
        // Unidade shorter than 7 with a row unit that is not 7 long: padded in U7 only.
        {TipoFicha::AtendimentoIndividual, "12345", "123", "0", "345",
         "0012345-da1cb4c9-0004-0000-0000-0345", "12345-da1cb4c9-0004-0000-0000-0345",
         "0012345-da1cb4c9-0000-0000-0004-0345", "FichaAtendimentoIndividual_345.esus.xml"},
        {TipoFicha::Vacinacao, "12345", "23456789", "0", "1", "0012345-da1cb4c9-0004-0000-0000-01",
         "12345-da1cb4c9-0004-0000-0000-01", "0012345-da1cb4c9-0000-0000-0004-01",
         "FichaVacinacao_1.esus.xml"},
        // Empty Unidade: every identifier begins with the middle piece.
        {TipoFicha::AtendimentoIndividual, "", "", "0", "345", "-da1cb4c9-0004-0000-0000-0345",
         "-da1cb4c9-0004-0000-0000-0345", "-da1cb4c9-0000-0000-0004-0345",
         "FichaAtendimentoIndividual_345.esus.xml"},
        // A longer UUID text lengthens the last group; an empty one shortens it.
        {TipoFicha::AtendimentoOdontologico, "2345678", "", "ABC", "345",
         "2345678-da1cb4c9-0005-0000-0000-ABC345", "2345678-da1cb4c9-0005-0000-0000-ABC345",
         "2345678-da1cb4c9-0000-0000-0005-ABC345", "FichaAtendimentoOdontologico_345.esus.xml"},
        {TipoFicha::Procedimento, "2345678", "", "", "345", "2345678-da1cb4c9-0007-0000-0000-345",
         "2345678-da1cb4c9-0007-0000-0000-345", "2345678-da1cb4c9-0000-0000-0007-345",
         "FichaProcedimento_345.esus.xml"},
        {TipoFicha::VisitaDomiciliar, "2345678", "", "0", "0345",
         "2345678-da1cb4c9-0008-0000-0000-00345", "2345678-da1cb4c9-0008-0000-0000-00345",
         "2345678-da1cb4c9-0000-0000-0008-00345", "FichaVisitaDomiciliar_0345.esus.xml"},
        // The group activity's number is padded to 11 in the identifiers, not in the name.
        {TipoFicha::AtividadeColetiva, "2345678", "", "0", "77",
         "2345678-da1cb4c9-0008-0000-0000-000000000077",
         "2345678-da1cb4c9-0008-0000-0000-000000000077",
         "2345678-da1cb4c9-0008-0000-0000-000000000077", "FichaAtivColetiva_77.esus.xml"},
    };
    for (const auto& c : casos) {
        const ValoresEnvelope v{.dados = de(c.tipo),
                                .Unidade = c.Unidade,
                                .CODUNIDADE = c.CODUNIDADE,
                                .UUID = c.UUID,
                                .numero = c.numero};
        EXPECT_EQ(identificadorTransporte(v), c.transporte) << c.nome;
        EXPECT_EQ(identificadorFicha(v), c.ficha) << c.nome;
        EXPECT_EQ(identificadorInstalacao(v), c.instalacao) << c.nome;
        EXPECT_EQ(nomeArquivo(c.tipo, c.numero), c.nome);
    }
}

// A record whose identifier an earlier record of the run has: the suffix goes after its
// transport and form identifiers, the padded and the unpadded alike; the sender's stays.
TEST(Envelope, SufixoNosIdentificadoresDeTransporteEDaFicha) {
    struct Caso {
        TipoFicha tipo;
        std::string transporte, ficha, instalacao;
    };
    const Caso casos[] = {
        {TipoFicha::AtendimentoIndividual, "0012345-da1cb4c9-0004-0000-0000-03002-2",
         "12345-da1cb4c9-0004-0000-0000-03002-2", "0012345-da1cb4c9-0000-0000-0004-03002"},
        {TipoFicha::AtendimentoOdontologico, "0012345-da1cb4c9-0005-0000-0000-03002-2",
         "0012345-da1cb4c9-0005-0000-0000-03002-2", "0012345-da1cb4c9-0000-0000-0005-03002"},
        {TipoFicha::AtividadeColetiva, "0012345-da1cb4c9-0008-0000-0000-000000003002-2",
         "0012345-da1cb4c9-0008-0000-0000-000000003002-2",
         "0012345-da1cb4c9-0008-0000-0000-000000003002"},
    };
    for (const Caso& c : casos) {
        const ValoresEnvelope v{.dados = de(c.tipo),
                                .Unidade = "12345",
                                .CODUNIDADE = "12",
                                .UUID = "0",
                                .numero = "3002",
                                .sufixoIdentificador = "-2"};
        EXPECT_EQ(identificadorTransporte(v), c.transporte);
        EXPECT_EQ(identificadorFicha(v), c.ficha);
        EXPECT_EQ(identificadorInstalacao(v), c.instalacao);
    }
    const ValoresEnvelope cadastro{.dados = de(TipoFicha::CadastroIndividual),
                                   .Unidade = "2345678",
                                   .numero = "123",
                                   .uuidDadoSerializado = "do registro",
                                   .sufixoIdentificador = "-2"};
    EXPECT_EQ(identificadorTransporte(cadastro), "do registro-2");
}

TEST(Envelope, IdentificadoresDosCadastros) {
    const ValoresEnvelope individual{.dados = de(TipoFicha::CadastroIndividual),
                                     .Unidade = "2345678",
                                     .UUID = "0",
                                     .numero = "123",
                                     .uuidDadoSerializado = "do registro de transmissões"};
    EXPECT_EQ(identificadorTransporte(individual), "do registro de transmissões");
    EXPECT_EQ(identificadorInstalacao(individual), "2345678-da1cb4c9-0000-0000-0004-00000000123");
    EXPECT_THROW(identificadorFicha(individual), std::logic_error);
    EXPECT_EQ(nomeArquivo(TipoFicha::CadastroIndividual, "123"),
              "FichaCadastroIndividual_00000000123.esus.xml");
    EXPECT_EQ(nomeArquivo(TipoFicha::CadastroDomiciliar, "123"),
              "FichaCadastroDomiciliar_000000000123.esus.xml");
}

TEST(Envelope, UnidadeDaFicha) {
    struct Caso {
        TipoFicha tipo;
        std::string Unidade, CODUNIDADE, U, U7;
    };
    const Caso casos[] = {
        {TipoFicha::AtendimentoIndividual, "12345", "2345678", "2345678", "2345678"},
        {TipoFicha::AtendimentoIndividual, "12345", "234567", "12345", "0012345"},
        {TipoFicha::AtendimentoIndividual, "12345", "", "12345", "0012345"},
        {TipoFicha::AtendimentoIndividual, "", "", "", ""},
        // Seven once trimmed: taken as read.
        {TipoFicha::VisitaDomiciliar, "12345", " 2345678", " 2345678", "2345678"},
        {TipoFicha::CadastroIndividual, "12345", "2345678", "12345", "0012345"},
    };
    for (const auto& c : casos) {
        const ValoresEnvelope v{
            .dados = de(c.tipo), .Unidade = c.Unidade, .CODUNIDADE = c.CODUNIDADE};
        EXPECT_EQ(unidadeDaFicha(v), c.U) << c.Unidade << "/" << c.CODUNIDADE;
        EXPECT_EQ(unidadeDaFicha7(v), c.U7) << c.Unidade << "/" << c.CODUNIDADE;
    }
}

TEST(Envelope, UnidadeComLetraFalhaNoPrimeiroArquivo) {
    const ValoresEnvelope v{.dados = de(TipoFicha::AtendimentoIndividual),
                            .Unidade = "12A45",
                            .CODUNIDADE = "",
                            .UUID = "0",
                            .numero = "1"};
    RegistroBuffer buffer;
    try {
        escreveCabecalho(buffer, v);
        FAIL() << "unidade com letra aceita";
    } catch (const ErroConversao& e) {
        EXPECT_THAT(e.what(), HasSubstr("'12A45'"));
    }
}

TEST(HeaderTransport, SemLotacaoComTrocaDeCboEIneAusente) {
    const ValoresEnvelope v{
        .dados = de(TipoFicha::AtividadeColetiva),
        .IBGE = "4205407",
        .Unidade = "2345678",
        .profissional = {
            .CNS = "700&1", .CBO = "322205", .ine = "   ", .dataAtendimento = "1571133601000"}};
    RegistroBuffer buffer;
    escreveHeaderTransport(buffer, v);
    EXPECT_EQ(buffer.texto(), arquivo(R"(
<headerTransport>
<profissionalCNS>700&amp;1</profissionalCNS>
<cboCodigo_2002>223505</cboCodigo_2002>
<cnes>2345678</cnes>
<dataAtendimento>1571133601000</dataAtendimento>
<codigoIbgeMunicipio>4205407</codigoIbgeMunicipio>
</headerTransport>
)"));
}

TEST(HeaderTransport, IneDeBrancosEAusente) {
    struct Caso {
        const char* ine;
        bool tem;
    };
    for (const Caso& c : {Caso{"", false}, Caso{"   ", false}, Caso{"\t", false}, Caso{"123", true},
                          Caso{" 123 ", true}})
        EXPECT_EQ(temIne({.ine = c.ine}), c.tem) << "'" << c.ine << "'";
}

TEST(HeaderTransport, CadastroGuardaOCboComoLido) {
    const ValoresEnvelope v{
        .dados = de(TipoFicha::CadastroIndividual),
        .Unidade = "2345678",
        .profissional = {.CBO = "322245", .ine = "42", .dataAtendimento = "1571133601000"}};
    RegistroBuffer buffer;
    escreveHeaderTransport(buffer, v);
    EXPECT_THAT(buffer.texto(), HasSubstr("<cboCodigo_2002>322245</cboCodigo_2002>\r\n"
                                          "<cnes>2345678</cnes>\r\n<ine>0000000042</ine>\r\n"
                                          "<dataAtendimento>1571133601000</dataAtendimento>\r\n"));
}

// The care date is typed as a number: without one the line is left out, not sent empty.
TEST(HeaderTransport, DataVaziaFicaDeFora) {
    const ValoresEnvelope v{.dados = de(TipoFicha::AtendimentoIndividual), .Unidade = "2345678"};
    RegistroBuffer buffer;
    escreveHeaderTransport(buffer, v);
    EXPECT_THAT(buffer.texto(), HasSubstr("</lotacaoFormPrincipal>\r\n<codigoIbgeMunicipio>"));
}

TEST(HeaderTransport, IneQueNaoENumeroEncerraComErroDeConversao) {
    const ValoresEnvelope v{.dados = de(TipoFicha::VisitaDomiciliar),
                            .Unidade = "2345678",
                            .profissional = {.ine = "12a"}};
    RegistroBuffer buffer;
    EXPECT_THROW(escreveHeaderTransport(buffer, v), ErroConversao);
}

TEST(Envelope, LinhasAvulsasParaOCorpo) {
    // The procedures body places the form identifier and the origin after its own lines.
    const ValoresEnvelope v{
        .dados = de(TipoFicha::Procedimento), .Unidade = "2345678", .UUID = "0", .numero = "12"};
    RegistroBuffer buffer;
    escreveLinhas(buffer, v, {LinhaEnvelope::UuidFicha, LinhaEnvelope::TpCdsOrigem});
    EXPECT_EQ(buffer.texto(),
              "<uuidFicha>2345678-da1cb4c9-0007-0000-0000-012</uuidFicha>\r\n"
              "<tpCdsOrigem>3</tpCdsOrigem>\r\n");
}

TEST(Envelope, ValoresSaoEscapados) {
    const ValoresEnvelope v{.dados = de(TipoFicha::AtendimentoIndividual),
                            .IBGE = "42<05",
                            .Unidade = "A&B",
                            .CODUNIDADE = "2345678",
                            .UUID = "0",
                            .numero = "1"};
    const std::string texto = envelopeEmVolta(v, "");
    EXPECT_THAT(texto, HasSubstr("<codIbge>42&lt;05</codIbge>\r\n"));
    EXPECT_THAT(texto, HasSubstr("<cnesDadoSerializado>A&amp;B</cnesDadoSerializado>\r\n"));
}

}  // namespace
}  // namespace cds
