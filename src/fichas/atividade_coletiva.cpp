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
)";

// A meeting's key: meeting numbers are the clinic's own, whatever the unit.
constexpr ChaveSql kChave{"E.DATA", "E.ID_ENCONTRO", "''"};

// The look-ups of a meeting, each read once for the meetings of the period, a meeting's rows
// being those of its number, in its table's key: the codes for the tables keyed by them alone.
// A meeting's professionals, and their procedures, in the order of the professional's code.
constexpr std::string_view kOrdemProfissionais =
    "ENCONTROS_PROFISSIONAIS.codprofissional, ENCONTROS_PROFISSIONAIS.codprocedimento";
constexpr std::string_view kColunasProfissionais = "PROFISSIONAIS.CNS, PROFISSIONAIS.CBO";
constexpr std::string_view kProfissionais = R"(
FROM ENCONTROSGRUPOS E
INNER JOIN ENCONTROS_PROFISSIONAIS ON ENCONTROS_PROFISSIONAIS.ID_ENCONTRO=E.ID_ENCONTRO
INNER JOIN PROFISSIONAIS ON (PROFISSIONAIS.codigo=ENCONTROS_PROFISSIONAIS.codprofissional)
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

constexpr std::string_view kColunasTemas = "encontros_tema.codtema";
constexpr std::string_view kTemas = R"(
FROM ENCONTROSGRUPOS E
INNER JOIN encontros_tema ON ENCONTROS_TEMA.ID_ENCONTRO=E.ID_ENCONTRO
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

constexpr std::string_view kColunasPublico = "encontros_publico.codpublico";
constexpr std::string_view kPublico = R"(
FROM ENCONTROSGRUPOS E
INNER JOIN encontros_publico ON encontros_publico.ID_ENCONTRO=E.ID_ENCONTRO
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

// Those marked absent ("F" in either case) or not marked at all are not participants.
constexpr std::string_view kColunasParticipantes =
    "PE.CODPESSOA, P.CARTAOSUS, P.DTNASCIMENTO, p.sexo";
constexpr std::string_view kParticipantes = R"(
FROM ENCONTROSGRUPOS E
INNER JOIN PRESENCAENCONTROS PE ON PE.ID_ENCONTRO=E.ID_ENCONTRO
INNER JOIN PESSOAS P on (PE.codPESSOA=P.codigo)
WHERE upper(PE.PRESENCA) <> 'F'
AND E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

// The triage rows of the meeting; a participant's is the first of them with their code.
constexpr std::string_view kColunasTriagens =
    "TRIAGENS.CODPESSOA, TRIAGENS.Peso, TRIAGENS.Altura, TRIAGENS.AvAlterada";
constexpr std::string_view kTriagens = R"(
FROM ENCONTROSGRUPOS E
INNER JOIN TRIAGENS ON TRIAGENS.ID_ENCONTRO=E.ID_ENCONTRO
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

// Health themes and health practices share one table; each list keeps the codes of its own set.
constexpr std::string_view kColunasTemasSaude = "encontros_temasaude.codtema";
constexpr std::string_view kTemasSaude = R"(
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

constexpr std::string_view kColunasProcedimentos = "encontros_profissionais.codprocedimento";
constexpr std::string_view kProcedimentos = R"(
FROM ENCONTROSGRUPOS E
INNER JOIN encontros_profissionais ON encontros_profissionais.ID_ENCONTRO=E.ID_ENCONTRO
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
and codprocedimento in ('0101010044', '0101020082', '0101010052', '0101010060', '0101010079',
  '0101010087', '0101020023', '0101020040')
)";

Consulta consultaEncontros(Execucao& ex) {
    Consulta q(ex.transacao, std::string(kEncontros) + kChave.ordem());
    vinculaPeriodo(q, ex.parametros);
    return q;
}

ConsultaPorRegistro consultaPorEncontro(Execucao& ex, std::string_view colunas,
                                        std::string_view origem, std::string_view ordem) {
    ConsultaPorRegistro q(ex.transacao, kChave.consulta(colunas, origem, ordem));
    vinculaPeriodo(q.consulta(), ex.parametros);
    return q;
}

ConsultaPorRegistro consultaTemasSaude(Execucao& ex, std::string_view condicao) {
    return consultaPorEncontro(ex, kColunasTemasSaude,
                               std::string(kTemasSaude) + std::string(condicao),
                               "encontros_temasaude.codtema");
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
        : Ficha(ex, {.numero = "ID_ENCONTRO", .cns = "CNSRESPONSAVEL"}),
          encontros(consultaEncontros(ex)),
          profissionais(
              consultaPorEncontro(ex, kColunasProfissionais, kProfissionais, kOrdemProfissionais)),
          temas(consultaPorEncontro(ex, kColunasTemas, kTemas, "encontros_tema.codtema")),
          publico(
              consultaPorEncontro(ex, kColunasPublico, kPublico, "encontros_publico.codpublico")),
          participantes(
              consultaPorEncontro(ex, kColunasParticipantes, kParticipantes, "PE.CODPESSOA")),
          triagens(consultaPorEncontro(ex, kColunasTriagens, kTriagens, "TRIAGENS.CODIGO")),
          tema30(consultaTemasSaude(ex, kTema30)),
          procedimentos(
              consultaPorEncontro(ex, kColunasProcedimentos, kProcedimentos, kOrdemProfissionais)),
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

    // The envelope writes uuidFicha before this and the two empty lines after it.
    bool corpo(const Linha& e, const ValoresEnvelope& valores, RegistroBuffer& b) override {
        const ChaveRegistro chave = kChave.daLinha(e);
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

// The home visit's middle piece, also in the sender's and originator's identifier; uuidFicha
// and the two empty lines before the close are the envelope's, headerTransport the body's.
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
                                        Vazia,
                                        UuidFicha};
constexpr LinhaEnvelope kRodape[] = {Vazia,     Vazia, FechamentoTransporte, Vazia,
                                     Remetente, Vazia, Originadora,          Vazia,
                                     Versao,    Vazia, FechamentoRaiz};
constexpr DadosEnvelope kEnvelope{.caminhoNs4 = "fichaatividadecoletiva",
                                  .elementoTransporte = "fichaAtividadeColetivaTransport",
                                  .tipoDado = 6,
                                  .numLote = 2,
                                  .cadastro = false,
                                  .ineDado = RegraIneDado::Vazia,
                                  .meioTransporte = "-da1cb4c9-0008-0000-0000-",
                                  .meioInstalacao = "-da1cb4c9-0008-0000-0000-",
                                  .larguraNumero = 11,
                                  .fichaComUnidadeSemZeros = false,
                                  .lotacaoFormPrincipal = false,
                                  .prefixoArquivo = "FichaAtivColetiva_",
                                  .larguraNumeroArquivo = 0,
                                  .cabecalho = kCabecalho,
                                  .rodape = kRodape};

}  // namespace

constinit const DescricaoFicha fichaAtividadeColetiva{
    .tipo = TipoFicha::AtividadeColetiva,
    .nome = "atividade-coletiva",
    .rotulo = "Ficha Atividade Coletiva",
    .status = "Gerando Fichas de Atividades Coletivas...",
    .emTodas = true,
    .envelope = &kEnvelope,
    .gera = geraFichas<FichaAtivColetiva>};

}  // namespace cds
