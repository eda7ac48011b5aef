#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
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

// The way to a real server on 127.0.0.1, through a port of its own: every byte goes through,
// both ways, until emudece() is called; from then on nothing goes through and nothing is
// closed, as when the server is stopped (kill -STOP) or the network drops its packets. The
// client's connection stays up and its requests wait for an answer that does not come.
class CaminhoQueEmudece {
  public:
    explicit CaminhoQueEmudece(int portaDoServidor) : destino(portaDoServidor) {
        escuta = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in endereco = loopback(0);
        socklen_t tamanho = sizeof endereco;
        if (escuta < 0 || ::pipe2(aviso, O_CLOEXEC) != 0 ||
            ::bind(escuta, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) != 0 ||
            ::listen(escuta, 16) != 0 ||
            ::getsockname(escuta, reinterpret_cast<sockaddr*>(&endereco), &tamanho) != 0)
            throw std::runtime_error("não foi possível abrir o caminho ao servidor");
        numeroPorta = ntohs(endereco.sin_port);
        passagem = std::thread([this] { passa(); });
    }
    ~CaminhoQueEmudece() {
        fim = true;
        avisa();
        passagem.join();
        for (const auto& [cliente, servidor] : pares) {
            ::close(cliente);
            if (servidor >= 0) ::close(servidor);
        }
        ::close(escuta);
        ::close(aviso[0]);
        ::close(aviso[1]);
    }
    CaminhoQueEmudece(const CaminhoQueEmudece&) = delete;
    CaminhoQueEmudece& operator=(const CaminhoQueEmudece&) = delete;

    // What config.ini's GERAL/DATABASE would hold for the database file `arquivo` of the server.
    std::string banco(const std::filesystem::path& arquivo) const {
        return "127.0.0.1/" + std::to_string(numeroPorta) + ":" + arquivo.string();
    }

    void emudece() {
        mudo = true;
        avisa();
    }

  private:
    static sockaddr_in loopback(int porta) {
        sockaddr_in endereco{};
        endereco.sin_family = AF_INET;
        endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        endereco.sin_port = htons(static_cast<std::uint16_t>(porta));
        return endereco;
    }

    void avisa() { (void)!::write(aviso[1], "x", 1); }

    // Everything `de` has now goes to `para`; false when `de` is closed or `para` fails.
    static bool repassa(int de, int para) {
        char bloco[65536];
        const ssize_t lidos = ::read(de, bloco, sizeof bloco);
        if (lidos <= 0) return false;
        for (ssize_t feitos = 0; feitos < lidos;) {
            const ssize_t n =
                ::write(para, bloco + feitos, static_cast<std::size_t>(lidos - feitos));
            if (n <= 0) return false;
            feitos += n;
        }
        return true;
    }

    void passa() {
        while (!fim) {
            std::vector<pollfd> olhados{{aviso[0], POLLIN, 0}, {escuta, POLLIN, 0}};
            if (!mudo)
                for (const auto& [cliente, servidor] : pares) {
                    olhados.push_back({cliente, POLLIN, 0});
                    olhados.push_back({servidor, POLLIN, 0});
                }
            if (::poll(olhados.data(), olhados.size(), -1) < 0) continue;
            if (olhados[0].revents) {
                char c;
                (void)!::read(aviso[0], &c, 1);
                continue;
            }
            if (olhados[1].revents) {
                const int cliente = ::accept4(escuta, nullptr, nullptr, SOCK_CLOEXEC);
                if (cliente < 0) continue;
                int servidor = -1;
                if (!mudo) {
                    servidor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                    const sockaddr_in endereco = loopback(destino);
                    if (::connect(servidor, reinterpret_cast<const sockaddr*>(&endereco),
                                  sizeof endereco) != 0) {
                        ::close(servidor);
                        ::close(cliente);
                        continue;
                    }
                }
                pares.emplace_back(cliente, servidor);
                continue;
            }
            for (std::size_t i = 2; i < olhados.size(); i += 2) {
                auto& [cliente, servidor] = pares[(i - 2) / 2];
                const bool seguiu = (!olhados[i].revents || repassa(cliente, servidor)) &&
                                    (!olhados[i + 1].revents || repassa(servidor, cliente));
                if (!seguiu) {
                    // One side closed: the other is told, as a network that works would.
                    ::close(cliente);
                    ::close(servidor);
                    cliente = servidor = -1;
                }
            }
            std::erase_if(pares, [](const auto& par) { return par.first < 0; });
        }
    }

    int destino;
    int escuta = -1;
    int aviso[2] = {-1, -1};
    int numeroPorta = 0;
    std::atomic<bool> mudo{false};
    std::atomic<bool> fim{false};
    // Each client's connection and the one made for it to the server (-1 when it came while
    // silent).
    std::vector<std::pair<int, int>> pares;
    std::thread passagem;
};

}  // namespace cds::teste
