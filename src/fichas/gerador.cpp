#include "fichas/gerador.hpp"

#include "comum/erro.hpp"

namespace cds {
namespace {

void gravaRegistro(Execucao& ex, TipoFicha tipo, Ficha& ficha, const Linha& registro,
                   RegistroBuffer& buffer) {
    const ValoresEnvelope valores = ficha.envelope(registro);
    buffer.limpa();
    escreveCabecalho(buffer, valores);
    if (!temIne(valores.profissional))
        if (auto aviso = ficha.avisoSemIne(registro)) ex.erroELog(*aviso);
    ficha.corpo(registro, buffer);
    escreveRodape(buffer, valores);
    const std::string caminho = ex.caminhoArquivo(nomeArquivo(tipo, valores.numero));
    buffer.salva(caminho);
    ex.ListaArquivos.push_back({caminho, tipo});
}

}  // namespace

void geraRegistros(Execucao& ex, TipoFicha tipo, Ficha& ficha) {
    const std::vector<Linha>& registros = ficha.registros();
    RegistroBuffer buffer;
    std::size_t feitos = 0;
    for (const Linha& registro : registros) {
        try {
            gravaRegistro(ex, tipo, ficha, registro, buffer);
        } catch (Erro& e) {
            // Which record it was, so the operator can find and mend it in the clinical system.
            const IdentidadeRegistro id = ficha.identidade(registro);
            e.acrescentaContexto(std::string(dadosTipo(tipo).prefixoArquivo) + id.numero +
                                 " (unidade " + id.unidade + ")");
            throw;
        }
        ex.operador.progresso(++feitos, registros.size());
    }
}

}  // namespace cds
