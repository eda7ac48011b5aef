#include "fichas/profissional_generico.hpp"

#include "source/consulta.hpp"

namespace cds {

bool profissionalCadastrado(Transacao& transacao, std::string_view codigo) {
    Consulta q(transacao, "select 1 from profissionais where codigo = :pcodigo");
    q.parametro("pcodigo", codigo);
    return !q.abre().empty();
}

}  // namespace cds
