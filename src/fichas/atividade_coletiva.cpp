// The collective activity form: one per group meeting of the period with a theme, a target
// audience or a health theme recorded, from every unit; the period's other meetings are left
// out, and reported.

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "comum/texto.hpp"
#include "fichas/consulta_por_registro.hpp"
#include "fichas/gerador.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

// The meetings of the period: those the form takes have a theme, a target audience or a health
// theme recorded.
constexpr CondicaoDeSelecao kCondicoes[] = {
    {R"(EXISTS (SELECT * FROM encontros_temasaude
    WHERE encontros_temasaude.ID_ENCONTRO=E.ID_ENCONTRO) OR
  EXISTS (SELECT * FROM encontros_publico
    WHERE encontros_publico.ID_ENCONTRO=E.ID_ENCONTRO) OR
  EXISTS (SELECT * FROM ENCONTROS_TEMA
    WHERE ENCONTROS_TEMA.ID_ENCONTRO=E.ID_ENCONTRO))",
     "encontro sem tema, público-alvo nem tema de saúde registrado"},
};

// A meeting's responsible professional is its group's; a group without one leaves the
// professional's columns empty. There is no unit exclusion and no professional filter. Counts
// "S" in either case among the meeting's evaluations, but not the "X" of old rows, which a
// participant's own evaluation does take as altered.
constexpr std::string_view kColunas = R"(
SELECT E.ID_ENCONTRO, E.DATA, e.turno, P.CNS AS CNSRESPONSAVEL, P.CBO,
  p.nome as nomeprofissional, P.INE, E.TIPOATIVCOLETIVA, E.PARTICIPANTES, E.PARTICPROGRAMADO,
  COALESCE(P.CODUNIDADE,'') AS CODUNIDADE, G.INEP,
  (SELECT COUNT(TRIAGENS.AVALTERADA) FROM TRIAGENS
    WHERE TRIAGENS.ID_ENCONTRO=E.ID_ENCONTRO
    AND upper(TRIAGENS.AVALTERADA)='S') AS ALTERADAS,
)";

constexpr std::string_view kOrigem = R"(
FROM ENCONTROSGRUPOS E
LEFT OUTER JOIN GRUPOSDERISCO G ON E.SIGLAGRUPO=G.SIGLA
LEFT OUTER JOIN PROFISSIONAIS P ON G.CODPROFRESPONSAVEL=P.CODIGO
WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal
)";

// A meeting's key: meeting numbers are the clinic's own, whatever the unit.
constexpr ChaveSql kChave{"E.DATA", "E.ID_ENCONTRO", "''"};

// The look-ups of a meeting, each read once for the meetings of the period, a meeting's rows
// being those of its number, in its table's key: the codes for the tables keyed by them alone.
// Each gives its columns, its tables joined to the meeting's, the conditions past the period and
// the order of a meeting's rows.
struct Busca {
    std::string_view colunas, juncao, condicao, ordem;
};

// A meeting's professionals, and their procedures, in the order of the professional's code.
constexpr std::string_view kOrdemProfissionais =
    "ENCONTROS_PROFISSIONAIS.codprofissional, ENCONTROS_PROFISSIONAIS.codprocedimento";
constexpr Busca kProfissionais{
    "PROFISSIONAIS.CNS, PROFISSIONAIS.CBO",
    "INNER JOIN ENCONTROS_PROFISSIONAIS ON ENCONTROS_PROFISSIONAIS.ID_ENCONTRO=E.ID_ENCONTRO\n"
    "INNER JOIN PROFISSIONAIS ON (PROFISSIONAIS.codigo=ENCONTROS_PROFISSIONAIS.codprofissional)\n",
    "", kOrdemProfissionais};
constexpr Busca kProcedimentos{
    "encontros_profissionais.codprocedimento AS CODIGO",
    "INNER JOIN encontros_profissionais ON encontros_profissionais.ID_ENCONTRO=E.ID_ENCONTRO\n",
    "and codprocedimento in ('0101010044', '0101020082', '0101010052', '0101010060', "
    "'0101010079', '0101010087', '0101020023', '0101020040')\n",
    kOrdemProfissionais};

constexpr Busca kTemas{"encontros_tema.codtema AS CODIGO",
                       "INNER JOIN encontros_tema ON ENCONTROS_TEMA.ID_ENCONTRO=E.ID_ENCONTRO\n",
                       "", "encontros_tema.codtema"};
constexpr Busca kPublico{
    "encontros_publico.codpublico AS CODIGO",
    "INNER JOIN encontros_publico ON encontros_publico.ID_ENCONTRO=E.ID_ENCONTRO\n", "",
    "encontros_publico.codpublico"};

// Those marked absent ("F" in either case) or not marked at all are not participants.
constexpr Busca kParticipantes{"PE.CODPESSOA, P.CARTAOSUS, P.DTNASCIMENTO, P.SEXO",
                               "INNER JOIN PRESENCAENCONTROS PE ON PE.ID_ENCONTRO=E.ID_ENCONTRO\n"
                               "INNER JOIN PESSOAS P on (PE.codPESSOA=P.codigo)\n",
                               "AND upper(PE.PRESENCA) <> 'F'\n", "PE.CODPESSOA"};

// The triage rows of the meeting; a participant's is the first of them with their code.
constexpr Busca kTriagens{"TRIAGENS.CODPESSOA, TRIAGENS.PESO, TRIAGENS.ALTURA, TRIAGENS.AVALTERADA",
                          "INNER JOIN TRIAGENS ON TRIAGENS.ID_ENCONTRO=E.ID_ENCONTRO\n", "",
                          "TRIAGENS.CODIGO"};

// Health themes and health practices share one table; each list keeps the codes of its own set.
// Practice 30 is the one that carries a procedure.
constexpr std::string_view kColunasTemasSaude = "encontros_temasaude.codtema AS CODIGO";
constexpr std::string_view kJuncaoTemasSaude =
    "INNER JOIN encontros_temasaude ON encontros_temasaude.ID_ENCONTRO=E.ID_ENCONTRO\n";
constexpr std::string_view kOrdemTemasSaude = "encontros_temasaude.codtema";
constexpr Busca kTema30{kColunasTemasSaude, kJuncaoTemasSaude, "and codtema = 30\n",
                        kOrdemTemasSaude};
constexpr Busca kTemasSaude{kColunasTemasSaude, kJuncaoTemasSaude,
                            "and (codtema in (1, 4, 5, 6, 7, 8, 10, 13, 14, 15, 16, 17, 18, 19, "
                            "21, 29))\n",
                            kOrdemTemasSaude};
constexpr Busca kPraticas{kColunasTemasSaude, kJuncaoTemasSaude,
                          "and (codtema in (2, 3, 9, 11, 12, 20, 22, 23, 24, 25, 26, 27, 28, "
                          "30))\n",
                          kOrdemTemasSaude};

Consulta consultaEncontros(Execucao& ex) {
    Consulta q(ex.transacao, std::string(kColunas) + colunaDaSelecao(kCondicoes) +
                                 std::string(kOrigem) + kChave.ordem());
    vinculaPeriodo(q, ex.parametros);
    return q;
}

ConsultaPorRegistro consultaPorEncontro(Execucao& ex, const Busca& busca) {
    const std::string origem = "\nFROM ENCONTROSGRUPOS E\n" + std::string(busca.juncao) +
                               "WHERE E.DATA >= :pdatainicial AND E.DATA < :pdiaposfinal\n" +
                               std::string(busca.condicao);
    ConsultaPorRegistro q(ex.transacao, kChave.consulta(busca.colunas, origem, busca.ordem));
    vinculaPeriodo(q.consulta(), ex.parametros);
    return q;
}

bool tipoEntre(const std::string& tipo, std::initializer_list<std::string_view> tipos) {
    for (std::string_view t : tipos)
        if (tipo == t) return true;
    return false;
}

// A row of each statement as a value: daLinha reads its columns, once.
// A meeting; its unit and team are the envelope's, which the driver reads.
struct Encontro {
    ChaveRegistro chave;
    std::string tipo, inep, alteradas, cnsResponsavel, cboResponsavel, turno;
    std::int64_t participantes = 0;

    static Encontro daLinha(const Linha& r) {
        return {kChave.daLinha(r),    r.texto("TIPOATIVCOLETIVA"), r.texto("INEP"),
                r.texto("ALTERADAS"), r.texto("CNSRESPONSAVEL"),   r.texto("CBO"),
                r.texto("turno"),     r.inteiro("PARTICIPANTES")};
    }
};

// The look-ups of themes, audiences, health themes, practices and procedures give one code.
std::string codigoDaLinha(const Linha& r) {
    return r.texto("CODIGO");
}

struct Profissional {
    std::string cns, cbo;
    static Profissional daLinha(const Linha& r) { return {r.texto("CNS"), r.texto("CBO")}; }
};

struct Participante {
    std::int64_t codigo = 0;
    std::string cartaoSus;
    std::optional<DataHora> nascimento;
    std::string sexo;

    static Participante daLinha(const Linha& r) {
        return {r.inteiro("CODPESSOA"), r.texto("CARTAOSUS"), r.dataHora("DTNASCIMENTO"),
                r.texto("SEXO")};
    }
};

struct Triagem {
    // None belongs to no participant.
    std::optional<std::int64_t> pessoa;
    double peso = 0, altura = 0;
    std::string avaliacao;

    static Triagem daLinha(const Linha& r) {
        Triagem t{std::nullopt, r.real("PESO"), r.real("ALTURA"), r.texto("AVALTERADA")};
        if (!r.nulo("CODPESSOA")) t.pessoa = r.inteiro("CODPESSOA");
        return t;
    }
};

// "Manhã" and "Tarde" in any case; any other shift, none included, is the night's.
std::string turnoDoEncontro(const std::string& turno) {
    const std::string t = maiusculasAcentuadas(turno);
    if (t == "MANHÃ") return "1";
    if (t == "TARDE") return "2";
    return "3";
}

std::string sexoDoParticipante(const std::string& sexo) {
    const std::string s = maiusculas(apara(sexo));
    if (s == "MASCULINO") return "0";
    if (s == "FEMININO") return "1";
    return "4";
}

void escreveProfissional(RegistroBuffer& b, const Profissional& p) {
    b.adiciona("<profissionais>");
    b.adicionaElemento("cnsProfissional", p.cns);
    b.adicionaElemento("codigoCbo2002", VerCbo(p.cbo));
    b.adiciona("</profissionais>");
}

// Weight within (0.5, 500) kg; height in centimetres within [20, 250], or in metres, as older
// triage screens took it, within (0.2, 2.5).
void escreveMedidas(const Triagem& t, RegistroBuffer& b) {
    if (t.peso > 0.5 && t.peso < 500) b.adicionaElemento("peso", formataNumero(t.peso, "0,##"));
    if (t.altura >= 20 && t.altura <= 250)
        b.adicionaElemento("altura", formataNumero(t.altura, "00000"));
    else if (t.altura > 0.2 && t.altura < 2.5)
        b.adicionaElemento("altura", formataNumero(t.altura * 100, "00000"));
}

class FichaAtivColetiva : public Ficha {
  public:
    explicit FichaAtivColetiva(Execucao& ex)
        : Ficha(ex, {.numero = "ID_ENCONTRO", .cns = "CNSRESPONSAVEL"}),
          encontros(consultaEncontros(ex)),
          profissionais(consultaPorEncontro(ex, kProfissionais)),
          temas(consultaPorEncontro(ex, kTemas)),
          publico(consultaPorEncontro(ex, kPublico)),
          participantes(consultaPorEncontro(ex, kParticipantes)),
          triagens(consultaPorEncontro(ex, kTriagens)),
          tema30(consultaPorEncontro(ex, kTema30)),
          procedimentos(consultaPorEncontro(ex, kProcedimentos)),
          temasSaude(consultaPorEncontro(ex, kTemasSaude)),
          praticas(consultaPorEncontro(ex, kPraticas)) {}

    std::size_t abreRegistros() override {
        const std::size_t registros =
            contaRegistros(execucao.transacao, kChave, kOrigem,
                           [this](Consulta& q) { vinculaPeriodo(q, execucao.parametros); });
        for (ConsultaPorRegistro* q : {&profissionais, &temas, &publico, &participantes, &triagens,
                                       &tema30, &procedimentos, &temasSaude, &praticas})
            q->abre();
        encontros.percorre();
        return registros;
    }

    const Linha* proximoRegistro() override { return encontros.proxima(); }

    std::span<const CondicaoDeSelecao> condicoes() const override { return kCondicoes; }

    // The envelope writes uuidFicha before this and the two empty lines after it.
    bool corpo(const Linha& r, const ValoresEnvelope& valores, RegistroBuffer& b) override {
        const Encontro e = Encontro::daLinha(r);
        const ChaveRegistro& chave = e.chave;

        // An INEP of blanks names no school: the meeting then goes by its unit, as without one.
        const bool temInep = !apara(e.inep).empty();
        b.adicionaNumero("inep", e.inep);
        if (e.participantes > 0)
            b.adicionaNumero("numParticipantes", std::to_string(e.participantes));
        b.adicionaNumero("numAvaliacoesAlteradas", e.alteradas);
        escreveProfissionais(e, profissionais.de(chave), b);
        b.adicionaNumero("atividadeTipo", e.tipo);
        if (tipoEntre(e.tipo, {"1", "2", "3"}))
            escreveCodigos(temas.de(chave), "temasParaReuniao", b);
        else
            escreveCodigos(publico.de(chave), "publicoAlvo", b);
        if (tipoEntre(e.tipo, {"5", "6"}))
            escreveParticipantes(participantes.de(chave), triagens.de(chave), b);
        b.adiciona("<tbCdsOrigem>3</tbCdsOrigem>");
        if (const std::string unidade = unidadeDaFicha(valores); !temInep && !unidade.empty())
            b.adicionaElemento("cnesLocalAtividade", ZeroEsquerda(unidade, 7));
        escreveProcedimento(chave, b);
        b.adicionaNumero("turno", turnoDoEncontro(e.turno));
        escreveHeaderTransport(b, valores);
        if (tipoEntre(e.tipo, {"4", "5", "7"}))
            escreveCodigos(temasSaude.de(chave), "temasParaSaude", b);
        if (e.tipo == "6") escreveCodigos(praticas.de(chave), "praticasEmSaude", b);
        return true;
    }

  private:
    // Professionals with a whole CNS and CBO; the responsible one last unless listed already
    // with the same CNS and CBO.
    static void escreveProfissionais(const Encontro& e, const std::vector<Linha>& profissionais,
                                     RegistroBuffer& b) {
        const Profissional responsavel{e.cnsResponsavel, e.cboResponsavel};
        bool responsavelListado = false;
        for (const Linha& linha : profissionais) {
            const Profissional p = Profissional::daLinha(linha);
            if (comprimento(p.cns) != 15 || comprimento(p.cbo) != 6) continue;
            escreveProfissional(b, p);
            if (p.cns == responsavel.cns && p.cbo == responsavel.cbo) responsavelListado = true;
        }
        if (!responsavelListado) escreveProfissional(b, responsavel);
    }

    static void escreveCodigos(const std::vector<Linha>& linhas, std::string_view tag,
                               RegistroBuffer& b) {
        for (const Linha& l : linhas) b.adicionaNumero(tag, codigoDaLinha(l));
    }

    // Only those with a whole health card; a card with an "X" is none. A participant's triage
    // is the first of the meeting's rows with their code, if any.
    static void escreveParticipantes(const std::vector<Linha>& participantes,
                                     const std::vector<Linha>& linhasTriagens, RegistroBuffer& b) {
        std::vector<Triagem> triagens;
        for (const Linha& l : linhasTriagens) triagens.push_back(Triagem::daLinha(l));
        for (const Linha& linha : participantes) {
            const Participante p = Participante::daLinha(linha);
            if (comprimento(p.cartaoSus) != 15 ||
                maiusculas(p.cartaoSus).find('X') != std::string::npos)
                continue;
            const auto triagem = std::ranges::find(triagens, p.codigo, &Triagem::pessoa);
            const bool temTriagem = triagem != triagens.end();
            const std::string avaliacao = temTriagem ? triagem->avaliacao : "";
            b.adiciona("<participantes>");
            b.adicionaElemento("cnsParticipante", p.cartaoSus);
            b.adicionaNumero("dataNascimento", DataParaLong(p.nascimento));
            b.adiciona(avaliacao == "S" || avaliacao == "X"
                           ? "<avaliacaoAlterada>true</avaliacaoAlterada>"
                           : "<avaliacaoAlterada>false</avaliacaoAlterada>");
            if (temTriagem) escreveMedidas(*triagem, b);
            b.adicionaNumero("sexo", sexoDoParticipante(p.sexo));
            b.adiciona("</participantes>");
        }
    }

    // The first of the meeting's procedures when practice 30 was among its health themes.
    void escreveProcedimento(const ChaveRegistro& chave, RegistroBuffer& b) {
        if (tema30.de(chave).empty()) return;
        const std::vector<Linha>& codigos = procedimentos.de(chave);
        if (!codigos.empty()) b.adicionaElemento("procedimento", codigoDaLinha(codigos.front()));
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
