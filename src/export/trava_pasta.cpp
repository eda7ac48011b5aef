#include "export/trava_pasta.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "comum/erro.hpp"

namespace cds {

namespace {

constexpr char kSeparador = static_cast<char>(std::filesystem::path::preferred_separator);

}  // namespace

TravaPasta::TravaPasta(const std::string& Caminho)
    : arquivo(Caminho + kSeparador + kNomeArquivoTrava) {
    for (;;) {
        const int fd = ::open(arquivo.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            const int erro = errno;
            if (erro == ENOENT) throw ErroArquivo("A pasta de saída " + Caminho + " não existe.");
            throw ErroArquivo("Não foi possível travar a pasta de saída " + Caminho + " (" +
                              arquivo + "): " + std::generic_category().message(erro) + ".");
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int erro = errno;
            ::close(fd);
            if (erro == EWOULDBLOCK)
                throw ErroArquivo("Outra exportação está em andamento na pasta " + Caminho +
                                  ". Espere que ela termine e gere os arquivos de novo.");
            throw ErroArquivo("Não foi possível travar a pasta de saída " + Caminho + ": " +
                              std::generic_category().message(erro) + ".");
        }
        // The run before may have removed the file between our open and our lock; the lock
        // then holds a file no one else will open, and the folder's lock is the new file's.
        struct stat aberto {
        }, atual{};
        const bool lido = ::fstat(fd, &aberto) == 0;
        const bool existe = lido && ::stat(arquivo.c_str(), &atual) == 0;
        const int erro = errno;
        if (existe && aberto.st_dev == atual.st_dev && aberto.st_ino == atual.st_ino) {
            descritor = fd;
            return;
        }
        ::close(fd);
        if (!existe && (!lido || erro != ENOENT))
            throw ErroArquivo("Não foi possível travar a pasta de saída " + Caminho + ": " +
                              std::generic_category().message(erro) + ".");
    }
}

TravaPasta::~TravaPasta() {
    // Removed while still held, so that a run waiting for it finds the file gone and makes
    // its own. A crash leaves the file behind, unlocked, and the next run takes it.
    ::unlink(arquivo.c_str());
    ::close(descritor);
}

}  // namespace cds
