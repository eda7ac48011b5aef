// The household registration form: one per household whose register row is marked for sending.
// A household's code is also its responsible person's, whose address and data it carries.

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
select cns, cbo, ine from profissionais where codigo = :pcodigo
)";

// The households the register marks for sending ("Sim" in any spelling): those the form takes
// have their responsible person in the register of citizens and are marked as the clinic's
// screens write it.
constexpr CondicaoDeSelecao kCondicoes[] = {
    {"p.codigo IS NOT NULL", "responsável pelo domicílio não está no cadastro de pessoas"},
    {"ft.transmitiresus = 'Sim'", kMotivoMarcaDeEnvio, "transmitiresus"},
};

// The household with its responsible person, neighbourhood and responsible professional, and
// the look-ups of each household in the same statement: its members, the citizens whose head
// is its responsible person (counted as rows and as codes), and the municipality of the
// residence's postcode, the first place that matches, given as "S" and its IBGE code, which
// may be empty (NULL when no place matches).
constexpr std::string_view kColunas = R"(
select f.codigo, f.abastecimentoagua, f.sedeterreno,
f.propriterreno, f.destinolixo, f.destinofezes,
f.TipoHabitacao, f.CasaPropria, f.LuzEletrica, f.TratamentoAgua,
f.numpecas, f.LogradouroFrontal, f.tipodomicilio,
f.temgato, f.temcachorro, f.tempassaro, f.temoutros, f.quantosanimais,
ft.uuid, ft.CodigoTransmissaoEsus, ft.transmitiresus,
b.nome as nomebairro, p.nome, p.profissionalresponsavel,
p.cepresidencia, p.endereco, p.endnum, p.microarea,
p.dtnascimento, p.cartaosus, profissionais.nome as nomeprofissional,
PROFISSIONAIS.CNS, PROFISSIONAIS.CBO, PROFISSIONAIS.INE,
(select count(*) from pessoas m where m.codtitular = f.codigo) as moradores,
(select count(m.codigo) from pessoas m where m.codtitular = f.codigo) as membros,
(select first 1 'S' || coalesce(l.codibge, '') from cep c
  inner join localidade l on l.codigo = c.codlocalidade
  where c.codcep = p.cepresidencia) as municipiocepresidencia,
)";

// The households lead, in their table's order, whether or not their person is found.
constexpr std::string_view kOrigem = R"(
from familias f
left outer join familiastransmissao ft on ft.codigo = f.codigo
left outer join pessoas p on p.codigo = f.codigo
left outer join bairros b on b.codigo = p.codbairro
left outer join PROFISSIONAIS ON PROFISSIONAIS.CODIGO=f.profissionalresponsavel
where upper(trim(ft.transmitiresus)) = 'SIM'
)";

// One answer of the registration screen, as stored, and its e-SUS AB code.
struct Codigo {
    std::string_view texto;
    std::string_view codigo;
};

// A coded element: its answers, and what a value outside them gets: a code of its own, or no
// line and a message asking for the registration to be completed.
struct TabelaCodigos {
    std::string_view elemento;
    std::span<const Codigo> codigos;
    std::string_view outro;
    std::string_view aviso;
};

constexpr Codigo kAbastecimentoAgua[] = {
    {"Rede Geral", "117"}, {"Poço/Nascente", "118"}, {"Cisterna", "119"}, {"Carro pipa", "120"}};
constexpr Codigo kAreaProducaoRural[] = {{"Proprietário", "101"},
                                         {"Parceiro(a) / Meeiro(a)", "102"},
                                         {"Assentado(a)", "103"},
                                         {"Posseiro", "104"},
                                         {"Arrendatário(a)", "105"},
                                         {"Comodatário(a)", "106"},
                                         {"Beneficiário(a) do banco da terra", "107"},
                                         {"Não se aplica", "108"}};
constexpr Codigo kDestinoLixo[] = {
    {"Coletado", "93"}, {"Queimado/Enterrado", "94"}, {"Céu Aberto", "95"}};
constexpr Codigo kEscoamentoBanheiro[] = {{"Sistema de Esgoto", "122"},
                                          {"Fossa Séptica", "123"},
                                          {"Fossa Rudimentar", "124"},
                                          {"Latrina", "124"},
                                          {"Rio/Lago", "125"},
                                          {"Céu Aberto", "126"},
                                          {"Outros", "127"}};
constexpr Codigo kLocalizacao[] = {{"Urbano", "83"}, {"Rural", "84"}};
constexpr Codigo kMaterialParedes[] = {{"Alvenaria com revestimento", "109"},
                                       {"Alvenaria sem revestimento", "110"},
                                       {"Taipa com revestimento", "111"},
                                       {"Taipa sem revestimento", "112"},
                                       {"Madeira", "113"},
                                       {"Material aproveitado", "114"},
                                       {"Palha", "115"},
                                       {"Outros", "116"}};
constexpr Codigo kPosseTerra[] = {
    {"Própria", "75"}, {"Financiada", "76"}, {"Alugada", "77"},         {"Arrendada", "78"},
    {"Cedida", "79"},  {"Ocupação", "80"},   {"Situação de rua", "81"}, {"Outra", "82"}};
constexpr Codigo kEnergiaEletrica[] = {{"Sim", "true"}, {"Não", "false"}};
constexpr Codigo kAcessoDomicilio[] = {
    {"Calçamento", "89"}, {"Asfalto", "89"}, {"Saibro", "90"}, {"Terra", "90"}};
constexpr Codigo kTipoDomicilio[] = {{"Casa", "85"}, {"Apartamento", "86"}, {"Cômodo", "87"}};
constexpr Codigo kAguaConsumo[] = {
    {"Filtração", "97"}, {"Fervura", "98"}, {"Cloração", "99"}, {"Sem Tratamento", "100"}};

constexpr std::string_view kAvisoHabitacao = "Favor complementar o cadastro de habitação";

// Every value must match an answer exactly: case, accents and blanks count.
std::optional<std::string_view> codigoDe(std::span<const Codigo> codigos, std::string_view valor) {
    for (const Codigo& c : codigos)
        if (c.texto == valor) return c.codigo;
    return std::nullopt;
}

// "081" (rua) unless the street's name tells an avenue ("008"), looked for anywhere in it.
std::string tipoLogradouro(const std::string& endereco) {
    const std::string nome = maiusculas(endereco);
    if (nome.find("RUA ") != std::string::npos) return "081";
    for (const char* avenida : {"AV. ", "AV ", "AVENIDA"})
        if (nome.find(avenida) != std::string::npos) return "008";
    return "081";
}

// A household as the main query gives it; the registrations' common part reads its code and
// register too.
struct Familia {
    std::string codigo;
    // The animals marked "Sim".
    bool gato{}, cachorro{}, passaro{}, outros{};
    std::int64_t quantosAnimais{}, pecas{}, moradores{}, membros{}, microArea{};
    // The housing answers as stored.
    std::string abastecimentoAgua, sedeTerreno, propriTerreno, destinoLixo, destinoFezes,
        tipoHabitacao, casaPropria, luzEletrica, logradouroFrontal, tipoDomicilio, tratamentoAgua;
    std::string bairro, cep, endereco, numero, nome, cartaoSus;
    std::optional<DataHora> nascimento;
    // The IBGE code of the postcode's place, which may be empty; none when no place matches.
    std::optional<std::string> municipioDoCep;
    std::string cns, cbo, ine, responsavel, nomeProfissional;

    static Familia daLinha(const Linha& r) {
        std::optional<std::string> municipio;
        if (!r.nulo("municipiocepresidencia"))
            municipio = r.texto("municipiocepresidencia").substr(1);
        return {r.texto("codigo"),
                r.texto("temgato") == "Sim",
                r.texto("temcachorro") == "Sim",
                r.texto("tempassaro") == "Sim",
                r.texto("temoutros") == "Sim",
                r.inteiro("quantosanimais"),
                r.inteiro("numpecas"),
                r.inteiro("moradores"),
                r.inteiro("membros"),
                r.inteiro("microarea"),
                r.texto("abastecimentoagua"),
                r.texto("sedeterreno"),
                r.texto("propriterreno"),
                r.texto("destinolixo"),
                r.texto("destinofezes"),
                r.texto("TipoHabitacao"),
                r.texto("CasaPropria"),
                r.texto("LuzEletrica"),
                r.texto("LogradouroFrontal"),
                r.texto("tipodomicilio"),
                r.texto("TratamentoAgua"),
                r.texto("nomebairro"),
                r.texto("cepresidencia"),
                r.texto("endereco"),
                r.texto("endnum"),
                r.texto("nome"),
                r.texto("cartaosus"),
                r.dataHora("dtnascimento"),
                std::move(municipio),
                r.texto("CNS"),
                r.texto("CBO"),
                r.texto("INE"),
                r.texto("profissionalresponsavel"),
                r.texto("nomeprofissional")};
    }
};

class FichaCadastroDomiciliar : public FichaDeCadastro {
  public:
    explicit FichaCadastroDomiciliar(Execucao& ex)
        : FichaDeCadastro(
              ex, TipoFicha::CadastroDomiciliar,
              std::string(kColunas) + colunaDaSelecao(kCondicoes) + std::string(kOrigem)),
          profissionalGenerico(ex.transacao, kProfissionalGenerico) {}

    // The household, read before its envelope; the team code of ineDadoSerializado: the
    // household professional's, else the generic one's, else none.
    void preparaRegistro(const Linha& r) override {
        FichaDeCadastro::preparaRegistro(r);
        familia = Familia::daLinha(r);
        if (!apara(familia.ine).empty()) {
            ineDado = familia.ine;
        } else if (!apara(generico.ine).empty()) {
            ineDado = generico.ine;
            execucao.log("Utilizado ine genérico para o profissional: " + familia.responsavel);
        } else {
            ineDado.reset();
            execucao.erroCadastro(mensagemSemIne(familia.nomeProfissional));
        }
    }

    std::span<const CondicaoDeSelecao> condicoes() const override { return kCondicoes; }

    ValoresEnvelope envelope(const Linha& r) const override { return envelopeDoCadastro(r); }

    bool corpo(const Linha&, const ValoresEnvelope& valores, RegistroBuffer& b) override {
        const Familia& f = familia;
        for (const auto& [tem, codigo] : {std::pair{f.gato, "128"}, std::pair{f.cachorro, "129"},
                                          std::pair{f.passaro, "130"}, std::pair{f.outros, "132"}})
            if (tem) b.adicionaNumero("animaisNoDomicilio", codigo);
        escreveCondicaoMoradia(f, b);
        escreveEndereco(f, b);
        escreveFamilia(f, b);
        b.adicionaElemento("fichaAtualizada", verdade(transmissao.fichaAtualizada()));
        const bool temAnimais = f.quantosAnimais >= 1;
        if (temAnimais)
            b.adicionaElemento("quantosAnimaisNoDomicilio", std::to_string(f.quantosAnimais));
        b.adicionaElemento("stAnimaisNoDomicilio", verdade(temAnimais));
        b.adiciona("<statusTermoRecusa>false</statusTermoRecusa>");
        b.adiciona("<tpCdsOrigem>3</tpCdsOrigem>");
        b.adicionaElemento("uuid", transmissao.uuid);
        b.adicionaElemento("uuidFichaOriginadora", transmissao.uuidAnterior);
        b.adicionaNumero("tipoDeImovel", "1");
        escreveHeader(f, valores, b);
        return true;
    }

  private:
    ProfissionalGenerico leProfissionalGenerico() override {
        profissionalGenerico.parametro("pcodigo", execucao.parametros.ProfissionalGenerico);
        const std::vector<Linha>& linhas = profissionalGenerico.abre();
        if (linhas.empty()) throw std::logic_error(kSemProfissionalGenerico);
        const Linha& p = linhas.front();
        return {p.texto("cns"), p.texto("cbo"), p.texto("ine")};
    }

    // The element of a coded answer; outside the table, its code for "other" or, where it has
    // none, no line and a message naming the household.
    void escreveCodigo(const TabelaCodigos& t, std::string_view valor, RegistroBuffer& b) {
        if (const auto codigo = codigoDe(t.codigos, valor)) {
            b.adicionaNumero(t.elemento, *codigo);
        } else if (!t.outro.empty()) {
            b.adicionaNumero(t.elemento, t.outro);
        } else {
            execucao.log(std::string(kAvisoHabitacao) + std::string(t.aviso) +
                         " da pessoa: " + familia.codigo);
        }
    }

    void escreveCondicaoMoradia(const Familia& f, RegistroBuffer& b) {
        b.adiciona("<condicaoMoradia>");
        escreveCodigo({"abastecimentoAgua", kAbastecimentoAgua, "121", {}}, f.abastecimentoAgua, b);
        if (f.sedeTerreno == "Rural")
            escreveCodigo({"areaProducaoRural", kAreaProducaoRural, {}, {}}, f.propriTerreno, b);
        escreveCodigo({"destinoLixo", kDestinoLixo, "96", {}}, f.destinoLixo, b);
        escreveCodigo({"formaEscoamentoBanheiro", kEscoamentoBanheiro, {}, " (Destino das Fezes)"},
                      f.destinoFezes, b);
        escreveCodigo({"localizacao", kLocalizacao, {}, " (Urbano ou Rural)"}, f.sedeTerreno, b);
        escreveCodigo({"materialPredominanteParedesExtDomicilio",
                       kMaterialParedes,
                       {},
                       " (Tipo de Habitação)"},
                      f.tipoHabitacao, b);
        if (f.pecas >= 1)
            b.adicionaElemento("nuComodos", std::to_string(f.pecas));
        else
            execucao.log("Informe o número de cômodos para o codigo: " + f.codigo);
        b.adicionaElemento("nuMoradores", f.moradores < 1 ? "1" : std::to_string(f.moradores));
        escreveCodigo({"situacaoMoradiaPosseTerra", kPosseTerra, {}, " (Propriedade)"},
                      f.casaPropria, b);
        escreveCodigo({"stDisponibilidadeEnergiaEletrica", kEnergiaEletrica, {}, " (Luz Elétrica)"},
                      f.luzEletrica, b);
        escreveCodigo({"tipoAcessoDomicilio", kAcessoDomicilio, "92", {}}, f.logradouroFrontal, b);
        escreveCodigo({"tipoDomicilio", kTipoDomicilio, "88", {}}, f.tipoDomicilio, b);
        escreveCodigo({"aguaConsumoDomicilio", kAguaConsumo, {}, " (Tratamento de Água)"},
                      f.tratamentoAgua, b);
        b.adiciona("</condicaoMoradia>");
    }

    void escreveEndereco(const Familia& f, RegistroBuffer& b) {
        b.adiciona("<enderecoLocalPermanencia>");
        b.adicionaElemento("bairro", f.bairro);
        b.adicionaElemento("cep", f.cep);
        if (!f.cep.empty()) {
            if (f.municipioDoCep)
                b.adicionaElemento("codigoIbgeMunicipio", *f.municipioDoCep);
            else
                execucao.erroELog("CEP de residencia não encontrado para a pessoa " + f.nome);
        }
        b.adicionaElemento("nomeLogradouro", f.endereco);
        if (!f.numero.empty())
            b.adicionaElemento("numero", f.numero);
        else
            execucao.log("Favor complementar o cadastro da pessoa (Número do Endereço): " +
                         f.codigo);
        b.adiciona("<numeroDneUf>22</numeroDneUf>");
        b.adicionaElemento("tipoLogradouroNumeroDne", tipoLogradouro(f.endereco));
        b.adicionaElemento("stSemNumero", verdade(f.numero.empty()));
        b.adicionaElemento("microArea", ZeroEsquerdaInt(f.microArea, 2));
        b.adiciona("<stForaArea>false</stForaArea>");
        b.adiciona("</enderecoLocalPermanencia>");
    }

    void escreveFamilia(const Familia& f, RegistroBuffer& b) {
        b.adiciona("<familias>");
        b.adicionaNumero("dataNascimentoResponsavel", DataParaLong(f.nascimento));
        b.adicionaElemento("numeroCnsResponsavel", f.cartaoSus);
        if (f.membros == 0)
            execucao.erroELog("Família de codigo " + f.codigo + " está com 0 integrantes!");
        b.adicionaNumero("numeroMembrosFamilia", std::to_string(f.membros));
        b.adicionaElemento("numeroProntuario", f.codigo);
        b.adiciona("<stMudanca>false</stMudanca>");
        b.adiciona("</familias>");
    }

    // The household's professional, the generic one standing in for a missing CNS or CBO.
    void escreveHeader(const Familia& f, ValoresEnvelope v, RegistroBuffer& b) {
        ProfissionalHeader& p = v.profissional;
        p.CNS = f.cns.empty() ? generico.cns : f.cns;
        p.CBO = f.cbo.empty() ? generico.cbo : f.cbo;
        p.ine = f.ine;
        escreveHeaderTransport(b, v);
    }

    Consulta profissionalGenerico;
    // Of the record being written, read by preparaRegistro.
    Familia familia;
};

// The transport element's opening and closing lines are the envelope's; the body writes its
// own identifiers, origin and headerTransport.
using enum LinhaEnvelope;
constexpr LinhaEnvelope kCabecalho[] = {DeclaracaoXml,       AberturaRaiz, UuidDadoSerializado,
                                        TipoDadoSerializado, CodIbge,      CnesDadoSerializado,
                                        IneDadoSerializado,  NumLote,      AberturaTransporte};
constexpr LinhaEnvelope kRodape[] = {
    FechamentoTransporte, Remetente, Vazia, Originadora, Vazia, Versao, FechamentoRaiz};
constexpr DadosEnvelope kEnvelope{.caminhoNs4 = "cadastrodomiciliar",
                                  .elementoTransporte = "cadastroDomiciliarTransport",
                                  .tipoDado = 3,
                                  .numLote = 3,
                                  .cadastro = true,
                                  .ineDado = RegraIneDado::DoCadastro,
                                  .meioTransporte = {},
                                  .meioInstalacao = "-da1cb4c9-0000-0000-0004-",
                                  .larguraNumero = 11,
                                  .fichaComUnidadeSemZeros = false,
                                  .lotacaoFormPrincipal = false,
                                  .prefixoArquivo = "FichaCadastroDomiciliar_",
                                  .larguraNumeroArquivo = 12,
                                  .cabecalho = kCabecalho,
                                  .rodape = kRodape};

}  // namespace

// The kind shows its status itself, once the generic professional is known to be there.
constinit const DescricaoFicha fichaCadastroDomiciliar{
    .tipo = TipoFicha::CadastroDomiciliar,
    .nome = "cadastro-domiciliar",
    .rotulo = "Ficha de Cadastro Domiciliar/Territorial",
    .status = "Gerando Fichas de Cadastro Domiciliar e Territorial...",
    .emTodas = true,
    .envelope = &kEnvelope,
    .gera = geraFichas<FichaCadastroDomiciliar, false>};

}  // namespace cds
