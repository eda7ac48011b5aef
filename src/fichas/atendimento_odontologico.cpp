// The dental care form: one per care episode of the period attended by a dentist.

#include <string>
#include <string_view>
#include <vector>

#include "comum/texto.hpp"
#include "fichas/atendimentos.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

// The episodes of the period whose professional's occupation is a dentist's: those the dental
// record takes are those whose citizen is on file with a birth date, whose unit has a name and
// is no CRAS, and whose character is neither 7 nor 8. The professional line is there only when
// a code was given.
constexpr CondicaoDeSelecao kCondicoes[] = {
    kCidadaoCadastrado, kCidadaoComNascimento, kUnidadeCadastrada,
    kUnidadeComNome,    kUnidadeNaoCras,       kCaraterExportado,
};

constexpr std::string_view kColunas = R"(
SELECT FAA.CODUNIDADE, FAA.NUMFAA, FAA.CARATER, CONDUTAS.CODIGOESUS AS ESUS_CONDUTA,
  FAA.TIPOCONSULTAODONTO, PESSOAS.SEXO, coalesce(PESSOAS.CARTAOSUS,'') AS CARTAOSUS,
  PESSOAS.DTNASCIMENTO, FAA.CODPESSOA, FAA.HORA, FAA.DATA, PROFISSIONAIS.CNS,
  PROFISSIONAIS.CBO, PROFISSIONAIS.INE, profissionais.nome as nomeprofissional, FAA.GESTANTE,
  FAA.PCD,
)";

constexpr std::string_view kOrigem = R"(
FROM FAA
INNER JOIN PROFISSIONAIS ON (PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL)
INNER JOIN CBO ON (PROFISSIONAIS.CBO=CBO.CODIGO AND UPPER(CBO.DESCRICAO) LIKE '%DENTISTA%')
LEFT OUTER JOIN CONDUTAS ON (CONDUTAS.codigo=FAA.codconduta)
LEFT OUTER JOIN PESSOAS ON (PESSOAS.CODIGO=FAA.CODPESSOA)
LEFT OUTER JOIN UNIDADES U ON U.CODIGO=FAA.CODUNIDADE
WHERE FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
)";

// The per-episode look-ups, each read once for the period: episode numbers repeat across
// units, so an episode's rows are those of its number and unit. No professional column
// restricts them: the whole episode is the dentist's.
constexpr std::string_view kFornecimentos = R"(
FROM FAA
INNER JOIN FAAFORNECIMENTOS ON FAAFORNECIMENTOS.NUMFAA=FAA.NUMFAA
  AND FAAFORNECIMENTOS.CODUNIDADE=FAA.CODUNIDADE
WHERE FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
)";

constexpr std::string_view kVigilancias = R"(
FROM FAA
INNER JOIN FAAVIGBUCAL ON FAAVIGBUCAL.NUMFAA=FAA.NUMFAA AND FAAVIGBUCAL.CODUNIDADE=FAA.CODUNIDADE
WHERE FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
)";

// The episode's procedures, split by whether the SIGTAP code has a primary-care code
// (comcodigoab): every procedure lands in exactly one of the two lists.
constexpr std::string_view kColunasProcedimentos = R"(FP.CODPROCEDUNIF, FP.QUANTIDADE,
  COALESCE(SUSPROCEDUNIF.CODPROCESUS,'') AS CODPROCESUS,
  CASE WHEN COALESCE(SUSPROCEDUNIF.CODPROCESUS,'')<>'' THEN 1 ELSE 0 END AS COMCODIGOAB)";
constexpr std::string_view kProcedimentos = R"(
FROM FAA
INNER JOIN FAAPROCED FP ON FP.NUMFAA=FAA.NUMFAA AND FP.CODUNIDADE=FAA.CODUNIDADE
LEFT OUTER JOIN SUSPROCEDUNIF ON (SUSPROCEDUNIF.CODIGO=FP.CODPROCEDUNIF)
WHERE FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
)";

// The episodes of the period that are neither 7 nor 8 and whose professional is a dentist,
// which hold those of the main query: the look-ups leave out the far more numerous episodes
// of other professionals.
constexpr std::string_view kEpisodios = R"(
AND COALESCE(FAA.CARATER,'')<>'8' AND COALESCE(FAA.CARATER,'')<>'7'
AND EXISTS (SELECT 1 FROM PROFISSIONAIS P INNER JOIN CBO ON P.CBO=CBO.CODIGO
  WHERE P.CODIGO=FAA.CODPROFISSIONAL AND UPPER(CBO.DESCRICAO) LIKE '%DENTISTA%')
)";

// The main query's origin, which the count of its records shares.
std::string origemDosAtendimentos(const ParametrosExportacao& p) {
    return std::string(kOrigem) + doProfissional(p);
}

Consulta consultaAtendimentos(Execucao& ex) {
    const ParametrosExportacao& p = ex.parametros;
    Consulta q(ex.transacao, std::string(kColunas) + colunaDaSelecao(kCondicoes) +
                                 origemDosAtendimentos(p) + kChaveDoEpisodio.ordem());
    vinculaEpisodios(q, p);
    return q;
}

// Under the operator's professional code, only that professional's episodes are the main
// query's. An episode's rows in its table's key: the codes for the tables keyed by them alone.
ConsultaPorRegistro consultaDeEpisodios(Execucao& ex, std::string_view colunas,
                                        std::string_view origem, std::string_view ordem) {
    return consultaPorEpisodio(ex, colunas, origem, kEpisodios, ordem, "FAA.CODPROFISSIONAL");
}

// The main row's columns beyond the episode's; NULL reads as empty, which writes nothing.
struct AtendimentoOdontologico {
    std::string carater, conduta, tipoConsulta;
    bool gestante, necessidadesEspeciais;
};

AtendimentoOdontologico leAtendimento(const Linha& a) {
    return {a.texto("CARATER"), a.texto("ESUS_CONDUTA"), a.texto("TIPOCONSULTAODONTO"),
            a.texto("GESTANTE") == "S", a.texto("PCD") == "S"};
}

// A procedure with its SIGTAP code, its primary-care code when comCodigoAB, and its quantity.
struct ProcedimentoOdontologico {
    std::string codigo;
    std::string codigoAB;
    bool comCodigoAB;
    std::string quantidade;
};

ProcedimentoOdontologico leProcedimento(const Linha& p) {
    return {p.texto("CODPROCEDUNIF"), p.texto("CODPROCESUS"), p.inteiro("COMCODIGOAB") == 1,
            p.texto("QUANTIDADE")};
}

// The episode's character is copied when it is one of the four kinds of care the dental form
// takes from it; any other, an empty one included, goes as 5. Only whole codes count: a
// character such as "24" is no kind the form knows.
std::string_view tipoAtendimento(std::string_view carater) {
    for (std::string_view codigo : {"2", "4", "5", "6"})
        if (carater == codigo) return codigo;
    return "5";
}

// One block per procedure of the list: those with a primary-care code under it, the others
// under their SIGTAP code; with its quantity when there is one.
void escreveProcedimentos(const std::vector<ProcedimentoOdontologico>& procedimentos,
                          bool comCodigoAB, std::string_view bloco, RegistroBuffer& b) {
    for (const ProcedimentoOdontologico& p : procedimentos) {
        if (p.comCodigoAB != comCodigoAB) continue;
        b.adiciona("<" + std::string(bloco) + ">");
        b.adicionaElemento("coMsProcedimento", comCodigoAB ? p.codigoAB : p.codigo);
        b.adicionaNumero("quantidade", p.quantidade);
        b.adiciona("</" + std::string(bloco) + ">");
    }
}

class FichaAtendimentoOdontologico : public FichaDeEpisodios {
  public:
    explicit FichaAtendimentoOdontologico(Execucao& ex)
        : FichaDeEpisodios(ex),
          atendimentos(consultaAtendimentos(ex)),
          fornecimentos(consultaDeEpisodios(ex, "FAAFORNECIMENTOS.CODFORNEC AS CODIGO",
                                            kFornecimentos, "FAAFORNECIMENTOS.CODFORNEC")),
          vigilancias(consultaDeEpisodios(ex, "FAAVIGBUCAL.CODVIGBUCAL AS CODIGO", kVigilancias,
                                          "FAAVIGBUCAL.CODVIGBUCAL")),
          procedimentos(
              consultaDeEpisodios(ex, kColunasProcedimentos, kProcedimentos, "FP.CODIGO")) {}

    std::size_t abreRegistros() override {
        const ParametrosExportacao& p = execucao.parametros;
        const std::size_t registros =
            contaRegistros(execucao.transacao, kChaveDoEpisodio, origemDosAtendimentos(p),
                           [&p](Consulta& q) { vinculaEpisodios(q, p); });
        fornecimentos.abre();
        vigilancias.abre();
        procedimentos.abre();
        atendimentos.percorre();
        return registros;
    }

    const Linha* proximoRegistro() override { return atendimentos.proxima(); }

    std::span<const CondicaoDeSelecao> condicoes() const override { return kCondicoes; }

    // The dental record names the professional code the operator typed, when there is one.
    std::optional<std::string> avisoSemIne(const Linha& /*atendimento*/) const override {
        return mensagemSemIne(execucao.parametros.CodProf);
    }

    bool corpo(const Linha& linha, const ValoresEnvelope&, RegistroBuffer& b) override {
        const AtendimentoOdontologico a = leAtendimento(linha);
        const Episodio& e = episodio;
        b.adiciona("<atendimentosOdontologicos>");
        b.adicionaElemento("cnsCidadao", e.cartaoSus);
        b.adicionaNumero("dtNascimento", DataParaLong(e.nascimento));
        b.adicionaNumero("localAtendimento", "1");
        if (a.gestante) b.adiciona("<gestante>true</gestante>");
        if (a.necessidadesEspeciais)
            b.adiciona("<necessidadesEspeciais>true</necessidadesEspeciais>");
        b.adicionaNumero("tipoAtendimento", tipoAtendimento(a.carater));
        // Without a conduct coded for e-SUS AB the referral is 11, none.
        b.adicionaNumero("tiposEncamOdonto", apara(a.conduta).empty() ? "11" : a.conduta);
        for (const std::string& codigo : fornecimentos.de(e.chave))
            b.adicionaNumero("tiposFornecimOdonto", codigo);
        for (const std::string& codigo : vigilancias.de(e.chave))
            b.adicionaNumero("tiposVigilanciaSaudeBucal", codigo);
        // The kind of consultation goes with every kind of care but 4.
        if (!apara(a.tipoConsulta).empty() && a.carater != "4")
            b.adicionaNumero("tiposConsultaOdonto", a.tipoConsulta);
        const std::vector<ProcedimentoOdontologico>& doEpisodio = procedimentos.de(e.chave);
        escreveProcedimentos(doEpisodio, true, "procedimentosRealizados", b);
        escreveProcedimentos(doEpisodio, false, "outrosSiaProcedimentos", b);
        if (e.hora) b.adicionaNumero("turno", std::to_string(turnoDaHora(e.hora->hora)));
        // The dental form compares the citizen's sex trimmed.
        b.adicionaNumero("sexo", sexoDoCidadao(apara(e.sexo)));
        b.adiciona("</atendimentosOdontologicos>");
        return true;
    }

  private:
    Consulta atendimentos;
    LeituraPorEpisodio<std::string, leCodigo> fornecimentos;
    LeituraPorEpisodio<std::string, leCodigo> vigilancias;
    LeituraPorEpisodio<ProcedimentoOdontologico, leProcedimento> procedimentos;
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
                                        TpCdsOrigem};
constexpr LinhaEnvelope kRodape[] = {HeaderTransport, FechamentoTransporte, Vazia, Remetente,
                                     Vazia,           Originadora,          Vazia, Versao,
                                     Vazia,           FechamentoRaiz};
constexpr DadosEnvelope kEnvelope{
    .caminhoNs4 = "fichaatendimentoodontologicomaster",
    .elementoTransporte = "fichaAtendimentoOdontologicoMasterTransport",
    .tipoDado = 5,
    .numLote = 2,
    .cadastro = false,
    .ineDado = RegraIneDado::IneDoProfissional,
    .meioTransporte = "-da1cb4c9-0005-0000-0000-",
    .meioInstalacao = "-da1cb4c9-0000-0000-0005-",
    .larguraNumero = 0,
    .fichaComUnidadeSemZeros = false,
    .lotacaoFormPrincipal = true,
    .prefixoArquivo = "FichaAtendimentoOdontologico_",
    .larguraNumeroArquivo = 0,
    .cabecalho = kCabecalho,
    .rodape = kRodape};

}  // namespace

constinit const DescricaoFicha fichaAtendimentoOdontologico{
    .tipo = TipoFicha::AtendimentoOdontologico,
    .nome = "atendimento-odontologico",
    .rotulo = "Ficha de Atendimento Odontológico",
    .status = "Gerando Fichas de Atendimento Odontológico...",
    .emTodas = true,
    .envelope = &kEnvelope,
    .gera = geraFichas<FichaAtendimentoOdontologico>};

}  // namespace cds
