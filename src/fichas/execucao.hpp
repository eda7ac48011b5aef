#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "comum/datahora.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"

namespace cds {

// The run's inputs, as the window holds them when "Gerar Arquivos" is pressed.
struct ParametrosExportacao {
    std::chrono::year_month_day DataInicial{};
    std::chrono::year_month_day DataFinal{};
    std::string Unidade;
    std::string CodProf;
    std::string Caminho;
    std::string UUID = "0";
    std::string ProfissionalGenerico;
    bool CadastroIndividual = false;
    bool CadastroDomiciliar = false;
    bool AtendimentoIndividual = false;
    bool Procedimentos = false;
    bool AtendimentoOdontologico = false;
    bool FichaVisitaDomiciliar = false;
    bool FichaAtivColetiva = false;
    bool FichaVacinacao = false;
};

// Caminho + separator + "arquivosXML": where a run's record files go.
std::string pastaXml(const std::string& Caminho);

enum class TipoMensagem { Simples, Informacao, Erro };

// Whoever watches the run: the window, the command line, or a test's recorder.
class Operador {
  public:
    virtual ~Operador() = default;
    // The one-line status text, shown at once.
    virtual void status(const std::string& texto) = 0;
    // The visible log: cleared at the start of a run, then one call per line.
    virtual void limpaLog() = 0;
    virtual void log(const std::string& linha) = 0;
    // The hidden error list: one call per line (kept by the run, saved to erros.txt).
    virtual void erroCadastro(const std::string& linha) = 0;
    // A modal message; the run goes on when the operator has seen it.
    virtual void mensagem(const std::string& texto, const std::string& titulo,
                          TipoMensagem tipo) = 0;
    // Rows done of the current record kind, for a progress bar.
    virtual void progresso(std::size_t /*feitos*/, std::size_t /*total*/) {}
};

// Today's date and the present time; tests fix them.
class Relogio {
  public:
    virtual ~Relogio() = default;
    virtual DataHora agora() const = 0;
};

class RelogioSistema : public Relogio {
  public:
    DataHora agora() const override;
};

// Everything one run shares with its generators. A generator reads its inputs here and
// appends its outputs here; it keeps no state of its own.
struct Execucao {
    Execucao(const ParametrosExportacao& parametros, Conexao& conexao, Operador& operador,
             const Relogio& relogio, std::function<std::string()> ibge);

    const ParametrosExportacao parametros;
    Conexao& conexao;
    Operador& operador;
    const Relogio& relogio;

    // The four statements of a run: the main query, the per-row sub-queries and write-backs,
    // the collective activity's third level, and the citizens' health conditions.
    Consulta IBQuery1;
    Consulta IBQuery2;
    Consulta IBQuery3;
    Consulta IBQCondSaude;

    std::vector<std::string> ListaArquivos;
    std::vector<std::string> LogExecucao;
    std::vector<std::string> ErrosCadastro;
    std::string DataInicialTexto;
    std::string DataFinalTexto;

    // GERAL/IBGE of the settings file, read when it is written.
    std::string ibge() const { return leIbge(); }
    // Caminho + separator + "arquivosXML": where the record files go.
    std::string pastaXml() const;
    // Caminho + separator + "arquivosXML" + separator + nome.
    std::string caminhoArquivo(const std::string& nome) const;

    void status(const std::string& texto) { operador.status(texto); }
    void log(const std::string& linha);
    void erroCadastro(const std::string& linha);
    // The missing-team message of the care kinds: to the error list, then to the log.
    void erroELog(const std::string& linha);

  private:
    std::function<std::string()> leIbge;
};

}  // namespace cds
