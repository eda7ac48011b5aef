#include "export/local_config.hpp"

#include <system_error>

#include "comum/plataforma_pastas.hpp"
#include "export/arquivo_ini.hpp"

namespace cds {

namespace fs = std::filesystem;

std::vector<fs::path> locaisDoConfig() {
    std::vector<fs::path> locais{pastaDoExecutavel() / kNomeArquivoIni};
    const fs::path usuario = pastaDeConfiguracaoDoUsuario();
    if (!usuario.empty()) locais.push_back(usuario / kPastaConfigUsuario / kNomeArquivoIni);
    return locais;
}

LocalConfig localizaConfig(const std::optional<fs::path>& opcao) {
    if (opcao) return LocalConfig(*opcao);
    std::vector<fs::path> locais = locaisDoConfig();
    for (const fs::path& local : locais) {
        std::error_code ec;
        if (fs::exists(local, ec)) {
            fs::path escolhido = local;
            return LocalConfig(std::move(escolhido), std::move(locais));
        }
    }
    fs::path primeiro = locais.front();
    return LocalConfig(std::move(primeiro), std::move(locais));
}

}  // namespace cds
