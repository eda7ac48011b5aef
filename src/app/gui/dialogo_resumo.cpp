#include "app/gui/dialogo_resumo.hpp"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>
#include <string>
#include <string_view>
#include <utility>

#include "app/gui/caminho_texto.hpp"
#include "fichas/registro.hpp"

namespace cds {

namespace {

namespace fs = std::filesystem;

QString texto(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QTableWidgetItem* celula(const QString& conteudo, Qt::Alignment alinhamento) {
    auto* item = new QTableWidgetItem(conteudo);
    item->setFlags(Qt::ItemIsEnabled);
    item->setTextAlignment(alinhamento | Qt::AlignVCenter);
    return item;
}

// "unidade sem nome no cadastro de unidades: 3", a line per reason.
QString motivos(const ResumoDoTipo& tipo) {
    QStringList linhas;
    for (const auto& [motivo, quantos] : tipo.deixadosPorMotivo)
        linhas.push_back(texto(motivo) + QStringLiteral(": ") + textoDoNumero(quantos));
    return linhas.join(QLatin1Char('\n'));
}

}  // namespace

QString textoDoNumero(std::size_t n) {
    static const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
    return brasil.toString(static_cast<qulonglong>(n));
}

QString textoDaDuracao(std::chrono::seconds duracao) {
    const long long total = duracao.count();
    const auto doisDigitos = [](long long n) {
        return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    };
    if (total < 60) return QStringLiteral("%1 s").arg(total);
    if (total < 3600)
        return QStringLiteral("%1 min %2 s").arg(total / 60).arg(doisDigitos(total % 60));
    return QStringLiteral("%1 h %2 min").arg(total / 3600).arg(doisDigitos(total % 3600 / 60));
}

bool abreNoSistema(const QUrl& local) {
    return QDesktopServices::openUrl(local);
}

DialogoResumo::DialogoResumo(const ExecucaoConcluida& execucao, AbreLocal abreLocal,
                             QWidget* parent)
    : QDialog(parent),
      abridor(std::move(abreLocal)),
      relatorio(execucao.relatorio.html),
      pasta(execucao.arquivoZip.parent_path()) {
    const fs::path& arquivoZip = execucao.arquivoZip;
    const ResumoDoRelatorio& resumo = execucao.relatorio;
    setObjectName(QStringLiteral("DialogoResumo"));
    setWindowTitle(QString::fromUtf8("Resumo da exportação"));

    rotuloArquivo = new QLabel(textoDoCaminho(arquivoZip.filename()), this);
    rotuloPasta = new QLabel(textoDoCaminho(pasta), this);
    for (QLabel* l : {rotuloArquivo, rotuloPasta})
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rotuloDuracao = new QLabel(textoDaDuracao(execucao.duracao), this);
    auto* onde = new QFormLayout;
    onde->addRow(QStringLiteral("Arquivo:"), rotuloArquivo);
    onde->addRow(QStringLiteral("Pasta:"), rotuloPasta);
    onde->addRow(QString::fromUtf8("Duração:"), rotuloDuracao);

    tabela = new QTableWidget(static_cast<int>(resumo.tipos.size()), 5, this);
    tabela->setHorizontalHeaderLabels(
        {QStringLiteral("Ficha"), QStringLiteral("Enviados"), QStringLiteral("Deixados de fora"),
         QStringLiteral("Com aviso"), QString::fromUtf8("Serão recusados")});
    tabela->verticalHeader()->hide();
    tabela->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabela->setSelectionMode(QAbstractItemView::NoSelection);
    tabela->setFocusPolicy(Qt::NoFocus);
    bool algumDeixado = false;
    for (std::size_t i = 0; i < resumo.tipos.size(); ++i) {
        const ResumoDoTipo& tipo = resumo.tipos[i];
        const int linha = static_cast<int>(i);
        const auto poe = [&](Coluna coluna, std::size_t n) {
            tabela->setItem(linha, coluna, celula(textoDoNumero(n), Qt::AlignRight));
        };
        tabela->setItem(linha, Ficha,
                        celula(texto(descricaoFicha(tipo.tipo).rotulo), Qt::AlignLeft));
        poe(Enviados, tipo.gravados);
        poe(DeixadosDeFora, tipo.deixados);
        poe(ComAviso, tipo.comAviso);
        poe(SeraoRecusados, tipo.recusaveis);
        tabela->item(linha, DeixadosDeFora)->setToolTip(motivos(tipo));
        algumDeixado = algumDeixado || tipo.deixados > 0;
    }
    // The lines and columns fit their text, and the table is never smaller than they are: the
    // dialog shows the whole summary, with no scrolling.
    tabela->resizeColumnsToContents();
    tabela->resizeRowsToContents();
    tabela->horizontalHeader()->setStretchLastSection(true);
    tabela->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tabela->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tabela->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    tabela->setMinimumSize(tabela->sizeHint());

    rotuloMotivos = new QLabel(
        QString::fromUtf8("Passe o mouse sobre os deixados de fora para ver os motivos; o "
                          "relatório traz cada registro, com o motivo."),
        this);
    rotuloMotivos->setWordWrap(true);
    rotuloMotivos->setVisible(algumDeixado);

    QStringList notas;
    for (const std::string& nota : execucao.notas) notas.push_back(texto(nota));
    rotuloNotas = new QLabel(notas.join(QLatin1Char('\n')), this);
    rotuloNotas->setWordWrap(true);
    rotuloNotas->setTextInteractionFlags(Qt::TextSelectableByMouse);
    rotuloNotas->setVisible(!notas.isEmpty());

    rotuloFalha = new QLabel(this);
    rotuloFalha->setWordWrap(true);
    rotuloFalha->hide();

    auto* botoes = new QDialogButtonBox(this);
    botaoRelatorio =
        botoes->addButton(QString::fromUtf8("Abrir &relatório"), QDialogButtonBox::ActionRole);
    botaoPasta = botoes->addButton(QStringLiteral("Abrir &pasta"), QDialogButtonBox::ActionRole);
    botaoFechar = botoes->addButton(QStringLiteral("&Fechar"), QDialogButtonBox::RejectRole);
    // Enter closes; opening is asked for by name, or by moving to its button.
    botaoFechar->setDefault(true);
    botaoFechar->setFocus();
    if (relatorio.empty()) {
        botaoRelatorio->setEnabled(false);
        botaoRelatorio->setToolTip(QString::fromUtf8("O relatório desta exportação não existe."));
    }
    connect(botaoRelatorio, &QPushButton::clicked, this, [this] { abre(relatorio); });
    connect(botaoPasta, &QPushButton::clicked, this, [this] { abre(pasta); });
    connect(botoes, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* corpo = new QVBoxLayout(this);
    corpo->addLayout(onde);
    corpo->addWidget(tabela);
    corpo->addWidget(rotuloMotivos);
    corpo->addWidget(rotuloNotas);
    corpo->addWidget(rotuloFalha);
    corpo->addWidget(botoes);
}

void DialogoResumo::abre(const fs::path& local) {
    if (abridor(QUrl::fromLocalFile(textoDoCaminho(local)))) {
        rotuloFalha->hide();
        return;
    }
    rotuloFalha->setText(
        QString::fromUtf8("Não foi possível abrir %1.").arg(textoDoCaminho(local)));
    rotuloFalha->show();
}

}  // namespace cds
