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

// The individual care's identifiers and layout.
using enum LinhaEnvelope;
constexpr LinhaEnvelope kCabecalho[] = {DeclaracaoXml,
                                        AberturaRaiz,
                                        UuidDadoSerializado,
                                        TipoDadoSerializado,
                                        CodIbge,
                                        CnesDadoSerializado,
                                        NumLote,
                                        Vazia,
                                        AberturaTransporte,
                                        Vazia,
                                        HeaderTransport,
                                        Vazia};
constexpr LinhaEnvelope kRodape[] = {TpCdsOrigem, UuidFicha,     FechamentoTransporte, Vazia,
                                     Remetente,   Vazia,         Originadora,          Vazia,
                                     Versao,      FechamentoRaiz};
constexpr DadosEnvelope kEnvelope{.caminhoNs4 = "fichavacinacaomaster",
                                  .elementoTransporte = "fichaVacinacaoMasterTransport",
                                  .tipoDado = 14,
                                  .numLote = 2,
                                  .cadastro = false,
                                  .ineDado = RegraIneDado::NaoEscrita,
                                  .meioTransporte = "-da1cb4c9-0004-0000-0000-",
                                  .meioInstalacao = "-da1cb4c9-0000-0000-0004-",
                                  .larguraNumero = 0,
                                  .fichaComUnidadeSemZeros = true,
                                  .lotacaoFormPrincipal = true,
                                  .prefixoArquivo = "FichaVacinacao_",
                                  .larguraNumeroArquivo = 0,
                                  .cabecalho = kCabecalho,
                                  .rodape = kRodape};

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
