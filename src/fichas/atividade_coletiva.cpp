// The collective activity form: one per group meeting of the period with a theme, a target
// audience or a health theme recorded, from every unit.

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comum/texto.hpp"
#include "fichas/consulta_por_registro.hpp"
#include "fichas/gerador.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

// A meeting's responsible professional is its group's; a group without one leaves the
// professional's columns empty. There is no unit exclusion and no professional filter. Counts
// "S" in either case among the meeting's evaluations, but not the "X" of old rows, which a
// participant's own evaluation does take as altered.
constexpr std::string_view kEncontros = R"(
SELECT E.ID_ENCONTRO, E.DATA, e.turno, P.CNS AS CNSRESPONSAVEL, P.CBO,
  p.nome as nomeprofissional, P.INE, E.TIPOATIVCOLETIVA, E.PARTICIPANTES, E.PARTICPROGRAMADO,
  COALESCE(P.CODUNIDADE,'') AS CODUNIDADE, G.INEP,
  (SELECT COUNT(TRIAGENS.AVALTERADA) FROM TRIAGENS
    WHERE TRIAGENS.ID_ENCONTRO=E.ID_ENCONTRO
    AND upper(TRIAGENS.AVALTERADA)='S') AS ALTERADAS
FROM ENCONTROSGRUPOS E
LEFT OUTER JOIN GRUPOSDERISCO G ON E.SIGLAGRUPO=G.SIGLA
LEFT OUTER JOIN PROFISSIONAIS P ON G.CODPROFRESPONSAVEL=P.CODIGO
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
AND (EXISTS (SELECT * FROM encontros_temasaude
    WHERE encontros_temasaude.ID_ENCONTRO=E.ID_ENCONTRO) OR
  EXISTS (SELECT * FROM encontros_publico
    WHERE encontros_publico.ID_ENCONTRO=E.ID_ENCONTRO) OR
  EXISTS (SELECT * FROM ENCONTROS_TEMA
    WHERE ENCONTROS_TEMA.ID_ENCONTRO=E.ID_ENCONTRO))
ORDER BY E.DATA, E.ID_ENCONTRO
)";

// The look-ups of a meeting, each read once for the meetings of the period, a meeting's rows
// being those of its number.
constexpr std::string_view kProfissionais = R"(
SELECT PROFISSIONAIS.CNS, PROFISSIONAIS.CBO,
  E.DATA AS CHAVE_DATA, E.ID_ENCONTRO AS CHAVE_NUMERO, '' AS CHAVE_UNIDADE
FROM ENCONTROSGRUPOS E
INNER JOIN ENCONTROS_PROFISSIONAIS ON ENCONTROS_PROFISSIONAIS.ID_ENCONTRO=E.ID_ENCONTRO
INNER JOIN PROFISSIONAIS ON (PROFISSIONAIS.codigo=ENCONTROS_PROFISSIONAIS.codprofissional)
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

constexpr std::string_view kTemas = R"(
SELECT encontros_tema.codtema,
  E.DATA AS CHAVE_DATA, E.ID_ENCONTRO AS CHAVE_NUMERO, '' AS CHAVE_UNIDADE
FROM ENCONTROSGRUPOS E
INNER JOIN encontros_tema ON ENCONTROS_TEMA.ID_ENCONTRO=E.ID_ENCONTRO
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

constexpr std::string_view kPublico = R"(
SELECT encontros_publico.codpublico,
  E.DATA AS CHAVE_DATA, E.ID_ENCONTRO AS CHAVE_NUMERO, '' AS CHAVE_UNIDADE
FROM ENCONTROSGRUPOS E
INNER JOIN encontros_publico ON encontros_publico.ID_ENCONTRO=E.ID_ENCONTRO
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

// Those marked absent ("F" in either case) or not marked at all are not participants.
constexpr std::string_view kParticipantes = R"(
SELECT PE.CODPESSOA, P.CARTAOSUS, P.DTNASCIMENTO, p.sexo,
  E.DATA AS CHAVE_DATA, E.ID_ENCONTRO AS CHAVE_NUMERO, '' AS CHAVE_UNIDADE
FROM ENCONTROSGRUPOS E
INNER JOIN PRESENCAENCONTROS PE ON PE.ID_ENCONTRO=E.ID_ENCONTRO
INNER JOIN PESSOAS P on (PE.codPESSOA=P.codigo)
WHERE upper(PE.PRESENCA) <> 'F'
AND E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

// The triage rows of the meeting; a participant's is the first of them with their code.
constexpr std::string_view kTriagens = R"(
SELECT TRIAGENS.CODPESSOA, TRIAGENS.Peso, TRIAGENS.Altura, TRIAGENS.AvAlterada,
  E.DATA AS CHAVE_DATA, E.ID_ENCONTRO AS CHAVE_NUMERO, '' AS CHAVE_UNIDADE
FROM ENCONTROSGRUPOS E
INNER JOIN TRIAGENS ON TRIAGENS.ID_ENCONTRO=E.ID_ENCONTRO
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

// Health themes and health practices share one table; each list keeps the codes of its own set.
constexpr std::string_view kTemasSaude = R"(
SELECT encontros_temasaude.codtema,
  E.DATA AS CHAVE_DATA, E.ID_ENCONTRO AS CHAVE_NUMERO, '' AS CHAVE_UNIDADE
FROM ENCONTROSGRUPOS E
INNER JOIN encontros_temasaude ON encontros_temasaude.ID_ENCONTRO=E.ID_ENCONTRO
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

// Practice 30 is the one that carries a procedure.
constexpr std::string_view kTema30 = R"(
and codtema = 30
)";

constexpr std::string_view kDeTemasSaude = R"(
and (codtema in (1, 4, 5, 6, 7, 8, 10, 13, 14, 15, 16, 17, 18, 19, 21, 29))
)";

constexpr std::string_view kDePraticas = R"(
and (codtema in (2, 3, 9, 11, 12, 20, 22, 23, 24, 25, 26, 27, 28, 30))
)";

constexpr std::string_view kProcedimentos = R"(
SELECT encontros_profissionais.codprocedimento,
  E.DATA AS CHAVE_DATA, E.ID_ENCONTRO AS CHAVE_NUMERO, '' AS CHAVE_UNIDADE
FROM ENCONTROSGRUPOS E
INNER JOIN encontros_profissionais ON encontros_profissionais.ID_ENCONTRO=E.ID_ENCONTRO
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
and codprocedimento in ('0101010044', '0101020082', '0101010052', '0101010060', '0101010079',
  '0101010087', '0101020023', '0101020040')
)";

Consulta consultaEncontros(Execucao& ex) {
    Consulta q(ex.transacao, kEncontros);
    vinculaPeriodo(q, ex.parametros);
    return q;
}

ChaveRegistro chaveDoEncontro(const Linha& e) {
    return {e.dataHora("DATA"), e.inteiro("ID_ENCONTRO"), {}};
}

// In the main query's order and, within a meeting, in the order `tabela` keeps its rows, which
// is the order the per-meeting statement read them in.
ConsultaPorRegistro consultaPorEncontro(Execucao& ex, std::string_view sql,
                                        std::string_view tabela) {
    ConsultaPorRegistro q(ex.transacao, std::string(sql) + "ORDER BY E.DATA, E.ID_ENCONTRO, " +
                                            ordemDeGravacao(tabela) + "\n");
    vinculaPeriodo(q.consulta(), ex.parametros);
    return q;
}

ConsultaPorRegistro consultaTemasSaude(Execucao& ex, std::string_view condicao) {
    return consultaPorEncontro(ex, std::string(kTemasSaude) + std::string(condicao),
                               "encontros_temasaude");
}

bool tipoEntre(const std::string& tipo, std::initializer_list<std::string_view> tipos) {
    for (std::string_view t : tipos)
        if (tipo == t) return true;
    return false;
}

// "Manhã" and "Tarde" in any case; any other shift, none included, is the night's.
std::string turnoDoEncontro(const Linha& e) {
    const std::string turno = maiusculasAcentuadas(e.texto("turno"));
    if (turno == "MANHÃ") return "1";
    if (turno == "TARDE") return "2";
    return "3";
}

std::string sexoDoParticipante(const Linha& p) {
    const std::string sexo = maiusculas(apara(p.texto("SEXO")));
    if (sexo == "MASCULINO") return "0";
    if (sexo == "FEMININO") return "1";
    return "4";
}

void escreveProfissional(RegistroBuffer& b, const std::string& cns, const std::string& cbo) {
    b.adiciona("<profissionais>");
    b.adicionaElemento("cnsProfissional", cns);
    b.adicionaElemento("codigoCbo2002", VerCbo(cbo));
    b.adiciona("</profissionais>");
}

// Weight within (0.5, 500) kg; height in centimetres within [20, 250], or in metres, as older
// triage screens took it, within (0.2, 2.5).
void escreveMedidas(const Linha& triagem, RegistroBuffer& b) {
    const double peso = triagem.real("Peso");
    if (peso > 0.5 && peso < 500) b.adicionaElemento("peso", formataNumero(peso, "0,##"));
    const double altura = triagem.real("Altura");
    if (altura >= 20 && altura <= 250)
        b.adicionaElemento("altura", formataNumero(altura, "00000"));
    else if (altura > 0.2 && altura < 2.5)
        b.adicionaElemento("altura", formataNumero(altura * 100, "00000"));
}

class FichaAtivColetiva : public Ficha {
  public:
    explicit FichaAtivColetiva(Execucao& ex)
        : execucao(ex),
          encontros(consultaEncontros(ex)),
          profissionais(consultaPorEncontro(ex, kProfissionais, "ENCONTROS_PROFISSIONAIS")),
          temas(consultaPorEncontro(ex, kTemas, "ENCONTROS_TEMA")),
          publico(consultaPorEncontro(ex, kPublico, "ENCONTROS_PUBLICO")),
          participantes(consultaPorEncontro(ex, kParticipantes, "PE")),
          triagens(consultaPorEncontro(ex, kTriagens, "TRIAGENS")),
          tema30(consultaTemasSaude(ex, kTema30)),
          procedimentos(consultaPorEncontro(ex, kProcedimentos, "encontros_profissionais")),
          temasSaude(consultaTemasSaude(ex, kDeTemasSaude)),
          praticas(consultaTemasSaude(ex, kDePraticas)) {}

    std::optional<std::size_t> abreRegistros() override {
        for (ConsultaPorRegistro* q : {&profissionais, &temas, &publico, &participantes, &triagens,
                                       &tema30, &procedimentos, &temasSaude, &praticas})
            q->abre();
        encontros.percorre();
        return std::nullopt;
    }

    const Linha* proximoRegistro() override { return encontros.proxima(); }

    IdentidadeRegistro identidade(const Linha& e) const override {
        return {e.texto("ID_ENCONTRO"), e.texto("CODUNIDADE")};
    }

    ValoresEnvelope envelope(const Linha& e) const override {
        ValoresEnvelope v{.tipo = TipoFicha::AtividadeColetiva};
        v.IBGE = execucao.ibge();
        v.Unidade = execucao.parametros.Unidade;
        v.CODUNIDADE = e.texto("CODUNIDADE");
        v.UUID = execucao.parametros.UUID;
        v.numero = e.texto("ID_ENCONTRO");
        v.profissional.CNS = e.texto("CNSRESPONSAVEL");
        v.profissional.CBO = e.texto("CBO");
        v.profissional.ine = e.texto("INE");
        v.profissional.dataAtendimento = DataParaLong(e.dataHora("DATA"));
        return v;
    }

    std::optional<std::string> avisoSemIne(const Linha& e) const override {
        return e.texto("nomeprofissional") + " - INE não cadastrado!";
    }

    // The envelope writes uuidFicha before this and the two empty lines after it.
    bool corpo(const Linha& e, const ValoresEnvelope& valores, RegistroBuffer& b) override {
        const ChaveRegistro chave = chaveDoEncontro(e);
        const std::string tipo = e.texto("TIPOATIVCOLETIVA");

        // An INEP of blanks names no school: the meeting then goes by its unit, as without one.
        const std::string inep = e.texto("INEP");
        const bool temInep = !apara(inep).empty();
        b.adicionaNumero("inep", inep);
        if (e.inteiro("PARTICIPANTES") > 0)
            b.adicionaNumero("numParticipantes", e.texto("PARTICIPANTES"));
        b.adicionaNumero("numAvaliacoesAlteradas", e.texto("ALTERADAS"));
        escreveProfissionais(e, profissionais.de(chave), b);
        b.adicionaNumero("atividadeTipo", tipo);
        if (tipoEntre(tipo, {"1", "2", "3"}))
            escreveCodigos(temas.de(chave), "codtema", "temasParaReuniao", b);
        else
            escreveCodigos(publico.de(chave), "codpublico", "publicoAlvo", b);
        if (tipoEntre(tipo, {"5", "6"}))
            escreveParticipantes(participantes.de(chave), triagens.de(chave), b);
        b.adiciona("<tbCdsOrigem>3</tbCdsOrigem>");
        if (const std::string unidade = unidadeDaFicha(valores); !temInep && !unidade.empty())
            b.adicionaElemento("cnesLocalAtividade", ZeroEsquerda(unidade, 7));
        escreveProcedimento(chave, b);
        b.adicionaNumero("turno", turnoDoEncontro(e));
        escreveHeaderTransport(b, valores);
        if (tipoEntre(tipo, {"4", "5", "7"}))
            escreveCodigos(temasSaude.de(chave), "codtema", "temasParaSaude", b);
        if (tipo == "6") escreveCodigos(praticas.de(chave), "codtema", "praticasEmSaude", b);
        return true;
    }

  private:
    // Professionals with a whole CNS and CBO; the responsible one last unless listed already
    // with the same CNS and CBO.
    static void escreveProfissionais(const Linha& e, const std::vector<Linha>& profissionais,
                                     RegistroBuffer& b) {
        const std::string cnsResponsavel = e.texto("CNSRESPONSAVEL");
        const std::string cboResponsavel = e.texto("CBO");
        bool responsavelListado = false;
        for (const Linha& p : profissionais) {
            const std::string cns = p.texto("CNS");
            const std::string cbo = p.texto("CBO");
            if (comprimento(cns) != 15 || comprimento(cbo) != 6) continue;
            escreveProfissional(b, cns, cbo);
            if (cns == cnsResponsavel && cbo == cboResponsavel) responsavelListado = true;
        }
        if (!responsavelListado) escreveProfissional(b, cnsResponsavel, cboResponsavel);
    }

    static void escreveCodigos(const std::vector<Linha>& linhas, std::string_view coluna,
                               std::string_view tag, RegistroBuffer& b) {
        for (const Linha& l : linhas) b.adicionaNumero(tag, l.texto(coluna));
    }

    // A participant's triage: the first of the meeting's rows with their code, if any.
    static const Linha* triagemDe(const Linha& participante, const std::vector<Linha>& triagens) {
        const std::int64_t codigo = participante.inteiro("CODPESSOA");
        for (const Linha& t : triagens)
            if (!t.nulo("CODPESSOA") && t.inteiro("CODPESSOA") == codigo) return &t;
        return nullptr;
    }

    // Only those with a whole health card; a card with an "X" is none.
    static void escreveParticipantes(const std::vector<Linha>& participantes,
                                     const std::vector<Linha>& triagens, RegistroBuffer& b) {
        for (const Linha& p : participantes) {
            const std::string cns = p.texto("CartaoSUS");
            if (comprimento(cns) != 15 || maiusculas(cns).find('X') != std::string::npos) continue;
            const Linha* triagem = triagemDe(p, triagens);
            const std::string avaliacao = triagem ? triagem->texto("AvAlterada") : "";
            b.adiciona("<participantes>");
            b.adicionaElemento("cnsParticipante", cns);
            b.adicionaNumero("dataNascimento", DataParaLong(p.dataHora("DTNASCIMENTO")));
            b.adiciona(avaliacao == "S" || avaliacao == "X"
                           ? "<avaliacaoAlterada>true</avaliacaoAlterada>"
                           : "<avaliacaoAlterada>false</avaliacaoAlterada>");
            if (triagem) escreveMedidas(*triagem, b);
            b.adicionaNumero("sexo", sexoDoParticipante(p));
            b.adiciona("</participantes>");
        }
    }

    // The first of the meeting's procedures when practice 30 was among its health themes.
    void escreveProcedimento(const ChaveRegistro& chave, RegistroBuffer& b) {
        if (tema30.de(chave).empty()) return;
        const std::vector<Linha>& codigos = procedimentos.de(chave);
        if (!codigos.empty())
            b.adicionaElemento("procedimento", codigos.front().texto("codprocedimento"));
    }

    Execucao& execucao;
    Consulta encontros;
    ConsultaPorRegistro profissionais;
    ConsultaPorRegistro temas;
    ConsultaPorRegistro publico;
    ConsultaPorRegistro participantes;
    ConsultaPorRegistro triagens;
    ConsultaPorRegistro tema30;
    ConsultaPorRegistro procedimentos;
    ConsultaPorRegistro temasSaude;
    ConsultaPorRegistro praticas;
};

}  // namespace

void geraAtivColetiva(Execucao& execucao, const DescricaoFicha& descricao) {
    geraFichas<FichaAtivColetiva>(execucao, descricao);
}

}  // namespace cds
