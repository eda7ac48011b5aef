#pragma once

#include <cstddef>
#include <cstdint>
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

    // Creates `nome` and opens it for writing; fails with std::errc::file_exists when the name
    // is taken. The file gets the permissions any new file gets (0666 less the umask).
    static ArquivoAberto criaNovo(const std::filesystem::path& nome, std::error_code& erro);
    // Creates `nome`, or empties it when it exists, and opens it for writing. The file may be
    // renamed while it is open.
    static ArquivoAberto criaOuEsvazia(const std::filesystem::path& nome, std::error_code& erro);
    // Opens an existing file for reading and writing in place.
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
// Renames `de` to `para` unless `para` exists; false then, and nothing changed. Raises
// nothing: `erro` says when it failed otherwise.
bool renomeiaSemSubstituir(const std::filesystem::path& de, const std::filesystem::path& para,
                           std::error_code& erro);
// This process's number, to make names no other running process makes.
unsigned long idDoProcesso();

// The state of the regular file at `caminho`, after symbolic links; nothing when there is no
// regular file to read there.
std::optional<EstadoArquivo> estadoArquivo(const std::filesystem::path& caminho);

}  // namespace cds
