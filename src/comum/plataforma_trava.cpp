#include "comum/plataforma_trava.hpp"

#include "comum/plataforma_windows.hpp"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace cds {

#ifdef _WIN32

TravaDeArquivo::TravaDeArquivo(const std::filesystem::path& caminho) : arquivo(caminho) {
    HANDLE h = CreateFileW(arquivo.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD erro = GetLastError();
        motivo = erro == ERROR_PATH_NOT_FOUND || erro == ERROR_FILE_NOT_FOUND
                     ? std::make_error_code(std::errc::no_such_file_or_directory)
                     : std::error_code(static_cast<int>(erro), std::system_category());
        return;
    }
    OVERLAPPED inicio{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &inicio)) {
        const DWORD erro = GetLastError();
        CloseHandle(h);
        if (erro == ERROR_LOCK_VIOLATION || erro == ERROR_IO_PENDING) {
            estado = Resultado::Ocupada;
            return;
        }
        motivo = std::error_code(static_cast<int>(erro), std::system_category());
        return;
    }
    alca = h;
    estado = Resultado::Travada;
}

TravaDeArquivo::~TravaDeArquivo() {
    if (alca == nullptr) return;
    OVERLAPPED inicio{};
    UnlockFileEx(alca, 0, 1, 0, &inicio);
    CloseHandle(alca);
}

#else

TravaDeArquivo::TravaDeArquivo(const std::filesystem::path& caminho) : arquivo(caminho) {
    for (;;) {
        const int fd = ::open(arquivo.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            motivo = std::error_code(errno, std::generic_category());
            return;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int erro = errno;
            ::close(fd);
            if (erro == EWOULDBLOCK)
                estado = Resultado::Ocupada;
            else
                motivo = std::error_code(erro, std::generic_category());
            return;
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
            estado = Resultado::Travada;
            return;
        }
        ::close(fd);
        if (!existe && (!lido || erro != ENOENT)) {
            motivo = std::error_code(erro, std::generic_category());
            return;
        }
    }
}

TravaDeArquivo::~TravaDeArquivo() {
    if (descritor < 0) return;
    // Removed while still held, so that a run waiting for it finds the file gone and makes
    // its own. A crash leaves the file behind, unlocked, and the next run takes it.
    ::unlink(arquivo.c_str());
    ::close(descritor);
}

#endif

}  // namespace cds
