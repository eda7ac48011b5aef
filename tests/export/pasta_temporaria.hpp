#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace cds {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// test ends.
class PastaTemporaria {
  public:
    PastaTemporaria() {
        std::random_device aleatorio;
        const std::string nome = "exportador-cds-teste-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(aleatorio()) + std::to_string(aleatorio());
        pasta = std::filesystem::temp_directory_path() / nome;
        std::filesystem::create_directories(pasta);
    }
    ~PastaTemporaria() {
        std::error_code ec;
        std::filesystem::remove_all(pasta, ec);
    }
    PastaTemporaria(const PastaTemporaria&) = delete;
    PastaTemporaria& operator=(const PastaTemporaria&) = delete;

    const std::filesystem::path& caminho() const { return pasta; }
    std::filesystem::path operator/(const std::string& nome) const { return pasta / nome; }

  private:
    std::filesystem::path pasta;
};

inline void escreveArquivo(const std::filesystem::path& arquivo, const std::string& bytes) {
    std::ofstream saida(arquivo, std::ios::binary | std::ios::trunc);
    saida << bytes;
    if (!saida) throw std::runtime_error("não gravou " + arquivo.string());
}

inline std::string leArquivo(const std::filesystem::path& arquivo) {
    std::ifstream entrada(arquivo, std::ios::binary);
    if (!entrada) throw std::runtime_error("não leu " + arquivo.string());
    return {std::istreambuf_iterator<char>(entrada), std::istreambuf_iterator<char>()};
}

}  // namespace cds
