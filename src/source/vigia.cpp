#include "source/vigia.hpp"

#include <algorithm>

#include "source/firebird.hpp"

namespace cds {

namespace {

// How often the thread looks: a call is closed a step at most after its time is up.
constexpr std::chrono::milliseconds kPasso{1000};

}  // namespace

Vigia::~Vigia() {
    para();
}

void Vigia::inicia(Firebird::IAttachment* novo, std::chrono::seconds limite) {
    para();
    novo->addRef();
    anexo = novo;
    semResposta = limite;
    parar = false;
    pedido.reset();
    motivo.store(Motivo::Nenhum, std::memory_order_relaxed);
    observador = std::thread([this] { observa(); });
}

void Vigia::para() {
    if (!observador.joinable()) return;
    {
        const std::lock_guard trava(guarda);
        parar = true;
    }
    acorda.notify_one();
    observador.join();
    anexo->release();
    anexo = nullptr;
}

void Vigia::pedeCancelamento() {
    const std::lock_guard trava(guarda);
    if (!pedido) pedido = Relogio::now();
}

void Vigia::observa() {
    std::unique_lock trava(guarda);
    const auto passo =
        std::min(kPasso, std::chrono::duration_cast<std::chrono::milliseconds>(semResposta) / 4);
    std::uint64_t vista = marca.load(std::memory_order_relaxed);
    Relogio::time_point desde = Relogio::now();
    while (!acorda.wait_for(trava, passo, [this] { return parar; })) {
        const auto agora = Relogio::now();
        const std::uint64_t m = marca.load(std::memory_order_relaxed);
        if (m != vista || m % 2 == 0) {
            // An answer, or no call: the wait, if any, counts from here.
            vista = m;
            desde = agora;
            continue;
        }
        Relogio::time_point prazo = desde + semResposta;
        const bool cancelando = pedido && !semGraca.load(std::memory_order_relaxed);
        if (cancelando) prazo = std::min(prazo, std::max(desde, *pedido) + kGraca);
        if (agora < prazo) continue;
        fecha(cancelando && agora < desde + semResposta ? Motivo::Cancelamento
                                                        : Motivo::SemResposta);
        // Closed: every call from now on fails at once, and there is nothing left to watch.
        return;
    }
}

void Vigia::fecha(Motivo porque) noexcept {
    // Set first: the call that fails reads it to say why.
    motivo.store(porque, std::memory_order_release);
    try {
        anexo->cancelOperation(&firebird::status(), fb_cancel_abort);
    } catch (const Firebird::FbException&) {
        // The attachment is detached or already gone: the call it was in has failed by then.
    }
}

}  // namespace cds
