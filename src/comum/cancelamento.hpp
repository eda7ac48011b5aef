#pragma once

#include <atomic>
#include <functional>
#include <mutex>

namespace cds {

// The operator's request to stop a run, made from another thread (the command line's signal
// thread) while the run goes on in its own. The run checks it between records and before each
// step that needs no database call; the database call under way, if any, is cancelled by the
// connection that registered itself here.
class Cancelamento {
  public:
    Cancelamento() = default;
    Cancelamento(const Cancelamento&) = delete;
    Cancelamento& operator=(const Cancelamento&) = delete;

    // Asks the run to stop, from any thread. While the run is still waiting for the server to
    // accept its connection, which nothing can cancel, `aoConectar` runs instead, the run held
    // back until it returns: nothing has been read or changed in the database by then.
    void pede(const std::function<void()>& aoConectar = {});
    bool pedido() const { return foiPedido.load(); }
    // Raises ErroInterrompido once it has been asked for.
    void verifica() const;

    // For the run's connection. A connection being made: raises ErroInterrompido when the
    // request came already.
    void conectando();
    // The connection is made: a request from now on calls `cancelaChamada`, which must not
    // wait for the call it cancels.
    void conectada(std::function<void()> cancelaChamada);
    // The connection failed or is going: a request from now on only marks the run.
    void solta();

  private:
    std::mutex guarda;
    std::atomic<bool> foiPedido{false};
    bool emConexao = false;
    std::function<void()> cancelaChamada;
};

}  // namespace cds
