#include "comum/cancelamento.hpp"

#include <utility>

#include "comum/erro.hpp"

namespace cds {

void Cancelamento::pede(const std::function<void()>& aoConectar) {
    const std::lock_guard trava(guarda);
    foiPedido = true;
    if (emConexao) {
        if (aoConectar) aoConectar();
        return;
    }
    if (cancelaChamada) cancelaChamada();
}

void Cancelamento::verifica() const {
    if (pedido()) throw ErroInterrompido();
}

void Cancelamento::conectando() {
    const std::lock_guard trava(guarda);
    verifica();
    emConexao = true;
    cancelaChamada = nullptr;
}

void Cancelamento::conectada(std::function<void()> cancela) {
    const std::lock_guard trava(guarda);
    emConexao = false;
    cancelaChamada = std::move(cancela);
}

void Cancelamento::solta() {
    const std::lock_guard trava(guarda);
    emConexao = false;
    cancelaChamada = nullptr;
}

}  // namespace cds
