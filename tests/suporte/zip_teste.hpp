#pragma once

#include <minizip/unzip.h>

#include <filesystem>
#include <string>
#include <vector>

namespace cds::teste {

// The names of an archive's entries, in their order; none when it cannot be opened.
inline std::vector<std::string> entradasDoZip(const std::filesystem::path& arquivo) {
    std::vector<std::string> nomes;
    unzFile zip = unzOpen64(arquivo.c_str());
    if (!zip) return nomes;
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        char nome[256];
        unzGetCurrentFileInfo64(zip, nullptr, nome, sizeof nome, nullptr, 0, nullptr, 0);
        nomes.emplace_back(nome);
    }
    unzClose(zip);
    return nomes;
}

}  // namespace cds::teste
