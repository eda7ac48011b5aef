#include "comum/plataforma_pastas.hpp"

#include <cstdlib>
#include <string>
#include <system_error>

#include "comum/plataforma_windows.hpp"

#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>
#endif

namespace cds {

namespace fs = std::filesystem;

namespace {

fs::path pastaAtual() {
    std::error_code erro;
    fs::path atual = fs::current_path(erro);
    return erro ? fs::path() : atual;
}

#ifndef _WIN32
// An absolute path from the environment, or empty: a relative one would depend on the folder
// the program was started from.
fs::path pastaDoAmbiente(const char* variavel) {
    const char* valor = std::getenv(variavel);
    if (valor == nullptr || *valor == '\0') return {};
    fs::path pasta(valor);
    return pasta.is_absolute() ? pasta : fs::path();
}
#endif

}  // namespace

#ifdef _WIN32

fs::path pastaDoExecutavel() {
    // A path longer than MAX_PATH comes back cut short: the buffer grows until it fits.
    std::wstring nome(MAX_PATH, L'\0');
    while (nome.size() <= 32768) {
        const DWORD n = GetModuleFileNameW(nullptr, nome.data(), static_cast<DWORD>(nome.size()));
        if (n == 0) break;
        if (n < nome.size()) {
            nome.resize(n);
            return fs::path(nome).parent_path();
        }
        nome.resize(nome.size() * 2);
    }
    return pastaAtual();
}

namespace {

// The wide variable: a user name with accents does not fit the ANSI code page.
fs::path pastaDoAmbiente(const wchar_t* variavel) {
    const wchar_t* valor = _wgetenv(variavel);
    if (valor == nullptr || *valor == L'\0') return {};
    fs::path pasta(valor);
    return pasta.is_absolute() ? pasta : fs::path();
}

}  // namespace

fs::path pastaDeConfiguracaoDoUsuario() {
    return pastaDoAmbiente(L"APPDATA");
}

fs::path pastaDeConfiguracaoDoSistema() {
    return {};
}

fs::path pastaDeCacheDoUsuario() {
    return pastaDoAmbiente(L"LOCALAPPDATA");
}

fs::path pastaDeDadosDoUsuario() {
    return pastaDoAmbiente(L"LOCALAPPDATA");
}

std::error_code criaPastasPrivadas(const fs::path& pasta) {
    std::error_code erro;
    fs::create_directories(pasta, erro);
    return erro;
}

std::optional<AcessoDaPasta> acessoDaPasta(const fs::path& pasta, std::error_code& erro) {
    const fs::file_status tipo = fs::status(pasta, erro);
    if (erro) return std::nullopt;
    if (!fs::is_directory(tipo)) {
        erro = std::make_error_code(std::errc::not_a_directory);
        return std::nullopt;
    }
    return AcessoDaPasta{};
}

#else

fs::path pastaDoExecutavel() {
    std::error_code erro;
    const fs::path exe = fs::read_symlink("/proc/self/exe", erro);
    return erro ? pastaAtual() : exe.parent_path();
}

fs::path pastaDeConfiguracaoDoUsuario() {
    if (fs::path pasta = pastaDoAmbiente("XDG_CONFIG_HOME"); !pasta.empty()) return pasta;
    if (fs::path casa = pastaDoAmbiente("HOME"); !casa.empty()) return casa / ".config";
    return {};
}

fs::path pastaDeConfiguracaoDoSistema() {
    return "/etc";
}

fs::path pastaDeCacheDoUsuario() {
    if (fs::path pasta = pastaDoAmbiente("XDG_CACHE_HOME"); !pasta.empty()) return pasta;
    if (fs::path casa = pastaDoAmbiente("HOME"); !casa.empty()) return casa / ".cache";
    return {};
}

fs::path pastaDeDadosDoUsuario() {
    if (fs::path pasta = pastaDoAmbiente("XDG_DATA_HOME"); !pasta.empty()) return pasta;
    if (fs::path casa = pastaDoAmbiente("HOME"); !casa.empty()) return casa / ".local" / "share";
    return {};
}

namespace {

std::error_code erroDoSistema(int erro = errno) {
    return {erro, std::generic_category()};
}

std::string nomeDoUsuario(uid_t uid) {
    std::vector<char> espaco(16384);
    struct passwd registro {};
    struct passwd* achado = nullptr;
    if (::getpwuid_r(uid, &registro, espaco.data(), espaco.size(), &achado) == 0 && achado)
        return achado->pw_name;
    return "número " + std::to_string(uid);
}

}  // namespace

std::error_code criaPastasPrivadas(const fs::path& pasta) {
    // From the top down, as create_directories goes, but each new folder made 0700 and given
    // that mode again past the umask.
    fs::path caminho;
    for (const fs::path& parte : pasta) {
        caminho /= parte;
        if (parte.empty()) continue;
        struct stat st {};
        if (::stat(caminho.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) return erroDoSistema(ENOTDIR);
            continue;
        }
        if (errno != ENOENT) return erroDoSistema();
        if (::mkdir(caminho.c_str(), 0700) != 0) {
            // Made by another hand meanwhile is as good.
            const int erro = errno;
            if (erro == EEXIST && ::stat(caminho.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                continue;
            return erroDoSistema(erro);
        }
        if (::chmod(caminho.c_str(), 0700) != 0) return erroDoSistema();
    }
    return {};
}

std::optional<AcessoDaPasta> acessoDaPasta(const fs::path& pasta, std::error_code& erro) {
    struct stat st {};
    if (::stat(pasta.c_str(), &st) != 0) {
        erro = erroDoSistema();
        return std::nullopt;
    }
    if (!S_ISDIR(st.st_mode)) {
        erro = erroDoSistema(ENOTDIR);
        return std::nullopt;
    }
    erro.clear();
    AcessoDaPasta acesso;
    const uid_t usuario = ::geteuid();
    acesso.deOutroUsuario = st.st_uid != usuario;
    acesso.abertaAOutros = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0;
    acesso.dono = nomeDoUsuario(st.st_uid);
    acesso.usuario = nomeDoUsuario(usuario);
    char permissoes[8];
    std::snprintf(permissoes, sizeof permissoes, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    acesso.permissoes = permissoes;
    return acesso;
}

#endif

}  // namespace cds
