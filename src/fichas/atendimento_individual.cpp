// The individual care form: one per medical care episode of the period.

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The rows of each episode in its table's key: the codes for the tables keyed by them alone.
ConsultaPorRegistro consultaDeEpisodios(Execucao& ex, std::string_view colunas,
                                        std::string_view origem, std::string_view ordem) {
    return consultaPorEpisodio(ex, colunas, origem, kEpisodiosMedicos, ordem,
                               "FAA.CODPROFISSIONAL");
}

// The main row's columns of the care form alone; NULL reads as empty or 0, which writes
// nothing, but for DUM, whose absence writes no date.
struct Avaliacao {
    std::string carater, aleitamento, idadeGestacional, conduta, gestasPrevias, partos;
    double peso, altura, perimetroCefalico;
    std::optional<DataHora> dum;
    bool vacinaEmDia, ficouEmObservacao, gravidezPlanejada;
};

Avaliacao leAvaliacao(const Linha& a) {
    return {.carater = a.texto("CARATER"),
            .aleitamento = a.texto("ALEITMATERNO"),
            .idadeGestacional = a.texto("IDADEGEST"),
            .conduta = a.texto("ESUS_CONDUTA"),
            .gestasPrevias = a.texto("NUMGESTPREVIAS"),
            .partos = a.texto("NUMPARTOS"),
            .peso = a.real("PESO"),
            .altura = a.real("ALTURA"),
            .perimetroCefalico = a.real("PC"),
            .dum = a.dataHora("DUM"),
            .vacinaEmDia = !apara(a.texto("VACINAEMDIA")).empty(),
            .ficouEmObservacao = !apara(a.texto("FICOUOBS")).empty(),
            .gravidezPlanejada = a.texto("GRAVIDEZPLAN") == "S"};
}

// An exam asked for or evaluated; codigoSus is empty when it has no SIGTAP code.
struct Exame {
    std::string codigo, codigoSus;
    bool solicitado, avaliado, semCodigoSigtap;
};

Exame leExame(const Linha& e) {
    return {e.texto("CODPROCEDUNIF"), e.texto("CODPROCESUS"), e.texto("EXAMESOLICITADO") == "S",
            e.texto("EXAMEAVALIADO") == "S", e.inteiro("SEMCODIGOSIGTAP") == 1};
}

void escreveAvaliacaoNutricional(const Avaliacao& a, RegistroBuffer& b) {
    if (a.peso > 0.5 && a.peso < 500)
        b.adicionaElemento("pesoAcompanhamentoNutricional", formataNumero(a.peso, "0,##"));
    // Height comes in centimetres or, from older triage screens, in metres.
    if (a.altura >= 20 && a.altura <= 250)
        b.adicionaElemento("alturaAcompanhamentoNutricional", formataNumero(a.altura, "00000"));
    else if (a.altura > 0.2 && a.altura < 2.5)
        b.adicionaElemento("alturaAcompanhamentoNutricional",
                           formataNumero(a.altura * 100, "00000"));
}

void escreveGestacao(const Avaliacao& a, RegistroBuffer& b) {
    b.adicionaNumero("aleitamentoMaterno", a.aleitamento);
    b.adicionaNumero("dumDaGestante", DataParaLong(a.dum));
    b.adicionaNumero("idadeGestacional", a.idadeGestacional);
}

void escreveDesfecho(const Avaliacao& a, bool gestante, RegistroBuffer& b) {
    if (a.vacinaEmDia) b.adiciona("<vacinaEmDia>true</vacinaEmDia>");
    b.adicionaElemento("ficouEmObservacao", verdade(a.ficouEmObservacao));
    b.adicionaElemento("condutas", apara(a.conduta).empty() ? "9" : a.conduta);
    if (gestante) b.adicionaElemento("stGravidezPlanejada", verdade(a.gravidezPlanejada));
    b.adicionaNumero("nuGestasPrevias", a.gestasPrevias);
    b.adicionaNumero("nuPartos", a.partos);
    if (a.perimetroCefalico >= 10 && a.perimetroCefalico <= 200)
        b.adicionaElemento("perimetroCefalico", formataNumero(a.perimetroCefalico, "000000"));
}

// The "ABP" code kept last wins; the first two other codes follow; further ones are dropped.
void escreveCiaps(const std::vector<std::string>& codigos, RegistroBuffer& b) {
    std::string_view ciap, outro1, outro2;
    int outros = 0;
    for (const std::string& codigo : codigos) {
        if (codigo.starts_with("ABP")) {
            ciap = codigo;
        } else {
            ++outros;
            if (outros == 1) outro1 = codigo;
            if (outros == 2) outro2 = codigo;
        }
    }
    if (!ciap.empty()) b.adicionaElemento("ciaps", ciap);
    if (!outro1.empty()) b.adicionaElemento("outroCiap1", outro1);
    if (!outro2.empty()) b.adicionaElemento("outroCiap2", outro2);
}

// The first CID code counts, without its dots.
void escreveCid(const std::vector<std::string>& codigos, RegistroBuffer& b) {
    if (codigos.empty()) return;
    std::string codigo = codigos.front();
    std::erase(codigo, '.');
    b.adicionaElemento("cid10", apara(codigo));
}

void escreveExamesSigtap(const std::vector<Exame>& exames, RegistroBuffer& b) {
    for (const Exame& e : exames)
        if (!e.codigoSus.empty() && e.solicitado)
            b.adicionaElemento("examesSolicitados", e.codigoSus);
    for (const Exame& e : exames)
        if (!e.codigoSus.empty() && e.avaliado) b.adicionaElemento("examesAvaliados", e.codigoSus);
}

// The layout allows one exam code per outrosSia block; the block repeats.
void escreveOutrosExames(const std::vector<Exame>& exames, RegistroBuffer& b) {
    for (const Exame& e : exames) {
        if (!e.semCodigoSigtap) continue;
        b.adiciona("<outrosSia>");
        b.adicionaElemento("codigoExame", e.codigo);
        if (e.solicitado) b.adiciona("<solicitadoAvaliado>S</solicitadoAvaliado>");
        if (e.avaliado) b.adiciona("<solicitadoAvaliado>A</solicitadoAvaliado>");
        b.adiciona("</outrosSia>");
    }
}

class FichaAtendimentoIndividual : public FichaDeAtendimentos {
  public:
    explicit FichaAtendimentoIndividual(Execucao& ex)
        : FichaDeAtendimentos(ex, TipoFicha::AtendimentoIndividual),
          ciaps(consultaDeEpisodios(ex, "FAACIAPS.CODCIAP AS CODIGO", kCiaps, "FAACIAPS.CODCIAP")),
          cid(consultaDeEpisodios(ex, "FAACID.CODCID AS CODIGO", kCid, "FAACID.CODCID")),
          exames(consultaDeEpisodios(ex, kColunasExames, kExames, "fp.CODIGO")) {}

    std::size_t abreRegistros() override {
        ciaps.abre();
        cid.abre();
        exames.abre();
        return FichaDeAtendimentos::abreRegistros();
    }

    bool corpo(const Linha& linha, const ValoresEnvelope&, RegistroBuffer& b) override {
        const Avaliacao a = leAvaliacao(linha);
        const Episodio& e = episodio;
        b.adiciona("<atendimentosIndividuais>");
        b.adicionaNumero("dataNascimento", DataParaLong(e.nascimento));
        b.adiciona("<localDeAtendimento>1</localDeAtendimento>");
        b.adicionaElemento("sexo", sexoDoCidadao(e.sexo));
        if (e.hora) b.adicionaElemento("turno", std::to_string(turnoDaHora(e.hora->hora)));
        b.adicionaNumero("tipoAtendimento", a.carater);
        escreveAvaliacaoNutricional(a, b);
        escreveGestacao(a, b);
        b.adiciona("<atencaoDomiciliarModalidade>1</atencaoDomiciliarModalidade>");
        b.adiciona("<problemaCondicaoAvaliada>");
        escreveCiaps(ciaps.de(e.chave), b);
        escreveCid(cid.de(e.chave), b);
        b.adiciona("</problemaCondicaoAvaliada>");
        b.adicionaVazia();
        const std::vector<Exame>& doEpisodio = exames.de(e.chave);
        escreveExamesSigtap(doEpisodio, b);
        escreveOutrosExames(doEpisodio, b);
        escreveDesfecho(a, gestante, b);
        b.adiciona("</atendimentosIndividuais>");
        return true;
    }

  private:
    LeituraPorEpisodio<std::string, leCodigo> ciaps;
    LeituraPorEpisodio<std::string, leCodigo> cid;
    LeituraPorEpisodio<Exame, leExame> exames;
};

constexpr DadosEnvelope kEnvelope = envelopeDoAtendimento(
    "fichaatendimentoindividualmaster", "fichaAtendimentoIndividualMasterTransport", 4,
    "FichaAtendimentoIndividual_");

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
