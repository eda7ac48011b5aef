#include "export/pasta_saida.hpp"

#include <system_error>

#include "comum/erro.hpp"
#include "comum/plataforma_pastas.hpp"
#include "comum/texto.hpp"
#include "fichas/parametros.hpp"

namespace cds {

namespace {

namespace fs = std::filesystem;

fs::path caminhoUtf8(std::string_view texto) {
    return fs::path(std::u8string(texto.begin(), texto.end()));
}

void verificaDono(const fs::path& pasta, const std::string& qual) {
    std::error_code erro;
    const std::optional<AcessoDaPasta> acesso = acessoDaPasta(pasta, erro);
    // A folder not there is made by the run; one that cannot be read, the run's writing there
    // meets and explains.
    if (!acesso) return;
    const std::string nome = pasta.string();
    if (acesso->deOutroUsuario)
        throw ErroArquivo(qual + " " + nome + " pertence a outro usuário (" + acesso->dono +
                          "), não a " + acesso->usuario +
                          ", que faz a exportação. As fichas têm dados pessoais de saúde dos "
                          "cidadãos: use uma pasta sua. Nada foi gravado.");
    if (acesso->abertaAOutros)
        throw ErroArquivo(qual + " " + nome +
                          " pode ser alterada por outros usuários (permissões " +
                          acesso->permissoes +
                          "). As fichas têm dados pessoais de saúde dos cidadãos: tire dela a "
                          "permissão de gravação do grupo e dos outros (chmod go-w " +
                          nome + ") ou use outra pasta. Nada foi gravado.");
}

// The same folder as `pasta` (device and inode), however spelled; false when either is
// missing.
bool mesmaPasta(const fs::path& uma, const fs::path& outra) {
    std::error_code ec;
    const bool mesma = fs::equivalent(uma.empty() ? fs::path(".") : uma, outra, ec);
    return mesma && !ec;
}

// `arquivo` is in `pasta`: its folder as written, or the folder of the file its links lead
// to.
bool estaNaPasta(const fs::path& arquivo, const fs::path& pasta) {
    if (mesmaPasta(arquivo.parent_path(), pasta)) return true;
    std::error_code ec;
    const fs::path real = fs::canonical(arquivo, ec);
    return !ec && mesmaPasta(real.parent_path(), pasta);
}

}  // namespace

void verificaDonoDaPastaDeSaida(const std::string& Caminho) {
    verificaDono(caminhoUtf8(Caminho), "A pasta de saída");
    verificaDono(caminhoUtf8(pastaXml(Caminho)), "A pasta");
}

void verificaArquivosNaPastaXml(const std::string& Caminho, const std::string& database,
                                const fs::path& config) {
    const fs::path pasta = caminhoUtf8(pastaXml(Caminho));
    // The clean-up would leave them, but a record may be written over a file of its name, and
    // the clinic's own files have no place among the records of the month.
    const std::string porque =
        ". Essa pasta recebe as fichas de cada exportação, que podem substituir o que estiver "
        "nela: mova o arquivo para outra pasta (e diga em config.ini onde ele ficou) ou escolha "
        "outra pasta de saída. Nada foi gravado.";
    if (const std::optional<fs::path> banco = arquivoLocalDoBanco(database);
        banco && estaNaPasta(*banco, pasta))
        throw ErroArquivo("O banco de dados da clínica (" + std::string(apara(database)) +
                          ") está na pasta " + pastaXml(Caminho) + porque);
    if (estaNaPasta(config, pasta))
        throw ErroArquivo("O arquivo de configuração " + config.string() + " está na pasta " +
                          pastaXml(Caminho) + porque);
}

std::optional<fs::path> arquivoLocalDoBanco(std::string_view database) {
    const std::string_view texto = apara(database);
    if (texto.empty()) return std::nullopt;
    // A protocol ("inet://host/path"), or Windows' named pipes ("\\host\path").
    if (texto.find("://") != std::string_view::npos || texto.starts_with("\\\\"))
        return std::nullopt;
    const std::size_t doisPontos = texto.find(':');
    // "C:\dados\clinica.fdb": a drive letter, not a host.
    const bool unidade =
        doisPontos == 1 && texto.size() > 2 &&
        ((texto[0] >= 'A' && texto[0] <= 'Z') || (texto[0] >= 'a' && texto[0] <= 'z')) &&
        (texto[2] == '\\' || texto[2] == '/');
    if (doisPontos != std::string_view::npos && !unidade) return std::nullopt;
    return caminhoUtf8(texto);
}

}  // namespace cds
