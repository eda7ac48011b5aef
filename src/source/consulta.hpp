#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "comum/datahora.hpp"
#include "comum/erro.hpp"

namespace cds {

class Transacao;
struct FormatoLinha;

// One row of a statement's result, a value of its own: it stays readable after the statement
// runs again. Columns are found by name without regard to case; the first column of a name
// wins.
//
// Reads follow the clinical system's conventions: NULL reads as empty text, 0 or no date;
// DATE reads as "dd/mm/yyyy", TIME as "hh:mm:ss", TIMESTAMP as the date and, unless it is
// midnight, a blank and the time; scaled numerics in their shortest form ("2.00" reads "2").
// An unknown column raises ErroBanco naming it.
class Linha {
  public:
    // Whether the statement has a column of this name.
    bool tem(std::string_view coluna) const;
    bool nulo(std::string_view coluna) const;
    std::string texto(std::string_view coluna) const;
    // A whole number; text that is not one raises ErroConversao.
    std::int64_t inteiro(std::string_view coluna) const;
    // A number; text that is not one raises ErroConversao.
    double real(std::string_view coluna) const;
    // DATE, TIME and TIMESTAMP as values (a DATE has a zero time, a TIME a zero date); a text
    // column is read with leDataHora. NULL gives none.
    std::optional<DataHora> dataHora(std::string_view coluna) const;

  private:
    friend class Consulta;
    friend class LinhasGuardadas;
    // A column of this row, found by name, with where its value sits.
    struct Campo;
    Campo campo(std::string_view coluna) const;
    // Where the column is among the statement's; kNenhuma when it has none of the name.
    std::size_t procura(std::string_view coluna) const;
    static constexpr std::size_t kNenhuma = static_cast<std::size_t>(-1);

    std::shared_ptr<const FormatoLinha> formato;
    std::vector<unsigned char> dados;
    std::vector<std::string> blobs;
};

// A text the run's connection cannot read: a text column holds characters that Windows-1252,
// the connection's text, has no form for, and the server fails the statement that reads it
// (at the row, as it fetches). The statement that read rows is run again, with the same
// parameters, through a connection of its own in UTF-8, to find the first row and column at
// fault; the error then carries that row (read as UTF-8, whatever the column's type) and the
// column's name in the statement. A statement that changes rows is not run again, and the
// row is none when it was not found.
class ErroTextoSemWin1252 : public ErroBanco {
  public:
    using ErroBanco::ErroBanco;
    ErroTextoSemWin1252(std::string mensagem, Linha linha, std::string coluna)
        : ErroBanco(std::move(mensagem)), registro(std::move(linha)), nome(std::move(coluna)) {}

    const Linha* linha() const { return registro ? &*registro : nullptr; }
    const std::string& coluna() const { return nome; }

  private:
    std::optional<Linha> registro;
    std::string nome;
};

// A statement of the run, prepared once when it is made and run again with new parameter
// values as often as needed. Named parameters (":pcodigo") are bound by name, without the
// colon and without regard to case; a colon inside a quoted literal, a quoted identifier or
// a comment is not a parameter. A parameter keeps its value until it is set again; one never
// set is NULL.
class Consulta {
  public:
    // Prepares `sql` in the transaction's attachment; an invalid text raises ErroBanco with
    // the server's message.
    Consulta(Transacao& transacao, std::string_view sql);
    // A statement whose parameters are its own "?", set by position from 0; its text goes to
    // the server as written, so that an EXECUTE BLOCK's body may name its variables with a
    // colon.
    struct Posicional {};
    Consulta(Transacao& transacao, std::string_view sql, Posicional);
    ~Consulta();
    Consulta(Consulta&&) noexcept;
    Consulta& operator=(Consulta&&) noexcept;

    const std::string& texto() const;

    // A name the statement does not have raises ErroBanco naming it.
    void parametro(std::string_view nome, std::string_view valor);
    void parametro(std::string_view nome, std::int64_t valor);
    void parametro(std::string_view nome, int valor) {
        parametro(nome, static_cast<std::int64_t>(valor));
    }
    void parametro(std::string_view nome, const std::chrono::year_month_day& data);
    void parametroNulo(std::string_view nome);
    // The parameter at `posicao` of a statement made Posicional.
    template <typename T>
    void parametro(std::size_t posicao, const T& valor) {
        parametro(std::string_view(std::to_string(posicao)), valor);
    }

    // Runs the statement and fetches every row; the rows of an earlier run are dropped.
    const std::vector<Linha>& abre();
    // Runs the statement and leaves its rows with the server, to be read one at a time with
    // proxima(): however long the result, one row of it is in memory here (the client
    // library fetches them in batches). The rows of an earlier run are dropped, and a walk
    // still open is closed.
    void percorre();
    // The next row of the walk percorre() began, or none after the last; the walk then stays
    // over until percorre() runs again. The row is overwritten by the next call: a copy of it
    // keeps it.
    const Linha* proxima();
    // Runs a statement that returns no rows (update, insert).
    void executa();
    // The rows the last run fetched whole: those of abre(), none of a walk but the one row of
    // a statement without a cursor.
    const std::vector<Linha>& linhas() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// The statement text with each named parameter replaced by "?", and the names in order of
// appearance (lower case, a name repeated as often as it appears).
struct SqlPosicional {
    std::string texto;
    std::vector<std::string> nomes;
};
SqlPosicional traduzParametros(std::string_view sql);

// The statements this process has run so far (each abre, executa and percorre counts one),
// so that a benchmark can show how they grow with a run.
std::uint64_t comandosExecutados();

}  // namespace cds
