#include "source/firebird.hpp"

#include "comum/cp1252.hpp"
#include "comum/erro.hpp"

namespace cds::firebird {

namespace {

// The status of one thread, disposed when the thread ends.
struct StatusDaThread {
    Posse<Firebird::IStatus> objeto{mestre()->getStatus()};
    Firebird::ThrowStatusWrapper involucro{objeto.get()};
};

}  // namespace

Firebird::IMaster* mestre() {
    static Firebird::IMaster* const m = Firebird::fb_get_master_interface();
    return m;
}

Firebird::IUtil* util() {
    static Firebird::IUtil* const u = mestre()->getUtilInterface();
    return u;
}

Firebird::ThrowStatusWrapper& status() {
    thread_local StatusDaThread s;
    s.involucro.init();
    return s.involucro;
}

void lancaErroBanco(const Firebird::FbException& e) {
    char texto[2048];
    util()->formatStatus(texto, sizeof texto, e.getStatus());
    throw ErroBanco(cp1252ParaUtf8(texto));
}

Posse<Firebird::IXpbBuilder> novoBloco(unsigned tipo) {
    return Posse<Firebird::IXpbBuilder>(util()->getXpbBuilder(&status(), tipo, nullptr, 0));
}

}  // namespace cds::firebird
