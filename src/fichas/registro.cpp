#include "fichas/registro.hpp"

#include <stdexcept>

#include "record/envelope.hpp"

namespace cds {

std::span<const DescricaoFicha> registroFichas() {
    // Copied from the kinds' own entries, which are constant-initialized, in the list's order.
#define CDS_ENTRADA(nome) ficha##nome,
    static const DescricaoFicha fichas[] = {CDS_FICHAS(CDS_ENTRADA)};
#undef CDS_ENTRADA
    return fichas;
}

const DescricaoFicha* fichaPorNome(std::string_view nome) {
    for (const DescricaoFicha& d : registroFichas())
        if (d.nome == nome) return &d;
    return nullptr;
}

const DescricaoFicha& descricaoFicha(TipoFicha tipo) {
    for (const DescricaoFicha& d : registroFichas())
        if (d.tipo == tipo) return d;
    throw std::logic_error("tipo de ficha fora do registro");
}

std::string_view prefixoArquivo(TipoFicha tipo) {
    return descricaoFicha(tipo).envelope->prefixoArquivo;
}

bool ehCadastro(TipoFicha tipo) {
    return descricaoFicha(tipo).envelope->cadastro;
}

std::string_view nomeResumo(TipoFicha tipo) {
    std::string_view prefixo = prefixoArquivo(tipo);
    if (prefixo.ends_with('_')) prefixo.remove_suffix(1);
    return prefixo;
}

std::string nomeArquivo(TipoFicha tipo, std::string_view numero) {
    return nomeArquivo(*descricaoFicha(tipo).envelope, numero);
}

}  // namespace cds
