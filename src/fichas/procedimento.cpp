// The procedures form: one per care episode of the period with at least one procedure that
// e-SUS AB takes, with the episode's procedure totals.

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "comum/texto.hpp"
#include "fichas/atendimentos.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

// The episodes of the period with procedures: those the procedures record takes are those
// whose professional and citizen are on file, whose citizen was born after 01/01/1900 and not
// after the episode, whose sex is filled in, whose unit has a name and is no CRAS, and whose
// character is neither 7 nor 8; one row per triage row of the episode. Under the operator's
// professional code only that professional's procedures are sent, so only the episodes with
// some of them are the run's: the others are not reported as left out.
constexpr CondicaoDeSelecao kCondicoes[] = {
    kProfissionalCadastrado,
    kCidadaoCadastrado,
    kCidadaoComNascimento,
    {"PESSOAS.DTNASCIMENTO > '01/01/1900'", "data de nascimento {} (deve ser depois de 01/01/1900)",
     "DTNASCIMENTO"},
    {"PESSOAS.DTNASCIMENTO <= FAA.DATA", "data de nascimento {} depois da data do atendimento",
     "DTNASCIMENTO"},
    {"COALESCE(FAA.SEXO, '')<>''", "atendimento sem o sexo do cidadão"},
    kUnidadeCadastrada,
    kUnidadeComNome,
    kUnidadeNaoCras,
    kCaraterExportado,
};

constexpr std::string_view kColunas = R"(
SELECT FAA.NUMFAA, FAA.CODUNIDADE, PROFISSIONAIS.CNS, profissionais.nome as nomeprofissional,
  PROFISSIONAIS.CBO, FAA.DATA, PROFISSIONAIS.INE AS INE, FAA.CODPESSOA, PESSOAS.CODIGO,
  PESSOAS.DTNASCIMENTO, PESSOAS.SEXO, coalesce(PESSOAS.CARTAOSUS,'') AS CARTAOSUS, FAA.HORA,
  TRIAGENS.PESO, TRIAGENS.ALTURA, TRIAGENS.TEMPERATURA, FAA.CARATER,
)";

constexpr std::string_view kOrigem = R"(
FROM FAA
LEFT OUTER JOIN PROFISSIONAIS ON PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL
LEFT OUTER JOIN PESSOAS ON (PESSOAS.CODIGO=FAA.CODPESSOA)
LEFT OUTER JOIN UNIDADES U ON U.CODIGO=FAA.CODUNIDADE
LEFT OUTER JOIN TRIAGENS ON FAA.CODUNIDADE=TRIAGENS.CODUNIDADE AND FAA.NUMFAA=TRIAGENS.NUMFAA
WHERE FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
AND EXISTS (SELECT FP.NUMFAA FROM FAAPROCED FP
  WHERE FP.NUMFAA=FAA.NUMFAA AND FP.CODUNIDADE=FAA.CODUNIDADE
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

// The episodes of the period that are neither 7 nor 8, which hold those of the main query.
constexpr std::string_view kEpisodios = R"(
AND COALESCE(FAA.CARATER,'')<>'8' AND COALESCE(FAA.CARATER,'')<>'7'
)";

// The main query's origin, which the count of its records shares. The professional's line
// goes inside kOrigem's EXISTS, which it closes.
std::string origemDosAtendimentos(const ParametrosExportacao& p) {
    return std::string(kOrigem) + doProfissional(p, "FP.CODPROFISSIONAL") + ")\n";
}

Consulta consultaAtendimentos(Execucao& ex) {
    const ParametrosExportacao& p = ex.parametros;
    Consulta q(ex.transacao, std::string(kColunas) + colunaDaSelecao(kCondicoes) +
                                 origemDosAtendimentos(p) + kChaveDoEpisodio.ordem());
    vinculaEpisodios(q, p);
    return q;
}

ConsultaPorRegistro consultaProcedimentos(Execucao& ex) {
    return consultaPorEpisodio(ex, kColunasProcedimentos, kProcedimentos, kEpisodios,
                               "FAAPROCED.CODIGO", "FAAPROCED.CODPROFISSIONAL");
}

// The main row's columns beyond the episode's: the triage's measurements, 0 when absent.
struct Medicoes {
    double peso;
    double altura;
    double temperatura;
};

Medicoes leMedicoes(const Linha& a) {
    return {a.real("PESO"), a.real("ALTURA"), a.real("TEMPERATURA")};
}

// A procedure's SIGTAP code and its primary-care code (empty without one).
struct Procedimento {
    std::string codigo;
    std::string codigoAB;
};

Procedimento leProcedimento(const Linha& p) {
    return {p.texto("CODPROCEDUNIF"), p.texto("CODPROCESUS")};
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

// The totals the form writes, in its order, each with the procedure code or measurement
// counted in it; anything else counts nowhere.
constexpr std::pair<std::string_view, std::string_view> kTotais[] = {
    {"numTotalAfericaoPa", "0301100039"},
    {"numTotalAfericaoTemperatura", "TEMPERATURA"},
    {"numTotalCurativoSimples", "0401010023"},
    {"numTotalColetaMaterialParaExameLaboratorial", "0201020041"},
    {"numTotalGlicemiaCapilar", "0214010015"},
    {"numTotalMedicaoAltura", "ALTURA"},
    {"numTotalMedicaoPeso", "PESO"},
};

// The episode's totals, counted anew for every row, in kTotais' order.
using TotaisProcedimento = std::array<int, std::size(kTotais)>;

void totalizadores(TotaisProcedimento& t, std::string_view tipo) {
    tipo = apara(tipo);
    for (std::size_t i = 0; i < t.size(); ++i)
        if (kTotais[i].second == tipo) ++t[i];
}

void escreveTotais(const TotaisProcedimento& t, RegistroBuffer& b) {
    for (std::size_t i = 0; i < t.size(); ++i)
        if (t[i] > 0) b.adicionaElemento(kTotais[i].first, std::to_string(t[i]));
}

// The card number goes only when it looks like one: fifteen characters once trimmed, no "X".
void escreveCnsCidadao(const std::string& cns, RegistroBuffer& b) {
    if (apara(cns).size() == 15 && maiusculas(cns).find('X') == std::string::npos)
        b.adicionaElemento("cnsCidadao", cns);
}

class FichaProcedimento : public FichaDeEpisodios {
  public:
    explicit FichaProcedimento(Execucao& ex)
        : FichaDeEpisodios(ex),
          atendimentos(consultaAtendimentos(ex)),
          procedimentos(consultaProcedimentos(ex)) {}

    std::size_t abreRegistros() override {
        const ParametrosExportacao& p = execucao.parametros;
        const std::size_t registros =
            contaRegistros(execucao.transacao, kChaveDoEpisodio, origemDosAtendimentos(p),
                           [&p](Consulta& q) { vinculaEpisodios(q, p); });
        procedimentos.abre();
        atendimentos.percorre();
        return registros;
    }

    const Linha* proximoRegistro() override { return atendimentos.proxima(); }

    std::span<const CondicaoDeSelecao> condicoes() const override { return kCondicoes; }

    // False, and so no file, when neither pass finds a procedure to send.
    bool corpo(const Linha& linha, const ValoresEnvelope& valores, RegistroBuffer& b) override {
        const Episodio& e = episodio;
        const Medicoes medicoes = leMedicoes(linha);
        TotaisProcedimento totais{};
        b.adiciona("<atendProcedimentos>");
        b.adicionaElemento("numProntuario", e.codPessoa);
        escreveCnsCidadao(e.cartaoSus, b);
        b.adicionaNumero("dtNascimento", DataParaLong(e.nascimento));
        b.adicionaNumero("sexo", sexoDoCidadao(e.sexo));
        b.adicionaNumero("localAtendimento", "1");
        if (e.hora) b.adicionaNumero("turno", std::to_string(turnoDaHora(e.hora->hora)));
        if (medicoes.peso > 0) totalizadores(totais, "PESO");
        if (medicoes.altura > 0) totalizadores(totais, "ALTURA");
        if (medicoes.temperatura > 0) totalizadores(totais, "TEMPERATURA");
        const std::vector<Procedimento>& linhas = procedimentos.de(e.chave);
        bool escrito = false;
        // Both passes walk the rows in the order the database gave them.
        for (const Procedimento& p : linhas) {
            if (!procedimentoAB(p.codigoAB)) continue;
            b.adicionaElemento("procedimentos", p.codigoAB);
            escrito = true;
        }
        for (const Procedimento& p : linhas) {
            if (!consolidado(p.codigo)) continue;
            b.adicionaElemento("outrosSiaProcedimentos", p.codigo);
            totalizadores(totais, p.codigo);
            escrito = true;
        }
        b.adiciona("</atendProcedimentos>");
        escreveLinhas(b, valores, {LinhaEnvelope::UuidFicha, LinhaEnvelope::TpCdsOrigem});
        escreveTotais(totais, b);
        return escrito;
    }

  private:
    Consulta atendimentos;
    LeituraPorEpisodio<Procedimento, leProcedimento> procedimentos;
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
