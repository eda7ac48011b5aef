// exportador-cds-gui: the monthly export in the operator's window.

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/gui/caixa_mensagem.hpp"
#include "app/gui/caminho_texto.hpp"
#include "app/gui/janela_principal.hpp"
#include "comum/erro.hpp"
#include "comum/plataforma_sinais.hpp"
#include "comum/plataforma_tarefa.hpp"
#include "comum/versao.hpp"
#include "export/local_config.hpp"
#include "export/processo.hpp"
#include "fichas/parametros.hpp"

namespace fs = std::filesystem;
using namespace cds;

namespace {

// The usual places of config.ini, as this machine has them.
QString locaisDoConfigTexto() {
    QString texto;
    for (const fs::path& local : locaisDoConfig())
        texto += (texto.isEmpty() ? QString() : QStringLiteral("; ")) + textoDoCaminho(local);
    return texto;
}

// Qt's own texts (the buttons of its boxes, the context menus, --help) in the operator's
// language, and the calendar's month and day names and first weekday as Brazil has them, whatever
// the session's locale. Without Debian's qt6-translations-l10n the texts stay in English, and
// the program says so once.
void traduzQt(QTranslator& traducao) {
    const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
    QLocale::setDefault(brasil);
    const QString pasta = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (traducao.load(brasil, QStringLiteral("qtbase"), QStringLiteral("_"), pasta)) {
        QCoreApplication::installTranslator(&traducao);
        return;
    }
    std::fprintf(stderr,
                 "exportador-cds-gui: as traduções do Qt para o português não estão em %s; os "
                 "textos do próprio Qt ficam em inglês (instale qt6-translations-l10n).\n",
                 pasta.toLocal8Bit().constData());
}

// A signal ends the window: at once when no run is under way; otherwise the run is cancelled,
// as its button would, and the window ends once the run has undone its work (never cut off
// half-way). A second signal ends the program at once, as the command line's does.
void aoSinal(JanelaPrincipal*& janela, int sinal, int quantos) {
    if (quantos > 1) std::_Exit(128 + sinal);
    QMetaObject::invokeMethod(qApp, [&janela] {
        if (!janela || !janela->emExecucao()) {
            QApplication::quit();
            return;
        }
        QObject::connect(janela, &JanelaPrincipal::execucaoTerminada, qApp, &QApplication::quit,
                         Qt::QueuedConnection);
        janela->encerraExecucaoPorSinal();
    });
}

}  // namespace

int main(int argc, char** argv) {
    // First, before anything opens a file: as the command line does.
    if (const std::error_code erro = abreDescritoresPadraoFechados()) {
        std::fprintf(stderr,
                     "exportador-cds-gui: não foi possível abrir /dev/null no lugar da entrada "
                     "ou saída padrão fechada: %s.\n",
                     motivoDoSistema(erro).c_str());
        return 1;
    }
    // Before Qt starts its threads; a trouble is shown once the window's toolkit is up.
    std::optional<QString> semPreparo;
    try {
        preparaProcesso();
    } catch (const Erro& e) {
        semPreparo = QString::fromUtf8(e.what());
    }
    // Before Qt and the database client start their threads, so that only the waiting thread
    // takes the signals: the client's own handlers, installed at its first connection, never
    // see them.
    JanelaPrincipal* aberta = nullptr;
    instalaTratamentoDeSinais([&aberta](int sinal, int quantos) {
        // Before the window's toolkit is up nothing has begun: the program ends as if closed.
        if (!QCoreApplication::instance()) std::_Exit(0);
        aoSinal(aberta, sinal, quantos);
    });
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("exportador-cds-gui"));
    QApplication::setApplicationVersion(QString::fromUtf8(kVersao));
    // The desktop entry the package installs (exportador-cds.desktop) is this window's.
    QGuiApplication::setDesktopFileName(QStringLiteral("exportador-cds"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/exportador-cds.svg")));
    QTranslator traducaoDoQt;
    traduzQt(traducaoDoQt);

    QCommandLineParser linha;
    linha.setApplicationDescription(QStringLiteral(
        "Gera os arquivos XML das fichas CDS (layout e-SUS AB 2.2) a partir do banco de dados "
        "da clínica, na janela do operador."));
    linha.addHelpOption();
    linha.addVersionOption();
    const QCommandLineOption config(
        QStringLiteral("config"),
        QStringLiteral("arquivo de configuração (padrão: o primeiro destes que existir: %1; "
                       "a lista de erros vai para erros.txt ao lado dele, ou na pasta de "
                       "configuração do usuário quando ele é o do sistema, em /etc, e, em "
                       "UTF-8, para "
                       "<arquivo compactado sem .zip>.erros.txt ao lado do arquivo compactado)")
            .arg(locaisDoConfigTexto()),
        QStringLiteral("ARQ"));
    const QCommandLineOption captura(
        QStringLiteral("captura"),
        QStringLiteral("grava a imagem da janela, como aberta, em ARQ.png e termina"),
        QStringLiteral("ARQ.png"));
    linha.addOption(config);
    linha.addOption(captura);
    linha.process(app);
    if (semPreparo) {
        QMessageBox::critical(nullptr, QString::fromUtf8(kTituloAplicacao), *semPreparo);
        return 1;
    }

    const LocalConfig arquivoIni = localizaConfig(
        linha.isSet(config) ? std::optional<fs::path>(linha.value(config).toStdU16String())
                            : std::nullopt);
    RelogioSistema relogio;
    CaixaMensagem caixa;
    JanelaPrincipal janela(arquivoIni, relogio, caixa);
    aberta = &janela;
    janela.show();

    if (linha.isSet(captura)) {
        QApplication::processEvents();
        const QString destino = linha.value(captura);
        if (!janela.grab().save(destino, "PNG")) {
            std::fprintf(stderr, "exportador-cds-gui: não foi possível gravar %s\n",
                         destino.toLocal8Bit().constData());
            return 1;
        }
        return 0;
    }
    const int status = QApplication::exec();
    aberta = nullptr;
    return status;
}
