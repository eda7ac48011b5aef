#pragma once

#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "record/buffer.hpp"

namespace cds {

// The e-SUS AB layout's namespace base; the root declares three namespaces under it:
// "/dadoinstalacao" (ns2), "/dadotransporte" (ns3) and the kind's own path (ns4).
inline constexpr std::string_view BaseNamespace = "http://esus.ufsc.br";

// The lines and blocks an envelope is made of, in the names of the elements they write.
enum class LinhaEnvelope {
    DeclaracaoXml,         // <?xml ...?>
    AberturaRaiz,          // <ns3:dadoTransporteTransportXml xmlns:...>
    UuidDadoSerializado,   // the transport identifier
    TipoDadoSerializado,   // the kind's type number
    CodIbge,               // the municipality, GERAL/IBGE
    CnesDadoSerializado,   // Unidade as typed
    IneDadoSerializado,    // the team code, by the kind's rule
    NumLote,               // the kind's lot number
    AberturaTransporte,    // <ns4:...Transport>
    FechamentoTransporte,  // </ns4:...Transport>
    UuidFicha,             // the form identifier
    TpCdsOrigem,           // <tpCdsOrigem>3</tpCdsOrigem>
    HeaderTransport,       // the professional, unit, date and municipality block
    Remetente,             // the sender block
    Originadora,           // the originator block
    Versao,                // <versao .../>
    FechamentoRaiz,        // </ns3:dadoTransporteTransportXml>
    Vazia,                 // an empty line
};

// How a kind fills ineDadoSerializado.
enum class RegraIneDado {
    NaoEscrita,         // the kind has no such line
    IneDoProfissional,  // ZeroEsquerda(professional's ine, 10); empty element when there is none
    Vazia,              // always the empty element
    DoCadastro,         // the registration's own value as given, or no line at all
};

// Everything that tells one kind's envelope from another's; each kind's file gives its own.
struct DadosEnvelope {
    std::string_view caminhoNs4;
    std::string_view elementoTransporte;
    int tipoDado;
    int numLote;
    // Registrations: the root, uuidDadoSerializado and tipoDadoSerializado in their own layout,
    // a transport identifier from the transmission register, no UUID text in the identifiers,
    // no form identifier in the envelope, and the header's CBO as read.
    bool cadastro;
    RegraIneDado ineDado;
    std::string_view meioTransporte;  // middle of the transport (and form) identifier
    std::string_view meioInstalacao;  // middle of the sender's and originator's identifier
    int larguraNumero;                // the number in identifiers through ZeroEsquerda; 0: as read
    bool fichaComUnidadeSemZeros;     // the form identifier begins with U, not U7
    bool lotacaoFormPrincipal;        // headerTransport wraps the professional in this element
    std::string_view prefixoArquivo;
    int larguraNumeroArquivo;  // the number in the file name through ZeroEsquerda; 0: as read
    // The envelope before the generator's body, and after it.
    std::span<const LinhaEnvelope> cabecalho;
    std::span<const LinhaEnvelope> rodape;
};

// The professional of headerTransport, as the generator has chosen it for its row.
struct ProfissionalHeader {
    std::string CNS{};
    std::string CBO{};              // as read; VerCbo is applied by the kinds that ask for it
    std::string ine{};              // as read; written padded to 10 when not blank
    std::string dataAtendimento{};  // already through DataParaLong
};

// The values one file's envelope is built from.
struct ValoresEnvelope {
    const DadosEnvelope* dados = nullptr;  // the kind's; the per-record loop sets it
    std::string IBGE{};                    // GERAL/IBGE of config.ini
    std::string Unidade{};                 // as typed by the operator
    std::string CODUNIDADE{};              // the row's unit code; not used by the registrations
    std::string UUID{};                    // the identifier text K
    std::string numero{};                  // N: NUMFAA, ID_ENCONTRO or codigo, as read
    ProfissionalHeader profissional{};
    // Registrations only: the transport identifier from the transmission register, and the
    // team code chosen for ineDadoSerializado (no line when absent).
    std::string uuidDadoSerializado{};
    std::optional<std::string> ineDadoSerializado{};
    // "-2", "-3", ... after the transport and form identifiers of a record whose identifier an
    // earlier record of the run has; empty for every other record.
    std::string sufixoIdentificador{};
};

// U: the row's CODUNIDADE, as read, when trimmed it has exactly 7 characters; otherwise
// Unidade. The registrations always take Unidade.
std::string unidadeDaFicha(const ValoresEnvelope& v);
// U7: ZeroEsquerda(U, 7); raises ErroConversao when U is not a number.
std::string unidadeDaFicha7(const ValoresEnvelope& v);

// The transport and form identifiers end in the record's sufixoIdentificador; the
// installation identifier, the sender's, never does.
std::string identificadorTransporte(const ValoresEnvelope& v);
// The registrations carry their form identifiers in the body: std::logic_error for them.
std::string identificadorFicha(const ValoresEnvelope& v);
std::string identificadorInstalacao(const ValoresEnvelope& v);

// The record file's name, e.g. "FichaVacinacao_345.esus.xml".
std::string nomeArquivo(const DadosEnvelope& dados, std::string_view numero);

// Whether the professional has a team code: an ine of blanks is none. Without one,
// headerTransport goes out without its ine line and the kind's missing-team message is due.
bool temIne(const ProfissionalHeader& profissional);

// The envelope before and after the body: the kind's head and tail lines.
void escreveCabecalho(RegistroBuffer& buffer, const ValoresEnvelope& v);
void escreveRodape(RegistroBuffer& buffer, const ValoresEnvelope& v);

// Single lines or blocks, for the places a body holds them.
void escreveLinhas(RegistroBuffer& buffer, const ValoresEnvelope& v,
                   std::initializer_list<LinhaEnvelope> linhas);
void escreveHeaderTransport(RegistroBuffer& buffer, const ValoresEnvelope& v);

}  // namespace cds
