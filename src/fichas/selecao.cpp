#include "fichas/selecao.hpp"

#include "comum/erro.hpp"
#include "comum/texto.hpp"

namespace cds {

// Nested so that each condition is tested only when those before it held, as a WHERE of
// conditions joined by AND would: a CASE WHEN takes a NULL condition as failed, as a WHERE does.
std::string colunaDaSelecao(std::span<const CondicaoDeSelecao> condicoes) {
    std::string coluna = "0";
    for (std::size_t i = condicoes.size(); i-- > 0;)
        coluna = "CASE WHEN (" + std::string(condicoes[i].sql) + ") THEN " + coluna + " ELSE " +
                 std::to_string(i + 1) + " END";
    return coluna + " AS MOTIVO_FORA";
}

std::optional<std::string> motivoDeFora(const Linha& registro,
                                        std::span<const CondicaoDeSelecao> condicoes) {
    if (condicoes.empty()) return std::nullopt;
    const std::int64_t lugar = registro.inteiro("MOTIVO_FORA");
    if (lugar == 0) return std::nullopt;
    if (lugar < 0 || static_cast<std::size_t>(lugar) > condicoes.size())
        throw ErroConversao("A consulta deu o motivo " + std::to_string(lugar) +
                            " para deixar um registro de fora, que ela não tem");
    const CondicaoDeSelecao& condicao = condicoes[static_cast<std::size_t>(lugar - 1)];
    std::string motivo(condicao.motivo);
    if (const auto onde = motivo.find("{}"); onde != std::string::npos) {
        const std::string valor =
            condicao.detalhe.empty() ? std::string() : registro.texto(condicao.detalhe);
        motivo.replace(onde, 2, apara(valor));
    }
    return motivo;
}

}  // namespace cds
