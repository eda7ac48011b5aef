#include "comum/erro.hpp"

#include <cerrno>
#include <system_error>

namespace cds {

namespace {

// What the operator can do something about, said plainly; the rest by its number.
std::string motivoEmPortugues(int erro) {
    switch (erro) {
        case ENOSPC:
            return "o disco está cheio";
#ifdef EDQUOT
        case EDQUOT:
            return "a cota de disco do usuário acabou";
#endif
        case EACCES:
        case EPERM:
            return "permissão negada";
        case EROFS:
            return "o disco só permite leitura";
        case EISDIR:
            return "há uma pasta com esse nome no lugar";
        case ENOTDIR:
            return "uma parte do caminho não é uma pasta";
        case ENOENT:
            return "o arquivo ou a pasta não existe";
        case EEXIST:
            return "já existe um arquivo com esse nome";
        case ENAMETOOLONG:
            return "o nome é longo demais";
        case EMFILE:
        case ENFILE:
            return "há arquivos abertos demais";
        case EIO:
            return "erro de leitura ou gravação no disco";
        case EBUSY:
        case ETXTBSY:
            return "o arquivo está em uso";
        case EFBIG:
            return "o arquivo ficou grande demais";
        case ELOOP:
            return "há links simbólicos demais no caminho";
        default:
            return "o sistema recusou a operação (erro " + std::to_string(erro) + ")";
    }
}

}  // namespace

std::string motivoDoSistema(int erro) {
    return motivoEmPortugues(erro) + ". Detalhe: " + std::generic_category().message(erro);
}

std::string mensagemComMotivo(const std::string& texto, const std::error_code& erro) {
    return erro ? texto + ": " + motivoDoSistema(erro) + "." : texto + ".";
}

std::string motivoDoSistema(const std::error_code& erro) {
    // A code of the system's own category (Windows' numbers) is said through the errno it
    // stands for, where the library knows one.
    const std::error_condition condicao = erro.default_error_condition();
    if (condicao.category() == std::generic_category()) return motivoDoSistema(condicao.value());
    return "o sistema recusou a operação. Detalhe: " + erro.message();
}

}  // namespace cds
