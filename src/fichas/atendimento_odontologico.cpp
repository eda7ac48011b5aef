// The dental care form: one per care episode of the period attended by a dentist.

#include <string_view>

#include "comum/texto.hpp"
#include "fichas/atendimentos.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

// An episode of the period whose professional's occupation is a dentist's, whose citizen has
// a birth date, whose character is neither 7 nor 8, in a unit that is no CRAS (a unit without
// a name is left out too). The professional line is there only when a code was given.
constexpr std::string_view kSelecao = R"(
SELECT FAA.CODUNIDADE, FAA.NUMFAA, FAA.CARATER, CONDUTAS.CODIGOESUS AS ESUS_CONDUTA,
  FAA.TIPOCONSULTAODONTO, PESSOAS.SEXO, coalesce(PESSOAS.CARTAOSUS,'') AS CARTAOSUS,
  PESSOAS.DTNASCIMENTO, FAA.CODPESSOA, FAA.HORA, FAA.DATA, PROFISSIONAIS.CNS,
  PROFISSIONAIS.CBO, PROFISSIONAIS.INE, FAA.GESTANTE, FAA.PCD
FROM FAA
LEFT OUTER JOIN CONDUTAS ON (CONDUTAS.codigo=FAA.codconduta)
INNER JOIN PESSOAS ON (PESSOAS.CODIGO=FAA.CODPESSOA)
INNER JOIN PROFISSIONAIS ON (PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL)
INNER JOIN CBO ON (PROFISSIONAIS.CBO=CBO.CODIGO AND UPPER(CBO.DESCRICAO) LIKE '%DENTISTA%')
WHERE COALESCE(PESSOAS.DTNASCIMENTO,'')<>''
AND FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
AND COALESCE(FAA.CARATER,'')<>'8' AND COALESCE(FAA.CARATER,'')<>'7'
and (select u.nome from unidades u where FAA.codunidade=u.codigo) not like '%CRAS%'
)";

constexpr std::string_view kDoProfissional = R"(
AND FAA.CODPROFISSIONAL=:pcodprof
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

Consulta consultaAtendimentos(Execucao& ex) {
    const ParametrosExportacao& p = ex.parametros;
    std::string sql(kSelecao);
    if (!p.CodProf.empty()) sql += kDoProfissional;
    sql += kChaveDoEpisodio.ordem();
    Consulta q(ex.transacao, sql);
    if (!p.CodProf.empty()) q.parametro("pcodprof", p.CodProf);
    vinculaPeriodo(q, p);
    return q;
}

// Under the operator's professional code, only that professional's episodes are the main
// query's. An episode's rows in its table's key: the codes for the tables keyed by them alone.
ConsultaPorRegistro consultaDeEpisodios(Execucao& ex, std::string_view colunas,
                                        std::string_view origem, std::string_view ordem) {
    const std::string& codProf = ex.parametros.CodProf;
    std::string episodios(kEpisodios);
    if (!codProf.empty()) episodios += kDoProfissional;
    ConsultaPorRegistro q = consultaPorEpisodio(ex, colunas, origem, episodios, ordem);
    if (!codProf.empty()) q.consulta().parametro("pcodprof", codProf);
    return q;
}

// The episode's character is copied when it is one of the four kinds of care the dental form
// takes from it; any other, an empty one included, goes as 5. Only whole codes count: a
// character such as "24" is no kind the form knows.
std::string tipoAtendimento(const std::string& CARATER) {
    for (std::string_view codigo : {"2", "4", "5", "6"})
        if (CARATER == codigo) return CARATER;
    return "5";
}

// Without a conduct coded for e-SUS AB the referral is 11, none.
std::string tiposEncamOdonto(const std::string& ESUS_CONDUTA) {
    return apara(ESUS_CONDUTA).empty() ? "11" : ESUS_CONDUTA;
}

// The dental form compares the citizen's sex trimmed, in any case.
std::string sexoOdontologico(const Linha& a) {
    return maiusculas(apara(a.texto("SEXO"))) == "MASCULINO" ? "0" : "1";
}

class FichaAtendimentoOdontologico : public Ficha {
  public:
    explicit FichaAtendimentoOdontologico(Execucao& ex)
        : Ficha(ex, kColunasDoEpisodio),
          atendimentos(consultaAtendimentos(ex)),
          fornecimentos(consultaDeEpisodios(ex, "FAAFORNECIMENTOS.CODFORNEC", kFornecimentos,
                                            "FAAFORNECIMENTOS.CODFORNEC")),
          vigilancias(consultaDeEpisodios(ex, "FAAVIGBUCAL.CODVIGBUCAL", kVigilancias,
                                          "FAAVIGBUCAL.CODVIGBUCAL")),
          procedimentos(
              consultaDeEpisodios(ex, kColunasProcedimentos, kProcedimentos, "FP.CODIGO")) {}

    std::optional<std::size_t> abreRegistros() override {
        for (ConsultaPorRegistro* q : {&fornecimentos, &vigilancias, &procedimentos}) q->abre();
        atendimentos.percorre();
        return std::nullopt;
    }

    const Linha* proximoRegistro() override { return atendimentos.proxima(); }

    // The dental record names the professional code the operator typed, when there is one.
    std::optional<std::string> avisoSemIne(const Linha& /*atendimento*/) const override {
        return mensagemSemIne(execucao.parametros.CodProf);
    }

    bool corpo(const Linha& a, const ValoresEnvelope&, RegistroBuffer& b) override {
        const ChaveRegistro chave = kChaveDoEpisodio.daLinha(a);
        b.adiciona("<atendimentosOdontologicos>");
        b.adicionaElemento("cnsCidadao", a.texto("CARTAOSUS"));
        b.adicionaNumero("dtNascimento", DataParaLong(a.dataHora("DTNASCIMENTO")));
        b.adicionaNumero("localAtendimento", "1");
        if (a.texto("GESTANTE") == "S") b.adiciona("<gestante>true</gestante>");
        if (a.texto("PCD") == "S")
            b.adiciona("<necessidadesEspeciais>true</necessidadesEspeciais>");
        b.adicionaNumero("tipoAtendimento", tipoAtendimento(a.texto("CARATER")));
        b.adicionaNumero("tiposEncamOdonto", tiposEncamOdonto(a.texto("ESUS_CONDUTA")));
        for (const Linha& f : fornecimentos.de(chave))
            b.adicionaNumero("tiposFornecimOdonto", f.texto("CODFORNEC"));
        for (const Linha& v : vigilancias.de(chave))
            b.adicionaNumero("tiposVigilanciaSaudeBucal", v.texto("CODVIGBUCAL"));
        escreveTipoConsulta(a, b);
        const std::vector<Linha>& linhas = procedimentos.de(chave);
        escreveProcedimentos(b, "procedimentosRealizados", linhas, true, "CODPROCESUS");
        escreveProcedimentos(b, "outrosSiaProcedimentos", linhas, false, "CODPROCEDUNIF");
        if (const auto hora = a.dataHora("HORA"))
            b.adicionaNumero("turno", std::to_string(turnoDaHora(hora->hora)));
        b.adicionaNumero("sexo", sexoOdontologico(a));
        b.adiciona("</atendimentosOdontologicos>");
        return true;
    }

  private:
    // The kind of consultation goes with every kind of care but 4.
    static void escreveTipoConsulta(const Linha& a, RegistroBuffer& b) {
        const std::string tipo = a.texto("TIPOCONSULTAODONTO");
        if (!apara(tipo).empty() && a.texto("CARATER") != "4")
            b.adicionaNumero("tiposConsultaOdonto", tipo);
    }

    // One block per procedure row of the list, with its code and, when there is one, its
    // quantity.
    static void escreveProcedimentos(RegistroBuffer& b, std::string_view bloco,
                                     const std::vector<Linha>& linhas, bool comCodigoAB,
                                     std::string_view colunaCodigo) {
        for (const Linha& p : linhas) {
            if ((p.inteiro("COMCODIGOAB") == 1) != comCodigoAB) continue;
            b.adiciona("<" + std::string(bloco) + ">");
            b.adicionaElemento("coMsProcedimento", p.texto(colunaCodigo));
            b.adicionaNumero("quantidade", p.texto("QUANTIDADE"));
            b.adiciona("</" + std::string(bloco) + ">");
        }
    }

    Consulta atendimentos;
    ConsultaPorRegistro fornecimentos;
    ConsultaPorRegistro vigilancias;
    ConsultaPorRegistro procedimentos;
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
