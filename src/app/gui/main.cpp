// exportador-cds-gui: the monthly export in the operator's window.

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QPixmap>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/gui/caixa_mensagem.hpp"
#include "app/gui/janela_principal.hpp"
#include "comum/erro.hpp"
#include "comum/plataforma_tarefa.hpp"
#include "export/local_config.hpp"
#include "export/processo.hpp"
#include "fichas/parametros.hpp"

namespace fs = std::filesystem;
using namespace cds;

namespace {

// The usual places of config.ini, as this machine has them. A path's UTF-8 is its bytes on
// Linux and its wide name converted on Windows.
QString locaisDoConfigTexto() {
    QString texto;
    for (const fs::path& local : locaisDoConfig()) {
        const std::u8string utf8 = local.u8string();
        texto += (texto.isEmpty() ? QString() : QStringLiteral("; ")) +
                 QString::fromUtf8(reinterpret_cast<const char*>(utf8.data()),
                                   static_cast<qsizetype>(utf8.size()));
    }
    return texto;
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("exportador-cds-gui"));

    QCommandLineParser linha;
    linha.setApplicationDescription(QStringLiteral(
        "Gera os arquivos XML das fichas CDS (layout e-SUS AB 2.2) a partir do banco de dados "
        "da clínica, na janela do operador."));
    linha.addHelpOption();
    const QCommandLineOption config(
        QStringLiteral("config"),
        QStringLiteral("arquivo de configuração (padrão: o primeiro destes que existir: %1; "
                       "a lista de erros vai para erros.txt ao lado dele e, em UTF-8, para "
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
    return QApplication::exec();
}
