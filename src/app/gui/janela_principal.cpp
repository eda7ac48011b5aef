#include "app/gui/janela_principal.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <algorithm>
#include <climits>
#include <optional>

#include "comum/erro.hpp"
#include "export/abertura.hpp"
#include "export/exportacao.hpp"

namespace cds {

namespace {

// The client area as designed; Memo2 and Label6 keep their distance to its right and bottom
// edges when the window is resized.
constexpr int kLargura = 808;
constexpr int kAltura = 453;
constexpr int kMargemMemo2 = 8;
constexpr int kDistanciaLabel6 = kAltura - 436;

QString texto(const std::string& s) {
    return QString::fromStdString(s);
}

// Tahoma where the system has it; elsewhere the system's own sans-serif face. The places of
// the captions were drawn for Tahoma 8 pt, and the usual fallback faces are wider: such a face
// is made smaller, in the same proportion for every size, until the longest caption with a
// box on its right ("Cód. Profiss. Genérico:", 118 pixels before its box) fits there.
struct FaceDaJanela {
    QString familia;
    qreal escala = 1.0;
};

FaceDaJanela faceDaJanela() {
    FaceDaJanela face;
    if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) {
        face.familia = QStringLiteral("Tahoma");
        return face;
    }
    face.familia = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    const QString maisLonga = QStringLiteral("Cód. Profiss. Genérico:");
    constexpr int espaco = 334 - 216 - 2;
    for (qreal pontos = 8.0; pontos >= 6.0; pontos -= 0.25) {
        QFont f(face.familia);
        f.setPointSizeF(pontos);
        face.escala = pontos / 8.0;
        if (QFontMetrics(f).horizontalAdvance(maisLonga) <= espaco) break;
    }
    return face;
}

QFont fonte(qreal pontos) {
    static const FaceDaJanela face = faceDaJanela();
    QFont f(face.familia);
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(pontos * face.escala);
    return f;
}

std::chrono::year_month_day paraData(const QDate& d) {
    return std::chrono::year_month_day{std::chrono::year{d.year()},
                                       std::chrono::month{static_cast<unsigned>(d.month())},
                                       std::chrono::day{static_cast<unsigned>(d.day())}};
}

QDate paraQDate(const std::chrono::year_month_day& d) {
    return QDate(static_cast<int>(d.year()), static_cast<int>(static_cast<unsigned>(d.month())),
                 static_cast<int>(static_cast<unsigned>(d.day())));
}

template <class Controle>
Controle* nomeia(Controle* controle, const char* nome) {
    controle->setObjectName(QString::fromLatin1(nome));
    return controle;
}

QLabel* rotulo(QWidget* pai, const char* nome, const char* caption, int x, int y) {
    auto* l = nomeia(new QLabel(QString::fromUtf8(caption), pai), nome);
    l->move(x, y);
    l->adjustSize();
    return l;
}

QLineEdit* caixaTexto(QWidget* pai, const char* nome, const char* inicial, QRect posicao) {
    auto* e = nomeia(new QLineEdit(QString::fromUtf8(inicial), pai), nome);
    e->setGeometry(posicao);
    return e;
}

QDateEdit* seletorData(QWidget* pai, const char* nome, QRect posicao) {
    auto* d = nomeia(new QDateEdit(pai), nome);
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    d->setGeometry(posicao);
    return d;
}

QCheckBox* caixaFicha(QWidget* pai, const char* nome, const char* caption, int y) {
    auto* c = nomeia(new QCheckBox(QString::fromUtf8(caption), pai), nome);
    c->setChecked(true);
    c->move(40, y);
    c->adjustSize();
    return c;
}

}  // namespace

// The run's operator: the status label, the progress bar and the log repaint at once, since
// the run keeps the window's thread until it returns. Input is held back meanwhile.
class TForm8::OperadorJanela : public Operador {
  public:
    explicit OperadorJanela(TForm8& janela) : janela(janela) {}

    void status(const std::string& t) override {
        janela.LMensagem->setText(texto(t));
        janela.barraProgresso->reset();
        janela.LMensagem->repaint();
        atualizaTela();
    }
    void limpaLog() override {
        janela.Memo2->clear();
        atualizaTela();
    }
    void log(const std::string& linha) override {
        janela.Memo2->appendPlainText(texto(linha));
        atualizaTela();
    }
    void erroCadastro(const std::string& linha) override {
        janela.Memo1->appendPlainText(texto(linha));
    }
    void mensagem(const std::string& t, const std::string& titulo, TipoMensagem tipo) override {
        janela.mostraCaixa(
            t, titulo, tipo == TipoMensagem::Erro ? QMessageBox::Critical : QMessageBox::NoIcon);
    }
    void progresso(std::size_t feitos, std::size_t total) override {
        QProgressBar& barra = *janela.barraProgresso;
        if (total == 0) {
            barra.reset();
        } else {
            const auto limite = [](std::size_t n) {
                return static_cast<int>(std::min<std::size_t>(n, INT_MAX));
            };
            barra.setRange(0, limite(total));
            barra.setValue(limite(feitos));
        }
        // A row takes a fraction of a millisecond; painting every one would slow the run.
        if (feitos == total || !ultimaPintura.isValid() || ultimaPintura.elapsed() >= 50) {
            barra.repaint();
            atualizaTela();
        }
    }

  private:
    void atualizaTela() {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        ultimaPintura.start();
    }

    TForm8& janela;
    QElapsedTimer ultimaPintura;
};

TForm8::TForm8(std::filesystem::path arquivoIni, const Relogio& relogio, CaixaMensagem& caixa,
               QWidget* parent)
    : QWidget(parent),
      caminhoIni(std::move(arquivoIni)),
      relogio(relogio),
      caixa(caixa),
      operador(std::make_unique<OperadorJanela>(*this)) {
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QString::fromUtf8(kTituloJanela));
    setFont(fonte(8));
    criaControles();
    ordemDeTabulacao();
    resize(kLargura, kAltura);
    if (const QScreen* tela = screen()) move(tela->availableGeometry().center() - rect().center());
}

TForm8::~TForm8() = default;

void TForm8::criaControles() {
    Label1 = rotulo(this, "Label1", "Data Inicial:", 8, 12);
    dtpDataInicial = seletorData(this, "dtpDataInicial", {80, 8, 105, 21});
    Label2 = rotulo(this, "Label2", "Data Final:", 202, 12);
    dtpDataFinal = seletorData(this, "dtpDataFinal", {263, 8, 105, 21});
    Label4 = rotulo(this, "Label4", "CNES:", 8, 43);
    edtUnidade = caixaTexto(this, "edtUnidade", "0000000", {80, 40, 57, 21});
    Label7 = rotulo(this, "Label7", "Cód. Profiss.:", 8, 74);
    edtCodProf = caixaTexto(this, "edtCodProf", "", {80, 71, 33, 21});
    Label3 = rotulo(this, "Label3", "Caminho:", 8, 107);
    edtCaminho = caixaTexto(this, "edtCaminho", "C:\\temp", {80, 104, 269, 21});
    Label5 = rotulo(this, "Label5", "UUID:", 363, 107);
    edtUUID = caixaTexto(this, "edtUUID", "0", {394, 104, 33, 21});

    // Only a frame: the radio buttons and boxes drawn over it are the window's own children,
    // placed in the window's coordinates.
    RadioGroup1 = nomeia(new QGroupBox(QStringLiteral(" Fichas CDS "), this), "RadioGroup1");
    RadioGroup1->setGeometry(30, 129, 404, 242);
    RadioButton1 = nomeia(new QRadioButton(QStringLiteral("Todas"), this), "RadioButton1");
    RadioButton1->move(52, 155);
    RadioButton1->adjustSize();
    RadioButton1->setChecked(true);
    RadioButton2 = nomeia(new QRadioButton(QStringLiteral("Escolher"), this), "RadioButton2");
    RadioButton2->move(138, 155);
    RadioButton2->adjustSize();
    RadioButton1->installEventFilter(this);
    RadioButton2->installEventFilter(this);

    cbCadastroIndividual =
        caixaFicha(this, "cbCadastroIndividual", "Ficha de Cadastro Individual", 180);
    cbCadastroDomiciliar =
        caixaFicha(this, "cbCadastroDomiciliar", "Ficha de Cadastro Domiciliar/Territorial", 204);
    cbAtendimentoIndividual =
        caixaFicha(this, "cbAtendimentoIndividual", "Ficha de Atendimento Individual", 228);
    cbProcedimentos = caixaFicha(this, "cbProcedimentos", "Ficha de Procedimentos", 251);
    cbAtendimentoOdontologico =
        caixaFicha(this, "cbAtendimentoOdontologico", "Ficha de Atendimento Odontológico", 274);
    cbFichaVisitaDomiciliar =
        caixaFicha(this, "cbFichaVisitaDomiciliar", "Ficha Visita Domiciliar e Territorial", 297);
    cbFichaAtivColetiva = caixaFicha(this, "cbFichaAtivColetiva", "Ficha Atividade Coletiva", 321);
    // Vaccination records are not offered to the operator.
    CBFichaVacinacao = caixaFicha(this, "CBFichaVacinacao", "Ficha de Vacinação", 345);
    CBFichaVacinacao->setChecked(false);
    CBFichaVacinacao->hide();

    Label8 = rotulo(this, "Label8", "Cód. Profiss. Genérico:", 216, 182);
    EProfissionalGenerico = caixaTexto(this, "EProfissionalGenerico", "", {334, 178, 33, 21});

    Button1 = nomeia(new QPushButton(QStringLiteral("Gerar Arquivos"), this), "Button1");
    Button1->setGeometry(172, 376, 131, 32);
    connect(Button1, &QPushButton::clicked, this, &TForm8::Button1Click);

    LMensagem = rotulo(this, "LMensagem", "Mensagem", 8, 406);
    LMensagem->setFont(fonte(12));
    // As wide as the space left of the log, so that a long status is cut there.
    LMensagem->setGeometry(8, 406, 440 - 8 - 4, LMensagem->sizeHint().height());

    barraProgresso = nomeia(new QProgressBar(this), "barraProgresso");
    barraProgresso->setGeometry(8, 429, 200, 14);
    barraProgresso->setFormat(QStringLiteral("%v de %m"));
    barraProgresso->setAlignment(Qt::AlignCenter);
    barraProgresso->reset();

    Label6 = rotulo(this, "Label6", "Compatível com layout e-SUS AB v.2.2", 216, 436);

    Memo2 = nomeia(new QPlainTextEdit(this), "Memo2");
    Memo2->setReadOnly(true);
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setGeometry(440, 8, 360, 437);

    // The hidden error list: held for the run, never shown.
    Memo1 = nomeia(new QPlainTextEdit(this), "Memo1");
    Memo1->setGeometry(8, 412, 185, 89);
    Memo1->hide();
}

void TForm8::ordemDeTabulacao() {
    QWidget* const ordem[] = {dtpDataInicial,
                              dtpDataFinal,
                              edtUnidade,
                              edtCodProf,
                              edtCaminho,
                              edtUUID,
                              RadioButton1,
                              RadioButton2,
                              cbCadastroIndividual,
                              cbCadastroDomiciliar,
                              cbAtendimentoIndividual,
                              cbProcedimentos,
                              cbAtendimentoOdontologico,
                              cbFichaVisitaDomiciliar,
                              cbFichaAtivColetiva,
                              CBFichaVacinacao,
                              EProfissionalGenerico,
                              Button1,
                              Memo2,
                              Memo1};
    for (std::size_t i = 1; i < std::size(ordem); ++i) setTabOrder(ordem[i - 1], ordem[i]);
}

void TForm8::showEvent(QShowEvent* evento) {
    QWidget::showEvent(evento);
    if (!mostrada) {
        mostrada = true;
        FormShow();
    }
}

void TForm8::FormShow() {
    LMensagem->clear();
    ini = std::make_unique<ArquivoIni>(caminhoIni);
    const ParametrosExportacao iniciais = parametrosIniciais(*ini, relogio);
    edtUnidade->setText(texto(iniciais.Unidade));
    edtCaminho->setText(texto(iniciais.Caminho));
    EProfissionalGenerico->setText(texto(iniciais.ProfissionalGenerico));
    try {
        criaPastaXml(iniciais.Caminho);
    } catch (const ErroArquivo& e) {
        // Not fatal here: the operator may still correct the path; a run would fail at its
        // first file. The status label says why until then.
        LMensagem->setText(texto(e.what()));
    }
    dtpDataFinal->setDate(paraQDate(iniciais.DataFinal));
    dtpDataInicial->setDate(paraQDate(iniciais.DataInicial));
}

void TForm8::resizeEvent(QResizeEvent* evento) {
    QWidget::resizeEvent(evento);
    Memo2->setGeometry(440, kMargemMemo2, std::max(0, width() - 440 - kMargemMemo2),
                       std::max(0, height() - 2 * kMargemMemo2));
    Label6->move(Label6->x(), height() - kDistanciaLabel6);
}

void TForm8::closeEvent(QCloseEvent* evento) {
    // The run is on this thread's stack; the window goes only when it has returned.
    if (executando)
        evento->ignore();
    else
        QWidget::closeEvent(evento);
}

bool TForm8::eventFilter(QObject* objeto, QEvent* evento) {
    if (evento->type() == QEvent::FocusIn) {
        // Focus coming back with the window (after a message box, say) is not the operator
        // moving to the button.
        const Qt::FocusReason motivo = static_cast<QFocusEvent*>(evento)->reason();
        if (motivo != Qt::ActiveWindowFocusReason && motivo != Qt::PopupFocusReason) {
            if (objeto == RadioButton1) RadioButton1Enter();
            if (objeto == RadioButton2) RadioButton2Enter();
        }
    }
    return QWidget::eventFilter(objeto, evento);
}

void TForm8::RadioButton1Enter() {
    marcaSete(true);
}

void TForm8::RadioButton2Enter() {
    marcaSete(false);
}

void TForm8::marcaSete(bool marcado) {
    for (QCheckBox* c :
         {cbCadastroIndividual, cbCadastroDomiciliar, cbAtendimentoIndividual, cbProcedimentos,
          cbAtendimentoOdontologico, cbFichaVisitaDomiciliar, cbFichaAtivColetiva})
        c->setChecked(marcado);
}

ParametrosExportacao TForm8::parametros() const {
    ParametrosExportacao p;
    p.DataInicial = paraData(dtpDataInicial->date());
    p.DataFinal = paraData(dtpDataFinal->date());
    p.Unidade = edtUnidade->text().toStdString();
    p.CodProf = edtCodProf->text().toStdString();
    p.Caminho = edtCaminho->text().toStdString();
    p.UUID = edtUUID->text().toStdString();
    p.ProfissionalGenerico = EProfissionalGenerico->text().toStdString();
    p.CadastroIndividual = cbCadastroIndividual->isChecked();
    p.CadastroDomiciliar = cbCadastroDomiciliar->isChecked();
    p.AtendimentoIndividual = cbAtendimentoIndividual->isChecked();
    p.Procedimentos = cbProcedimentos->isChecked();
    p.AtendimentoOdontologico = cbAtendimentoOdontologico->isChecked();
    p.FichaVisitaDomiciliar = cbFichaVisitaDomiciliar->isChecked();
    p.FichaAtivColetiva = cbFichaAtivColetiva->isChecked();
    p.FichaVacinacao = CBFichaVacinacao->isChecked();
    return p;
}

void TForm8::habilitaEntradas(bool habilitadas) {
    // The button goes last: when it loses the focus, the focus moves on along the tab order,
    // past the inputs already disabled, to the log.
    for (QWidget* w : std::initializer_list<QWidget*>{
             dtpDataInicial, dtpDataFinal, edtUnidade, edtCodProf, edtCaminho, edtUUID,
             RadioButton1, RadioButton2, cbCadastroIndividual, cbCadastroDomiciliar,
             cbAtendimentoIndividual, cbProcedimentos, cbAtendimentoOdontologico,
             cbFichaVisitaDomiciliar, cbFichaAtivColetiva, CBFichaVacinacao, EProfissionalGenerico,
             Button1})
        w->setEnabled(habilitadas);
}

void TForm8::Button1Click() {
    if (executando) return;
    if (!ini) ini = std::make_unique<ArquivoIni>(caminhoIni);
    const ParametrosExportacao p = parametros();

    executando = true;
    habilitaEntradas(false);
    std::optional<std::string> falha;
    try {
        exportaArquivos(p, *ini, *operador, relogio);
    } catch (const std::exception& e) {
        // The top-level handler: whatever ended the run, the operator reads its message.
        falha = e.what();
    }
    // Clicks and keys held back during the run reach the still disabled controls now, so
    // that none of them starts a second run or changes an input after the fact.
    QCoreApplication::processEvents();
    barraProgresso->reset();
    habilitaEntradas(true);
    executando = false;
    Button1->setFocus(Qt::OtherFocusReason);

    if (falha) mostraCaixa(*falha, kTituloAplicacao, QMessageBox::Critical);
}

void TForm8::mostraCaixa(const std::string& t, const std::string& titulo, QMessageBox::Icon icone) {
    QMessageBox caixaMensagem(icone, texto(titulo), texto(t), QMessageBox::Ok, this);
    caixa.exibe(caixaMensagem);
}

}  // namespace cds
