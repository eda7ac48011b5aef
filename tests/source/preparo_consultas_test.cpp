// Every statement the exporter sends to the clinic's database, built from the same pieces the
// generators use, prepared against db/schema.sql; the statements with named parameters also
// run with their values bound the way the generators bind them, and the demo clinic of
// db/demo.sql gives rows to every record kind.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "comum/erro.hpp"
#include "source/conexao.hpp"
#include "source/consulta.hpp"
#include "suporte/banco_teste.hpp"

namespace cds {
namespace {

using Linhas = std::vector<std::string>;

// What a run puts into the text: the period as 'dd.mm.yyyy' (and month-first for the group
// meetings), the typed professional code, and the keys of the current row as read.
struct Valores {
    std::string inicio = "01.11.2026";
    std::string fim = "30.11.2026";
    std::string inicioMesPrimeiro = "'11/01/2026'";
    std::string fimMesPrimeiro = "'11/30/2026'";
    std::string nascidoDepoisDe = "'01/01/1900'";
    std::string codProf;
    std::string numfaa = "345";
    std::string codunidade = "2345678";
    std::string idEncontro = "17";
    std::string codpessoa = "123";
};

// ---- Registrations ----

Linhas profissionalGenericoIndividual() {
    return {"select cns, cbo, ine, nome from profissionais where codigo = :pcodigo"};
}

Linhas profissionalGenericoDomiciliar() {
    return {"select cns, cbo, ine from profissionais where codigo = :pcodigo"};
}

Linhas cadastroIndividual() {
    return {
        "select p.codigo, p.microarea, p.fone, pt.uuid, pt.CodigoTransmissaoEsus, p.nome, "
        "p.cepmunicnasc,",
        "p.nacionalidade, p.naturalidade, p.ufnaturalidade, p.dtnascimento,",
        "p.nomemae, p.nomepai, p.cartaosus, t.cartaosus as cartaosustitular,",
        "pa.codigoesus as codigopaisesus, p.raca, p.sexo, e.codigo as codigoetnia,",
        "p.FrequentaEscola, d.descricao as nomedeficiencia, p.profissionalresponsavel,",
        "d.codigoesus as codigoesusdeficiencia, PROFISSIONAIS.CNS, PROFISSIONAIS.CBO,",
        "PROFISSIONAIS.ine, profissionais.nome as nomeprofissional",
        "from pessoas p",
        "left outer join pessoastransmissao pt on pt.codigo = p.codigo",
        "left outer join pessoas t on t.codigo = p.codtitular",
        "left outer join paises pa on pa.codigo = p.nacionalidade",
        "left outer join etnias e on e.codigo = p.etnia",
        "left outer join deficiencias d on d.codigo = p.coddeficiencia",
        "left outer join PROFISSIONAIS ON PROFISSIONAIS.CODIGO=p.profissionalresponsavel",
        "where p.datadesativado is null and pt.transmitiresus = :ptransmitir",
    };
}

Linhas condicoesDeSaude() {
    return {"select * from PessoasCondSaude where codigo = :pcodigo"};
}

Linhas localidadePorCep() {
    return {"select l.* from cep c", "inner join localidade l on l.codigo = c.codlocalidade",
            "where c.codcep = :pcep"};
}

Linhas localidadePorNome() {
    return {"select l.* from localidade l", "where upper(l.nome) = :pnome and upper(l.uf) = :puf"};
}

Linhas cadastroDomiciliar() {
    return {
        "select f.codigo, f.abastecimentoagua, f.sedeterreno, ",
        "f.propriterreno, f.destinolixo, f.destinofezes, f.sedeterreno, ",
        "f.TipoHabitacao, f.CasaPropria, f.LuzEletrica, f.TratamentoAgua, ",
        "f.numpecas, f.LogradouroFrontal, f.tipodomicilio, ",
        "f.temgato, f.temcachorro, f.tempassaro, f.temoutros, f.quantosanimais, ",
        "ft.uuid, ft.CodigoTransmissaoEsus,",
        "b.nome as nomebairro, p.nome, p.profissionalresponsavel, ",
        "p.cepresidencia, p.endereco, p.endnum, p.microarea, ",
        "p.dtnascimento, p.cartaosus, profissionais.nome as nomeprofissional,",
        "PROFISSIONAIS.CNS, PROFISSIONAIS.CBO, PROFISSIONAIS.ine",
        "from familias f",
        "left outer join familiastransmissao ft on ft.codigo = f.codigo",
        "inner join pessoas p on p.codigo = f.codigo",
        "left outer join bairros b on b.codigo = p.codbairro",
        "left outer join PROFISSIONAIS ON PROFISSIONAIS.CODIGO=f.profissionalresponsavel",
        "where ft.transmitiresus = :ptransmitir",
    };
}

Linhas moradores() {
    return {"select count(*) as contagem from pessoas", "where codtitular = :pcodtitular"};
}

Linhas membrosDaFamilia() {
    return {"select count(codigo) as contagem from pessoas where codtitular = :ptitular"};
}

// The transmission register, for "pessoastransmissao" or "familiastransmissao".
Linhas registroDeTransmissao(const std::string& tabela) {
    return {"select * from " + tabela + " where codigo = :pcodigo"};
}

Linhas atualizaTransmissao(const std::string& tabela) {
    return {"update " + tabela + " set uuid = :puuid, transmitiresus = :ptransmitiresus,",
            "datatransmissaoesus = :pdatatransmissao, CodigoTransmissaoEsus = "
            ":pCodigoTransmissaoEsus",
            "where codigo = :pcodigo"};
}

Linhas insereTransmissao(const std::string& tabela) {
    return {"insert into " + tabela +
                " (codigo, uuid, transmitiresus, datatransmissaoesus, codigotransmissaoesus)",
            "values (:pcodigo, :puuid, :ptransmitiresus, :pdatatransmissao, "
            ":pCodigoTransmissaoEsus);"};
}

// ---- Care episodes ----

// Also the vaccination record's main query, character for character.
Linhas atendimentoIndividual(const Valores& v) {
    Linhas l = {
        "SELECT DISTINCT coalesce(PESSOAS.CARTAOSUS,'') AS CARTAOSUS, PESSOAS.DTNASCIMENTO, "
        "PESSOAS.SEXO, FAA.HORA, FAA.ESPECIEATEND, T.PESO, T.ALTURA, t.pc,  (SELECT FIRST 1 "
        "FAACID.CODCID FROM FAACID WHERE FAA.CODUNIDADE = FAACID.CODUNIDADE and FAA.NUMFAA = "
        "FAACID.NUMFAA ) AS CODCID, PROFISSIONAIS.CNS, PROFISSIONAIS.CBO, FAA.CODUNIDADE, "
        "FAA.DATA, FAA.CODPESSOA, FAA.CARATER, FAA.NUMFAA, SC.CODTIPOAUXILIO, PROFISSIONAIS.INE, "
        "profissionais.nome as nomeprofissional, CONDUTAS.CODIGOESUS AS ESUS_CONDUTA, "
        "faa.gestante, FAA.DUM, FAA.IDADEGEST, FAA.GRAVIDEZPLAN, FAA.NUMGESTPREVIAS, "
        "FAA.NUMPARTOS, FAA.ALEITMATERNO, FAA.VACINAEMDIA, FAA.FICOUOBS, FAA.DESFECHOATDOMIC "
        "FROM FAA INNER JOIN PROFISSIONAIS ON PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL INNER "
        "JOIN CBO ON (PROFISSIONAIS.CBO=CBO.CODIGO AND UPPER(CBO.DESCRICAO) NOT LIKE "
        "'%DENTISTA%') LEFT OUTER JOIN PESSOAS ON FAA.CODPESSOA=PESSOAS.CODIGO LEFT OUTER JOIN "
        "TRIAGENS T ON FAA.CODUNIDADE=T.CODUNIDADE AND FAA.NUMFAA=T.NUMFAA LEFT OUTER JOIN "
        "SOLICPROCEDS SC ON FAA.CODUNIDADE=SC.CODUNIDADE AND FAA.NUMFAA=SC.NUMFAA LEFT OUTER "
        "JOIN FAACIAPS FCIAP ON FAA.CODUNIDADE=FCIAP.CODUNIDADE AND FAA.NUMFAA=FCIAP.NUMFAA LEFT "
        "OUTER JOIN CONDUTAS ON (CONDUTAS.codigo=FAA.CODCONDUTA) WHERE FAA.ESPECIEATEND='MEDICO' "
        "AND PESSOAS.DTNASCIMENTO IS NOT NULL ",
        "and (select u.nome from unidades u where FAA.codunidade=u.codigo) not like '%CRAS%'",
    };
    if (!v.codProf.empty()) l.push_back("AND FAA.CODPROFISSIONAL=" + v.codProf);
    l.push_back(" AND FAA.DATA BETWEEN '" + v.inicio + "' AND '" + v.fim + "'" +
                " AND ((FCIAP.CODCIAP IS NOT NULL AND FCIAP.CODCIAP NOT LIKE '%X%') OR "
                "EXISTS(SELECT FIRST 1 FAACID.CODCID FROM FAACID WHERE FAA.CODUNIDADE = "
                "FAACID.CODUNIDADE and FAA.NUMFAA = FAACID.NUMFAA ))" +
                " AND COALESCE(FAA.CARATER,'')<>'8' AND COALESCE(FAA.CARATER,'')<>'7'" +
                " ORDER BY FAA.DATA");
    return l;
}

Linhas ciapsDoAtendimento(const Valores& v) {
    return {" SELECT FAACIAPS.CODCIAP FROM FAACIAPS  WHERE FAACIAPS.NUMFAA='" + v.numfaa + "'" +
            " AND FAACIAPS.CODUNIDADE='" + v.codunidade + "'" +
            " AND COALESCE(FAACIAPS.CODCIAP,'')<>'XXX'" +
            " AND COALESCE(FAACIAPS.CODCIAP,'')<>'X'"};
}

Linhas cidDoAtendimento(const Valores& v) {
    return {" SELECT first 1 FAACID.CODCID FROM FAACID  WHERE FAACID.NUMFAA='" + v.numfaa + "'" +
            " AND FAACID.CODUNIDADE='" + v.codunidade + "'" +
            " AND COALESCE(FAACID.CODCID,'')<>'XXX'"};
}

Linhas examesComCodigo() {
    return {"select fp.*, s.ehexame, s.codproceSus", "from faaproced fp",
            "inner join susprocedunif s on s.codigo = fp.codprocedunif",
            "where fp.numfaa = :pnumfaa",
            "and (fp.ExameSolicitado = :pexamesolicitado or fp.ExameAvaliado = :pexameAvaliado)"};
}

Linhas examesSemCodigo() {
    Linhas l = examesComCodigo();
    l.insert(l.begin() + 4, "and (s.codprocesus is null or s.codprocesus = '')");
    return l;
}

Linhas atendimentoOdontologico(const Valores& v) {
    Linhas l = {
        " SELECT FAA.CODUNIDADE, FAA.NUMFAA,  FAA.CARATER, CONDUTAS.CODIGOESUS AS ESUS_CONDUTA, "
        "FAA.TIPOCONSULTAODONTO, PESSOAS.SEXO, coalesce(PESSOAS.CARTAOSUS,'') AS CARTAOSUS,  "
        "PESSOAS.DTNASCIMENTO, FAA.CODPESSOA,  FAA.HORA, FAA.DATA, PROFISSIONAIS.CNS, "
        "PROFISSIONAIS.CBO, PROFISSIONAIS.INE,  FAA.GESTANTE, FAA.PCD FROM FAA  LEFT OUTER JOIN "
        "CONDUTAS ON (CONDUTAS.codigo=FAA.codconduta)  INNER JOIN PESSOAS ON "
        "(PESSOAS.CODIGO=FAA.CODPESSOA) INNER JOIN PROFISSIONAIS ON "
        "(PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL) INNER JOIN CBO ON "
        "(PROFISSIONAIS.CBO=CBO.CODIGO "
        "AND UPPER(CBO.DESCRICAO) LIKE '%DENTISTA%') WHERE COALESCE(PESSOAS.DTNASCIMENTO,'')<> ''  "
        "AND FAA.DATA BETWEEN '" +
            v.inicio + "' AND '" + v.fim + "'" +
            " AND COALESCE(FAA.CARATER,'')<>'8' AND COALESCE(FAA.CARATER,'')<>'7' ",
        "and (select u.nome from unidades u where FAA.codunidade=u.codigo) not like '%CRAS%'",
    };
    if (!v.codProf.empty()) l.push_back("AND FAA.CODPROFISSIONAL=" + v.codProf);
    l.push_back("ORDER BY FAA.DATA ");
    return l;
}

Linhas fornecimentosOdonto(const Valores& v) {
    return {
        " SELECT FAAFORNECIMENTOS.CODFORNEC FROM FAAFORNECIMENTOS  WHERE "
        "FAAFORNECIMENTOS.NUMFAA='" +
        v.numfaa + "'" + " AND FAAFORNECIMENTOS.CODUNIDADE='" + v.codunidade + "'"};
}

Linhas vigilanciaBucal(const Valores& v) {
    return {" SELECT FAAVIGBUCAL.CODVIGBUCAL FROM FAAVIGBUCAL  WHERE FAAVIGBUCAL.NUMFAA='" +
            v.numfaa + "'" + " AND FAAVIGBUCAL.CODUNIDADE='" + v.codunidade + "'"};
}

std::string procedimentosOdontoInicio(const Valores& v) {
    return " SELECT FP.CODPROCEDUNIF, FP.QUANTIDADE, COALESCE(SUSPROCEDUNIF.CODPROCESUS,'') AS "
           "CODPROCESUS  FROM FAAPROCED FP  LEFT OUTER JOIN SUSPROCEDUNIF ON "
           "(SUSPROCEDUNIF.CODIGO=FP.CODPROCEDUNIF)  WHERE FP.NUMFAA='" +
           v.numfaa + "'" + " AND FP.CODUNIDADE='" + v.codunidade + "'";
}

Linhas procedimentosOdontoCodificados(const Valores& v) {
    return {procedimentosOdontoInicio(v) + " AND COALESCE(SUSPROCEDUNIF.CODPROCESUS,'')<>'' "};
}

Linhas procedimentosOdontoOutros(const Valores& v) {
    return {procedimentosOdontoInicio(v) + " AND COALESCE(SUSPROCEDUNIF.CODPROCESUS,'')='' "};
}

Linhas procedimentos(const Valores& v) {
    return {
        " SELECT FAA.NUMFAA, FAA.CODUNIDADE, PROFISSIONAIS.CNS, profissionais.nome as "
        "nomeprofissional,  PROFISSIONAIS.CBO, FAA.DATA, PROFISSIONAIS.INE AS INE, FAA.CODPESSOA, "
        "PESSOAS.CODIGO,  PESSOAS.DTNASCIMENTO, PESSOAS.SEXO, coalesce(PESSOAS.CARTAOSUS,'') AS "
        "CARTAOSUS, FAA.HORA,  TRIAGENS.PESO, TRIAGENS.ALTURA, TRIAGENS.TEMPERATURA  FROM FAA  "
        "INNER JOIN PROFISSIONAIS ON PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL INNER JOIN PESSOAS "
        "ON (PESSOAS.CODIGO=FAA.CODPESSOA) LEFT OUTER JOIN TRIAGENS ON "
        "FAA.CODUNIDADE=TRIAGENS.CODUNIDADE AND FAA.NUMFAA=TRIAGENS.NUMFAA  WHERE EXISTS (SELECT "
        "FP.NUMFAA FROM FAAPROCED FP WHERE FP.NUMFAA=FAA.NUMFAA AND "
        "FP.CODUNIDADE=FAA.CODUNIDADE) AND COALESCE(FAA.CARATER,'')<>'8' AND "
        "COALESCE(FAA.CARATER,'')<>'7'  AND FAA.DATA BETWEEN '" +
        v.inicio + "' AND '" + v.fim + "'" + " AND COALESCE(FAA.SEXO, '')<>'' " +
        " AND PESSOAS.DTNASCIMENTO <= FAA.DATA AND PESSOAS.DTNASCIMENTO > " + v.nascidoDepoisDe +
        " and (select u.nome from unidades u where FAA.codunidade=u.codigo) not like " +
        "'%CRAS%'" + " ORDER BY FAA.DATA "};
}

Linhas procedimentosDoAtendimento(const Valores& v) {
    Linhas l = {
        " SELECT FAAPROCED.CODPROCEDUNIF, COALESCE(SUSPROCEDUNIF.CODPROCESUS,'') AS "
        "CODPROCESUS  FROM FAAPROCED  LEFT OUTER JOIN SUSPROCEDUNIF ON "
        "(SUSPROCEDUNIF.CODIGO=FAAPROCED.CODPROCEDUNIF)  WHERE FAAPROCED.NUMFAA='" +
        v.numfaa + "'" + " AND FAAPROCED.CODUNIDADE='" + v.codunidade + "'"};
    if (!v.codProf.empty()) l.push_back("AND FAAPROCED.CODPROFISSIONAL=" + v.codProf);
    return l;
}

// ---- Community ----

Linhas visitaDomiciliar(const Valores& v) {
    Linhas l = {
        " SELECT distinct FAA.CODUNIDADE, FAA.NUMFAA, PROFISSIONAIS.CNS, profissionais.nome as "
        "nomeprofissional, PROFISSIONAIS.INE, PESSOAS.AREA, PESSOAS.MICROAREA, Bairros.nome as "
        "NomeBairro,  PESSOAS.cepresidencia, PESSOAS.ENDERECO, LOCALIDADE.CODIBGE, "
        "LOCALIDADE.DNE, FAA.HORA, FAA.DATA, FAA.DESFECHOVISITA, PROFISSIONAIS.CBO, FAA.CODPESSOA, "
        "PESSOAS.SEXO, coalesce(PESSOAS.CARTAOSUS,'') AS CARTAOSUS, PESSOAS.DTNASCIMENTO FROM FAA  "
        "INNER JOIN PROFISSIONAIS ON (PROFISSIONAIS.CODIGO=FAA.CODPROFISSIONAL) INNER JOIN PESSOAS "
        "ON (PESSOAS.CODIGO=FAA.CODPESSOA) LEFT OUTER JOIN bairros on "
        "(Bairros.codigo=Pessoas.codBairro) LEFT OUTER JOIN CEP ON "
        "(CEP.codcep=PESSOAS.CEPRESIDENCIA) LEFT OUTER JOIN LOCALIDADE ON "
        "(LOCALIDADE.CODIGO=CEP.CODLOCALIDADE) WHERE FAA.ESPECIEATEND='VISITA'  AND "
        "COALESCE(PESSOAS.CARTAOSUS,'')<>''  AND UPPER(PESSOAS.CARTAOSUS)<>'X' AND "
        "UPPER(PESSOAS.CARTAOSUS)<>'0' AND FAA.DATA BETWEEN '" +
        v.inicio + "' AND '" + v.fim + "'"};
    if (!v.codProf.empty()) l.push_back("AND FAA.CODPROFISSIONAL=" + v.codProf);
    l.push_back(" ORDER BY FAA.DATA ");
    return l;
}

Linhas motivosDaVisita(const Valores& v) {
    return {" SELECT FAAMOTVISITAS.CODMOTIVO FROM FAAMOTVISITAS  WHERE FAAMOTVISITAS.NUMFAA='" +
            v.numfaa + "'" + " AND FAAMOTVISITAS.CODUNIDADE='" + v.codunidade + "'"};
}

Linhas atividadeColetiva(const Valores& v) {
    return {
        " SELECT E.ID_ENCONTRO, E.DATA, e.turno, P.CNS AS CNSRESPONSAVEL, P.CBO, p.nome as "
        "nomeprofissional,  P.INE, E.TIPOATIVCOLETIVA, E.PARTICIPANTES, E.PARTICPROGRAMADO,  "
        "COALESCE(P.CODUNIDADE,'') AS CODUNIDADE, G.INEP  FROM ENCONTROSGRUPOS E  LEFT OUTER "
        "JOIN GRUPOSDERISCO G ON E.SIGLAGRUPO=G.SIGLA  LEFT OUTER JOIN PROFISSIONAIS P ON "
        "G.CODPROFRESPONSAVEL=P.CODIGO  WHERE E.DATA BETWEEN " +
        v.inicioMesPrimeiro + " and " + v.fimMesPrimeiro +
        " AND (EXISTS (SELECT * FROM encontros_temasaude WHERE "
        "encontros_temasaude.ID_ENCONTRO=E.ID_ENCONTRO) OR " +
        " EXISTS (SELECT * FROM encontros_publico WHERE "
        "encontros_publico.ID_ENCONTRO=E.ID_ENCONTRO) OR " +
        " EXISTS (SELECT * FROM ENCONTROS_TEMA WHERE ENCONTROS_TEMA.ID_ENCONTRO=E.ID_ENCONTRO))" +
        " ORDER BY E.DATA"};
}

Linhas avaliacoesAlteradas(const Valores& v) {
    return {
        "SELECT COUNT(TRIAGENS.AVALTERADA) ALTERADAS  FROM TRIAGENS  WHERE "
        "TRIAGENS.ID_ENCONTRO=" +
        v.idEncontro + " AND upper(TRIAGENS.AVALTERADA)=" + "'S'"};
}

Linhas profissionaisDoEncontro(const Valores& v) {
    return {
        "SELECT PROFISSIONAIS.CNS, PROFISSIONAIS.CBO  FROM ENCONTROS_PROFISSIONAIS  INNER JOIN "
        "PROFISSIONAIS ON (PROFISSIONAIS.codigo=ENCONTROS_PROFISSIONAIS.codprofissional)  "
        "WHERE ENCONTROS_PROFISSIONAIS.ID_ENCONTRO=" +
        v.idEncontro};
}

Linhas temasDoEncontro(const Valores& v) {
    return {"SELECT encontros_tema.codtema FROM encontros_tema  WHERE ENCONTROS_TEMA.ID_ENCONTRO=" +
            v.idEncontro};
}

Linhas publicoDoEncontro(const Valores& v) {
    return {
        "SELECT encontros_publico.codpublico FROM encontros_publico  WHERE "
        "encontros_publico.ID_ENCONTRO=" +
        v.idEncontro};
}

Linhas participantes(const Valores& v) {
    return {
        "SELECT PE.CODPESSOA, P.CARTAOSUS, P.DTNASCIMENTO, p.sexo  FROM PRESENCAENCONTROS PE  "
        "INNER JOIN PESSOAS P on (PE.codPESSOA=P.codigo)  WHERE upper(PE.PRESENCA) <> 'F' and "
        "PE.ID_ENCONTRO=" +
        v.idEncontro};
}

Linhas triagemDoParticipante(const Valores& v) {
    return {"SELECT Peso, Altura, AvAlterada FROM triagens  WHERE ID_ENCONTRO=" + v.idEncontro +
            " AND CODPESSOA=" + v.codpessoa};
}

std::string temasSaudeInicio(const Valores& v) {
    return "SELECT encontros_temasaude.codtema FROM encontros_temasaude   WHERE "
           "encontros_temasaude.ID_ENCONTRO=" +
           v.idEncontro;
}

Linhas temaTrinta(const Valores& v) {
    return {temasSaudeInicio(v), "and codtema = 30"};
}

Linhas codigosDeProcedimento(const Valores& v) {
    return {
        "SELECT encontros_profissionais.codprocedimento FROM encontros_profissionais   WHERE "
        "encontros_profissionais.ID_ENCONTRO=" +
            v.idEncontro,
        "and codprocedimento in ('0101010044', '0101020082', '0101010052', '0101010060', "
        "'0101010079', '0101010087', '0101020023', '0101020040')"};
}

Linhas temasParaSaude(const Valores& v) {
    return {temasSaudeInicio(v),
            "and (codtema in (1, 4, 5, 6, 7, 8, 10, 13, 14, 15, 16, 17, 18, 19, 21, 29))"};
}

Linhas praticasEmSaude(const Valores& v) {
    return {temasSaudeInicio(v),
            "and (codtema in (2, 3, 9, 11, 12, 20, 22, 23, 24, 25, 26, 27, 28, 30))"};
}

struct Caso {
    std::string nome;
    Linhas linhas;
};

std::vector<Caso> todasAsConsultas() {
    Valores semProf;
    Valores comProf;
    comProf.codProf = "12";
    return {
        {"cadastro individual: profissional genérico", profissionalGenericoIndividual()},
        {"cadastro individual: principal", cadastroIndividual()},
        {"cadastro individual: condições de saúde", condicoesDeSaude()},
        {"cadastro individual: município pelo CEP", localidadePorCep()},
        {"cadastro individual: município pelo nome", localidadePorNome()},
        {"cadastro domiciliar: profissional genérico", profissionalGenericoDomiciliar()},
        {"cadastro domiciliar: principal", cadastroDomiciliar()},
        {"cadastro domiciliar: moradores", moradores()},
        {"cadastro domiciliar: membros da família", membrosDaFamilia()},
        {"transmissão de pessoas: leitura", registroDeTransmissao("pessoastransmissao")},
        {"transmissão de pessoas: atualização", atualizaTransmissao("pessoastransmissao")},
        {"transmissão de pessoas: inclusão", insereTransmissao("pessoastransmissao")},
        {"transmissão de famílias: leitura", registroDeTransmissao("familiastransmissao")},
        {"transmissão de famílias: atualização", atualizaTransmissao("familiastransmissao")},
        {"transmissão de famílias: inclusão", insereTransmissao("familiastransmissao")},
        {"atendimento individual e vacinação: principal", atendimentoIndividual(semProf)},
        {"atendimento individual e vacinação: principal de um profissional",
         atendimentoIndividual(comProf)},
        {"atendimento individual: CIAPs", ciapsDoAtendimento(semProf)},
        {"atendimento individual: CID", cidDoAtendimento(semProf)},
        {"atendimento individual: exames com código", examesComCodigo()},
        {"atendimento individual: exames sem código", examesSemCodigo()},
        {"atendimento odontológico: principal", atendimentoOdontologico(semProf)},
        {"atendimento odontológico: principal de um profissional",
         atendimentoOdontologico(comProf)},
        {"atendimento odontológico: fornecimentos", fornecimentosOdonto(semProf)},
        {"atendimento odontológico: vigilância em saúde bucal", vigilanciaBucal(semProf)},
        {"atendimento odontológico: procedimentos codificados",
         procedimentosOdontoCodificados(semProf)},
        {"atendimento odontológico: outros procedimentos", procedimentosOdontoOutros(semProf)},
        {"procedimentos: principal", procedimentos(semProf)},
        {"procedimentos: do atendimento", procedimentosDoAtendimento(semProf)},
        {"procedimentos: do atendimento, de um profissional", procedimentosDoAtendimento(comProf)},
        {"visita domiciliar: principal", visitaDomiciliar(semProf)},
        {"visita domiciliar: principal de um profissional", visitaDomiciliar(comProf)},
        {"visita domiciliar: motivos", motivosDaVisita(semProf)},
        {"atividade coletiva: principal", atividadeColetiva(semProf)},
        {"atividade coletiva: avaliações alteradas", avaliacoesAlteradas(semProf)},
        {"atividade coletiva: profissionais", profissionaisDoEncontro(semProf)},
        {"atividade coletiva: temas para reunião", temasDoEncontro(semProf)},
        {"atividade coletiva: público-alvo", publicoDoEncontro(semProf)},
        {"atividade coletiva: participantes", participantes(semProf)},
        {"atividade coletiva: triagem do participante", triagemDoParticipante(semProf)},
        {"atividade coletiva: tema 30", temaTrinta(semProf)},
        {"atividade coletiva: códigos de procedimento", codigosDeProcedimento(semProf)},
        {"atividade coletiva: temas para saúde", temasParaSaude(semProf)},
        {"atividade coletiva: práticas em saúde", praticasEmSaude(semProf)},
    };
}

void defineLinhas(Consulta& q, const Linhas& linhas) {
    q.limpa();
    for (const auto& l : linhas) q.adiciona(l);
}

class PreparoConsultas : public ::testing::Test {
  protected:
    // Rows a test puts in go in before this, so that the snapshot sees them.
    void abre() {
        conexao.abre(banco.caminho());
        conexao.iniciaTransacao();
    }

    teste::BancoTeste banco;
    Conexao conexao;
};

TEST_F(PreparoConsultas, TodasAsConsultasPreparamNoEsquema) {
    abre();
    for (const Caso& c : todasAsConsultas()) {
        Consulta q(conexao);
        defineLinhas(q, c.linhas);
        try {
            q.prepara();
        } catch (const Erro& e) {
            ADD_FAILURE() << c.nome << ":\n" << e.what() << "\n" << q.texto();
        }
    }
}

// The statements with named parameters, run with the values bound as the generators bind
// them (codes as text, counters as integers, the day as a date): the column types must take
// them, and the register row written back must read as it was written.
TEST_F(PreparoConsultas, RegistroDeTransmissaoAceitaOsValoresComoOSistemaOsLiga) {
    abre();
    for (const std::string tabela : {"pessoastransmissao", "familiastransmissao"}) {
        SCOPED_TRACE(tabela);
        Consulta q(conexao);
        auto grava = [&](const Linhas& linhas, const std::string& uuid, int codigoTransmissao) {
            defineLinhas(q, linhas);
            q.parametro("pcodigo", "123");
            q.parametro("puuid", uuid);
            q.parametro("ptransmitiresus", "Não");
            q.parametroData("pdatatransmissao", 2026, 12, 10);
            q.parametro("pCodigoTransmissaoEsus", codigoTransmissao);
            q.executa();
        };
        auto le = [&] {
            defineLinhas(q, registroDeTransmissao(tabela));
            q.parametro("pcodigo", "123");
            q.abre();
        };

        le();
        EXPECT_EQ(q.quantidade(), 0u);
        grava(insereTransmissao(tabela), "2345678-da1cb4c9-0004-0000-0000-00000000123", 1);
        le();
        ASSERT_EQ(q.quantidade(), 1u);
        EXPECT_EQ(q.texto("uuid"), "2345678-da1cb4c9-0004-0000-0000-00000000123");
        EXPECT_EQ(q.texto("transmitiresus"), "Não");
        EXPECT_EQ(q.texto("datatransmissaoesus"), "10/12/2026");
        EXPECT_EQ(q.inteiro("CodigoTransmissaoEsus"), 1);

        // Past the four digits the identifier grows to 44 characters and still fits.
        grava(atualizaTransmissao(tabela), "2345678-da1cb4c9-0004-0000-10000-00000000123", 10000);
        le();
        ASSERT_EQ(q.quantidade(), 1u);
        EXPECT_EQ(q.texto("uuid"), "2345678-da1cb4c9-0004-0000-10000-00000000123");
        EXPECT_EQ(q.inteiro("codigotransmissaoesus"), 10000);
    }
}

TEST_F(PreparoConsultas, ConsultasComParametrosAceitamOsValoresComoOSistemaOsLiga) {
    banco.executa(
        "insert into localidade (codigo, nome, uf, codibge) "
        "values (1, 'PARNAÍBA', 'PI', '2207702')");
    banco.executa("insert into cep (codcep, codlocalidade) values ('64200000', 1)");
    banco.executa("insert into pessoas (codigo, nome, codtitular) values (123, 'Zé', 123)");
    banco.executa("insert into pessoas (codigo, nome, codtitular) values (124, 'Ana', 123)");
    banco.executa(
        "insert into profissionais (codigo, nome, cns, cbo, ine) "
        "values (9, 'Genérico', '700000000000009', '223505', '0001234567')");
    abre();

    struct Busca {
        std::string nome;
        Linhas linhas;
        std::vector<std::pair<std::string, std::string>> parametros;
        std::string coluna;
        std::string esperado;
    };
    const Busca buscas[] = {
        {"profissional genérico",
         profissionalGenericoIndividual(),
         {{"pcodigo", "9"}},
         "ine",
         "0001234567"},
        {"município pelo CEP", localidadePorCep(), {{"pcep", "64200000"}}, "codibge", "2207702"},
        {"município pelo nome",
         localidadePorNome(),
         {{"pnome", "PARNAÍBA"}, {"puf", "PI"}},
         "codibge",
         "2207702"},
        {"moradores", moradores(), {{"pcodtitular", "123"}}, "contagem", "2"},
        {"membros da família", membrosDaFamilia(), {{"ptitular", "123"}}, "contagem", "2"},
    };
    for (const Busca& b : buscas) {
        Consulta q(conexao);
        defineLinhas(q, b.linhas);
        for (const auto& [nome, valor] : b.parametros) q.parametro(nome, valor);
        try {
            q.abre();
            EXPECT_EQ(q.quantidade(), 1u) << b.nome;
            if (q.quantidade() == 1) {
                EXPECT_EQ(q.texto(b.coluna), b.esperado) << b.nome;
            }
        } catch (const Erro& e) {
            ADD_FAILURE() << b.nome << ": " << e.what();
        }
    }

    // The exam look-ups bind the episode number as text against the numeric key.
    for (const Linhas& linhas : {examesComCodigo(), examesSemCodigo()}) {
        Consulta q(conexao);
        defineLinhas(q, linhas);
        q.parametro("pnumfaa", "345");
        q.parametro("pexamesolicitado", "S");
        q.parametro("pexameAvaliado", "S");
        EXPECT_NO_THROW(q.abre()) << q.texto();
    }
}

// The registration reads columns by name out of "select *" and "select l.*".
TEST_F(PreparoConsultas, ColunasLidasDasConsultasComAsterisco) {
    banco.executa("insert into PessoasCondSaude (codigo, Gestante) values (123, 'Sim')");
    abre();

    Consulta q(conexao);
    defineLinhas(q, condicoesDeSaude());
    q.parametro("pcodigo", "123");
    q.abre();
    ASSERT_EQ(q.quantidade(), 1u);
    const char* colunas[] = {"Internacao12Meses",
                             "Internacao12MesesDesc",
                             "condicoesSaude1",
                             "condicoesSaude2",
                             "condicoesSaude3",
                             "PlantasMedicinaisDesc",
                             "DoencaCardiaca",
                             "CardiacaInsuficiencia",
                             "CardiacaOutra",
                             "CardiacaNaoSabe",
                             "DoencaPulmao",
                             "PulmaoAsma",
                             "PulmaoDpoc",
                             "PulmaoOutra",
                             "PulmaoNaoSabe",
                             "ProblemasRins",
                             "RenalInsuficiencia",
                             "RenalOutra",
                             "RenalNaoSabe",
                             "MaternidadeReferencia",
                             "Gestante",
                             "PesoSituacao",
                             "UsaAlcool",
                             "UsaDrogas",
                             "Fumante",
                             "Acamado",
                             "Domiciliado",
                             "Diabetes",
                             "Hanseniase",
                             "Hipertenso",
                             "Cancer",
                             "Tuberculose",
                             "AVC",
                             "Infarto",
                             "PraticasComplementares",
                             "PlantasMedicinais",
                             "ProblemaMental"};
    for (const char* coluna : colunas) EXPECT_NO_THROW(q.texto(coluna)) << coluna;
    EXPECT_EQ(q.texto("gestante"), "Sim");
}

// The demo clinic of November 2026: every record kind finds its rows, and the rows that the
// queries must leave out (a deactivated citizen, a register row already sent, a CRAS, October,
// CARATER 7, a health card "X", a meeting without themes) stay out.
TEST_F(PreparoConsultas, ClinicaDeDemonstracaoTemRegistrosDeCadaTipo) {
    banco.executaScript(std::filesystem::path(PROJETO_DIR) / "db" / "demo.sql");
    abre();

    const Valores v;
    struct Tipo {
        std::string nome;
        Linhas linhas;
        std::size_t linhasEsperadas;
    };
    const Tipo tipos[] = {
        {"cadastro individual", cadastroIndividual(), 11},
        {"cadastro domiciliar", cadastroDomiciliar(), 4},
        // Seven episodes; one of them asked for two kinds of help and comes twice.
        {"atendimento individual e vacinação", atendimentoIndividual(v), 8},
        // Every episode with a procedure or exam row; four of them carry exportable ones.
        {"procedimentos", procedimentos(v), 9},
        {"atendimento odontológico", atendimentoOdontologico(v), 4},
        {"visita domiciliar", visitaDomiciliar(v), 6},
        {"atividade coletiva", atividadeColetiva(v), 5},
    };
    for (const Tipo& t : tipos) {
        Consulta q(conexao);
        defineLinhas(q, t.linhas);
        if (t.linhas.back().find(":ptransmitir") != std::string::npos)
            q.parametro("ptransmitir", "Sim");
        q.abre();
        EXPECT_EQ(q.quantidade(), t.linhasEsperadas) << t.nome;
    }
}

}  // namespace
}  // namespace cds
