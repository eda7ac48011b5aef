// The individual registration form: one per citizen whose register row is marked for sending.

#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "comum/texto.hpp"
#include "fichas/profissional_generico.hpp"
#include "fichas/transmissao.hpp"
#include "record/codificacao.hpp"

namespace cds {
namespace {

constexpr std::string_view kProfissionalGenerico = R"(
select cns, cbo, ine, nome from profissionais where codigo = :pcodigo
)";

// The citizens the register marks for sending ("Sim" in any spelling): those the form takes are
// still in the unit's care and marked as the clinic's screens write it. A citizen without a row
// in the register, or marked otherwise, is none of them.
constexpr CondicaoDeSelecao kCondicoes[] = {
    {"p.datadesativado IS NULL", "cidadão desativado no cadastro em {}", "datadesativado"},
    {"pt.transmitiresus = 'Sim'", kMotivoMarcaDeEnvio, "transmitiresus"},
};

// The citizen's household head, country, ethnic group, disability and responsible professional
// come along, and so do the look-ups of each citizen, in the same statement: the health
// conditions of the registration (one row per citizen at most, its code in codigocondicoes) and
// the municipality of birth, by the birth postcode or, without one, by the birthplace's name and
// state. Each municipality is the first place that matches, given as "S" and its IBGE code,
// which may be empty; NULL when no place matches. The search by name reads the whole table of
// places, so it runs only for the citizens that need it.
constexpr std::string_view kColunas = R"(
select p.codigo, p.microarea, p.fone, pt.uuid, pt.CodigoTransmissaoEsus, p.nome, p.cepmunicnasc,
p.nacionalidade, p.naturalidade, p.ufnaturalidade, p.dtnascimento,
p.nomemae, p.nomepai, p.cartaosus, t.cartaosus as cartaosustitular,
pa.codigoesus as codigopaisesus, p.raca, p.sexo, e.codigo as codigoetnia,
p.FrequentaEscola, d.descricao as nomedeficiencia, p.profissionalresponsavel,
d.codigoesus as codigoesusdeficiencia, PROFISSIONAIS.CNS, PROFISSIONAIS.CBO,
PROFISSIONAIS.INE, profissionais.nome as nomeprofissional,
(select first 1 'S' || coalesce(l.codibge, '') from cep c
  inner join localidade l on l.codigo = c.codlocalidade
  where c.codcep = p.cepmunicnasc) as municipiocepnascimento,
case when coalesce(char_length(p.cepmunicnasc), 0) = 0 and char_length(p.naturalidade) > 0
  and char_length(p.ufnaturalidade) > 0
then (select first 1 'S' || coalesce(l.codibge, '') from localidade l
  where upper(l.nome) = p.naturalidade and upper(l.uf) = p.ufnaturalidade)
end as municipionascimento,
p.datadesativado, pt.transmitiresus,
s.codigo as codigocondicoes, s.*,
)";

constexpr std::string_view kOrigem = R"(
from pessoas p
left outer join pessoastransmissao pt on pt.codigo = p.codigo
left outer join pessoas t on t.codigo = p.codtitular
left outer join paises pa on pa.codigo = p.nacionalidade
left outer join etnias e on e.codigo = p.etnia
left outer join deficiencias d on d.codigo = p.coddeficiencia
left outer join PROFISSIONAIS ON PROFISSIONAIS.CODIGO=p.profissionalresponsavel
left outer join PessoasCondSaude s on s.codigo = p.codigo
where upper(trim(pt.transmitiresus)) = 'SIM'
)";

// The health conditions of the registration, each mark "Sim" in any case or not.
struct CondicoesDeSaude {
    bool gestante{}, fumante{}, usaAlcool{}, usaDrogas{}, hipertenso{}, diabetes{}, avc{},
        infarto{}, doencaCardiaca{}, cardiacaInsuficiencia{}, cardiacaOutra{}, cardiacaNaoSabe{},
        problemasRins{}, renalInsuficiencia{}, renalOutra{}, renalNaoSabe{}, doencaPulmao{},
        pulmaoAsma{}, pulmaoDpoc{}, pulmaoOutra{}, pulmaoNaoSabe{}, hanseniase{}, tuberculose{},
        cancer{}, internacao12Meses{}, problemaMental{}, acamado{}, domiciliado{},
        praticasComplementares{}, plantasMedicinais{};
    std::string maternidade, pesoSituacao, causaInternacao, plantasUsadas, outras[3];

    static CondicoesDeSaude daLinha(const Linha& r);
};
using Cond = CondicoesDeSaude;

constexpr std::pair<std::string_view, bool Cond::*> kMarcas[] = {
    {"Gestante", &Cond::gestante},
    {"Fumante", &Cond::fumante},
    {"UsaAlcool", &Cond::usaAlcool},
    {"UsaDrogas", &Cond::usaDrogas},
    {"Hipertenso", &Cond::hipertenso},
    {"Diabetes", &Cond::diabetes},
    {"AVC", &Cond::avc},
    {"Infarto", &Cond::infarto},
    {"DoencaCardiaca", &Cond::doencaCardiaca},
    {"CardiacaInsuficiencia", &Cond::cardiacaInsuficiencia},
    {"CardiacaOutra", &Cond::cardiacaOutra},
    {"CardiacaNaoSabe", &Cond::cardiacaNaoSabe},
    {"ProblemasRins", &Cond::problemasRins},
    {"RenalInsuficiencia", &Cond::renalInsuficiencia},
    {"RenalOutra", &Cond::renalOutra},
    {"RenalNaoSabe", &Cond::renalNaoSabe},
    {"DoencaPulmao", &Cond::doencaPulmao},
    {"PulmaoAsma", &Cond::pulmaoAsma},
    {"PulmaoDpoc", &Cond::pulmaoDpoc},
    {"PulmaoOutra", &Cond::pulmaoOutra},
    {"PulmaoNaoSabe", &Cond::pulmaoNaoSabe},
    {"Hanseniase", &Cond::hanseniase},
    {"Tuberculose", &Cond::tuberculose},
    {"Cancer", &Cond::cancer},
    {"Internacao12Meses", &Cond::internacao12Meses},
    {"ProblemaMental", &Cond::problemaMental},
    {"Acamado", &Cond::acamado},
    {"Domiciliado", &Cond::domiciliado},
    {"PraticasComplementares", &Cond::praticasComplementares},
    {"PlantasMedicinais", &Cond::plantasMedicinais}};

CondicoesDeSaude CondicoesDeSaude::daLinha(const Linha& r) {
    Cond c{.maternidade = r.texto("MaternidadeReferencia"),
           .pesoSituacao = r.texto("PesoSituacao"),
           .causaInternacao = r.texto("Internacao12MesesDesc"),
           .plantasUsadas = r.texto("PlantasMedicinaisDesc"),
           .outras = {r.texto("condicoesSaude1"), r.texto("condicoesSaude2"),
                      r.texto("condicoesSaude3")}};
    // The clinic's screens store "Sim" in any case; an empty mark is never one.
    for (const auto& [coluna, marca] : kMarcas) c.*marca = maiusculas(r.texto(coluna)) == "SIM";
    return c;
}

// A disease and its kinds: the kinds count only when the disease itself is marked.
struct Doenca {
    bool Cond::*marca;
    std::string_view elemento;
    struct Tipo {
        bool Cond::*marca;
        std::string_view codigo;
    };
    Tipo tipos[4];
};

constexpr Doenca kDoencas[] = {
    {&Cond::doencaCardiaca,
     "doencaCardiaca",
     {{&Cond::cardiacaInsuficiencia, "24"},
      {&Cond::cardiacaOutra, "25"},
      {&Cond::cardiacaNaoSabe, "26"}}},
    {&Cond::doencaPulmao,
     "doencaRespiratoria",
     {{&Cond::pulmaoAsma, "30"},
      {&Cond::pulmaoDpoc, "31"},
      {&Cond::pulmaoOutra, "32"},
      {&Cond::pulmaoNaoSabe, "33"}}},
    {&Cond::problemasRins,
     "doencaRins",
     {{&Cond::renalInsuficiencia, "27"}, {&Cond::renalOutra, "28"}, {&Cond::renalNaoSabe, "29"}}},
};

struct Status {
    std::string_view elemento;
    bool Cond::*marca;
};

// The status lines before and after statusEhGestante, in the form's order.
constexpr Status kStatusAntesDaGestacao[] = {
    {"statusEhDependenteAlcool", &Cond::usaAlcool},
    {"statusEhDependenteOutrasDrogas", &Cond::usaDrogas},
    {"statusEhFumante", &Cond::fumante},
};
constexpr Status kStatusDepoisDaGestacao[] = {
    {"statusEstaAcamado", &Cond::acamado},
    {"statusEstaDomiciliado", &Cond::domiciliado},
    {"statusTemDiabetes", &Cond::diabetes},
    {"statusTemDoencaRespiratoria", &Cond::doencaPulmao},
    {"statusTemHanseniase", &Cond::hanseniase},
    {"statusTemHipertensaoArterial", &Cond::hipertenso},
    {"statusTemTeveCancer", &Cond::cancer},
    {"statusTemTeveDoencasRins", &Cond::problemasRins},
    {"statusTemTuberculose", &Cond::tuberculose},
    {"statusTeveAvcDerrame", &Cond::avc},
    {"statusTeveDoencaCardiaca", &Cond::doencaCardiaca},
    {"statusTeveInfarto", &Cond::infarto},
    {"statusTeveInternadoEm12Meses", &Cond::internacao12Meses},
    {"statusUsaOutrasPraticasIntegrativasOuComplementares", &Cond::praticasComplementares},
    {"statusUsaPlantaMedicinais", &Cond::plantasMedicinais},
    {"statusDiagnosticoMental", &Cond::problemaMental},
};

void escreveStatus(const Cond& c, std::span<const Status> lista, RegistroBuffer& b) {
    for (const Status& st : lista) b.adicionaElemento(st.elemento, verdade(c.*st.marca));
}

std::string situacaoPeso(const Cond& c) {
    const std::string peso = maiusculas(c.pesoSituacao);
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

// The IBGE code of the place a look-up of the main query found ("S" and the code, which may
// be empty), none when it found none.
std::optional<std::string> municipioAchado(const Linha& r, std::string_view coluna) {
    if (r.nulo(coluna)) return std::nullopt;
    return r.texto(coluna).substr(1);
}

// A citizen as the main query gives it; the registrations' common part reads its code and
// register too.
struct Pessoa {
    std::string codigo, nome, cartaoSus, cartaoSusTitular, nacionalidade, mae, pai, fone, paisEsus,
        raca, sexo, etnia, deficiencia, cns, cbo, ine, responsavel, nomeProfissional;
    bool temCepNascimento{}, frequentaEscola{};
    // The place of the birth postcode, and the one of the birthplace's name and state where
    // there is no postcode and both are given; none when none matches.
    std::optional<std::string> municipioDoCep, municipioDaNaturalidade;
    // None for no date, or the screen's empty mask.
    std::optional<DataHora> nascimento;
    std::int64_t microArea{};
    // None when the citizen has no row of health conditions.
    std::optional<CondicoesDeSaude> condicoes;

    static Pessoa daLinha(const Linha& r) {
        Pessoa p{r.texto("codigo"),
                 r.texto("nome"),
                 r.texto("cartaosus"),
                 r.texto("cartaosustitular"),
                 r.texto("nacionalidade"),
                 r.texto("nomemae"),
                 r.texto("nomepai"),
                 r.texto("fone"),
                 r.texto("codigopaisesus"),
                 r.texto("raca"),
                 r.texto("sexo"),
                 r.texto("codigoetnia"),
                 r.texto("codigoesusdeficiencia"),
                 r.texto("CNS"),
                 r.texto("CBO"),
                 r.texto("INE"),
                 r.texto("profissionalresponsavel"),
                 r.texto("nomeprofissional"),
                 !r.texto("cepmunicnasc").empty(),
                 r.texto("FrequentaEscola") == "S",
                 municipioAchado(r, "municipiocepnascimento"),
                 std::nullopt,
                 std::nullopt,
                 r.inteiro("microarea"),
                 std::nullopt};
        if (!r.texto("naturalidade").empty() && !r.texto("ufnaturalidade").empty())
            p.municipioDaNaturalidade = municipioAchado(r, "municipionascimento");
        if (const std::string data = r.texto("dtnascimento"); !data.empty() && data != kMascara)
            p.nascimento = r.dataHora("dtnascimento");
        if (!r.nulo("codigocondicoes")) p.condicoes = CondicoesDeSaude::daLinha(r);
        return p;
    }

    static constexpr std::string_view kMascara = "  /  /    ";
};

class FichaCadastroIndividual : public FichaDeCadastro {
  public:
    explicit FichaCadastroIndividual(Execucao& ex)
        : FichaDeCadastro(
              ex, TipoFicha::CadastroIndividual,
              std::string(kColunas) + colunaDaSelecao(kCondicoes) + std::string(kOrigem)),
          profissionalGenerico(ex.transacao, kProfissionalGenerico) {}

    // The citizen, read before its envelope; the team code of ineDadoSerializado: the
    // responsible professional's, else the generic one's, else none.
    void preparaRegistro(const Linha& r) override {
        FichaDeCadastro::preparaRegistro(r);
        pessoa = Pessoa::daLinha(r);
        if (!apara(pessoa.ine).empty()) {
            ineDado = pessoa.ine;
        } else if (!apara(generico.ine).empty()) {
            ineDado = generico.ine;
            execucao.log("Utilizado Ine genérico do Cód. Profiss. Genérico para a pessoa: " +
                         pessoa.codigo);
        } else {
            ineDado.reset();
            execucao.erroELog(mensagemSemIne(pessoa.nomeProfissional));
        }
    }

    std::span<const CondicaoDeSelecao> condicoes() const override { return kCondicoes; }

    ValoresEnvelope envelope(const Linha& r) const override { return envelopeDoCadastro(r); }

    bool corpo(const Linha&, const ValoresEnvelope& valores, RegistroBuffer& b) override {
        const Pessoa& p = pessoa;
        if (p.condicoes) escreveCondicoesDeSaude(p, *p.condicoes, b);
        b.adiciona("<emSituacaoDeRua>");
        b.adiciona("<statusSituacaoRua>false</statusSituacaoRua>");
        b.adiciona("</emSituacaoDeRua>");
        b.adicionaElemento("fichaAtualizada", verdade(transmissao.fichaAtualizada()));
        escreveIdentificacao(p, b);
        escreveInformacoesSocioDemograficas(p, b);
        b.adiciona(
            "<statusTermoRecusaCadastroIndividualAtencaoBasica>false</"
            "statusTermoRecusaCadastroIndividualAtencaoBasica>");
        b.adiciona("<tpCdsOrigem>3</tpCdsOrigem>");
        b.adicionaElemento("uuid", transmissao.uuid);
        b.adicionaElemento("uuidFichaOriginadora", transmissao.uuidAnterior);
        escreveHeader(p, valores, b);
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

    static void escreveCondicoesDeSaude(const Pessoa& p, const Cond& c, RegistroBuffer& b) {
        b.adiciona("<condicoesDeSaude>");
        if (c.internacao12Meses)
            b.adicionaElemento("descricaoCausaInternacaoEm12Meses", c.causaInternacao);
        b.adicionaElemento("descricaoOutraCondicao1", c.outras[0]);
        b.adicionaElemento("descricaoOutraCondicao2", c.outras[1]);
        b.adicionaElemento("descricaoOutraCondicao3", c.outras[2]);
        if (!c.plantasUsadas.empty())
            b.adicionaElemento("descricaoPlantasMedicinaisUsadas", c.plantasUsadas);
        for (const Doenca& d : kDoencas) {
            if (!(c.*d.marca)) continue;
            for (const Doenca::Tipo& t : d.tipos)
                if (t.marca && c.*t.marca) b.adicionaNumero(d.elemento, t.codigo);
        }
        if (c.gestante) b.adicionaElemento("maternidadeDeReferencia", c.maternidade);
        b.adicionaNumero("situacaoPeso", situacaoPeso(c));
        escreveStatus(c, kStatusAntesDaGestacao, b);
        if (feminino(p) && c.gestante) b.adiciona("<statusEhGestante>true</statusEhGestante>");
        escreveStatus(c, kStatusDepoisDaGestacao, b);
        b.adiciona("</condicoesDeSaude>");
    }

    static bool feminino(const Pessoa& p) { return maiusculas(p.sexo) == "FEMININO"; }

    static std::string sexo(const Pessoa& p) {
        const std::string s = maiusculas(p.sexo);
        return s == "FEMININO" ? "1" : s == "MASCULINO" ? "0" : "4";
    }

    void escreveIdentificacao(const Pessoa& p, RegistroBuffer& b) {
        const bool outroResponsavel =
            !p.cartaoSusTitular.empty() && p.cartaoSusTitular != p.cartaoSus;
        const bool brasileiro = p.nacionalidade == "010" || p.nacionalidade.empty();

        b.adiciona("<identificacaoUsuarioCidadao>");
        b.adicionaElemento("nomeSocial", p.nome);
        if (const auto ibge = municipioDeNascimento(p))
            b.adicionaElemento("codigoIbgeMunicipioNascimento", *ibge);
        b.adicionaNumero("dataNascimentoCidadao", dataDeNascimento(p));
        b.adicionaNumero("nacionalidadeCidadao", brasileiro ? "1" : "3");
        b.adicionaElemento("nomeCidadao", p.nome);
        b.adicionaElemento("nomeMaeCidadao", p.mae);
        b.adicionaElemento("cnsCidadao", p.cartaoSus);
        if (outroResponsavel) b.adicionaElemento("cnsResponsavelFamiliar", p.cartaoSusTitular);
        // A mobile number has ten or eleven digits; longer texts are cut to eleven.
        if (const std::string fone = SoNumeros(p.fone).substr(0, 11);
            fone.size() == 10 || fone.size() == 11)
            b.adicionaElemento("telefoneCelular", fone);
        b.adicionaNumero("paisNascimento", brasileiro ? "31" : p.paisEsus);
        b.adicionaNumero("racaCorCidadao", racaCor(p.raca));
        b.adicionaNumero("sexoCidadao", sexo(p));
        b.adicionaElemento("statusEhResponsavel", verdade(!outroResponsavel));
        if (p.raca == "05") b.adicionaNumero("etnia", p.etnia);
        if (!p.pai.empty() && maiusculas(p.pai) != "DESCONHECIDO")
            b.adicionaElemento("nomePaiCidadao", p.pai);
        else
            b.adiciona("<desconheceNomePai>true</desconheceNomePai>");
        b.adicionaElemento("microArea", ZeroEsquerdaInt(p.microArea, 2));
        b.adiciona("<stForaArea>false</stForaArea>");
        b.adiciona("</identificacaoUsuarioCidadao>");
    }

    // By the birth postcode when there is one, else by the birthplace's name and state.
    std::optional<std::string> municipioDeNascimento(const Pessoa& p) {
        if (!p.temCepNascimento) return p.municipioDaNaturalidade;
        if (!p.municipioDoCep)
            execucao.erroELog("CEP de nascimento não encontrado para a pessoa " + p.nome);
        return p.municipioDoCep;
    }

    // Empty, after its message, when the citizen has no birth date.
    std::string dataDeNascimento(const Pessoa& p) {
        if (!p.nascimento)
            execucao.erroELog("Data de nascimento não encontrada para a pessoa " + p.nome);
        return DataParaLong(p.nascimento);
    }

    void escreveInformacoesSocioDemograficas(const Pessoa& p, RegistroBuffer& b) {
        b.adiciona("<informacoesSocioDemograficas>");
        if (!p.deficiencia.empty()) b.adicionaNumero("deficienciasCidadao", p.deficiencia);
        b.adicionaElemento("statusFrequentaEscola", verdade(p.frequentaEscola));
        b.adicionaElemento("statusTemAlgumaDeficiencia", verdade(!p.deficiencia.empty()));
        b.adiciona("</informacoesSocioDemograficas>");
    }

    // The responsible professional, the generic one standing in for what is missing.
    void escreveHeader(const Pessoa& pessoa, ValoresEnvelope v, RegistroBuffer& b) {
        ProfissionalHeader& p = v.profissional;
        p.CNS = pessoa.cns;
        if (p.CNS.empty()) {
            p.CNS = generico.cns;
            execucao.log("Utilizado CNS genérico para a pessoa: " + pessoa.codigo);
        }
        p.CBO = pessoa.cbo;
        if (p.CBO.empty()) {
            p.CBO = generico.cbo;
            execucao.log("Utilizado CBO genérico para o profissional: " + pessoa.responsavel);
        }
        p.ine = pessoa.ine;
        if (!temIne(p))
            execucao.log("Utilizado Informe o INE o profissional: " + pessoa.responsavel);
        escreveHeaderTransport(b, v);
    }

    Consulta profissionalGenerico;
    // Of the record being written, read by preparaRegistro.
    Pessoa pessoa;
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
