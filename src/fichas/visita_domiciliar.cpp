// The home visit form: one per visit of the period found among the attendances, each file
// carrying exactly one visit.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comum/texto.hpp"
#include "fichas/atendimentos.hpp"
#include "fichas/gerador.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

// The visits of the period, VISITA in any spelling: those the home visit record takes are
// spelled VISITA, by a professional on file, of a citizen on file with a usable health card.
// The address columns come along for the clinical system's screens and are not written. The
// professional line is there only when a code was given.
constexpr CondicaoDeSelecao kCondicoes[] = {
    {"FAA.ESPECIEATEND='VISITA'", "espécie do atendimento '{}' fora do padrão (deve ser VISITA)",
     "ESPECIEATEND"},
    kProfissionalCadastrado,
    kCidadaoCadastrado,
    {"COALESCE(PESSOAS.CARTAOSUS,'')<>''", "cidadão sem Cartão SUS"},
    {"UPPER(PESSOAS.CARTAOSUS)<>'X' AND UPPER(PESSOAS.CARTAOSUS)<>'0'",
     "Cartão SUS do cidadão '{}' não é um número de cartão", "CARTAOSUS"},
};

constexpr std::string_view kColunas = R"(
SELECT distinct FAA.CODUNIDADE, FAA.NUMFAA, PROFISSIONAIS.CNS,
  profissionais.nome as nomeprofissional, PROFISSIONAIS.INE, PESSOAS.AREA, PESSOAS.MICROAREA,
  Bairros.nome as NomeBairro, PESSOAS.cepresidencia, PESSOAS.ENDERECO, LOCALIDADE.CODIBGE,
  LOCALIDADE.DNE, FAA.HORA, FAA.DATA, FAA.DESFECHOVISITA, PROFISSIONAIS.CBO, FAA.CODPESSOA,
  PESSOAS.SEXO, coalesce(PESSOAS.CARTAOSUS,'') AS CARTAOSUS, PESSOAS.DTNASCIMENTO,
  FAA.ESPECIEATEND,
)";

constexpr std::string_view kOrigem = R"(
FROM FAA
LEFT OUTER JOIN PROFISSIONAIS ON (PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL)
LEFT OUTER JOIN PESSOAS ON (PESSOAS.CODIGO=FAA.CODPESSOA)
LEFT OUTER JOIN bairros on (Bairros.codigo=Pessoas.codBairro)
LEFT OUTER JOIN CEP ON (CEP.codcep=PESSOAS.CEPRESIDENCIA)
LEFT OUTER JOIN LOCALIDADE ON (LOCALIDADE.CODIGO=CEP.CODLOCALIDADE)
WHERE UPPER(TRIM(FAA.ESPECIEATEND))='VISITA'
AND FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
)";

constexpr std::string_view kDoProfissional = R"(
AND FAA.CODPROFISSIONAL=:pcodprof
)";

// The visits' reasons, read once for the period: visit numbers repeat across units, so a
// visit's reasons are those of its own number and unit.
constexpr std::string_view kMotivos = R"(
FROM FAA
INNER JOIN FAAMOTVISITAS ON FAAMOTVISITAS.NUMFAA=FAA.NUMFAA
  AND FAAMOTVISITAS.CODUNIDADE=FAA.CODUNIDADE
WHERE FAA.ESPECIEATEND='VISITA'
)";

// The visits of the period, which hold those of the main query.
constexpr std::string_view kVisitasDoPeriodo = R"(
AND FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
)";

// Reason 26 never goes to the file; a visit made without any reason recorded goes with 29.
constexpr std::string_view kMotivoSemCodigo = "26";
constexpr std::string_view kMotivoOutros = "29";

// The main query's origin and parameters, which the count of its records shares.
std::string origemDasVisitas(const ParametrosExportacao& p) {
    std::string origem(kOrigem);
    if (!p.CodProf.empty()) origem += kDoProfissional;
    return origem;
}

void vinculaVisitas(Consulta& q, const ParametrosExportacao& p) {
    if (!p.CodProf.empty()) q.parametro("pcodprof", p.CodProf);
    vinculaPeriodo(q, p);
}

Consulta consultaVisitas(Execucao& ex) {
    const ParametrosExportacao& p = ex.parametros;
    Consulta q(ex.transacao, std::string(kColunas) + colunaDaSelecao(kCondicoes) +
                                 origemDasVisitas(p) + kChaveDoEpisodio.ordem());
    vinculaVisitas(q, p);
    return q;
}

ConsultaPorRegistro consultaMotivos(Execucao& ex) {
    const std::string& codProf = ex.parametros.CodProf;
    std::string visitas(kVisitasDoPeriodo);
    if (!codProf.empty()) visitas += kDoProfissional;
    ConsultaPorRegistro q = consultaPorEpisodio(ex, "FAAMOTVISITAS.CODMOTIVO", kMotivos, visitas,
                                                "FAAMOTVISITAS.CODMOTIVO");
    if (!codProf.empty()) q.consulta().parametro("pcodprof", codProf);
    return q;
}

// A visit as the main query gives it; the professional and the record's number and unit are
// the envelope's, read by the driver.
struct Visita {
    ChaveRegistro chave;
    // None gives the morning.
    std::optional<DataHora> hora;
    std::string prontuario;
    std::string cartaoSus;
    std::optional<DataHora> nascimento;
    std::string sexo;
    std::string desfecho;
    std::string microArea;
};

Visita leVisita(const Linha& r) {
    return {.chave = kChaveDoEpisodio.daLinha(r),
            .hora = r.dataHora("HORA"),
            .prontuario = r.texto("CODPESSOA"),
            .cartaoSus = r.texto("CARTAOSUS"),
            .nascimento = r.dataHora("DTNASCIMENTO"),
            .sexo = std::string(sexoDoCidadao(r.texto("SEXO"))),
            .desfecho = r.texto("DESFECHOVISITA"),
            .microArea = r.texto("MICROAREA")};
}

// A row of the reasons' look-up: the reason's code.
std::string leMotivo(const Linha& r) {
    return r.texto("CODMOTIVO");
}

class FichaVisitaDomiciliar : public Ficha {
  public:
    explicit FichaVisitaDomiciliar(Execucao& ex)
        : Ficha(ex), visitas(consultaVisitas(ex)), motivos(consultaMotivos(ex)) {}

    std::size_t abreRegistros() override {
        const ParametrosExportacao& p = execucao.parametros;
        const std::size_t registros =
            contaRegistros(execucao.transacao, kChaveDoEpisodio, origemDasVisitas(p),
                           [&p](Consulta& q) { vinculaVisitas(q, p); });
        motivos.abre();
        visitas.percorre();
        return registros;
    }

    const Linha* proximoRegistro() override { return visitas.proxima(); }

    std::span<const CondicaoDeSelecao> condicoes() const override { return kCondicoes; }

    bool corpo(const Linha& r, const ValoresEnvelope&, RegistroBuffer& b) override {
        const Visita v = leVisita(r);
        b.adiciona("<visitasDomiciliares>");
        b.adicionaNumero("turno", v.hora ? std::to_string(turnoDaHora(v.hora->hora)) : "1");
        b.adicionaElemento("numProntuario", v.prontuario);
        if (comprimento(v.cartaoSus) == 15) b.adicionaElemento("cnsCidadao", v.cartaoSus);
        b.adicionaNumero("dtNascimento", DataParaLong(v.nascimento));
        b.adicionaNumero("sexo", v.sexo);
        b.adiciona(
            "<statusVisitaCompartilhadaOutroProfissional>false"
            "</statusVisitaCompartilhadaOutroProfissional>");
        // A visit not made (outcome 2 or 3) has no reasons; one without an outcome has.
        if (v.desfecho != "2" && v.desfecho != "3") escreveMotivos(v.chave, b);
        b.adicionaNumero("desfecho", apara(v.desfecho).empty() ? "1" : v.desfecho);
        b.adicionaElemento("microArea", ZeroEsquerda(v.microArea, 2));
        b.adiciona("<stForaArea>false</stForaArea>");
        b.adicionaNumero("tipoDeImovel", "1");
        b.adiciona("</visitasDomiciliares>");
        return true;
    }

  private:
    void escreveMotivos(const ChaveRegistro& chave, RegistroBuffer& b) {
        const std::vector<Linha>& linhas = motivos.de(chave);
        if (linhas.empty()) b.adicionaNumero("motivosVisita", kMotivoOutros);
        for (const Linha& m : linhas)
            if (const std::string codigo = leMotivo(m); codigo != kMotivoSemCodigo)
                b.adicionaNumero("motivosVisita", codigo);
    }

    Consulta visitas;
    ConsultaPorRegistro motivos;
};

using enum LinhaEnvelope;
constexpr LinhaEnvelope kCabecalho[] = {DeclaracaoXml,
                                        AberturaRaiz,
                                        Vazia,
                                        UuidDadoSerializado,
                                        TipoDadoSerializado,
                                        CodIbge,
                                        CnesDadoSerializado,
                                        IneDadoSerializado,
                                        NumLote,
                                        Vazia,
                                        AberturaTransporte,
                                        UuidFicha,
                                        TpCdsOrigem,
                                        HeaderTransport};
constexpr LinhaEnvelope kRodape[] = {FechamentoTransporte, Vazia, Remetente, Vazia,
                                     Originadora,          Vazia, Versao,    Vazia,
                                     FechamentoRaiz};
constexpr DadosEnvelope kEnvelope{.caminhoNs4 = "fichavisitadomiciliarmaster",
                                  .elementoTransporte = "fichaVisitaDomiciliarMasterTransport",
                                  .tipoDado = 8,
                                  .numLote = 2,
                                  .cadastro = false,
                                  .ineDado = RegraIneDado::Vazia,
                                  .meioTransporte = "-da1cb4c9-0008-0000-0000-",
                                  .meioInstalacao = "-da1cb4c9-0000-0000-0008-",
                                  .larguraNumero = 0,
                                  .fichaComUnidadeSemZeros = false,
                                  .lotacaoFormPrincipal = false,
                                  .prefixoArquivo = "FichaVisitaDomiciliar_",
                                  .larguraNumeroArquivo = 0,
                                  .cabecalho = kCabecalho,
                                  .rodape = kRodape};

}  // namespace

constinit const DescricaoFicha fichaVisitaDomiciliar{
    .tipo = TipoFicha::VisitaDomiciliar,
    .nome = "visita-domiciliar",
    .rotulo = "Ficha Visita Domiciliar e Territorial",
    .status = "Gerando Fichas de Visita Domiciliar...",
    .emTodas = true,
    .envelope = &kEnvelope,
    .gera = geraFichas<FichaVisitaDomiciliar>};

}  // namespace cds
