#include "app/gui/janela_principal.hpp"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "export/arquivo_ini.hpp"
#include "export/exportacao.hpp"
#include "suporte/banco_teste.hpp"
#include "suporte/clinica.hpp"
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
};

// Keeps every box instead of showing it, so that nothing waits for an operator.
class CaixaGravadora : public CaixaMensagem {
  public:
    std::vector<CaixaVista> caixas;
    TForm8* janela = nullptr;
    // Run while the box would be up, that is, in the middle of the run.
    std::function<void()> enquantoAberta;

    void exibe(QMessageBox& caixa) override {
        CaixaVista vista{caixa.windowTitle(),  caixa.text(), caixa.icon(), caixa.standardButtons(),
                         caixa.parentWidget(), {},           true};
        if (janela) {
            vista.status = janela->LMensagem->text();
            vista.botaoHabilitado = janela->Button1->isEnabled();
        }
        caixas.push_back(vista);
        if (enquantoAberta) enquantoAberta();
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
    fs::path arquivoIni() const { return pasta.caminho() / "config.ini"; }

    void grava(const char* secao, const char* chave, const std::string& valor) {
        ArquivoIni ini(arquivoIni());
        ini.grava(secao, chave, valor);
    }

    TForm8& criaJanela() {
        janela = std::make_unique<TForm8>(arquivoIni(), relogio, caixa);
        caixa.janela = janela.get();
        return *janela;
    }

    TForm8& abreJanela() {
        TForm8& j = criaJanela();
        j.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&j));
        return j;
    }

    std::vector<bool> sete() const {
        std::vector<bool> marcadas;
        for (QCheckBox* c : {janela->cbCadastroIndividual, janela->cbCadastroDomiciliar,
                             janela->cbAtendimentoIndividual, janela->cbProcedimentos,
                             janela->cbAtendimentoOdontologico, janela->cbFichaVisitaDomiciliar,
                             janela->cbFichaAtivColetiva})
            marcadas.push_back(c->isChecked());
        return marcadas;
    }
    static std::vector<bool> todas(bool v) { return std::vector<bool>(7, v); }

    PastaTemporaria pasta;
    RelogioFixo relogio{DataHora{2019, 11, 3, 14, 5, 0}};
    CaixaGravadora caixa;
    std::unique_ptr<TForm8> janela;
};

TEST_F(JanelaTest, ControlesComoDesenhados) {
    TForm8& j = criaJanela();
    EXPECT_EQ(j.windowTitle(), QString::fromUtf8("Gerador de Arquivos para Esus - Versão 1.06"));
    EXPECT_EQ(j.size(), QSize(808, 453));

    // Name, kind, caption or initial content, and place; an empty size is the caption's own.
    struct Caso {
        const char* nome;
        const char* tipo;
        const char* texto;
        QRect lugar;
    };
    const Caso casos[] = {
        {"Label1", "QLabel", "Data Inicial:", {8, 12, 0, 0}},
        {"dtpDataInicial", "QDateEdit", nullptr, {80, 8, 105, 21}},
        {"Label2", "QLabel", "Data Final:", {202, 12, 0, 0}},
        {"dtpDataFinal", "QDateEdit", nullptr, {263, 8, 105, 21}},
        {"Label4", "QLabel", "CNES:", {8, 43, 0, 0}},
        {"edtUnidade", "QLineEdit", "0000000", {80, 40, 57, 21}},
        {"Label7", "QLabel", "Cód. Profiss.:", {8, 74, 0, 0}},
        {"edtCodProf", "QLineEdit", "", {80, 71, 33, 21}},
        {"Label3", "QLabel", "Caminho:", {8, 107, 0, 0}},
        {"edtCaminho", "QLineEdit", "C:\\temp", {80, 104, 269, 21}},
        {"Label5", "QLabel", "UUID:", {363, 107, 0, 0}},
        {"edtUUID", "QLineEdit", "0", {394, 104, 33, 21}},
        {"RadioGroup1", "QGroupBox", " Fichas CDS ", {30, 129, 404, 242}},
        {"RadioButton1", "QRadioButton", "Todas", {52, 155, 0, 0}},
        {"RadioButton2", "QRadioButton", "Escolher", {138, 155, 0, 0}},
        {"cbCadastroIndividual", "QCheckBox", "Ficha de Cadastro Individual", {40, 180, 0, 0}},
        {"cbCadastroDomiciliar",
         "QCheckBox",
         "Ficha de Cadastro Domiciliar/Territorial",
         {40, 204, 0, 0}},
        {"cbAtendimentoIndividual",
         "QCheckBox",
         "Ficha de Atendimento Individual",
         {40, 228, 0, 0}},
        {"cbProcedimentos", "QCheckBox", "Ficha de Procedimentos", {40, 251, 0, 0}},
        {"cbAtendimentoOdontologico",
         "QCheckBox",
         "Ficha de Atendimento Odontológico",
         {40, 274, 0, 0}},
        {"cbFichaVisitaDomiciliar",
         "QCheckBox",
         "Ficha Visita Domiciliar e Territorial",
         {40, 297, 0, 0}},
        {"cbFichaAtivColetiva", "QCheckBox", "Ficha Atividade Coletiva", {40, 321, 0, 0}},
        {"CBFichaVacinacao", "QCheckBox", "Ficha de Vacinação", {40, 345, 0, 0}},
        {"Label8", "QLabel", "Cód. Profiss. Genérico:", {216, 182, 0, 0}},
        {"EProfissionalGenerico", "QLineEdit", "", {334, 178, 33, 21}},
        {"Button1", "QPushButton", "Gerar Arquivos", {172, 376, 131, 32}},
        {"LMensagem", "QLabel", "Mensagem", {8, 406, 0, 0}},
        {"Label6", "QLabel", "Compatível com layout e-SUS AB v.2.2", {216, 436, 0, 0}},
        {"Memo2", "QPlainTextEdit", "", {440, 8, 360, 437}},
        {"Memo1", "QPlainTextEdit", "", {8, 412, 185, 89}},
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
            EXPECT_EQ(w->property(propriedade).toString(), QString::fromUtf8(c.texto));
        }
        EXPECT_EQ(w->pos(), c.lugar.topLeft());
        if (!c.lugar.size().isEmpty()) {
            EXPECT_EQ(w->size(), c.lugar.size());
        }
    }

    EXPECT_TRUE(j.RadioButton1->isChecked());
    EXPECT_FALSE(j.RadioButton2->isChecked());
    EXPECT_EQ(sete(), todas(true));
    EXPECT_FALSE(j.CBFichaVacinacao->isChecked());
    EXPECT_TRUE(j.CBFichaVacinacao->isHidden());
    EXPECT_TRUE(j.Memo1->isHidden());
    EXPECT_FALSE(j.Memo2->isHidden());
    for (QDateEdit* d : {j.dtpDataInicial, j.dtpDataFinal}) {
        EXPECT_TRUE(d->calendarPopup());
        EXPECT_EQ(d->displayFormat(), QStringLiteral("dd/MM/yyyy"));
    }
    EXPECT_EQ(j.Memo2->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(j.Memo2->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // The status label is the large one: 12 pt against the window's 8.
    EXPECT_DOUBLE_EQ(j.LMensagem->font().pointSizeF(), 1.5 * j.font().pointSizeF());
}

TEST_F(JanelaTest, LegendasNaoInvademAsCaixasAoLado) {
    TForm8& j = abreJanela();
    const std::pair<QWidget*, QWidget*> vizinhos[] = {
        {j.Label1, j.dtpDataInicial},
        {j.Label2, j.dtpDataFinal},
        {j.Label4, j.edtUnidade},
        {j.Label7, j.edtCodProf},
        {j.Label3, j.edtCaminho},
        {j.Label5, j.edtUUID},
        {j.Label8, j.EProfissionalGenerico},
        {j.cbCadastroIndividual, j.Label8},
        {j.RadioButton1, j.RadioButton2},
    };
    for (const auto& [esquerda, direita] : vizinhos) {
        const int fimDaLegenda = esquerda->x() + esquerda->sizeHint().width();
        EXPECT_LE(fimDaLegenda, direita->x())
            << esquerda->objectName().toStdString() << " / " << direita->objectName().toStdString();
    }
}

TEST_F(JanelaTest, OrdemDeTabulacao) {
    TForm8& j = abreJanela();
    const std::vector<QString> esperada = {"dtpDataInicial",
                                           "dtpDataFinal",
                                           "edtUnidade",
                                           "edtCodProf",
                                           "edtCaminho",
                                           "edtUUID",
                                           "RadioButton1",
                                           "RadioButton2",
                                           "cbCadastroIndividual",
                                           "cbCadastroDomiciliar",
                                           "cbAtendimentoIndividual",
                                           "cbProcedimentos",
                                           "cbAtendimentoOdontologico",
                                           "cbFichaVisitaDomiciliar",
                                           "cbFichaAtivColetiva",
                                           "CBFichaVacinacao",
                                           "EProfissionalGenerico",
                                           "Button1",
                                           "Memo2",
                                           "Memo1"};
    std::vector<QString> ordem;
    QWidget* w = j.dtpDataInicial;
    do {
        if (w->parentWidget() == &j &&
            std::find(ordem.begin(), ordem.end(), w->objectName()) == ordem.end())
            ordem.push_back(w->objectName());
        w = w->nextInFocusChain();
    } while (w != j.dtpDataInicial);
    std::erase_if(ordem, [&](const QString& n) {
        return std::find(esperada.begin(), esperada.end(), n) == esperada.end();
    });
    EXPECT_EQ(ordem, esperada);
}

TEST_F(JanelaTest, Memo2CresceELabel6AcompanhaABorda) {
    TForm8& j = abreJanela();
    j.resize(1000, 600);
    EXPECT_EQ(j.Memo2->geometry(), QRect(440, 8, 1000 - 448, 600 - 16));
    EXPECT_EQ(j.Label6->pos(), QPoint(216, 600 - 17));
    EXPECT_EQ(j.Button1->pos(), QPoint(172, 376));
    j.resize(808, 453);
    EXPECT_EQ(j.Memo2->geometry(), QRect(440, 8, 360, 437));
    EXPECT_EQ(j.Label6->pos(), QPoint(216, 436));
}

TEST_F(JanelaTest, PrimeiraAberturaSemConfig) {
    // Without config.ini the path is the default: the system's temporary folder here.
    const fs::path padrao = pasta.caminho() / "temporaria";
    fs::create_directory(padrao);
    const char* antes = std::getenv("TMPDIR");
    const std::optional<std::string> tmpdir =
        antes ? std::optional<std::string>(antes) : std::nullopt;
    setenv("TMPDIR", padrao.c_str(), 1);
    TForm8& j = abreJanela();
    if (tmpdir)
        setenv("TMPDIR", tmpdir->c_str(), 1);
    else
        unsetenv("TMPDIR");

    EXPECT_EQ(j.edtUnidade->text(), QString());
    EXPECT_EQ(j.EProfissionalGenerico->text(), QString());
    EXPECT_EQ(j.edtCaminho->text().toStdString(), padrao.string());
    EXPECT_EQ(j.edtUUID->text(), QStringLiteral("0"));
    EXPECT_EQ(j.LMensagem->text(), QString());
    EXPECT_TRUE(fs::is_directory(padrao / "arquivosXML"));
    // Opening reads the settings; it writes none.
    EXPECT_FALSE(fs::exists(arquivoIni()));
}

TEST_F(JanelaTest, AberturaPreencheComAConfigECriaASubpasta) {
    const fs::path saida = pasta.caminho() / "clinica" / "exportacao";
    grava(kSecaoGeral, kChaveCnesPrincipal, "2345678");
    grava(kSecaoGeral, kChaveCaminhoXml, saida.string());
    grava(kSecaoEsus, kChaveProfissionalGenerico, "9");
    TForm8& j = abreJanela();

    EXPECT_EQ(j.edtUnidade->text(), QStringLiteral("2345678"));
    EXPECT_EQ(j.edtCaminho->text().toStdString(), saida.string());
    EXPECT_EQ(j.EProfissionalGenerico->text(), QStringLiteral("9"));
    EXPECT_EQ(j.edtCodProf->text(), QString());
    EXPECT_TRUE(fs::is_directory(saida / "arquivosXML"));

    const ParametrosExportacao p = j.parametros();
    EXPECT_EQ(p.Unidade, "2345678");
    EXPECT_EQ(p.Caminho, saida.string());
    EXPECT_EQ(p.ProfissionalGenerico, "9");
    EXPECT_EQ(p.UUID, "0");
    EXPECT_EQ(p.DataInicial, std::chrono::year_month_day(std::chrono::year{2019} / 10 / 1));
    EXPECT_EQ(p.DataFinal, std::chrono::year_month_day(std::chrono::year{2019} / 10 / 31));
    EXPECT_TRUE(p.CadastroIndividual && p.CadastroDomiciliar && p.AtendimentoIndividual &&
                p.Procedimentos && p.AtendimentoOdontologico && p.FichaVisitaDomiciliar &&
                p.FichaAtivColetiva);
    EXPECT_FALSE(p.FichaVacinacao);
}

TEST_F(JanelaTest, SubpastaQueNaoPodeSerCriadaFicaDitaNoStatus) {
    // A file where the output folder should be: the subfolder cannot be made under it.
    const fs::path arquivo = pasta.caminho() / "ocupado";
    std::ofstream(arquivo) << "x";
    grava(kSecaoGeral, kChaveCaminhoXml, arquivo.string());
    TForm8& j = abreJanela();
    EXPECT_EQ(j.edtCaminho->text().toStdString(), arquivo.string());
    EXPECT_TRUE(j.LMensagem->text().contains(QStringLiteral("arquivosXML")))
        << j.LMensagem->text().toStdString();
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
        TForm8& j = abreJanela();
        EXPECT_EQ(j.dtpDataInicial->text().toStdString(), c.inicial) << c.inicial;
        EXPECT_EQ(j.dtpDataFinal->text().toStdString(), c.final) << c.final;
    }
}

TEST_F(JanelaTest, EscolherETodasAoReceberOFocoPeloMouse) {
    TForm8& j = abreJanela();
    // Set by hand to see that neither shortcut touches it.
    j.CBFichaVacinacao->setChecked(true);

    QTest::mouseClick(j.RadioButton2, Qt::LeftButton);
    EXPECT_TRUE(j.RadioButton2->isChecked());
    EXPECT_EQ(sete(), todas(false));
    EXPECT_TRUE(j.CBFichaVacinacao->isChecked());

    // The boxes can be changed one by one afterwards.
    QTest::mouseClick(j.cbProcedimentos, Qt::LeftButton);
    EXPECT_TRUE(j.cbProcedimentos->isChecked());
    EXPECT_FALSE(j.cbAtendimentoIndividual->isChecked());

    QTest::mouseClick(j.RadioButton1, Qt::LeftButton);
    EXPECT_TRUE(j.RadioButton1->isChecked());
    EXPECT_EQ(sete(), todas(true));

    // Back to "Todas" while it is already selected: the seven are ticked again.
    QTest::mouseClick(j.cbFichaAtivColetiva, Qt::LeftButton);
    EXPECT_FALSE(j.cbFichaAtivColetiva->isChecked());
    QTest::mouseClick(j.RadioButton1, Qt::LeftButton);
    EXPECT_EQ(sete(), todas(true));

    j.CBFichaVacinacao->setChecked(false);
    QTest::mouseClick(j.RadioButton1, Qt::LeftButton);
    EXPECT_FALSE(j.CBFichaVacinacao->isChecked());
    EXPECT_TRUE(j.CBFichaVacinacao->isHidden());
    EXPECT_FALSE(j.parametros().FichaVacinacao);
}

TEST_F(JanelaTest, EscolherETodasAoReceberOFocoPeloTeclado) {
    TForm8& j = abreJanela();
    j.edtUUID->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(j.edtUUID, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), j.RadioButton1);
    EXPECT_EQ(sete(), todas(true));

    // The arrow moves the focus, and the choice, to "Escolher".
    QTest::keyClick(j.RadioButton1, Qt::Key_Right);
    ASSERT_EQ(QApplication::focusWidget(), j.RadioButton2);
    EXPECT_TRUE(j.RadioButton2->isChecked());
    EXPECT_EQ(sete(), todas(false));

    // Leaving and coming back from behind with the keyboard clears them again.
    j.cbCadastroIndividual->setChecked(true);
    QTest::keyClick(j.RadioButton2, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), j.RadioButton2);
    EXPECT_EQ(sete(), todas(false));

    QTest::keyClick(j.RadioButton2, Qt::Key_Left);
    ASSERT_EQ(QApplication::focusWidget(), j.RadioButton1);
    EXPECT_EQ(sete(), todas(true));
    EXPECT_FALSE(j.CBFichaVacinacao->isChecked());
}

TEST_F(JanelaTest, VoltarParaAJanelaNaoContaComoEntrarNoBotao) {
    TForm8& j = abreJanela();
    QTest::mouseClick(j.RadioButton1, Qt::LeftButton);
    j.cbProcedimentos->setChecked(false);

    // Another window takes the focus and gives it back; "Todas" had it all along.
    QWidget outra;
    outra.show();
    outra.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&outra));
    j.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&j));
    ASSERT_EQ(QApplication::focusWidget(), j.RadioButton1);
    EXPECT_FALSE(j.cbProcedimentos->isChecked());
}

TEST_F(JanelaTest, CodigoDeProfissionalInvalidoVaiParaACaixaDeErro) {
    TForm8& j = abreJanela();
    j.edtCodProf->setText(QStringLiteral("12a"));
    QTest::mouseClick(j.Button1, Qt::LeftButton);

    ASSERT_EQ(caixa.caixas.size(), 1u);
    const CaixaVista& erro = caixa.caixas[0];
    EXPECT_EQ(erro.titulo, QString::fromUtf8(kTituloAplicacao));
    EXPECT_TRUE(erro.texto.contains(QStringLiteral("'12a'"))) << erro.texto.toStdString();
    EXPECT_EQ(erro.icone, QMessageBox::Critical);
    EXPECT_EQ(erro.botoes, QMessageBox::Ok);
    EXPECT_EQ(erro.dono, &j);
    // The run is over when the box shows: the window takes input again.
    EXPECT_TRUE(erro.botaoHabilitado);
    EXPECT_TRUE(j.Button1->isEnabled());
    EXPECT_TRUE(j.edtCodProf->isEnabled());
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

    TForm8& j = abreJanela();
    j.Memo2->setPlainText(QStringLiteral("linha de uma execução anterior"));
    j.EProfissionalGenerico->setText(QStringLiteral("12"));
    Pinturas status(j.LMensagem, [&] { return j.LMensagem->text(); });
    Pinturas barra(j.barraProgresso, [&] { return j.barraProgresso->text(); });
    bool fechou = true;
    bool entradasHabilitadas = true;
    caixa.enquantoAberta = [&] {
        // The run is still under way: no input, and the window will not close.
        entradasHabilitadas = j.edtCaminho->isEnabled() || j.RadioButton2->isEnabled() ||
                              j.cbProcedimentos->isEnabled() || j.dtpDataInicial->isEnabled();
        j.close();
        fechou = !j.isVisible();
    };

    QTest::mouseClick(j.Button1, Qt::LeftButton);

    ASSERT_EQ(caixa.caixas.size(), 1u);
    const CaixaVista& sucesso = caixa.caixas[0];
    EXPECT_EQ(sucesso.titulo, QString::fromUtf8("Informação!"));
    EXPECT_EQ(sucesso.texto,
              QString::fromUtf8("Arquivo de importação do esus gerado com sucesso!"));
    EXPECT_EQ(sucesso.icone, QMessageBox::NoIcon);
    EXPECT_EQ(sucesso.botoes, QMessageBox::Ok);
    EXPECT_EQ(sucesso.dono, &j);
    EXPECT_EQ(sucesso.status, QString::fromUtf8("Concluído!"));
    EXPECT_FALSE(sucesso.botaoHabilitado);
    EXPECT_FALSE(entradasHabilitadas);
    EXPECT_FALSE(fechou);

    EXPECT_TRUE(fs::exists(saida / "arquivosXML" / "FichaAtendimentoIndividual_1.esus.xml"));
    EXPECT_TRUE(fs::exists(saida / "arquivosXML" / "FichaAtendimentoIndividual_2.esus.xml"));
    EXPECT_TRUE(fs::exists(zipDoMes()));
    EXPECT_FALSE(fs::exists(saida / "arquivosXML" / "FichaVacinacao_1.esus.xml"));

    // The log of this run only; the error list holds its line, out of sight.
    EXPECT_EQ(j.Memo2->toPlainText(), QString::fromUtf8("Dr. Sem Equipe - INE não cadastrado!"));
    EXPECT_TRUE(j.Memo1->toPlainText().contains(QStringLiteral("Dr. Sem Equipe")));
    EXPECT_TRUE(j.Memo1->isHidden());

    // Painted as the run went, not only at its end, and cleared last.
    std::vector<QString> vistos = status.vistas;
    std::erase_if(vistos, [](const QString& t) { return t.isEmpty(); });
    const std::vector<QString> esperado = {
        QStringLiteral("Gerando Fichas de Atendimento Individual..."),
        QStringLiteral("Compactando Arquivo..."), QString::fromUtf8("Concluído!")};
    EXPECT_EQ(vistos, esperado);
    ASSERT_FALSE(status.vistas.empty());
    EXPECT_EQ(status.vistas.back(), QString());
    EXPECT_NE(std::find(barra.vistas.begin(), barra.vistas.end(), QStringLiteral("2 de 2")),
              barra.vistas.end());

    // After the run: the status is clear, the bar empty, the window takes input again, the
    // boxes keep their values and the two settings were saved from the window.
    EXPECT_EQ(j.LMensagem->text(), QString());
    EXPECT_EQ(j.barraProgresso->text(), QString());
    EXPECT_TRUE(j.Button1->isEnabled());
    EXPECT_TRUE(j.edtCaminho->isEnabled());
    EXPECT_TRUE(j.isVisible());
    EXPECT_EQ(j.dtpDataInicial->text(), QStringLiteral("01/10/2019"));
    EXPECT_EQ(j.EProfissionalGenerico->text(), QStringLiteral("12"));
    ArquivoIni ini(arquivoIni());
    EXPECT_EQ(ini.le(kSecaoEsus, kChaveProfissionalGenerico, ""), "12");
    EXPECT_EQ(ini.le(kSecaoGeral, kChaveCaminhoXml, ""), saida.string());
}

TEST_F(JanelaComBancoTest, FalhaAoConectarMostraAsDuasCaixas) {
    const std::string semBanco = (pasta.caminho() / "nao-existe.fdb").string();
    grava(kSecaoGeral, kChaveDatabase, semBanco);
    TForm8& j = abreJanela();
    QTest::mouseClick(j.Button1, Qt::LeftButton);

    ASSERT_EQ(caixa.caixas.size(), 2u);
    const CaixaVista& simples = caixa.caixas[0];
    EXPECT_EQ(simples.titulo, QString::fromUtf8(kTituloAplicacao));
    EXPECT_EQ(simples.texto.toStdString(),
              "Não foi possível conectar ao banco de dados em: " + semBanco);
    EXPECT_EQ(simples.icone, QMessageBox::NoIcon);
    EXPECT_EQ(simples.botoes, QMessageBox::Ok);
    EXPECT_FALSE(simples.botaoHabilitado);

    const CaixaVista& erro = caixa.caixas[1];
    EXPECT_EQ(erro.titulo, QString::fromUtf8(kTituloAplicacao));
    EXPECT_FALSE(erro.texto.isEmpty());
    EXPECT_EQ(erro.icone, QMessageBox::Critical);
    EXPECT_EQ(erro.botoes, QMessageBox::Ok);
    EXPECT_TRUE(erro.botaoHabilitado);
    EXPECT_TRUE(j.Button1->isEnabled());
}

TEST_F(JanelaComBancoTest, FalhaAoCompactarMostraACaixaDoZip) {
    teste::insereEpisodio(banco, 1);
    TForm8& j = abreJanela();
    // Changed after the window opened: the subfolder is not made for it, and with no record
    // kind chosen the archive is the first thing the run writes there.
    const fs::path outra = pasta.caminho() / "outra";
    j.edtCaminho->setText(QString::fromStdString(outra.string()));
    QTest::mouseClick(j.RadioButton2, Qt::LeftButton);
    QTest::mouseClick(j.Button1, Qt::LeftButton);

    EXPECT_FALSE(fs::exists(outra));
    ASSERT_EQ(caixa.caixas.size(), 1u);
    const CaixaVista& falha = caixa.caixas[0];
    EXPECT_EQ(falha.titulo, QStringLiteral("Problema encontrado ao zipar o arquivo KVW."));
    EXPECT_TRUE(falha.texto.contains(QStringLiteral("FichasValmo_03112019_1405_01102019_31102019")))
        << falha.texto.toStdString();
    EXPECT_EQ(falha.icone, QMessageBox::Critical);
    EXPECT_EQ(falha.botoes, QMessageBox::Ok);
    EXPECT_EQ(falha.dono, &j);
    // The run ends normally after the box; the status keeps the packaging text.
    EXPECT_EQ(j.LMensagem->text(), QStringLiteral("Compactando Arquivo..."));
    EXPECT_TRUE(j.Button1->isEnabled());
}

TEST_F(JanelaComBancoTest, EscolherGeraSoUmArquivoVazio) {
    teste::insereEpisodio(banco, 1);
    TForm8& j = abreJanela();
    QTest::mouseClick(j.RadioButton2, Qt::LeftButton);
    QTest::mouseClick(j.Button1, Qt::LeftButton);

    ASSERT_EQ(caixa.caixas.size(), 1u);
    EXPECT_EQ(caixa.caixas[0].titulo, QString::fromUtf8("Informação!"));
    EXPECT_TRUE(fs::exists(zipDoMes()));
    EXPECT_TRUE(fs::is_empty(saida / "arquivosXML"));
}

}  // namespace
}  // namespace cds
