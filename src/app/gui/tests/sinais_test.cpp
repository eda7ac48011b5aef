#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "suporte/arquivos_teste.hpp"
#include "suporte/banco_teste.hpp"

namespace cds {
namespace {

using namespace std::chrono_literals;

// The window as a desktop session runs it, in a process of its own: started, then waited for
// up to `prazo`; none when it has not ended by then (it is killed).
std::optional<int> esperaFim(pid_t pid, std::chrono::milliseconds prazo) {
    const auto fim = std::chrono::steady_clock::now() + prazo;
    while (std::chrono::steady_clock::now() < fim) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(50ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return std::nullopt;
}

// A logout sends SIGTERM, Ctrl-C in the terminal that started it SIGINT: an idle window ends
// cleanly, with status 0, instead of being killed by the signal.
TEST(SinaisDaJanela, SinalComAJanelaParadaEncerraLimpo) {
    for (const int sinal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sinal);
        teste::PastaTemporaria pasta;
        const std::string config = (pasta.caminho() / "config.ini").string();
        teste::escreveArquivo(config, "[GERAL]\r\nCNESPRINCIPAL=2345678\r\nCAMINHOXML=" +
                                          (pasta.caminho() / "saida").string() + "\r\n");
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execl(EXPORTADOR_GUI, EXPORTADOR_GUI, "--config", config.c_str(),
                    static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        // Up, with its event loop running (a signal before that ends it as cleanly).
        std::this_thread::sleep_for(2500ms);
        ::kill(pid, sinal);
        const std::optional<int> status = esperaFim(pid, 10s);
        ASSERT_TRUE(status.has_value()) << "a janela não terminou";
        ASSERT_TRUE(WIFEXITED(*status)) << "terminada pelo sinal " << WTERMSIG(*status);
        EXPECT_EQ(WEXITSTATUS(*status), 0);
    }
}

}  // namespace
}  // namespace cds
