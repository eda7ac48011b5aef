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

    // The moment of the care is the envelope's.
    bool corpo(const Linha&, const ValoresEnvelope& valores, RegistroBuffer& b) override {
        const Episodio& e = episodio;
        const std::string& momento = valores.profissional.dataAtendimento;
        b.adiciona("<vacinacoes>");
        b.adicionaElemento("turno", e.hora ? std::to_string(turnoDaHora(e.hora->hora)) : "1");
        b.adicionaElemento("numProntuario", e.codPessoa);
        b.adicionaElemento("cnsCidadao", e.cartaoSus);
        b.adicionaNumero("dtNascimento", DataParaLong(e.nascimento));
        b.adicionaElemento("sexo", sexoDoCidadao(e.sexo));
        b.adicionaElemento("localAtendimento", "1");
        b.adicionaElemento("viajante", "false");
        b.adicionaElemento("comunicanteHanseniase", "false");
        b.adicionaElemento("gestante", verdade(gestante));
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

// The individual care's identifiers and layout.
constexpr DadosEnvelope kEnvelope = envelopeDoAtendimento(
    "fichavacinacaomaster", "fichaVacinacaoMasterTransport", 14, "FichaVacinacao_");

}  // namespace

// Vaccination records are not offered to the operator: the window keeps the box hidden.
constinit const DescricaoFicha fichaVacinacao{.tipo = TipoFicha::Vacinacao,
                                              .nome = "vacinacao",
                                              .rotulo = "Ficha de Vacinação",
                                              .status = "Gerando Fichas de Vacinação...",
                                              .emTodas = false,
                                              .envelope = &kEnvelope,
                                              .gera = geraFichas<FichaVacinacao>};

}  // namespace cds
