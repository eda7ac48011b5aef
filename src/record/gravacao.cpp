#include "record/gravacao.hpp"

#include <chrono>
#include <utility>

#include "comum/erro.hpp"
#include "record/buffer.hpp"

namespace cds {

namespace {
// The thread is woken a batch at a time, not for every file: a wake-up costs both threads about
// as much as saving a file. A few hundred records wait at most, some 1 MiB.
constexpr std::size_t kFila = 256;
constexpr std::size_t kLote = 32;
constexpr std::chrono::milliseconds kEspera{20};
}  // namespace

GravacaoDeRegistros::GravacaoDeRegistros(AoGravar aoGravar)
    : aoGravar(std::move(aoGravar)), thread([this] { salvaOsPedidos(); }) {}

GravacaoDeRegistros::~GravacaoDeRegistros() {
    termina();
}

void GravacaoDeRegistros::grava(std::string caminho, std::string texto, std::string registro) {
    std::unique_lock<std::mutex> trava(mutex);
    temVaga.wait(trava, [this] { return fila.size() < kFila || erro; });
    if (erro) std::rethrow_exception(erro);
    fila.push_back({std::move(caminho), std::move(texto), std::move(registro)});
    if (fila.size() == kLote) temPedido.notify_one();
}

void GravacaoDeRegistros::conclui() {
    termina();
    if (erro) std::rethrow_exception(erro);
}

void GravacaoDeRegistros::termina() {
    {
        std::lock_guard<std::mutex> trava(mutex);
        fim = true;
    }
    temPedido.notify_one();
    if (thread.joinable()) thread.join();
}

void GravacaoDeRegistros::salvaOsPedidos() {
    std::deque<Pedido> lote;
    for (;;) {
        {
            std::unique_lock<std::mutex> trava(mutex);
            // A batch, or whatever came within a moment: no file waits long.
            temPedido.wait_for(trava, kEspera, [this] { return fila.size() >= kLote || fim; });
            if (fila.empty() && fim) return;
            lote.swap(fila);
        }
        temVaga.notify_all();
        for (Pedido& p : lote) {
            try {
                const std::optional<EstadoArquivo> estado = salvaRegistro(p.caminho, p.texto);
                aoGravar(p.caminho, std::move(p.texto), estado);
            } catch (Erro& e) {
                e.nomeiaRegistro(p.registro);
                guardaErro(std::current_exception());
                return;
            } catch (const std::exception&) {
                guardaErro(std::current_exception());
                return;
            }
        }
        lote.clear();
    }
}

// The files waiting are dropped: a file after the one that failed is not saved.
void GravacaoDeRegistros::guardaErro(std::exception_ptr e) {
    {
        std::lock_guard<std::mutex> trava(mutex);
        erro = std::move(e);
        fila.clear();
    }
    temVaga.notify_all();
}

}  // namespace cds
