#include "export/relatorio.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "comum/erro.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/leiaute_teste.hpp"
#include "suporte/pasta_so_leitura.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> nomesEm(const fs::path& pasta) {
    std::vector<std::string> nomes;
    for (const auto& e : fs::directory_iterator(pasta)) nomes.push_back(e.path().filename());
    std::sort(nomes.begin(), nomes.end());
    return nomes;
}

class RelatorioTest : public ::testing::Test {
  protected:
    RelatorioTest() {
        parametros.DataInicial = std::chrono::year{2026} / 11 / 1;
        parametros.DataFinal = std::chrono::year{2026} / 11 / 30;
        parametros.Unidade = "2345678";
        parametros.Caminho = pasta.caminho().string();
        parametros.Fichas = {TipoFicha::AtendimentoIndividual, TipoFicha::VisitaDomiciliar};
    }

    std::string zip() const { return (pasta.caminho() / "FichasValmo_x.zip").string(); }

    static Ocorrencia linha(TipoFicha tipo, SituacaoRegistro situacao, std::string numero,
                            std::string motivo, std::string profissional = "Dra. Ana") {
        return {tipo,
                situacao,
                std::move(numero),
                "2345678",
                "15/11/2026",
                std::move(profissional),
                std::move(motivo),
                ""};
    }

    teste::PastaTemporaria pasta;
    ParametrosExportacao parametros;
    const DataHora inicio{2026, 12, 1, 8, 5, 0};
};

// The summary of the chosen kinds only, in the run's order: each written record once, those
// with warnings and refusals counted as records, the left-out ones by reason in the order the
// reasons came.
TEST_F(RelatorioTest, ResumoPorFichaEMotivo) {
    Relatorio relatorio(parametros, inicio);
    using enum SituacaoRegistro;
    relatorio.registroGravado(TipoFicha::VisitaDomiciliar, false, false);
    relatorio.registroGravado(TipoFicha::AtendimentoIndividual, true, false);
    relatorio.registroGravado(TipoFicha::AtendimentoIndividual, true, true);
    relatorio.registroGravado(TipoFicha::AtendimentoIndividual, false, false);
    relatorio.ocorrencia(linha(TipoFicha::AtendimentoIndividual, DeixadoDeFora, "7", "sem CID"));
    relatorio.ocorrencia(linha(TipoFicha::AtendimentoIndividual, DeixadoDeFora, "8", "CRAS"));
    relatorio.ocorrencia(linha(TipoFicha::AtendimentoIndividual, DeixadoDeFora, "9", "sem CID"));
    relatorio.ocorrencia(linha(TipoFicha::VisitaDomiciliar, DeixadoDeFora, "3", "sem cartão"));

    const ResumoDoRelatorio r = relatorio.conclui(zip());

    ASSERT_EQ(r.tipos.size(), 2u);
    const ResumoDoTipo& atendimento = r.tipos[0];
    EXPECT_EQ(atendimento.tipo, TipoFicha::AtendimentoIndividual);
    EXPECT_EQ(atendimento.gravados, 3u);
    EXPECT_EQ(atendimento.comAviso, 2u);
    EXPECT_EQ(atendimento.recusaveis, 1u);
    EXPECT_EQ(atendimento.deixados, 3u);
    EXPECT_EQ(atendimento.deixadosPorMotivo,
              (std::vector<std::pair<std::string, std::size_t>>{{"sem CID", 2}, {"CRAS", 1}}));
    EXPECT_EQ(r.tipos[1].tipo, TipoFicha::VisitaDomiciliar);
    EXPECT_EQ(r.tipos[1].gravados, 1u);
    EXPECT_EQ(tabelaDoResumo(r),
              (std::vector<std::string>{
                  "Ficha                       Enviados  Deixados de fora  Com aviso  Serão "
                  "recusados",
                  "FichaAtendimentoIndividual         3                 3          2          "
                  "      1",
                  "FichaVisitaDomiciliar              1                 1          0          "
                  "      0",
                  "FichaAtendimentoIndividual, deixados de fora: sem CID: 2",
                  "FichaAtendimentoIndividual, deixados de fora: CRAS: 1",
                  "FichaVisitaDomiciliar, deixados de fora: sem cartão: 1"}));
}

// The spreadsheet opens as a pt-BR spreadsheet expects and reads every field back whole; a
// clinic's text never runs as a formula. The page is one self-contained file whose texts are
// escaped, with a section per situation.
TEST_F(RelatorioTest, PlanilhaEPaginaComOsTextosProtegidos) {
    Relatorio relatorio(parametros, inicio);
    using enum SituacaoRegistro;
    relatorio.ocorrencia(linha(TipoFicha::AtendimentoIndividual, DeixadoDeFora, "7",
                               "caráter do atendimento 7; \"urgência\"", "=HYPERLINK(\"x\")"));
    relatorio.ocorrencia(
        linha(TipoFicha::VisitaDomiciliar, GravadoComAviso, "3", "<script>alert(1)</script>"));
    Ocorrencia recusa = linha(TipoFicha::VisitaDomiciliar, Recusavel, "4", "CNS inválido");
    recusa.elemento = "cnsCidadao";
    relatorio.ocorrencia(recusa);

    const ResumoDoRelatorio r = relatorio.conclui(zip());

    EXPECT_EQ(r.csv, pasta.caminho() / "FichasValmo_x.relatorio.csv");
    EXPECT_EQ(teste::leArquivo(r.csv),
              "\xEF\xBB\xBF"
              "Ficha;Situação;Número;Unidade;Data;Profissional;Motivo;Elemento\r\n"
              "FichaAtendimentoIndividual;Deixado de fora;7;2345678;15/11/2026;"
              "\"'=HYPERLINK(\"\"x\"\")\";\"caráter do atendimento 7; \"\"urgência\"\"\";\r\n"
              "FichaVisitaDomiciliar;Enviado com aviso;3;2345678;15/11/2026;Dra. Ana;"
              "<script>alert(1)</script>;\r\n"
              "FichaVisitaDomiciliar;Será recusado pelo e-SUS;4;2345678;15/11/2026;Dra. Ana;"
              "CNS inválido;cnsCidadao\r\n");

    EXPECT_EQ(r.html, pasta.caminho() / "FichasValmo_x.relatorio.html");
    const std::string pagina = teste::leArquivo(r.html);
    EXPECT_EQ(pagina.find("<script>"), std::string::npos);
    EXPECT_NE(pagina.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_EQ(pagina.find("http"), std::string::npos) << "nada a buscar fora do arquivo";
    EXPECT_EQ(pagina.find("<link"), std::string::npos);
    EXPECT_NE(pagina.find("<td>cnsCidadao</td>"), std::string::npos);
    EXPECT_NE(pagina.find("01/11/2026 a 30/11/2026"), std::string::npos);
    EXPECT_EQ(pagina.find("A exportação falhou"), std::string::npos);
    EXPECT_EQ(teste::relatorioDoXmllint("--html", {r.html}), "");
    // Only the report's two files: nothing hidden left in the folder.
    EXPECT_EQ(nomesEm(pasta.caminho()), (std::vector<std::string>{"FichasValmo_x.relatorio.csv",
                                                                  "FichasValmo_x.relatorio.html"}));
}

// Written again, the report replaces itself, now marked as failed, with the lines told since.
TEST_F(RelatorioTest, ConcluidoDeNovoComoFalha) {
    Relatorio relatorio(parametros, inicio);
    relatorio.ocorrencia(
        linha(TipoFicha::AtendimentoIndividual, SituacaoRegistro::DeixadoDeFora, "1", "sem CID"));
    relatorio.conclui(zip());
    relatorio.ocorrencia(
        linha(TipoFicha::AtendimentoIndividual, SituacaoRegistro::DeixadoDeFora, "2", "CRAS"));

    const ResumoDoRelatorio r = relatorio.conclui(zip(), "o servidor recusou a confirmação");

    EXPECT_TRUE(r.falhou);
    const std::string pagina = teste::leArquivo(r.html);
    EXPECT_NE(pagina.find("A exportação falhou e nada foi enviado"), std::string::npos);
    EXPECT_NE(pagina.find("o servidor recusou a confirmação"), std::string::npos);
    EXPECT_NE(pagina.find("Arquivo que seria gerado"), std::string::npos);
    const std::string planilha = teste::leArquivo(r.csv);
    EXPECT_NE(planilha.find(";1;"), std::string::npos);
    EXPECT_NE(planilha.find(";2;"), std::string::npos);
    EXPECT_EQ(nomesEm(pasta.caminho()).size(), 2u);
}

// A folder the report cannot be written in fails with the folder's reason, and leaves nothing.
TEST_F(RelatorioTest, PastaSemGravacaoFalhaComOMotivo) {
    Relatorio relatorio(parametros, inicio);
    const fs::path fechada = pasta.caminho() / "fechada";
    teste::PastaSoDeLeitura soLeitura(fechada);
    if (!soLeitura.pronta()) GTEST_SKIP() << soLeitura.motivo();
    soLeitura.fecha();
    try {
        relatorio.conclui((fechada / "FichasValmo_x.zip").string());
        ADD_FAILURE() << "o relatório foi dado por gravado";
    } catch (const ErroArquivo& e) {
        EXPECT_NE(std::string(e.what()).find("Não foi possível gravar o relatório " +
                                             (fechada / "FichasValmo_x.relatorio.html").string()),
                  std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(fs::is_empty(fechada));
}

}  // namespace
}  // namespace cds
