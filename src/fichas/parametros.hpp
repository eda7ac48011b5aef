#pragma once

#include <chrono>
#include <cstddef>
#include <set>
#include <string>

#include "comum/datahora.hpp"
#include "comum/tipo_ficha.hpp"

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
    // The record kinds to produce; the run takes them in its fixed order.
    std::set<TipoFicha> Fichas;

    bool escolhida(TipoFicha tipo) const { return Fichas.contains(tipo); }
};

// Caminho + separator + "arquivosXML": where a run's record files go.
std::string pastaXml(const std::string& Caminho);

enum class TipoMensagem { Simples, Informacao, Erro };

// The caption of the program's own message boxes.
inline constexpr char kTituloAplicacao[] = "Exportador CDS";

// Whoever watches the run: the window, the command line, or a test's recorder.
class Operador {
  public:
    virtual ~Operador() = default;
    // The one-line status text, shown at once.
    virtual void status(const std::string& texto) = 0;
    // The visible log: cleared at the start of a run, then one call per line.
    virtual void limpaLog() = 0;
    virtual void log(const std::string& linha) = 0;
    // The hidden error list: emptied when a run starts, then one call per line (kept by the
    // run, saved to erros.txt when it ends well).
    virtual void erroCadastro(const std::string& linha) = 0;
    virtual void limpaErrosCadastro() = 0;
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

}  // namespace cds
