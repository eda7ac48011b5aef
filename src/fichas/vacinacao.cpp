#include "fichas/vacinacao.hpp"

#include "fichas/atendimento_individual.hpp"
#include "record/codificacao.hpp"

namespace cds {

namespace {

// The clinic's database holds no vaccination data: the citizen and the moment come from the
// care row, and the five vaccine elements go out empty.
void escreveVacinacao(const Consulta& q, RegistroBuffer& b) {
    const std::string hora = q.texto("HORA");
    const std::string momento = DataParaLong(q.texto("DATA") + " " + hora);
    b.adiciona("<vacinacoes>");
    b.adicionaElemento("turno",
                       hora.empty() ? "1" : std::to_string(turnoDaHora(q.dataHora("HORA").hora)));
    b.adicionaElemento("numProntuario", q.texto("CODPESSOA"));
    b.adicionaElemento("cnsCidadao", q.texto("CARTAOSUS"));
    b.adicionaElemento("dtNascimento", DataParaLong(q.texto("DTNASCIMENTO")));
    b.adicionaElemento("sexo", sexoDoCidadao(q));
    b.adicionaElemento("localAtendimento", "1");
    b.adicionaElemento("viajante", "false");
    b.adicionaElemento("comunicanteHanseniase", "false");
    b.adicionaElemento("gestante", q.texto("gestante") == "S" ? "true" : "false");
    b.adicionaElemento("puerpera", "false");
    b.adiciona("<vacinas>");
    for (const char* tag : {"imunobiologico", "estrategiaVacinacao", "dose", "lote", "fabricante"})
        b.adicionaElemento(tag, "");
    b.adiciona("</vacinas>");
    b.adicionaElemento("dataHoraInicialAtendimento", momento);
    b.adicionaElemento("dataHoraFinalAtendimento", momento);
    b.adiciona("</vacinacoes>");
}

}  // namespace

void geraFichaVacinacao(Execucao& ex) {
    ex.status("Gerando Fichas de Vacinação...");
    abreConsultaAtendimentos(ex);
    const std::size_t total = ex.IBQuery1.quantidade();
    RegistroBuffer buffer;
    std::size_t feitos = 0;
    for (; !ex.IBQuery1.fim(); ex.IBQuery1.proximo()) {
        gravaFichaDoAtendimento(ex, buffer, TipoFicha::Vacinacao,
                                [&](RegistroBuffer& b) { escreveVacinacao(ex.IBQuery1, b); });
        ex.operador.progresso(++feitos, total);
    }
}

}  // namespace cds
