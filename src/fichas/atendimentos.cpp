#include "fichas/atendimentos.hpp"

#include <string_view>

#include "comum/erro.hpp"
#include "comum/texto.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

// The medical episodes of the period, but a dentist's (the dental record's): those the care
// records take are those whose professional and CBO are on file, whose citizen has a birth date,
// whose unit has a name and is no CRAS, with a CIAP code without "X" or a CID code, and whose
// character is neither 7 nor 8. A kind of care spelled otherwise than MEDICO is a medical
// episode all the same, left out for its spelling.
constexpr CondicaoDeSelecao kCondicoes[] = {
    {"FAA.ESPECIEATEND='MEDICO'", "espécie do atendimento '{}' fora do padrão (deve ser MEDICO)",
     "ESPECIEATEND"},
    kProfissionalCadastrado,
    {"CBO.CODIGO IS NOT NULL", "CBO do profissional não está na tabela de CBO"},
    {"CBO.DESCRICAO IS NOT NULL", "CBO do profissional sem descrição na tabela de CBO"},
    kCidadaoCadastrado,
    kCidadaoComNascimento,
    kUnidadeCadastrada,
    kUnidadeComNome,
    kUnidadeNaoCras,
    {R"(EXISTS(SELECT FIRST 1 FCIAP.CODCIAP FROM FAACIAPS FCIAP
    WHERE FAA.CODUNIDADE=FCIAP.CODUNIDADE AND FAA.NUMFAA=FCIAP.NUMFAA
    AND FCIAP.CODCIAP NOT LIKE '%X%')
  OR EXISTS(SELECT FIRST 1 FAACID.CODCID FROM FAACID
    WHERE FAA.CODUNIDADE = FAACID.CODUNIDADE and FAA.NUMFAA = FAACID.NUMFAA))",
     "atendimento sem CIAP (sem X) nem CID"},
    kCaraterExportado,
};

constexpr std::string_view kColunas = R"(
SELECT DISTINCT coalesce(PESSOAS.CARTAOSUS,'') AS CARTAOSUS, PESSOAS.DTNASCIMENTO, PESSOAS.SEXO,
  FAA.HORA, FAA.ESPECIEATEND, T.PESO, T.ALTURA, t.pc,
  (SELECT FIRST 1 FAACID.CODCID FROM FAACID
    WHERE FAA.CODUNIDADE = FAACID.CODUNIDADE and FAA.NUMFAA = FAACID.NUMFAA ) AS CODCID,
  PROFISSIONAIS.CNS, PROFISSIONAIS.CBO, FAA.CODUNIDADE, FAA.DATA, FAA.CODPESSOA, FAA.CARATER,
  FAA.NUMFAA, SC.CODTIPOAUXILIO, PROFISSIONAIS.INE, profissionais.nome as nomeprofissional,
  CONDUTAS.CODIGOESUS AS ESUS_CONDUTA, faa.gestante, FAA.DUM, FAA.IDADEGEST, FAA.GRAVIDEZPLAN,
  FAA.NUMGESTPREVIAS, FAA.NUMPARTOS, FAA.ALEITMATERNO, FAA.VACINAEMDIA, FAA.FICOUOBS,
  FAA.DESFECHOATDOMIC,
)";

constexpr std::string_view kOrigem = R"(
FROM FAA
LEFT OUTER JOIN PROFISSIONAIS ON PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL
LEFT OUTER JOIN CBO ON PROFISSIONAIS.CBO=CBO.CODIGO
LEFT OUTER JOIN PESSOAS ON FAA.CODPESSOA=PESSOAS.CODIGO
LEFT OUTER JOIN UNIDADES U ON U.CODIGO=FAA.CODUNIDADE
LEFT OUTER JOIN TRIAGENS T ON FAA.CODUNIDADE=T.CODUNIDADE AND FAA.NUMFAA=T.NUMFAA
LEFT OUTER JOIN SOLICPROCEDS SC ON FAA.CODUNIDADE=SC.CODUNIDADE AND FAA.NUMFAA=SC.NUMFAA
LEFT OUTER JOIN CONDUTAS ON (CONDUTAS.codigo=FAA.CODCONDUTA)
WHERE UPPER(TRIM(FAA.ESPECIEATEND))='MEDICO'
AND (CBO.DESCRICAO IS NULL OR UPPER(CBO.DESCRICAO) NOT LIKE '%DENTISTA%')
AND FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
)";

// The main query's origin, which the count of its records shares.
std::string origemDosEpisodios(const ParametrosExportacao& p) {
    return std::string(kOrigem) + doProfissional(p);
}

Consulta consultaEpisodios(Execucao& ex) {
    const ParametrosExportacao& p = ex.parametros;
    Consulta q(ex.transacao, std::string(kColunas) + colunaDaSelecao(kCondicoes) +
                                 origemDosEpisodios(p) + kChaveDoEpisodio.ordem());
    vinculaEpisodios(q, p);
    return q;
}

}  // namespace

FichaDeAtendimentos::FichaDeAtendimentos(Execucao& execucao, TipoFicha tipo)
    : FichaDeEpisodios(execucao), tipo(tipo), episodios(consultaEpisodios(execucao)) {}

FichaDeAtendimentos::~FichaDeAtendimentos() = default;

std::size_t FichaDeAtendimentos::abreRegistros() {
    const ParametrosExportacao& p = execucao.parametros;
    const std::size_t registros =
        contaRegistros(execucao.transacao, kChaveDoEpisodio, origemDosEpisodios(p),
                       [&p](Consulta& q) { vinculaEpisodios(q, p); });
    if (tipo == TipoFicha::Vacinacao && execucao.episodiosGuardados) {
        guardados = std::move(execucao.episodiosGuardados);
        guardados->voltaAoInicio();
        lidosDosGuardados = true;
        return registros;
    }
    episodios.percorre();
    if (tipo == TipoFicha::AtendimentoIndividual && p.escolhida(TipoFicha::Vacinacao))
        guardados = LinhasGuardadas::cria();
    return registros;
}

const Linha* FichaDeAtendimentos::proximoRegistro() {
    if (lidosDosGuardados) return guardados->proxima();
    const Linha* episodio = episodios.proxima();
    if (episodio && guardados) guardados->guarda(*episodio);
    return episodio;
}

void FichaDeAtendimentos::preparaRegistro(const Linha& r) {
    FichaDeEpisodios::preparaRegistro(r);
    gestante = r.texto("GESTANTE") == "S";
}

std::span<const CondicaoDeSelecao> FichaDeAtendimentos::condicoes() const {
    return kCondicoes;
}

void FichaDeAtendimentos::termina() {
    if (!lidosDosGuardados) execucao.episodiosGuardados = std::move(guardados);
}

ConsultaPorRegistro consultaPorEpisodio(Execucao& ex, std::string_view colunas,
                                        std::string_view origem, std::string_view episodios,
                                        std::string_view ordemDasLinhas,
                                        std::string_view colunaProfissional) {
    std::string onde(origem);
    onde += episodios;
    if (!colunaProfissional.empty()) onde += doProfissional(ex.parametros, colunaProfissional);
    ConsultaPorRegistro q(ex.transacao, kChaveDoEpisodio.consulta(colunas, onde, ordemDasLinhas));
    if (!colunaProfissional.empty()) vinculaProfissional(q.consulta(), ex.parametros);
    vinculaPeriodo(q.consulta(), ex.parametros);
    return q;
}

std::string doProfissional(const ParametrosExportacao& p, std::string_view coluna) {
    return p.CodProf.empty() ? std::string() : "\nAND " + std::string(coluna) + "=:pcodprof\n";
}

void vinculaProfissional(Consulta& q, const ParametrosExportacao& p) {
    if (!p.CodProf.empty()) q.parametro("pcodprof", p.CodProf);
}

void vinculaEpisodios(Consulta& q, const ParametrosExportacao& p) {
    vinculaProfissional(q, p);
    vinculaPeriodo(q, p);
}

Episodio leEpisodio(const Linha& a) {
    return {kChaveDoEpisodio.daLinha(a), a.dataHora("HORA"),         a.texto("CODPESSOA"),
            a.texto("CARTAOSUS"),        a.dataHora("DTNASCIMENTO"), a.texto("SEXO")};
}

std::string leCodigo(const Linha& l) {
    return l.texto("CODIGO");
}

int turnoDaHora(int hora) {
    return hora < 12 ? 1 : hora < 18 ? 2 : 3;
}

std::string_view sexoDoCidadao(std::string_view sexo) {
    return maiusculas(sexo) == "MASCULINO" ? "0" : "1";
}

std::string momentoDoAtendimento(const Episodio& e) {
    std::optional<DataHora> momento = e.chave.data;
    if (!momento) throw ErroConversao("O atendimento não tem data");
    // A DATA that carries its own time of day (a TIMESTAMP column) keeps it: the hour column
    // comes after it and is not read.
    const bool dataComHora = momento->hora != 0 || momento->minuto != 0 || momento->segundo != 0;
    if (!dataComHora && e.hora) {
        momento->hora = e.hora->hora;
        momento->minuto = e.hora->minuto;
        momento->segundo = e.hora->segundo;
        return momentoParaLong(*momento);
    }
    return DataParaLong(momento);
}

}  // namespace cds
