#include "record/buffer.hpp"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "comum/erro.hpp"
#include "comum/texto.hpp"
#include "record/xml.hpp"

namespace cds {
namespace {

std::filesystem::path caminhoUtf8(const std::string& caminho) {
    return std::filesystem::path(std::u8string(caminho.begin(), caminho.end()));
}

// Names the file and, when the system said it, why.
[[noreturn]] void falhaGravacao(const std::string& caminho, int erro) {
    throw ErroArquivo("Não foi possível criar o arquivo " + caminho +
                      (erro != 0 ? ": " + motivoDoSistema(erro) : std::string()) + ".");
}

}  // namespace

void RegistroBuffer::adiciona(std::string_view linha) {
    conteudo += linha;
    conteudo += "\r\n";
}

void RegistroBuffer::adicionaElemento(std::string_view tag, std::string_view valor) {
    adiciona(elementoXml(tag, valor));
}

void RegistroBuffer::adicionaNumero(std::string_view tag, std::string_view valor) {
    if (!apara(valor).empty()) adicionaElemento(tag, valor);
}

void RegistroBuffer::salva(const std::string& caminho) const {
    // The file declares UTF-8: a byte that is not would make every reader refuse it whole.
    if (!utf8Valido(conteudo))
        throw ErroConversao("O registro tem um texto que não é UTF-8 válido; o arquivo " + caminho +
                            " não foi gravado.");
    const std::filesystem::path destino = caminhoUtf8(caminho);
    std::filesystem::path temporario = destino;
    temporario += ".tmp";

    {
        std::ofstream arquivo;
        // Unbuffered: the whole text goes down in one write.
        arquivo.rdbuf()->pubsetbuf(nullptr, 0);
        errno = 0;
        arquivo.open(temporario, std::ios::binary | std::ios::trunc);
        if (!arquivo) falhaGravacao(caminho, errno);
        arquivo.write(conteudo.data(), static_cast<std::streamsize>(conteudo.size()));
        arquivo.close();
        if (!arquivo) {
            const int erro = errno;
            // The save has failed already; a temporary left behind goes with the next clean-up.
            std::error_code ignorado;
            std::filesystem::remove(temporario, ignorado);
            falhaGravacao(caminho, erro);
        }
    }

    std::error_code erro;
    std::filesystem::rename(temporario, destino, erro);
    if (erro) {
        std::error_code ignorado;
        std::filesystem::remove(temporario, ignorado);
        falhaGravacao(caminho, erro.value());
    }
}

}  // namespace cds
