#pragma once

#include <filesystem>
#include <system_error>

namespace cds {

// The operating system's exclusive lock on a file: it holds against every other open of the
// file, in this process or another, and goes with the process that holds it, crash included.
class TravaDeArquivo {
  public:
    enum class Resultado { Travada, Ocupada, Falhou };

    // Opens `arquivo`, creating it (its owner's alone: 0600), and takes its lock without
    // waiting. A link in its place is not followed on Linux.
    explicit TravaDeArquivo(const std::filesystem::path& arquivo);
    // A lock taken is let go. On Linux the file goes first, while still held, so that a run
    // waiting for it finds it gone and makes its own. On Windows it stays, hidden: a file open
    // elsewhere cannot lose its name there the way Linux unlinks it, and the lock alone holds.
    ~TravaDeArquivo();
    TravaDeArquivo(const TravaDeArquivo&) = delete;
    TravaDeArquivo& operator=(const TravaDeArquivo&) = delete;

    Resultado resultado() const { return estado; }
    // Why it failed: std::errc::no_such_file_or_directory when the folder is missing.
    std::error_code erro() const { return motivo; }

  private:
    std::filesystem::path arquivo;
    Resultado estado = Resultado::Falhou;
    std::error_code motivo;
#ifdef _WIN32
    void* alca = nullptr;
#else
    int descritor = -1;
#endif
};

}  // namespace cds
