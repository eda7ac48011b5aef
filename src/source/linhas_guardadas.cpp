#include "source/linhas_guardadas.hpp"

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "comum/erro.hpp"
#include "comum/plataforma_arquivos.hpp"

namespace cds {
namespace {

namespace fs = std::filesystem;

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
    std::error_code erro;
    fs::path pasta;
    std::FILE* f = fluxoTemporario("exportador-cds-linhas", pasta, erro);
    if (!f)
        throw ErroArquivo("Não foi possível criar um arquivo temporário " +
                          (pasta.empty() ? std::string("na pasta temporária do sistema")
                                         : "em " + pasta.string()) +
                          " para as linhas lidas do banco de dados: " + motivoDoSistema(erro));
    std::setvbuf(f, nullptr, _IOFBF, kBufferArquivo);
    return std::unique_ptr<LinhasGuardadas>(new LinhasGuardadas(f, pasta));
}

LinhasGuardadas::LinhasGuardadas(std::FILE* arquivo, fs::path pasta)
    : arquivo(arquivo), pasta(std::move(pasta)) {}

LinhasGuardadas::~LinhasGuardadas() {
    std::fclose(arquivo);
}

void LinhasGuardadas::falhou(const char* oQue) const {
    throw ErroArquivo("Não foi possível " + std::string(oQue) +
                      " as linhas lidas do banco de dados no arquivo temporário em " +
                      pasta.string() + ": " + motivoDoSistema(errno));
}

// A row is its bytes as the statement left them, then each blob as its length and its text.
void LinhasGuardadas::guarda(const Linha& linha) {
    if (!atual.formato) {
        atual.formato = linha.formato;
        atual.dados.resize(linha.dados.size());
        atual.blobs.resize(linha.blobs.size());
    }
    if (linha.formato != atual.formato)
        throw std::logic_error("linhas de comandos diferentes guardadas juntas");
    if (!escreve(arquivo, linha.dados.data(), linha.dados.size())) falhou("gravar");
    for (const std::string& blob : linha.blobs) {
        const std::uint64_t tamanho = blob.size();
        if (!escreve(arquivo, &tamanho, sizeof tamanho) ||
            !escreve(arquivo, blob.data(), blob.size()))
            falhou("gravar");
    }
    ++total;
}

void LinhasGuardadas::voltaAoInicio() {
    if (std::fflush(arquivo) != 0) falhou("gravar");
    if (std::fseek(arquivo, 0, SEEK_SET) != 0) falhou("reler");
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
