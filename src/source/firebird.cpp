#include "source/firebird.hpp"

#include "comum/cp1252.hpp"
#include "comum/erro.hpp"

namespace cds::firebird {

Firebird::IMaster* mestre() {
    static Firebird::IMaster* const m = Firebird::fb_get_master_interface();
    return m;
}

Firebird::IUtil* util() {
    static Firebird::IUtil* const u = mestre()->getUtilInterface();
    return u;
}

Firebird::ThrowStatusWrapper& status() {
    thread_local Firebird::ThrowStatusWrapper s(mestre()->getStatus());
    s.init();
    return s;
}

void lancaErroBanco(const Firebird::FbException& e) {
    char texto[2048];
    util()->formatStatus(texto, sizeof texto, e.getStatus());
    throw ErroBanco(cp1252ParaUtf8(texto));
}

}  // namespace cds::firebird
