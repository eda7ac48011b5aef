#pragma once

#include "fichas/execucao.hpp"

namespace cds {

// One vaccination form per care episode of the period (the individual care rows).
void geraFichaVacinacao(Execucao& execucao);

}  // namespace cds
