// The individual care form: one per medical care episode of the period.

#include <algorithm>
#include <string_view>

#include "comum/texto.hpp"
#include "fichas/atendimentos.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

// The look-ups of the care record, each read once for the medical episodes of the period; each
// episode's rows are those of its number and unit, since episode numbers repeat across units.
constexpr std::string_view kCiaps = R"(
FROM FAA
INNER JOIN FAACIAPS ON FAACIAPS.NUMFAA=FAA.NUMFAA AND FAACIAPS.CODUNIDADE=FAA.CODUNIDADE
WHERE COALESCE(FAACIAPS.CODCIAP,'')<>'XXX'
AND COALESCE(FAACIAPS.CODCIAP,'')<>'X'
)";

// The first one counts.
constexpr std::string_view kCid = R"(
FROM FAA
INNER JOIN FAACID ON FAACID.NUMFAA=FAA.NUMFAA AND FAACID.CODUNIDADE=FAA.CODUNIDADE
WHERE COALESCE(FAACID.CODCID,'')<>'XXX'
)";

// The exams asked for or evaluated in an episode; those without a SIGTAP code (marked in
// semcodigosigtap) also go apart.
constexpr std::string_view kColunasExames = R"(fp.codprocedunif, fp.ExameSolicitado,
  fp.ExameAvaliado, s.codproceSus,
  case when s.codprocesus is null or s.codprocesus = '' then 1 else 0 end as semcodigosigtap)";
constexpr std::string_view kExames = R"(
from FAA
inner join faaproced fp on fp.numfaa = FAA.NUMFAA and fp.codunidade = FAA.CODUNIDADE
inner join susprocedunif s on s.codigo = fp.codprocedunif
where (fp.ExameSolicitado = 'S' or fp.ExameAvaliado = 'S')
)";

// The medical episodes of the period, which hold those of the main query.
constexpr std::string_view kEpisodiosMedicos = R"(
AND FAA.ESPECIEATEND='MEDICO' AND FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
AND COALESCE(FAA.CARATER,'')<>'8' AND COALESCE(FAA.CARATER,'')<>'7'
)";

constexpr std::string_view kDoProfissional = R"(
AND FAA.CODPROFISSIONAL=:pcodprof
)";

// The rows of each episode in its table's key: the codes for the tables keyed by them alone.
ConsultaPorRegistro consultaDeEpisodios(Execucao& ex, std::string_view colunas,
                                        std::string_view origem, std::string_view ordem) {
    const std::string& codProf = ex.parametros.CodProf;
    std::string episodios(kEpisodiosMedicos);
    if (!codProf.empty()) episodios += kDoProfissional;
    ConsultaPorRegistro q = consultaPorEpisodio(ex, colunas, origem, episodios, ordem);
    if (!codProf.empty()) q.consulta().parametro("pcodprof", codProf);
    return q;
}

void escreveAvaliacaoNutricional(const Linha& a, RegistroBuffer& b) {
    const double peso = a.real("PESO");
    if (peso > 0.5 && peso < 500)
        b.adicionaElemento("pesoAcompanhamentoNutricional", formataNumero(peso, "0,##"));
    // Height comes in centimetres or, from older triage screens, in metres.
    const double altura = a.real("ALTURA");
    if (altura >= 20 && altura <= 250)
        b.adicionaElemento("alturaAcompanhamentoNutricional", formataNumero(altura, "00000"));
    else if (altura > 0.2 && altura < 2.5)
        b.adicionaElemento("alturaAcompanhamentoNutricional", formataNumero(altura * 100, "00000"));
}

void escreveGestacao(const Linha& a, RegistroBuffer& b) {
    b.adicionaNumero("aleitamentoMaterno", a.texto("ALEITMATERNO"));
    b.adicionaNumero("dumDaGestante", DataParaLong(a.dataHora("DUM")));
    b.adicionaNumero("idadeGestacional", a.texto("IDADEGEST"));
}

void escreveDesfecho(const Linha& a, RegistroBuffer& b) {
    if (!apara(a.texto("VACINAEMDIA")).empty()) b.adiciona("<vacinaEmDia>true</vacinaEmDia>");
    b.adiciona(apara(a.texto("FICOUOBS")).empty() ? "<ficouEmObservacao>false</ficouEmObservacao>"
                                                  : "<ficouEmObservacao>true</ficouEmObservacao>");
    const std::string conduta = a.texto("ESUS_CONDUTA");
    if (apara(conduta).empty())
        b.adiciona("<condutas>9</condutas>");
    else
        b.adicionaElemento("condutas", conduta);
    if (a.texto("gestante") == "S")
        b.adiciona(a.texto("gravidezplan") == "S"
                       ? "<stGravidezPlanejada>true</stGravidezPlanejada>"
                       : "<stGravidezPlanejada>false</stGravidezPlanejada>");
    b.adicionaNumero("nuGestasPrevias", a.texto("NUMGESTPREVIAS"));
    b.adicionaNumero("nuPartos", a.texto("NUMPARTOS"));
    const double pc = a.real("pc");
    if (pc >= 10 && pc <= 200) b.adicionaElemento("perimetroCefalico", formataNumero(pc, "000000"));
}

class FichaAtendimentoIndividual : public FichaDeAtendimentos {
  public:
    explicit FichaAtendimentoIndividual(Execucao& ex)
        : FichaDeAtendimentos(ex, TipoFicha::AtendimentoIndividual),
          ciaps(consultaDeEpisodios(ex, "FAACIAPS.CODCIAP", kCiaps, "FAACIAPS.CODCIAP")),
          cid(consultaDeEpisodios(ex, "FAACID.CODCID", kCid, "FAACID.CODCID")),
          exames(consultaDeEpisodios(ex, kColunasExames, kExames, "fp.CODIGO")) {}

    std::optional<std::size_t> abreRegistros() override {
        for (ConsultaPorRegistro* q : {&ciaps, &cid, &exames}) q->abre();
        return FichaDeAtendimentos::abreRegistros();
    }

    bool corpo(const Linha& a, const ValoresEnvelope&, RegistroBuffer& b) override {
        const ChaveRegistro chave = kChaveDoEpisodio.daLinha(a);
        b.adiciona("<atendimentosIndividuais>");
        b.adicionaNumero("dataNascimento", DataParaLong(a.dataHora("DTNASCIMENTO")));
        b.adiciona("<localDeAtendimento>1</localDeAtendimento>");
        b.adiciona("<sexo>" + sexoDoCidadao(a) + "</sexo>");
        if (const auto hora = a.dataHora("HORA"))
            b.adiciona("<turno>" + std::to_string(turnoDaHora(hora->hora)) + "</turno>");
        b.adicionaNumero("tipoAtendimento", a.texto("CARATER"));
        escreveAvaliacaoNutricional(a, b);
        escreveGestacao(a, b);
        b.adiciona("<atencaoDomiciliarModalidade>1</atencaoDomiciliarModalidade>");
        escreveProblemaAvaliado(chave, b);
        b.adicionaVazia();
        escreveExamesSigtap(chave, b);
        escreveOutrosExames(chave, b);
        escreveDesfecho(a, b);
        b.adiciona("</atendimentosIndividuais>");
        return true;
    }

  private:
    void escreveProblemaAvaliado(const ChaveRegistro& chave, RegistroBuffer& b) {
        b.adiciona("<problemaCondicaoAvaliada>");
        escreveCiaps(chave, b);
        escreveCid(chave, b);
        b.adiciona("</problemaCondicaoAvaliada>");
    }

    // The "ABP" code kept last wins; the first two other codes follow; further ones are
    // dropped.
    void escreveCiaps(const ChaveRegistro& chave, RegistroBuffer& b) {
        std::string ciap, outro1, outro2;
        int outros = 0;
        for (const Linha& l : ciaps.de(chave)) {
            std::string codigo = l.texto("CODCIAP");
            if (codigo.starts_with("ABP")) {
                ciap = std::move(codigo);
            } else {
                ++outros;
                if (outros == 1) outro1 = std::move(codigo);
                if (outros == 2) outro2 = std::move(codigo);
            }
        }
        if (!ciap.empty()) b.adicionaElemento("ciaps", ciap);
        if (!outro1.empty()) b.adicionaElemento("outroCiap1", outro1);
        if (!outro2.empty()) b.adicionaElemento("outroCiap2", outro2);
    }

    void escreveCid(const ChaveRegistro& chave, RegistroBuffer& b) {
        const std::vector<Linha>& linhas = cid.de(chave);
        if (linhas.empty()) return;
        std::string codigo = linhas.front().texto("CODCID");
        std::erase(codigo, '.');
        b.adicionaElemento("cid10", apara(codigo));
    }

    void escreveExamesSigtap(const ChaveRegistro& chave, RegistroBuffer& b) {
        const std::vector<Linha>& linhas = exames.de(chave);
        for (const Linha& e : linhas)
            if (const auto c = e.texto("codprocesus");
                !c.empty() && e.texto("exameSolicitado") == "S")
                b.adicionaElemento("examesSolicitados", c);
        for (const Linha& e : linhas)
            if (const auto c = e.texto("codprocesus");
                !c.empty() && e.texto("exameAvaliado") == "S")
                b.adicionaElemento("examesAvaliados", c);
    }

    // The layout allows one exam code per outrosSia block; the block repeats.
    void escreveOutrosExames(const ChaveRegistro& chave, RegistroBuffer& b) {
        for (const Linha& e : exames.de(chave)) {
            if (e.inteiro("semcodigosigtap") != 1) continue;
            b.adiciona("<outrosSia>");
            b.adicionaElemento("codigoExame", e.texto("codprocedunif"));
            if (e.texto("examesolicitado") == "S")
                b.adiciona("<solicitadoAvaliado>S</solicitadoAvaliado>");
            if (e.texto("exameavaliado") == "S")
                b.adiciona("<solicitadoAvaliado>A</solicitadoAvaliado>");
            b.adiciona("</outrosSia>");
        }
    }

    ConsultaPorRegistro ciaps;
    ConsultaPorRegistro cid;
    ConsultaPorRegistro exames;
};

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
constexpr DadosEnvelope kEnvelope{.caminhoNs4 = "fichaatendimentoindividualmaster",
                                  .elementoTransporte = "fichaAtendimentoIndividualMasterTransport",
                                  .tipoDado = 4,
                                  .numLote = 2,
                                  .cadastro = false,
                                  .ineDado = RegraIneDado::NaoEscrita,
                                  .meioTransporte = "-da1cb4c9-0004-0000-0000-",
                                  .meioInstalacao = "-da1cb4c9-0000-0000-0004-",
                                  .larguraNumero = 0,
                                  .fichaComUnidadeSemZeros = true,
                                  .lotacaoFormPrincipal = true,
                                  .prefixoArquivo = "FichaAtendimentoIndividual_",
                                  .larguraNumeroArquivo = 0,
                                  .cabecalho = kCabecalho,
                                  .rodape = kRodape};

}  // namespace

constinit const DescricaoFicha fichaAtendimentoIndividual{
    .tipo = TipoFicha::AtendimentoIndividual,
    .nome = "atendimento-individual",
    .rotulo = "Ficha de Atendimento Individual",
    .status = "Gerando Fichas de Atendimento Individual...",
    .emTodas = true,
    .envelope = &kEnvelope,
    .gera = geraFichas<FichaAtendimentoIndividual>};

}  // namespace cds
