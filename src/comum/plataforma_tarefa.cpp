#include "comum/plataforma_tarefa.hpp"

#include "comum/plataforma_windows.hpp"

#include <csignal>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#endif

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace cds {

void guardaMemoriaLiberada() {
#ifdef __GLIBC__
    // glibc's default is 128 KiB, and a thread's heap other than the main one gives pages back
    // with a system call each time its free top passes that.
    constexpr int kGuardada = 4 * 1024 * 1024;
    ::mallopt(M_TRIM_THRESHOLD, kGuardada);
#endif
}

void ignoraEscritaSemLeitor() {
#ifndef _WIN32
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

bool defineVariavelDoAmbiente(const char* nome, const std::string& valor) {
#ifdef _WIN32
    return _putenv_s(nome, valor.c_str()) == 0;
#else
    return ::setenv(nome, valor.c_str(), 1) == 0;
#endif
}

std::error_code abreDescritoresPadraoFechados() {
#ifdef _WIN32
    return {};
#else
    for (int descritor = 0; descritor <= 2; ++descritor) {
        if (::fcntl(descritor, F_GETFD) != -1 || errno != EBADF) continue;
        // Filled in order, so the open takes the lowest free number, the one closed.
        const int nulo = ::open("/dev/null", O_RDWR);
        if (nulo < 0) return {errno, std::generic_category()};
        if (nulo != descritor) {
            const bool posto = ::dup2(nulo, descritor) == descritor;
            const int erro = errno;
            ::close(nulo);
            if (!posto) return {erro, std::generic_category()};
        }
    }
    return {};
#endif
}

bool saidaDeErrosEhTerminal() {
#ifdef _WIN32
    return ::_isatty(2) != 0;
#else
    return ::isatty(STDERR_FILENO) == 1;
#endif
}

}  // namespace cds
