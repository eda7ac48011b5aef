#include "fichas/atendimento_individual.hpp"

#include <cstdint>

#include "comum/erro.hpp"
#include "record/codificacao.hpp"

namespace cds {

namespace {

constexpr const char* kSelectAtendimentos =
    "SELECT DISTINCT coalesce(PESSOAS.CARTAOSUS,'') AS CARTAOSUS, PESSOAS.DTNASCIMENTO, "
    "PESSOAS.SEXO, FAA.HORA, FAA.ESPECIEATEND, T.PESO, T.ALTURA, t.pc,  (SELECT FIRST 1 "
    "FAACID.CODCID FROM FAACID WHERE FAA.CODUNIDADE = FAACID.CODUNIDADE and FAA.NUMFAA = "
    "FAACID.NUMFAA ) AS CODCID, PROFISSIONAIS.CNS, PROFISSIONAIS.CBO, FAA.CODUNIDADE, FAA.DATA, "
    "FAA.CODPESSOA, FAA.CARATER, FAA.NUMFAA, SC.CODTIPOAUXILIO, PROFISSIONAIS.INE, "
    "profissionais.nome as nomeprofissional, CONDUTAS.CODIGOESUS AS ESUS_CONDUTA, faa.gestante, "
    "FAA.DUM, FAA.IDADEGEST, FAA.GRAVIDEZPLAN, FAA.NUMGESTPREVIAS, FAA.NUMPARTOS, "
    "FAA.ALEITMATERNO, FAA.VACINAEMDIA, FAA.FICOUOBS, FAA.DESFECHOATDOMIC FROM FAA INNER JOIN "
    "PROFISSIONAIS ON PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL INNER JOIN CBO ON "
    "(PROFISSIONAIS.CBO=CBO.CODIGO AND UPPER(CBO.DESCRICAO) NOT LIKE '%DENTISTA%') LEFT OUTER "
    "JOIN PESSOAS ON FAA.CODPESSOA=PESSOAS.CODIGO LEFT OUTER JOIN TRIAGENS T ON "
    "FAA.CODUNIDADE=T.CODUNIDADE AND FAA.NUMFAA=T.NUMFAA LEFT OUTER JOIN SOLICPROCEDS SC ON "
    "FAA.CODUNIDADE=SC.CODUNIDADE AND FAA.NUMFAA=SC.NUMFAA LEFT OUTER JOIN FAACIAPS FCIAP ON "
    "FAA.CODUNIDADE=FCIAP.CODUNIDADE AND FAA.NUMFAA=FCIAP.NUMFAA LEFT OUTER JOIN CONDUTAS ON "
    "(CONDUTAS.codigo=FAA.CODCONDUTA) WHERE FAA.ESPECIEATEND='MEDICO' AND PESSOAS.DTNASCIMENTO "
    "IS NOT NULL ";

constexpr const char* kFiltroPeriodo =
    " AND FAA.DATA BETWEEN :pdatainicial AND :pdatafinal"
    " AND ((FCIAP.CODCIAP IS NOT NULL AND FCIAP.CODCIAP NOT LIKE '%X%') OR EXISTS(SELECT FIRST 1 "
    "FAACID.CODCID FROM FAACID WHERE FAA.CODUNIDADE = FAACID.CODUNIDADE and FAA.NUMFAA = "
    "FAACID.NUMFAA ))"
    " AND COALESCE(FAA.CARATER,'')<>'8' AND COALESCE(FAA.CARATER,'')<>'7'"
    " ORDER BY FAA.DATA";

// Episode numbers repeat across units, so every per-episode look-up matches the unit too.
constexpr const char* kCiaps =
    " SELECT FAACIAPS.CODCIAP FROM FAACIAPS  WHERE FAACIAPS.NUMFAA=:pnumfaa"
    " AND FAACIAPS.CODUNIDADE=:pcodunidade"
    " AND COALESCE(FAACIAPS.CODCIAP,'')<>'XXX'"
    " AND COALESCE(FAACIAPS.CODCIAP,'')<>'X'";

constexpr const char* kCid =
    " SELECT first 1 FAACID.CODCID FROM FAACID  WHERE FAACID.NUMFAA=:pnumfaa"
    " AND FAACID.CODUNIDADE=:pcodunidade"
    " AND COALESCE(FAACID.CODCID,'')<>'XXX'";

// The episode of the main query's current row, by its number and its unit.
void parametrosDoEpisodio(const Execucao& ex, Consulta& q) {
    q.parametro("pnumfaa", ex.IBQuery1.texto("NUMFAA"));
    q.parametro("pcodunidade", ex.IBQuery1.texto("CODUNIDADE"));
}

void abreExames(Execucao& ex, bool semCodigoSigtap) {
    Consulta& q = ex.IBQuery2;
    q.limpa();
    q.adiciona("select fp.*, s.ehexame, s.codproceSus");
    q.adiciona("from faaproced fp");
    q.adiciona("inner join susprocedunif s on s.codigo = fp.codprocedunif");
    q.adiciona("where fp.numfaa = :pnumfaa");
    if (semCodigoSigtap) q.adiciona("and (s.codprocesus is null or s.codprocesus = '')");
    q.adiciona("and fp.codunidade = :pcodunidade");
    q.adiciona(
        "and (fp.ExameSolicitado = :pexamesolicitado or fp.ExameAvaliado = :pexameAvaliado)");
    parametrosDoEpisodio(ex, q);
    q.parametro("pexamesolicitado", std::string_view("S"));
    q.parametro("pexameAvaliado", std::string_view("S"));
    q.abre();
}

std::string maiusculasAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

void escreveAvaliacaoNutricional(const Consulta& q, RegistroBuffer& b) {
    const double peso = q.real("PESO");
    if (peso > 0.5 && peso < 500)
        b.adicionaElemento("pesoAcompanhamentoNutricional", formataNumero(peso, "0,##"));
    // Height comes in centimetres or, from older triage screens, in metres.
    const double altura = q.real("ALTURA");
    if (altura >= 20 && altura <= 250)
        b.adicionaElemento("alturaAcompanhamentoNutricional", formataNumero(altura, "00000"));
    else if (altura > 0.2 && altura < 2.5)
        b.adicionaElemento("alturaAcompanhamentoNutricional", formataNumero(altura * 100, "00000"));
}

void escreveGestacao(const Consulta& q, RegistroBuffer& b) {
    if (const auto v = q.texto("ALEITMATERNO"); !v.empty())
        b.adicionaElemento("aleitamentoMaterno", v);
    if (const auto v = q.texto("DUM"); !v.empty())
        b.adicionaElemento("dumDaGestante", DataParaLong(v));
    if (const auto v = q.texto("IDADEGEST"); !v.empty()) b.adicionaElemento("idadeGestacional", v);
}

// The "ABP" code kept last wins; the first two other codes follow; further ones are dropped.
void escreveCiaps(Execucao& ex, RegistroBuffer& b) {
    Consulta& q = ex.IBQuery2;
    q.defineTexto(kCiaps);
    parametrosDoEpisodio(ex, q);
    q.abre();
    std::string ciap, outro1, outro2;
    int outros = 0;
    for (; !q.fim(); q.proximo()) {
        std::string codigo = q.texto("CODCIAP");
        if (codigo.compare(0, 3, "ABP") == 0) {
            ciap = std::move(codigo);
        } else {
            ++outros;
            if (outros == 1) outro1 = std::move(codigo);
            if (outros == 2) outro2 = std::move(codigo);
        }
    }
    q.fecha();
    if (!ciap.empty()) b.adicionaElemento("ciaps", ciap);
    if (!outro1.empty()) b.adicionaElemento("outroCiap1", outro1);
    if (!outro2.empty()) b.adicionaElemento("outroCiap2", outro2);
}

void escreveCid(Execucao& ex, RegistroBuffer& b) {
    Consulta& q = ex.IBQuery2;
    q.defineTexto(kCid);
    parametrosDoEpisodio(ex, q);
    q.abre();
    if (!q.fim()) {
        std::string codigo = q.texto("CODCID");
        std::erase(codigo, '.');
        b.adicionaElemento("cid10", apara(codigo));
    }
    q.fecha();
}

void escreveProblemaAvaliado(Execucao& ex, RegistroBuffer& b) {
    b.adiciona("<problemaCondicaoAvaliada>");
    escreveCiaps(ex, b);
    escreveCid(ex, b);
    b.adiciona("</problemaCondicaoAvaliada>");
}

void escreveExamesSigtap(Execucao& ex, RegistroBuffer& b) {
    abreExames(ex, false);
    Consulta& q = ex.IBQuery2;
    for (q.primeiro(); !q.fim(); q.proximo())
        if (const auto c = q.texto("codprocesus"); !c.empty() && q.texto("exameSolicitado") == "S")
            b.adicionaElemento("examesSolicitados", c);
    for (q.primeiro(); !q.fim(); q.proximo())
        if (const auto c = q.texto("codprocesus"); !c.empty() && q.texto("exameAvaliado") == "S")
            b.adicionaElemento("examesAvaliados", c);
    q.fecha();
}

// The layout allows one exam code per outrosSia block; the block repeats.
void escreveOutrosExames(Execucao& ex, RegistroBuffer& b) {
    abreExames(ex, true);
    Consulta& q = ex.IBQuery2;
    for (; !q.fim(); q.proximo()) {
        b.adiciona("<outrosSia>");
        b.adicionaElemento("codigoExame", q.texto("codprocedunif"));
        if (q.texto("examesolicitado") == "S")
            b.adiciona("<solicitadoAvaliado>S</solicitadoAvaliado>");
        if (q.texto("exameavaliado") == "S")
            b.adiciona("<solicitadoAvaliado>A</solicitadoAvaliado>");
        b.adiciona("</outrosSia>");
    }
    q.fecha();
}

void escreveDesfecho(const Consulta& q, RegistroBuffer& b) {
    if (!apara(q.texto("VACINAEMDIA")).empty()) b.adiciona("<vacinaEmDia>true</vacinaEmDia>");
    b.adiciona(apara(q.texto("FICOUOBS")).empty() ? "<ficouEmObservacao>false</ficouEmObservacao>"
                                                  : "<ficouEmObservacao>true</ficouEmObservacao>");
    const std::string conduta = q.texto("ESUS_CONDUTA");
    if (apara(conduta).empty())
        b.adiciona("<condutas>9</condutas>");
    else
        b.adicionaElemento("condutas", conduta);
    if (q.texto("gestante") == "S")
        b.adiciona(q.texto("gravidezplan") == "S"
                       ? "<stGravidezPlanejada>true</stGravidezPlanejada>"
                       : "<stGravidezPlanejada>false</stGravidezPlanejada>");
    if (const auto v = q.texto("NUMGESTPREVIAS"); !v.empty())
        b.adicionaElemento("nuGestasPrevias", v);
    if (const auto v = q.texto("NUMPARTOS"); !v.empty()) b.adicionaElemento("nuPartos", v);
    const double pc = q.real("pc");
    if (pc >= 10 && pc <= 200) b.adicionaElemento("perimetroCefalico", formataNumero(pc, "000000"));
}

void escreveAtendimento(Execucao& ex, RegistroBuffer& b) {
    const Consulta& q = ex.IBQuery1;
    b.adiciona("<atendimentosIndividuais>");
    b.adicionaElemento("dataNascimento", DataParaLong(q.texto("DTNASCIMENTO")));
    b.adiciona("<localDeAtendimento>1</localDeAtendimento>");
    b.adiciona("<sexo>" + sexoDoCidadao(q) + "</sexo>");
    if (!q.texto("HORA").empty())
        b.adiciona("<turno>" + std::to_string(turnoDaHora(q.dataHora("HORA").hora)) + "</turno>");
    b.adicionaElemento("tipoAtendimento", q.texto("CARATER"));
    escreveAvaliacaoNutricional(q, b);
    escreveGestacao(q, b);
    b.adiciona("<atencaoDomiciliarModalidade>1</atencaoDomiciliarModalidade>");
    escreveProblemaAvaliado(ex, b);
    b.adicionaVazia();
    escreveExamesSigtap(ex, b);
    escreveOutrosExames(ex, b);
    escreveDesfecho(q, b);
    b.adiciona("</atendimentosIndividuais>");
}

void escreveFichaDoAtendimento(Execucao& ex, RegistroBuffer& buffer, TipoFicha tipo,
                               const std::function<void(RegistroBuffer&)>& corpo) {
    buffer.limpa();
    ValoresEnvelope v = envelopeDoAtendimento(ex, tipo);
    const EscritaEnvelope cabecalho = escreveCabecalho(buffer, v);
    if (cabecalho.semIne)
        ex.erroELog(ex.IBQuery1.texto("nomeprofissional") + " - INE não cadastrado!");
    corpo(buffer);
    escreveRodape(buffer, v);
    const std::string caminho = ex.caminhoArquivo(nomeArquivo(tipo, v.numero));
    buffer.salva(caminho);
    ex.ListaArquivos.push_back(caminho);
}

}  // namespace

int turnoDaHora(int hora) {
    return hora < 12 ? 1 : hora < 18 ? 2 : 3;
}

std::string sexoDoCidadao(const Consulta& q) {
    return maiusculasAscii(q.texto("SEXO")) == "MASCULINO" ? "0" : "1";
}

void abreConsultaAtendimentos(Execucao& ex) {
    const ParametrosExportacao& p = ex.parametros;
    Consulta& q = ex.IBQuery1;
    q.limpa();
    q.adiciona(kSelectAtendimentos);
    q.adiciona(
        "and (select u.nome from unidades u where FAA.codunidade=u.codigo) not like '%CRAS%'");
    if (!p.CodProf.empty()) q.adiciona("AND FAA.CODPROFISSIONAL=:pcodprof");
    q.adiciona(kFiltroPeriodo);
    if (!p.CodProf.empty()) q.parametro("pcodprof", p.CodProf);
    q.parametroData("pdatainicial", p.DataInicial);
    q.parametroData("pdatafinal", p.DataFinal);
    q.abre();
}

ValoresEnvelope envelopeDoAtendimento(const Execucao& ex, TipoFicha tipo) {
    const Consulta& q = ex.IBQuery1;
    ValoresEnvelope v;
    v.tipo = tipo;
    v.IBGE = ex.ibge();
    v.Unidade = ex.parametros.Unidade;
    v.CODUNIDADE = q.texto("CODUNIDADE");
    v.UUID = ex.parametros.UUID;
    v.numero = q.texto("NUMFAA");
    v.profissional.CNS = q.texto("CNS");
    v.profissional.CBO = VerCbo(q.texto("CBO"));
    v.profissional.ine = q.texto("ine");
    v.profissional.dataAtendimento = DataParaLong(q.texto("DATA") + " " + q.texto("hora"));
    return v;
}

void gravaFichaDoAtendimento(Execucao& ex, RegistroBuffer& buffer, TipoFicha tipo,
                             const std::function<void(RegistroBuffer&)>& corpo) {
    try {
        escreveFichaDoAtendimento(ex, buffer, tipo, corpo);
    } catch (Erro& e) {
        // Which record it was, so the operator can find and mend it in the clinical system.
        e.acrescentaContexto(std::string(dadosTipo(tipo).prefixoArquivo) +
                             ex.IBQuery1.texto("NUMFAA") + " (unidade " +
                             ex.IBQuery1.texto("CODUNIDADE") + ")");
        throw;
    }
}

void geraFichaAtendimento(Execucao& ex) {
    ex.status("Gerando Fichas de Atendimento Individual...");
    abreConsultaAtendimentos(ex);
    const std::size_t total = ex.IBQuery1.quantidade();
    RegistroBuffer buffer;
    std::size_t feitos = 0;
    for (; !ex.IBQuery1.fim(); ex.IBQuery1.proximo()) {
        gravaFichaDoAtendimento(ex, buffer, TipoFicha::AtendimentoIndividual,
                                [&](RegistroBuffer& b) { escreveAtendimento(ex, b); });
        ex.operador.progresso(++feitos, total);
    }
}

}  // namespace cds
