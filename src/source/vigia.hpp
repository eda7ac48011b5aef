#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

namespace Firebird {
class IAttachment;
}

namespace cds {

// Watches the database calls of one connection from a thread of its own, and closes the
// connection on this side when a call gets no answer: a server stopped, or cut off by a
// network that drops packets without a word, never answers, and the client library would wait
// for good. Closing the connection (fb_cancel_abort, which the remote provider does by
// shutting its socket) makes the call fail at once; the run's error path then undoes its work,
// and the server, when it sees the connection gone, rolls back what it had.
//
// A call has no answer when nothing of it came back for `semResposta`: a fetch that reads a
// row from the client library's buffer, or a long walk that receives row after row, is an
// answer each time. Once the operator has asked the run to stop, a call that goes on without
// an answer for kGraca after the request (or after it began, if later) is closed too: the
// cancel reaches a server that answers in moments, and one that does not answer would hold the
// run. A commit is the exception: it is let finish, or closed only at `semResposta`, since a
// commit cut short leaves it unknown whether the work was kept.
//
// The calls cost two relaxed stores each, and one more per row of a long read: the thread
// wakes once a step (a second) and compares what it sees with what it saw.
class Vigia {
  public:
    static constexpr std::chrono::seconds kGraca{3};

    enum class Motivo { Nenhum, SemResposta, Cancelamento };

    Vigia() = default;
    ~Vigia();
    Vigia(const Vigia&) = delete;
    Vigia& operator=(const Vigia&) = delete;

    // Starts watching the calls on `anexo`, whose reference it keeps until para().
    void inicia(Firebird::IAttachment* anexo, std::chrono::seconds semResposta);
    // Stops watching and lets the attachment go; nothing when not watching.
    void para();

    // The calls of a connection are made by one thread at a time. A call in progress is an
    // odd mark; every change of the mark is an answer.
    void comeca(bool deixaTerminar = false) noexcept {
        if (deixaTerminar) semGraca.store(true, std::memory_order_relaxed);
        marca.store(marca.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
    // Part of the answer came: a row, a segment of a blob.
    void avanca() noexcept {
        marca.store(marca.load(std::memory_order_relaxed) + 2, std::memory_order_relaxed);
    }
    void termina() noexcept {
        marca.store(marca.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        semGraca.store(false, std::memory_order_relaxed);
    }

    // The operator asked the run to stop: from now on a call gets kGraca to end. Any thread.
    void pedeCancelamento();

    // Why this side closed the connection, if it did.
    Motivo encerrou() const { return motivo.load(std::memory_order_acquire); }
    std::chrono::seconds limite() const { return semResposta; }

  private:
    using Relogio = std::chrono::steady_clock;

    void observa();
    void fecha(Motivo porque) noexcept;

    std::atomic<std::uint64_t> marca{0};
    std::atomic<bool> semGraca{false};
    std::atomic<Motivo> motivo{Motivo::Nenhum};

    std::mutex guarda;
    std::condition_variable acorda;
    bool parar = false;
    std::optional<Relogio::time_point> pedido;
    std::chrono::seconds semResposta{0};
    Firebird::IAttachment* anexo = nullptr;
    std::thread observador;
};

}  // namespace cds
