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
class TForm8 : public QWidget {
    Q_OBJECT

  public:
    // `arquivoIni` is config.ini, opened when the window is first shown; `relogio` gives the
    // default period; every modal box goes through `caixa`.
    TForm8(std::filesystem::path arquivoIni, const Relogio& relogio, CaixaMensagem& caixa,
           QWidget* parent = nullptr);
    ~TForm8() override;

    // The run's inputs as the boxes hold them now.
    ParametrosExportacao parametros() const;

    // "Gerar Arquivos": the run with the window's values; errors end in an error box.
    void Button1Click();

    // True while a run is under way.
    bool emExecucao() const { return executando; }

    // The controls, for the run's operator and for tests.
    QLabel* Label1;
    QDateEdit* dtpDataInicial;
    QLabel* Label2;
    QDateEdit* dtpDataFinal;
    QLabel* Label4;
    QLineEdit* edtUnidade;
    QLabel* Label7;
    QLineEdit* edtCodProf;
    QLabel* Label3;
    QLineEdit* edtCaminho;
    QLabel* Label5;
    QLineEdit* edtUUID;
    QGroupBox* RadioGroup1;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QCheckBox* cbCadastroIndividual;
    QCheckBox* cbCadastroDomiciliar;
    QCheckBox* cbAtendimentoIndividual;
    QCheckBox* cbProcedimentos;
    QCheckBox* cbAtendimentoOdontologico;
    QCheckBox* cbFichaVisitaDomiciliar;
    QCheckBox* cbFichaAtivColetiva;
    QCheckBox* CBFichaVacinacao;
    QLabel* Label8;
    QLineEdit* EProfissionalGenerico;
    QPushButton* Button1;
    QLabel* LMensagem;
    QProgressBar* barraProgresso;
    QLabel* Label6;
    QPlainTextEdit* Memo2;
    QPlainTextEdit* Memo1;

  protected:
    void showEvent(QShowEvent* evento) override;
    void resizeEvent(QResizeEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    bool eventFilter(QObject* objeto, QEvent* evento) override;

  private:
    class OperadorJanela;

    void criaControles();
    void ordemDeTabulacao();
    void FormShow();
    void RadioButton1Enter();
    void RadioButton2Enter();
    void marcaSete(bool marcado);
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
