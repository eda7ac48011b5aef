#include "comum/plataforma_arquivos.hpp"

#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <utility>

#include "comum/plataforma_windows.hpp"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace cds {

namespace fs = std::filesystem;

ArquivoAberto::ArquivoAberto(ArquivoAberto&& outro) noexcept {
    *this = std::move(outro);
}

#ifdef _WIN32

namespace {

// The two failures the callers act on come back as the portable conditions; the rest keep
// the system's own number, and its text.
std::error_code erroDoSistema(DWORD erro = GetLastError()) {
    switch (erro) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::make_error_code(std::errc::file_exists);
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        default:
            return {static_cast<int>(erro), std::system_category()};
    }
}

constexpr DWORD kCompartilhaTudo = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

OVERLAPPED naPosicao(std::uint64_t posicao) {
    OVERLAPPED onde{};
    onde.Offset = static_cast<DWORD>(posicao & 0xFFFFFFFFu);
    onde.OffsetHigh = static_cast<DWORD>(posicao >> 32);
    return onde;
}

std::optional<EstadoArquivo> estadoPelaAlca(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    const auto junta = [](DWORD alto, DWORD baixo) {
        return (static_cast<std::uint64_t>(alto) << 32) | baixo;
    };
    // FILETIME counts 100 ns from 1601; 11644473600 s separate 1601 from 1970.
    const std::uint64_t escrita =
        junta(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    EstadoArquivo e;
    e.identidade = junta(info.nFileIndexHigh, info.nFileIndexLow);
    e.tamanho = static_cast<std::int64_t>(junta(info.nFileSizeHigh, info.nFileSizeLow));
    e.mudanca = static_cast<std::int64_t>(escrita) * 100;
    e.gravacao = static_cast<std::int64_t>(escrita / 10000000) - 11644473600LL;
    return e;
}

// WriteFile takes at most a DWORD of bytes at a time.
DWORD pedaco(std::size_t resto) {
    return static_cast<DWORD>(resto < 0x40000000u ? resto : 0x40000000u);
}

}  // namespace

ArquivoAberto::~ArquivoAberto() {
    if (alca != nullptr) CloseHandle(alca);
}

ArquivoAberto& ArquivoAberto::operator=(ArquivoAberto&& outro) noexcept {
    if (this != &outro) {
        if (alca != nullptr) CloseHandle(alca);
        alca = std::exchange(outro.alca, nullptr);
    }
    return *this;
}

ArquivoAberto ArquivoAberto::abre(const fs::path& nome, unsigned modo, std::error_code& erro) {
    ArquivoAberto arquivo;
    HANDLE h = CreateFileW(nome.c_str(), GENERIC_READ | GENERIC_WRITE, kCompartilhaTudo, nullptr,
                           modo, FILE_ATTRIBUTE_NORMAL, nullptr);
    erro = h == INVALID_HANDLE_VALUE ? erroDoSistema() : std::error_code();
    if (!erro) arquivo.alca = h;
    return arquivo;
}

ArquivoAberto ArquivoAberto::criaNovo(const fs::path& nome, std::error_code& erro) {
    // CREATE_NEW fails on any name taken, a link's too.
    return abre(nome, CREATE_NEW, erro);
}

ArquivoAberto ArquivoAberto::abreParaAlterar(const fs::path& nome, std::error_code& erro) {
    return abre(nome, OPEN_EXISTING, erro);
}

bool ArquivoAberto::aberto() const {
    return alca != nullptr;
}

std::error_code ArquivoAberto::grava(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD feitos = 0;
        if (!WriteFile(alca, bytes.data(), pedaco(bytes.size()), &feitos, nullptr))
            return erroDoSistema();
        if (feitos == 0) return std::make_error_code(std::errc::io_error);
        bytes.remove_prefix(feitos);
    }
    return {};
}

std::error_code ArquivoAberto::gravaEm(std::uint64_t posicao, std::string_view bytes) {
    while (!bytes.empty()) {
        OVERLAPPED onde = naPosicao(posicao);
        DWORD feitos = 0;
        if (!WriteFile(alca, bytes.data(), pedaco(bytes.size()), &feitos, &onde))
            return erroDoSistema();
        if (feitos == 0) return std::make_error_code(std::errc::io_error);
        bytes.remove_prefix(feitos);
        posicao += feitos;
    }
    return {};
}

std::error_code ArquivoAberto::leEm(std::uint64_t posicao, void* destino, std::size_t tamanho) {
    auto* bytes = static_cast<char*>(destino);
    while (tamanho > 0) {
        OVERLAPPED onde = naPosicao(posicao);
        DWORD lidos = 0;
        if (!ReadFile(alca, bytes, pedaco(tamanho), &lidos, &onde)) {
            const DWORD erro = GetLastError();
            if (erro == ERROR_HANDLE_EOF) return std::make_error_code(std::errc::io_error);
            return erroDoSistema(erro);
        }
        if (lidos == 0) return std::make_error_code(std::errc::io_error);
        bytes += lidos;
        tamanho -= lidos;
        posicao += lidos;
    }
    return {};
}

std::uint64_t ArquivoAberto::tamanho(std::error_code& erro) const {
    LARGE_INTEGER tamanho{};
    erro = GetFileSizeEx(alca, &tamanho) ? std::error_code() : erroDoSistema();
    return erro ? 0 : static_cast<std::uint64_t>(tamanho.QuadPart);
}

std::error_code ArquivoAberto::copiaPermissoesDe(const fs::path&) {
    return {};
}

std::error_code ArquivoAberto::sincroniza() {
    return FlushFileBuffers(alca) ? std::error_code() : erroDoSistema();
}

std::optional<EstadoArquivo> ArquivoAberto::estado() const {
    return estadoPelaAlca(alca);
}

std::error_code ArquivoAberto::fecha() {
    const bool fechou = CloseHandle(std::exchange(alca, nullptr));
    return fechou ? std::error_code() : erroDoSistema();
}

std::FILE* ArquivoAberto::fluxo(std::error_code& erro) const {
    HANDLE copia = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), alca, GetCurrentProcess(), &copia, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
        erro = erroDoSistema();
        return nullptr;
    }
    const int descritor = _open_osfhandle(reinterpret_cast<intptr_t>(copia), _O_BINARY);
    if (descritor < 0) {
        erro = std::make_error_code(std::errc::too_many_files_open);
        CloseHandle(copia);
        return nullptr;
    }
    std::FILE* f = _fdopen(descritor, "r+b");
    if (f == nullptr) {
        erro = std::make_error_code(std::errc::too_many_files_open);
        _close(descritor);
        return nullptr;
    }
    erro.clear();
    return f;
}

std::error_code sincronizaArquivo(const fs::path& arquivo) {
    // FlushFileBuffers needs a handle open for writing.
    HANDLE h = CreateFileW(arquivo.c_str(), GENERIC_WRITE, kCompartilhaTudo, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return erroDoSistema();
    const std::error_code erro = FlushFileBuffers(h) ? std::error_code() : erroDoSistema();
    CloseHandle(h);
    return erro;
}

std::error_code sincronizaPasta(const fs::path&) {
    return {};
}

std::error_code substituiArquivo(const fs::path& de, const fs::path& para) {
    // Write-through: the call returns once the new name is on the disk.
    if (MoveFileExW(de.c_str(), para.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {};
    return erroDoSistema();
}

std::error_code substituiArquivoSeNaoForLink(const fs::path& de, const fs::path& para,
                                             bool& eraLink) {
    // A symbolic link, or a junction, is a reparse point.
    const DWORD atributos = GetFileAttributesW(para.c_str());
    eraLink = atributos != INVALID_FILE_ATTRIBUTES && (atributos & FILE_ATTRIBUTE_REPARSE_POINT);
    if (eraLink) return std::make_error_code(std::errc::file_exists);
    if (MoveFileExW(de.c_str(), para.c_str(), MOVEFILE_REPLACE_EXISTING)) return {};
    return erroDoSistema();
}

bool renomeiaSemSubstituir(const fs::path& de, const fs::path& para, std::error_code& erro) {
    erro.clear();
    // Without MOVEFILE_REPLACE_EXISTING a taken name is refused.
    if (MoveFileExW(de.c_str(), para.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
    erro = erroDoSistema();
    if (erro == std::errc::file_exists) erro.clear();
    return false;
}

unsigned long idDoProcesso() {
    return GetCurrentProcessId();
}

std::optional<EstadoArquivo> estadoArquivo(const fs::path& caminho) {
    HANDLE h =
        CreateFileW(caminho.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    const std::optional<EstadoArquivo> e = estadoPelaAlca(h);
    CloseHandle(h);
    return e;
}

#else

namespace {

std::error_code erroDoSistema(int erro = errno) {
    return {erro, std::generic_category()};
}

std::optional<EstadoArquivo> estadoDe(const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return std::nullopt;
    EstadoArquivo e;
    e.identidade = static_cast<std::uint64_t>(st.st_ino);
    e.tamanho = static_cast<std::int64_t>(st.st_size);
    e.mudanca = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    e.gravacao = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    return e;
}

std::error_code sincronizaPeloNome(const fs::path& caminho) {
    const int descritor = ::open(caminho.c_str(), O_RDONLY | O_CLOEXEC);
    if (descritor < 0) return erroDoSistema();
    std::error_code erro;
    if (::fsync(descritor) != 0) erro = erroDoSistema();
    ::close(descritor);
    return erro;
}

}  // namespace

ArquivoAberto::~ArquivoAberto() {
    if (descritor >= 0) ::close(descritor);
}

ArquivoAberto& ArquivoAberto::operator=(ArquivoAberto&& outro) noexcept {
    if (this != &outro) {
        if (descritor >= 0) ::close(descritor);
        descritor = std::exchange(outro.descritor, -1);
    }
    return *this;
}

ArquivoAberto ArquivoAberto::abre(const fs::path& nome, unsigned modo, std::error_code& erro) {
    ArquivoAberto arquivo;
    arquivo.descritor = ::open(nome.c_str(), static_cast<int>(modo) | O_CLOEXEC, 0600);
    erro = arquivo.descritor < 0 ? erroDoSistema() : std::error_code();
    return arquivo;
}

ArquivoAberto ArquivoAberto::criaNovo(const fs::path& nome, std::error_code& erro) {
    return abre(nome, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, erro);
}

ArquivoAberto ArquivoAberto::abreParaAlterar(const fs::path& nome, std::error_code& erro) {
    return abre(nome, O_RDWR | O_NOFOLLOW, erro);
}

bool ArquivoAberto::aberto() const {
    return descritor >= 0;
}

std::error_code ArquivoAberto::grava(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(descritor, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return erroDoSistema();
        if (n == 0) return std::make_error_code(std::errc::io_error);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

std::error_code ArquivoAberto::gravaEm(std::uint64_t posicao, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n =
            ::pwrite(descritor, bytes.data(), bytes.size(), static_cast<off_t>(posicao));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return erroDoSistema();
        if (n == 0) return std::make_error_code(std::errc::io_error);
        bytes.remove_prefix(static_cast<std::size_t>(n));
        posicao += static_cast<std::uint64_t>(n);
    }
    return {};
}

std::error_code ArquivoAberto::leEm(std::uint64_t posicao, void* destino, std::size_t tamanho) {
    auto* bytes = static_cast<char*>(destino);
    while (tamanho > 0) {
        const ssize_t n = ::pread(descritor, bytes, tamanho, static_cast<off_t>(posicao));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return erroDoSistema();
        if (n == 0) return std::make_error_code(std::errc::io_error);
        bytes += n;
        tamanho -= static_cast<std::size_t>(n);
        posicao += static_cast<std::uint64_t>(n);
    }
    return {};
}

std::uint64_t ArquivoAberto::tamanho(std::error_code& erro) const {
    struct stat dados {};
    erro = ::fstat(descritor, &dados) == 0 ? std::error_code() : erroDoSistema();
    return erro ? 0 : static_cast<std::uint64_t>(dados.st_size);
}

std::error_code ArquivoAberto::copiaPermissoesDe(const fs::path& modelo) {
    // No model (a file written for the first time) keeps the new file's own permissions.
    struct stat anterior {};
    if (::stat(modelo.c_str(), &anterior) != 0) return {};
    if (::fchmod(descritor, anterior.st_mode & 07777) != 0) return erroDoSistema();
    return {};
}

std::error_code ArquivoAberto::sincroniza() {
    return ::fsync(descritor) == 0 ? std::error_code() : erroDoSistema();
}

std::error_code ArquivoAberto::fecha() {
    return ::close(std::exchange(descritor, -1)) == 0 ? std::error_code() : erroDoSistema();
}

std::FILE* ArquivoAberto::fluxo(std::error_code& erro) const {
    const int copia = ::fcntl(descritor, F_DUPFD_CLOEXEC, 0);
    if (copia < 0) {
        erro = erroDoSistema();
        return nullptr;
    }
    std::FILE* f = ::fdopen(copia, "r+b");
    if (f == nullptr) {
        erro = erroDoSistema();
        ::close(copia);
        return nullptr;
    }
    erro.clear();
    return f;
}

std::error_code sincronizaArquivo(const fs::path& arquivo) {
    return sincronizaPeloNome(arquivo);
}

std::error_code sincronizaPasta(const fs::path& pasta) {
    return sincronizaPeloNome(pasta);
}

std::error_code substituiArquivo(const fs::path& de, const fs::path& para) {
    return ::rename(de.c_str(), para.c_str()) == 0 ? std::error_code() : erroDoSistema();
}

std::error_code substituiArquivoSeNaoForLink(const fs::path& de, const fs::path& para,
                                             bool& eraLink) {
    eraLink = false;
    // Most targets are new: the no-replace rename is then the only call.
    if (::renameat2(AT_FDCWD, de.c_str(), AT_FDCWD, para.c_str(), RENAME_NOREPLACE) == 0) return {};
    const int codigo = errno;
    if (codigo != EEXIST && codigo != EINVAL && codigo != ENOSYS && codigo != EOPNOTSUPP)
        return erroDoSistema(codigo);
    // A link planted after this look is replaced by the rename, never followed by it.
    struct stat alvo {};
    if (::lstat(para.c_str(), &alvo) == 0 && S_ISLNK(alvo.st_mode)) {
        eraLink = true;
        return erroDoSistema(EEXIST);
    }
    return ::rename(de.c_str(), para.c_str()) == 0 ? std::error_code() : erroDoSistema();
}

bool renomeiaSemSubstituir(const fs::path& de, const fs::path& para, std::error_code& erro) {
    erro.clear();
    if (::renameat2(AT_FDCWD, de.c_str(), AT_FDCWD, para.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    int codigo = errno;
    if (codigo == EINVAL || codigo == ENOSYS || codigo == EOPNOTSUPP) {
        // A file system without the no-replace rename: a new link refuses a taken name too.
        if (::link(de.c_str(), para.c_str()) == 0) {
            ::unlink(de.c_str());
            return true;
        }
        codigo = errno;
    }
    if (codigo != EEXIST) erro = erroDoSistema(codigo);
    return false;
}

unsigned long idDoProcesso() {
    return static_cast<unsigned long>(::getpid());
}

std::optional<EstadoArquivo> ArquivoAberto::estado() const {
    struct stat st {};
    if (::fstat(descritor, &st) != 0) return std::nullopt;
    return estadoDe(st);
}

std::optional<EstadoArquivo> estadoArquivo(const fs::path& caminho) {
    struct stat st {};
    if (::stat(caminho.c_str(), &st) != 0) return std::nullopt;
    return estadoDe(st);
}

#endif

ArquivoAberto criaArquivoAoLado(const fs::path& arquivo, fs::path& criado, std::error_code& erro) {
    // Random bits drawn once for the process, a counter for each name: a read of the system's
    // random source for every record file would cost a call each. A name planted in the folder
    // anyway is met by criaNovo's refusal of a taken name, and the next one is tried.
    static const std::string aleatorio = [] {
        std::random_device fonte;
        return std::to_string((static_cast<std::uint64_t>(fonte()) << 32) | fonte());
    }();
    static std::atomic<unsigned long> contador{0};
    const std::string processo = "." + std::to_string(idDoProcesso()) + "-";
    for (;;) {
        fs::path nome = arquivo.parent_path() / ".";
        nome += arquivo.filename();
        nome += processo + std::to_string(contador++) + "-" + aleatorio;
        ArquivoAberto novo = ArquivoAberto::criaNovo(nome, erro);
        if (!erro) {
            criado = std::move(nome);
            return novo;
        }
        if (erro != std::errc::file_exists) return novo;
    }
}

std::FILE* fluxoTemporario(std::string_view prefixo, std::filesystem::path& pasta,
                           std::error_code& erro) {
    pasta = std::filesystem::temp_directory_path(erro);
    if (erro) return nullptr;
    std::filesystem::path criado;
    std::FILE* f = nullptr;
    ArquivoAberto arquivo = criaArquivoAoLado(pasta / prefixo, criado, erro);
    if (!erro) f = arquivo.fluxo(erro);
    // The stream holds a copy of the file, which has no name from here.
    if (!criado.empty()) {
        std::error_code semNome;
        std::filesystem::remove(criado, semNome);
        if (!erro) erro = semNome;
    }
    if (erro && f) std::fclose(std::exchange(f, nullptr));
    return f;
}

}  // namespace cds
