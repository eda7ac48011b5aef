#pragma once

// What the source layer shares about the Firebird client library; nothing above source/
// includes this.

#include <firebird/Interface.h>

#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "source/vigia.hpp"

namespace cds::firebird {

Firebird::IMaster* mestre();
Firebird::IUtil* util();

// One status object for the calls of this thread, cleared before it is handed out. A run may
// go on a worker thread while the window keeps its own, so no two threads share one.
Firebird::ThrowStatusWrapper& status();

// Whether the failing call was made on a connection, or was making it: the same network error
// means the connection was lost in the one case, and the server never reached in the other.
enum class Momento { Conectado, Conectando };

// A failed call, raised with what failed (`oQue`, the caller's words), why, in Portuguese,
// from the status's error codes, and the library's text, in UTF-8, after "Detalhe:". A
// connection that was lost raises ErroConexaoPerdida; anything else ErroBanco.
[[noreturn]] void lancaErroBanco(const Firebird::FbException& e, std::string_view oQue,
                                 Momento momento = Momento::Conectado);

// The same for a call on a connection that `vigia` watches: when the watch closed the
// connection, the error says why (ErroSemResposta for a server that did not answer).
[[noreturn]] void lancaErroBanco(const Firebird::FbException& e, std::string_view oQue,
                                 const Vigia& vigia);

// Runs calls of the client library; a failure becomes ErroBanco as lancaErroBanco says.
template <typename F>
auto protegido(std::string_view oQue, F&& f, Momento momento = Momento::Conectado)
    -> decltype(f()) {
    try {
        return std::forward<F>(f)();
    } catch (const Firebird::FbException& e) {
        lancaErroBanco(e, oQue, momento);
    }
}

// Runs calls of the client library on a connection, watched by its `vigia` (one call: the
// calls inside `f` are not watched again). `deixaTerminar` for a commit, which the operator's
// request to stop does not cut short.
template <typename F>
auto vigiado(Vigia& vigia, std::string_view oQue, F&& f, bool deixaTerminar = false)
    -> decltype(f()) {
    struct Fim {
        Vigia& vigia;
        ~Fim() { vigia.termina(); }
    };
    vigia.comeca(deixaTerminar);
    const Fim fim{vigia};
    try {
        return std::forward<F>(f)();
    } catch (const Firebird::FbException& e) {
        lancaErroBanco(e, oQue, vigia);
    }
}

// The owner of one object of the client library. Reference-counted objects (attachment,
// transaction, statement, cursor, blob, metadata, provider) are released, disposable ones
// (parameter-block builders, status) disposed, whichever the type is; so an object is let go
// however the code that holds it is left, an exception included.
template <typename T>
class Posse {
    static_assert(std::is_base_of_v<Firebird::IReferenceCounted, T> ||
                      std::is_base_of_v<Firebird::IDisposable, T>,
                  "an object of the client library has release() or dispose()");

  public:
    Posse() = default;
    explicit Posse(T* objeto) noexcept : objeto(objeto) {}
    ~Posse() { libera(); }
    Posse(Posse&& outra) noexcept : objeto(std::exchange(outra.objeto, nullptr)) {}
    Posse& operator=(Posse&& outra) noexcept {
        if (this != &outra) {
            libera();
            objeto = std::exchange(outra.objeto, nullptr);
        }
        return *this;
    }
    Posse(const Posse&) = delete;
    Posse& operator=(const Posse&) = delete;

    T* get() const noexcept { return objeto; }
    T* operator->() const noexcept { return objeto; }
    explicit operator bool() const noexcept { return objeto != nullptr; }

    // Ends the object with the call that lets it go when it succeeds (free, close, commit,
    // rollback, detach). When that call fails the object stays here, released at the latest
    // with this owner, and the failure goes on to the caller.
    template <typename F>
    void encerra(F&& fim) {
        std::forward<F>(fim)(objeto);
        objeto = nullptr;
    }

  private:
    void libera() noexcept {
        if (!objeto) return;
        if constexpr (std::is_base_of_v<Firebird::IReferenceCounted, T>)
            objeto->release();
        else
            objeto->dispose();
        objeto = nullptr;
    }

    T* objeto = nullptr;
};

// A parameter block under construction (attachment DPB, transaction TPB).
Posse<Firebird::IXpbBuilder> novoBloco(unsigned tipo);

}  // namespace cds::firebird
