#include "source/firebird.hpp"

#include <cerrno>
#include <initializer_list>
#include <vector>

#include "comum/cp1252.hpp"
#include "comum/erro.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"

namespace cds::firebird {

namespace {

// Why a call failed, for the operator.
struct Motivo {
    std::string texto;
    bool conexaoPerdida = false;
    bool textoSemWin1252 = false;
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

// The text arguments that follow the code `codigo` in the vector, up to the next code.
std::vector<std::string> argumentos(const ISC_STATUS* erros, ISC_STATUS codigo) {
    std::vector<std::string> textos;
    bool dele = false;
    for (const ISC_STATUS* p = erros; *p != isc_arg_end;) {
        const ISC_STATUS tipo = p[0];
        if (tipo == isc_arg_gds) {
            if (dele) break;
            dele = p[1] == codigo;
        } else if (dele && tipo == isc_arg_string) {
            textos.push_back(cp1252ParaUtf8(reinterpret_cast<const char*>(p[1])));
        } else if (dele && tipo == isc_arg_cstring) {
            textos.push_back(cp1252ParaUtf8(std::string_view(reinterpret_cast<const char*>(p[2]),
                                                             static_cast<std::size_t>(p[1]))));
        }
        p += tipo == isc_arg_cstring ? 3 : 2;
    }
    return textos;
}

// What the system said of a file the engine could not use, when the engine runs in this
// process: an errno, or a Windows error code. A server sends its system's words instead,
// which reach the operator in the library's text.
enum class Sistema { Outro, NaoExiste, SemPermissao, DiscoCheio, SoLeitura, EPasta, EmUso };

Sistema doSistema(const ISC_STATUS* erros) {
    for (const ISC_STATUS* p = erros; *p != isc_arg_end;) {
        const ISC_STATUS tipo = p[0];
        if (tipo == isc_arg_unix) {
            switch (p[1]) {
                case ENOENT:
                case ENOTDIR:
                    return Sistema::NaoExiste;
                case EACCES:
                case EPERM:
                    return Sistema::SemPermissao;
                case ENOSPC:
#ifdef EDQUOT
                case EDQUOT:
#endif
                    return Sistema::DiscoCheio;
                case EROFS:
                    return Sistema::SoLeitura;
                case EISDIR:
                    return Sistema::EPasta;
                default:
                    return Sistema::Outro;
            }
        }
        if (tipo == isc_arg_win32) {
            // ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED,
            // ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_HANDLE_DISK_FULL,
            // ERROR_DISK_FULL, ERROR_WRITE_PROTECT.
            switch (p[1]) {
                case 2:
                case 3:
                    return Sistema::NaoExiste;
                case 5:
                    return Sistema::SemPermissao;
                case 32:
                case 33:
                    return Sistema::EmUso;
                case 39:
                case 112:
                    return Sistema::DiscoCheio;
                case 19:
                    return Sistema::SoLeitura;
                default:
                    return Sistema::Outro;
            }
        }
        p += tipo == isc_arg_cstring ? 3 : 2;
    }
    return Sistema::Outro;
}

// A file the engine could not open, read, write or lock: the database's own, when a
// connection is being made (the caller's words name it), or any, a temporary file of a sort
// included, once connected.
std::string motivoDeArquivo(const ISC_STATUS* erros, Momento momento) {
    const std::vector<std::string> args = argumentos(erros, isc_io_error);
    const std::string operacao = args.empty() ? std::string() : args[0];
    const std::string arquivo = momento == Momento::Conectando || args.size() < 2
                                    ? "arquivo do banco de dados"
                                    : "arquivo " + args[1];
    if (tem(erros, {isc_already_opened}))
        return "o " + arquivo +
               " está aberto por outro servidor Firebird, que não o divide com este programa; "
               "em DATABASE, use o endereço desse servidor (servidor:caminho) no lugar do "
               "caminho do arquivo";
    switch (doSistema(erros)) {
        case Sistema::NaoExiste:
            return "o " + arquivo + " não existe";
        case Sistema::SemPermissao:
            return "o usuário do sistema não tem permissão para " +
                   std::string(operacao == "open"    ? "abrir o "
                               : operacao == "read"  ? "ler o "
                               : operacao == "write" ? "gravar no "
                                                     : "usar o ") +
                   arquivo;
        case Sistema::DiscoCheio:
            return "o disco do " + arquivo + " está cheio";
        case Sistema::SoLeitura:
            return "o disco do " + arquivo + " só permite leitura";
        case Sistema::EPasta:
            return "o " + arquivo + " é uma pasta, não um banco de dados";
        case Sistema::EmUso:
            return "o " + arquivo + " está em uso por outro programa";
        case Sistema::Outro:
            break;
    }
    // The system's own words, a server's among them, are in the library's text.
    if (operacao == "open") return "não foi possível abrir o " + arquivo;
    if (operacao == "read" && momento == Momento::Conectando)
        return "o " + arquivo + " não é um banco de dados Firebird, ou está danificado";
    if (operacao == "read") return "não foi possível ler o " + arquivo;
    if (operacao == "write") return "não foi possível gravar no " + arquivo;
    if (operacao == "lock") return "não foi possível travar o " + arquivo + " para usá-lo";
    return "não foi possível usar o " + arquivo;
}

// The embedded engine locks the databases it opens in a folder of its own (/tmp/firebird on
// Debian), which its package makes its group's alone: a user outside the group cannot open a
// database file, whatever the file's own modes, until joining it; the server, running as its
// own user, opens the same file for anyone.
constexpr char kGrupoFirebird[] = "firebird";
std::string motivoDaPastaDeTravas(const std::string& pasta) {
    return "o usuário do sistema não tem permissão para usar a pasta " + pasta +
           ", onde o motor embarcado do Firebird trava os bancos de dados que abre. Ponha o "
           "usuário no grupo " +
           std::string(kGrupoFirebird) + " (sudo adduser $USER " + kGrupoFirebird +
           ") e entre de novo na sessão; ou abra o mesmo arquivo pelo servidor Firebird, com "
           "DATABASE=localhost:/caminho/clinica.fdb no config.ini (o caminho do arquivo depois "
           "de localhost:)";
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
    if (tem(erros, {isc_login}))
        return {
            "o usuário ou a senha foram recusados pelo servidor (eles vêm de ISC_USER e "
            "ISC_PASSWORD no ambiente, ou de --senha-arquivo na linha de comando)"};
    if (tem(erros, {isc_io_error})) return {motivoDeArquivo(erros, momento)};
    if (tem(erros, {isc_bad_db_format}))
        return {"o arquivo do banco de dados não é um banco de dados Firebird"};
    if (tem(erros, {isc_wrong_ods}))
        return {"o banco de dados é de uma versão do Firebird que este programa não abre"};
    if (tem(erros, {isc_lock_dir_access, isc_sys_request}) &&
        doSistema(erros) == Sistema::SemPermissao) {
        std::vector<std::string> args = argumentos(erros, isc_lock_dir_access);
        if (args.empty()) args = argumentos(erros, isc_random);
        if (args.empty())
            return {
                "o usuário do sistema não tem permissão para chegar ao arquivo do banco de "
                "dados, ou a uma pasta de que o Firebird precisa"};
        if (tem(erros, {isc_sys_request}) && momento == Momento::Conectando)
            return {motivoDaPastaDeTravas(args[0])};
        return {"o usuário do sistema não tem permissão para usar " + args[0] +
                ", de que o Firebird precisa"};
    }
    if (tem(erros, {isc_unavailable})) return {"o banco de dados não está disponível"};
    if (tem(erros, {isc_lock_conflict, isc_deadlock, isc_update_conflict, isc_lock_timeout}))
        return {"outro usuário está alterando os mesmos registros; tente de novo mais tarde"};
    if (tem(erros, {isc_transliteration_failed}) && momento == Momento::Conectado)
        return {
            "um texto do banco de dados tem caracteres que o Windows-1252, a codificação da "
            "conexão, não representa",
            false, true};
    if (tem(erros, {isc_arith_except})) return {"um valor está fora do intervalo aceito"};
    if (tem(erros, {isc_no_priv}) && momento == Momento::Conectando)
        return {
            "o usuário do sistema não tem permissão para gravar no arquivo do banco de dados, "
            "e o exportador grava nele os cadastros enviados"};
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

void lancaErroBanco(const Firebird::FbException& e, std::string_view oQue, Momento momento) {
    const Motivo m = motivo(e.getStatus()->getErrors(), momento);
    const std::string detalhe = ". Detalhe: " + textoDaBiblioteca(e.getStatus());
    // Whatever was being done, the connection is what the operator must see to.
    if (m.conexaoPerdida)
        throw ErroConexaoPerdida("A conexão com o banco de dados foi perdida" + detalhe);
    if (m.textoSemWin1252) throw ErroTextoSemWin1252(std::string(oQue) + ": " + m.texto + detalhe);
    throw ErroBanco(std::string(oQue) + ": " + m.texto + detalhe);
}

void lancaErroBanco(const Firebird::FbException& e, std::string_view oQue, const Vigia& vigia) {
    const std::string segundos = std::to_string(vigia.limite().count());
    switch (vigia.encerrou()) {
        case Vigia::Motivo::SemResposta:
            throw ErroSemResposta(std::string(oQue) +
                                  ": o servidor do banco de dados não respondeu em " + segundos +
                                  " s, e a conexão com ele foi encerrada");
        case Vigia::Motivo::Cancelamento:
            throw ErroConexaoPerdida(std::string(oQue) +
                                     ": a operação foi cancelada e, como o servidor do banco de "
                                     "dados não atendeu ao cancelamento, a conexão com ele foi "
                                     "encerrada");
        case Vigia::Motivo::Nenhum:
            break;
    }
    lancaErroBanco(e, oQue);
}

Posse<Firebird::IXpbBuilder> novoBloco(unsigned tipo) {
    return Posse<Firebird::IXpbBuilder>(util()->getXpbBuilder(&status(), tipo, nullptr, 0));
}

}  // namespace cds::firebird
