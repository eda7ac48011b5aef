#include "record/envelope.hpp"

#include <stdexcept>

#include "record/codificacao.hpp"
#include "record/xml.hpp"

namespace cds {
namespace {

using enum LinhaEnvelope;

constexpr std::string_view kMeioAtendimento = "-da1cb4c9-0004-0000-0000-";
constexpr std::string_view kInstalacaoAtendimento = "-da1cb4c9-0000-0000-0004-";
constexpr std::string_view kMeioOdontologico = "-da1cb4c9-0005-0000-0000-";
constexpr std::string_view kInstalacaoOdontologico = "-da1cb4c9-0000-0000-0005-";
constexpr std::string_view kMeioProcedimento = "-da1cb4c9-0007-0000-0000-";
constexpr std::string_view kInstalacaoProcedimento = "-da1cb4c9-0000-0000-0007-";
constexpr std::string_view kMeioVisita = "-da1cb4c9-0008-0000-0000-";
constexpr std::string_view kInstalacaoVisita = "-da1cb4c9-0000-0000-0008-";

// Some lines of a kind's own, then the ending it shares with others.
std::vector<LinhaEnvelope> comFinal(std::initializer_list<LinhaEnvelope> proprias,
                                    const std::vector<LinhaEnvelope>& final) {
    std::vector<LinhaEnvelope> linhas(proprias);
    linhas.insert(linhas.end(), final.begin(), final.end());
    return linhas;
}

const std::vector<DadosTipoFicha>& tabela() {
    static const std::vector<LinhaEnvelope> cabecalhoAtendimento = {DeclaracaoXml,
                                                                    AberturaRaiz,
                                                                    UuidDadoSerializado,
                                                                    TipoDadoSerializado,
                                                                    CodIbge,
                                                                    CnesDadoSerializado,
                                                                    NumLote,
                                                                    Vazia,
                                                                    AberturaTransporte,
                                                                    Vazia,
                                                                    HeaderTransport,
                                                                    Vazia};
    static const std::vector<LinhaEnvelope> rodapeAtendimento = {
        TpCdsOrigem, UuidFicha, FechamentoTransporte, Vazia, Remetente, Vazia, Originadora,
        Vazia,       Versao,    FechamentoRaiz};
    static const std::vector<LinhaEnvelope> cabecalhoCadastro = {
        DeclaracaoXml,       AberturaRaiz, UuidDadoSerializado,
        TipoDadoSerializado, CodIbge,      CnesDadoSerializado,
        IneDadoSerializado,  NumLote,      AberturaTransporte};
    static const std::vector<LinhaEnvelope> rodapeCadastro = {
        FechamentoTransporte, Remetente, Vazia, Originadora, Vazia, Versao, FechamentoRaiz};
    // Dental care, procedures, home visit and collective activity: an empty line also before
    // the root closes.
    static const std::vector<LinhaEnvelope> finalComVazia = {
        FechamentoTransporte, Vazia, Remetente, Vazia, Originadora, Vazia, Versao, Vazia,
        FechamentoRaiz};

    static const std::vector<DadosTipoFicha> tipos = {
        {.tipo = TipoFicha::CadastroIndividual,
         .caminhoNs4 = "cadastroindividual",
         .elementoTransporte = "cadastroIndividualTransport",
         .tipoDado = 2,
         .numLote = 3,
         .cadastro = true,
         .ineDado = RegraIneDado::DoCadastro,
         .meioTransporte = {},
         .meioInstalacao = kInstalacaoAtendimento,
         .larguraNumero = 11,
         .fichaComUnidadeSemZeros = false,
         .lotacaoFormPrincipal = false,
         .prefixoArquivo = "FichaCadastroIndividual_",
         .larguraNumeroArquivo = 11,
         .cabecalho = cabecalhoCadastro,
         .rodape = rodapeCadastro},
        {.tipo = TipoFicha::CadastroDomiciliar,
         .caminhoNs4 = "cadastrodomiciliar",
         .elementoTransporte = "cadastroDomiciliarTransport",
         .tipoDado = 3,
         .numLote = 3,
         .cadastro = true,
         .ineDado = RegraIneDado::DoCadastro,
         .meioTransporte = {},
         .meioInstalacao = kInstalacaoAtendimento,
         .larguraNumero = 11,
         .fichaComUnidadeSemZeros = false,
         .lotacaoFormPrincipal = false,
         .prefixoArquivo = "FichaCadastroDomiciliar_",
         .larguraNumeroArquivo = 12,
         .cabecalho = cabecalhoCadastro,
         .rodape = rodapeCadastro},
        {.tipo = TipoFicha::AtendimentoIndividual,
         .caminhoNs4 = "fichaatendimentoindividualmaster",
         .elementoTransporte = "fichaAtendimentoIndividualMasterTransport",
         .tipoDado = 4,
         .numLote = 2,
         .cadastro = false,
         .ineDado = RegraIneDado::NaoEscrita,
         .meioTransporte = kMeioAtendimento,
         .meioInstalacao = kInstalacaoAtendimento,
         .larguraNumero = 0,
         .fichaComUnidadeSemZeros = true,
         .lotacaoFormPrincipal = true,
         .prefixoArquivo = "FichaAtendimentoIndividual_",
         .larguraNumeroArquivo = 0,
         .cabecalho = cabecalhoAtendimento,
         .rodape = rodapeAtendimento},
        {.tipo = TipoFicha::Procedimento,
         .caminhoNs4 = "fichaprocedimentomaster",
         .elementoTransporte = "fichaProcedimentoMasterTransport",
         .tipoDado = 7,
         .numLote = 2,
         .cadastro = false,
         .ineDado = RegraIneDado::NaoEscrita,
         .meioTransporte = kMeioProcedimento,
         .meioInstalacao = kInstalacaoProcedimento,
         .larguraNumero = 0,
         .fichaComUnidadeSemZeros = false,
         .lotacaoFormPrincipal = false,
         .prefixoArquivo = "FichaProcedimento_",
         .larguraNumeroArquivo = 0,
         .cabecalho = {DeclaracaoXml, AberturaRaiz, Vazia, UuidDadoSerializado, TipoDadoSerializado,
                       CodIbge, CnesDadoSerializado, NumLote, Vazia, AberturaTransporte,
                       HeaderTransport},
         .rodape = comFinal({Vazia}, finalComVazia)},
        {.tipo = TipoFicha::AtendimentoOdontologico,
         .caminhoNs4 = "fichaatendimentoodontologicomaster",
         .elementoTransporte = "fichaAtendimentoOdontologicoMasterTransport",
         .tipoDado = 5,
         .numLote = 2,
         .cadastro = false,
         .ineDado = RegraIneDado::IneDoProfissional,
         .meioTransporte = kMeioOdontologico,
         .meioInstalacao = kInstalacaoOdontologico,
         .larguraNumero = 0,
         .fichaComUnidadeSemZeros = false,
         .lotacaoFormPrincipal = true,
         .prefixoArquivo = "FichaAtendimentoOdontologico_",
         .larguraNumeroArquivo = 0,
         .cabecalho = {DeclaracaoXml, AberturaRaiz, Vazia, UuidDadoSerializado, TipoDadoSerializado,
                       CodIbge, CnesDadoSerializado, IneDadoSerializado, NumLote, Vazia,
                       AberturaTransporte, UuidFicha, TpCdsOrigem},
         .rodape = comFinal({HeaderTransport}, finalComVazia)},
        {.tipo = TipoFicha::VisitaDomiciliar,
         .caminhoNs4 = "fichavisitadomiciliarmaster",
         .elementoTransporte = "fichaVisitaDomiciliarMasterTransport",
         .tipoDado = 8,
         .numLote = 2,
         .cadastro = false,
         .ineDado = RegraIneDado::Vazia,
         .meioTransporte = kMeioVisita,
         .meioInstalacao = kInstalacaoVisita,
         .larguraNumero = 0,
         .fichaComUnidadeSemZeros = false,
         .lotacaoFormPrincipal = false,
         .prefixoArquivo = "FichaVisitaDomiciliar_",
         .larguraNumeroArquivo = 0,
         .cabecalho = {DeclaracaoXml, AberturaRaiz, Vazia, UuidDadoSerializado, TipoDadoSerializado,
                       CodIbge, CnesDadoSerializado, IneDadoSerializado, NumLote, Vazia,
                       AberturaTransporte, UuidFicha, TpCdsOrigem, HeaderTransport},
         .rodape = finalComVazia},
        // The collective activity shares the home visit's middle piece, also in the sender's
        // and originator's identifier.
        {.tipo = TipoFicha::AtividadeColetiva,
         .caminhoNs4 = "fichaatividadecoletiva",
         .elementoTransporte = "fichaAtividadeColetivaTransport",
         .tipoDado = 6,
         .numLote = 2,
         .cadastro = false,
         .ineDado = RegraIneDado::Vazia,
         .meioTransporte = kMeioVisita,
         .meioInstalacao = kMeioVisita,
         .larguraNumero = 11,
         .fichaComUnidadeSemZeros = false,
         .lotacaoFormPrincipal = false,
         .prefixoArquivo = "FichaAtivColetiva_",
         .larguraNumeroArquivo = 0,
         .cabecalho = {DeclaracaoXml, AberturaRaiz, Vazia, UuidDadoSerializado, TipoDadoSerializado,
                       CodIbge, CnesDadoSerializado, IneDadoSerializado, NumLote, Vazia,
                       AberturaTransporte, Vazia, UuidFicha},
         .rodape = comFinal({Vazia, Vazia}, finalComVazia)},
        // Vaccination shares the individual care's identifiers and layout.
        {.tipo = TipoFicha::Vacinacao,
         .caminhoNs4 = "fichavacinacaomaster",
         .elementoTransporte = "fichaVacinacaoMasterTransport",
         .tipoDado = 14,
         .numLote = 2,
         .cadastro = false,
         .ineDado = RegraIneDado::NaoEscrita,
         .meioTransporte = kMeioAtendimento,
         .meioInstalacao = kInstalacaoAtendimento,
         .larguraNumero = 0,
         .fichaComUnidadeSemZeros = true,
         .lotacaoFormPrincipal = true,
         .prefixoArquivo = "FichaVacinacao_",
         .larguraNumeroArquivo = 0,
         .cabecalho = cabecalhoAtendimento,
         .rodape = rodapeAtendimento},
    };
    return tipos;
}

std::string atributoNamespace(std::string_view prefixo, std::string_view caminho) {
    return "xmlns:" + std::string(prefixo) + "=\"" + std::string(BaseNamespace) + "/" +
           std::string(caminho) + "\"";
}

void escreveAberturaRaiz(RegistroBuffer& b, const DadosTipoFicha& d) {
    const std::string ns2 = atributoNamespace("ns2", "dadoinstalacao");
    const std::string ns3 = atributoNamespace("ns3", "dadotransporte");
    const std::string ns4 = atributoNamespace("ns4", d.caminhoNs4);
    if (d.cadastro) {
        b.adiciona("<ns3:dadoTransporteTransportXml");
        b.adiciona(" " + ns2 + " " + ns3);
        b.adiciona(" " + ns4 + ">");
    } else {
        b.adiciona("<ns3:dadoTransporteTransportXml " + ns2 + " " + ns3 + " " + ns4 + ">");
    }
}

void escreveIneDadoSerializado(RegistroBuffer& b, const ValoresEnvelope& v,
                               const DadosTipoFicha& d) {
    constexpr std::string_view tag = "ineDadoSerializado";
    switch (d.ineDado) {
        case RegraIneDado::NaoEscrita:
            break;
        case RegraIneDado::IneDoProfissional:
            // An ine of blanks is no team code: the empty element, as for none.
            b.adicionaElemento(tag,
                               temIne(v.profissional) ? ZeroEsquerda(v.profissional.ine, 10) : "");
            break;
        case RegraIneDado::Vazia:
            b.adicionaElemento(tag, "");
            break;
        case RegraIneDado::DoCadastro:
            if (v.ineDadoSerializado) b.adicionaElemento(tag, *v.ineDadoSerializado);
            break;
    }
}

void escreveInstalacao(RegistroBuffer& b, std::string_view bloco, const std::string& uuid) {
    b.adiciona("<" + std::string(bloco) + ">");
    b.adiciona("<contraChave>VALMO</contraChave>");
    b.adicionaElemento("uuidInstalacao", uuid);
    b.adiciona("<cpfOuCnpj>60391825000147</cpfOuCnpj>");
    b.adiciona("<nomeOuRazaoSocial>ZUL INFORMATICA</nomeOuRazaoSocial>");
    b.adiciona("</" + std::string(bloco) + ">");
}

void escreveLinha(RegistroBuffer& b, const ValoresEnvelope& v, const DadosTipoFicha& d,
                  LinhaEnvelope linha) {
    switch (linha) {
        case DeclaracaoXml:
            b.adiciona(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)");
            break;
        case AberturaRaiz:
            escreveAberturaRaiz(b, d);
            break;
        case UuidDadoSerializado:
            if (d.cadastro) {
                b.adiciona("<uuidDadoSerializado>" + escapaXml(identificadorTransporte(v)));
                b.adiciona("</uuidDadoSerializado>");
            } else {
                b.adicionaElemento("uuidDadoSerializado", identificadorTransporte(v));
            }
            break;
        case TipoDadoSerializado:
            b.adiciona((d.cadastro ? " " : "") +
                       elementoXml("tipoDadoSerializado", std::to_string(d.tipoDado)));
            break;
        case CodIbge:
            b.adicionaElemento("codIbge", v.IBGE);
            break;
        case CnesDadoSerializado:
            b.adicionaElemento("cnesDadoSerializado", v.Unidade);
            break;
        case IneDadoSerializado:
            escreveIneDadoSerializado(b, v, d);
            break;
        case NumLote:
            b.adicionaElemento("numLote", std::to_string(d.numLote));
            break;
        case AberturaTransporte:
            b.adiciona("<ns4:" + std::string(d.elementoTransporte) + ">");
            break;
        case FechamentoTransporte:
            b.adiciona("</ns4:" + std::string(d.elementoTransporte) + ">");
            break;
        case UuidFicha:
            b.adicionaElemento("uuidFicha", identificadorFicha(v));
            break;
        case TpCdsOrigem:
            b.adiciona("<tpCdsOrigem>3</tpCdsOrigem>");
            break;
        case HeaderTransport:
            escreveHeaderTransport(b, v);
            break;
        case Remetente:
            escreveInstalacao(b, "ns2:remetente", identificadorInstalacao(v));
            break;
        case Originadora:
            escreveInstalacao(b, "ns2:originadora", identificadorInstalacao(v));
            break;
        case Versao:
            b.adiciona(R"(<versao major="2" minor="1" revision="0"/>)");
            break;
        case FechamentoRaiz:
            b.adiciona("</ns3:dadoTransporteTransportXml>");
            break;
        case Vazia:
            b.adicionaVazia();
            break;
    }
}

template <typename Linhas>
void escreveSequencia(RegistroBuffer& b, const ValoresEnvelope& v, const Linhas& linhas) {
    const DadosTipoFicha& d = dadosTipo(v.tipo);
    for (LinhaEnvelope linha : linhas) escreveLinha(b, v, d, linha);
}

// The number as it stands at the end of identifiers: K and N, or the padded N.
std::string chave(const ValoresEnvelope& v, const DadosTipoFicha& d) {
    const std::string numero =
        d.larguraNumero > 0 ? ZeroEsquerda(v.numero, d.larguraNumero) : v.numero;
    return d.cadastro ? numero : v.UUID + numero;
}

}  // namespace

const DadosTipoFicha& dadosTipo(TipoFicha tipo) {
    for (const DadosTipoFicha& d : tabela())
        if (d.tipo == tipo) return d;
    throw std::logic_error("tipo de ficha sem dados de envelope");
}

std::string unidadeDaFicha(const ValoresEnvelope& v) {
    if (!dadosTipo(v.tipo).cadastro && apara(v.CODUNIDADE).size() == 7) return v.CODUNIDADE;
    return v.Unidade;
}

std::string unidadeDaFicha7(const ValoresEnvelope& v) {
    return ZeroEsquerda(unidadeDaFicha(v), 7);
}

std::string identificadorTransporte(const ValoresEnvelope& v) {
    const DadosTipoFicha& d = dadosTipo(v.tipo);
    if (d.cadastro) return v.uuidDadoSerializado + v.sufixoIdentificador;
    return unidadeDaFicha7(v) + std::string(d.meioTransporte) + chave(v, d) + v.sufixoIdentificador;
}

std::string identificadorFicha(const ValoresEnvelope& v) {
    const DadosTipoFicha& d = dadosTipo(v.tipo);
    if (d.cadastro) throw std::logic_error("os cadastros levam o identificador da ficha no corpo");
    if (!d.fichaComUnidadeSemZeros) return identificadorTransporte(v);
    return unidadeDaFicha(v) + std::string(d.meioTransporte) + chave(v, d) + v.sufixoIdentificador;
}

std::string identificadorInstalacao(const ValoresEnvelope& v) {
    const DadosTipoFicha& d = dadosTipo(v.tipo);
    return unidadeDaFicha7(v) + std::string(d.meioInstalacao) + chave(v, d);
}

std::string nomeArquivo(TipoFicha tipo, std::string_view numero) {
    const DadosTipoFicha& d = dadosTipo(tipo);
    const std::string n = d.larguraNumeroArquivo > 0 ? ZeroEsquerda(numero, d.larguraNumeroArquivo)
                                                     : std::string(numero);
    return std::string(d.prefixoArquivo) + n + ".esus.xml";
}

void escreveCabecalho(RegistroBuffer& buffer, const ValoresEnvelope& v) {
    escreveSequencia(buffer, v, dadosTipo(v.tipo).cabecalho);
}

void escreveRodape(RegistroBuffer& buffer, const ValoresEnvelope& v) {
    escreveSequencia(buffer, v, dadosTipo(v.tipo).rodape);
}

void escreveLinhas(RegistroBuffer& buffer, const ValoresEnvelope& v,
                   std::initializer_list<LinhaEnvelope> linhas) {
    escreveSequencia(buffer, v, linhas);
}

bool temIne(const ProfissionalHeader& profissional) {
    return !apara(profissional.ine).empty();
}

void escreveHeaderTransport(RegistroBuffer& buffer, const ValoresEnvelope& v) {
    const DadosTipoFicha& d = dadosTipo(v.tipo);
    const ProfissionalHeader& p = v.profissional;

    buffer.adiciona("<headerTransport>");
    if (d.lotacaoFormPrincipal) buffer.adiciona("<lotacaoFormPrincipal>");
    buffer.adicionaElemento("profissionalCNS", p.CNS);
    buffer.adicionaElemento("cboCodigo_2002", d.cadastro ? p.CBO : VerCbo(p.CBO));
    buffer.adicionaElemento("cnes", unidadeDaFicha7(v));
    if (temIne(p)) buffer.adicionaElemento("ine", ZeroEsquerda(p.ine, 10));
    if (d.lotacaoFormPrincipal) buffer.adiciona("</lotacaoFormPrincipal>");
    buffer.adicionaNumero("dataAtendimento", p.dataAtendimento);
    buffer.adicionaElemento("codigoIbgeMunicipio", v.IBGE);
    buffer.adiciona("</headerTransport>");
}

}  // namespace cds
