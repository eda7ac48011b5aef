#pragma once

#include <QDialog>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "export/relatorio.hpp"

class QLabel;
class QPushButton;
class QTableWidget;

namespace cds {

// Opens a file or a folder with the program the system has for it; false when it could not.
// The window opens through one of these, so that a test can see what would be opened.
using AbreLocal = std::function<bool(const QUrl&)>;

// The system's own opener (QDesktopServices).
bool abreNoSistema(const QUrl& local);

// The end of a run that went well, beside the window: the archive and its folder, one line per
// record kind (sent, left out, with a warning, to be refused), the reasons for leaving records
// out as each count's tip, and the ways to the report's page and to the archive's folder.
class DialogoResumo : public QDialog {
    Q_OBJECT

  public:
    DialogoResumo(const std::filesystem::path& arquivoZip, const ResumoDoRelatorio& resumo,
                  AbreLocal abreLocal, QWidget* parent = nullptr);

    // The table's columns after the kind's name.
    enum Coluna { Ficha, Enviados, DeixadosDeFora, ComAviso, SeraoRecusados };

    // The controls, for tests.
    QLabel* rotuloArquivo;
    QLabel* rotuloPasta;
    QTableWidget* tabela;
    QLabel* rotuloMotivos;
    QPushButton* botaoRelatorio;
    QPushButton* botaoPasta;
    QPushButton* botaoFechar;
    // Says what could not be opened; hidden until then.
    QLabel* rotuloFalha;

  private:
    void abre(const std::filesystem::path& local);

    AbreLocal abridor;
    std::filesystem::path relatorio, pasta;
};

}  // namespace cds
