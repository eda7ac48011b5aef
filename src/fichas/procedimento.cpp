// The procedures form: one per care episode of the period with at least one procedure that
// e-SUS AB takes, with the episode's procedure totals.

#include <string_view>
#include <utility>

#include "comum/texto.hpp"
#include "fichas/atendimentos.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

// An episode of the period with procedures, whose character is neither 7 nor 8, with the sex
// filled in, whose citizen was born after 1900 and not after the episode, in a unit that is no
// CRAS (a unit without a name is left out too); one row per triage row of the episode.
constexpr std::string_view kAtendimentos = R"(
SELECT FAA.NUMFAA, FAA.CODUNIDADE, PROFISSIONAIS.CNS, profissionais.nome as nomeprofissional,
  PROFISSIONAIS.CBO, FAA.DATA, PROFISSIONAIS.INE AS INE, FAA.CODPESSOA, PESSOAS.CODIGO,
  PESSOAS.DTNASCIMENTO, PESSOAS.SEXO, coalesce(PESSOAS.CARTAOSUS,'') AS CARTAOSUS, FAA.HORA,
  TRIAGENS.PESO, TRIAGENS.ALTURA, TRIAGENS.TEMPERATURA
FROM FAA
INNER JOIN PROFISSIONAIS ON PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL
INNER JOIN PESSOAS ON (PESSOAS.CODIGO=FAA.CODPESSOA)
LEFT OUTER JOIN TRIAGENS ON FAA.CODUNIDADE=TRIAGENS.CODUNIDADE AND FAA.NUMFAA=TRIAGENS.NUMFAA
WHERE EXISTS (SELECT FP.NUMFAA FROM FAAPROCED FP
  WHERE FP.NUMFAA=FAA.NUMFAA AND FP.CODUNIDADE=FAA.CODUNIDADE)
AND COALESCE(FAA.CARATER,'')<>'8' AND COALESCE(FAA.CARATER,'')<>'7'
AND FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
AND COALESCE(FAA.SEXO, '')<>''
AND PESSOAS.DTNASCIMENTO <= FAA.DATA AND PESSOAS.DTNASCIMENTO > '01/01/1900'
and (select u.nome from unidades u where FAA.codunidade=u.codigo) not like '%CRAS%'
)";

// The episodes' procedures with their primary-care code, if any, read once for the period; an
// episode's are those of its number and unit. A professional code given by the operator
// restricts these alone: the episodes are walked all the same.
constexpr std::string_view kColunasProcedimentos =
    "FAAPROCED.CODPROCEDUNIF, COALESCE(SUSPROCEDUNIF.CODPROCESUS,'') AS CODPROCESUS";
constexpr std::string_view kProcedimentos = R"(
FROM FAA
INNER JOIN FAAPROCED ON FAAPROCED.NUMFAA=FAA.NUMFAA AND FAAPROCED.CODUNIDADE=FAA.CODUNIDADE
LEFT OUTER JOIN SUSPROCEDUNIF ON (SUSPROCEDUNIF.CODIGO=FAAPROCED.CODPROCEDUNIF)
WHERE FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
)";

constexpr std::string_view kDoProfissional = R"(
AND FAAPROCED.CODPROFISSIONAL=:pcodprof
)";

// The episodes of the period that are neither 7 nor 8, which hold those of the main query.
constexpr std::string_view kEpisodios = R"(
AND COALESCE(FAA.CARATER,'')<>'8' AND COALESCE(FAA.CARATER,'')<>'7'
)";

Consulta consultaAtendimentos(Execucao& ex) {
    Consulta q(ex.transacao, std::string(kAtendimentos) + kChaveDoEpisodio.ordem());
    vinculaPeriodo(q, ex.parametros);
    return q;
}

ConsultaPorRegistro consultaProcedimentos(Execucao& ex) {
    const ParametrosExportacao& p = ex.parametros;
    std::string sql(kProcedimentos);
    if (!p.CodProf.empty()) sql += kDoProfissional;
    ConsultaPorRegistro q =
        consultaPorEpisodio(ex, kColunasProcedimentos, sql, kEpisodios, "FAAPROCED.CODIGO");
    if (!p.CodProf.empty()) q.consulta().parametro("pcodprof", p.CodProf);
    return q;
}

// The SIGTAP codes the form lists as they are; all but 0101040024 also count in a total.
constexpr std::string_view kConsolidados[] = {"0301100039", "0214010015", "0101040024",
                                              "0401010023", "0201020041"};

bool consolidado(std::string_view CODPROCEDUNIF) {
    for (std::string_view codigo : kConsolidados)
        if (CODPROCEDUNIF == codigo) return true;
    return false;
}

// The primary-care codes the form lists: those of procedures ("ABPG...") and ABEX004.
bool procedimentoAB(std::string_view CODPROCESUS) {
    return CODPROCESUS.starts_with("ABPG") || CODPROCESUS == "ABEX004";
}

// The episode's totals, counted anew for every row.
struct TotaisProcedimento {
    int TotalAfericaoPa = 0;
    int TotalAfericaoTemperatura = 0;
    int TotalCurativoSimples = 0;
    int TotalColetaMaterialParaExameLaboratorial = 0;
    int TotalGlicemiaCapilar = 0;
    int TotalMedicaoAltura = 0;
    int TotalMedicaoPeso = 0;
};

// Counts one procedure code or measurement name in its total; anything else counts nowhere.
void totalizadores(TotaisProcedimento& t, std::string_view tipo) {
    tipo = apara(tipo);
    if (tipo == "0301100039")
        ++t.TotalAfericaoPa;
    else if (tipo == "0214010015")
        ++t.TotalGlicemiaCapilar;
    else if (tipo == "TEMPERATURA")
        ++t.TotalAfericaoTemperatura;
    else if (tipo == "ALTURA")
        ++t.TotalMedicaoAltura;
    else if (tipo == "PESO")
        ++t.TotalMedicaoPeso;
    else if (tipo == "0401010023")
        ++t.TotalCurativoSimples;
    else if (tipo == "0201020041")
        ++t.TotalColetaMaterialParaExameLaboratorial;
}

void escreveTotais(const TotaisProcedimento& t, RegistroBuffer& b) {
    const std::pair<std::string_view, int> totais[] = {
        {"numTotalAfericaoPa", t.TotalAfericaoPa},
        {"numTotalAfericaoTemperatura", t.TotalAfericaoTemperatura},
        {"numTotalCurativoSimples", t.TotalCurativoSimples},
        {"numTotalColetaMaterialParaExameLaboratorial", t.TotalColetaMaterialParaExameLaboratorial},
        {"numTotalGlicemiaCapilar", t.TotalGlicemiaCapilar},
        {"numTotalMedicaoAltura", t.TotalMedicaoAltura},
        {"numTotalMedicaoPeso", t.TotalMedicaoPeso},
    };
    for (const auto& [tag, total] : totais)
        if (total > 0) b.adicionaElemento(tag, std::to_string(total));
}

// The card number goes only when it looks like one: fifteen characters once trimmed, no "X".
void escreveCnsCidadao(const Linha& a, RegistroBuffer& b) {
    const std::string cns = a.texto("CARTAOSUS");
    if (apara(cns).size() == 15 && maiusculas(cns).find('X') == std::string::npos)
        b.adicionaElemento("cnsCidadao", cns);
}

class FichaProcedimento : public Ficha {
  public:
    explicit FichaProcedimento(Execucao& ex)
        : Ficha(ex, kColunasDoEpisodio),
          atendimentos(consultaAtendimentos(ex)),
          procedimentos(consultaProcedimentos(ex)) {}

    std::optional<std::size_t> abreRegistros() override {
        procedimentos.abre();
        atendimentos.percorre();
        return std::nullopt;
    }

    const Linha* proximoRegistro() override { return atendimentos.proxima(); }

    // False, and so no file, when neither pass finds a procedure to send.
    bool corpo(const Linha& a, const ValoresEnvelope& valores, RegistroBuffer& b) override {
        TotaisProcedimento totais;
        b.adiciona("<atendProcedimentos>");
        b.adicionaElemento("numProntuario", a.texto("CODPESSOA"));
        escreveCnsCidadao(a, b);
        b.adicionaNumero("dtNascimento", DataParaLong(a.dataHora("DTNASCIMENTO")));
        b.adicionaNumero("sexo", sexoDoCidadao(a));
        b.adicionaNumero("localAtendimento", "1");
        if (const auto hora = a.dataHora("HORA"))
            b.adicionaNumero("turno", std::to_string(turnoDaHora(hora->hora)));
        contaMedicoes(a, totais);
        const std::vector<Linha>& linhas = procedimentos.de(kChaveDoEpisodio.daLinha(a));
        bool escrito = false;
        // Both passes walk the rows in the order the database gave them.
        for (const Linha& p : linhas) {
            const std::string codigo = p.texto("CODPROCESUS");
            if (!procedimentoAB(codigo)) continue;
            b.adicionaElemento("procedimentos", codigo);
            escrito = true;
        }
        for (const Linha& p : linhas) {
            const std::string codigo = p.texto("CODPROCEDUNIF");
            if (!consolidado(codigo)) continue;
            b.adicionaElemento("outrosSiaProcedimentos", codigo);
            totalizadores(totais, codigo);
            escrito = true;
        }
        b.adiciona("</atendProcedimentos>");
        escreveLinhas(b, valores, {LinhaEnvelope::UuidFicha, LinhaEnvelope::TpCdsOrigem});
        escreveTotais(totais, b);
        return escrito;
    }

  private:
    static void contaMedicoes(const Linha& a, TotaisProcedimento& totais) {
        for (const char* medicao : {"PESO", "ALTURA", "TEMPERATURA"})
            if (a.real(medicao) > 0) totalizadores(totais, medicao);
    }

    Consulta atendimentos;
    ConsultaPorRegistro procedimentos;
};

// The body writes uuidFicha and tpCdsOrigem itself, between its lines and its totals.
using enum LinhaEnvelope;
constexpr LinhaEnvelope kCabecalho[] = {
    DeclaracaoXml,       AberturaRaiz, Vazia, UuidDadoSerializado, TipoDadoSerializado, CodIbge,
    CnesDadoSerializado, NumLote,      Vazia, AberturaTransporte,  HeaderTransport};
constexpr LinhaEnvelope kRodape[] = {Vazia, FechamentoTransporte, Vazia, Remetente,
                                     Vazia, Originadora,          Vazia, Versao,
                                     Vazia, FechamentoRaiz};
constexpr DadosEnvelope kEnvelope{.caminhoNs4 = "fichaprocedimentomaster",
                                  .elementoTransporte = "fichaProcedimentoMasterTransport",
                                  .tipoDado = 7,
                                  .numLote = 2,
                                  .cadastro = false,
                                  .ineDado = RegraIneDado::NaoEscrita,
                                  .meioTransporte = "-da1cb4c9-0007-0000-0000-",
                                  .meioInstalacao = "-da1cb4c9-0000-0000-0007-",
                                  .larguraNumero = 0,
                                  .fichaComUnidadeSemZeros = false,
                                  .lotacaoFormPrincipal = false,
                                  .prefixoArquivo = "FichaProcedimento_",
                                  .larguraNumeroArquivo = 0,
                                  .cabecalho = kCabecalho,
                                  .rodape = kRodape};

}  // namespace

constinit const DescricaoFicha fichaProcedimento{.tipo = TipoFicha::Procedimento,
                                                 .nome = "procedimentos",
                                                 .rotulo = "Ficha de Procedimentos",
                                                 .status = "Gerando Fichas de Procedimentos...",
                                                 .emTodas = true,
                                                 .envelope = &kEnvelope,
                                                 .gera = geraFichas<FichaProcedimento>};

}  // namespace cds
