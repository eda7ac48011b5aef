#include "export/local_config.hpp"

#include <system_error>

#include "comum/plataforma_pastas.hpp"
#include "export/arquivo_ini.hpp"

namespace cds {

namespace fs = std::filesystem;

namespace {

bool sobOPrefixoDoSistema(const fs::path& pasta) {
    const fs::path prefixo(kPrefixoDoSistema);
    const fs::path relativo = pasta.lexically_normal().lexically_relative(prefixo);
    return pasta.is_absolute() && !relativo.empty() && *relativo.begin() != "..";
}

}  // namespace

PastasDoConfig pastasDoConfig() {
    return {pastaDoExecutavel(), pastaDeConfiguracaoDoUsuario(), pastaDeConfiguracaoDoSistema()};
}

std::vector<fs::path> locaisDoConfig(const PastasDoConfig& pastas) {
    std::vector<fs::path> locais;
    if (!pastas.programa.empty() &&
        (pastas.sistema.empty() || !sobOPrefixoDoSistema(pastas.programa)))
        locais.push_back(pastas.programa / kNomeArquivoIni);
    for (const fs::path& pasta : {pastas.usuario, pastas.sistema})
        if (!pasta.empty()) locais.push_back(pasta / kPastaConfigUsuario / kNomeArquivoIni);
    return locais;
}

std::vector<fs::path> locaisDoConfig() {
    return locaisDoConfig(pastasDoConfig());
}

LocalConfig localizaConfig(const std::optional<fs::path>& opcao, const PastasDoConfig& pastas) {
    if (opcao) return LocalConfig(*opcao);
    std::vector<fs::path> locais = locaisDoConfig(pastas);
    fs::path escolhido = locais.front();
    for (const fs::path& local : locais) {
        std::error_code ec;
        if (fs::exists(local, ec)) {
            escolhido = local;
            break;
        }
    }
    fs::path pastaDosErros = escolhido.parent_path();
    fs::path gravarEm = escolhido;
    if (!pastas.sistema.empty() && !pastas.usuario.empty() &&
        pastaDosErros == pastas.sistema / kPastaConfigUsuario) {
        pastaDosErros = pastas.usuario / kPastaConfigUsuario;
        gravarEm = pastaDosErros / kNomeArquivoIni;
    }
    return LocalConfig(std::move(escolhido), std::move(locais), std::move(pastaDosErros),
                       std::move(gravarEm));
}

LocalConfig localizaConfig(const std::optional<fs::path>& opcao) {
    return localizaConfig(opcao, pastasDoConfig());
}

}  // namespace cds
