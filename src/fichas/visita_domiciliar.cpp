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

// The visits of citizens with a usable health card; the address columns come along for the
// clinical system's screens and are not written. The professional line is there only when a
// code was given.
constexpr std::string_view kSelecao = R"(
SELECT distinct FAA.CODUNIDADE, FAA.NUMFAA, PROFISSIONAIS.CNS,
  profissionais.nome as nomeprofissional, PROFISSIONAIS.INE, PESSOAS.AREA, PESSOAS.MICROAREA,
  Bairros.nome as NomeBairro, PESSOAS.cepresidencia, PESSOAS.ENDERECO, LOCALIDADE.CODIBGE,
  LOCALIDADE.DNE, FAA.HORA, FAA.DATA, FAA.DESFECHOVISITA, PROFISSIONAIS.CBO, FAA.CODPESSOA,
  PESSOAS.SEXO, coalesce(PESSOAS.CARTAOSUS,'') AS CARTAOSUS, PESSOAS.DTNASCIMENTO
FROM FAA
INNER JOIN PROFISSIONAIS ON (PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL)
INNER JOIN PESSOAS ON (PESSOAS.CODIGO=FAA.CODPESSOA)
LEFT OUTER JOIN bairros on (Bairros.codigo=Pessoas.codBairro)
LEFT OUTER JOIN CEP ON (CEP.codcep=PESSOAS.CEPRESIDENCIA)
LEFT OUTER JOIN LOCALIDADE ON (LOCALIDADE.CODIGO=CEP.CODLOCALIDADE)
WHERE FAA.ESPECIEATEND='VISITA'
AND COALESCE(PESSOAS.CARTAOSUS,'')<>''
AND UPPER(PESSOAS.CARTAOSUS)<>'X'
AND UPPER(PESSOAS.CARTAOSUS)<>'0'
AND FAA.DATA >= :pdatainicial AND FAA.DATA < :pdiaposfinal
)";

constexpr std::string_view kDoProfissional = R"(
AND FAA.CODPROFISSIONAL=:pcodprof
)";

// The visits' reasons, read once for the period: visit numbers repeat across units, so a
// visit's reasons are those of its own number and unit.
constexpr std::string_view kMotivos = R"(
SELECT FAAMOTVISITAS.CODMOTIVO,
  FAA.DATA AS CHAVE_DATA, FAA.NUMFAA AS CHAVE_NUMERO, FAA.CODUNIDADE AS CHAVE_UNIDADE
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

Consulta consultaVisitas(Execucao& ex) {
    const ParametrosExportacao& p = ex.parametros;
    std::string sql(kSelecao);
    if (!p.CodProf.empty()) sql += kDoProfissional;
    sql += kOrdemDosEpisodios;
    Consulta q(ex.transacao, sql);
    if (!p.CodProf.empty()) q.parametro("pcodprof", p.CodProf);
    vinculaPeriodo(q, p);
    return q;
}

ConsultaPorRegistro consultaMotivos(Execucao& ex) {
    const std::string& codProf = ex.parametros.CodProf;
    std::string visitas(kVisitasDoPeriodo);
    if (!codProf.empty()) visitas += kDoProfissional;
    ConsultaPorRegistro q = consultaPorEpisodio(ex, kMotivos, visitas, "FAAMOTVISITAS");
    if (!codProf.empty()) q.consulta().parametro("pcodprof", codProf);
    return q;
}

class FichaVisitaDomiciliar : public Ficha {
  public:
    explicit FichaVisitaDomiciliar(Execucao& ex)
        : execucao(ex), visitas(consultaVisitas(ex)), motivos(consultaMotivos(ex)) {}

    std::optional<std::size_t> abreRegistros() override {
        motivos.abre();
        visitas.percorre();
        return std::nullopt;
    }

    const Linha* proximoRegistro() override { return visitas.proxima(); }

    IdentidadeRegistro identidade(const Linha& v) const override {
        return {v.texto("NUMFAA"), v.texto("CODUNIDADE")};
    }

    ValoresEnvelope envelope(const Linha& v) const override {
        ValoresEnvelope e{.tipo = TipoFicha::VisitaDomiciliar};
        e.IBGE = execucao.ibge();
        e.Unidade = execucao.parametros.Unidade;
        e.CODUNIDADE = v.texto("CODUNIDADE");
        e.UUID = execucao.parametros.UUID;
        e.numero = v.texto("NUMFAA");
        e.profissional.CNS = v.texto("CNS");
        e.profissional.CBO = v.texto("CBO");
        e.profissional.ine = v.texto("INE");
        e.profissional.dataAtendimento = DataParaLong(v.dataHora("DATA"));
        return e;
    }

    std::optional<std::string> avisoSemIne(const Linha& v) const override {
        return v.texto("nomeprofissional") + " - INE não cadastrado!";
    }

    bool corpo(const Linha& v, const ValoresEnvelope&, RegistroBuffer& b) override {
        const std::string desfecho = v.texto("DESFECHOVISITA");
        const auto hora = v.dataHora("HORA");
        b.adiciona("<visitasDomiciliares>");
        b.adicionaNumero("turno", hora ? std::to_string(turnoDaHora(hora->hora)) : "1");
        b.adicionaElemento("numProntuario", v.texto("CODPESSOA"));
        if (const std::string cns = v.texto("CARTAOSUS"); comprimento(cns) == 15)
            b.adicionaElemento("cnsCidadao", cns);
        b.adicionaNumero("dtNascimento", DataParaLong(v.dataHora("DTNASCIMENTO")));
        b.adicionaNumero("sexo", sexoDoCidadao(v));
        b.adiciona(
            "<statusVisitaCompartilhadaOutroProfissional>false"
            "</statusVisitaCompartilhadaOutroProfissional>");
        // A visit not made (outcome 2 or 3) has no reasons; one without an outcome has.
        if (desfecho != "2" && desfecho != "3") escreveMotivos(v, b);
        b.adicionaNumero("desfecho", apara(desfecho).empty() ? "1" : desfecho);
        b.adicionaElemento("microArea", ZeroEsquerda(v.texto("MICROAREA"), 2));
        b.adiciona("<stForaArea>false</stForaArea>");
        b.adicionaNumero("tipoDeImovel", "1");
        b.adiciona("</visitasDomiciliares>");
        return true;
    }

  private:
    void escreveMotivos(const Linha& v, RegistroBuffer& b) {
        const std::vector<Linha>& linhas = motivos.de(chaveDoEpisodio(v));
        if (linhas.empty()) b.adicionaNumero("motivosVisita", kMotivoOutros);
        for (const Linha& m : linhas)
            if (const std::string codigo = m.texto("CODMOTIVO"); codigo != kMotivoSemCodigo)
                b.adicionaNumero("motivosVisita", codigo);
    }

    Execucao& execucao;
    Consulta visitas;
    ConsultaPorRegistro motivos;
};

}  // namespace

void geraVisitaDomiciliar(Execucao& execucao, const DescricaoFicha& descricao) {
    geraFichas<FichaVisitaDomiciliar>(execucao, descricao);
}

}  // namespace cds
