#pragma once

// What the source layer shares about the Firebird client library; nothing above source/
// includes this.

#include <firebird/Interface.h>

#include <string>
#include <utility>

namespace cds::firebird {

Firebird::IMaster* mestre();
Firebird::IUtil* util();

// One status object for the calls of this thread, cleared before it is handed out.
Firebird::ThrowStatusWrapper& status();

// The server's text for a failed call, in UTF-8, raised as ErroBanco.
[[noreturn]] void lancaErroBanco(const Firebird::FbException& e);

// Runs calls of the client library; a failure becomes ErroBanco with the server's text.
template <typename F>
auto protegido(F&& f) -> decltype(f()) {
    try {
        return std::forward<F>(f)();
    } catch (const Firebird::FbException& e) {
        lancaErroBanco(e);
    }
}

}  // namespace cds::firebird
