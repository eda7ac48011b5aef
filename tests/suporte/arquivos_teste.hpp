#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace cds::teste {

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

}  // namespace cds::teste
