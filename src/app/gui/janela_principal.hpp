#pragma once

#include <QWidget>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/gui/caixa_mensagem.hpp"
#include "app/gui/dialogo_resumo.hpp"
#include "comum/cancelamento.hpp"
#include "export/local_config.hpp"
#include "export/relatorio.hpp"
#include "fichas/execucao.hpp"

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace cds {

// The window's caption ends in the program's version (kVersao).
inline constexpr char kTituloJanela[] = "Gerador de Arquivos para Esus - Versão ";

// Asks the operator for a folder, starting at `inicial`; empty when nothing was chosen.
using EscolhePasta = std::function<QString(QWidget* pai, const QString& inicial)>;

// The system's folder chooser (QFileDialog).
QString escolhePastaNoSistema(QWidget* pai, const QString& inicial);

// The operator's one window: the inputs of a run, "Gerar Arquivos", the status label and the
// visible log, placed by layouts. Controls keep their names as object names, so that tests
// find them.
class JanelaPrincipal : public QWidget {
    Q_OBJECT

  public:
    // `arquivoIni` is config.ini (and where it was looked for), read when the window is first
    // shown and by each run; `relogio` gives the default period and the run's clock, and must
    // outlive the window; every modal box goes through `caixa`, on the window's thread.
    JanelaPrincipal(LocalConfig arquivoIni, const Relogio& relogio, CaixaMensagem& caixa,
                    QWidget* parent = nullptr);
    ~JanelaPrincipal() override;

    // The run's inputs as the boxes hold them now.
    ParametrosExportacao parametros() const;

    // The box of a record kind.
    QCheckBox* caixaDaFicha(TipoFicha tipo) const;

    // "Gerar Arquivos": the window's values checked as the command line checks its options
    // (a refusal is an error box, and nothing starts); an output folder that does not exist is
    // offered for creation, and "Não" starts nothing; then the run with them, started as
    // iniciaExecucao() says. The run makes arquivosXML, with its parents, before anything else.
    void aoGerarArquivos();

    // Starts `trabalho` on a thread of its own, with the window's operator and the run's
    // request to stop, and returns at once; the window keeps painting and moving meanwhile.
    // The inputs stay disabled and the button reads "Cancelar" until `trabalho` has returned;
    // an exception it raises ends in an error box, but ErroInterrompido, which the status line
    // tells. Nothing starts, and false comes back, while a run is under way or before the
    // window has first been shown.
    bool iniciaExecucao(std::function<void(Operador&, Cancelamento&)> trabalho);

    // Asks the run under way to stop ("Cancelar", Esc, closing the window, a signal): the
    // database call under way is cancelled and no further record is begun; the run then undoes
    // its work as the command line's does. Nothing happens when no run is under way.
    void cancelaExecucao();

    // A signal's end of a run under way: the run is cancelled, a message it shows or asks for
    // counts as seen (nobody is there to close it), and the window closes, with no box, once
    // the run has undone its work. Nothing happens when no run is under way.
    void encerraExecucaoPorSinal();

    // True while a run is under way.
    bool emExecucao() const { return executando; }

    // The summary of the last run that ended well, shown when it ended and again by "Ver
    // resumo"; none before the first such run, and none once another run has begun.
    DialogoResumo* dialogoResumo() const { return resumo; }

    // How the summary opens the report and the folder; tests put a recorder here.
    AbreLocal abreLocal = abreNoSistema;

    // How "…" asks for the output folder; tests put their answer here.
    EscolhePasta escolhePasta = escolhePastaNoSistema;

  signals:
    // A run has ended and the operator has seen how: the inputs take input again and the
    // error box, if there was one, has been closed.
    void execucaoTerminada();

  public:
    // The controls, for the run's operator and for tests.
    QLabel* rotuloDataInicial;
    QDateEdit* dataInicial;
    QLabel* rotuloDataFinal;
    QDateEdit* dataFinal;
    QLabel* rotuloUnidade;
    QLineEdit* unidade;
    QLabel* rotuloCodProf;
    QLineEdit* codProf;
    QLabel* rotuloCaminho;
    QLineEdit* caminho;
    // "…": the folder chooser, whose answer goes to `caminho`.
    QToolButton* botaoPasta;
    QLabel* rotuloUuid;
    QLineEdit* uuid;
    QGroupBox* grupoFichas;
    QRadioButton* opcaoTodas;
    QRadioButton* opcaoEscolher;
    // One per record kind, in the registry's order.
    std::vector<QCheckBox*> caixasFichas;
    QLabel* rotuloProfissionalGenerico;
    QLineEdit* profissionalGenerico;
    QPushButton* botaoGerar;
    // Shown once a run has ended well: brings its summary back.
    QPushButton* botaoResumo;
    QLabel* rotuloStatus;
    QProgressBar* barraProgresso;
    QLabel* rotuloLayout;
    QPlainTextEdit* logVisivel;
    QPlainTextEdit* errosCadastro;

  protected:
    void showEvent(QShowEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

  private:
    class OperadorJanela;

    void criaControles();
    // The controls that take the run's inputs, in tab order, the button last.
    std::vector<QWidget*> entradas() const;
    void ordemDeTabulacao();
    void aoMostrar();
    void aoEscolherPasta();
    // False when the output folder is missing and the operator did not want it made.
    bool confirmaPastaDeSaida(const std::string& Caminho);
    void aoEntrarTodas();
    void aoEntrarEscolher();
    void marcaFichasDeTodas(bool marcado);
    void aoClicarBotao();
    void habilitaEntradas(bool habilitadas);
    // How a run ended, for the window.
    enum class Desfecho { Concluida, Cancelada, Falhou, FalhouAposConfirmacao };
    void aoTerminarExecucao(Desfecho desfecho, const std::string& falha);
    // The status line after a run: what it did, kept until the next run.
    void mostraDesfecho(Desfecho desfecho, const std::string& falha);
    void mostraResumo();
    void mostraProgresso(std::size_t feitos, std::size_t total);
    void mostraCaixa(const std::string& texto, const std::string& titulo, QMessageBox::Icon icone);

    LocalConfig caminhoIni;
    const Relogio& relogio;
    CaixaMensagem& caixa;
    // Called on the run's thread; the window's thread does the rest.
    std::unique_ptr<OperadorJanela> operador;
    // The run under way, if any; joined when it has ended, or when the window goes.
    std::thread execucao;
    bool mostrada = false;
    bool executando = false;
    // The run's request to stop; shared with the thread that asks it, which may outlive the
    // run when the server is slow to take the cancel.
    std::shared_ptr<Cancelamento> cancelamento;
    // The window closes once the run it asked to cancel has ended.
    bool fechaAoTerminar = false;
    std::chrono::steady_clock::time_point inicio;
    // What the summary shows of a run that ended well: set by the run's thread as the run
    // ends, read by the window's once that thread is joined.
    std::optional<ExecucaoConcluida> concluida;
    DialogoResumo* resumo = nullptr;
};

}  // namespace cds
