#include "source/firebird.hpp"

#include <initializer_list>

#include "comum/cp1252.hpp"
#include "comum/erro.hpp"
#include "source/motor_embarcado.hpp"

namespace cds::firebird {

namespace {

// Why a call failed, for the operator.
struct Motivo {
    std::string texto;
    bool conexaoPerdida = false;
};

bool tem(const ISC_STATUS* erros, std::initializer_list<ISC_STATUS> codigos) {
    // The vector is pairs of a kind and a value, a string argument taking one more place, up
    // to isc_arg_end.
    for (const ISC_STATUS* p = erros; *p != isc_arg_end;) {
        const ISC_STATUS tipo = p[0];
        if (tipo == isc_arg_gds)
            for (const ISC_STATUS c : codigos)
                if (p[1] == c) return true;
        p += tipo == isc_arg_cstring ? 3 : 2;
    }
    return false;
}

Motivo motivo(const ISC_STATUS* erros, Momento momento) {
    if (tem(erros, {isc_cancelled})) return {"a operação foi cancelada"};
    if (tem(erros, {isc_connect_reject}))
        return {"o servidor não respondeu a tempo ou recusou a conexão"};
    if (tem(erros, {isc_network_error, isc_net_connect_err, isc_net_connect_listen_err,
                    isc_net_read_err, isc_net_write_err, isc_conn_lost, isc_lost_db_connection,
                    isc_att_shutdown, isc_shutdown})) {
        if (momento == Momento::Conectando)
            return {"o servidor não pôde ser alcançado ou o banco de dados está fechado"};
        return {"a conexão com o banco de dados foi perdida", true};
    }
    if (tem(erros, {isc_login})) return {"o usuário ou a senha foram recusados pelo servidor"};
    if (tem(erros, {isc_io_error}))
        return {"o arquivo do banco de dados não existe ou não pôde ser aberto"};
    if (tem(erros, {isc_unavailable})) return {"o banco de dados não está disponível"};
    if (tem(erros, {isc_lock_conflict, isc_deadlock, isc_update_conflict, isc_lock_timeout}))
        return {"outro usuário está alterando os mesmos registros; tente de novo mais tarde"};
    if (tem(erros, {isc_arith_except})) return {"um valor está fora do intervalo aceito"};
    if (tem(erros, {isc_no_priv})) return {"o usuário não tem permissão para isso"};
    if (tem(erros, {isc_dsql_error})) return {"o servidor recusou o comando"};
    return {"o banco de dados informou um erro"};
}

// The library's text on one line: it comes in several, each after the first begun with "-".
std::string textoDaBiblioteca(Firebird::IStatus* status) {
    char texto[2048];
    util()->formatStatus(texto, sizeof texto, status);
    std::string linha = cp1252ParaUtf8(texto);
    for (char& c : linha)
        if (c == '\n' || c == '\r') c = ' ';
    return linha;
}

// The status of one thread, disposed when the thread ends.
struct StatusDaThread {
    Posse<Firebird::IStatus> objeto{mestre()->getStatus()};
    Firebird::ThrowStatusWrapper involucro{objeto.get()};
};

}  // namespace

Firebird::IMaster* mestre() {
    static Firebird::IMaster* const m = [] {
        // Before the library reads its configuration, which it does once.
        configuraMotorEmbarcado();
        return Firebird::fb_get_master_interface();
    }();
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

void lancaErroBanco(const Firebird::FbException& e, std::string_view oQue, Momento momento) {
    const Motivo m = motivo(e.getStatus()->getErrors(), momento);
    const std::string detalhe = ". Detalhe: " + textoDaBiblioteca(e.getStatus());
    // Whatever was being done, the connection is what the operator must see to.
    if (m.conexaoPerdida)
        throw ErroConexaoPerdida("A conexão com o banco de dados foi perdida" + detalhe);
    throw ErroBanco(std::string(oQue) + ": " + m.texto + detalhe);
}

Posse<Firebird::IXpbBuilder> novoBloco(unsigned tipo) {
    return Posse<Firebird::IXpbBuilder>(util()->getXpbBuilder(&status(), tipo, nullptr, 0));
}

}  // namespace cds::firebird
