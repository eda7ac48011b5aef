#pragma once

#include <functional>

#include "fichas/execucao.hpp"
#include "record/envelope.hpp"

namespace cds {

// One individual care form per medical care episode of the period.
void geraFichaAtendimento(Execucao& execucao);

// The care episodes of the period, on IBQuery1: the main query of the individual care
// record, which the vaccination record reads too.
void abreConsultaAtendimentos(Execucao& execucao);

// The envelope values of the care row under IBQuery1, for the care and vaccination kinds.
ValoresEnvelope envelopeDoAtendimento(const Execucao& execucao, TipoFicha tipo);

// One file of a care row: the envelope's head, the body the caller writes, the tail; saved
// under the kind's name and listed. A professional without a team is reported.
void gravaFichaDoAtendimento(Execucao& execucao, RegistroBuffer& buffer, TipoFicha tipo,
                             const std::function<void(RegistroBuffer&)>& corpo);

// "0" for a citizen whose SEXO is "MASCULINO" in any case, "1" otherwise.
std::string sexoDoCidadao(const Consulta& linha);

// 1 before noon, 2 in the afternoon, 3 from 18:00 on.
int turnoDaHora(int hora);

}  // namespace cds
