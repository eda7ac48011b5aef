#include "app/gui/dialogo_resumo.hpp"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

// Failures show the text, not its bytes.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace cds {
namespace {

namespace fs = std::filesystem;

const fs::path kPasta = "/srv/clínica/exportação";
const fs::path kZip = kPasta / "FichasValmo_03112019_1405_01102019_31102019.zip";
const fs::path kHtml = kPasta / "FichasValmo_03112019_1405_01102019_31102019.relatorio.html";

// Two kinds: one with records left out for two reasons, warned of and to be refused; one clean.
ResumoDoRelatorio resumoDeDoisTipos() {
    ResumoDoRelatorio resumo;
    const ResumoDoTipo atendimentos{
        .tipo = TipoFicha::AtendimentoIndividual,
        .gravados = 1234,
        .deixados = 5,
        .deixadosPorMotivo = {{"unidade sem nome no cadastro de unidades", 3},
                              {"CBO do profissional não está na tabela de CBO", 2}},
        .comAviso = 7,
        .recusaveis = 1};
    const ResumoDoTipo procedimentos{.tipo = TipoFicha::Procedimento,
                                     .gravados = 12,
                                     .deixados = 0,
                                     .deixadosPorMotivo = {},
                                     .comAviso = 0,
                                     .recusaveis = 0};
    resumo.tipos = {atendimentos, procedimentos};
    resumo.html = kHtml;
    resumo.csv = kPasta / "FichasValmo_03112019_1405_01102019_31102019.relatorio.csv";
    return resumo;
}

QString textoDoCaminho(const fs::path& caminho) {
    return QString::fromStdString(caminho.string());
}

// Far beyond a button's press on its key, which lasts a tenth of a second.
constexpr int kPrazo = 5'000;
// Long enough for a button's key to have clicked it.
constexpr int kEsperaDaTecla = 500;

class DialogoResumoTest : public ::testing::Test {
  protected:
    // The opener records what it is asked, and answers as told.
    DialogoResumo& criaDialogo(const ResumoDoRelatorio& resumo) {
        dialogo = std::make_unique<DialogoResumo>(
            ExecucaoConcluida{kZip, resumo, std::chrono::seconds{125}, notas},
            [this](const QUrl& local) {
                abertos.push_back(local);
                return abre;
            });
        return *dialogo;
    }

    DialogoResumo& mostraDialogo(const ResumoDoRelatorio& resumo) {
        DialogoResumo& d = criaDialogo(resumo);
        d.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
        return d;
    }

    std::vector<QUrl> abertos;
    bool abre = true;
    std::vector<std::string> notas;
    std::unique_ptr<DialogoResumo> dialogo;
};

TEST(DuracaoDaExecucao, EmSegundosMinutosOuHoras) {
    const std::pair<long long, const char*> casos[] = {
        {0, "0 s"},           {59, "59 s"},          {60, "1 min 00 s"},
        {125, "2 min 05 s"},  {3599, "59 min 59 s"}, {3600, "1 h 00 min"},
        {3725, "1 h 02 min"}, {90061, "25 h 01 min"}};
    for (const auto& [segundos, esperado] : casos)
        EXPECT_EQ(textoDaDuracao(std::chrono::seconds{segundos}), QString::fromUtf8(esperado))
            << segundos;
}

// The closing notes (the error list and its place, the warnings) are read in the summary.
TEST_F(DialogoResumoTest, NotasFinaisNoResumo) {
    notas = {"A lista de erros tem 2 linhas: /srv/erros.txt", "GERAL/IBGE está em branco."};
    DialogoResumo& d = mostraDialogo(resumoDeDoisTipos());
    EXPECT_TRUE(d.rotuloNotas->isVisible());
    EXPECT_EQ(d.rotuloNotas->text(), QString::fromUtf8("A lista de erros tem 2 linhas: "
                                                       "/srv/erros.txt\nGERAL/IBGE está em "
                                                       "branco."));
}

TEST_F(DialogoResumoTest, UmaLinhaPorFichaComAsContagens) {
    DialogoResumo& d = mostraDialogo(resumoDeDoisTipos());
    EXPECT_EQ(d.windowTitle(), QString::fromUtf8("Resumo da exportação"));
    EXPECT_FALSE(d.isModal());
    EXPECT_EQ(d.rotuloArquivo->text(),
              QStringLiteral("FichasValmo_03112019_1405_01102019_31102019.zip"));
    EXPECT_EQ(d.rotuloPasta->text(), QString::fromUtf8("/srv/clínica/exportação"));
    EXPECT_EQ(d.rotuloDuracao->text(), QStringLiteral("2 min 05 s"));
    EXPECT_FALSE(d.rotuloNotas->isVisible());

    QStringList cabecalho;
    for (int c = 0; c < d.tabela->columnCount(); ++c)
        cabecalho.push_back(d.tabela->horizontalHeaderItem(c)->text());
    EXPECT_EQ(cabecalho, QString::fromUtf8("Ficha|Enviados|Deixados de fora|Com aviso|Serão "
                                           "recusados")
                             .split(QLatin1Char('|')));

    // The kind's window label, then the counts as written in pt-BR.
    const QStringList esperadas[] = {
        {QStringLiteral("Ficha de Atendimento Individual"), QStringLiteral("1.234"),
         QStringLiteral("5"), QStringLiteral("7"), QStringLiteral("1")},
        {QStringLiteral("Ficha de Procedimentos"), QStringLiteral("12"), QStringLiteral("0"),
         QStringLiteral("0"), QStringLiteral("0")},
    };
    ASSERT_EQ(d.tabela->rowCount(), static_cast<int>(std::size(esperadas)));
    for (int l = 0; l < d.tabela->rowCount(); ++l) {
        QStringList linha;
        for (int c = 0; c < d.tabela->columnCount(); ++c) {
            const QTableWidgetItem* item = d.tabela->item(l, c);
            ASSERT_NE(item, nullptr) << l << ',' << c;
            EXPECT_FALSE(item->flags() & Qt::ItemIsEditable) << l << ',' << c;
            linha.push_back(item->text());
        }
        EXPECT_EQ(linha, esperadas[l]) << l;
    }

    // The reasons, each with its count, where the count of the left-out is; none on a kind
    // that left nothing out.
    EXPECT_EQ(d.tabela->item(0, DialogoResumo::DeixadosDeFora)->toolTip(),
              QString::fromUtf8("unidade sem nome no cadastro de unidades: 3\n"
                                "CBO do profissional não está na tabela de CBO: 2"));
    EXPECT_EQ(d.tabela->item(1, DialogoResumo::DeixadosDeFora)->toolTip(), QString());
    EXPECT_TRUE(d.rotuloMotivos->isVisible());
    EXPECT_FALSE(d.rotuloFalha->isVisible());

    // Every line and column in sight, without scrolling.
    EXPECT_LE(d.tabela->horizontalHeader()->length(), d.tabela->viewport()->width());
    EXPECT_LE(d.tabela->verticalHeader()->length(), d.tabela->viewport()->height());
}

TEST_F(DialogoResumoTest, NadaDeixadoDeForaNaoFalaDeMotivos) {
    ResumoDoRelatorio resumo = resumoDeDoisTipos();
    resumo.tipos.erase(resumo.tipos.begin());
    DialogoResumo& d = mostraDialogo(resumo);
    EXPECT_EQ(d.tabela->rowCount(), 1);
    EXPECT_FALSE(d.rotuloMotivos->isVisible());
}

// Each button, by a click or by its Alt key, asks to open its own place: the report's page, or
// the archive's folder.
TEST_F(DialogoResumoTest, BotoesAbremORelatorioEAPasta) {
    struct Caso {
        const char* nome;
        std::function<void(DialogoResumo&)> aperta;
        fs::path esperado;
    };
    const Caso casos[] = {
        {"clique no relatório",
         [](DialogoResumo& d) { QTest::mouseClick(d.botaoRelatorio, Qt::LeftButton); }, kHtml},
        {"Alt+R", [](DialogoResumo& d) { QTest::keyClick(&d, Qt::Key_R, Qt::AltModifier); }, kHtml},
        {"clique na pasta",
         [](DialogoResumo& d) { QTest::mouseClick(d.botaoPasta, Qt::LeftButton); }, kPasta},
        {"Alt+P", [](DialogoResumo& d) { QTest::keyClick(&d, Qt::Key_P, Qt::AltModifier); },
         kPasta},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        abertos.clear();
        DialogoResumo& d = mostraDialogo(resumoDeDoisTipos());
        c.aperta(d);
        // A button's key clicks it a moment later, as it shows it pressed.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !abertos.empty(); }, kPrazo));
        EXPECT_EQ(abertos, std::vector<QUrl>{QUrl::fromLocalFile(textoDoCaminho(c.esperado))});
        EXPECT_TRUE(d.isVisible());
    }
}

// What could not be opened is said in the dialog, until an opening goes well.
TEST_F(DialogoResumoTest, FalhaAoAbrirFicaDitaNoDialogo) {
    abre = false;
    DialogoResumo& d = mostraDialogo(resumoDeDoisTipos());
    QTest::mouseClick(d.botaoRelatorio, Qt::LeftButton);
    EXPECT_TRUE(d.rotuloFalha->isVisible());
    EXPECT_EQ(d.rotuloFalha->text(),
              QString::fromUtf8("Não foi possível abrir " + kHtml.string() + "."));
    abre = true;
    QTest::mouseClick(d.botaoPasta, Qt::LeftButton);
    EXPECT_FALSE(d.rotuloFalha->isVisible());
}

// A run without a report page has nothing to open there.
TEST_F(DialogoResumoTest, SemRelatorioOBotaoFicaDesabilitado) {
    ResumoDoRelatorio resumo = resumoDeDoisTipos();
    resumo.html.clear();
    DialogoResumo& d = mostraDialogo(resumo);
    EXPECT_FALSE(d.botaoRelatorio->isEnabled());
    QTest::keyClick(&d, Qt::Key_R, Qt::AltModifier);
    QTest::qWait(kEsperaDaTecla);
    EXPECT_TRUE(abertos.empty());
    EXPECT_TRUE(d.botaoPasta->isEnabled());
}

TEST_F(DialogoResumoTest, EscFecharEEnterFecham) {
    const std::pair<const char*, std::function<void(DialogoResumo&)>> casos[] = {
        {"Esc", [](DialogoResumo& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"Fechar", [](DialogoResumo& d) { QTest::mouseClick(d.botaoFechar, Qt::LeftButton); }},
        {"Alt+F", [](DialogoResumo& d) { QTest::keyClick(&d, Qt::Key_F, Qt::AltModifier); }},
        {"Enter", [](DialogoResumo& d) { QTest::keyClick(&d, Qt::Key_Return); }},
    };
    for (const auto& [nome, fecha] : casos) {
        SCOPED_TRACE(nome);
        DialogoResumo& d = mostraDialogo(resumoDeDoisTipos());
        fecha(d);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d.isVisible(); }, kPrazo));
        EXPECT_TRUE(abertos.empty());
    }
}

}  // namespace
}  // namespace cds
