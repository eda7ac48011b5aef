#include "export/arquivos.hpp"

#include <algorithm>
#include <system_error>

#include "comum/cp1252.hpp"
#include "comum/erro.hpp"
#include "comum/plataforma_arquivos.hpp"
#include "comum/texto.hpp"
#include "fichas/registro.hpp"

namespace cds {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kExtensaoFicha = ".esus.xml";
// How many names a line of the log gives before it counts the rest.
constexpr std::size_t kNomesNoLog = 5;

// The record's number as the database gives it: digits, a negative one with its sign.
bool numeroDeFicha(std::string_view numero) {
    return numero.find_first_of("0123456789") != std::string_view::npos &&
           numero.find_first_not_of("0123456789-") == std::string_view::npos;
}

bool ehNomeDeFicha(std::string_view nome) {
    if (!nome.ends_with(kExtensaoFicha)) return false;
    nome.remove_suffix(kExtensaoFicha.size());
    for (const DescricaoFicha& d : registroFichas()) {
        const std::string_view prefixo = prefixoArquivo(d.tipo);
        if (!nome.starts_with(prefixo)) continue;
        const std::string_view resto = nome.substr(prefixo.size());
        const std::size_t sufixo = resto.find('_');
        if (!numeroDeFicha(resto.substr(0, sufixo))) continue;
        if (sufixo == std::string_view::npos) return true;
        const std::string_view n = resto.substr(sufixo + 1);
        if (!n.empty() && soDigitos(n)) return true;
    }
    return false;
}

// The ending criaArquivoAoLado gives: "<process>-<counter>-<random>".
bool finalAoLado(std::string_view final) {
    int pecas = 0;
    for (std::size_t inicio = 0; inicio <= final.size(); ++pecas) {
        const std::size_t fim = std::min(final.find('-', inicio), final.size());
        const std::string_view peca = final.substr(inicio, fim - inicio);
        if (peca.empty() || !soDigitos(peca)) return false;
        inicio = fim + 1;
    }
    return pecas == 3;
}

std::string listaDeNomes(const std::vector<std::string>& nomes, std::size_t total) {
    std::string texto;
    for (const std::string& nome : nomes) texto += (texto.empty() ? "" : ", ") + nome;
    if (total > nomes.size()) texto += " e mais " + std::to_string(total - nomes.size());
    return texto;
}

}  // namespace

bool ehArquivoDaExportacao(std::string_view nome) {
    if (ehNomeDeFicha(nome)) return true;
    if (nome.ends_with(".tmp")) return ehNomeDeFicha(nome.substr(0, nome.size() - 4));
    if (!nome.starts_with('.')) return false;
    const std::size_t fimDaFicha = nome.find(std::string(kExtensaoFicha) + ".");
    if (fimDaFicha == std::string_view::npos) return false;
    const std::size_t final = fimDaFicha + kExtensaoFicha.size() + 1;
    return ehNomeDeFicha(nome.substr(1, final - 2)) && finalAoLado(nome.substr(final));
}

LimpezaPastaXml DeletaArquivosDir(
    const std::string& RootDir,
    const std::function<void(std::size_t feitos, std::size_t total)>& progresso) {
    // The folder itself, not what a trailing separator would resolve it to.
    std::string pasta = RootDir;
    while (pasta.size() > 1 && pasta.back() == fs::path::preferred_separator) pasta.pop_back();
    std::error_code ecLink;
    if (fs::is_symlink(pasta, ecLink))
        throw ErroArquivo("A pasta " + pasta +
                          " é um link simbólico para outra pasta; ela não será esvaziada. Use "
                          "uma pasta arquivosXML de verdade na pasta de saída.");
    LimpezaPastaXml limpeza;
    limpeza.pasta = pasta;
    std::error_code ec;
    fs::directory_iterator it(pasta, ec);
    if (ec) {
        if (ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory)
            limpeza.erroDaListagem = ec;
        return limpeza;
    }
    // The total for the progress: one listing more, of names only, a small part of deleting
    // them (each deletion writes the folder and the file's inode).
    std::size_t total = 0;
    if (progresso) {
        std::error_code ecConta;
        for (fs::directory_iterator conta(pasta, ecConta), fim; !ecConta && conta != fim;
             conta.increment(ecConta))
            ++total;
    }
    std::size_t feitos = 0;
    // Each file goes as the listing reaches it: a month leaves some 355,000, whose paths are
    // never held all at once. A name the listing might skip while the folder changes under it
    // stays, as a file that cannot be deleted does; neither reaches the archive, which packs
    // only the files this run lists as it writes them, so a warning in the log is enough.
    for (const fs::directory_iterator fim; !ec && it != fim; it.increment(ec)) {
        if (progresso) {
            // Entries made since the count raise the total rather than pass it.
            total = std::max(total, feitos + 1);
            progresso(feitos, total);
        }
        ++feitos;
        const fs::directory_entry& entrada = *it;
        std::string nome = entrada.path().filename().string();
        // The type the listing gave, without a call to the system for each file. A link or a
        // folder is nothing the exporter writes, whatever its name.
        std::error_code ecTipo;
        const bool arquivo = !entrada.is_symlink(ecTipo) && entrada.is_regular_file(ecTipo);
        if (!arquivo || !ehArquivoDaExportacao(nome)) {
            if (limpeza.mantidos++ < kNomesNoLog) limpeza.primeirosMantidos.push_back(nome);
            continue;
        }
        std::error_code ecApaga;
        fs::remove(entrada.path(), ecApaga);
        // Gone already, by another hand, is as good as deleted.
        if (!ecApaga || ecApaga == std::errc::no_such_file_or_directory) continue;
        if (limpeza.naoApagados++ == 0) limpeza.motivoNaoApagado = ecApaga;
        if (limpeza.primeirosNaoApagados.size() < kNomesNoLog)
            limpeza.primeirosNaoApagados.push_back(std::move(nome));
    }
    if (ec) limpeza.erroDaListagem = ec;
    if (progresso) progresso(feitos, std::max(total, feitos));
    return limpeza;
}

std::vector<std::string> avisosDaLimpeza(const LimpezaPastaXml& limpeza) {
    std::vector<std::string> avisos;
    if (limpeza.mantidos > 0)
        avisos.push_back(
            "A pasta " + limpeza.pasta + " tem " +
            (limpeza.mantidos == 1
                 ? std::string("1 item que não é ficha do exportador e ficou como estava: ")
                 : std::to_string(limpeza.mantidos) +
                       " itens que não são fichas do exportador e ficaram como estavam: ") +
            listaDeNomes(limpeza.primeirosMantidos, limpeza.mantidos) + ".");
    if (limpeza.naoApagados > 0)
        avisos.push_back(
            "Não foi possível apagar " +
            (limpeza.naoApagados == 1 ? std::string("1 ficha")
                                      : std::to_string(limpeza.naoApagados) + " fichas") +
            " de uma exportação anterior na pasta " + limpeza.pasta + " (" +
            motivoDoSistema(limpeza.motivoNaoApagado) +
            "): " + listaDeNomes(limpeza.primeirosNaoApagados, limpeza.naoApagados) +
            ". Elas não entram no arquivo compactado desta exportação, que leva só as fichas "
            "gravadas agora.");
    if (limpeza.erroDaListagem)
        avisos.push_back("Não foi possível ler toda a pasta " + limpeza.pasta + " (" +
                         motivoDoSistema(limpeza.erroDaListagem) +
                         "); o que não foi lido ficou como estava e não entra no arquivo "
                         "compactado desta exportação.");
    return avisos;
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
    bool link = false;
    if (!erro) erro = substituiArquivoSeNaoForLink(temporario, arquivo, link);
    if (erro) {
        fs::remove(temporario, ec);
        if (link) throw linkNoLugarDaLista(arquivo);
        throw falha(erro);
    }
}

}  // namespace cds
