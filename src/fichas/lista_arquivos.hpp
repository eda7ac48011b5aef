#pragma once

#include <cstddef>
#include <cstdint>
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
// A month holds hundreds of thousands of them, all in one or two folders, so each path is kept
// as its folder, once for the list, and its name, in blocks of text: some 60 bytes a file
// instead of some 150. An entry is read back as an ArquivoGerado, by value.
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
    TipoFicha tipo(std::size_t i) const { return entradas[i].tipo; }
    // Whether two entries name the same path, and a hash equal for equal paths, without
    // building either.
    bool mesmoCaminho(std::size_t a, std::size_t b) const;
    std::size_t hashDoCaminho(std::size_t i) const;

    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, entradas.size()}; }

    std::vector<ArquivoGerado> comoVetor() const;

    friend bool operator==(const ListaDeArquivos& a, const ListaDeArquivos& b);
    friend bool operator==(const ListaDeArquivos& a, const std::vector<ArquivoGerado>& b);

  private:
    struct Entrada {
        const char* nome;
        std::uint32_t tamanho;
        std::uint16_t pasta;
        TipoFicha tipo;
    };
    std::string_view nome(std::size_t i) const { return {entradas[i].nome, entradas[i].tamanho}; }
    // Room for `tamanho` more characters of names, in the last block or a new one.
    char* reserva(std::size_t tamanho);

    static constexpr std::size_t kBloco = 64 * 1024;

    // Each folder with its separator at the end, as the paths have it.
    std::vector<std::string> pastas;
    std::vector<std::unique_ptr<char[]>> blocos;
    // The size of the last block, and what is still free at its end.
    std::size_t tamanhoDoBloco = 0;
    std::size_t livreNoBloco = 0;
    std::vector<Entrada> entradas;
};

}  // namespace cds
