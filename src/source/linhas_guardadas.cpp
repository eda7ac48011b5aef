#include "source/linhas_guardadas.hpp"

#include <cstdint>
#include <stdexcept>

#include "comum/erro.hpp"

namespace cds {
namespace {

constexpr std::size_t kBufferArquivo = 1 << 16;

bool escreve(std::FILE* f, const void* dados, std::size_t tamanho) {
    return tamanho == 0 || std::fwrite(dados, 1, tamanho, f) == tamanho;
}

void le(std::FILE* f, void* dados, std::size_t tamanho) {
    if (tamanho != 0 && std::fread(dados, 1, tamanho, f) != tamanho)
        throw ErroArquivo("Não foi possível ler as linhas guardadas em arquivo temporário");
}

}  // namespace

std::unique_ptr<LinhasGuardadas> LinhasGuardadas::cria() {
    std::FILE* f = std::tmpfile();
    if (!f) return nullptr;
    std::setvbuf(f, nullptr, _IOFBF, kBufferArquivo);
    return std::unique_ptr<LinhasGuardadas>(new LinhasGuardadas(f));
}

LinhasGuardadas::LinhasGuardadas(std::FILE* arquivo) : arquivo(arquivo) {}

LinhasGuardadas::~LinhasGuardadas() {
    std::fclose(arquivo);
}

// A row is its bytes as the statement left them, then each blob as its length and its text.
bool LinhasGuardadas::guarda(const Linha& linha) {
    if (!atual.formato) {
        atual.formato = linha.formato;
        atual.dados.resize(linha.dados.size());
        atual.blobs.resize(linha.blobs.size());
    }
    if (linha.formato != atual.formato)
        throw std::logic_error("linhas de comandos diferentes guardadas juntas");
    if (!escreve(arquivo, linha.dados.data(), linha.dados.size())) return false;
    for (const std::string& blob : linha.blobs) {
        const std::uint64_t tamanho = blob.size();
        if (!escreve(arquivo, &tamanho, sizeof tamanho) ||
            !escreve(arquivo, blob.data(), blob.size()))
            return false;
    }
    ++total;
    return true;
}

void LinhasGuardadas::voltaAoInicio() {
    if (std::fflush(arquivo) != 0 || std::fseek(arquivo, 0, SEEK_SET) != 0)
        throw ErroArquivo("Não foi possível reler as linhas guardadas em arquivo temporário");
    lidas = 0;
}

const Linha* LinhasGuardadas::proxima() {
    if (lidas == total) return nullptr;
    le(arquivo, atual.dados.data(), atual.dados.size());
    for (std::string& blob : atual.blobs) {
        std::uint64_t tamanho = 0;
        le(arquivo, &tamanho, sizeof tamanho);
        blob.resize(tamanho);
        le(arquivo, blob.data(), blob.size());
    }
    ++lidas;
    return &atual;
}

}  // namespace cds
