#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "suporte/banco_teste.hpp"

namespace cds::teste {

// A file system of its own, small enough to fill: a tmpfs of `bytes` mounted on a fresh
// folder, unmounted with the object. Mounting needs root; where it cannot be done,
// `montado()` is false and `motivo()` says why, for the test to skip with.
class DiscoPequeno {
  public:
    explicit DiscoPequeno(std::size_t bytes);
    ~DiscoPequeno();
    DiscoPequeno(const DiscoPequeno&) = delete;
    DiscoPequeno& operator=(const DiscoPequeno&) = delete;

    bool montado() const { return motivoFalha.empty(); }
    const std::string& motivo() const { return motivoFalha; }
    const std::filesystem::path& caminho() const { return pasta.caminho(); }
    std::filesystem::path operator/(const std::string& nome) const { return pasta / nome; }

    // Writes a file of filler until no more than `livres` bytes are left free.
    void enche(std::size_t livres = 0);
    // Bytes still free.
    std::size_t livres() const;

  private:
    PastaTemporaria pasta;
    std::string motivoFalha;
};

// The exit status of a shell command (-1 when it did not exit normally), its output in
// `saida`.
int executaComando(const std::string& comando, std::string* saida = nullptr);

}  // namespace cds::teste
