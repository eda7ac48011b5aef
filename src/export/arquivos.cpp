#include "export/arquivos.hpp"

#include <fstream>
#include <system_error>

#include "comum/cp1252.hpp"
#include "comum/erro.hpp"
#include "comum/plataforma_arquivos.hpp"

namespace cds {

namespace fs = std::filesystem;

void DeletaArquivosDir(const std::string& RootDir) {
    // The folder itself, not what a trailing separator would resolve it to.
    std::string pasta = RootDir;
    while (pasta.size() > 1 && pasta.back() == fs::path::preferred_separator) pasta.pop_back();
    std::error_code ecLink;
    if (fs::is_symlink(pasta, ecLink))
        throw ErroArquivo("A pasta " + pasta +
                          " é um link simbólico para outra pasta; ela não será esvaziada. Use "
                          "uma pasta arquivosXML de verdade na pasta de saída.");
    // Listed first, deleted after, so that deleting does not disturb the listing. A listing
    // that breaks off leaves the rest of the folder as it is, like a failed deletion.
    std::vector<fs::path> arquivos;
    std::error_code ec;
    for (fs::directory_iterator it(pasta, ec), fim; !ec && it != fim; it.increment(ec)) {
        std::error_code ecTipo;
        // fs::remove would take an empty folder too; only files go.
        if (!it->is_directory(ecTipo)) arquivos.push_back(it->path());
    }
    for (const fs::path& arquivo : arquivos) fs::remove(arquivo, ec);
}

void salvaErrosCadastro(const fs::path& arquivo, const std::vector<std::string>& linhas) {
    if (linhas.empty()) return;
    std::string texto;
    for (const std::string& linha : linhas) {
        texto += utf8ParaCp1252(linha);
        texto += "\r\n";
    }
    // Written beside the target and renamed over it, so that a failed save leaves the earlier
    // list whole rather than half of the new one.
    fs::path temporario = arquivo;
    temporario += ".tmp";
    errno = 0;
    std::ofstream saida(temporario, std::ios::binary | std::ios::trunc);
    saida.write(texto.data(), static_cast<std::streamsize>(texto.size()));
    saida.close();
    int erro = saida ? 0 : errno;
    std::error_code ec;
    if (saida) fs::rename(temporario, arquivo, ec);
    if (ec) erro = ec.value();
    if (!saida || ec) {
        fs::remove(temporario, ec);
        throw ErroArquivo("Não foi possível gravar o arquivo " + arquivo.string() +
                          (erro != 0 ? ": " + motivoDoSistema(erro) : std::string()) + ".");
    }
}

}  // namespace cds
