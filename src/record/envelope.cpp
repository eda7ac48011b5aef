#include "record/envelope.hpp"

#include <stdexcept>

#include "record/codificacao.hpp"
#include "record/xml.hpp"

namespace cds {
namespace {

using enum LinhaEnvelope;

std::string atributoNamespace(std::string_view prefixo, std::string_view caminho) {
    return "xmlns:" + std::string(prefixo) + "=\"" + std::string(BaseNamespace) + "/" +
           std::string(caminho) + "\"";
}

void escreveAberturaRaiz(RegistroBuffer& b, const DadosEnvelope& d) {
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
                               const DadosEnvelope& d) {
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

void escreveLinha(RegistroBuffer& b, const ValoresEnvelope& v, const DadosEnvelope& d,
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

void escreveSequencia(RegistroBuffer& b, const ValoresEnvelope& v,
                      std::span<const LinhaEnvelope> linhas) {
    for (LinhaEnvelope linha : linhas) escreveLinha(b, v, *v.dados, linha);
}

// The number as it stands at the end of identifiers: K and N, or the padded N.
std::string chave(const ValoresEnvelope& v, const DadosEnvelope& d) {
    const std::string numero =
        d.larguraNumero > 0 ? ZeroEsquerda(v.numero, d.larguraNumero) : v.numero;
    return d.cadastro ? numero : v.UUID + numero;
}

}  // namespace

std::string unidadeDaFicha(const ValoresEnvelope& v) {
    if (!v.dados->cadastro && apara(v.CODUNIDADE).size() == 7) return v.CODUNIDADE;
    return v.Unidade;
}

std::string unidadeDaFicha7(const ValoresEnvelope& v) {
    return ZeroEsquerda(unidadeDaFicha(v), 7);
}

std::string identificadorTransporte(const ValoresEnvelope& v) {
    const DadosEnvelope& d = *v.dados;
    if (d.cadastro) return v.uuidDadoSerializado + v.sufixoIdentificador;
    return unidadeDaFicha7(v) + std::string(d.meioTransporte) + chave(v, d) + v.sufixoIdentificador;
}

std::string identificadorFicha(const ValoresEnvelope& v) {
    const DadosEnvelope& d = *v.dados;
    if (d.cadastro) throw std::logic_error("os cadastros levam o identificador da ficha no corpo");
    if (!d.fichaComUnidadeSemZeros) return identificadorTransporte(v);
    return unidadeDaFicha(v) + std::string(d.meioTransporte) + chave(v, d) + v.sufixoIdentificador;
}

std::string identificadorInstalacao(const ValoresEnvelope& v) {
    const DadosEnvelope& d = *v.dados;
    return unidadeDaFicha7(v) + std::string(d.meioInstalacao) + chave(v, d);
}

std::string nomeArquivo(const DadosEnvelope& d, std::string_view numero) {
    const std::string n = d.larguraNumeroArquivo > 0 ? ZeroEsquerda(numero, d.larguraNumeroArquivo)
                                                     : std::string(numero);
    return std::string(d.prefixoArquivo) + n + ".esus.xml";
}

void escreveCabecalho(RegistroBuffer& buffer, const ValoresEnvelope& v) {
    escreveSequencia(buffer, v, v.dados->cabecalho);
}

void escreveRodape(RegistroBuffer& buffer, const ValoresEnvelope& v) {
    escreveSequencia(buffer, v, v.dados->rodape);
}

void escreveLinhas(RegistroBuffer& buffer, const ValoresEnvelope& v,
                   std::initializer_list<LinhaEnvelope> linhas) {
    escreveSequencia(buffer, v, {linhas.begin(), linhas.size()});
}

bool temIne(const ProfissionalHeader& profissional) {
    return !apara(profissional.ine).empty();
}

void escreveHeaderTransport(RegistroBuffer& buffer, const ValoresEnvelope& v) {
    const DadosEnvelope& d = *v.dados;
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
