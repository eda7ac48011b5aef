#include "source/motor_embarcado.hpp"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "comum/erro.hpp"
#include "comum/plataforma_pastas.hpp"
#include "comum/plataforma_tarefa.hpp"
#include "comum/texto.hpp"

namespace cds {

namespace fs = std::filesystem;

namespace {

// A name for the root that changes with what it was made from; each piece ends with a byte no
// text has, so that "ab" then "c" is not "a" then "bc".
struct Impressao {
    HashDeTexto hash;
    void soma(std::string_view texto) {
        hash.soma(texto);
        hash.soma(std::string_view("\0", 1));
    }
    void soma(std::uint64_t numero) { soma(std::to_string(numero)); }
};

// The installed root's entries that the program's root links to: all but the configuration it
// writes and the character sets' folder it makes.
bool ligadaNaRaiz(const fs::path& nome) {
    return nome != "firebird.conf" && nome != "intl";
}

// The character sets' module and whatever else of the installed intl folder is no
// configuration: copied, since the engine refuses it through a link.
bool copiaDoIntl(const fs::directory_entry& item) {
    return item.is_regular_file() && item.path().extension() != ".conf";
}

// What the root is made from: the installed root, the program's settings, and the files the
// root holds copies of, by size and time of change.
std::string nomeDaRaiz(const fs::path& instalada) {
    Impressao impressao;
    impressao.soma(instalada.string());
    impressao.soma(kConfiguracaoDoMotor);
    for (const fs::directory_entry& item : fs::directory_iterator(instalada / "intl")) {
        if (!copiaDoIntl(item)) continue;
        impressao.soma(item.path().filename().string());
        impressao.soma(static_cast<std::uint64_t>(item.file_size()));
        impressao.soma(
            static_cast<std::uint64_t>(item.last_write_time().time_since_epoch().count()));
    }
    char nome[32];
    std::snprintf(nome, sizeof nome, "firebird-%016llx",
                  static_cast<unsigned long long>(impressao.hash.valor()));
    return nome;
}

// The include line takes the rest of the line as the path; a path the configuration's
// syntax could read otherwise is not used.
bool caminhoLegivelNaConfiguracao(const std::string& caminho) {
    for (const char c : caminho)
        if (c == '#' || c == '\n' || c == '\r' || c == '"' || c == '\'' || c == '$' || c == ' ' ||
            c == '\t')
            return false;
    return !caminho.empty();
}

void monta(const fs::path& instalada, const fs::path& raiz) {
    fs::create_directory(raiz);
    {
        std::ofstream conf(raiz / "firebird.conf", std::ios::binary);
        conf << "# Configuração do motor embarcado do exportador-cds: estes valores, depois os do\n"
                "# Firebird instalado. Gerado pelo programa; o que se mudar aqui se perde.\n"
             << kConfiguracaoDoMotor << "include " << (instalada / "firebird.conf").string()
             << "\n";
        conf.close();
        if (!conf)
            throw fs::filesystem_error("firebird.conf", raiz / "firebird.conf",
                                       std::error_code(errno, std::generic_category()));
    }
    for (const fs::directory_entry& item : fs::directory_iterator(instalada)) {
        const fs::path nome = item.path().filename();
        if (ligadaNaRaiz(nome)) fs::create_symlink(item.path(), raiz / nome);
    }
    fs::create_directory(raiz / "intl");
    for (const fs::directory_entry& item : fs::directory_iterator(instalada / "intl")) {
        const fs::path destino = raiz / "intl" / item.path().filename();
        if (copiaDoIntl(item))
            fs::copy_file(item.path(), destino);
        else
            fs::create_symlink(item.path(), destino);
    }
}

// Whether a root in place has all it was made with: a cache cleaner, or a hand, may have taken
// part of it, and an engine without its character sets opens no database.
bool inteira(const fs::path& instalada, const fs::path& raiz) {
    if (!fs::is_regular_file(raiz / "firebird.conf")) return false;
    for (const fs::directory_entry& item : fs::directory_iterator(instalada)) {
        const fs::path nome = item.path().filename();
        if (ligadaNaRaiz(nome) && !fs::exists(raiz / nome)) return false;
    }
    for (const fs::directory_entry& item : fs::directory_iterator(instalada / "intl")) {
        const fs::path copia = raiz / "intl" / item.path().filename();
        if (!fs::exists(copia)) return false;
        if (copiaDoIntl(item) && fs::file_size(copia) != item.file_size()) return false;
    }
    return true;
}

// A name no other program making the root at the same time will pick.
std::string sufixoUnico() {
    std::random_device aleatorio;
    char sufixo[40];
    std::snprintf(sufixo, sizeof sufixo, ".%08x%08x", aleatorio(), aleatorio());
    return sufixo;
}

// Folders a program killed while making (or putting aside) a root left behind: after an hour
// no program is still at work on one.
void removeSobras(const fs::path& cache) {
    std::error_code erro;
    const auto limite = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const fs::directory_entry& item : fs::directory_iterator(cache, erro)) {
        const std::string nome = item.path().filename().string();
        if (!nome.ends_with(".montando") && !nome.ends_with(".velha")) continue;
        if (item.last_write_time(erro) < limite && !erro) fs::remove_all(item.path(), erro);
    }
}

}  // namespace

fs::path preparaRaizDoMotor(const fs::path& instalada, const fs::path& cache) {
    const fs::path conf = instalada / "firebird.conf";
    if (!fs::is_regular_file(conf) || !fs::is_directory(instalada / "intl")) return {};
    if (!caminhoLegivelNaConfiguracao(conf.string()))
        throw ErroArquivo("A configuração do motor embarcado do Firebird não pode incluir " +
                          conf.string() + ": o caminho tem caracteres que ela lê de outro modo.");
    fs::path montando;
    try {
        const fs::path raiz = cache / nomeDaRaiz(instalada);
        removeSobras(cache);
        // Only a whole root is ever renamed into place; one that lost part of itself since
        // is put aside and made again.
        if (fs::exists(raiz)) {
            if (inteira(instalada, raiz)) return raiz;
            fs::path velha = raiz;
            velha += sufixoUnico() + ".velha";
            std::error_code erro;
            fs::rename(raiz, velha, erro);
            fs::remove_all(erro ? raiz : velha, erro);
        }
        fs::create_directories(cache);
        montando = raiz;
        montando += sufixoUnico() + ".montando";
        monta(instalada, montando);
        std::error_code erro;
        fs::rename(montando, raiz, erro);
        if (erro) {
            // Another program put its root in place first: the same one.
            fs::remove_all(montando, erro);
            montando.clear();
            if (!inteira(instalada, raiz))
                throw fs::filesystem_error("raiz", raiz, std::make_error_code(std::errc::io_error));
        }
        return raiz;
    } catch (const fs::filesystem_error& e) {
        std::error_code erro;
        if (!montando.empty()) fs::remove_all(montando, erro);
        throw ErroArquivo(
            "Não foi possível preparar a configuração do motor embarcado do Firebird "
            "em " +
            cache.string() + " (" + e.path1().string() + "): " + motivoDoSistema(e.code()) +
            ". Para usar outra pasta, defina XDG_CACHE_HOME; para usar a "
            "configuração de outro Firebird, defina FIREBIRD com a pasta dele.");
    }
}

fs::path configuraMotorEmbarcado() {
#if defined(_WIN32) || !defined(EXPORTADOR_RAIZ_FIREBIRD)
    return {};
#else
    const char* escolhida = std::getenv("FIREBIRD");
    if (escolhida != nullptr && *escolhida != '\0') return {};
    const fs::path cache = pastaDeCacheDoUsuario();
    if (cache.empty())
        throw ErroArquivo(
            "Não foi possível preparar a configuração do motor embarcado do "
            "Firebird: nem XDG_CACHE_HOME nem HOME dizem onde fica a pasta de cache "
            "do usuário. Defina uma delas, ou FIREBIRD com a pasta do Firebird.");
    const fs::path raiz = preparaRaizDoMotor(EXPORTADOR_RAIZ_FIREBIRD, cache / "exportador-cds");
    if (!raiz.empty() && !defineVariavelDoAmbiente("FIREBIRD", raiz.string()))
        throw ErroArquivo("Não foi possível definir FIREBIRD para o motor embarcado do Firebird: " +
                          motivoDoSistema(errno));
    return raiz;
#endif
}

}  // namespace cds
