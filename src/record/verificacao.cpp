#include "record/verificacao.hpp"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>

#include "comum/datahora.hpp"
#include "comum/texto.hpp"

namespace cds {
namespace {

int digito(char c) {
    return c - '0';
}

// A whole decimal number; none when the text is not one (the schema refuses that already).
std::optional<std::int64_t> leLong(std::string_view texto) {
    std::int64_t valor = 0;
    const char* fim = texto.data() + texto.size();
    const auto [p, erro] = std::from_chars(texto.data(), fim, valor);
    if (erro != std::errc{} || p != fim || texto.empty()) return std::nullopt;
    return valor;
}

// The layout's dates are milliseconds since 1970-01-01 UTC; its date rules compare days.
constexpr std::int64_t msPorDia = 86'400'000;

std::chrono::sys_days diaDe(std::int64_t ms) {
    const std::int64_t dias = ms >= 0 ? ms / msPorDia : -((-ms + msPorDia - 1) / msPorDia);
    return std::chrono::sys_days{std::chrono::days{dias}};
}

// The same day `anos` years before; 29 February falls to the 28th in a common year.
std::chrono::sys_days anosAntes(std::chrono::sys_days dia, int anos) {
    const std::chrono::year_month_day d{dia};
    std::chrono::year_month_day antes{d.year() - std::chrono::years{anos}, d.month(), d.day()};
    if (!antes.ok()) antes = antes.year() / antes.month() / std::chrono::last;
    return std::chrono::sys_days{antes};
}

// What each checked element is. Names are looked up only among the kind's own, so the same
// name in another form (a group meeting's participant also has a dataNascimento) is untouched.
enum class Campo {
    Cns,
    DataNascimento,
    DataAtendimento,
    LocalDeAtendimento,
    NumeroProntuario,
    UuidFicha,
    Uuid,
    TpCdsOrigem,
    FichaAtualizada,
    UuidFichaOriginadora,
};

struct Entrada {
    std::string_view nome;
    Campo campo;
};

// The individual care form's fields (Ficha de Atendimento Individual, FAI).
constexpr std::array camposAtendimentoIndividual{
    // FAI master #3 uuidFicha: obrigatório, de 36 a 44 caracteres.
    Entrada{"uuidFicha", Campo::UuidFicha},
    // FAI master #4 tpCdsOrigem: obrigatório; utilizar o valor 3 (sistemas terceiros).
    Entrada{"tpCdsOrigem", Campo::TpCdsOrigem},
    // FAI child #1 numeroProntuario: até 30 caracteres, apenas letras e números.
    Entrada{"numeroProntuario", Campo::NumeroProntuario},
    // FAI child #2 cns: CNS válido de acordo com o algoritmo.
    Entrada{"cns", Campo::Cns},
    // FAI child #3 dataNascimento: obrigatório; não pode ser posterior à dataAtendimento nem
    // anterior a 130 anos a partir dela.
    Entrada{"dataNascimento", Campo::DataNascimento},
    Entrada{"dataAtendimento", Campo::DataAtendimento},
    // FAI child #4 localDeAtendimento: obrigatório; apenas valores de 1 a 10.
    Entrada{"localDeAtendimento", Campo::LocalDeAtendimento},
};

// The individual registration's fields (Ficha de Cadastro Individual, FCI).
constexpr std::array camposCadastroIndividual{
    // FCI #4 fichaAtualizada: obrigatório; numa atualização, uuidFichaOriginadora deve ser
    // preenchido com o UUID da ficha que deu origem ao registro.
    Entrada{"fichaAtualizada", Campo::FichaAtualizada},
    Entrada{"uuidFichaOriginadora", Campo::UuidFichaOriginadora},
    // FCI #8 tpCdsOrigem: obrigatório; utilizar o valor 3 (sistemas terceiros).
    Entrada{"tpCdsOrigem", Campo::TpCdsOrigem},
    // FCI #9 uuid: de 36 a 44 caracteres.
    Entrada{"uuid", Campo::Uuid},
    // The citizen's and the family head's card numbers: the dictionary validates the fields of
    // these names by the algorithm (Ficha complementar Zika/Microcefalia #5 cnsCidadao,
    // #6 cnsResponsavelFamiliar); the same fields of the registration are read the same way.
    Entrada{"cnsCidadao", Campo::Cns},
    Entrada{"cnsResponsavelFamiliar", Campo::Cns},
};

// The other forms: the citizen's card number, as above.
constexpr std::array camposCidadao{
    Entrada{"cnsCidadao", Campo::Cns},
};

std::optional<Campo> campoDe(TipoFicha tipo, std::string_view nome) {
    const auto procura = [nome](const auto& tabela) -> std::optional<Campo> {
        for (const Entrada& e : tabela)
            if (e.nome.size() == nome.size() &&
                std::memcmp(e.nome.data(), nome.data(), nome.size()) == 0)
                return e.campo;
        return std::nullopt;
    };
    switch (tipo) {
        case TipoFicha::AtendimentoIndividual:
            return procura(camposAtendimentoIndividual);
        case TipoFicha::CadastroIndividual:
            return procura(camposCadastroIndividual);
        case TipoFicha::Procedimento:
        case TipoFicha::AtendimentoOdontologico:
        case TipoFicha::VisitaDomiciliar:
        case TipoFicha::Vacinacao:
            return procura(camposCidadao);
        case TipoFicha::CadastroDomiciliar:
        case TipoFicha::AtividadeColetiva:
            return std::nullopt;
    }
    return std::nullopt;
}

// One care episode of an individual care form, checked once the whole record is read (the
// header's care date may come after it).
struct Atendimento {
    bool temNascimento = false;
    std::string_view nascimento;
    bool temLocal = false;
};

class Verificacao {
  public:
    explicit Verificacao(TipoFicha tipo) : tipo(tipo) {}

    void folha(std::string_view nome, std::string_view pai, std::string_view bruto) {
        const auto campo = campoDe(tipo, nome);
        if (!campo) return;
        const std::string_view valor = apara(bruto);
        switch (*campo) {
            case Campo::Cns:
                if (!valor.empty() && !cnsValido(valor))
                    falha(nome, "CNS com dígito verificador inválido (" + std::string(valor) + ")");
                break;
            case Campo::DataNascimento:
                if (pai == "atendimentosIndividuais" && !atendimentos.empty()) {
                    atendimentos.back().temNascimento = true;
                    atendimentos.back().nascimento = valor;
                }
                break;
            case Campo::DataAtendimento:
                if (pai == "headerTransport") dataAtendimento = leLong(valor);
                break;
            case Campo::LocalDeAtendimento:
                if (!atendimentos.empty()) atendimentos.back().temLocal = true;
                if (valor.empty()) {
                    falha(nome, "elemento obrigatório vazio");
                } else if (const auto local = leLong(valor); local && (*local < 1 || *local > 10)) {
                    falha(nome, "local de atendimento fora da lista de 1 a 10 (" +
                                    std::string(valor) + ")");
                }
                break;
            case Campo::NumeroProntuario:
                verificaProntuario(nome, valor);
                break;
            case Campo::UuidFicha:
                temUuidFicha = true;
                if (valor.empty())
                    falha(nome, "elemento obrigatório vazio");
                else
                    verificaTamanhoUuid(nome, valor);
                break;
            case Campo::Uuid:
                if (!valor.empty()) verificaTamanhoUuid(nome, valor);
                break;
            case Campo::TpCdsOrigem:
                temTpCdsOrigem = true;
                if (valor.empty())
                    falha(nome, "elemento obrigatório vazio");
                else if (valor != "3")
                    falha(nome, "tipo de origem diferente de 3 (sistemas terceiros): " +
                                    std::string(valor));
                break;
            case Campo::FichaAtualizada:
                temFichaAtualizada = true;
                if (valor.empty()) falha(nome, "elemento obrigatório vazio");
                fichaAtualizada = valor == "true";
                break;
            case Campo::UuidFichaOriginadora:
                temUuidOriginadora = !valor.empty();
                break;
        }
    }

    void abre(std::string_view nome) {
        if (tipo == TipoFicha::AtendimentoIndividual && nome == "atendimentosIndividuais")
            atendimentos.emplace_back();
    }

    std::vector<FalhaDeImportacao> conclui() && {
        if (tipo == TipoFicha::AtendimentoIndividual) {
            if (!temUuidFicha) falha("uuidFicha", "elemento obrigatório ausente");
            if (!temTpCdsOrigem) falha("tpCdsOrigem", "elemento obrigatório ausente");
            for (const Atendimento& a : atendimentos) verificaAtendimento(a);
        } else if (tipo == TipoFicha::CadastroIndividual) {
            if (!temTpCdsOrigem) falha("tpCdsOrigem", "elemento obrigatório ausente");
            if (!temFichaAtualizada) falha("fichaAtualizada", "elemento obrigatório ausente");
            if (fichaAtualizada && !temUuidOriginadora)
                falha("uuidFichaOriginadora",
                      "ficha de atualização sem o UUID da ficha que deu origem ao registro");
        }
        return std::move(falhas);
    }

  private:
    void falha(std::string_view elemento, std::string regra) {
        falhas.push_back({std::string(elemento), std::move(regra)});
    }

    void verificaTamanhoUuid(std::string_view nome, std::string_view valor) {
        if (valor.size() < 36 || valor.size() > 44)
            falha(nome, "UUID com " + std::to_string(valor.size()) +
                            " caracteres, fora de 36 a 44 (" + std::string(valor) + ")");
    }

    void verificaProntuario(std::string_view nome, std::string_view valor) {
        if (valor.size() > 30)
            falha(nome,
                  "número do prontuário com mais de 30 caracteres (" + std::string(valor) + ")");
        for (char c : valor) {
            const bool alfanumerico =
                (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            if (!alfanumerico) {
                falha(nome, "número do prontuário com caractere que não é letra nem número (" +
                                std::string(valor) + ")");
                return;
            }
        }
    }

    void verificaAtendimento(const Atendimento& a) {
        if (!a.temLocal) falha("localDeAtendimento", "elemento obrigatório ausente");
        if (!a.temNascimento) {
            falha("dataNascimento", "elemento obrigatório ausente");
            return;
        }
        if (a.nascimento.empty()) {
            falha("dataNascimento", "elemento obrigatório vazio");
            return;
        }
        const auto nascimento = leLong(a.nascimento);
        if (!nascimento || !dataAtendimento) return;
        const auto diaNascimento = diaDe(*nascimento);
        const auto diaAtendimento = diaDe(*dataAtendimento);
        if (diaNascimento > diaAtendimento) {
            falha("dataNascimento", "data de nascimento " +
                                        textoData(std::chrono::year_month_day{diaNascimento}) +
                                        " posterior à data do atendimento " +
                                        textoData(std::chrono::year_month_day{diaAtendimento}));
        } else if (diaNascimento < anosAntes(diaAtendimento, 130)) {
            falha("dataNascimento", "data de nascimento " +
                                        textoData(std::chrono::year_month_day{diaNascimento}) +
                                        " mais de 130 anos antes da data do atendimento " +
                                        textoData(std::chrono::year_month_day{diaAtendimento}));
        }
    }

    TipoFicha tipo;
    std::vector<FalhaDeImportacao> falhas;
    std::vector<Atendimento> atendimentos;
    std::optional<std::int64_t> dataAtendimento;
    bool temUuidFicha = false;
    bool temTpCdsOrigem = false;
    bool temFichaAtualizada = false;
    bool fichaAtualizada = false;
    bool temUuidOriginadora = false;
};

std::string_view nomeLocal(std::string_view nome) {
    const auto doisPontos = nome.find(':');
    return doisPontos == std::string_view::npos ? nome : nome.substr(doisPontos + 1);
}

}  // namespace

bool cnsValido(std::string_view cns) {
    if (cns.size() != 15 || !soDigitos(cns)) return false;
    const auto somaPonderada = [cns](std::size_t ate) {
        int soma = 0;
        for (std::size_t i = 0; i < ate; ++i) soma += digito(cns[i]) * static_cast<int>(15 - i);
        return soma;
    };
    switch (cns[0]) {
        case '1':
        case '2': {
            // The number is the PIS (11 digits), "000" and a check digit, or "001" and another
            // when the first check digit would be 10.
            int soma = somaPonderada(11);
            int dv = 11 - soma % 11;
            if (dv == 11) dv = 0;
            std::string_view meio = "000";
            if (dv == 10) {
                soma += 2;
                dv = 11 - soma % 11;
                meio = "001";
            }
            return cns.substr(11, 3) == meio && digito(cns[14]) == dv;
        }
        case '7':
        case '8':
        case '9':
            return somaPonderada(15) % 11 == 0;
        default:
            return false;
    }
}

// One pass over the text, as the run wrote it: tags found with memchr, the path kept as a stack
// of local names, and each leaf's value handed to the kind's table. No parser and no copy, so
// the check costs a small part of the writing (about 1.2 GB/s over the tests' records in
// bench_verificacao, so the benchmark month's 870 MB in 0.7 s).
std::vector<FalhaDeImportacao> verificaRegistro(TipoFicha tipo, std::string_view xml) {
    Verificacao verificacao(tipo);
    constexpr std::size_t profundidadeMaxima = 32;
    std::array<std::string_view, profundidadeMaxima> caminho{};
    std::size_t profundidade = 0;

    const char* const inicio = xml.data();
    const char* const fim = inicio + xml.size();
    const auto proximo = [fim](const char* de, char c) -> const char* {
        const void* achado = std::memchr(de, c, static_cast<std::size_t>(fim - de));
        return achado ? static_cast<const char*>(achado) : fim;
    };

    const char* p = proximo(inicio, '<');
    while (p < fim) {
        const char* fecha = proximo(p, '>');
        if (fecha == fim) break;
        const char primeiro = p + 1 < fim ? p[1] : '\0';
        if (primeiro == '?' || primeiro == '!') {
            p = proximo(fecha, '<');
            continue;
        }
        if (primeiro == '/') {
            if (profundidade > 0) --profundidade;
            p = proximo(fecha, '<');
            continue;
        }
        // A start tag: its name ends at a blank, '/' or '>' (all below 'A' in ASCII).
        const char* nomeFim = p + 1;
        while (nomeFim<fecha&& static_cast<unsigned char>(*nomeFim)> '?') ++nomeFim;
        const std::string_view nomeBruto(p + 1, static_cast<std::size_t>(nomeFim - p - 1));
        const std::string_view nome = nomeLocal(nomeBruto);
        if (fecha[-1] == '/') {  // empty element written as <x/>: a value-less element
            p = proximo(fecha, '<');
            continue;
        }
        const char* valorInicio = fecha + 1;
        const char* seguinte = proximo(valorInicio, '<');
        if (seguinte + 1 < fim && seguinte[1] == '/') {
            // A leaf: its text runs to its own end tag, "</" + the same name + ">".
            const std::string_view pai = profundidade > 0 && profundidade <= profundidadeMaxima
                                             ? caminho[profundidade - 1]
                                             : std::string_view{};
            verificacao.folha(
                nome, pai,
                std::string_view(valorInicio, static_cast<std::size_t>(seguinte - valorInicio)));
            const char* depois = seguinte + 2 + nomeBruto.size();
            if (depois >= fim || *depois != '>') depois = proximo(seguinte, '>');
            p = proximo(depois, '<');
            continue;
        }
        verificacao.abre(nome);
        if (profundidade < profundidadeMaxima) caminho[profundidade] = nome;
        ++profundidade;
        p = seguinte;
    }
    return std::move(verificacao).conclui();
}

}  // namespace cds
