#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>

namespace cds {

// A command line that cannot be run as written; its message follows the program's name.
struct ErroUso : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What the command line asked for. The run's inputs are kept as given, by option name
// ("--caminho"), for the run to lay over what config.ini says.
struct Opcoes {
    std::optional<std::string> config;
    std::map<std::string, std::string> valores;
    bool gravaConfig = false;
    bool verifica = false;
    bool testaConexao = false;
    bool silencioso = false;
    std::optional<std::string> log;
    std::optional<std::string> senhaArquivo;
};

// The options, or the exit code when they asked only for the help or the version (printed on
// standard output here). Raises ErroUso, or ErroParametro for a value that is no text.
struct LinhaDeComando {
    std::optional<int> saida;
    Opcoes opcoes;
};
LinhaDeComando leOpcoes(int argc, char** argv);

}  // namespace cds
