#include "suporte/banco_teste.hpp"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <random>
#include <stdexcept>

#include "source/consulta.hpp"
#include "suporte/arquivos_teste.hpp"

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

// A template per content, which every test database copies, made by scripts/cria-banco.sh,
// the same script the demo export uses. CTest runs each test in a process of its own, so the
// template is kept in the temporary folder under the hash of the scripts' text and made again
// only when they change.
fs::path modelo(Conteudo conteudo) {
    const bool demo = conteudo == Conteudo::Demonstracao;
    const fs::path db = fs::path(PROJETO_DIR) / "db";
    std::string scripts = leArquivo(db / "schema.sql");
    if (demo) scripts += leArquivo(db / "demo.sql");
    const fs::path arquivo =
        fs::temp_directory_path() / ("exportador-modelo-" + std::string(demo ? "demo-" : "") +
                                     std::to_string(std::hash<std::string>{}(scripts)) + ".fdb");
    static std::mutex feito;
    const std::lock_guard<std::mutex> trava(feito);
    if (fs::exists(arquivo)) return arquivo;

    PastaTemporaria pasta;
    const fs::path novo = pasta / "modelo.fdb";
    const fs::path saida = pasta / "cria-banco.log";
    // The template belongs to SYSDBA whoever the test runs as.
    const std::string comando =
        "ISC_USER=SYSDBA sh '" + (fs::path(PROJETO_DIR) / "scripts" / "cria-banco.sh").string() +
        "' '" + novo.string() + "'" + (demo ? " --demo" : "") + " > '" + saida.string() + "' 2>&1";
    if (std::system(comando.c_str()) != 0)
        throw std::runtime_error("scripts/cria-banco.sh falhou:\n" + leArquivo(saida));
    // Another test process may have made it meanwhile; both are the same.
    const fs::path parcial = arquivo.string() + "." + std::to_string(::getpid());
    fs::copy_file(novo, parcial, fs::copy_options::overwrite_existing);
    fs::rename(parcial, arquivo);
    return arquivo;
}

}  // namespace

PastaTemporaria::PastaTemporaria() : pasta(novaPastaTemporaria()) {}

PastaTemporaria::~PastaTemporaria() {
    std::error_code ec;
    fs::permissions(pasta, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(pasta, ec);
}

BancoTeste::BancoTeste(Conteudo conteudo)
    : pastaBanco(novaPastaTemporaria()), arquivoBanco(pastaBanco / "teste.fdb") {
    fs::copy_file(modelo(conteudo), arquivoBanco);
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

}  // namespace cds::teste
