#pragma once

#include "comum/datahora.hpp"
#include "fichas/execucao.hpp"

namespace cds {

// A clock that always says the same moment; a test may move it between calls.
class RelogioFixo : public Relogio {
  public:
    explicit RelogioFixo(DataHora momento) : momento(momento) {}
    DataHora agora() const override { return momento; }

    DataHora momento;
};

}  // namespace cds
