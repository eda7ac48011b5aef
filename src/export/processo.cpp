#include "export/processo.hpp"

#include "comum/plataforma_tarefa.hpp"
#include "source/motor_embarcado.hpp"

namespace cds {

void preparaProcesso() {
    guardaMemoriaLiberada();
    ignoraEscritaSemLeitor();
    configuraMotorEmbarcado();
}

}  // namespace cds
