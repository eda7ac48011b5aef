#include "export/arquivos.hpp"

#include <atomic>
#include <random>
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

namespace {

// The list as the file holds it: a line per entry, CR LF after each.
std::string textoDosErros(const std::vector<std::string>& linhas, CodificacaoErros codificacao) {
    std::string texto;
    for (const std::string& linha : linhas) {
        std::string umaLinha = linha;
        for (char& c : umaLinha)
            if (c == '\r' || c == '\n') c = ' ';
        texto += codificacao == CodificacaoErros::Windows1252 ? utf8ParaCp1252(umaLinha) : umaLinha;
        texto += "\r\n";
    }
    return texto;
}

ErroArquivo linkNoLugarDaLista(const fs::path& arquivo) {
    return ErroArquivo("O arquivo " + arquivo.string() +
                       " é um link simbólico; a lista de erros não é gravada através dele, e ele "
                       "ficou como estava. Apague o link para que a lista seja gravada ali.");
}

}  // namespace

void salvaErrosCadastro(const fs::path& arquivo, const std::vector<std::string>& linhas,
                        CodificacaoErros codificacao) {
    std::error_code ec;
    const fs::file_status antes = fs::symlink_status(arquivo, ec);
    if (fs::is_symlink(antes)) throw linkNoLugarDaLista(arquivo);
    if (linhas.empty()) {
        // Only a file is a list to remove; a folder of that name holds none.
        if (fs::is_regular_file(antes) && !fs::remove(arquivo, ec) && ec)
            throw ErroArquivo("Não foi possível apagar o arquivo " + arquivo.string() +
                              ", que tem a lista de erros de uma exportação anterior: " +
                              motivoDoSistema(ec) + ".");
        return;
    }
    const auto falha = [&](const std::error_code& erro) {
        return ErroArquivo("Não foi possível gravar o arquivo " + arquivo.string() + ": " +
                           motivoDoSistema(erro) + ".");
    };
    // A new file of a name nobody can guess, so that nothing put in its place beforehand is
    // written through; renamed over the list, so that a failed save leaves the earlier one whole.
    fs::path temporario;
    std::error_code erro;
    ArquivoAberto novo = criaArquivoAoLado(arquivo, temporario, erro);
    if (erro) throw falha(erro);
    erro = novo.grava(textoDosErros(linhas, codificacao));
    if (!erro) erro = novo.sincroniza();
    if (const std::error_code fechou = novo.fecha(); !erro) erro = fechou;
    // A link made there meanwhile is left as it is too.
    const bool link = fs::is_symlink(fs::symlink_status(arquivo, ec));
    if (!erro && !link) erro = substituiArquivo(temporario, arquivo);
    if (erro || link) {
        fs::remove(temporario, ec);
        if (link) throw linkNoLugarDaLista(arquivo);
        throw falha(erro);
    }
}

ArquivoAberto criaArquivoAoLado(const fs::path& arquivo, fs::path& criado, std::error_code& erro) {
    static std::atomic<unsigned> contador{0};
    std::random_device aleatorio;
    for (;;) {
        const fs::path nome =
            arquivo.parent_path() /
            ("." + arquivo.filename().string() + "." + std::to_string(idDoProcesso()) + "-" +
             std::to_string(contador++) + "-" + std::to_string(aleatorio() % 1000000));
        ArquivoAberto novo = ArquivoAberto::criaNovo(nome, erro);
        if (!erro) {
            criado = nome;
            return novo;
        }
        if (erro != std::errc::file_exists) return novo;
    }
}

}  // namespace cds
