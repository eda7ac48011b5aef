#pragma once

#include <chrono>
#include <cstddef>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "fichas/parametros.hpp"

namespace cds {

// The live line of a record kind on a terminal: "<status> 1.234 de 150.000, 850 arquivos/s,
// faltam 2 min 56 s". `total` is 0 while the kind does not know it; the rate and the time left
// come once some time has passed.
std::string linhaDeProgresso(std::string_view status, std::size_t feitos, std::size_t total,
                             std::chrono::steady_clock::duration decorrido);

// The file of --log: opened for appending before anything runs, a line per event, each with the
// moment as ISO 8601 with the local offset ("2026-12-01T02:00:03-03:00").
class RegistroEmArquivo {
  public:
    // Raises ErroUso naming the file when it cannot be opened for appending.
    explicit RegistroEmArquivo(const std::string& arquivo);
    void escreve(std::string_view evento);

  private:
    std::string nome;
    std::ofstream arquivo;
};

// The moment as ISO 8601 with the local offset.
std::string momentoIso8601(std::chrono::system_clock::time_point momento);

// The command line's operator: the log on standard output, everything else on standard error;
// with `silencioso` only the errors. On a terminal, a kind's status line becomes its live
// progress line. Every event also goes to the --log file, when there is one.
class OperadorTerminal : public Operador {
  public:
    OperadorTerminal(bool silencioso, bool terminal, RegistroEmArquivo* registro)
        : silencioso(silencioso), terminal(terminal), registro(registro) {}

    void status(const std::string& texto) override;
    void limpaLog() override {}
    void log(const std::string& linha) override;
    void erroCadastro(const std::string& linha) override;
    void limpaErrosCadastro() override {}
    void mensagem(const std::string& texto, const std::string& titulo, TipoMensagem) override;
    void progresso(std::size_t feitos, std::size_t total) override;

    // What the program says on standard error beyond the run's operator: the summary, the
    // ending. Nothing with `silencioso`.
    void informa(const std::string& texto);
    // An error: always on standard error, after the program's name, and in the log file.
    void erro(const std::string& texto);
    bool calado() const { return silencioso; }
    // A line of the log file alone.
    void registra(std::string_view evento);

  private:
    // Ends the progress line under way, if any, so that the next text starts a line.
    void terminaLinha();

    bool silencioso;
    bool terminal;
    RegistroEmArquivo* registro;
    std::string statusAtual;
    std::chrono::steady_clock::time_point inicioDoTipo{};
    std::chrono::steady_clock::time_point ultimaLinha{};
    bool linhaAberta = false;
};

}  // namespace cds
