#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace cds::teste {

// The official XSD of the e-SUS AB layout 2.2, beside the project's checkout: the wrapper
// that imports every form's schema, so that one schema takes any record file.
inline std::filesystem::path esquemaDoLeiaute() {
    return std::filesystem::path(PROJETO_DIR) / ".." / "shared" / "xsd" / "esus-all-2.2.xsd";
}

// xmllint's report on files, with its options: nothing when it accepts every one. xmllint
// missing is a report too, so that a check never passes for want of a checker.
inline std::string relatorioDoXmllint(const std::string& opcoes,
                                      const std::vector<std::filesystem::path>& arquivos) {
    std::string comando = "xmllint --noout " + opcoes;
    for (const auto& arquivo : arquivos) comando += " '" + arquivo.string() + "'";
    comando += " 2>&1";
    std::string relatorio;
    FILE* saida = popen(comando.c_str(), "r");
    if (!saida) return "xmllint não pôde ser executado";
    char bloco[4096];
    for (std::size_t lidos; (lidos = std::fread(bloco, 1, sizeof bloco, saida)) > 0;)
        relatorio.append(bloco, lidos);
    if (pclose(saida) == 0) return {};
    return relatorio.empty() ? "xmllint falhou sem dizer por quê" : relatorio;
}

// What the layout's schema says of record files: nothing when every one validates, else
// xmllint's own report (the file, the line and the element refused).
inline std::string errosDeLeiaute(const std::vector<std::filesystem::path>& arquivos) {
    return relatorioDoXmllint("--schema '" + esquemaDoLeiaute().string() + "'", arquivos);
}

inline std::string errosDeLeiaute(const std::filesystem::path& arquivo) {
    return errosDeLeiaute(std::vector<std::filesystem::path>{arquivo});
}

// Whether an XML parser reads the file at all, whatever its values: for records that carry
// values no code list has, on purpose.
inline std::string errosDeSintaxe(const std::filesystem::path& arquivo) {
    return relatorioDoXmllint("", {arquivo});
}

}  // namespace cds::teste
