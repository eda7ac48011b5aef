#pragma once

#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "suporte/disco_teste.hpp"

namespace cds::teste {

// A user of the system other than the one the tests run as, made with useradd for one test
// and removed with the object. Only root can; `criado()` is false otherwise, and `motivo()`
// says why, for the test to skip with.
class OutroUsuario {
  public:
    OutroUsuario() : nomeUsuario("cds-teste-" + std::to_string(::getpid())) {
        if (::geteuid() != 0) {
            motivoFalha = "só root pode criar outro usuário (useradd) para o teste";
            return;
        }
        // Tests running at once may hold the lock of /etc/passwd a moment: tried again.
        std::string saida;
        for (int tentativa = 0; tentativa < 50; ++tentativa) {
            if (executaComando(
                    "useradd --no-create-home --no-user-group --shell /usr/sbin/nologin " +
                        nomeUsuario,
                    &saida) == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const struct passwd* registro = ::getpwnam(nomeUsuario.c_str());
        if (registro == nullptr) {
            motivoFalha = "useradd não criou o usuário " + nomeUsuario + ": " + saida;
            return;
        }
        numero = registro->pw_uid;
        grupo = registro->pw_gid;
    }
    ~OutroUsuario() {
        if (!criado()) return;
        for (int tentativa = 0; tentativa < 50; ++tentativa) {
            if (executaComando("userdel " + nomeUsuario) == 0) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    OutroUsuario(const OutroUsuario&) = delete;
    OutroUsuario& operator=(const OutroUsuario&) = delete;

    bool criado() const { return motivoFalha.empty(); }
    const std::string& motivo() const { return motivoFalha; }
    const std::string& nome() const { return nomeUsuario; }

    // The folder or file becomes this user's.
    void daPosse(const std::filesystem::path& caminho) const {
        if (::chown(caminho.c_str(), numero, grupo) != 0)
            throw std::runtime_error("chown falhou em " + caminho.string());
    }

  private:
    std::string nomeUsuario;
    std::string motivoFalha;
    uid_t numero = 0;
    gid_t grupo = 0;
};

}  // namespace cds::teste
