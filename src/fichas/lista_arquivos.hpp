#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "comum/tipo_ficha.hpp"

namespace cds {

// A record file written in a run, and the kind it holds.
struct ArquivoGerado {
    std::string caminho;
    TipoFicha tipo;

    friend bool operator==(const ArquivoGerado&, const ArquivoGerado&) = default;
};

// ListaArquivos: the files a run wrote, in the order written, a file saved again listed again.
// A month holds hundreds of thousands of them, all in one or two folders and named alike
// ("FichaVacinacao_123.esus.xml"), so each path is kept as its folder and the start and end of
// its name, each kept once for the list, and the middle of its name, in blocks of text: some
// 25 bytes a file instead of some 150. A month's 355,550 files take some 9 MiB here, where a
// vector of ArquivoGerado took 84 MiB at its peak, on a run whose whole peak is some 105 MiB.
// An entry is read back as an ArquivoGerado, by value.
class ListaDeArquivos {
  public:
    class const_iterator {
      public:
        using iterator_category = std::input_iterator_tag;
        using value_type = ArquivoGerado;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = ArquivoGerado;

        const_iterator() = default;
        const_iterator(const ListaDeArquivos* lista, std::size_t i) : lista(lista), i(i) {}
        ArquivoGerado operator*() const { return (*lista)[i]; }
        const_iterator& operator++() {
            ++i;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator antes = *this;
            ++i;
            return antes;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) {
            return a.i == b.i;
        }

      private:
        const ListaDeArquivos* lista = nullptr;
        std::size_t i = 0;
    };
    using iterator = const_iterator;
    using value_type = ArquivoGerado;
    using size_type = std::size_t;

    ListaDeArquivos() = default;
    ListaDeArquivos(std::initializer_list<ArquivoGerado> arquivos);
    // From a plain list, as tests and callers outside a run have it.
    ListaDeArquivos(const std::vector<ArquivoGerado>& arquivos);  // NOLINT: implicit on purpose
    // The names stay where they are; the list moved from is left empty.
    ListaDeArquivos(ListaDeArquivos&& outra) noexcept;
    ListaDeArquivos& operator=(ListaDeArquivos&& outra) noexcept;
    ListaDeArquivos(const ListaDeArquivos& outra);
    ListaDeArquivos& operator=(const ListaDeArquivos& outra);

    void push_back(const ArquivoGerado& arquivo);
    std::size_t size() const { return entradas.size(); }
    bool empty() const { return entradas.empty(); }
    void clear();

    ArquivoGerado operator[](std::size_t i) const { return {caminho(i), tipo(i)}; }
    std::string caminho(std::size_t i) const;
    TipoFicha tipo(std::size_t i) const { return static_cast<TipoFicha>(entradas[i].tipo); }

    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, entradas.size()}; }

    std::vector<ArquivoGerado> comoVetor() const;

    friend bool operator==(const ListaDeArquivos& a, const ListaDeArquivos& b);
    friend bool operator==(const ListaDeArquivos& a, const std::vector<ArquivoGerado>& b);

  private:
    // A name is its start (up to its first digit), its middle, and its end (from the first
    // dot after its start), the start and end as places in `pecas`; a piece too long, or one
    // past the table's room, stays in the middle.
    struct Entrada {
        const char* meio;
        std::uint32_t tamanho : 24;
        std::uint32_t tipo : 8;
        std::uint16_t pasta;
        std::uint8_t inicio;
        std::uint8_t fim;
    };
    static constexpr std::uint8_t kSemPeca = 0xFF;
    static constexpr std::size_t kMaiorPeca = 64;

    std::string_view peca(std::uint8_t i) const {
        return i == kSemPeca ? std::string_view() : pecas[i];
    }
    std::string_view meio(const Entrada& e) const { return {e.meio, e.tamanho}; }
    std::string nome(std::size_t i) const;
    // The place of `texto` in `pecas`, added if need be; kSemPeca when it does not go there.
    std::uint8_t lugarDaPeca(std::string_view texto, std::uint8_t ultima);
    // Room for `tamanho` more characters of names, in the last block or a new one.
    char* reserva(std::size_t tamanho);

    static constexpr std::size_t kBloco = 64 * 1024;

    // Each folder with its separator at the end, as the paths have it.
    std::vector<std::string> pastas;
    // The starts and ends of names.
    std::vector<std::string> pecas;
    std::vector<std::unique_ptr<char[]>> blocos;
    // The size of the last block, and what is still free at its end.
    std::size_t tamanhoDoBloco = 0;
    std::size_t livreNoBloco = 0;
    // In pieces, not one array: no copy of the whole as it grows.
    std::deque<Entrada> entradas;
};

}  // namespace cds
