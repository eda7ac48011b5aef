#include "app/gui/janela_principal.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStringList>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "comum/versao.hpp"
#include "export/abertura.hpp"
#include "export/arquivo_ini.hpp"
#include "export/exportacao.hpp"
#include "fichas/registro.hpp"
#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/cadastros.hpp"
#include "suporte/clinica.hpp"
#include "suporte/disco_teste.hpp"
#include "suporte/relogio_fixo.hpp"

// Failures show the text, not its bytes.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace cds {
namespace {

namespace fs = std::filesystem;
using teste::BancoTeste;
using teste::PastaTemporaria;

// A box as the window built it, and how the window looked while it was up.
struct CaixaVista {
    QString titulo;
    QString texto;
    QMessageBox::Icon icone = QMessageBox::NoIcon;
    QMessageBox::StandardButtons botoes;
    QWidget* dono = nullptr;
    QString status;
    bool botaoHabilitado = true;
    QString textoDoBotao;
};

// Keeps every box instead of showing it, so that nothing waits for an operator.
class CaixaGravadora : public CaixaMensagem {
  public:
    std::vector<CaixaVista> caixas;
    JanelaPrincipal* janela = nullptr;
    // Run while the box would be up, that is, in the middle of the run.
    std::function<void()> enquantoAberta;
    // The button the operator presses in a box that asks; none presses nothing.
    std::optional<QMessageBox::StandardButton> resposta;

    void exibe(QMessageBox& caixa) override {
        CaixaVista vista;
        vista.titulo = caixa.windowTitle();
        vista.texto = caixa.text();
        vista.icone = caixa.icon();
        vista.botoes = caixa.standardButtons();
        vista.dono = caixa.parentWidget();
        if (janela) {
            vista.status = janela->rotuloStatus->text();
            vista.botaoHabilitado = janela->botaoGerar->isEnabled();
            vista.textoDoBotao = janela->botaoGerar->text();
        }
        caixas.push_back(vista);
        if (enquantoAberta) enquantoAberta();
        if (resposta)
            if (QAbstractButton* b = caixa.button(*resposta)) b->click();
    }
};

// What a widget showed each time it was painted.
class Pinturas : public QObject {
  public:
    Pinturas(QWidget* w, std::function<QString()> leitura) : leitura(std::move(leitura)) {
        w->installEventFilter(this);
    }
    std::vector<QString> vistas;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && (vistas.empty() || vistas.back() != leitura()))
            vistas.push_back(leitura());
        return false;
    }

  private:
    std::function<QString()> leitura;
};

class JanelaTest : public ::testing::Test {
  protected:
    // The user's data folder, where the default output folder goes when config.ini names none,
    // is the test's own: the window makes arquivosXML there when it opens.
    JanelaTest() {
        if (const char* valor = std::getenv("XDG_DATA_HOME")) dadosAntes = valor;
        setenv("XDG_DATA_HOME", pastaDeDados().c_str(), 1);
    }
    ~JanelaTest() override {
        janela.reset();
        if (dadosAntes)
            setenv("XDG_DATA_HOME", dadosAntes->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
    }

    fs::path arquivoIni() const { return pasta.caminho() / "config.ini"; }
    fs::path pastaDeDados() const { return pasta.caminho() / "dados"; }

    void grava(const char* secao, const char* chave, const std::string& valor) {
        ArquivoIni ini(arquivoIni());
        ini.grava(secao, chave, valor);
    }

    JanelaPrincipal& criaJanela() {
        janela = std::make_unique<JanelaPrincipal>(arquivoIni(), relogio, caixa);
        caixa.janela = janela.get();
        return *janela;
    }

    JanelaPrincipal& abreJanela() {
        JanelaPrincipal& j = criaJanela();
        j.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&j));
        return j;
    }

    // The box of a record kind in the window under test.
    QCheckBox* ficha(TipoFicha tipo) const {
        QCheckBox* caixaDaFicha = janela->caixaDaFicha(tipo);
        EXPECT_NE(caixaDaFicha, nullptr);
        return caixaDaFicha;
    }

    // The kinds of "Todas", ticked or not.
    std::vector<bool> caixasDeTodas() const {
        std::vector<bool> marcadas;
        for (const DescricaoFicha& d : registroFichas())
            if (d.emTodas) marcadas.push_back(ficha(d.tipo)->isChecked());
        return marcadas;
    }
    static std::vector<bool> todas(bool v) {
        const auto n = std::ranges::count_if(registroFichas(),
                                             [](const DescricaoFicha& d) { return d.emTodas; });
        return std::vector<bool>(static_cast<std::size_t>(n), v);
    }

    // Clicks "Gerar Arquivos" and waits for the run to end.
    bool geraArquivos() {
        QSignalSpy fim(janela.get(), &JanelaPrincipal::execucaoTerminada);
        QTest::mouseClick(janela->botaoGerar, Qt::LeftButton);
        return fim.wait(kPrazo);
    }

    // Far beyond what any run here takes; only a run that never ends reaches it.
    static constexpr int kPrazo = 60'000;

    PastaTemporaria pasta;
    std::optional<std::string> dadosAntes;
    RelogioFixo relogio{DataHora{2019, 11, 3, 14, 5, 0}};
    CaixaGravadora caixa;
    std::unique_ptr<JanelaPrincipal> janela;
};

// The visible text of a control, its Alt shortcut's mark taken out.
QString semAtalho(QString t) {
    return t.remove(QLatin1Char('&'));
}

TEST_F(JanelaTest, ControlesComoDesenhados) {
    JanelaPrincipal& j = criaJanela();
    // The caption carries the program's own version, the one --version tells.
    EXPECT_EQ(j.windowTitle(), QString::fromUtf8("Gerador de Arquivos para Esus - Versão ") +
                                   QString::fromUtf8(kVersao));

    // Name, kind and caption or initial content.
    struct Caso {
        const char* nome;
        const char* tipo;
        const char* texto;
    };
    const Caso casos[] = {
        {"rotuloDataInicial", "QLabel", "Data Inicial:"},
        {"dataInicial", "QDateEdit", nullptr},
        {"rotuloDataFinal", "QLabel", "Data Final:"},
        {"dataFinal", "QDateEdit", nullptr},
        {"rotuloUnidade", "QLabel", "CNES:"},
        {"unidade", "QLineEdit", "0000000"},
        {"rotuloCodProf", "QLabel", "Cód. Profiss.:"},
        {"codProf", "QLineEdit", ""},
        {"rotuloCaminho", "QLabel", "Caminho:"},
        {"caminho", "QLineEdit", "C:\\temp"},
        {"botaoPasta", "QToolButton", "…"},
        {"rotuloUuid", "QLabel", "UUID:"},
        {"uuid", "QLineEdit", "0"},
        {"grupoFichas", "QGroupBox", "Fichas CDS"},
        {"opcaoTodas", "QRadioButton", "Todas"},
        {"opcaoEscolher", "QRadioButton", "Escolher"},
        {"fichaCadastroIndividual", "QCheckBox", "Ficha de Cadastro Individual"},
        {"fichaCadastroDomiciliar", "QCheckBox", "Ficha de Cadastro Domiciliar/Territorial"},
        {"fichaAtendimentoIndividual", "QCheckBox", "Ficha de Atendimento Individual"},
        {"fichaProcedimentos", "QCheckBox", "Ficha de Procedimentos"},
        {"fichaAtendimentoOdontologico", "QCheckBox", "Ficha de Atendimento Odontológico"},
        {"fichaVisitaDomiciliar", "QCheckBox", "Ficha Visita Domiciliar e Territorial"},
        {"fichaAtividadeColetiva", "QCheckBox", "Ficha Atividade Coletiva"},
        {"fichaVacinacao", "QCheckBox", "Ficha de Vacinação"},
        {"rotuloProfissionalGenerico", "QLabel", "Cód. Profiss. Genérico:"},
        {"profissionalGenerico", "QLineEdit", ""},
        {"botaoGerar", "QPushButton", "Gerar Arquivos"},
        {"rotuloStatus", "QLabel", "Mensagem"},
        {"rotuloLayout", "QLabel", "Compatível com layout e-SUS AB v.2.2"},
        {"logVisivel", "QPlainTextEdit", ""},
        {"errosCadastro", "QPlainTextEdit", ""},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        const QWidget* w = j.findChild<QWidget*>(QString::fromLatin1(c.nome));
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), c.tipo);
        if (c.texto) {
            const char* propriedade = qobject_cast<const QGroupBox*>(w)        ? "title"
                                      : qobject_cast<const QPlainTextEdit*>(w) ? "plainText"
                                                                               : "text";
            EXPECT_EQ(semAtalho(w->property(propriedade).toString()), QString::fromUtf8(c.texto));
        }
    }

    EXPECT_TRUE(j.opcaoTodas->isChecked());
    EXPECT_FALSE(j.opcaoEscolher->isChecked());
    EXPECT_EQ(caixasDeTodas(), todas(true));
    EXPECT_FALSE(ficha(TipoFicha::Vacinacao)->isChecked());
    EXPECT_TRUE(ficha(TipoFicha::Vacinacao)->isHidden());
    EXPECT_TRUE(j.errosCadastro->isHidden());
    EXPECT_FALSE(j.logVisivel->isHidden());
    for (QDateEdit* d : {j.dataInicial, j.dataFinal}) {
        EXPECT_TRUE(d->calendarPopup());
        EXPECT_EQ(d->displayFormat(), QStringLiteral("dd/MM/yyyy"));
    }
    EXPECT_TRUE(j.logVisivel->isReadOnly());
    EXPECT_EQ(j.logVisivel->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_TRUE(j.botaoGerar->isDefault());
    // The system's font, untouched; the status label is the large one.
    EXPECT_EQ(j.font(), QApplication::font());
    EXPECT_DOUBLE_EQ(j.rotuloStatus->font().pointSizeF(), 1.5 * j.font().pointSizeF());
}

// The controls the operator sees, the kinds' frame left out (it holds some of them).
std::vector<QWidget*> controlesVisiveis(const JanelaPrincipal& j) {
    std::vector<QWidget*> lista;
    for (QWidget* w : j.findChildren<QWidget*>()) {
        if (!w->isVisible() || w == j.grupoFichas) continue;
        // Only the window's controls, not the parts they are made of (a date box's editor).
        if (w->parentWidget() != &j && w->parentWidget() != j.grupoFichas) continue;
        lista.push_back(w);
    }
    return lista;
}

QRect naJanela(const QWidget* w, const QWidget* janela) {
    return QRect(w->mapTo(janela, QPoint(0, 0)), w->size());
}

// At its smallest the window still shows every control whole: inside the window, at least
// as large as the control asks, and clear of every other control. A bigger font, a ninth kind
// or the "Ver resumo" button only make the window's minimum larger.
TEST_F(JanelaTest, TamanhoMinimoMostraTodosOsControles) {
    struct Caso {
        const char* descricao;
        qreal escalaDaFonte;
        bool comResumo;
    };
    const Caso casos[] = {{"fonte do sistema", 1.0, false}, {"fonte maior", 1.6, true}};
    const QFont fonteAntes = QApplication::font();
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        QFont f = fonteAntes;
        f.setPointSizeF(f.pointSizeF() * c.escalaDaFonte);
        QApplication::setFont(f);
        JanelaPrincipal& j = abreJanela();
        if (c.comResumo) j.botaoResumo->show();
        QApplication::processEvents();
        EXPECT_EQ(j.minimumSize(), j.minimumSizeHint());
        j.resize(j.minimumSize());
        QApplication::processEvents();
        ASSERT_EQ(j.size(), j.minimumSizeHint());

        const std::vector<QWidget*> controles = controlesVisiveis(j);
        EXPECT_GE(controles.size(), 20u);
        for (QWidget* w : controles) {
            SCOPED_TRACE(w->objectName().toStdString());
            const QRect r = naJanela(w, &j);
            EXPECT_TRUE(j.rect().contains(r));
            EXPECT_GE(w->width(), w->minimumSizeHint().width());
            EXPECT_GE(w->height(), w->minimumSizeHint().height());
            if (qobject_cast<QLabel*>(w) && w != j.rotuloStatus) {
                EXPECT_GE(w->width(), w->sizeHint().width());
            }
            if (w->parentWidget() == j.grupoFichas) {
                EXPECT_TRUE(j.grupoFichas->contentsRect().contains(w->geometry()));
            }
            for (QWidget* outro : controles) {
                if (outro == w) continue;
                EXPECT_FALSE(r.intersects(naJanela(outro, &j)))
                    << "sobre " << outro->objectName().toStdString();
            }
        }
        // The frame ends above the button, the kinds inside it.
        EXPECT_LT(naJanela(j.grupoFichas, &j).bottom(), naJanela(j.botaoGerar, &j).top());
    }
    QApplication::setFont(fonteAntes);
}

// Each Alt shortcut of the window is its control's alone.
TEST_F(JanelaTest, AtalhosNaoColidem) {
    JanelaPrincipal& j = criaJanela();
    j.botaoResumo->show();
    std::map<QChar, QString> letras;
    for (QWidget* w : j.findChildren<QWidget*>()) {
        QString t;
        if (auto* l = qobject_cast<QLabel*>(w))
            t = l->text();
        else if (auto* b = qobject_cast<QAbstractButton*>(w))
            t = b->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            t = g->title();
        const qsizetype i = t.indexOf(QLatin1Char('&'));
        if (i < 0 || i + 1 >= t.size()) continue;
        const QChar letra = t[i + 1].toLower();
        const auto [lugar, nova] = letras.emplace(letra, w->objectName());
        EXPECT_TRUE(nova) << w->objectName().toStdString() << " e " << lugar->second.toStdString()
                          << ": Alt+" << QString(letra).toStdString();
    }
    // The main controls all have one; a caption's leads to its box.
    EXPECT_GE(letras.size(), 11u);
    EXPECT_EQ(j.rotuloCaminho->buddy(), j.caminho);
    EXPECT_EQ(j.rotuloProfissionalGenerico->buddy(), j.profissionalGenerico);
}

TEST_F(JanelaTest, OrdemDeTabulacao) {
    JanelaPrincipal& j = abreJanela();
    const std::vector<QString> esperada = {"dataInicial",
                                           "dataFinal",
                                           "unidade",
                                           "codProf",
                                           "caminho",
                                           "botaoPasta",
                                           "uuid",
                                           "opcaoTodas",
                                           "opcaoEscolher",
                                           "fichaCadastroIndividual",
                                           "fichaCadastroDomiciliar",
                                           "fichaAtendimentoIndividual",
                                           "fichaProcedimentos",
                                           "fichaAtendimentoOdontologico",
                                           "fichaVisitaDomiciliar",
                                           "fichaAtividadeColetiva",
                                           "fichaVacinacao",
                                           "profissionalGenerico",
                                           "botaoGerar",
                                           "logVisivel",
                                           "errosCadastro"};
    std::vector<QString> ordem;
    QWidget* w = j.dataInicial;
    do {
        if (j.isAncestorOf(w) &&
            std::find(ordem.begin(), ordem.end(), w->objectName()) == ordem.end())
            ordem.push_back(w->objectName());
        w = w->nextInFocusChain();
    } while (w != j.dataInicial);
    std::erase_if(ordem, [&](const QString& n) {
        return std::find(esperada.begin(), esperada.end(), n) == esperada.end();
    });
    EXPECT_EQ(ordem, esperada);
}

// Wider and taller than its minimum, the window gives the width to the log; the form and its
// button stay as they were, the status and the bar go down with the bottom edge.
TEST_F(JanelaTest, LogFicaComOEspacoAMais) {
    JanelaPrincipal& j = abreJanela();
    j.resize(j.minimumSize());
    QApplication::processEvents();
    const QRect log = j.logVisivel->geometry();
    const QRect botao = naJanela(j.botaoGerar, &j);
    const QRect caminho = naJanela(j.caminho, &j);
    const QRect barra = naJanela(j.barraProgresso, &j);
    const QSize mais(1280 - j.width(), 800 - j.height());
    ASSERT_GT(mais.width(), 0);
    ASSERT_GT(mais.height(), 0);

    j.resize(1280, 800);
    QApplication::processEvents();
    EXPECT_EQ(j.logVisivel->geometry(), log.adjusted(0, 0, mais.width(), mais.height()));
    EXPECT_EQ(naJanela(j.botaoGerar, &j), botao);
    EXPECT_EQ(naJanela(j.caminho, &j), caminho);
    EXPECT_EQ(naJanela(j.barraProgresso, &j), barra.translated(0, mais.height()));
}

TEST_F(JanelaTest, PrimeiraAberturaSemConfig) {
    // Without config.ini the path is the default: a folder of the user's own, made with its
    // arquivosXML, and never the shared temporary folder.
    const fs::path padrao = pastaDeDados() / "exportador-cds";
    const char* antes = std::getenv("TMPDIR");
    const std::optional<std::string> tmpdir =
        antes ? std::optional<std::string>(antes) : std::nullopt;
    setenv("TMPDIR", pasta.caminho().c_str(), 1);
    JanelaPrincipal& j = abreJanela();
    if (tmpdir)
        setenv("TMPDIR", tmpdir->c_str(), 1);
    else
        unsetenv("TMPDIR");

    EXPECT_EQ(j.unidade->text(), QString());
    EXPECT_EQ(j.profissionalGenerico->text(), QString());
    EXPECT_EQ(j.caminho->text().toStdString(), padrao.string());
    EXPECT_EQ(j.uuid->text(), QStringLiteral("0"));
    EXPECT_EQ(j.rotuloStatus->text(), QString());
    EXPECT_TRUE(fs::is_directory(padrao / "arquivosXML"));
    EXPECT_EQ(fs::status(padrao).permissions(), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(pasta.caminho() / "arquivosXML"));
    // Opening reads the settings; it writes none.
    EXPECT_FALSE(fs::exists(arquivoIni()));
}

TEST_F(JanelaTest, AberturaPreencheComAConfigECriaASubpasta) {
    const fs::path saida = pasta.caminho() / "clinica" / "exportacao";
    grava(kSecaoGeral, kChaveCnesPrincipal, "2345678");
    grava(kSecaoGeral, kChaveCaminhoXml, saida.string());
    grava(kSecaoEsus, kChaveProfissionalGenerico, "9");
    JanelaPrincipal& j = abreJanela();

    EXPECT_EQ(j.unidade->text(), QStringLiteral("2345678"));
    EXPECT_EQ(j.caminho->text().toStdString(), saida.string());
    EXPECT_EQ(j.profissionalGenerico->text(), QStringLiteral("9"));
    EXPECT_EQ(j.codProf->text(), QString());
    EXPECT_TRUE(fs::is_directory(saida / "arquivosXML"));

    const ParametrosExportacao p = j.parametros();
    EXPECT_EQ(p.Unidade, "2345678");
    EXPECT_EQ(p.Caminho, saida.string());
    EXPECT_EQ(p.ProfissionalGenerico, "9");
    EXPECT_EQ(p.UUID, "0");
    EXPECT_EQ(p.DataInicial, std::chrono::year_month_day(std::chrono::year{2019} / 10 / 1));
    EXPECT_EQ(p.DataFinal, std::chrono::year_month_day(std::chrono::year{2019} / 10 / 31));
    EXPECT_EQ(p.Fichas, fichasDeTodas());
    EXPECT_FALSE(p.escolhida(TipoFicha::Vacinacao));
}

TEST_F(JanelaTest, CadaCaixaEscolheASuaFicha) {
    JanelaPrincipal& j = abreJanela();
    // Each kind's box, alone ticked, chooses that kind alone; the boxes of "Todas" lie inside
    // the kinds' frame, above the button.
    const QRect quadro = naJanela(j.grupoFichas, &j);
    for (const DescricaoFicha& d : registroFichas()) {
        SCOPED_TRACE(std::string(d.nome));
        for (const DescricaoFicha& outra : registroFichas()) ficha(outra.tipo)->setChecked(false);
        QCheckBox* caixaDaFicha = ficha(d.tipo);
        ASSERT_NE(caixaDaFicha, nullptr);
        caixaDaFicha->setChecked(true);
        EXPECT_EQ(j.parametros().Fichas, std::set<TipoFicha>{d.tipo});
        if (!d.emTodas) continue;
        EXPECT_TRUE(quadro.contains(naJanela(caixaDaFicha, &j)));
        EXPECT_LT(naJanela(caixaDaFicha, &j).bottom(), naJanela(j.botaoGerar, &j).top());
    }
}

TEST_F(JanelaTest, SubpastaQueNaoPodeSerCriadaFicaDitaNoStatus) {
    // A file where the output folder should be: the subfolder cannot be made under it.
    const fs::path arquivo = pasta.caminho() / "ocupado";
    std::ofstream(arquivo) << "x";
    grava(kSecaoGeral, kChaveCaminhoXml, arquivo.string());
    JanelaPrincipal& j = abreJanela();
    EXPECT_EQ(j.caminho->text().toStdString(), arquivo.string());
    EXPECT_TRUE(j.rotuloStatus->text().contains(QStringLiteral("arquivosXML")))
        << j.rotuloStatus->text().toStdString();
    EXPECT_TRUE(caixa.caixas.empty());
}

TEST_F(JanelaTest, PeriodoPadraoEOMesAnterior) {
    struct Caso {
        DataHora hoje;
        const char* inicial;
        const char* final;
    };
    const Caso casos[] = {
        {{2019, 11, 1, 0, 0, 0}, "01/10/2019", "31/10/2019"},
        {{2019, 11, 15, 9, 30, 0}, "01/10/2019", "31/10/2019"},
        {{2019, 11, 30, 23, 59, 59}, "01/10/2019", "31/10/2019"},
        {{2020, 1, 1, 8, 0, 0}, "01/12/2019", "31/12/2019"},
        {{2020, 1, 31, 8, 0, 0}, "01/12/2019", "31/12/2019"},
        {{2020, 3, 10, 8, 0, 0}, "01/02/2020", "29/02/2020"},
        {{2019, 5, 2, 8, 0, 0}, "01/04/2019", "30/04/2019"},
    };
    for (const Caso& c : casos) {
        relogio.momento = c.hoje;
        JanelaPrincipal& j = abreJanela();
        EXPECT_EQ(j.dataInicial->text().toStdString(), c.inicial) << c.inicial;
        EXPECT_EQ(j.dataFinal->text().toStdString(), c.final) << c.final;
    }
}

TEST_F(JanelaTest, EscolherETodasAoReceberOFocoPeloMouse) {
    JanelaPrincipal& j = abreJanela();
    // Set by hand to see that neither shortcut touches it.
    ficha(TipoFicha::Vacinacao)->setChecked(true);

    QTest::mouseClick(j.opcaoEscolher, Qt::LeftButton);
    EXPECT_TRUE(j.opcaoEscolher->isChecked());
    EXPECT_EQ(caixasDeTodas(), todas(false));
    EXPECT_TRUE(ficha(TipoFicha::Vacinacao)->isChecked());

    // The boxes can be changed one by one afterwards.
    QTest::mouseClick(ficha(TipoFicha::Procedimento), Qt::LeftButton);
    EXPECT_TRUE(ficha(TipoFicha::Procedimento)->isChecked());
    EXPECT_FALSE(ficha(TipoFicha::AtendimentoIndividual)->isChecked());

    QTest::mouseClick(j.opcaoTodas, Qt::LeftButton);
    EXPECT_TRUE(j.opcaoTodas->isChecked());
    EXPECT_EQ(caixasDeTodas(), todas(true));

    // Back to "Todas" while it is already selected: the seven are ticked again.
    QTest::mouseClick(ficha(TipoFicha::AtividadeColetiva), Qt::LeftButton);
    EXPECT_FALSE(ficha(TipoFicha::AtividadeColetiva)->isChecked());
    QTest::mouseClick(j.opcaoTodas, Qt::LeftButton);
    EXPECT_EQ(caixasDeTodas(), todas(true));

    ficha(TipoFicha::Vacinacao)->setChecked(false);
    QTest::mouseClick(j.opcaoTodas, Qt::LeftButton);
    EXPECT_FALSE(ficha(TipoFicha::Vacinacao)->isChecked());
    EXPECT_TRUE(ficha(TipoFicha::Vacinacao)->isHidden());
    EXPECT_FALSE(j.parametros().escolhida(TipoFicha::Vacinacao));
}

TEST_F(JanelaTest, EscolherETodasAoReceberOFocoPeloTeclado) {
    JanelaPrincipal& j = abreJanela();
    j.uuid->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(j.uuid, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), j.opcaoTodas);
    EXPECT_EQ(caixasDeTodas(), todas(true));

    // The arrow moves the focus, and the choice, to "Escolher".
    QTest::keyClick(j.opcaoTodas, Qt::Key_Right);
    ASSERT_EQ(QApplication::focusWidget(), j.opcaoEscolher);
    EXPECT_TRUE(j.opcaoEscolher->isChecked());
    EXPECT_EQ(caixasDeTodas(), todas(false));

    // Leaving and coming back from behind with the keyboard clears them again.
    ficha(TipoFicha::CadastroIndividual)->setChecked(true);
    QTest::keyClick(j.opcaoEscolher, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), j.opcaoEscolher);
    EXPECT_EQ(caixasDeTodas(), todas(false));

    QTest::keyClick(j.opcaoEscolher, Qt::Key_Left);
    ASSERT_EQ(QApplication::focusWidget(), j.opcaoTodas);
    EXPECT_EQ(caixasDeTodas(), todas(true));
    EXPECT_FALSE(ficha(TipoFicha::Vacinacao)->isChecked());
}

TEST_F(JanelaTest, VoltarParaAJanelaNaoContaComoEntrarNoBotao) {
    JanelaPrincipal& j = abreJanela();
    QTest::mouseClick(j.opcaoTodas, Qt::LeftButton);
    ficha(TipoFicha::Procedimento)->setChecked(false);

    // Another window takes the focus and gives it back; "Todas" had it all along.
    QWidget outra;
    outra.show();
    outra.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&outra));
    j.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&j));
    ASSERT_EQ(QApplication::focusWidget(), j.opcaoTodas);
    EXPECT_FALSE(ficha(TipoFicha::Procedimento)->isChecked());
}

TEST_F(JanelaTest, CodigoDeProfissionalInvalidoVaiParaACaixaDeErro) {
    JanelaPrincipal& j = abreJanela();
    j.unidade->setText(QStringLiteral("2345678"));
    j.codProf->setText(QStringLiteral("12a"));
    QTest::mouseClick(j.botaoGerar, Qt::LeftButton);

    // Refused before the run starts: the box is up at once, and the window takes input.
    ASSERT_EQ(caixa.caixas.size(), 1u);
    const CaixaVista& erro = caixa.caixas[0];
    EXPECT_EQ(erro.titulo, QString::fromUtf8(kTituloAplicacao));
    EXPECT_TRUE(erro.texto.contains(QStringLiteral("'12a'"))) << erro.texto.toStdString();
    EXPECT_EQ(erro.icone, QMessageBox::Critical);
    EXPECT_EQ(erro.botoes, QMessageBox::Ok);
    EXPECT_EQ(erro.dono, &j);
    EXPECT_TRUE(erro.botaoHabilitado);
    EXPECT_FALSE(j.emExecucao());
    EXPECT_TRUE(j.botaoGerar->isEnabled());
    EXPECT_TRUE(j.codProf->isEnabled());
}

// The command line's option checks, made by the window before "Gerar Arquivos" runs: a box
// names the value, and nothing is written, config.ini included.
TEST_F(JanelaTest, ValoresRecusadosAntesDeGerar) {
    grava(kSecaoGeral, kChaveDatabase, (pasta.caminho() / "nao-existe.fdb").string());
    grava(kSecaoGeral, kChaveCaminhoXml, (pasta.caminho() / "saida").string());
    grava(kSecaoGeral, kChaveCnesPrincipal, "2345678");
    JanelaPrincipal& j = abreJanela();
    const std::string configAntes = teste::leArquivo(arquivoIni());
    struct Caso {
        const char* descricao;
        std::function<void(JanelaPrincipal&)> muda;
        // Part of the box's text.
        std::string trecho;
    };
    const Caso casos[] = {
        {"CNES com letra", [](auto& j) { j.unidade->setText(QStringLiteral("23x")); }, "'23x'"},
        {"CNES em branco", [](auto& j) { j.unidade->clear(); }, "CNES da unidade está em branco"},
        {"CNES de oito dígitos", [](auto& j) { j.unidade->setText(QStringLiteral("12345678")); },
         "'12345678'"},
        {"código do profissional além do INTEGER",
         [](auto& j) { j.codProf->setText(QStringLiteral("12345678901234567890")); },
         "'12345678901234567890'"},
        {"profissional genérico com texto",
         [](auto& j) { j.profissionalGenerico->setText(QStringLiteral("1 OR 1=1")); },
         "'1 OR 1=1'"},
        // The window ticks the registrations at first.
        {"profissional genérico em branco com os cadastros marcados",
         [](auto& j) { j.profissionalGenerico->clear(); },
         "O código do profissional genérico está em branco."},
        {"UUID com tabulação", [](auto& j) { j.uuid->setText(QStringLiteral("a\tb")); }, "'a\\tb'"},
        {"data inicial antes de 1900", [](auto& j) { j.dataInicial->setDate(QDate(1800, 1, 1)); },
         "'01/01/1800'"},
        {"início depois do fim", [](auto& j) { j.dataInicial->setDate(QDate(2019, 11, 1)); },
         "'01/11/2019' é posterior à data final '31/10/2019'"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        j.unidade->setText(QStringLiteral("2345678"));
        j.codProf->clear();
        j.profissionalGenerico->setText(QStringLiteral("10"));
        j.uuid->setText(QStringLiteral("0"));
        j.dataInicial->setDate(QDate(2019, 10, 1));
        j.dataFinal->setDate(QDate(2019, 10, 31));
        c.muda(j);
        caixa.caixas.clear();

        QTest::mouseClick(j.botaoGerar, Qt::LeftButton);

        ASSERT_EQ(caixa.caixas.size(), 1u);
        EXPECT_EQ(caixa.caixas[0].icone, QMessageBox::Critical);
        EXPECT_TRUE(caixa.caixas[0].texto.toStdString().find(c.trecho) != std::string::npos)
            << caixa.caixas[0].texto.toStdString();
        EXPECT_FALSE(j.emExecucao());
        EXPECT_EQ(teste::leArquivo(arquivoIni()), configAntes);
    }
}

// "…" puts the chosen folder in "Caminho", starting from the one there; giving up leaves it.
TEST_F(JanelaTest, BotaoDaPastaPoeAEscolhaNoCaminho) {
    JanelaPrincipal& j = abreJanela();
    j.caminho->setText(QStringLiteral("/antes"));
    std::vector<QString> inicios;
    QString escolha = QString::fromStdString((pasta.caminho() / "escolhida").string());
    j.escolhePasta = [&](QWidget* pai, const QString& inicial) {
        EXPECT_EQ(pai, &j);
        inicios.push_back(inicial);
        return escolha;
    };
    QTest::mouseClick(j.botaoPasta, Qt::LeftButton);
    EXPECT_EQ(j.caminho->text(), escolha);
    const QString primeira = escolha;
    escolha.clear();
    QTest::mouseClick(j.botaoPasta, Qt::LeftButton);
    EXPECT_EQ(j.caminho->text(), primeira);
    EXPECT_EQ(inicios, (std::vector<QString>{QStringLiteral("/antes"), primeira}));
    EXPECT_TRUE(caixa.caixas.empty());
}

// Enter in a box, a date or a kind's box starts the run as "Gerar Arquivos" does: here its
// checks, which refuse the CNES at once with a box.
TEST_F(JanelaTest, EnterEmQualquerCampoGeraOsArquivos) {
    JanelaPrincipal& j = abreJanela();
    j.unidade->setText(QStringLiteral("23x"));
    QWidget* const campos[] = {j.unidade,   j.dataInicial,          j.caminho,
                               j.uuid,      j.profissionalGenerico, ficha(TipoFicha::Procedimento),
                               j.opcaoTodas};
    for (QWidget* campo : campos) {
        SCOPED_TRACE(campo->objectName().toStdString());
        caixa.caixas.clear();
        campo->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        ASSERT_EQ(caixa.caixas.size(), 1u);
        EXPECT_TRUE(caixa.caixas[0].texto.contains(QStringLiteral("'23x'")))
            << caixa.caixas[0].texto.toStdString();
    }
    caixa.caixas.clear();
    QTest::keyClick(j.caminho, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(caixa.caixas.size(), 1u);
}

TEST_F(JanelaTest, ChamadasDaExecucaoChegamNaOrdemEmQueForamFeitas) {
    JanelaPrincipal& j = abreJanela();
    j.logVisivel->setPlainText(QStringLiteral("linha de uma execução anterior"));
    Pinturas status(j.rotuloStatus, [&] { return j.rotuloStatus->text(); });
    // What the window held when the box came up, halfway through the run.
    int linhasNoLog = 0;
    int linhasNaLista = 0;
    caixa.enquantoAberta = [&] {
        linhasNoLog = j.logVisivel->blockCount();
        linhasNaLista = j.errosCadastro->blockCount();
    };

    constexpr int kEtapas = 400;
    QSignalSpy fim(&j, &JanelaPrincipal::execucaoTerminada);
    ASSERT_TRUE(j.iniciaExecucao([](Operador& operador, Cancelamento&) {
        operador.limpaLog();
        for (int i = 1; i <= kEtapas; ++i) {
            const std::string n = std::to_string(i);
            operador.status("Etapa " + n);
            operador.log("linha " + n);
            operador.erroCadastro("erro " + n);
            operador.progresso(static_cast<std::size_t>(i), kEtapas);
            if (i == kEtapas / 2) operador.mensagem("No meio", "Aviso", TipoMensagem::Simples);
        }
    }));
    ASSERT_TRUE(fim.wait(kPrazo));

    QStringList linhas;
    QStringList erros;
    std::vector<QString> etapas;
    for (int i = 1; i <= kEtapas; ++i) {
        linhas << QStringLiteral("linha %1").arg(i);
        erros << QStringLiteral("erro %1").arg(i);
        etapas.push_back(QStringLiteral("Etapa %1").arg(i));
    }
    EXPECT_EQ(j.logVisivel->toPlainText(), linhas.join(QLatin1Char('\n')));
    EXPECT_EQ(j.errosCadastro->toPlainText(), erros.join(QLatin1Char('\n')));
    // Every status was on screen, one after the other.
    std::vector<QString> vistos = status.vistas;
    std::erase_if(vistos, [](const QString& t) { return t.isEmpty(); });
    EXPECT_EQ(vistos, etapas);

    // The box came after all that was said before it, and before anything said after it.
    ASSERT_EQ(caixa.caixas.size(), 1u);
    EXPECT_EQ(caixa.caixas[0].texto, QStringLiteral("No meio"));
    EXPECT_EQ(caixa.caixas[0].status, QStringLiteral("Etapa 200"));
    EXPECT_EQ(linhasNoLog, kEtapas / 2);
    EXPECT_EQ(linhasNaLista, kEtapas / 2);
}

// The bar reads "N de M" from the step's first count; it never shows more done than the whole,
// and a step with nothing to do leaves it empty.
TEST_F(JanelaTest, ProgressoMostraNDeM) {
    JanelaPrincipal& j = abreJanela();
    struct Barra {
        int minimo, maximo, valor;
        QString texto;
    };
    std::vector<Barra> vistas;
    caixa.enquantoAberta = [&] {
        const QProgressBar* b = j.barraProgresso;
        vistas.push_back({b->minimum(), b->maximum(), b->value(), b->text()});
    };
    QSignalSpy fim(&j, &JanelaPrincipal::execucaoTerminada);
    ASSERT_TRUE(j.iniciaExecucao([](Operador& operador, Cancelamento&) {
        operador.status("Gerando");
        operador.progresso(0, 1234);
        operador.mensagem("no começo", "Aviso", TipoMensagem::Simples);
        for (std::size_t i = 1; i <= 1234; ++i) operador.progresso(i, 1234);
        operador.mensagem("no fim", "Aviso", TipoMensagem::Simples);
        operador.progresso(1235, 1234);
        operador.mensagem("além", "Aviso", TipoMensagem::Simples);
        operador.status("Nada a fazer");
        operador.progresso(0, 0);
        operador.mensagem("vazio", "Aviso", TipoMensagem::Simples);
    }));
    ASSERT_TRUE(fim.wait(kPrazo));
    ASSERT_EQ(vistas.size(), 4u);
    EXPECT_EQ(vistas[0].maximo, 1234);
    EXPECT_EQ(vistas[0].valor, 0);
    EXPECT_EQ(vistas[0].texto, QStringLiteral("0 de 1.234"));
    EXPECT_EQ(vistas[1].texto, QStringLiteral("1.234 de 1.234"));
    EXPECT_EQ(vistas[2].maximo, 1235);
    EXPECT_EQ(vistas[2].valor, 1235);
    EXPECT_EQ(vistas[3].texto, QString());
    EXPECT_EQ(vistas[3].valor, -1);
}

TEST_F(JanelaTest, JanelaSegueRespondendoDuranteAExecucao) {
    JanelaPrincipal& j = abreJanela();
    // Shared with the run, which may outlive this test's frame if the test fails.
    struct Espera {
        std::promise<void> liberacao;
        std::future<void> liberada = liberacao.get_future();
        std::atomic<bool> liberadaATempo = false;
    };
    const auto espera = std::make_shared<Espera>();

    QSignalSpy fim(&j, &JanelaPrincipal::execucaoTerminada);
    ASSERT_TRUE(j.iniciaExecucao([espera](Operador& operador, Cancelamento&) {
        operador.status("Esperando");
        // Let go only by a timer of the window's thread: a run that held that thread would
        // sit here until the deadline.
        espera->liberadaATempo = espera->liberada.wait_for(std::chrono::milliseconds(kPrazo)) ==
                                 std::future_status::ready;
    }));
    // A second run does not start over the first.
    EXPECT_FALSE(j.iniciaExecucao([](Operador&, Cancelamento&) {}));

    struct Vista {
        bool emExecucao = false;
        bool entradasHabilitadas = true;
        bool fechou = true;
        QPoint lugar;
        QString textoDoBotao;
    } vista;
    const QPoint destino = j.pos() + QPoint(40, 30);
    QTimer::singleShot(0, &j, [&] {
        vista.emExecucao = j.emExecucao();
        vista.entradasHabilitadas =
            j.codProf->isEnabled() || ficha(TipoFicha::Procedimento)->isEnabled();
        vista.textoDoBotao = j.botaoGerar->text();
        vista.fechou = j.close();
        j.move(destino);
        vista.lugar = j.pos();
        espera->liberacao.set_value();
    });
    ASSERT_TRUE(fim.wait(kPrazo));

    EXPECT_TRUE(espera->liberadaATempo);
    EXPECT_TRUE(vista.emExecucao);
    EXPECT_FALSE(vista.entradasHabilitadas);
    EXPECT_EQ(vista.textoDoBotao, QStringLiteral("C&ancelar"));
    // Closing asked whether to cancel the run; with no answer, the window stays.
    EXPECT_FALSE(vista.fechou);
    ASSERT_EQ(caixa.caixas.size(), 1u);
    EXPECT_EQ(caixa.caixas[0].botoes, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(vista.lugar, destino);
    EXPECT_TRUE(j.isVisible());
    EXPECT_FALSE(j.emExecucao());
    EXPECT_TRUE(j.botaoGerar->isEnabled());
    EXPECT_EQ(j.botaoGerar->text(), QStringLiteral("Gerar &Arquivos"));
    EXPECT_TRUE(j.close());
}

TEST_F(JanelaTest, MensagemSeguraAExecucaoAteSerFechada) {
    JanelaPrincipal& j = abreJanela();
    const auto depoisDaCaixa = std::make_shared<std::atomic<bool>>(false);
    bool seguiuComACaixaAberta = true;
    caixa.enquantoAberta = [&] {
        // The window's thread keeps turning while the box is up; the run must not.
        seguiuComACaixaAberta = QTest::qWaitFor([&] { return depoisDaCaixa->load(); }, 200);
    };

    QSignalSpy fim(&j, &JanelaPrincipal::execucaoTerminada);
    ASSERT_TRUE(j.iniciaExecucao([depoisDaCaixa](Operador& operador, Cancelamento&) {
        operador.mensagem("Confira", "Aviso", TipoMensagem::Erro);
        *depoisDaCaixa = true;
    }));
    ASSERT_TRUE(fim.wait(kPrazo));

    ASSERT_EQ(caixa.caixas.size(), 1u);
    EXPECT_EQ(caixa.caixas[0].titulo, QStringLiteral("Aviso"));
    EXPECT_EQ(caixa.caixas[0].icone, QMessageBox::Critical);
    EXPECT_EQ(caixa.caixas[0].dono, &j);
    EXPECT_EQ(caixa.caixas[0].textoDoBotao, QStringLiteral("C&ancelar"));
    EXPECT_FALSE(seguiuComACaixaAberta);
    EXPECT_TRUE(*depoisDaCaixa);
}

TEST_F(JanelaTest, JanelaQueSaiDuranteAExecucaoEsperaPeloFimDela) {
    JanelaPrincipal& j = abreJanela();
    const auto terminou = std::make_shared<std::atomic<bool>>(false);
    ASSERT_TRUE(j.iniciaExecucao([terminou](Operador& operador, Cancelamento&) {
        operador.log("antes");
        operador.mensagem("Ninguém vê esta", "Aviso", TipoMensagem::Simples);
        operador.log("depois");
        *terminou = true;
    }));
    // The window goes with the run under way, as when the program quits: the run goes on to
    // its end unseen, its box taken as seen, and the window waits for it.
    caixa.janela = nullptr;
    janela.reset();
    EXPECT_TRUE(*terminou);
    EXPECT_TRUE(caixa.caixas.empty());
}

// A run that waits for the operator's request to stop, and stops on it as the export does.
void esperaOCancelamento(Operador& operador, Cancelamento& pedido) {
    operador.status("Gerando Fichas de Atendimento Individual...");
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!pedido.pedido() && std::chrono::steady_clock::now() < limite)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    pedido.verifica();
}

// The button reads "Cancelar" during a run; it, its Alt key and Esc stop the run, which ends
// saying so, with no box, and the window is ready for the next.
TEST_F(JanelaTest, CancelarPeloBotaoPeloAtalhoOuPorEsc) {
    JanelaPrincipal& j = abreJanela();
    const std::pair<const char*, std::function<void()>> maneiras[] = {
        {"botão", [&] { QTest::mouseClick(j.botaoGerar, Qt::LeftButton); }},
        {"Alt+A", [&] { QTest::keyClick(&j, Qt::Key_A, Qt::AltModifier); }},
        {"Esc", [&] { QTest::keyClick(&j, Qt::Key_Escape); }},
    };
    for (const auto& [nome, cancela] : maneiras) {
        SCOPED_TRACE(nome);
        QSignalSpy fim(&j, &JanelaPrincipal::execucaoTerminada);
        ASSERT_TRUE(j.iniciaExecucao(esperaOCancelamento));
        EXPECT_EQ(j.botaoGerar->text(), QStringLiteral("C&ancelar"));
        EXPECT_TRUE(j.botaoGerar->isEnabled());
        // Enter, which started the run, does not stop it.
        QTest::keyClick(&j, Qt::Key_Return);
        QTest::qWait(50);
        EXPECT_TRUE(j.emExecucao());
        cancela();
        ASSERT_TRUE(fim.wait(kPrazo));
        EXPECT_FALSE(j.emExecucao());
        EXPECT_EQ(j.rotuloStatus->text(),
                  QString::fromUtf8("Exportação cancelada: nada foi marcado como enviado e "
                                    "nenhum arquivo compactado foi gerado."));
        EXPECT_EQ(j.botaoGerar->text(), QStringLiteral("Gerar &Arquivos"));
        EXPECT_TRUE(j.botaoGerar->isEnabled());
        EXPECT_TRUE(j.caminho->isEnabled());
    }
    EXPECT_TRUE(caixa.caixas.empty());
}

// A signal during a run, while the run holds a box open that nobody will close: the box counts
// as seen, the run is cancelled, and the window closes once it has ended, with no other box.
TEST_F(JanelaTest, SinalDuranteUmaCaixaCancelaEFechaSemEsperarPeloOperador) {
    JanelaPrincipal& j = abreJanela();
    QSignalSpy fim(&j, &JanelaPrincipal::execucaoTerminada);
    bool terminouComACaixaAberta = false;
    caixa.enquantoAberta = [&] {
        j.encerraExecucaoPorSinal();
        // The box stays up, as a real one would until the program quits.
        terminouComACaixaAberta = QTest::qWaitFor([&] { return !fim.isEmpty(); }, kPrazo);
    };
    const auto seguiu = std::make_shared<std::atomic<bool>>(false);
    ASSERT_TRUE(j.iniciaExecucao([seguiu](Operador& operador, Cancelamento& pedido) {
        operador.mensagem("Ninguém fecha esta", "Aviso", TipoMensagem::Simples);
        *seguiu = true;
        esperaOCancelamento(operador, pedido);
    }));
    ASSERT_TRUE(!fim.isEmpty() || fim.wait(kPrazo));
    EXPECT_TRUE(terminouComACaixaAberta);
    EXPECT_TRUE(*seguiu);
    EXPECT_FALSE(j.emExecucao());
    EXPECT_FALSE(j.isVisible());
    EXPECT_EQ(caixa.caixas.size(), 1u);
}

// Closing the window during a run asks; "Sim" cancels the run and the window closes once it has
// ended, "Não" leaves both as they were.
TEST_F(JanelaTest, FecharDuranteAExecucaoPerguntaSeCancela) {
    JanelaPrincipal& j = abreJanela();
    QSignalSpy fim(&j, &JanelaPrincipal::execucaoTerminada);
    ASSERT_TRUE(j.iniciaExecucao(esperaOCancelamento));

    caixa.resposta = QMessageBox::No;
    EXPECT_FALSE(j.close());
    ASSERT_EQ(caixa.caixas.size(), 1u);
    EXPECT_EQ(caixa.caixas[0].icone, QMessageBox::Question);
    EXPECT_EQ(caixa.caixas[0].dono, &j);
    EXPECT_TRUE(caixa.caixas[0].texto.contains(QString::fromUtf8("Deseja cancelá-la")))
        << caixa.caixas[0].texto.toStdString();
    QTest::qWait(50);
    EXPECT_TRUE(j.emExecucao());
    EXPECT_TRUE(j.isVisible());

    caixa.resposta = QMessageBox::Yes;
    EXPECT_FALSE(j.close());
    ASSERT_TRUE(fim.wait(kPrazo));
    EXPECT_FALSE(j.isVisible());
    // No error box for a run the operator stopped.
    EXPECT_EQ(caixa.caixas.size(), 2u);
}

// A test database with the clinic of the care tests, and config.ini pointing at it.
class JanelaComBancoTest : public JanelaTest {
  protected:
    JanelaComBancoTest() {
        teste::insereClinica(banco);
        saida = pasta.caminho() / "saida";
        grava(kSecaoGeral, kChaveDatabase, banco.caminho());
        grava(kSecaoGeral, kChaveIbge, "4205407");
        grava(kSecaoGeral, kChaveCnesPrincipal, "2345678");
        grava(kSecaoGeral, kChaveCaminhoXml, saida.string());
        grava(kSecaoEsus, kChaveProfissionalGenerico, "10");
    }

    // A run still under way when a test ends has the database to itself until its end.
    ~JanelaComBancoTest() override { janela.reset(); }

    fs::path zipDoMes() const { return saida / "FichasValmo_03112019_1405_01102019_31102019.zip"; }

    BancoTeste banco;
    fs::path saida;
};

TEST_F(JanelaComBancoTest, GerarArquivosGravaAsFichasEMostraOLog) {
    // One physician without a team: the run logs it and still writes the record.
    banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE, CODUNIDADE) VALUES "
        "(11, 'Dr. Sem Equipe', '700000000000002', '225142', NULL, '2345678')");
    teste::insereEpisodio(banco, 1, "'08:00:00'");
    teste::insereEpisodio(banco, 2, "'09:00:00'", "2345678", 11);
    // The generic professional the box is given.
    banco.executa(
        "INSERT INTO PROFISSIONAIS (CODIGO, nome, CNS, CBO, INE) VALUES "
        "(12, 'Coordenação', '700000000000012', '225142', '456')");

    JanelaPrincipal& j = abreJanela();
    j.logVisivel->setPlainText(QStringLiteral("linha de uma execução anterior"));
    j.errosCadastro->setPlainText(QStringLiteral("erro de uma execução anterior"));
    j.profissionalGenerico->setText(QStringLiteral("12"));
    Pinturas status(j.rotuloStatus, [&] { return j.rotuloStatus->text(); });
    Pinturas barra(j.barraProgresso, [&] { return j.barraProgresso->text(); });
    bool fechou = true;
    bool entradasHabilitadas = true;
    caixa.enquantoAberta = [&] {
        // The run is still under way: no input, and the window will not close.
        entradasHabilitadas = j.caminho->isEnabled() || j.opcaoEscolher->isEnabled() ||
                              ficha(TipoFicha::Procedimento)->isEnabled() ||
                              j.dataInicial->isEnabled();
        j.close();
        fechou = !j.isVisible();
    };

    ASSERT_TRUE(geraArquivos());

    // The success box, and within it the question that closing the window asked.
    ASSERT_EQ(caixa.caixas.size(), 2u);
    EXPECT_EQ(caixa.caixas[1].icone, QMessageBox::Question);
    const CaixaVista& sucesso = caixa.caixas[0];
    EXPECT_EQ(sucesso.titulo, QString::fromUtf8("Informação!"));
    EXPECT_EQ(sucesso.texto,
              QString::fromUtf8("Arquivo de importação do esus gerado com sucesso!"));
    EXPECT_EQ(sucesso.icone, QMessageBox::NoIcon);
    EXPECT_EQ(sucesso.botoes, QMessageBox::Ok);
    EXPECT_EQ(sucesso.dono, &j);
    EXPECT_EQ(sucesso.status, QString::fromUtf8("Concluído!"));
    EXPECT_EQ(sucesso.textoDoBotao, QStringLiteral("C&ancelar"));
    EXPECT_FALSE(entradasHabilitadas);
    EXPECT_FALSE(fechou);

    EXPECT_TRUE(fs::exists(saida / "arquivosXML" / "FichaAtendimentoIndividual_1.esus.xml"));
    EXPECT_TRUE(fs::exists(saida / "arquivosXML" / "FichaAtendimentoIndividual_2.esus.xml"));
    EXPECT_TRUE(fs::exists(zipDoMes()));
    EXPECT_FALSE(fs::exists(saida / "arquivosXML" / "FichaVacinacao_1.esus.xml"));

    // The log of this run only, closed by the error list's line count and place; the list,
    // emptied when the run started, holds the care record's line, out of sight.
    const fs::path erros = pasta.caminho() / "erros.txt";
    const fs::path errosDoMes = saida / "FichasValmo_03112019_1405_01102019_31102019.erros.txt";
    EXPECT_EQ(j.logVisivel->toPlainText(),
              QString::fromStdString("Dr. Sem Equipe - INE não cadastrado!\nLista de erros: 1 "
                                     "linha(s), em " +
                                     erros.string() + " e em " + errosDoMes.string() + "."));
    EXPECT_EQ(teste::leArquivo(erros), "Dr. Sem Equipe - INE n\xE3o cadastrado!\r\n");
    EXPECT_EQ(teste::leArquivo(errosDoMes), "Dr. Sem Equipe - INE não cadastrado!\r\n");
    EXPECT_EQ(j.errosCadastro->toPlainText(),
              QString::fromUtf8("Dr. Sem Equipe - INE não cadastrado!"));
    EXPECT_TRUE(j.errosCadastro->isHidden());

    // Painted as the run went, not only at its end, and cleared last.
    std::vector<QString> vistos = status.vistas;
    // The run clears the line as it ends; the window then tells the outcome there.
    const auto concluido = std::find(vistos.begin(), vistos.end(), QString::fromUtf8("Concluído!"));
    ASSERT_NE(concluido, vistos.end());
    ASSERT_NE(concluido + 1, vistos.end());
    EXPECT_EQ(*(concluido + 1), QString());
    std::erase_if(vistos, [](const QString& t) {
        return t.isEmpty() || t.startsWith(QString::fromUtf8("Concluído em "));
    });
    // Every kind that "Todas" ticks, in the run's order, then the packaging.
    std::vector<QString> esperado{QString::fromUtf8(kStatusLimpeza)};
    for (const DescricaoFicha& d : registroFichas())
        if (d.emTodas && d.gera)
            esperado.push_back(
                QString::fromUtf8(d.status.data(), static_cast<qsizetype>(d.status.size())));
    esperado.push_back(QStringLiteral("Compactando Arquivo..."));
    esperado.push_back(QString::fromUtf8("Concluído!"));
    EXPECT_EQ(vistos, esperado);
    EXPECT_NE(std::find(barra.vistas.begin(), barra.vistas.end(), QStringLiteral("2 de 2")),
              barra.vistas.end());

    // After the run: the status tells the archive and the time, the bar is empty, the window
    // takes input again, the boxes keep their values and the two settings were saved from the
    // window.
    EXPECT_TRUE(j.rotuloStatus->text().startsWith(QString::fromUtf8("Concluído em ")))
        << j.rotuloStatus->text().toStdString();
    EXPECT_TRUE(
        j.rotuloStatus->text().endsWith(QString::fromUtf8(": 2 fichas no arquivo compactado.")))
        << j.rotuloStatus->text().toStdString();
    EXPECT_EQ(j.rotuloStatus->toolTip(), QString::fromStdString(zipDoMes().string()));
    EXPECT_EQ(j.barraProgresso->text(), QString());
    EXPECT_TRUE(j.botaoGerar->isEnabled());
    EXPECT_TRUE(j.caminho->isEnabled());
    EXPECT_TRUE(j.isVisible());
    EXPECT_EQ(j.dataInicial->text(), QStringLiteral("01/10/2019"));
    EXPECT_EQ(j.profissionalGenerico->text(), QStringLiteral("12"));
    ArquivoIni ini(arquivoIni());
    EXPECT_EQ(ini.le(kSecaoEsus, kChaveProfissionalGenerico, ""), "12");
    EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, ""), saida.string());
}

// A run that ends well leaves its summary up beside the window after the success box, and
// "Ver resumo" brings it back once closed; the next run takes it away, and one that fails
// shows none.
TEST_F(JanelaComBancoTest, ExecucaoBemSucedidaMostraOResumo) {
    teste::insereEpisodio(banco, 1);
    JanelaPrincipal& j = abreJanela();
    std::vector<QUrl> abertos;
    j.abreLocal = [&](const QUrl& local) {
        abertos.push_back(local);
        return true;
    };
    EXPECT_EQ(j.dialogoResumo(), nullptr);
    EXPECT_TRUE(j.botaoResumo->isHidden());
    bool resumoDuranteACaixa = true;
    caixa.enquantoAberta = [&] { resumoDuranteACaixa = j.dialogoResumo() != nullptr; };
    ASSERT_TRUE(geraArquivos());

    ASSERT_EQ(caixa.caixas.size(), 1u);
    EXPECT_EQ(caixa.caixas[0].texto,
              QString::fromUtf8("Arquivo de importação do esus gerado com sucesso!"));
    EXPECT_FALSE(resumoDuranteACaixa);
    DialogoResumo* resumo = j.dialogoResumo();
    ASSERT_NE(resumo, nullptr);
    EXPECT_TRUE(resumo->isVisible());
    EXPECT_FALSE(resumo->isModal());
    EXPECT_EQ(resumo->windowTitle(), QString::fromUtf8("Resumo da exportação"));
    EXPECT_EQ(resumo->rotuloArquivo->text(),
              QString::fromStdString(zipDoMes().filename().string()));
    EXPECT_EQ(resumo->rotuloPasta->text(), QString::fromStdString(saida.string()));
    // A row per kind the window ticked, the episode's kind with its one record sent.
    EXPECT_EQ(static_cast<std::size_t>(resumo->tabela->rowCount()),
              std::ranges::count_if(registroFichas(), &DescricaoFicha::emTodas));
    bool achou = false;
    for (int linha = 0; linha < resumo->tabela->rowCount(); ++linha)
        if (resumo->tabela->item(linha, 0)->text() ==
            QString::fromUtf8(descricaoFicha(TipoFicha::AtendimentoIndividual).rotulo.data())) {
            achou = true;
            EXPECT_EQ(resumo->tabela->item(linha, 1)->text(), QStringLiteral("1"));
        }
    EXPECT_TRUE(achou);
    QTest::mouseClick(resumo->botaoPasta, Qt::LeftButton);
    QTest::mouseClick(resumo->botaoRelatorio, Qt::LeftButton);
    const fs::path relatorio = saida / "FichasValmo_03112019_1405_01102019_31102019.relatorio.html";
    EXPECT_TRUE(fs::is_regular_file(relatorio));
    EXPECT_EQ(abertos,
              (std::vector<QUrl>{QUrl::fromLocalFile(QString::fromStdString(saida.string())),
                                 QUrl::fromLocalFile(QString::fromStdString(relatorio.string()))}));

    QTest::mouseClick(resumo->botaoFechar, Qt::LeftButton);
    EXPECT_FALSE(resumo->isVisible());
    ASSERT_TRUE(j.botaoResumo->isVisible());
    QTest::mouseClick(j.botaoResumo, Qt::LeftButton);
    EXPECT_EQ(j.dialogoResumo(), resumo);
    EXPECT_TRUE(resumo->isVisible());

    caixa.enquantoAberta = nullptr;
    grava(kSecaoGeral, kChaveDatabase, (pasta.caminho() / "nao-existe.fdb").string());
    ASSERT_TRUE(geraArquivos());
    ASSERT_EQ(caixa.caixas.size(), 2u);
    EXPECT_EQ(caixa.caixas[1].icone, QMessageBox::Critical);
    EXPECT_EQ(j.dialogoResumo(), nullptr);
    EXPECT_TRUE(j.botaoResumo->isHidden());
}

// A generic professional the clinic does not have, with the registrations ticked: a box says
// so, and the run writes no record and no archive.
TEST_F(JanelaComBancoTest, ProfissionalGenericoDesconhecidoMostraUmaCaixa) {
    teste::insereEpisodio(banco, 1);
    JanelaPrincipal& j = abreJanela();
    j.profissionalGenerico->setText(QStringLiteral("424242"));
    ASSERT_TRUE(geraArquivos());

    ASSERT_EQ(caixa.caixas.size(), 1u);
    EXPECT_EQ(caixa.caixas[0].icone, QMessageBox::Critical);
    EXPECT_TRUE(caixa.caixas[0].texto.toStdString().starts_with(
        "Nenhum profissional tem o código '424242', informado como profissional genérico."))
        << caixa.caixas[0].texto.toStdString();
    EXPECT_TRUE(fs::is_empty(saida / "arquivosXML"));
    EXPECT_FALSE(fs::exists(zipDoMes()));
}

// One box says it all: where the connection went, why, and the library's text.
TEST_F(JanelaComBancoTest, FalhaAoConectarMostraUmaCaixa) {
    const std::string semBanco = (pasta.caminho() / "nao-existe.fdb").string();
    grava(kSecaoGeral, kChaveDatabase, semBanco);
    JanelaPrincipal& j = abreJanela();
    ASSERT_TRUE(geraArquivos());

    ASSERT_EQ(caixa.caixas.size(), 1u);
    const CaixaVista& erro = caixa.caixas[0];
    EXPECT_EQ(erro.titulo, QString::fromUtf8(kTituloAplicacao));
    EXPECT_TRUE(erro.texto.toStdString().starts_with(
        "Não foi possível conectar ao banco de dados em " + semBanco +
        ": o arquivo do banco de dados não existe. Detalhe: "))
        << erro.texto.toStdString();
    EXPECT_EQ(erro.icone, QMessageBox::Critical);
    EXPECT_EQ(erro.botoes, QMessageBox::Ok);
    EXPECT_TRUE(erro.botaoHabilitado);
    EXPECT_TRUE(j.botaoGerar->isEnabled());
}

TEST_F(JanelaComBancoTest, FalhaAoCompactarMostraACaixaDeErro) {
    // An output folder on a disk with no room left: with no record kind chosen, the archive
    // is the first thing the run writes there.
    teste::DiscoPequeno disco(64 * 1024);
    if (!disco.montado()) GTEST_SKIP() << disco.motivo();
    fs::create_directory(disco / "arquivosXML");
    disco.enche();
    teste::insereEpisodio(banco, 1);
    JanelaPrincipal& j = abreJanela();
    j.caminho->setText(QString::fromStdString(disco.caminho().string()));
    QTest::mouseClick(j.opcaoEscolher, Qt::LeftButton);
    ASSERT_TRUE(geraArquivos());

    // Nothing of the archive is left on the disk.
    std::vector<std::string> restantes;
    for (const auto& e : fs::directory_iterator(disco.caminho()))
        restantes.push_back(e.path().filename().string());
    std::sort(restantes.begin(), restantes.end());
    EXPECT_EQ(restantes, (std::vector<std::string>{".enchimento", "arquivosXML"}));
    ASSERT_EQ(caixa.caixas.size(), 1u);
    const CaixaVista& falha = caixa.caixas[0];
    EXPECT_EQ(falha.titulo, QString::fromUtf8(kTituloAplicacao));
    // The archive, and why, in the operator's words.
    EXPECT_TRUE(falha.texto.contains(QStringLiteral("FichasValmo_03112019_1405_01102019_31102019")))
        << falha.texto.toStdString();
    EXPECT_TRUE(falha.texto.contains(QString::fromUtf8("o disco está cheio")))
        << falha.texto.toStdString();
    EXPECT_EQ(falha.icone, QMessageBox::Critical);
    EXPECT_EQ(falha.botoes, QMessageBox::Ok);
    EXPECT_EQ(falha.dono, &j);
    // The status keeps the outcome once the box is closed, the whole message at hand.
    EXPECT_EQ(j.rotuloStatus->text(),
              QString::fromUtf8("A exportação falhou e nada foi marcado como enviado."));
    EXPECT_EQ(j.rotuloStatus->toolTip(), falha.texto);
    EXPECT_TRUE(j.botaoGerar->isEnabled());
}

// Cancelled during a kind, against the database: nothing is marked sent, no archive and no report
// are left, and the window says so. The citizen's register row is held by another transaction,
// so that the run cannot reach its end before the operator's click.
TEST_F(JanelaComBancoTest, CanceladaDuranteUmTipoNaoDeixaNada) {
    teste::insereBaseDeCadastros(banco);
    teste::insereCidadao(banco, 1);
    teste::insereEpisodio(banco, 1);
    std::optional<Conexao> outra(std::in_place);
    outra->abre(banco.caminho());
    std::optional<Transacao> segura(std::in_place, *outra);
    Consulta(*segura, "UPDATE pessoastransmissao SET uuid = uuid WHERE codigo = 1").executa();

    JanelaPrincipal& j = abreJanela();
    QSignalSpy fim(&j, &JanelaPrincipal::execucaoTerminada);
    QTest::mouseClick(j.botaoGerar, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return j.rotuloStatus->text() ==
                   QStringLiteral("Gerando Fichas de Cadastro Individual...");
        },
        kPrazo));
    QTest::mouseClick(j.botaoGerar, Qt::LeftButton);
    EXPECT_EQ(j.rotuloStatus->text(), QString::fromUtf8("Cancelando a exportação..."));
    ASSERT_TRUE(fim.wait(kPrazo));
    segura.reset();
    outra.reset();

    EXPECT_EQ(j.rotuloStatus->text(),
              QString::fromUtf8("Exportação cancelada: nada foi marcado como enviado e nenhum "
                                "arquivo compactado foi gerado."));
    EXPECT_TRUE(caixa.caixas.empty()) << caixa.caixas[0].texto.toStdString();
    EXPECT_EQ(j.dialogoResumo(), nullptr);
    std::vector<std::string> naSaida;
    for (const auto& e : fs::directory_iterator(saida))
        naSaida.push_back(e.path().filename().string());
    EXPECT_EQ(naSaida, std::vector<std::string>{"arquivosXML"});
    Conexao leitura;
    leitura.abre(banco.caminho());
    Transacao t(leitura);
    Consulta marcas(t,
                    "SELECT transmitiresus, datatransmissaoesus FROM pessoastransmissao WHERE "
                    "codigo = 1");
    const Linha& marca = marcas.abre().at(0);
    EXPECT_EQ(marca.texto("transmitiresus"), "Sim");
    EXPECT_TRUE(marca.nulo("datatransmissaoesus"));
}

// Without the municipality's code the log says so as the run starts and again at its end, after
// the error list's line.
TEST_F(JanelaComBancoTest, IbgeEmBrancoAvisadoNoInicioENoFimDoLog) {
    grava(kSecaoGeral, kChaveIbge, "");
    teste::insereEpisodio(banco, 1);
    JanelaPrincipal& j = abreJanela();
    ASSERT_TRUE(geraArquivos());

    ASSERT_EQ(caixa.caixas.size(), 1u);
    EXPECT_EQ(caixa.caixas[0].titulo, QString::fromUtf8("Informação!"));
    const QStringList log = j.logVisivel->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(log.size(), 3) << j.logVisivel->toPlainText().toStdString();
    EXPECT_TRUE(log[0].startsWith(QString::fromUtf8("IBGE não informado em config.ini")));
    EXPECT_EQ(log[1], QStringLiteral("Lista de erros: nenhuma linha."));
    EXPECT_EQ(log[2], log[0]);
}

TEST_F(JanelaComBancoTest, EscolherGeraSoUmArquivoVazio) {
    teste::insereEpisodio(banco, 1);
    JanelaPrincipal& j = abreJanela();
    QTest::mouseClick(j.opcaoEscolher, Qt::LeftButton);
    ASSERT_TRUE(geraArquivos());

    ASSERT_EQ(caixa.caixas.size(), 1u);
    EXPECT_EQ(caixa.caixas[0].titulo, QString::fromUtf8("Informação!"));
    EXPECT_TRUE(fs::exists(zipDoMes()));
    EXPECT_TRUE(fs::is_empty(saida / "arquivosXML"));
}

// A folder typed after the window opened, that is not there yet: the window asks, "Sim" runs
// into it (arquivosXML made with its parents, the records and the archive there), "Não" starts
// nothing and makes nothing. Enter in "Caminho" starts it, as the operator would.
TEST_F(JanelaComBancoTest, PastaDigitadaDepoisDaAbertura) {
    teste::insereEpisodio(banco, 1);
    JanelaPrincipal& j = abreJanela();
    const fs::path nova = pasta.caminho() / "nova" / "mes";
    j.caminho->setText(QString::fromStdString(nova.string()));

    caixa.resposta = QMessageBox::No;
    j.caminho->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(j.caminho, Qt::Key_Return);
    ASSERT_EQ(caixa.caixas.size(), 1u);
    EXPECT_EQ(caixa.caixas[0].icone, QMessageBox::Question);
    EXPECT_EQ(caixa.caixas[0].botoes, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(caixa.caixas[0].texto.contains(QString::fromStdString(nova.string())))
        << caixa.caixas[0].texto.toStdString();
    EXPECT_FALSE(j.emExecucao());
    EXPECT_FALSE(fs::exists(pasta.caminho() / "nova"));

    caixa.caixas.clear();
    caixa.resposta = QMessageBox::Yes;
    QSignalSpy fim(&j, &JanelaPrincipal::execucaoTerminada);
    QTest::keyClick(j.caminho, Qt::Key_Return);
    ASSERT_TRUE(fim.wait(kPrazo));
    ASSERT_EQ(caixa.caixas.size(), 2u);
    EXPECT_EQ(caixa.caixas[1].titulo, QString::fromUtf8("Informação!"))
        << caixa.caixas[1].texto.toStdString();
    EXPECT_TRUE(fs::exists(nova / "arquivosXML" / "FichaAtendimentoIndividual_1.esus.xml"));
    EXPECT_TRUE(fs::exists(nova / "FichasValmo_03112019_1405_01102019_31102019.zip"));
}

// arquivosXML removed after the window made it: the run makes it again before its first
// record.
TEST_F(JanelaComBancoTest, SubpastaApagadaDepoisDaAberturaVoltaNaExecucao) {
    teste::insereEpisodio(banco, 1);
    JanelaPrincipal& j = abreJanela();
    fs::remove_all(saida / "arquivosXML");
    ASSERT_TRUE(geraArquivos());
    ASSERT_EQ(caixa.caixas.size(), 1u);
    EXPECT_EQ(caixa.caixas[0].titulo, QString::fromUtf8("Informação!"))
        << caixa.caixas[0].texto.toStdString();
    EXPECT_TRUE(fs::exists(saida / "arquivosXML" / "FichaAtendimentoIndividual_1.esus.xml"));
    EXPECT_TRUE(fs::exists(zipDoMes()));
    EXPECT_TRUE(j.botaoGerar->isEnabled());
}

}  // namespace
}  // namespace cds
