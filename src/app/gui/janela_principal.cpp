#include "app/gui/janela_principal.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>

#include "app/gui/caminho_texto.hpp"
#include "comum/erro.hpp"
#include "comum/texto.hpp"
#include "comum/versao.hpp"
#include "export/abertura.hpp"
#include "export/arquivo_ini.hpp"
#include "export/entradas.hpp"
#include "export/exportacao.hpp"
#include "fichas/registro.hpp"

namespace cds {

namespace {

// The button's caption at rest and during a run: the same Alt key starts and stops.
constexpr char kTextoGerar[] = "Gerar &Arquivos";
constexpr char kTextoCancelar[] = "C&ancelar";

QString texto(const std::string& s) {
    return QString::fromStdString(s);
}

QString texto(const char* s) {
    return QString::fromUtf8(s);
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
Controle* nomeia(Controle* controle, const QString& nome) {
    controle->setObjectName(nome);
    return controle;
}

// A caption whose Alt shortcut moves to `caixa`.
QLabel* rotulo(const char* nome, const char* caption, QWidget* caixa) {
    auto* l = nomeia(new QLabel(QString::fromUtf8(caption)), nome);
    l->setBuddy(caixa);
    return l;
}

QLineEdit* caixaTexto(const char* nome, const char* inicial) {
    return nomeia(new QLineEdit(QString::fromUtf8(inicial)), nome);
}

// A box for a short code: as wide as `modelo` in the window's font, so that a bigger font
// widens it too.
QLineEdit* caixaCurta(const char* nome, const char* inicial, const char* modelo) {
    QLineEdit* e = caixaTexto(nome, inicial);
    QStyleOptionFrame opcao;
    opcao.initFrom(e);
    const QSize texto(e->fontMetrics().horizontalAdvance(QString::fromLatin1(modelo)),
                      e->fontMetrics().height());
    e->setFixedWidth(e->style()->sizeFromContents(QStyle::CT_LineEdit, &opcao, texto, e).width());
    return e;
}

QDateEdit* seletorData(const char* nome) {
    auto* d = nomeia(new QDateEdit, nome);
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    return d;
}

// The box of "atendimento-individual" is named "fichaAtendimentoIndividual".
QString nomeDaCaixa(std::string_view nome) {
    QString resultado = QStringLiteral("ficha");
    bool maiuscula = true;
    for (const char c : nome) {
        if (c == '-') {
            maiuscula = true;
            continue;
        }
        const QChar letra = QLatin1Char(c);
        resultado += maiuscula ? letra.toUpper() : letra;
        maiuscula = false;
    }
    return resultado;
}

QString texto(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

// The run's operator. It is called on the run's thread and hands each call over to the
// window's thread, queued in the order made; a modal message holds the run until the operator
// has closed the box.
class JanelaPrincipal::OperadorJanela : public Operador {
  public:
    explicit OperadorJanela(JanelaPrincipal& janela) : janela(janela) {}

    void status(const std::string& t) override {
        naJanela([this, t = texto(t)] {
            // Once the operator has asked the run to stop, the line says so until it has.
            if (janela.cancelamento && janela.cancelamento->pedido()) return;
            janela.rotuloStatus->setText(t);
            janela.barraProgresso->reset();
            // Painted now: a status followed at once by the next one is still seen.
            janela.rotuloStatus->repaint();
        });
    }
    void limpaLog() override {
        naJanela([this] { janela.logVisivel->clear(); });
    }
    void log(const std::string& linha) override {
        naJanela([this, linha = texto(linha)] { janela.logVisivel->appendPlainText(linha); });
    }
    void erroCadastro(const std::string& linha) override {
        naJanela([this, linha = texto(linha)] { janela.errosCadastro->appendPlainText(linha); });
    }
    void limpaErrosCadastro() override {
        naJanela([this] { janela.errosCadastro->clear(); });
    }
    // Waits on its own condition rather than a blocking queued call, so that a window going
    // away mid-run can call the wait off (encerra) instead of waiting for a box never shown.
    void mensagem(const std::string& t, const std::string& titulo, TipoMensagem tipo) override {
        std::unique_lock trava(guarda);
        if (encerrando) return;
        caixaAberta = true;
        naJanela([this, t, titulo, tipo] {
            janela.mostraCaixa(
                t, titulo,
                tipo == TipoMensagem::Erro ? QMessageBox::Critical : QMessageBox::NoIcon);
            {
                const std::lock_guard fecha(guarda);
                caixaAberta = false;
            }
            caixaFechada.notify_all();
        });
        caixaFechada.wait(trava, [this] { return !caixaAberta || encerrando; });
    }
    void progresso(std::size_t feitos, std::size_t total) override {
        // A row takes a fraction of a millisecond, and the bar repaints at each new value:
        // one value per row would keep the window's thread painting far behind the run. The
        // first and the last of a kind always go; while the total is unknown (0) no row is
        // the last.
        const auto agora = std::chrono::steady_clock::now();
        const bool ultimo = total != 0 && feitos >= total;
        if (feitos > 1 && !ultimo && agora - ultimoProgresso < kIntervaloProgresso) return;
        ultimoProgresso = agora;
        naJanela([this, feitos, total] { janela.mostraProgresso(feitos, total); });
    }

    // The window is going: nothing more reaches it, and a message asked for, or being waited
    // for, counts as seen, so that the run goes on to its end unseen.
    void encerra() {
        {
            const std::lock_guard trava(guarda);
            encerrando = true;
        }
        caixaFechada.notify_all();
    }

  private:
    static constexpr std::chrono::milliseconds kIntervaloProgresso{50};

    template <class Funcao>
    void naJanela(Funcao funcao) {
        if (encerrando) return;
        QMetaObject::invokeMethod(&janela, std::move(funcao), Qt::QueuedConnection);
    }

    JanelaPrincipal& janela;
    std::mutex guarda;
    std::condition_variable caixaFechada;
    bool caixaAberta = false;
    std::atomic<bool> encerrando = false;
    // Only the run's thread uses it.
    std::chrono::steady_clock::time_point ultimoProgresso;
};

QString escolhePastaNoSistema(QWidget* pai, const QString& inicial) {
    return QFileDialog::getExistingDirectory(pai, QString::fromUtf8("Pasta de saída"), inicial);
}

JanelaPrincipal::JanelaPrincipal(LocalConfig arquivoIni, const Relogio& relogio,
                                 CaixaMensagem& caixa, QWidget* parent)
    : QWidget(parent),
      caminhoIni(std::move(arquivoIni)),
      relogio(relogio),
      caixa(caixa),
      operador(std::make_unique<OperadorJanela>(*this)) {
    setObjectName(QStringLiteral("JanelaPrincipal"));
    setWindowTitle(QString::fromUtf8(kTituloJanela) + QString::fromUtf8(kVersao));
    criaControles();
    ordemDeTabulacao();
    // The layout's minimum is the window's (QLayout::SetDefaultConstraint); it opens a little
    // wider, the log taking the difference.
    resize(sizeHint().expandedTo(minimumSizeHint()));
    if (const QScreen* tela = screen()) move(tela->availableGeometry().center() - rect().center());
}

JanelaPrincipal::~JanelaPrincipal() {
    // Closing is refused during a run, but the window can still go with one under way (the
    // program quitting, say). The run is let finish, unseen: it commits or rolls back as it
    // would have, and nothing it wrote is left half done.
    if (execucao.joinable()) {
        operador->encerra();
        execucao.join();
    }
}

void JanelaPrincipal::criaControles() {
    dataInicial = seletorData("dataInicial");
    rotuloDataInicial = rotulo("rotuloDataInicial", "Data &Inicial:", dataInicial);
    dataFinal = seletorData("dataFinal");
    rotuloDataFinal = rotulo("rotuloDataFinal", "Data &Final:", dataFinal);
    unidade = caixaCurta("unidade", "0000000", "00000000");
    rotuloUnidade = rotulo("rotuloUnidade", "C&NES:", unidade);
    codProf = caixaCurta("codProf", "", "00000000");
    rotuloCodProf = rotulo("rotuloCodProf", "Cód. &Profiss.:", codProf);
    caminho = caixaTexto("caminho", "C:\\temp");
    rotuloCaminho = rotulo("rotuloCaminho", "&Caminho:", caminho);
    botaoPasta = nomeia(new QToolButton, "botaoPasta");
    botaoPasta->setText(QString::fromUtf8("…"));
    botaoPasta->setToolTip(QString::fromUtf8("Escolher a pasta de saída"));
    connect(botaoPasta, &QToolButton::clicked, this, &JanelaPrincipal::aoEscolherPasta);
    uuid = caixaCurta("uuid", "0", "0000");
    rotuloUuid = rotulo("rotuloUuid", "&UUID:", uuid);

    // Captions in the first column, boxes in the second; the final date's pair beside the
    // initial one, and the path over the whole row with its "…" and the UUID.
    auto* campos = new QGridLayout;
    campos->addWidget(rotuloDataInicial, 0, 0);
    campos->addWidget(dataInicial, 0, 1);
    campos->addWidget(rotuloDataFinal, 0, 2);
    campos->addWidget(dataFinal, 0, 3, Qt::AlignLeft);
    campos->addWidget(rotuloUnidade, 1, 0);
    campos->addWidget(unidade, 1, 1, Qt::AlignLeft);
    campos->addWidget(rotuloCodProf, 2, 0);
    campos->addWidget(codProf, 2, 1, Qt::AlignLeft);
    campos->addWidget(rotuloCaminho, 3, 0);
    auto* linhaCaminho = new QHBoxLayout;
    linhaCaminho->addWidget(caminho, 1);
    linhaCaminho->addWidget(botaoPasta);
    linhaCaminho->addWidget(rotuloUuid);
    linhaCaminho->addWidget(uuid);
    campos->addLayout(linhaCaminho, 3, 1, 1, 3);
    campos->setColumnStretch(3, 1);

    grupoFichas = nomeia(new QGroupBox(QStringLiteral("Fichas CDS")), "grupoFichas");
    opcaoTodas = nomeia(new QRadioButton(QStringLiteral("&Todas")), "opcaoTodas");
    opcaoTodas->setChecked(true);
    opcaoEscolher = nomeia(new QRadioButton(QStringLiteral("&Escolher")), "opcaoEscolher");
    opcaoTodas->installEventFilter(this);
    opcaoEscolher->installEventFilter(this);
    auto* opcoes = new QHBoxLayout;
    opcoes->addWidget(opcaoTodas);
    opcoes->addWidget(opcaoEscolher);
    opcoes->addStretch();

    // One row per kind, in the registry's order; a hidden box takes no row. The generic
    // professional stands beside the first kind, the registration it serves.
    auto* fichasELado = new QGridLayout;
    const std::span<const DescricaoFicha> fichas = registroFichas();
    for (std::size_t i = 0; i < fichas.size(); ++i) {
        const DescricaoFicha& ficha = fichas[i];
        auto* c = nomeia(new QCheckBox(texto(ficha.rotulo)), nomeDaCaixa(ficha.nome));
        c->setChecked(ficha.emTodas);
        if (!ficha.emTodas) c->hide();
        fichasELado->addWidget(c, static_cast<int>(i), 0);
        caixasFichas.push_back(c);
    }
    profissionalGenerico = caixaCurta("profissionalGenerico", "", "00000000");
    rotuloProfissionalGenerico =
        rotulo("rotuloProfissionalGenerico", "Cód. Profiss. &Genérico:", profissionalGenerico);
    fichasELado->addWidget(rotuloProfissionalGenerico, 0, 1);
    fichasELado->addWidget(profissionalGenerico, 0, 2);
    fichasELado->setColumnStretch(0, 1);

    auto* dentroDoGrupo = new QVBoxLayout(grupoFichas);
    dentroDoGrupo->addLayout(opcoes);
    dentroDoGrupo->addLayout(fichasELado);

    botaoGerar = nomeia(new QPushButton(QString::fromUtf8(kTextoGerar)), "botaoGerar");
    // Enter in any box starts the run (keyPressEvent); the frame shows which button it is.
    botaoGerar->setDefault(true);
    botaoGerar->setAutoDefault(true);
    connect(botaoGerar, &QPushButton::clicked, this, &JanelaPrincipal::aoClicarBotao);
    botaoResumo = nomeia(new QPushButton(QStringLiteral("&Ver resumo")), "botaoResumo");
    botaoResumo->setAutoDefault(true);
    botaoResumo->hide();
    connect(botaoResumo, &QPushButton::clicked, this, &JanelaPrincipal::mostraResumo);
    auto* botoes = new QHBoxLayout;
    botoes->addStretch();
    botoes->addWidget(botaoGerar);
    botoes->addWidget(botaoResumo);
    botoes->addStretch();

    rotuloStatus = nomeia(new QLabel(QStringLiteral("Mensagem")), "rotuloStatus");
    QFont maior = rotuloStatus->font();
    maior.setPointSizeF(1.5 * maior.pointSizeF());
    rotuloStatus->setFont(maior);
    // A long status (the outcome of a run) wraps within the form rather than widening the
    // window.
    rotuloStatus->setWordWrap(true);
    rotuloStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    barraProgresso = nomeia(new QProgressBar, "barraProgresso");
    barraProgresso->setAlignment(Qt::AlignCenter);
    barraProgresso->reset();
    rotuloLayout = nomeia(new QLabel(QString::fromUtf8("Compatível com layout e-SUS AB v.2.2")),
                          "rotuloLayout");
    auto* rodape = new QHBoxLayout;
    rodape->addWidget(barraProgresso, 1);
    rodape->addWidget(rotuloLayout);

    // The form keeps its size; what the window has beyond it goes below the button and to
    // the log.
    auto* formulario = new QVBoxLayout;
    formulario->addLayout(campos);
    formulario->addWidget(grupoFichas);
    formulario->addLayout(botoes);
    formulario->addStretch(1);
    formulario->addWidget(rotuloStatus);
    formulario->addLayout(rodape);

    logVisivel = nomeia(new QPlainTextEdit, "logVisivel");
    logVisivel->setReadOnly(true);
    logVisivel->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Room for a log line of some forty characters even at the window's smallest.
    logVisivel->setMinimumWidth(40 * logVisivel->fontMetrics().averageCharWidth());

    auto* janela = new QHBoxLayout(this);
    janela->addLayout(formulario, 0);
    janela->addWidget(logVisivel, 1);

    // The hidden error list: held for the run, never shown, in no layout.
    errosCadastro = nomeia(new QPlainTextEdit(this), "errosCadastro");
    errosCadastro->hide();
}

std::vector<QWidget*> JanelaPrincipal::entradas() const {
    std::vector<QWidget*> lista = {dataInicial, dataFinal, unidade,    codProf,      caminho,
                                   botaoPasta,  uuid,      opcaoTodas, opcaoEscolher};
    lista.insert(lista.end(), caixasFichas.begin(), caixasFichas.end());
    lista.push_back(profissionalGenerico);
    lista.push_back(botaoGerar);
    return lista;
}

void JanelaPrincipal::ordemDeTabulacao() {
    std::vector<QWidget*> ordem = entradas();
    ordem.push_back(botaoResumo);
    ordem.push_back(logVisivel);
    ordem.push_back(errosCadastro);
    for (std::size_t i = 1; i < ordem.size(); ++i) setTabOrder(ordem[i - 1], ordem[i]);
}

void JanelaPrincipal::showEvent(QShowEvent* evento) {
    QWidget::showEvent(evento);
    if (!mostrada) {
        mostrada = true;
        aoMostrar();
    }
}

void JanelaPrincipal::aoMostrar() {
    rotuloStatus->clear();
    const ArquivoIni ini(caminhoIni);
    const ParametrosExportacao iniciais = parametrosIniciais(ini, relogio);
    unidade->setText(texto(iniciais.Unidade));
    caminho->setText(texto(iniciais.Caminho));
    profissionalGenerico->setText(texto(iniciais.ProfissionalGenerico));
    try {
        criaPastaXml(iniciais.Caminho);
    } catch (const ErroArquivo& e) {
        // Not fatal here: the operator may still correct the path; a run would fail at its
        // first file. The status label says why until then.
        rotuloStatus->setText(texto(e.what()));
    }
    dataFinal->setDate(paraQDate(iniciais.DataFinal));
    dataInicial->setDate(paraQDate(iniciais.DataInicial));
}

void JanelaPrincipal::aoEscolherPasta() {
    const QString escolhida = escolhePasta(this, caminho->text());
    if (!escolhida.isEmpty()) caminho->setText(QDir::toNativeSeparators(escolhida));
}

void JanelaPrincipal::keyPressEvent(QKeyEvent* evento) {
    // What a box leaves unused of Enter reaches the window: "Gerar Arquivos" is its default
    // button, as in a dialog. During a run Enter does nothing, so that a key pressed twice
    // does not stop what it started; Esc stops it, as in a dialog.
    const bool enter = evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers outras = evento->modifiers() & ~Qt::KeypadModifier;
    if (enter && outras == Qt::NoModifier) {
        if (!executando && botaoGerar->isEnabled()) botaoGerar->click();
        evento->accept();
        return;
    }
    if (evento->key() == Qt::Key_Escape && outras == Qt::NoModifier && executando) {
        cancelaExecucao();
        evento->accept();
        return;
    }
    QWidget::keyPressEvent(evento);
}

void JanelaPrincipal::closeEvent(QCloseEvent* evento) {
    if (!executando) {
        QWidget::closeEvent(evento);
        return;
    }
    // A run under way keeps the window, which shows its messages and its end: closing asks
    // to cancel it, and the window closes once the run has undone its work.
    evento->ignore();
    if (fechaAoTerminar) return;
    QMessageBox pergunta(QMessageBox::Question, texto(kTituloAplicacao),
                         QString::fromUtf8("Uma exportação está em andamento. Deseja cancelá-la "
                                           "e fechar a janela? Nada será marcado como enviado."),
                         QMessageBox::Yes | QMessageBox::No, this);
    pergunta.setDefaultButton(QMessageBox::No);
    caixa.exibe(pergunta);
    if (pergunta.clickedButton() != pergunta.button(QMessageBox::Yes)) return;
    if (executando) {
        fechaAoTerminar = true;
        cancelaExecucao();
    } else {
        // The run ended while the question was up.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

bool JanelaPrincipal::eventFilter(QObject* objeto, QEvent* evento) {
    if (evento->type() == QEvent::FocusIn) {
        // Focus coming back with the window (after a message box, say) is not the operator
        // moving to the button.
        const Qt::FocusReason motivo = static_cast<QFocusEvent*>(evento)->reason();
        if (motivo != Qt::ActiveWindowFocusReason && motivo != Qt::PopupFocusReason) {
            if (objeto == opcaoTodas) aoEntrarTodas();
            if (objeto == opcaoEscolher) aoEntrarEscolher();
        }
    }
    return QWidget::eventFilter(objeto, evento);
}

void JanelaPrincipal::aoEntrarTodas() {
    marcaFichasDeTodas(true);
}

void JanelaPrincipal::aoEntrarEscolher() {
    marcaFichasDeTodas(false);
}

void JanelaPrincipal::marcaFichasDeTodas(bool marcado) {
    const std::span<const DescricaoFicha> fichas = registroFichas();
    for (std::size_t i = 0; i < fichas.size(); ++i)
        if (fichas[i].emTodas) caixasFichas[i]->setChecked(marcado);
}

QCheckBox* JanelaPrincipal::caixaDaFicha(TipoFicha tipo) const {
    const std::span<const DescricaoFicha> fichas = registroFichas();
    for (std::size_t i = 0; i < fichas.size(); ++i)
        if (fichas[i].tipo == tipo) return caixasFichas[i];
    return nullptr;
}

ParametrosExportacao JanelaPrincipal::parametros() const {
    ParametrosExportacao p;
    p.DataInicial = paraData(dataInicial->date());
    p.DataFinal = paraData(dataFinal->date());
    p.Unidade = unidade->text().toStdString();
    p.CodProf = codProf->text().toStdString();
    p.Caminho = caminho->text().toStdString();
    p.UUID = uuid->text().toStdString();
    p.ProfissionalGenerico = profissionalGenerico->text().toStdString();
    const std::span<const DescricaoFicha> fichas = registroFichas();
    for (std::size_t i = 0; i < fichas.size(); ++i)
        if (caixasFichas[i]->isChecked()) p.Fichas.insert(fichas[i].tipo);
    return p;
}

void JanelaPrincipal::habilitaEntradas(bool habilitadas) {
    // The button stays: it stops the run.
    for (QWidget* w : entradas())
        if (w != botaoGerar) w->setEnabled(habilitadas);
}

void JanelaPrincipal::aoClicarBotao() {
    if (executando)
        cancelaExecucao();
    else
        aoGerarArquivos();
}

void JanelaPrincipal::cancelaExecucao() {
    if (!executando || cancelamento->pedido()) return;
    rotuloStatus->setText(QString::fromUtf8("Cancelando a exportação..."));
    rotuloStatus->setToolTip({});
    botaoGerar->setEnabled(false);
    // From a thread of its own: a cancel sent to a server that does not answer may wait, and
    // the window must not.
    std::thread([pedido = cancelamento] { pedido->pede(); }).detach();
}

void JanelaPrincipal::encerraExecucaoPorSinal() {
    if (!executando) return;
    fechaAoTerminar = true;
    operador->encerra();
    cancelaExecucao();
}

void JanelaPrincipal::aoGerarArquivos() {
    if (executando) return;
    const ParametrosExportacao p = parametros();
    try {
        // The command line's checks, before anything is written or connected.
        validaParametros(p);
    } catch (const ErroParametro& e) {
        mostraCaixa(e.what(), kTituloAplicacao, QMessageBox::Critical);
        return;
    }
    if (!confirmaPastaDeSaida(p.Caminho)) return;
    iniciaExecucao([this, p, caminhoIni = caminhoIni, &relogio = relogio](Operador& operador,
                                                                          Cancelamento& pedido) {
        // The run's own copy of the settings file: it writes two settings, and nothing else
        // in the program holds the object meanwhile.
        ArquivoIni ini(caminhoIni);
        // The folder may have been typed, or emptied, since the window opened.
        criaPastaXml(p.Caminho);
        ResultadoExportacao resultado = exportaArquivos(p, ini, operador, relogio, &pedido);
        // The closing notes end the log: the error list's lines and place, the warnings again.
        std::vector<std::string> notas = notasFinais(resultado);
        for (const std::string& nota : notas) operador.log(nota);
        concluida = ExecucaoConcluida{caminhoDoTexto(resultado.arquivoZip),
                                      std::move(resultado.relatorio),
                                      {},
                                      std::move(notas)};
    });
}

bool JanelaPrincipal::iniciaExecucao(std::function<void(Operador&, Cancelamento&)> trabalho) {
    if (executando || !mostrada) return false;
    executando = true;
    inicio = std::chrono::steady_clock::now();
    cancelamento = std::make_shared<Cancelamento>();
    rotuloStatus->setToolTip({});
    habilitaEntradas(false);
    // Enter no longer reaches the button, which now stops the run: only a click, its Alt key,
    // Space on it, or Esc do.
    botaoGerar->setText(QString::fromUtf8(kTextoCancelar));
    botaoGerar->setDefault(false);
    botaoGerar->setAutoDefault(false);
    logVisivel->setFocus(Qt::OtherFocusReason);
    // The last run's summary no longer tells what the output folder holds.
    concluida.reset();
    botaoResumo->hide();
    delete resumo;
    resumo = nullptr;
    execucao = std::thread([this, trabalho = std::move(trabalho), pedido = cancelamento] {
        Desfecho desfecho = Desfecho::Concluida;
        std::string falha;
        try {
            trabalho(*operador, *pedido);
        } catch (const ErroInterrompido&) {
            desfecho = Desfecho::Cancelada;
        } catch (const ErroAposConfirmacao& e) {
            desfecho = Desfecho::FalhouAposConfirmacao;
            falha = e.what();
        } catch (const std::exception& e) {
            // The top-level handler: whatever ended the run, the operator reads its message.
            desfecho = Desfecho::Falhou;
            falha = e.what();
        }
        // Queued behind every call of the run's operator.
        QMetaObject::invokeMethod(
            this,
            [this, desfecho, falha = std::move(falha)] { aoTerminarExecucao(desfecho, falha); },
            Qt::QueuedConnection);
    });
    return true;
}

void JanelaPrincipal::aoTerminarExecucao(Desfecho desfecho, const std::string& falha) {
    execucao.join();
    barraProgresso->reset();
    habilitaEntradas(true);
    botaoGerar->setText(QString::fromUtf8(kTextoGerar));
    botaoGerar->setEnabled(true);
    botaoGerar->setDefault(true);
    botaoGerar->setAutoDefault(true);
    executando = false;
    if (concluida)
        concluida->duracao = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::steady_clock::now() - inicio);
    mostraDesfecho(desfecho, falha);
    botaoGerar->setFocus(Qt::OtherFocusReason);

    if (fechaAoTerminar) {
        // The operator closed the window and agreed to cancel: it closes now, with no box.
        fechaAoTerminar = false;
        emit execucaoTerminada();
        close();
        return;
    }
    if (desfecho == Desfecho::Falhou || desfecho == Desfecho::FalhouAposConfirmacao) {
        mostraCaixa(falha, kTituloAplicacao, QMessageBox::Critical);
    } else if (desfecho == Desfecho::Concluida && concluida) {
        resumo = new DialogoResumo(*concluida, abreLocal, this);
        botaoResumo->show();
        mostraResumo();
    }
    emit execucaoTerminada();
}

void JanelaPrincipal::mostraDesfecho(Desfecho desfecho, const std::string& falha) {
    QString linha;
    switch (desfecho) {
        case Desfecho::Concluida: {
            // A run of the window's own: how many files and the time, the archive in the tip
            // (its name is longer than the form is wide); another keeps its last status.
            if (!concluida) return;
            std::size_t arquivos = 0;
            for (const ResumoDoTipo& tipo : concluida->relatorio.tipos) arquivos += tipo.gravados;
            rotuloStatus->setText(
                QString::fromUtf8("Concluído em %1: %2 %3 no arquivo compactado.")
                    .arg(textoDaDuracao(concluida->duracao), textoDoNumero(arquivos),
                         arquivos == 1 ? QStringLiteral("ficha") : QStringLiteral("fichas")));
            rotuloStatus->setToolTip(textoDoCaminho(concluida->arquivoZip));
            return;
        }
        case Desfecho::Cancelada:
            linha = QString::fromUtf8(
                "Exportação cancelada: nada foi marcado como enviado e nenhum arquivo compactado "
                "foi gerado.");
            break;
        case Desfecho::Falhou:
            linha = QString::fromUtf8("A exportação falhou e nada foi marcado como enviado.");
            break;
        case Desfecho::FalhouAposConfirmacao:
            linha = QString::fromUtf8(
                "O arquivo foi gerado e os cadastros marcados como enviados, mas a lista de erros "
                "não foi gravada.");
            break;
    }
    rotuloStatus->setText(linha);
    // The whole message stays at hand after its box is closed.
    rotuloStatus->setToolTip(falha.empty() ? QString() : texto(falha));
}

void JanelaPrincipal::mostraResumo() {
    if (!resumo) return;
    // Not modal: the window takes input while the summary is up.
    resumo->show();
    resumo->raise();
    resumo->activateWindow();
}

void JanelaPrincipal::mostraProgresso(std::size_t feitos, std::size_t total) {
    if (total == 0) {
        // A step with nothing to do: an empty bar, not "0 de 0".
        barraProgresso->reset();
        return;
    }
    const auto limite = [](std::size_t n) {
        return static_cast<int>(std::min<std::size_t>(n, INT_MAX));
    };
    const std::size_t todos = std::max(total, feitos);
    barraProgresso->setRange(0, limite(todos));
    barraProgresso->setValue(limite(feitos));
    // "1.366 de 20.016", as the operator writes numbers.
    barraProgresso->setFormat(
        QStringLiteral("%1 de %2").arg(textoDoNumero(feitos), textoDoNumero(todos)));
    // A step's end painted now: the next step's status, right behind it, empties the bar.
    if (feitos >= todos) barraProgresso->repaint();
}

bool JanelaPrincipal::confirmaPastaDeSaida(const std::string& Caminho) {
    // A blank path is the run's own error; a path there (or unreadable) goes to the run as is.
    if (apara(Caminho).empty()) return true;
    std::error_code erro;
    const std::filesystem::path pasta = caminhoDoTexto(Caminho);
    if (std::filesystem::exists(pasta, erro) || erro) return true;
    QMessageBox pergunta(
        QMessageBox::Question, texto(kTituloAplicacao),
        QString::fromUtf8("A pasta de saída %1 não existe. Deseja criá-la?").arg(texto(Caminho)),
        QMessageBox::Yes | QMessageBox::No, this);
    pergunta.setDefaultButton(QMessageBox::Yes);
    caixa.exibe(pergunta);
    return pergunta.clickedButton() == pergunta.button(QMessageBox::Yes);
}

void JanelaPrincipal::mostraCaixa(const std::string& t, const std::string& titulo,
                                  QMessageBox::Icon icone) {
    QMessageBox caixaMensagem(icone, texto(titulo), texto(t), QMessageBox::Ok, this);
    caixa.exibe(caixaMensagem);
}

}  // namespace cds
