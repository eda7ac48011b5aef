#pragma once

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace cds {

// The folder of the program's own settings under the user's configuration folder.
inline constexpr char kPastaConfigUsuario[] = "exportador-cds";

// Which config.ini a run uses, and where it was looked for.
struct LocalConfig {
    // A file named by the operator: looked for nowhere else. Implicit, so that a path serves
    // wherever the file is named.
    LocalConfig(std::filesystem::path arquivo) : arquivo(arquivo), procurados{std::move(arquivo)} {}
    LocalConfig(std::filesystem::path arquivo, std::vector<std::filesystem::path> procurados)
        : arquivo(std::move(arquivo)), procurados(std::move(procurados)) {}

    std::filesystem::path arquivo;
    // The places looked at, in order; `arquivo` is one of them.
    std::vector<std::filesystem::path> procurados;
};

// The usual places of config.ini, in the order they are tried: beside the executable (where
// Windows programs keep theirs), then the user's configuration folder
// ($XDG_CONFIG_HOME or ~/.config, %APPDATA% on Windows) under kPastaConfigUsuario.
std::vector<std::filesystem::path> locaisDoConfig();

// The file of --config when it is given, whether or not it exists: the operator named it, and
// another file in its place would be another clinic's. Without it, the first usual place that
// has one; when none has, the first usual place, and the run then refuses naming them all.
// Decided once, when the program starts; erros.txt goes beside the file chosen.
LocalConfig localizaConfig(const std::optional<std::filesystem::path>& opcao);

}  // namespace cds
