#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

namespace cds {

// What tells one state of a regular file from another: which file it is (its inode, or
// Windows' file index), its size and the moment of its last change; and its last-write time.
struct EstadoArquivo {
    std::uint64_t identidade = 0;
    std::int64_t tamanho = -1;
    std::int64_t mudanca = 0;
    std::int64_t gravacao = 0;  // seconds since 1970, UTC
};

// What the standard library does not say about files: a new file that must not exist yet,
// writing in place, and that what was written has reached the disk. No call throws; each
// says how it failed with the system's own error (errno on Linux, GetLastError on Windows),
// so that the operator reads "no space left on device" and not just "it failed".
class ArquivoAberto {
  public:
    ArquivoAberto() = default;
    ~ArquivoAberto();
    ArquivoAberto(ArquivoAberto&& outro) noexcept;
    ArquivoAberto& operator=(ArquivoAberto&& outro) noexcept;
    ArquivoAberto(const ArquivoAberto&) = delete;
    ArquivoAberto& operator=(const ArquivoAberto&) = delete;

    // Creates `nome` and opens it for reading and writing; fails with std::errc::file_exists
    // when the name is taken, by a symbolic link too, which is never followed. The file is its
    // owner's alone to read and write (0600; a umask can take from that, never add to it): the
    // program's files hold citizens' health records. On Windows it takes the access rules of
    // its folder. The file may be renamed while it is open.
    static ArquivoAberto criaNovo(const std::filesystem::path& nome, std::error_code& erro);
    // Opens an existing file for reading and writing in place; a symbolic link at `nome` is
    // refused on Linux rather than followed.
    static ArquivoAberto abreParaAlterar(const std::filesystem::path& nome, std::error_code& erro);

    bool aberto() const;
    // All of `bytes` at the current position.
    std::error_code grava(std::string_view bytes);
    // All of `bytes` at `posicao`.
    std::error_code gravaEm(std::uint64_t posicao, std::string_view bytes);
    // Exactly `tamanho` bytes from `posicao`; fewer is std::errc::io_error.
    std::error_code leEm(std::uint64_t posicao, void* destino, std::size_t tamanho);
    std::uint64_t tamanho(std::error_code& erro) const;
    // Gives the file the permission bits of `modelo`. On Windows a new file takes the access
    // rules of its folder, as the one it replaces did: nothing to copy.
    std::error_code copiaPermissoesDe(const std::filesystem::path& modelo);
    // What was written reaches the disk.
    std::error_code sincroniza();
    // The open file's state, under whatever name it has now; nothing when the system will not
    // say.
    std::optional<EstadoArquivo> estado() const;
    // Closing can report a failed write that the system had kept for later.
    std::error_code fecha();
    // A C stream over this same open file (a duplicate of its descriptor or handle), for a
    // library that reads and writes through stdio: the file is never opened again by its name,
    // which may lead elsewhere by then. The stream is the caller's to fclose; it shares the
    // file's position with this object. Null, with `erro` set, when the system will not make
    // one.
    std::FILE* fluxo(std::error_code& erro) const;

  private:
    // Opens `nome` as `modo` says: the creation disposition on Windows, open(2)'s flags on
    // Linux.
    static ArquivoAberto abre(const std::filesystem::path& nome, unsigned modo,
                              std::error_code& erro);

#ifdef _WIN32
    void* alca = nullptr;
#else
    int descritor = -1;
#endif
};

// What was written to the file, by this process or another, reaches the disk.
std::error_code sincronizaArquivo(const std::filesystem::path& arquivo);
// The folder's names (a file created or renamed in it) reach the disk. Windows' file systems
// keep names in their journal: nothing to do there.
std::error_code sincronizaPasta(const std::filesystem::path& pasta);
// Renames `de` to `para` in one step, replacing what `para` was.
std::error_code substituiArquivo(const std::filesystem::path& de,
                                 const std::filesystem::path& para);
// Renames `de` to `para`, replacing a file of that name but never a symbolic link: when `para`
// is a link, `eraLink` is set and both names stay as they were, so that neither the link nor
// what it leads to is touched. One call when `para` does not exist yet, as for most records.
std::error_code substituiArquivoSeNaoForLink(const std::filesystem::path& de,
                                             const std::filesystem::path& para, bool& eraLink);
// Renames `de` to `para` unless `para` exists; false then, and nothing changed. Raises
// nothing: `erro` says when it failed otherwise.
bool renomeiaSemSubstituir(const std::filesystem::path& de, const std::filesystem::path& para,
                           std::error_code& erro);
// This process's number, to make names no other running process makes.
unsigned long idDoProcesso();

// Creates and opens a new hidden file beside `arquivo`, as ArquivoAberto::criaNovo does,
// named ".<name>.<process>-<counter>-<random>": no other process makes that name, and no one
// who cannot list the folder can foresee it. Returns it open and sets `criado`; returns it
// closed, with `erro` set, when it cannot.
ArquivoAberto criaArquivoAoLado(const std::filesystem::path& arquivo, std::filesystem::path& criado,
                                std::error_code& erro);

// A C stream over a new file in the system's temporary folder (`pasta` says which) that has no
// name once made: it goes when the stream is closed, or when the process ends however it ends.
// For data too large for memory that only the process reads back. Null, with `erro` set, when
// it cannot be made.
std::FILE* fluxoTemporario(std::string_view prefixo, std::filesystem::path& pasta,
                           std::error_code& erro);

// The state of the regular file at `caminho`, after symbolic links; nothing when there is no
// regular file to read there.
std::optional<EstadoArquivo> estadoArquivo(const std::filesystem::path& caminho);

}  // namespace cds
