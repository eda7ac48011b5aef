// The vaccination form: one per row of the individual care query of the period.

#include "fichas/atendimentos.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

// The clinic's database holds no vaccination data: the citizen and the moment come from the
// care row, and the five vaccine elements go out empty.
class FichaVacinacao : public FichaDeAtendimentos {
  public:
    explicit FichaVacinacao(Execucao& ex) : FichaDeAtendimentos(ex, TipoFicha::Vacinacao) {}

    bool corpo(const Linha& a, const ValoresEnvelope&, RegistroBuffer& b) override {
        const std::string momento = momentoDoAtendimento(a);
        const auto hora = a.dataHora("HORA");
        b.adiciona("<vacinacoes>");
        b.adicionaElemento("turno", hora ? std::to_string(turnoDaHora(hora->hora)) : "1");
        b.adicionaElemento("numProntuario", a.texto("CODPESSOA"));
        b.adicionaElemento("cnsCidadao", a.texto("CARTAOSUS"));
        b.adicionaNumero("dtNascimento", DataParaLong(a.dataHora("DTNASCIMENTO")));
        b.adicionaElemento("sexo", sexoDoCidadao(a));
        b.adicionaElemento("localAtendimento", "1");
        b.adicionaElemento("viajante", "false");
        b.adicionaElemento("comunicanteHanseniase", "false");
        b.adicionaElemento("gestante", a.texto("gestante") == "S" ? "true" : "false");
        b.adicionaElemento("puerpera", "false");
        b.adiciona("<vacinas>");
        for (const char* tag :
             {"imunobiologico", "estrategiaVacinacao", "dose", "lote", "fabricante"})
            b.adicionaElemento(tag, "");
        b.adiciona("</vacinas>");
        b.adicionaElemento("dataHoraInicialAtendimento", momento);
        b.adicionaElemento("dataHoraFinalAtendimento", momento);
        b.adiciona("</vacinacoes>");
        return true;
    }
};

}  // namespace

void geraFichaVacinacao(Execucao& execucao, const DescricaoFicha& descricao) {
    geraFichas<FichaVacinacao>(execucao, descricao);
}

}  // namespace cds
