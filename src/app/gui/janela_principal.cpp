#include "app/gui/janela_principal.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateEdit>
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
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>

#include "comum/erro.hpp"
#include "comum/versao.hpp"
#include "export/abertura.hpp"
#include "export/arquivo_ini.hpp"
#include "export/entradas.hpp"
#include "export/exportacao.hpp"
#include "fichas/registro.hpp"

namespace cds {

namespace {

// The client area as designed; the log and the layout caption keep their distance to its right
// and bottom edges when the window is resized.
constexpr int kLargura = 808;
constexpr int kAltura = 453;
constexpr int kMargemLog = 8;
constexpr int kDistanciaRotuloLayout = kAltura - 436;

QString texto(const std::string& s) {
    return QString::fromStdString(s);
}

QString texto(const char* s) {
    return QString::fromUtf8(s);
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
Controle* nomeia(Controle* controle, const QString& nome) {
    controle->setObjectName(nome);
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

// Where each kind's box sits, by its place among the kinds; the spacing is the drawn one.
// A kind beyond the drawn ones goes one step further down.
constexpr int kAlturaCaixaFicha[] = {180, 204, 228, 251, 274, 297, 321, 345};

int alturaCaixaFicha(std::size_t i) {
    constexpr std::size_t n = std::size(kAlturaCaixaFicha);
    if (i < n) return kAlturaCaixaFicha[i];
    return kAlturaCaixaFicha[n - 1] + static_cast<int>(i - n + 1) * 24;
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

JanelaPrincipal::JanelaPrincipal(LocalConfig arquivoIni, const Relogio& relogio,
                                 CaixaMensagem& caixa, QWidget* parent)
    : QWidget(parent),
      caminhoIni(std::move(arquivoIni)),
      relogio(relogio),
      caixa(caixa),
      operador(std::make_unique<OperadorJanela>(*this)) {
    setObjectName(QStringLiteral("JanelaPrincipal"));
    setWindowTitle(QString::fromUtf8(kTituloJanela) + QString::fromUtf8(kVersao));
    setFont(fonte(8));
    criaControles();
    ordemDeTabulacao();
    resize(kLargura, std::max(kAltura, rotuloLayout->y() + kDistanciaRotuloLayout));
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
    rotuloDataInicial = rotulo(this, "rotuloDataInicial", "Data Inicial:", 8, 12);
    dataInicial = seletorData(this, "dataInicial", {80, 8, 105, 21});
    rotuloDataFinal = rotulo(this, "rotuloDataFinal", "Data Final:", 202, 12);
    dataFinal = seletorData(this, "dataFinal", {263, 8, 105, 21});
    rotuloUnidade = rotulo(this, "rotuloUnidade", "CNES:", 8, 43);
    unidade = caixaTexto(this, "unidade", "0000000", {80, 40, 57, 21});
    rotuloCodProf = rotulo(this, "rotuloCodProf", "Cód. Profiss.:", 8, 74);
    codProf = caixaTexto(this, "codProf", "", {80, 71, 33, 21});
    rotuloCaminho = rotulo(this, "rotuloCaminho", "Caminho:", 8, 107);
    caminho = caixaTexto(this, "caminho", "C:\\temp", {80, 104, 269, 21});
    rotuloUuid = rotulo(this, "rotuloUuid", "UUID:", 363, 107);
    uuid = caixaTexto(this, "uuid", "0", {394, 104, 33, 21});

    // Only a frame: the radio buttons and boxes drawn over it are the window's own children,
    // placed in the window's coordinates.
    grupoFichas = nomeia(new QGroupBox(QStringLiteral(" Fichas CDS "), this), "grupoFichas");
    opcaoTodas = nomeia(new QRadioButton(QStringLiteral("Todas"), this), "opcaoTodas");
    opcaoTodas->move(52, 155);
    opcaoTodas->adjustSize();
    opcaoTodas->setChecked(true);
    opcaoEscolher = nomeia(new QRadioButton(QStringLiteral("Escolher"), this), "opcaoEscolher");
    opcaoEscolher->move(138, 155);
    opcaoEscolher->adjustSize();
    opcaoTodas->installEventFilter(this);
    opcaoEscolher->installEventFilter(this);

    const std::span<const DescricaoFicha> fichas = registroFichas();
    for (std::size_t i = 0; i < fichas.size(); ++i) {
        const DescricaoFicha& ficha = fichas[i];
        auto* c = nomeia(new QCheckBox(texto(ficha.rotulo), this), nomeDaCaixa(ficha.nome));
        c->setChecked(ficha.emTodas);
        c->move(40, alturaCaixaFicha(i));
        c->adjustSize();
        if (!ficha.emTodas) c->hide();
        caixasFichas.push_back(c);
    }
    // The frame ends below the last kind's box, and what stands under it goes down with it, so
    // that another kind does not land on the button.
    const int fundoFichas = alturaCaixaFicha(fichas.size() - 1) + 26;
    grupoFichas->setGeometry(30, 129, 404, fundoFichas - 129);
    const int abaixo = fundoFichas - 371;

    rotuloProfissionalGenerico =
        rotulo(this, "rotuloProfissionalGenerico", "Cód. Profiss. Genérico:", 216, 182);
    profissionalGenerico = caixaTexto(this, "profissionalGenerico", "", {334, 178, 33, 21});

    botaoGerar = nomeia(new QPushButton(QStringLiteral("Gerar Arquivos"), this), "botaoGerar");
    botaoGerar->setGeometry(172, 376 + abaixo, 131, 32);
    connect(botaoGerar, &QPushButton::clicked, this, &JanelaPrincipal::aoGerarArquivos);

    botaoResumo = nomeia(new QPushButton(QStringLiteral("&Ver resumo"), this), "botaoResumo");
    botaoResumo->setGeometry(311, 376 + abaixo, 123, 32);
    botaoResumo->hide();
    connect(botaoResumo, &QPushButton::clicked, this, &JanelaPrincipal::mostraResumo);

    rotuloStatus = rotulo(this, "rotuloStatus", "Mensagem", 8, 406 + abaixo);
    rotuloStatus->setFont(fonte(12));
    // As wide as the space left of the log, so that a long status is cut there.
    rotuloStatus->setGeometry(8, 406 + abaixo, 440 - 8 - 4, rotuloStatus->sizeHint().height());

    barraProgresso = nomeia(new QProgressBar(this), "barraProgresso");
    barraProgresso->setGeometry(8, 429 + abaixo, 200, 14);
    barraProgresso->setFormat(QStringLiteral("%v de %m"));
    barraProgresso->setAlignment(Qt::AlignCenter);
    barraProgresso->reset();

    rotuloLayout =
        rotulo(this, "rotuloLayout", "Compatível com layout e-SUS AB v.2.2", 216, 436 + abaixo);

    logVisivel = nomeia(new QPlainTextEdit(this), "logVisivel");
    logVisivel->setReadOnly(true);
    logVisivel->setLineWrapMode(QPlainTextEdit::NoWrap);
    logVisivel->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logVisivel->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logVisivel->setGeometry(440, 8, 360, 437);

    // The hidden error list: held for the run, never shown.
    errosCadastro = nomeia(new QPlainTextEdit(this), "errosCadastro");
    errosCadastro->setGeometry(8, 412, 185, 89);
    errosCadastro->hide();
}

std::vector<QWidget*> JanelaPrincipal::entradas() const {
    std::vector<QWidget*> lista = {dataInicial, dataFinal, unidade,    codProf,
                                   caminho,     uuid,      opcaoTodas, opcaoEscolher};
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

void JanelaPrincipal::resizeEvent(QResizeEvent* evento) {
    QWidget::resizeEvent(evento);
    logVisivel->setGeometry(440, kMargemLog, std::max(0, width() - 440 - kMargemLog),
                            std::max(0, height() - 2 * kMargemLog));
    rotuloLayout->move(rotuloLayout->x(), height() - kDistanciaRotuloLayout);
}

void JanelaPrincipal::closeEvent(QCloseEvent* evento) {
    // A run under way keeps the window, as it keeps the inputs: its messages and its end are
    // shown here. The window closes once the run has ended.
    if (executando)
        evento->ignore();
    else
        QWidget::closeEvent(evento);
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
    // The button goes last: when it loses the focus, the focus moves on along the tab order,
    // past the inputs already disabled, to the log.
    for (QWidget* w : entradas()) w->setEnabled(habilitadas);
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
    iniciaExecucao([this, p, caminhoIni = caminhoIni, &relogio = relogio](Operador& operador) {
        // The run's own copy of the settings file: it writes two settings, and nothing else
        // in the program holds the object meanwhile.
        ArquivoIni ini(caminhoIni);
        ResultadoExportacao resultado = exportaArquivos(p, ini, operador, relogio);
        // The closing notes end the log: the error list's lines and place, the warnings again.
        for (const std::string& nota : notasFinais(resultado)) operador.log(nota);
        // The archive's name is UTF-8 text; as a path it is read as such on Windows too.
        const std::string& zip = resultado.arquivoZip;
        concluida = ExecucaoConcluida{std::filesystem::path(std::u8string(zip.begin(), zip.end())),
                                      std::move(resultado.relatorio)};
    });
}

bool JanelaPrincipal::iniciaExecucao(std::function<void(Operador&)> trabalho) {
    if (executando || !mostrada) return false;
    executando = true;
    habilitaEntradas(false);
    // The last run's summary no longer tells what the output folder holds.
    concluida.reset();
    botaoResumo->hide();
    delete resumo;
    resumo = nullptr;
    execucao = std::thread([this, trabalho = std::move(trabalho)] {
        std::optional<std::string> falha;
        try {
            trabalho(*operador);
        } catch (const std::exception& e) {
            // The top-level handler: whatever ended the run, the operator reads its message.
            falha = e.what();
        }
        // Queued behind every call of the run's operator.
        QMetaObject::invokeMethod(
            this, [this, falha = std::move(falha)] { aoTerminarExecucao(falha); },
            Qt::QueuedConnection);
    });
    return true;
}

void JanelaPrincipal::aoTerminarExecucao(const std::optional<std::string>& falha) {
    execucao.join();
    barraProgresso->reset();
    habilitaEntradas(true);
    executando = false;
    botaoGerar->setFocus(Qt::OtherFocusReason);

    if (falha) {
        mostraCaixa(*falha, kTituloAplicacao, QMessageBox::Critical);
    } else if (concluida) {
        resumo = new DialogoResumo(concluida->arquivoZip, concluida->relatorio, abreLocal, this);
        botaoResumo->show();
        mostraResumo();
    }
    emit execucaoTerminada();
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
        // Rows done of a total not known yet: the bar shows work going on.
        if (feitos > 0)
            barraProgresso->setRange(0, 0);
        else
            barraProgresso->reset();
        return;
    }
    const auto limite = [](std::size_t n) {
        return static_cast<int>(std::min<std::size_t>(n, INT_MAX));
    };
    barraProgresso->setRange(0, limite(total));
    barraProgresso->setValue(limite(feitos));
}

void JanelaPrincipal::mostraCaixa(const std::string& t, const std::string& titulo,
                                  QMessageBox::Icon icone) {
    QMessageBox caixaMensagem(icone, texto(titulo), texto(t), QMessageBox::Ok, this);
    caixa.exibe(caixaMensagem);
}

}  // namespace cds
