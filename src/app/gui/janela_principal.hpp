#pragma once

#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "app/gui/caixa_mensagem.hpp"
#include "export/arquivo_ini.hpp"
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

namespace cds {

inline constexpr char kTituloJanela[] = "Gerador de Arquivos para Esus - Versão 1.06";

// The operator's one window: the inputs of a run, "Gerar Arquivos", the status label and the
// visible log. Controls keep their names as object names, so that tests find them.
class JanelaPrincipal : public QWidget {
    Q_OBJECT

  public:
    // `arquivoIni` is config.ini, opened when the window is first shown; `relogio` gives the
    // default period; every modal box goes through `caixa`.
    JanelaPrincipal(std::filesystem::path arquivoIni, const Relogio& relogio, CaixaMensagem& caixa,
                    QWidget* parent = nullptr);
    ~JanelaPrincipal() override;

    // The run's inputs as the boxes hold them now.
    ParametrosExportacao parametros() const;

    // "Gerar Arquivos": the run with the window's values; errors end in an error box.
    void aoGerarArquivos();

    // True while a run is under way.
    bool emExecucao() const { return executando; }

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
    QLabel* rotuloUuid;
    QLineEdit* uuid;
    QGroupBox* grupoFichas;
    QRadioButton* opcaoTodas;
    QRadioButton* opcaoEscolher;
    QCheckBox* fichaCadastroIndividual;
    QCheckBox* fichaCadastroDomiciliar;
    QCheckBox* fichaAtendimentoIndividual;
    QCheckBox* fichaProcedimentos;
    QCheckBox* fichaAtendimentoOdontologico;
    QCheckBox* fichaVisitaDomiciliar;
    QCheckBox* fichaAtividadeColetiva;
    QCheckBox* fichaVacinacao;
    QLabel* rotuloProfissionalGenerico;
    QLineEdit* profissionalGenerico;
    QPushButton* botaoGerar;
    QLabel* rotuloStatus;
    QProgressBar* barraProgresso;
    QLabel* rotuloLayout;
    QPlainTextEdit* logVisivel;
    QPlainTextEdit* errosCadastro;

  protected:
    void showEvent(QShowEvent* evento) override;
    void resizeEvent(QResizeEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

  private:
    class OperadorJanela;

    void criaControles();
    void ordemDeTabulacao();
    void aoMostrar();
    void aoEntrarTodas();
    void aoEntrarEscolher();
    void marcaFichasDeTodas(bool marcado);
    void habilitaEntradas(bool habilitadas);
    void mostraCaixa(const std::string& texto, const std::string& titulo, QMessageBox::Icon icone);

    std::filesystem::path caminhoIni;
    const Relogio& relogio;
    CaixaMensagem& caixa;
    std::unique_ptr<ArquivoIni> ini;
    std::unique_ptr<OperadorJanela> operador;
    bool mostrada = false;
    bool executando = false;
};

}  // namespace cds
