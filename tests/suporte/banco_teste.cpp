#include "suporte/banco_teste.hpp"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <stdexcept>

#include "source/consulta.hpp"

namespace fs = std::filesystem;

namespace cds::teste {
namespace {

fs::path novaPastaTemporaria() {
    static std::atomic<unsigned> contador{0};
    std::random_device aleatorio;
    for (;;) {
        const fs::path p =
            fs::temp_directory_path() /
            ("exportador-teste-" + std::to_string(::getpid()) + "-" + std::to_string(contador++) +
             "-" + std::to_string(aleatorio() % 100000));
        if (fs::create_directory(p)) return p;
    }
}

std::string leArquivo(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("não foi possível ler " + p.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The schema, run into a template that every test database copies. CTest runs each test in
// a process of its own, so the template is kept in the temporary folder under the hash of the
// schema's text and made again only when the schema changes.
const fs::path& modelo() {
    static std::once_flag feito;
    static fs::path arquivo;
    std::call_once(feito, [] {
        const fs::path schema = fs::path(PROJETO_DIR) / "db" / "schema.sql";
        const auto hash = std::hash<std::string>{}(leArquivo(schema));
        arquivo =
            fs::temp_directory_path() / ("exportador-modelo-" + std::to_string(hash) + ".fdb");
        if (fs::exists(arquivo)) return;
        PastaTemporaria pasta;
        const fs::path novo = pasta.caminho() / "modelo.fdb";
        criaBanco(novo, schema);
        // Another test process may have made it meanwhile; both are the same.
        const fs::path parcial = arquivo.string() + "." + std::to_string(::getpid());
        fs::copy_file(novo, parcial, fs::copy_options::overwrite_existing);
        fs::rename(parcial, arquivo);
    });
    return arquivo;
}

// The statements of a script: split at ";" that ends a line outside quotes.
std::vector<std::string> comandosDoScript(const std::string& texto) {
    std::vector<std::string> comandos;
    std::string atual;
    char aspas = 0;
    bool comentarioLinha = false, comentarioBloco = false;
    for (std::size_t i = 0; i < texto.size(); ++i) {
        const char c = texto[i];
        const char seguinte = i + 1 < texto.size() ? texto[i + 1] : '\0';
        if (comentarioLinha) {
            if (c == '\n') comentarioLinha = false;
            continue;
        }
        if (comentarioBloco) {
            if (c == '*' && seguinte == '/') comentarioBloco = false, ++i;
            continue;
        }
        if (aspas) {
            atual += c;
            if (c == aspas) aspas = 0;
            continue;
        }
        if (c == '-' && seguinte == '-') {
            comentarioLinha = true;
            continue;
        }
        if (c == '/' && seguinte == '*') {
            comentarioBloco = true;
            ++i;
            continue;
        }
        if (c == '\'' || c == '"') aspas = c;
        if (c == ';') {
            comandos.push_back(atual);
            atual.clear();
            continue;
        }
        atual += c;
    }
    comandos.push_back(atual);
    std::vector<std::string> naoVazios;
    for (auto& cmd : comandos)
        if (cmd.find_first_not_of(" \t\r\n") != std::string::npos) naoVazios.push_back(cmd);
    return naoVazios;
}

}  // namespace

PastaTemporaria::PastaTemporaria() : pasta(novaPastaTemporaria()) {}

PastaTemporaria::~PastaTemporaria() {
    std::error_code ec;
    fs::permissions(pasta, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(pasta, ec);
}

void criaBanco(const fs::path& arquivo, const fs::path& script) {
    const fs::path pasta = arquivo.parent_path();
    const fs::path completo = pasta / (arquivo.filename().string() + ".sql");
    {
        std::ofstream out(completo, std::ios::binary);
        out << "CREATE DATABASE '" << arquivo.string() << "' DEFAULT CHARACTER SET WIN1252;\n"
            << leArquivo(script) << "\nCOMMIT;\n";
    }
    const fs::path saida = pasta / (arquivo.filename().string() + ".log");
    const std::string comando = "isql-fb -q -ch UTF8 -user SYSDBA -bail -i '" + completo.string() +
                                "' > '" + saida.string() + "' 2>&1";
    if (std::system(comando.c_str()) != 0)
        throw std::runtime_error("isql-fb falhou ao criar " + arquivo.string() + ":\n" +
                                 leArquivo(saida));
}

BancoTeste::BancoTeste()
    : pastaBanco(novaPastaTemporaria()), arquivoBanco(pastaBanco / "teste.fdb") {
    fs::copy_file(modelo(), arquivoBanco);
}

BancoTeste::~BancoTeste() {
    conexao.reset();
    std::error_code ec;
    fs::remove_all(pastaBanco, ec);
}

std::string BancoTeste::caminho() const {
    const char* servidor = std::getenv("EXPORTADOR_TESTE_SERVIDOR");
    if (servidor && *servidor) return std::string(servidor) + ":" + arquivoBanco.string();
    return arquivoBanco.string();
}

void BancoTeste::executa(const std::string& sql) {
    if (!conexao) {
        conexao = std::make_unique<Conexao>();
        conexao->abre(caminho());
    }
    Transacao transacao(*conexao);
    Consulta(transacao, sql).executa();
    transacao.commit();
}

void BancoTeste::executaScript(const fs::path& script) {
    for (const std::string& comando : comandosDoScript(leArquivo(script))) {
        const auto inicio = comando.find_first_not_of(" \t\r\n");
        const std::string palavra = comando.substr(inicio, 6);
        if (palavra == "COMMIT" || palavra == "commit") continue;
        executa(comando);
    }
}

}  // namespace cds::teste
