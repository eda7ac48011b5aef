#pragma once

// The exit codes of the command line, each for one class of outcome, so that a script or a
// scheduler can tell "try again later" from "fix something" without reading the messages.

#include <csignal>

namespace cds {

enum CodigoSaida : int {
    kSaidaFeita = 0,
    kSaidaFalhou = 1,
    kSaidaUsoOuConfiguracao = 2,
    kSaidaSemConexao = 3,
    kSaidaPastaOcupada = 4,
    // Not 1, nor any code that may mean "nothing happened, run it again": a new run would
    // replace this archive, the only one that holds its registrations.
    kSaidaArquivoSemListaDeErros = 5,
};

struct DescricaoSaida {
    int codigo;
    const char* significado;
};

// The table --help and the README give, in the order they give it.
inline constexpr DescricaoSaida kCodigosSaida[] = {
    {kSaidaFeita,
     "feito: o arquivo compactado foi gravado e a exportação confirmada no banco "
     "de dados (com --verifica ou --testa-conexao: a verificação passou)"},
    {kSaidaFalhou,
     "a execução falhou (uma ficha que não pôde ser gerada, o disco, o banco de "
     "dados no meio da exportação); nada foi marcado como enviado"},
    {kSaidaUsoOuConfiguracao,
     "uso incorreto ou erro de configuração: corrija o comando ou o config.ini"},
    {kSaidaSemConexao, "o banco de dados não pôde ser alcançado ou recusou o usuário e a senha"},
    {kSaidaPastaOcupada,
     "outra exportação está em andamento na pasta de saída: tente de novo mais tarde"},
    {kSaidaArquivoSemListaDeErros,
     "o arquivo compactado foi gravado e a exportação confirmada, mas a lista de erros não pôde "
     "ser gravada: envie o arquivo e NÃO execute de novo"},
    {128 + SIGINT, "interrompida por Ctrl-C (SIGINT)"},
    {128 + SIGTERM, "interrompida por SIGTERM"},
#ifdef SIGHUP
    {128 + SIGHUP, "interrompida por SIGHUP (o terminal foi fechado)"},
#endif
};

}  // namespace cds
