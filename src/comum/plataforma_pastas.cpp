#include "comum/plataforma_pastas.hpp"

#include <cstdlib>
#include <string>
#include <system_error>

#include "comum/plataforma_windows.hpp"

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

fs::path pastaDeCacheDoUsuario() {
    return pastaDoAmbiente(L"LOCALAPPDATA");
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

fs::path pastaDeCacheDoUsuario() {
    if (fs::path pasta = pastaDoAmbiente("XDG_CACHE_HOME"); !pasta.empty()) return pasta;
    if (fs::path casa = pastaDoAmbiente("HOME"); !casa.empty()) return casa / ".cache";
    return {};
}

#endif

}  // namespace cds
