#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "comum/datahora.hpp"

namespace cds {

class Conexao;

// A statement of the run: text set line by line (or whole), named parameters (":pcodigo"),
// all rows fetched on open, then walked with primeiro/proximo/fim. The same text is prepared
// once per connection and re-executed with new values.
//
// Columns are found by name without regard to case. Reads follow the clinical system's
// conventions: NULL reads as empty text, 0 or a zero DataHora; DATE as "dd/mm/yyyy", TIME as
// "hh:mm:ss", TIMESTAMP as the date and, unless it is midnight, a blank and the time.
class Consulta {
  public:
    explicit Consulta(Conexao& conexao);
    ~Consulta();
    Consulta(const Consulta&) = delete;
    Consulta& operator=(const Consulta&) = delete;

    // Statement text. Closes the query; parameters already set are forgotten.
    void limpa();
    void adiciona(std::string_view linha);
    void defineTexto(std::string_view texto);
    const std::string& texto() const { return sql; }

    // Parameters by name, without the colon, without regard to case.
    void parametro(std::string_view nome, std::string_view valor);
    void parametro(std::string_view nome, std::int64_t valor);
    void parametro(std::string_view nome, int valor) {
        parametro(nome, static_cast<std::int64_t>(valor));
    }
    void parametroData(std::string_view nome, int ano, int mes, int dia);
    void parametroData(std::string_view nome, const std::chrono::year_month_day& data) {
        parametroData(nome, static_cast<int>(data.year()),
                      static_cast<int>(static_cast<unsigned>(data.month())),
                      static_cast<int>(static_cast<unsigned>(data.day())));
    }
    void parametroNulo(std::string_view nome);

    // Runs a statement that returns rows and fetches them all.
    void abre();
    // Runs a statement that returns no rows (update, insert).
    void executa();
    void fecha();
    bool ativa() const;

    void primeiro();
    void proximo();
    bool fim() const;
    std::size_t quantidade() const;

    bool nulo(std::string_view coluna) const;
    std::string texto(std::string_view coluna) const;
    // Text that is not a whole number raises ErroConversao.
    std::int64_t inteiro(std::string_view coluna) const;
    // Text that is not a number raises ErroConversao.
    double real(std::string_view coluna) const;
    DataHora dataHora(std::string_view coluna) const;

    // Prepares the text without running it; raises the server's error when it is invalid.
    void prepara();
    // How many distinct statements this query object holds prepared.
    std::size_t comandosPreparados() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl;
    std::string sql;
};

// The statement text with each named parameter replaced by "?", and the names in order of
// appearance (lower case, a name repeated as often as it appears). Colons inside quoted
// literals and identifiers are not parameters.
struct SqlPosicional {
    std::string texto;
    std::vector<std::string> nomes;
};
SqlPosicional traduzParametros(std::string_view sql);

}  // namespace cds
