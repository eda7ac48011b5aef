#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fichas/consulta_por_registro.hpp"
#include "fichas/gerador.hpp"
#include "fichas/selecao.hpp"
#include "source/consulta.hpp"
#include "source/linhas_guardadas.hpp"

namespace cds {

// What every care kind reads of its main row beyond the envelope's columns: the episode's key
// (its DATA among them), the hour of the care (NULL: no shift) and the citizen.
struct Episodio {
    ChaveRegistro chave;
    std::optional<DataHora> hora;
    std::string codPessoa;
    std::string cartaoSus;
    std::optional<DataHora> nascimento;
    std::string sexo;
};
Episodio leEpisodio(const Linha& atendimento);

// The moment of the care, DATA followed by HORA, as e-SUS AB milliseconds: a date without an
// hour stands for 10:00:01 of its day.
std::string momentoDoAtendimento(const Episodio& episodio);

// The conditions the kinds over care episodes share, each written here once; a kind's main
// query joins PROFISSIONAIS, PESSOAS and UNIDADES U to FAA by LEFT OUTER JOIN to use them.
inline constexpr CondicaoDeSelecao kProfissionalCadastrado{
    "PROFISSIONAIS.CODIGO IS NOT NULL", "profissional do atendimento não está no cadastro"};
inline constexpr CondicaoDeSelecao kCidadaoCadastrado{
    "PESSOAS.CODIGO IS NOT NULL", "cidadão do atendimento não está no cadastro de pessoas"};
inline constexpr CondicaoDeSelecao kCidadaoComNascimento{"PESSOAS.DTNASCIMENTO IS NOT NULL",
                                                         "cidadão sem data de nascimento"};
inline constexpr CondicaoDeSelecao kUnidadeCadastrada{"U.CODIGO IS NOT NULL",
                                                      "unidade não está no cadastro de unidades"};
inline constexpr CondicaoDeSelecao kUnidadeComNome{"U.NOME IS NOT NULL",
                                                   "unidade sem nome no cadastro de unidades"};
inline constexpr CondicaoDeSelecao kUnidadeNaoCras{
    "U.NOME NOT LIKE '%CRAS%'", "unidade de assistência social (CRAS), que não se exporta"};
inline constexpr CondicaoDeSelecao kCaraterExportado{
    "COALESCE(FAA.CARATER,'')<>'8' AND COALESCE(FAA.CARATER,'')<>'7'",
    "caráter do atendimento {} (não se exporta)", "CARATER"};

// Every kind over care episodes: FAA's key, which orders the main queries and the look-ups.
inline constexpr ChaveSql kChaveDoEpisodio{"FAA.DATA", "FAA.NUMFAA", "FAA.CODUNIDADE"};

// "AND <coluna>=:pcodprof" when the operator gave a professional code, else nothing; and its
// value bound to a statement that has it.
std::string doProfissional(const ParametrosExportacao& parametros,
                           std::string_view coluna = "FAA.CODPROFISSIONAL");
void vinculaProfissional(Consulta& consulta, const ParametrosExportacao& parametros);
// The period's and the professional's values, for a main query and the count of its records.
void vinculaEpisodios(Consulta& consulta, const ParametrosExportacao& parametros);

// The envelope of the individual care record, which the vaccination record shares but for its
// names and data type.
inline constexpr LinhaEnvelope kCabecalhoDoAtendimento[] = {LinhaEnvelope::DeclaracaoXml,
                                                            LinhaEnvelope::AberturaRaiz,
                                                            LinhaEnvelope::UuidDadoSerializado,
                                                            LinhaEnvelope::TipoDadoSerializado,
                                                            LinhaEnvelope::CodIbge,
                                                            LinhaEnvelope::CnesDadoSerializado,
                                                            LinhaEnvelope::NumLote,
                                                            LinhaEnvelope::Vazia,
                                                            LinhaEnvelope::AberturaTransporte,
                                                            LinhaEnvelope::Vazia,
                                                            LinhaEnvelope::HeaderTransport,
                                                            LinhaEnvelope::Vazia};
inline constexpr LinhaEnvelope kRodapeDoAtendimento[] = {
    LinhaEnvelope::TpCdsOrigem,   LinhaEnvelope::UuidFicha, LinhaEnvelope::FechamentoTransporte,
    LinhaEnvelope::Vazia,         LinhaEnvelope::Remetente, LinhaEnvelope::Vazia,
    LinhaEnvelope::Originadora,   LinhaEnvelope::Vazia,     LinhaEnvelope::Versao,
    LinhaEnvelope::FechamentoRaiz};
constexpr DadosEnvelope envelopeDoAtendimento(std::string_view caminhoNs4,
                                              std::string_view elementoTransporte, int tipoDado,
                                              std::string_view prefixoArquivo) {
    return {.caminhoNs4 = caminhoNs4,
            .elementoTransporte = elementoTransporte,
            .tipoDado = tipoDado,
            .numLote = 2,
            .cadastro = false,
            .ineDado = RegraIneDado::NaoEscrita,
            .meioTransporte = "-da1cb4c9-0004-0000-0000-",
            .meioInstalacao = "-da1cb4c9-0000-0000-0004-",
            .larguraNumero = 0,
            .fichaComUnidadeSemZeros = true,
            .lotacaoFormPrincipal = true,
            .prefixoArquivo = prefixoArquivo,
            .larguraNumeroArquivo = 0,
            .cabecalho = kCabecalhoDoAtendimento,
            .rodape = kRodapeDoAtendimento};
}

// A look-up over episodes read once for the period: `colunas` of the rows `origem` (FROM FAA
// joined to the look-up's table, and its WHERE conditions) selects, in `ordemDasLinhas` within
// an episode; `episodios` ("AND ...") narrows FAA to the period's episodes among which the main
// query finds its own, the period bound here; and, when the operator gave a professional code,
// `colunaProfissional` (if any) restricted to it.
ConsultaPorRegistro consultaPorEpisodio(Execucao& execucao, std::string_view colunas,
                                        std::string_view origem, std::string_view episodios,
                                        std::string_view ordemDasLinhas,
                                        std::string_view colunaProfissional = {});

// The one column of a look-up of codes, which selects it AS CODIGO.
std::string leCodigo(const Linha& linha);

// A look-up's rows of one record, each read into its struct by `le`, the one place its
// columns are named; the vector is kept from record to record, so its room is reused.
template <class T, T (*le)(const Linha&)>
class LeituraPorEpisodio {
  public:
    explicit LeituraPorEpisodio(ConsultaPorRegistro consulta) : consulta(std::move(consulta)) {}
    void abre() { consulta.abre(); }
    const std::vector<T>& de(const ChaveRegistro& chave) {
        lidas.clear();
        for (const Linha& l : consulta.de(chave)) lidas.push_back(le(l));
        return lidas;
    }

  private:
    ConsultaPorRegistro consulta;
    std::vector<T> lidas;
};

// A kind over care episodes: the record's episode is read as it is begun, and the envelope's
// moment is the care's.
class FichaDeEpisodios : public Ficha {
  public:
    using Ficha::Ficha;
    void preparaRegistro(const Linha& registro) override { episodio = leEpisodio(registro); }
    std::string momento(const Linha&) const override { return momentoDoAtendimento(episodio); }

  protected:
    Episodio episodio;
};

// The medical care episodes of the period, one record each: the main query of the individual
// care record, which the vaccination record reads too. When a run writes both, the care record
// puts its rows aside as it reads them (Execucao::episodiosGuardados) and the vaccination
// record reads them back from there, in the same order, instead of running the query again.
// The kinds give their bodies.
class FichaDeAtendimentos : public FichaDeEpisodios {
  public:
    explicit FichaDeAtendimentos(Execucao& execucao, TipoFicha tipo);
    ~FichaDeAtendimentos() override;

    std::size_t abreRegistros() override;
    const Linha* proximoRegistro() override;
    std::span<const CondicaoDeSelecao> condicoes() const override;
    void preparaRegistro(const Linha& registro) override;
    void termina() override;

  protected:
    // Whether the citizen was pregnant.
    bool gestante = false;

  private:
    TipoFicha tipo;
    Consulta episodios;
    // The rows put aside while walking the query, or read back instead of it.
    std::unique_ptr<LinhasGuardadas> guardados;
    bool lidosDosGuardados = false;
};

// "0" for a citizen whose sex is "MASCULINO" in any case, "1" otherwise.
std::string_view sexoDoCidadao(std::string_view sexo);

// 1 before noon, 2 in the afternoon, 3 from 18:00 on.
int turnoDaHora(int hora);

}  // namespace cds
