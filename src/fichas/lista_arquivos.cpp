#include "fichas/lista_arquivos.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

namespace cds {

ListaDeArquivos::ListaDeArquivos(std::initializer_list<ArquivoGerado> arquivos) {
    for (const ArquivoGerado& a : arquivos) push_back(a);
}

ListaDeArquivos::ListaDeArquivos(const std::vector<ArquivoGerado>& arquivos) {
    for (const ArquivoGerado& a : arquivos) push_back(a);
}

ListaDeArquivos::ListaDeArquivos(ListaDeArquivos&& outra) noexcept {
    *this = std::move(outra);
}

ListaDeArquivos& ListaDeArquivos::operator=(ListaDeArquivos&& outra) noexcept {
    if (this != &outra) {
        pastas = std::move(outra.pastas);
        pecas = std::move(outra.pecas);
        blocos = std::move(outra.blocos);
        entradas = std::move(outra.entradas);
        tamanhoDoBloco = std::exchange(outra.tamanhoDoBloco, 0);
        livreNoBloco = std::exchange(outra.livreNoBloco, 0);
        outra.clear();
    }
    return *this;
}

ListaDeArquivos::ListaDeArquivos(const ListaDeArquivos& outra) {
    for (std::size_t i = 0; i < outra.size(); ++i) push_back(outra[i]);
}

ListaDeArquivos& ListaDeArquivos::operator=(const ListaDeArquivos& outra) {
    if (this != &outra) {
        ListaDeArquivos copia(outra);
        *this = std::move(copia);
    }
    return *this;
}

char* ListaDeArquivos::reserva(std::size_t tamanho) {
    if (tamanho > livreNoBloco) {
        // A name longer than a block has a block of its own.
        const std::size_t bloco = std::max(tamanho, kBloco);
        blocos.push_back(std::make_unique<char[]>(bloco));
        tamanhoDoBloco = bloco;
        livreNoBloco = bloco;
    }
    char* onde = blocos.back().get() + (tamanhoDoBloco - livreNoBloco);
    livreNoBloco -= tamanho;
    return onde;
}

std::uint8_t ListaDeArquivos::lugarDaPeca(std::string_view texto, std::uint8_t ultima) {
    if (texto.empty() || texto.size() > kMaiorPeca) return kSemPeca;
    // The piece of the last entry, almost always; otherwise one of the few others.
    if (ultima != kSemPeca && pecas[ultima] == texto) return ultima;
    const auto onde = std::find(pecas.begin(), pecas.end(), texto);
    if (onde != pecas.end()) return static_cast<std::uint8_t>(onde - pecas.begin());
    if (pecas.size() >= kSemPeca) return kSemPeca;
    pecas.emplace_back(texto);
    return static_cast<std::uint8_t>(pecas.size() - 1);
}

void ListaDeArquivos::push_back(const ArquivoGerado& arquivo) {
    const std::string_view caminho = arquivo.caminho;
    const std::size_t corte = caminho.find_last_of("/\\");
    const std::size_t inicioDoNome = corte == std::string_view::npos ? 0 : corte + 1;
    const std::string_view pasta = caminho.substr(0, inicioDoNome);
    std::string_view nomeDoArquivo = caminho.substr(inicioDoNome);

    // The folder of the last entry, almost always; otherwise one of the few others.
    std::size_t indice = pastas.size();
    if (!entradas.empty() && pastas[entradas.back().pasta] == pasta) {
        indice = entradas.back().pasta;
    } else {
        indice = static_cast<std::size_t>(std::find(pastas.begin(), pastas.end(), pasta) -
                                          pastas.begin());
        if (indice == pastas.size()) {
            if (pastas.size() > std::numeric_limits<std::uint16_t>::max())
                throw std::length_error("pastas demais na lista de arquivos");
            pastas.emplace_back(pasta);
        }
    }

    const std::size_t digito =
        std::min(nomeDoArquivo.find_first_of("0123456789"), nomeDoArquivo.size());
    const std::size_t ponto = std::min(nomeDoArquivo.find('.', digito), nomeDoArquivo.size());
    const bool primeira = entradas.empty();
    const std::uint8_t inicio =
        lugarDaPeca(nomeDoArquivo.substr(0, digito), primeira ? kSemPeca : entradas.back().inicio);
    const std::uint8_t fim =
        lugarDaPeca(nomeDoArquivo.substr(ponto), primeira ? kSemPeca : entradas.back().fim);
    if (fim != kSemPeca) nomeDoArquivo.remove_suffix(nomeDoArquivo.size() - ponto);
    if (inicio != kSemPeca) nomeDoArquivo.remove_prefix(digito);
    if (nomeDoArquivo.size() >= (std::size_t{1} << 24))
        throw std::length_error("nome de arquivo longo demais");

    char* onde = reserva(nomeDoArquivo.size());
    std::memcpy(onde, nomeDoArquivo.data(), nomeDoArquivo.size());
    Entrada entrada{};
    entrada.meio = onde;
    entrada.tamanho = static_cast<std::uint32_t>(nomeDoArquivo.size());
    entrada.tipo = static_cast<std::uint32_t>(arquivo.tipo);
    entrada.pasta = static_cast<std::uint16_t>(indice);
    entrada.inicio = inicio;
    entrada.fim = fim;
    entradas.push_back(entrada);
}

void ListaDeArquivos::clear() {
    pastas.clear();
    pecas.clear();
    blocos.clear();
    tamanhoDoBloco = 0;
    livreNoBloco = 0;
    entradas.clear();
}

std::string ListaDeArquivos::nome(std::size_t i) const {
    const Entrada& e = entradas[i];
    const std::string_view pedacos[] = {peca(e.inicio), meio(e), peca(e.fim)};
    std::string texto;
    texto.reserve(pedacos[0].size() + pedacos[1].size() + pedacos[2].size());
    for (const std::string_view p : pedacos) texto += p;
    return texto;
}

std::string ListaDeArquivos::caminho(std::size_t i) const {
    return pastas[entradas[i].pasta] + nome(i);
}

std::vector<ArquivoGerado> ListaDeArquivos::comoVetor() const {
    std::vector<ArquivoGerado> vetor;
    vetor.reserve(size());
    for (std::size_t i = 0; i < size(); ++i) vetor.push_back((*this)[i]);
    return vetor;
}

bool operator==(const ListaDeArquivos& a, const ListaDeArquivos& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a.tipo(i) != b.tipo(i) || a.caminho(i) != b.caminho(i)) return false;
    return true;
}

bool operator==(const ListaDeArquivos& a, const std::vector<ArquivoGerado>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a.tipo(i) != b[i].tipo || a.caminho(i) != b[i].caminho) return false;
    return true;
}

}  // namespace cds
