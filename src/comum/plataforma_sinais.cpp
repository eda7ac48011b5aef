#include "comum/plataforma_sinais.hpp"

#include <csignal>
#include <memory>
#include <utility>

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#else
#include <pthread.h>

#include <thread>
#endif

namespace cds {

#ifdef _WIN32

namespace {

// Lives as long as the process: the console calls its handler on a thread of its own at any
// time.
std::function<void(int, int)>* tratador = nullptr;
std::atomic<int> quantos{0};

BOOL WINAPI aoEventoDoConsole(DWORD evento) {
    switch (evento) {
        case CTRL_C_EVENT:
            (*tratador)(SIGINT, ++quantos);
            return TRUE;
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            // After a close the system ends the process a few seconds on, whatever the run is
            // doing; the database undoes a transaction its client left.
            (*tratador)(SIGTERM, ++quantos);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void instalaTratamentoDeSinais(std::function<void(int, int)> aoSinal) {
    tratador = new std::function<void(int, int)>(std::move(aoSinal));
    SetConsoleCtrlHandler(aoEventoDoConsole, TRUE);
}

#else

void instalaTratamentoDeSinais(std::function<void(int, int)> aoSinal) {
    sigset_t conjunto;
    sigemptyset(&conjunto);
    sigaddset(&conjunto, SIGINT);
    sigaddset(&conjunto, SIGTERM);
    // The terminal closed: the run stops as for SIGTERM, rather than leave its work half done.
    sigaddset(&conjunto, SIGHUP);
    // Blocked here, and so in every thread started after, the waiting one included: sigwait
    // takes them there, where any call may be made, which a handler could not.
    pthread_sigmask(SIG_BLOCK, &conjunto, nullptr);
    // The thread runs until the process ends, and keeps what it calls with it.
    std::thread([conjunto, aoSinal = std::move(aoSinal)] {
        for (int quantos = 1;; ++quantos) {
            int sinal = 0;
            if (sigwait(&conjunto, &sinal) != 0) return;
            aoSinal(sinal, quantos);
        }
    }).detach();
}

#endif

}  // namespace cds
