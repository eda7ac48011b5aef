#include "record/buffer.hpp"

#include <filesystem>
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
[[noreturn]] void falhaGravacao(const std::string& caminho, const std::error_code& erro) {
    throw ErroArquivo("Não foi possível criar o arquivo " + caminho +
                      (erro ? ": " + motivoDoSistema(erro) : std::string()) + ".");
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

std::optional<EstadoArquivo> RegistroBuffer::salva(const std::string& caminho) const {
    return salvaRegistro(caminho, conteudo);
}

std::optional<EstadoArquivo> salvaRegistro(const std::string& caminho,
                                           const std::string& conteudo) {
    // The file declares UTF-8: a byte that is not would make every reader refuse it whole.
    if (!utf8Valido(conteudo))
        throw ErroConversao("O registro tem um texto que não é UTF-8 válido; o arquivo " + caminho +
                            " não foi gravado.");
    const std::filesystem::path destino = caminhoUtf8(caminho);

    // A new hidden file of a name no one can foresee, never one that was there: a link planted
    // beside the record leads nowhere.
    std::filesystem::path temporario;
    std::error_code erro;
    ArquivoAberto arquivo = criaArquivoAoLado(destino, temporario, erro);
    if (erro) falhaGravacao(caminho, erro);
    erro = arquivo.grava(conteudo);
    // The file is renamed still open, so that its state is read from it and not by its name
    // again: one lookup of the path less for every record.
    bool eraLink = false;
    if (!erro) erro = substituiArquivoSeNaoForLink(temporario, destino, eraLink);
    if (erro) {
        // The save has failed already; a temporary left behind goes with the next clean-up.
        arquivo.fecha();
        std::error_code ignorado;
        std::filesystem::remove(temporario, ignorado);
        if (eraLink)
            throw ErroArquivo("O arquivo " + caminho +
                              " é um link simbólico, que a exportação não substitui nem segue; "
                              "nada foi gravado nele nem no arquivo a que ele leva. Apague o "
                              "link e gere os arquivos de novo.");
        falhaGravacao(caminho, erro);
    }
    std::optional<EstadoArquivo> estado = arquivo.estado();
    // A write the system kept for later may fail only now: the record's file goes again.
    if (const std::error_code aoFechar = arquivo.fecha()) {
        std::error_code ignorado;
        std::filesystem::remove(destino, ignorado);
        falhaGravacao(caminho, aoFechar);
    }
    return estado;
}

}  // namespace cds
