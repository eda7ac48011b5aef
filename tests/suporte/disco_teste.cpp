#include "suporte/disco_teste.hpp"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace cds::teste {

DiscoPequeno::DiscoPequeno(std::size_t bytes) {
    const std::string opcoes = "size=" + std::to_string(bytes);
    if (::mount("tmpfs", pasta.caminho().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, opcoes.c_str()) !=
        0)
        motivoFalha = "não foi possível montar um tmpfs pequeno (" +
                      std::string(std::strerror(errno)) +
                      "): o teste precisa de root para encher um disco de verdade";
}

DiscoPequeno::~DiscoPequeno() {
    if (montado()) ::umount2(pasta.caminho().c_str(), MNT_DETACH);
}

std::size_t DiscoPequeno::livres() const {
    struct statvfs info {};
    if (::statvfs(pasta.caminho().c_str(), &info) != 0)
        throw std::runtime_error("statvfs falhou em " + pasta.caminho().string());
    return static_cast<std::size_t>(info.f_bavail) * info.f_frsize;
}

void DiscoPequeno::enche(std::size_t deixar) {
    const std::string nome = (pasta / ".enchimento").string();
    const int fd = ::open(nome.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("não criou " + nome);
    const std::vector<char> bloco(4096, 'x');
    while (livres() > deixar) {
        const std::size_t falta = livres() - deixar;
        const std::size_t n = falta < bloco.size() ? falta : bloco.size();
        if (::write(fd, bloco.data(), n) <= 0) break;
    }
    ::close(fd);
}

int executaComando(const std::string& comando, std::string* saida) {
    FILE* processo = ::popen((comando + " 2>&1").c_str(), "r");
    if (processo == nullptr) return -1;
    std::string texto;
    char bloco[4096];
    std::size_t lidos = 0;
    while ((lidos = std::fread(bloco, 1, sizeof bloco, processo)) > 0) texto.append(bloco, lidos);
    const int status = ::pclose(processo);
    if (saida) *saida = texto;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace cds::teste
