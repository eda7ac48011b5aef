// The individual care form: one per medical care episode of the period.

#include <algorithm>
#include <string_view>

#include "comum/texto.hpp"
#include "fichas/atendimentos.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

// Episode numbers repeat across units, so every per-episode look-up matches the unit too.
constexpr std::string_view kCiaps = R"(
SELECT FAACIAPS.CODCIAP FROM FAACIAPS
WHERE FAACIAPS.NUMFAA=:pnumfaa
AND FAACIAPS.CODUNIDADE=:pcodunidade
AND COALESCE(FAACIAPS.CODCIAP,'')<>'XXX'
AND COALESCE(FAACIAPS.CODCIAP,'')<>'X'
)";

constexpr std::string_view kCid = R"(
SELECT first 1 FAACID.CODCID FROM FAACID
WHERE FAACID.NUMFAA=:pnumfaa
AND FAACID.CODUNIDADE=:pcodunidade
AND COALESCE(FAACID.CODCID,'')<>'XXX'
)";

// The exams asked for or evaluated in an episode; those without a SIGTAP code go apart.
constexpr std::string_view kExames = R"(
select fp.*, s.ehexame, s.codproceSus
from faaproced fp
inner join susprocedunif s on s.codigo = fp.codprocedunif
where fp.numfaa = :pnumfaa
)";

constexpr std::string_view kSemCodigoSigtap = R"(
and (s.codprocesus is null or s.codprocesus = '')
)";

constexpr std::string_view kExamesDoEpisodio = R"(
and fp.codunidade = :pcodunidade
and (fp.ExameSolicitado = :pexamesolicitado or fp.ExameAvaliado = :pexameAvaliado)
)";

Consulta consultaDeExames(Transacao& transacao, bool semCodigoSigtap) {
    std::string sql(kExames);
    if (semCodigoSigtap) sql += kSemCodigoSigtap;
    sql += kExamesDoEpisodio;
    Consulta q(transacao, sql);
    q.parametro("pexamesolicitado", std::string_view("S"));
    q.parametro("pexameAvaliado", std::string_view("S"));
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
          ciaps(ex.transacao, kCiaps),
          cid(ex.transacao, kCid),
          examesSigtap(consultaDeExames(ex.transacao, false)),
          examesSemSigtap(consultaDeExames(ex.transacao, true)) {}

    bool corpo(const Linha& a, RegistroBuffer& b) override {
        for (Consulta* q : {&ciaps, &cid, &examesSigtap, &examesSemSigtap}) {
            q->parametro("pnumfaa", a.texto("NUMFAA"));
            q->parametro("pcodunidade", a.texto("CODUNIDADE"));
        }
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
        escreveProblemaAvaliado(b);
        b.adicionaVazia();
        escreveExamesSigtap(b);
        escreveOutrosExames(b);
        escreveDesfecho(a, b);
        b.adiciona("</atendimentosIndividuais>");
        return true;
    }

  private:
    void escreveProblemaAvaliado(RegistroBuffer& b) {
        b.adiciona("<problemaCondicaoAvaliada>");
        escreveCiaps(b);
        escreveCid(b);
        b.adiciona("</problemaCondicaoAvaliada>");
    }

    // The "ABP" code kept last wins; the first two other codes follow; further ones are
    // dropped.
    void escreveCiaps(RegistroBuffer& b) {
        std::string ciap, outro1, outro2;
        int outros = 0;
        for (const Linha& l : ciaps.abre()) {
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

    void escreveCid(RegistroBuffer& b) {
        const std::vector<Linha>& linhas = cid.abre();
        if (linhas.empty()) return;
        std::string codigo = linhas.front().texto("CODCID");
        std::erase(codigo, '.');
        b.adicionaElemento("cid10", apara(codigo));
    }

    void escreveExamesSigtap(RegistroBuffer& b) {
        const std::vector<Linha>& exames = examesSigtap.abre();
        for (const Linha& e : exames)
            if (const auto c = e.texto("codprocesus");
                !c.empty() && e.texto("exameSolicitado") == "S")
                b.adicionaElemento("examesSolicitados", c);
        for (const Linha& e : exames)
            if (const auto c = e.texto("codprocesus");
                !c.empty() && e.texto("exameAvaliado") == "S")
                b.adicionaElemento("examesAvaliados", c);
    }

    // The layout allows one exam code per outrosSia block; the block repeats.
    void escreveOutrosExames(RegistroBuffer& b) {
        for (const Linha& e : examesSemSigtap.abre()) {
            b.adiciona("<outrosSia>");
            b.adicionaElemento("codigoExame", e.texto("codprocedunif"));
            if (e.texto("examesolicitado") == "S")
                b.adiciona("<solicitadoAvaliado>S</solicitadoAvaliado>");
            if (e.texto("exameavaliado") == "S")
                b.adiciona("<solicitadoAvaliado>A</solicitadoAvaliado>");
            b.adiciona("</outrosSia>");
        }
    }

    Consulta ciaps;
    Consulta cid;
    Consulta examesSigtap;
    Consulta examesSemSigtap;
};

}  // namespace

void geraFichaAtendimento(Execucao& execucao, const DescricaoFicha& descricao) {
    geraFichas<FichaAtendimentoIndividual>(execucao, descricao);
}

}  // namespace cds
