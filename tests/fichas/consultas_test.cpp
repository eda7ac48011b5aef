// Every statement of every record kind, prepared by the generators themselves against
// db/schema.sql, and run on the demo clinic of db/demo.sql.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

#include "fichas/cenario.hpp"
#include "fichas/transmissao.hpp"
#include "source/consulta.hpp"

namespace cds {
namespace {

// On an empty clinic a kind prepares all its statements, binds its values and writes nothing;
// a statement the schema does not accept fails here with the server's message.
TEST(ConsultasDasFichas, CadaTipoPreparaSuasConsultasNoEsquema) {
    for (const DescricaoFicha& d : registroFichas()) {
        if (!d.gera) continue;
        SCOPED_TRACE(std::string(d.nome));
        for (const char* codProf : {"", "10"}) {
            teste::CenarioFichas c;
            c.parametros.CodProf = codProf;
            // The registrations run their queries only with a generic professional of the
            // clinic's.
            c.banco.executa("INSERT INTO PROFISSIONAIS (CODIGO, nome) VALUES (9, 'Genérico')");
            c.parametros.ProfissionalGenerico = "9";
            EXPECT_NO_THROW(c.gera(d.tipo));
            EXPECT_TRUE(c.execucao().ListaArquivos.empty());
        }
    }
}

// The demo clinic of November 2026: every kind that is built finds its records, the rows its
// query must leave out (a CRAS, October, CARATER 7, a dentist) stay out and are reported with
// their reasons, the records seeded with values the importer refuses are reported, and every
// file written is one the layout's official schema accepts.
TEST(ConsultasDasFichas, ClinicaDeDemonstracaoTemRegistrosDeCadaTipo) {
    const std::map<TipoFicha, std::size_t> esperados = {
        // Marked "Sim": eleven citizens still in care (113 has left, 104 was sent, 114 has no
        // register row) and four households (112 was sent).
        {TipoFicha::CadastroIndividual, 11},
        {TipoFicha::CadastroDomiciliar, 4},
        // Eight episodes; one of them asked for two kinds of help and comes twice.
        {TipoFicha::AtendimentoIndividual, 9},
        // 1004 (a rapid test), 1010, 1011 and 1012; 1013's procedure goes to neither list.
        {TipoFicha::Procedimento, 4},
        // 2001 to 2004; 2005 is of the CRAS, 2006 of October.
        {TipoFicha::AtendimentoOdontologico, 4},
        {TipoFicha::Vacinacao, 9},
        // Eight visits; the citizen with the card "X" stays out.
        {TipoFicha::VisitaDomiciliar, 8},
        // Five meetings of November with a theme, an audience or a health theme.
        {TipoFicha::AtividadeColetiva, 5},
    };
    // Each kind's records of the month that do not go, and those that go with a value the
    // importer refuses: "number|reason".
    const std::vector<std::string> cuidado = {
        "1951|espécie do atendimento 'medico' fora do padrão (deve ser MEDICO)",
        "9001|unidade de assistência social (CRAS), que não se exporta",
        "1952|profissional do atendimento não está no cadastro",
        "1953|CBO do profissional não está na tabela de CBO",
        "1954|cidadão sem data de nascimento",
        "1006|caráter do atendimento 7 (não se exporta)",
        "1955|atendimento sem CIAP (sem X) nem CID",
        "1956|unidade não está no cadastro de unidades"};
    const std::string cnsErrado = "CNS com dígito verificador inválido (898001234560105)";
    const std::map<TipoFicha, std::pair<std::vector<std::string>, std::vector<std::string>>>
        relatados = {
            {TipoFicha::CadastroIndividual,
             {{"113|cidadão desativado no cadastro em 01/06/2026",
               "115|marca de envio ao e-SUS 'sim' fora do padrão (deve ser Sim)"},
              {"105|" + cnsErrado}}},
            {TipoFicha::CadastroDomiciliar,
             {{"115|marca de envio ao e-SUS 'SIM' fora do padrão (deve ser Sim)",
               "116|responsável pelo domicílio não está no cadastro de pessoas"},
              {}}},
            // 55's transport identifier is one character short of the importer's least.
            {TipoFicha::AtendimentoIndividual,
             {cuidado,
              {"55|UUID com 35 caracteres, fora de 36 a 44 (2345678-da1cb4c9-0004-0000-0000-055)",
               "1957|data de nascimento 08/12/2026 posterior à data do atendimento 25/11/2026"}}},
            {TipoFicha::Procedimento,
             {{"1901|data de nascimento 08/12/2026 depois da data do atendimento",
               "2005|unidade de assistência social (CRAS), que não se exporta",
               "1902|data de nascimento 01/01/1900 (deve ser depois de 01/01/1900)",
               "1903|atendimento sem o sexo do cidadão",
               "1904|profissional do atendimento não está no cadastro"},
              {"1011|" + cnsErrado}}},
            {TipoFicha::AtendimentoOdontologico,
             {{"2901|cidadão sem data de nascimento",
               "2005|unidade de assistência social (CRAS), que não se exporta",
               "2902|caráter do atendimento 8 (não se exporta)",
               "2903|unidade não está no cadastro de unidades",
               "2904|unidade sem nome no cadastro de unidades"},
              {}}},
            {TipoFicha::Vacinacao, {cuidado, {"55|" + cnsErrado}}},
            {TipoFicha::VisitaDomiciliar,
             {{"3901|espécie do atendimento 'visita' fora do padrão (deve ser VISITA)",
               "3902|cidadão sem Cartão SUS",
               "3903|Cartão SUS do cidadão '0' não é um número de cartão",
               "3005|Cartão SUS do cidadão 'X' não é um número de cartão"},
              {"56|" + cnsErrado}}},
            {TipoFicha::AtividadeColetiva,
             {{"24|encontro sem tema, público-alvo nem tema de saúde registrado",
               "21|encontro sem tema, público-alvo nem tema de saúde registrado"},
              {}}},
        };
    for (const DescricaoFicha& d : registroFichas()) {
        if (!d.gera) continue;
        SCOPED_TRACE(std::string(d.nome));
        teste::CenarioFichas c(teste::Conteudo::Demonstracao);
        c.parametros.DataInicial = std::chrono::year{2026} / 11 / 1;
        c.parametros.DataFinal = std::chrono::year{2026} / 11 / 30;
        c.parametros.ProfissionalGenerico = "9";
        c.gera(d.tipo);
        ASSERT_TRUE(esperados.contains(d.tipo)) << "a kind without rows in the demo clinic";
        EXPECT_EQ(c.execucao().ListaArquivos.size(), esperados.at(d.tipo));
        EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::DeixadoDeFora), relatados.at(d.tipo).first);
        EXPECT_EQ(c.ocorrencias.de(SituacaoRegistro::Recusavel), relatados.at(d.tipo).second);
        std::vector<std::filesystem::path> arquivos;
        for (const auto& arquivo : c.execucao().ListaArquivos) arquivos.push_back(arquivo.caminho);
        EXPECT_EQ(teste::errosDeLeiaute(arquivos), "");
    }
}

// A kind runs the same statements however many records it has: its main query and each
// look-up once. The registrations add one write-back per batch of files. Compared here: the demo
// clinic's November, and a month without records (the registrations' marks taken away).
TEST(ConsultasDasFichas, ComandosNaoCrescemComOsRegistros) {
    auto comandos = [](TipoFicha tipo, bool comRegistros, std::size_t& arquivos) {
        teste::CenarioFichas c(teste::Conteudo::Demonstracao);
        const int ano = comRegistros ? 2026 : 2030;
        c.parametros.DataInicial = std::chrono::year{ano} / 11 / 1;
        c.parametros.DataFinal = std::chrono::year{ano} / 11 / 30;
        c.parametros.ProfissionalGenerico = "9";
        if (!comRegistros)
            for (const char* tabela : {"pessoastransmissao", "familiastransmissao"})
                c.banco.executa(std::string("UPDATE ") + tabela + " SET transmitiresus = 'Não'");
        c.execucao();
        const std::uint64_t antes = comandosExecutados();
        c.gera(tipo);
        arquivos = c.execucao().ListaArquivos.size();
        return comandosExecutados() - antes;
    };
    for (const DescricaoFicha& d : registroFichas()) {
        if (!d.gera) continue;
        SCOPED_TRACE(std::string(d.nome));
        std::size_t arquivos = 0, nenhum = 0;
        const std::uint64_t com = comandos(d.tipo, true, arquivos);
        const std::uint64_t sem = comandos(d.tipo, false, nenhum);
        ASSERT_GT(arquivos, 1u);
        EXPECT_EQ(nenhum, 0u);
        const bool cadastro =
            d.tipo == TipoFicha::CadastroIndividual || d.tipo == TipoFicha::CadastroDomiciliar;
        const std::size_t lotes =
            (arquivos + RegistroTransmissao::kLote - 1) / RegistroTransmissao::kLote;
        EXPECT_EQ(com - sem, cadastro ? lotes : 0u);
    }
}

}  // namespace
}  // namespace cds
