#pragma once

#include <QDialog>
#include <QUrl>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

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

// A run that ended well, as the window tells it.
struct ExecucaoConcluida {
    std::filesystem::path arquivoZip;
    ResumoDoRelatorio relatorio;
    // From the button to the end.
    std::chrono::seconds duracao{0};
    // The closing notes: the error list and its place, the run's warnings (notasFinais).
    std::vector<std::string> notas;
};

// A count as the operator writes it: "1.234".
QString textoDoNumero(std::size_t n);

// "45 s", "2 min 05 s", "1 h 02 min".
QString textoDaDuracao(std::chrono::seconds duracao);

// The end of a run that went well, beside the window: the archive and its folder, how long the
// run took, one line per record kind (sent, left out, with a warning, to be refused), the
// reasons for leaving records out as each count's tip, the closing notes, and the ways to the
// report's page and to the archive's folder.
class DialogoResumo : public QDialog {
    Q_OBJECT

  public:
    DialogoResumo(const ExecucaoConcluida& execucao, AbreLocal abreLocal,
                  QWidget* parent = nullptr);

    // The table's columns after the kind's name.
    enum Coluna { Ficha, Enviados, DeixadosDeFora, ComAviso, SeraoRecusados };

    // The controls, for tests.
    QLabel* rotuloArquivo;
    QLabel* rotuloPasta;
    QLabel* rotuloDuracao;
    QTableWidget* tabela;
    QLabel* rotuloMotivos;
    // The closing notes, one per line; hidden when there are none.
    QLabel* rotuloNotas;
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
