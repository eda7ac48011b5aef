#pragma once

#include <string>
#include <utility>
#include <vector>

#include "fichas/ocorrencias.hpp"

namespace cds::teste {

// The report's side of a run, kept as it is told: every line, and every record written.
class OcorrenciasGravadas : public DestinoOcorrencias {
  public:
    struct Gravado {
        TipoFicha tipo;
        bool comAviso, recusavel;
    };

    void registroGravado(TipoFicha tipo, bool comAviso, bool recusavel) override {
        gravados.push_back({tipo, comAviso, recusavel});
    }
    void ocorrencia(const Ocorrencia& o) override { linhas.push_back(o); }

    // The lines of one situation, as "number|reason" for a short comparison.
    std::vector<std::string> de(SituacaoRegistro situacao) const {
        std::vector<std::string> textos;
        for (const Ocorrencia& o : linhas)
            if (o.situacao == situacao) textos.push_back(o.numero + "|" + o.motivo);
        return textos;
    }

    std::vector<Ocorrencia> linhas;
    std::vector<Gravado> gravados;
};

}  // namespace cds::teste
