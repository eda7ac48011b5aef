#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fichas/gerador.hpp"
#include "source/consulta.hpp"
#include "source/linhas_guardadas.hpp"

namespace cds {

// The clinic keeps one transmission register for citizens (pessoastransmissao) and one for
// households (familiastransmissao): whether a registration must be sent ("Sim"), the identifier
// it was last sent under, the day and the transmission counter of that export.
enum class VarianteCadastro { Cidadao, Domicilio };

// The last piece of a registration's identifiers: ZeroEsquerda(codigo, 11) for a citizen,
// "D" + ZeroEsquerda(codigo, 10) for a household.
std::string chaveCadastro(VarianteCadastro variante, std::string_view codigo);

// The transport identifier (uuidDadoSerializado) of the export with transmission code C:
// U7-da1cb4c9-0004-0000-CCCC-<key>; a code past 9999 keeps all its digits.
std::string identificadorTransporteCadastro(VarianteCadastro variante, std::string_view U7,
                                            std::int64_t C, std::string_view codigo);

// The record identifier S' of this export from the stored one, S. A first transmission gets
// U7-da1cb4c9-0004-0000-0000-<key>; later ones keep the stored pieces and raise the fifth, the
// record's version. A stored identifier of another length than 43 has its last piece brought
// back to the 43-character form, unless that piece has its standard length already (the
// version passed 9999, or the unit code has more than seven digits): cutting it then would
// drop a digit of the code. A fifth piece that is not a number raises ErroConversao.
std::string NovoUuidCadastro(VarianteCadastro variante, std::string_view S, std::string_view U7,
                             std::string_view codigo);

// The stored counter plus one (NULL reads 0). Past 9999 the operator is told in a modal
// message and in the log, which makes it the record's warning, and the record still goes with
// that code.
std::int64_t ProximoCodigoTransmissao(std::int64_t armazenado, VarianteCadastro variante,
                                      Execucao& execucao);

// Why a registration whose register's mark says "Sim" in another spelling ("sim", "SIM") is left
// out: the kinds read every such mark, and take only the one the clinic's screens write.
inline constexpr std::string_view kMotivoMarcaDeEnvio =
    "marca de envio ao e-SUS '{}' fora do padrão (deve ser Sim)";

// What one export of a registration carries from the register into its file.
struct TransmissaoCadastro {
    std::int64_t codigo = 0;   // C
    std::string uuidAnterior;  // S, as stored: uuidFichaOriginadora
    std::string uuid;          // S'
    std::string transporte;    // uuidDadoSerializado

    // The file updates a registration sent before.
    bool fichaAtualizada() const { return !uuidAnterior.empty(); }
};

// One record's write-back: its register row marked sent under `uuid` and `C`, dated `hoje`.
struct GravacaoTransmissao {
    std::string codigo;
    std::string uuid;
    std::int64_t C = 0;
    std::chrono::year_month_day hoje;
};

// The register's write-back for one variant, its statements prepared once.
class RegistroTransmissao {
  public:
    // The write-backs of one batch.
    static constexpr std::size_t kLote = 32;

    RegistroTransmissao(Transacao& transacao, VarianteCadastro variante);

    // The write-backs of the batch (at most kLote), in their order, in one statement: each
    // record marked sent ("Não") under S' and C, dated `hoje`, its register row made when it has
    // none; one round trip to the server instead of one a record. All or none: a failed one
    // leaves the registers as they were. Durable only with the run's commit.
    void gravaTransmissoes(const std::vector<GravacaoTransmissao>& lote);
    // After gravaTransmissoes failed: the place in the batch of the write-back the server
    // refused; none when it refused the batch's values before writing any.
    std::optional<std::size_t> recusadoNoLote();

  private:
    Transacao& transacao;
    std::string tabela;
    Consulta gravacaoEmLote;
    Consulta registroDoLote;
};

// The generic professional of the registrations, as found.
struct ProfissionalGenerico {
    std::string cns;
    std::string cbo;
    std::string ine;
};

// What the two registration kinds share: the start (the status text, the generic
// professional), the rows the register marks for sending, the transmission code and identifiers
// of each record, and the register written back after each file, for the records written only.
class FichaDeCadastro : public Ficha {
  public:
    // `selecao` is the kind's main query.
    FichaDeCadastro(Execucao& execucao, TipoFicha tipo, std::string_view selecao);

    void inicia() override;
    // The rows are fetched whole before the first record: each record's register row is
    // written back while the walk goes on. They wait in a temporary file, so that a month of
    // registrations takes no memory.
    std::size_t abreRegistros() override;
    const Linha* proximoRegistro() override;
    IdentidadeRegistro identidade(const Linha& registro) const override;
    void preparaRegistro(const Linha& registro) override;
    // The registrations report a missing team in their own words.
    std::optional<std::string> avisoSemIne(const Linha&) const override { return std::nullopt; }
    // The register row of the record, written back with those of the records before it, a
    // batch at a time; the last ones in termina. They are read by nothing the run does before
    // its commit.
    void gravado(const Linha& registro, const std::string& caminho) override;
    void termina() override;

  protected:
    // Looks the generic professional up, once, after the status text. The run has made sure it
    // is there (profissionalCadastrado); a blank code, or not finding it, is std::logic_error.
    virtual ProfissionalGenerico leProfissionalGenerico() = 0;
    // The envelope of the record being written, but for headerTransport's professional.
    ValoresEnvelope envelopeDoCadastro(const Linha& registro) const;
    // ZeroEsquerda(Unidade, 7).
    std::string unidade7() const;

    ProfissionalGenerico generico;
    // Of the record being written, set by preparaRegistro.
    TransmissaoCadastro transmissao;
    // The team code of ineDadoSerializado, or no line; the kind sets it in preparaRegistro.
    std::optional<std::string> ineDado;

  private:
    TipoFicha tipo;
    VarianteCadastro variante;
    Consulta selecao;
    std::unique_ptr<LinhasGuardadas> guardadas;
    RegistroTransmissao registroTransmissao;
    // The write-backs of records saved, not yet sent to the server (fewer than a batch), and
    // the records they belong to.
    std::vector<GravacaoTransmissao> pendentes;
    std::vector<IdentidadeRegistro> registrosPendentes;

    void gravaPendentes();
};

}  // namespace cds
