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

// Households whose register row says "Sim", with their responsible person, neighbourhood and
// responsible professional, and the look-ups of each household in the same statement: its
// members, the citizens whose head is its responsible person (counted as rows and as codes),
// and the municipality of the residence's postcode, the first place that matches, given as "S"
// and its IBGE code, which may be empty (NULL when no place matches).
constexpr std::string_view kFamilias = R"(
select f.codigo, f.abastecimentoagua, f.sedeterreno,
f.propriterreno, f.destinolixo, f.destinofezes, f.sedeterreno,
f.TipoHabitacao, f.CasaPropria, f.LuzEletrica, f.TratamentoAgua,
f.numpecas, f.LogradouroFrontal, f.tipodomicilio,
f.temgato, f.temcachorro, f.tempassaro, f.temoutros, f.quantosanimais,
ft.uuid, ft.CodigoTransmissaoEsus,
b.nome as nomebairro, p.nome, p.profissionalresponsavel,
p.cepresidencia, p.endereco, p.endnum, p.microarea,
p.dtnascimento, p.cartaosus, profissionais.nome as nomeprofissional,
PROFISSIONAIS.CNS, PROFISSIONAIS.CBO, PROFISSIONAIS.ine,
(select count(*) from pessoas m where m.codtitular = f.codigo) as moradores,
(select count(m.codigo) from pessoas m where m.codtitular = f.codigo) as membros,
(select first 1 'S' || coalesce(l.codibge, '') from cep c
  inner join localidade l on l.codigo = c.codlocalidade
  where c.codcep = p.cepresidencia) as municipiocepresidencia
from familias f
left outer join familiastransmissao ft on ft.codigo = f.codigo
inner join pessoas p on p.codigo = f.codigo
left outer join bairros b on b.codigo = p.codbairro
left outer join PROFISSIONAIS ON PROFISSIONAIS.CODIGO=f.profissionalresponsavel
where ft.transmitiresus = :ptransmitir
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

std::string verdade(bool valor) {
    return valor ? "true" : "false";
}

class FichaCadastroDomiciliar : public FichaDeCadastro {
  public:
    explicit FichaCadastroDomiciliar(Execucao& ex)
        : FichaDeCadastro(ex, TipoFicha::CadastroDomiciliar, kFamilias),
          profissionalGenerico(ex.transacao, kProfissionalGenerico) {}

    // The team code of ineDadoSerializado: the household professional's, else the generic
    // one's, else none.
    void preparaRegistro(const Linha& r) override {
        FichaDeCadastro::preparaRegistro(r);
        const std::string ine = r.texto("ine");
        if (!apara(ine).empty()) {
            ineDado = ine;
        } else if (!apara(generico.ine).empty()) {
            ineDado = generico.ine;
            execucao.log("Utilizado ine genérico para o profissional: " +
                         r.texto("profissionalresponsavel"));
        } else {
            ineDado.reset();
            execucao.erroCadastro(mensagemSemIne(r.texto("nomeprofissional")));
        }
    }

    ValoresEnvelope envelope(const Linha& r) const override { return envelopeDoCadastro(r); }

    bool corpo(const Linha& r, const ValoresEnvelope& valores, RegistroBuffer& b) override {
        for (const auto& [coluna, codigo] :
             {std::pair{"temgato", "128"}, std::pair{"temcachorro", "129"},
              std::pair{"tempassaro", "130"}, std::pair{"temoutros", "132"}})
            if (r.texto(coluna) == "Sim") b.adicionaNumero("animaisNoDomicilio", codigo);
        escreveCondicaoMoradia(r, b);
        escreveEndereco(r, b);
        escreveFamilia(r, b);
        b.adicionaElemento("fichaAtualizada", verdade(transmissao.fichaAtualizada()));
        const bool temAnimais = r.inteiro("quantosanimais") >= 1;
        if (temAnimais) b.adicionaElemento("quantosAnimaisNoDomicilio", r.texto("quantosanimais"));
        b.adicionaElemento("stAnimaisNoDomicilio", verdade(temAnimais));
        b.adiciona("<statusTermoRecusa>false</statusTermoRecusa>");
        b.adiciona("<tpCdsOrigem>3</tpCdsOrigem>");
        b.adicionaElemento("uuid", transmissao.uuid);
        b.adicionaElemento("uuidFichaOriginadora", transmissao.uuidAnterior);
        b.adicionaNumero("tipoDeImovel", "1");
        escreveHeader(r, valores, b);
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
    void escreveCodigo(const Linha& r, const TabelaCodigos& t, std::string_view coluna,
                       RegistroBuffer& b) {
        if (const auto codigo = codigoDe(t.codigos, r.texto(coluna))) {
            b.adicionaNumero(t.elemento, *codigo);
        } else if (!t.outro.empty()) {
            b.adicionaNumero(t.elemento, t.outro);
        } else {
            execucao.log(std::string(kAvisoHabitacao) + std::string(t.aviso) +
                         " da pessoa: " + r.texto("codigo"));
        }
    }

    void escreveCondicaoMoradia(const Linha& r, RegistroBuffer& b) {
        const std::string codigo = r.texto("codigo");
        b.adiciona("<condicaoMoradia>");
        escreveCodigo(r, {"abastecimentoAgua", kAbastecimentoAgua, "121", {}}, "abastecimentoagua",
                      b);
        if (r.texto("sedeterreno") == "Rural")
            escreveCodigo(r, {"areaProducaoRural", kAreaProducaoRural, {}, {}}, "propriterreno", b);
        escreveCodigo(r, {"destinoLixo", kDestinoLixo, "96", {}}, "destinolixo", b);
        escreveCodigo(r,
                      {"formaEscoamentoBanheiro", kEscoamentoBanheiro, {}, " (Destino das Fezes)"},
                      "destinofezes", b);
        escreveCodigo(r, {"localizacao", kLocalizacao, {}, " (Urbano ou Rural)"}, "sedeterreno", b);
        escreveCodigo(r,
                      {"materialPredominanteParedesExtDomicilio",
                       kMaterialParedes,
                       {},
                       " (Tipo de Habitação)"},
                      "TipoHabitacao", b);
        if (r.inteiro("numpecas") >= 1)
            b.adicionaElemento("nuComodos", r.texto("numpecas"));
        else
            execucao.log("Informe o número de cômodos para o codigo: " + codigo);
        const std::int64_t quantos = r.inteiro("moradores");
        b.adicionaElemento("nuMoradores", quantos < 1 ? "1" : std::to_string(quantos));
        escreveCodigo(r, {"situacaoMoradiaPosseTerra", kPosseTerra, {}, " (Propriedade)"},
                      "CasaPropria", b);
        escreveCodigo(r,
                      {"stDisponibilidadeEnergiaEletrica", kEnergiaEletrica, {}, " (Luz Elétrica)"},
                      "LuzEletrica", b);
        escreveCodigo(r, {"tipoAcessoDomicilio", kAcessoDomicilio, "92", {}}, "LogradouroFrontal",
                      b);
        escreveCodigo(r, {"tipoDomicilio", kTipoDomicilio, "88", {}}, "tipodomicilio", b);
        escreveCodigo(r, {"aguaConsumoDomicilio", kAguaConsumo, {}, " (Tratamento de Água)"},
                      "TratamentoAgua", b);
        b.adiciona("</condicaoMoradia>");
    }

    void escreveEndereco(const Linha& r, RegistroBuffer& b) {
        const std::string cep = r.texto("cepresidencia");
        const std::string endnum = r.texto("endnum");
        b.adiciona("<enderecoLocalPermanencia>");
        b.adicionaElemento("bairro", r.texto("nomebairro"));
        b.adicionaElemento("cep", cep);
        if (!cep.empty()) {
            if (!r.nulo("municipiocepresidencia"))
                b.adicionaElemento("codigoIbgeMunicipio",
                                   r.texto("municipiocepresidencia").substr(1));
            else
                execucao.erroELog("CEP de residencia não encontrado para a pessoa " +
                                  r.texto("nome"));
        }
        b.adicionaElemento("nomeLogradouro", r.texto("endereco"));
        if (!endnum.empty())
            b.adicionaElemento("numero", endnum);
        else
            execucao.log("Favor complementar o cadastro da pessoa (Número do Endereço): " +
                         r.texto("codigo"));
        b.adiciona("<numeroDneUf>22</numeroDneUf>");
        b.adicionaElemento("tipoLogradouroNumeroDne", tipoLogradouro(r.texto("endereco")));
        b.adicionaElemento("stSemNumero", verdade(endnum.empty()));
        b.adicionaElemento("microArea", ZeroEsquerdaInt(r.inteiro("microarea"), 2));
        b.adiciona("<stForaArea>false</stForaArea>");
        b.adiciona("</enderecoLocalPermanencia>");
    }

    void escreveFamilia(const Linha& r, RegistroBuffer& b) {
        const std::string codigo = r.texto("codigo");
        b.adiciona("<familias>");
        b.adicionaNumero("dataNascimentoResponsavel", DataParaLong(r.dataHora("dtnascimento")));
        b.adicionaElemento("numeroCnsResponsavel", r.texto("cartaosus"));
        const std::int64_t quantos = r.inteiro("membros");
        if (quantos == 0)
            execucao.erroELog("Família de codigo " + codigo + " está com 0 integrantes!");
        b.adicionaNumero("numeroMembrosFamilia", std::to_string(quantos));
        b.adicionaElemento("numeroProntuario", codigo);
        b.adiciona("<stMudanca>false</stMudanca>");
        b.adiciona("</familias>");
    }

    // The household's professional, the generic one standing in for a missing CNS or CBO.
    void escreveHeader(const Linha& r, ValoresEnvelope v, RegistroBuffer& b) {
        ProfissionalHeader& p = v.profissional;
        p.CNS = r.texto("CNS");
        if (p.CNS.empty()) p.CNS = generico.cns;
        p.CBO = r.texto("CBO");
        if (p.CBO.empty()) p.CBO = generico.cbo;
        p.ine = r.texto("ine");
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
