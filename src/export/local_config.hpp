#pragma once

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace cds {

// The folder of the program's own settings under the user's configuration folder.
inline constexpr char kPastaConfigUsuario[] = "exportador-cds";

// The folder a program installed by the system lives under: one there never keeps its settings
// or its error list beside itself.
inline constexpr char kPrefixoDoSistema[] = "/usr";

// Which config.ini a run uses, and where it was looked for.
struct LocalConfig {
    // A file named by the operator: looked for nowhere else. Implicit, so that a path serves
    // wherever the file is named.
    LocalConfig(std::filesystem::path arquivo)
        : arquivo(arquivo),
          procurados{arquivo},
          pastaDosErros(arquivo.parent_path()),
          gravarEm(arquivo) {}
    LocalConfig(std::filesystem::path arquivo, std::vector<std::filesystem::path> procurados,
                std::filesystem::path pastaDosErros, std::filesystem::path gravarEm)
        : arquivo(std::move(arquivo)),
          procurados(std::move(procurados)),
          pastaDosErros(std::move(pastaDosErros)),
          gravarEm(std::move(gravarEm)) {}

    std::filesystem::path arquivo;
    // The places looked at, in order; `arquivo` is one of them.
    std::vector<std::filesystem::path> procurados;
    // Where erros.txt goes: beside `arquivo`, except for the system's settings, which users
    // share and cannot write: then the user's own settings folder.
    std::filesystem::path pastaDosErros;
    // Where a value the program saves goes: `arquivo`, except for the system's settings, whose
    // values go, with the rest of the file, to the user's own config.ini, which is then the
    // one read.
    std::filesystem::path gravarEm;
};

// The folders config.ini may be in: the program's, the user's settings folder
// ($XDG_CONFIG_HOME or ~/.config, %APPDATA% on Windows) and the system's (/etc; none on
// Windows), each empty when there is none.
struct PastasDoConfig {
    std::filesystem::path programa;
    std::filesystem::path usuario;
    std::filesystem::path sistema;
};
PastasDoConfig pastasDoConfig();

// The usual places of config.ini, in the order they are tried: beside the program, only for one
// outside kPrefixoDoSistema (a build run from its build folder, or any program on Windows,
// where programs keep their settings beside them); then kPastaConfigUsuario under the user's
// settings folder; then under the system's.
std::vector<std::filesystem::path> locaisDoConfig(const PastasDoConfig& pastas);
std::vector<std::filesystem::path> locaisDoConfig();

// The file of --config when it is given, whether or not it exists: the operator named it, and
// another file in its place would be another clinic's. Without it, the first usual place that
// has one; when none has, the first usual place, and the run then refuses naming them all.
// Decided once, when the program starts.
LocalConfig localizaConfig(const std::optional<std::filesystem::path>& opcao,
                           const PastasDoConfig& pastas);
LocalConfig localizaConfig(const std::optional<std::filesystem::path>& opcao);

}  // namespace cds
