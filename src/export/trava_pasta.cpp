#include "export/trava_pasta.hpp"

#include <filesystem>
#include <system_error>

#include "comum/erro.hpp"

namespace cds {

namespace {

constexpr char kSeparador = static_cast<char>(std::filesystem::path::preferred_separator);

}  // namespace

TravaPasta::TravaPasta(const std::string& Caminho)
    : trava(std::filesystem::path(Caminho + kSeparador + kNomeArquivoTrava)) {
    switch (trava.resultado()) {
        case TravaDeArquivo::Resultado::Travada:
            return;
        case TravaDeArquivo::Resultado::Ocupada:
            throw ErroPastaOcupada("Outra exportação está em andamento na pasta " + Caminho +
                                   ". Espere que ela termine e gere os arquivos de novo.");
        case TravaDeArquivo::Resultado::Falhou:
            break;
    }
    if (trava.erro() == std::errc::no_such_file_or_directory)
        throw ErroArquivo("A pasta de saída " + Caminho + " não existe.");
    // The lock is a file the run creates there: a folder it cannot write in is said here,
    // before anything else is tried.
    throw ErroArquivo("Não foi possível criar o arquivo " + Caminho + kSeparador +
                      kNomeArquivoTrava +
                      ", que impede outra exportação na mesma pasta de saída enquanto esta "
                      "trabalha: " +
                      motivoDoSistema(trava.erro()) + ".");
}

}  // namespace cds
