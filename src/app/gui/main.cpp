// exportador-cds-gui: the monthly export in the operator's window.

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <cstdio>
#include <filesystem>

#include "app/gui/caixa_mensagem.hpp"
#include "app/gui/janela_principal.hpp"
#include "export/arquivo_ini.hpp"

namespace fs = std::filesystem;
using namespace cds;

namespace {

fs::path pastaDoExecutavel() {
    std::error_code erro;
    const fs::path exe = fs::read_symlink("/proc/self/exe", erro);
    return erro ? fs::current_path() : exe.parent_path();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("exportador-cds-gui"));

    QCommandLineParser linha;
    linha.setApplicationDescription(QStringLiteral(
        "Gera os arquivos XML das fichas CDS (layout e-SUS AB 2.2) a partir do banco de dados "
        "da clínica, na janela do operador."));
    linha.addHelpOption();
    const QCommandLineOption config(
        QStringLiteral("config"),
        QStringLiteral("arquivo de configuração (padrão: config.ini ao lado do programa)"),
        QStringLiteral("ARQ"));
    const QCommandLineOption captura(
        QStringLiteral("captura"),
        QStringLiteral("grava a imagem da janela, como aberta, em ARQ.png e termina"),
        QStringLiteral("ARQ.png"));
    linha.addOption(config);
    linha.addOption(captura);
    linha.process(app);

    const fs::path arquivoIni = linha.isSet(config) ? fs::path(linha.value(config).toStdString())
                                                    : pastaDoExecutavel() / kNomeArquivoIni;
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
