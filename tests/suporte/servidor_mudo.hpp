#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace cds::teste {

// A server that takes connections and never answers, on a port of its own on 127.0.0.1, as
// a database server that hangs: the client's connection is made by the system, and its first
// request waits for an answer that does not come.
class ServidorMudo {
  public:
    ServidorMudo() {
        escuta = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in endereco{};
        endereco.sin_family = AF_INET;
        endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        endereco.sin_port = 0;
        socklen_t tamanho = sizeof endereco;
        if (escuta < 0 ||
            ::bind(escuta, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) != 0 ||
            ::listen(escuta, 16) != 0 ||
            ::getsockname(escuta, reinterpret_cast<sockaddr*>(&endereco), &tamanho) != 0)
            throw std::runtime_error("não foi possível abrir o servidor mudo");
        numeroPorta = ntohs(endereco.sin_port);
    }
    ~ServidorMudo() {
        for (const int c : clientes) ::close(c);
        ::close(escuta);
    }
    ServidorMudo(const ServidorMudo&) = delete;
    ServidorMudo& operator=(const ServidorMudo&) = delete;

    int porta() const { return numeroPorta; }
    // What config.ini's GERAL/DATABASE would hold for a database on this server.
    std::string banco() const {
        return "127.0.0.1/" + std::to_string(numeroPorta) + ":/clinica.fdb";
    }

    // Waits for a client to connect, and keeps its connection open without a word; false when
    // none came within `prazo`.
    bool esperaCliente(std::chrono::milliseconds prazo) {
        pollfd p{escuta, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(prazo.count())) != 1) return false;
        const int cliente = ::accept4(escuta, nullptr, nullptr, SOCK_CLOEXEC);
        if (cliente < 0) return false;
        clientes.push_back(cliente);
        return true;
    }

  private:
    int escuta = -1;
    int numeroPorta = 0;
    std::vector<int> clientes;
};

}  // namespace cds::teste
