#pragma once

#include <QString>
#include <filesystem>
#include <string>

namespace cds {

// A path as the window shows it: its UTF-8 is its bytes on Linux and its wide name converted on
// Windows.
inline QString textoDoCaminho(const std::filesystem::path& caminho) {
    const std::u8string utf8 = caminho.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(utf8.data()),
                             static_cast<qsizetype>(utf8.size()));
}

// The program's UTF-8 text of a path (a setting, the run's archive) as a path, read as UTF-8 on
// Windows too.
inline std::filesystem::path caminhoDoTexto(const std::string& texto) {
    return std::filesystem::path(std::u8string(texto.begin(), texto.end()));
}

}  // namespace cds
