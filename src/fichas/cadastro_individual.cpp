// The individual registration form: one per citizen whose register row is marked for sending.

#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>

#include "comum/texto.hpp"
#include "fichas/profissional_generico.hpp"
#include "fichas/transmissao.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

constexpr std::string_view kProfissionalGenerico = R"(
select cns, cbo, ine, nome from profissionais where codigo = :pcodigo
)";

// Citizens still in the unit's care whose register row says "Sim"; the citizen's household
// head, country, ethnic group, disability and responsible professional come along, and so do
// the look-ups of each citizen, in the same statement: the health conditions of the
// registration (one row per citizen at most, its code in codigocondicoes) and the municipality
// of birth, by the birth postcode or, without one, by the birthplace's name and state. Each
// municipality is the first place that matches, given as "S" and its IBGE code, which may be
// empty; NULL when no place matches. The search by name reads the whole table of places, so it
// runs only for the citizens that need it.
constexpr std::string_view kPessoas = R"(
select p.codigo, p.microarea, p.fone, pt.uuid, pt.CodigoTransmissaoEsus, p.nome, p.cepmunicnasc,
p.nacionalidade, p.naturalidade, p.ufnaturalidade, p.dtnascimento,
p.nomemae, p.nomepai, p.cartaosus, t.cartaosus as cartaosustitular,
pa.codigoesus as codigopaisesus, p.raca, p.sexo, e.codigo as codigoetnia,
p.FrequentaEscola, d.descricao as nomedeficiencia, p.profissionalresponsavel,
d.codigoesus as codigoesusdeficiencia, PROFISSIONAIS.CNS, PROFISSIONAIS.CBO,
PROFISSIONAIS.ine, profissionais.nome as nomeprofissional,
(select first 1 'S' || coalesce(l.codibge, '') from cep c
  inner join localidade l on l.codigo = c.codlocalidade
  where c.codcep = p.cepmunicnasc) as municipiocepnascimento,
case when coalesce(char_length(p.cepmunicnasc), 0) = 0 and char_length(p.naturalidade) > 0
  and char_length(p.ufnaturalidade) > 0
then (select first 1 'S' || coalesce(l.codibge, '') from localidade l
  where upper(l.nome) = p.naturalidade and upper(l.uf) = p.ufnaturalidade)
end as municipionascimento,
s.codigo as codigocondicoes, s.*
from pessoas p
left outer join pessoastransmissao pt on pt.codigo = p.codigo
left outer join pessoas t on t.codigo = p.codtitular
left outer join paises pa on pa.codigo = p.nacionalidade
left outer join etnias e on e.codigo = p.etnia
left outer join deficiencias d on d.codigo = p.coddeficiencia
left outer join PROFISSIONAIS ON PROFISSIONAIS.CODIGO=p.profissionalresponsavel
left outer join PessoasCondSaude s on s.codigo = p.codigo
where p.datadesativado is null and pt.transmitiresus = :ptransmitir
)";

constexpr std::string_view kMascaraDataVazia = "  /  /    ";

// The IBGE code of the place a look-up of the main query found ("S" and the code), none when
// it found none.
std::optional<std::string> municipioAchado(const Linha& r, std::string_view coluna) {
    if (r.nulo(coluna)) return std::nullopt;
    return r.texto(coluna).substr(1);
}

// The clinic's screens store "Sim" in any case; an empty mark is never one.
bool sim(const Linha& l, std::string_view coluna) {
    return maiusculas(l.texto(coluna)) == "SIM";
}

std::string verdade(bool valor) {
    return valor ? "true" : "false";
}

// A disease and its kinds: the kinds count only when the disease itself is marked.
struct Doenca {
    std::string_view coluna;
    std::string_view elemento;
    struct Tipo {
        std::string_view coluna;
        std::string_view codigo;
    };
    Tipo tipos[4];
};

constexpr Doenca kDoencas[] = {
    {"DoencaCardiaca",
     "doencaCardiaca",
     {{"CardiacaInsuficiencia", "24"}, {"CardiacaOutra", "25"}, {"CardiacaNaoSabe", "26"}}},
    {"DoencaPulmao",
     "doencaRespiratoria",
     {{"PulmaoAsma", "30"}, {"PulmaoDpoc", "31"}, {"PulmaoOutra", "32"}, {"PulmaoNaoSabe", "33"}}},
    {"ProblemasRins",
     "doencaRins",
     {{"RenalInsuficiencia", "27"}, {"RenalOutra", "28"}, {"RenalNaoSabe", "29"}}},
};

struct Status {
    std::string_view elemento;
    std::string_view coluna;
};

// The status lines before and after statusEhGestante, in the form's order.
constexpr Status kStatusAntesDaGestacao[] = {
    {"statusEhDependenteAlcool", "UsaAlcool"},
    {"statusEhDependenteOutrasDrogas", "UsaDrogas"},
    {"statusEhFumante", "Fumante"},
};
constexpr Status kStatusDepoisDaGestacao[] = {
    {"statusEstaAcamado", "Acamado"},
    {"statusEstaDomiciliado", "Domiciliado"},
    {"statusTemDiabetes", "Diabetes"},
    {"statusTemDoencaRespiratoria", "DoencaPulmao"},
    {"statusTemHanseniase", "Hanseniase"},
    {"statusTemHipertensaoArterial", "Hipertenso"},
    {"statusTemTeveCancer", "Cancer"},
    {"statusTemTeveDoencasRins", "ProblemasRins"},
    {"statusTemTuberculose", "Tuberculose"},
    {"statusTeveAvcDerrame", "AVC"},
    {"statusTeveDoencaCardiaca", "DoencaCardiaca"},
    {"statusTeveInfarto", "Infarto"},
    {"statusTeveInternadoEm12Meses", "Internacao12Meses"},
    {"statusUsaOutrasPraticasIntegrativasOuComplementares", "PraticasComplementares"},
    {"statusUsaPlantaMedicinais", "PlantasMedicinais"},
    {"statusDiagnosticoMental", "ProblemaMental"},
};

void escreveStatus(const Linha& s, std::span<const Status> lista, RegistroBuffer& b) {
    for (const Status& st : lista) b.adicionaElemento(st.elemento, verdade(sim(s, st.coluna)));
}

std::string situacaoPeso(const Linha& s) {
    const std::string peso = maiusculas(s.texto("PesoSituacao"));
    if (peso == "ABAIXO DO PESO") return "21";
    if (peso == "PESO ADEQUADO") return "22";
    if (peso == "ACIMA DO PESO") return "23";
    return {};
}

std::string racaCor(const std::string& raca) {
    for (const char* codigo : {"01", "02", "03", "04", "05"})
        if (raca == codigo) return std::string(1, codigo[1]);
    return "6";
}

std::string sexo(const Linha& r) {
    const std::string s = maiusculas(r.texto("sexo"));
    return s == "FEMININO" ? "1" : s == "MASCULINO" ? "0" : "4";
}

bool feminino(const Linha& r) {
    return maiusculas(r.texto("sexo")) == "FEMININO";
}

class FichaCadastroIndividual : public FichaDeCadastro {
  public:
    explicit FichaCadastroIndividual(Execucao& ex)
        : FichaDeCadastro(ex, TipoFicha::CadastroIndividual, kPessoas),
          profissionalGenerico(ex.transacao, kProfissionalGenerico) {}

    // The team code of ineDadoSerializado: the responsible professional's, else the generic
    // one's, else none.
    void preparaRegistro(const Linha& r) override {
        FichaDeCadastro::preparaRegistro(r);
        const std::string ine = r.texto("ine");
        if (!apara(ine).empty()) {
            ineDado = ine;
        } else if (!apara(generico.ine).empty()) {
            ineDado = generico.ine;
            execucao.log("Utilizado Ine genérico do Cód. Profiss. Genérico para a pessoa: " +
                         r.texto("codigo"));
        } else {
            ineDado.reset();
            execucao.erroELog(mensagemSemIne(r.texto("nomeprofissional")));
        }
    }

    ValoresEnvelope envelope(const Linha& r) const override { return envelopeDoCadastro(r); }

    bool corpo(const Linha& r, const ValoresEnvelope& valores, RegistroBuffer& b) override {
        escreveCondicoesDeSaude(r, b);
        b.adiciona("<emSituacaoDeRua>");
        b.adiciona("<statusSituacaoRua>false</statusSituacaoRua>");
        b.adiciona("</emSituacaoDeRua>");
        b.adicionaElemento("fichaAtualizada", verdade(transmissao.fichaAtualizada()));
        escreveIdentificacao(r, b);
        escreveInformacoesSocioDemograficas(r, b);
        b.adiciona(
            "<statusTermoRecusaCadastroIndividualAtencaoBasica>false</"
            "statusTermoRecusaCadastroIndividualAtencaoBasica>");
        b.adiciona("<tpCdsOrigem>3</tpCdsOrigem>");
        b.adicionaElemento("uuid", transmissao.uuid);
        b.adicionaElemento("uuidFichaOriginadora", transmissao.uuidAnterior);
        escreveHeader(r, valores, b);
        return true;
    }

  private:
    ProfissionalGenerico leProfissionalGenerico() override {
        const std::string& codigo = execucao.parametros.ProfissionalGenerico;
        profissionalGenerico.parametro("pcodigo", codigo);
        const std::vector<Linha>& linhas = profissionalGenerico.abre();
        if (linhas.empty()) throw std::logic_error(kSemProfissionalGenerico);
        const Linha& p = linhas.front();
        ProfissionalGenerico g{p.texto("cns"), p.texto("cbo"), p.texto("ine")};
        const std::string quem = codigo + " - " + p.texto("nome");
        if (g.cns.empty()) execucao.log("Verifique CNS para o profissional " + quem);
        if (g.cbo.empty()) execucao.log("Verifique CBO para o profissional " + quem);
        if (apara(g.ine).empty()) execucao.log("Verifique INE para o profissional " + quem);
        return g;
    }

    // The conditions' columns come on the citizen's row.
    static void escreveCondicoesDeSaude(const Linha& r, RegistroBuffer& b) {
        if (r.nulo("codigocondicoes")) return;
        const Linha& s = r;
        b.adiciona("<condicoesDeSaude>");
        if (sim(s, "Internacao12Meses"))
            b.adicionaElemento("descricaoCausaInternacaoEm12Meses",
                               s.texto("Internacao12MesesDesc"));
        b.adicionaElemento("descricaoOutraCondicao1", s.texto("condicoesSaude1"));
        b.adicionaElemento("descricaoOutraCondicao2", s.texto("condicoesSaude2"));
        b.adicionaElemento("descricaoOutraCondicao3", s.texto("condicoesSaude3"));
        if (const std::string plantas = s.texto("PlantasMedicinaisDesc"); !plantas.empty())
            b.adicionaElemento("descricaoPlantasMedicinaisUsadas", plantas);
        for (const Doenca& d : kDoencas) {
            if (!sim(s, d.coluna)) continue;
            for (const Doenca::Tipo& t : d.tipos)
                if (!t.coluna.empty() && sim(s, t.coluna)) b.adicionaNumero(d.elemento, t.codigo);
        }
        if (sim(s, "Gestante"))
            b.adicionaElemento("maternidadeDeReferencia", s.texto("MaternidadeReferencia"));
        b.adicionaNumero("situacaoPeso", situacaoPeso(s));
        escreveStatus(s, kStatusAntesDaGestacao, b);
        if (feminino(r) && sim(s, "Gestante"))
            b.adiciona("<statusEhGestante>true</statusEhGestante>");
        escreveStatus(s, kStatusDepoisDaGestacao, b);
        b.adiciona("</condicoesDeSaude>");
    }

    void escreveIdentificacao(const Linha& r, RegistroBuffer& b) {
        const std::string nome = r.texto("nome");
        const std::string cartaosus = r.texto("cartaosus");
        const std::string titular = r.texto("cartaosustitular");
        const bool outroResponsavel = !titular.empty() && titular != cartaosus;
        const std::string nacionalidade = r.texto("nacionalidade");
        const bool brasileiro = nacionalidade == "010" || nacionalidade.empty();

        b.adiciona("<identificacaoUsuarioCidadao>");
        b.adicionaElemento("nomeSocial", nome);
        if (const auto ibge = municipioDeNascimento(r))
            b.adicionaElemento("codigoIbgeMunicipioNascimento", *ibge);
        b.adicionaNumero("dataNascimentoCidadao", dataDeNascimento(r));
        b.adicionaNumero("nacionalidadeCidadao", brasileiro ? "1" : "3");
        b.adicionaElemento("nomeCidadao", nome);
        b.adicionaElemento("nomeMaeCidadao", r.texto("nomemae"));
        b.adicionaElemento("cnsCidadao", cartaosus);
        if (outroResponsavel) b.adicionaElemento("cnsResponsavelFamiliar", titular);
        // A mobile number has ten or eleven digits; longer texts are cut to eleven.
        if (const std::string fone = SoNumeros(r.texto("fone")).substr(0, 11);
            fone.size() == 10 || fone.size() == 11)
            b.adicionaElemento("telefoneCelular", fone);
        b.adicionaNumero("paisNascimento", brasileiro ? "31" : r.texto("codigopaisesus"));
        const std::string raca = r.texto("raca");
        b.adicionaNumero("racaCorCidadao", racaCor(raca));
        b.adicionaNumero("sexoCidadao", sexo(r));
        b.adicionaElemento("statusEhResponsavel", verdade(!outroResponsavel));
        if (raca == "05") b.adicionaNumero("etnia", r.texto("codigoetnia"));
        if (const std::string pai = r.texto("nomepai");
            !pai.empty() && maiusculas(pai) != "DESCONHECIDO")
            b.adicionaElemento("nomePaiCidadao", pai);
        else
            b.adiciona("<desconheceNomePai>true</desconheceNomePai>");
        b.adicionaElemento("microArea", ZeroEsquerdaInt(r.inteiro("microarea"), 2));
        b.adiciona("<stForaArea>false</stForaArea>");
        b.adiciona("</identificacaoUsuarioCidadao>");
    }

    // By the birth postcode when there is one, else by the birthplace's name and state.
    std::optional<std::string> municipioDeNascimento(const Linha& r) {
        if (const std::string cep = r.texto("cepmunicnasc"); !cep.empty()) {
            if (auto ibge = municipioAchado(r, "municipiocepnascimento")) return ibge;
            execucao.erroELog("CEP de nascimento não encontrado para a pessoa " + r.texto("nome"));
            return std::nullopt;
        }
        if (r.texto("naturalidade").empty() || r.texto("ufnaturalidade").empty())
            return std::nullopt;
        return municipioAchado(r, "municipionascimento");
    }

    // Empty, after its message, when the citizen has no birth date.
    std::string dataDeNascimento(const Linha& r) {
        const std::string texto = r.texto("dtnascimento");
        if (texto.empty() || texto == kMascaraDataVazia) {
            execucao.erroELog("Data de nascimento não encontrada para a pessoa " + r.texto("nome"));
            return {};
        }
        return DataParaLong(r.dataHora("dtnascimento"));
    }

    void escreveInformacoesSocioDemograficas(const Linha& r, RegistroBuffer& b) {
        const std::string deficiencia = r.texto("codigoesusdeficiencia");
        b.adiciona("<informacoesSocioDemograficas>");
        if (!deficiencia.empty()) b.adicionaNumero("deficienciasCidadao", deficiencia);
        b.adicionaElemento("statusFrequentaEscola", verdade(r.texto("FrequentaEscola") == "S"));
        b.adicionaElemento("statusTemAlgumaDeficiencia", verdade(!deficiencia.empty()));
        b.adiciona("</informacoesSocioDemograficas>");
    }

    // The responsible professional, the generic one standing in for what is missing.
    void escreveHeader(const Linha& r, ValoresEnvelope v, RegistroBuffer& b) {
        ProfissionalHeader& p = v.profissional;
        const std::string responsavel = r.texto("profissionalresponsavel");
        p.CNS = r.texto("CNS");
        if (p.CNS.empty()) {
            p.CNS = generico.cns;
            execucao.log("Utilizado CNS genérico para a pessoa: " + r.texto("codigo"));
        }
        p.CBO = r.texto("CBO");
        if (p.CBO.empty()) {
            p.CBO = generico.cbo;
            execucao.log("Utilizado CBO genérico para o profissional: " + responsavel);
        }
        p.ine = r.texto("ine");
        if (!temIne(p)) execucao.log("Utilizado Informe o INE o profissional: " + responsavel);
        escreveHeaderTransport(b, v);
    }

    Consulta profissionalGenerico;
};

// The transport element's opening and closing lines are the envelope's; the body writes its
// own identifiers, origin and headerTransport.
using enum LinhaEnvelope;
constexpr LinhaEnvelope kCabecalho[] = {DeclaracaoXml,       AberturaRaiz, UuidDadoSerializado,
                                        TipoDadoSerializado, CodIbge,      CnesDadoSerializado,
                                        IneDadoSerializado,  NumLote,      AberturaTransporte};
constexpr LinhaEnvelope kRodape[] = {
    FechamentoTransporte, Remetente, Vazia, Originadora, Vazia, Versao, FechamentoRaiz};
constexpr DadosEnvelope kEnvelope{.caminhoNs4 = "cadastroindividual",
                                  .elementoTransporte = "cadastroIndividualTransport",
                                  .tipoDado = 2,
                                  .numLote = 3,
                                  .cadastro = true,
                                  .ineDado = RegraIneDado::DoCadastro,
                                  .meioTransporte = {},
                                  .meioInstalacao = "-da1cb4c9-0000-0000-0004-",
                                  .larguraNumero = 11,
                                  .fichaComUnidadeSemZeros = false,
                                  .lotacaoFormPrincipal = false,
                                  .prefixoArquivo = "FichaCadastroIndividual_",
                                  .larguraNumeroArquivo = 11,
                                  .cabecalho = kCabecalho,
                                  .rodape = kRodape};

}  // namespace

// The kind shows its status itself, once the generic professional is known to be there.
constinit const DescricaoFicha fichaCadastroIndividual{
    .tipo = TipoFicha::CadastroIndividual,
    .nome = "cadastro-individual",
    .rotulo = "Ficha de Cadastro Individual",
    .status = "Gerando Fichas de Cadastro Individual...",
    .emTodas = true,
    .envelope = &kEnvelope,
    .gera = geraFichas<FichaCadastroIndividual, false>};

}  // namespace cds
