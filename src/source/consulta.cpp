#include "source/consulta.hpp"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <variant>

#include "comum/cp1252.hpp"
#include "comum/erro.hpp"
#include "comum/texto.hpp"
#include "source/conexao.hpp"
#include "source/firebird.hpp"
#include "source/vigia.hpp"

namespace cds {

using firebird::Posse;
using firebird::status;
using firebird::vigiado;

namespace {

constexpr unsigned kCharsetOctets = 1;
constexpr unsigned kCharsetUtf8 = 4;
constexpr unsigned kCharsetWin1252 = 53;

DataHora decodifica(ISC_DATE data) {
    unsigned a = 0, m = 0, d = 0;
    firebird::util()->decodeDate(data, &a, &m, &d);
    return {static_cast<int>(a), static_cast<int>(m), static_cast<int>(d), 0, 0, 0};
}

DataHora decodifica(ISC_TIME hora) {
    unsigned h = 0, m = 0, s = 0, fracao = 0;
    firebird::util()->decodeTime(hora, &h, &m, &s, &fracao);
    return {0, 0, 0, static_cast<int>(h), static_cast<int>(m), static_cast<int>(s)};
}

std::string textoHora(ISC_TIME hora) {
    const DataHora h = decodifica(hora);
    return ZeroEsquerdaInt(h.hora, 2) + ":" + ZeroEsquerdaInt(h.minuto, 2) + ":" +
           ZeroEsquerdaInt(h.segundo, 2);
}

// A scaled integer in its shortest decimal form: 1250 with scale -2 is "12.5", 300 is "3".
std::string textoEscalado(std::int64_t valor, int escala) {
    const bool negativo = valor < 0;
    // Magnitude as unsigned so that the smallest int64 has one too.
    const std::uint64_t magnitude =
        negativo ? 0 - static_cast<std::uint64_t>(valor) : static_cast<std::uint64_t>(valor);
    std::string digitos = std::to_string(magnitude);
    if (escala > 0) return (negativo ? "-" : "") + digitos + std::string(escala, '0');
    const auto casas = static_cast<std::size_t>(-escala);
    if (casas > 0) {
        if (digitos.size() <= casas) digitos.insert(0, casas + 1 - digitos.size(), '0');
        digitos.insert(digitos.size() - casas, ".");
        while (digitos.back() == '0') digitos.pop_back();
        if (digitos.back() == '.') digitos.pop_back();
    }
    if (negativo && digitos != "0") digitos.insert(0, "-");
    return digitos;
}

// The scaled integer rounded to a whole number, half away from zero, without going through
// a double: a NUMERIC(18,2) keeps all its digits.
std::int64_t inteiroEscalado(std::int64_t valor, int escala) {
    std::int64_t divisor = 1;
    for (int i = escala; i < 0; ++i) divisor *= 10;
    std::int64_t quociente = valor / divisor;
    const std::int64_t resto = valor % divisor;
    if ((resto < 0 ? -resto : resto) * 2 >= divisor) quociente += valor < 0 ? -1 : 1;
    return quociente;
}

double realEscalado(std::int64_t valor, int escala) {
    // Dividing by an exact power of ten rounds once: -5 with scale -2 reads as -0.05.
    return escala < 0 ? static_cast<double>(valor) / std::pow(10.0, -escala)
                      : static_cast<double>(valor) * std::pow(10.0, escala);
}

// The nearest whole number (halves away from zero); one past int64's range is no number.
std::int64_t inteiroMaisProximo(double v) {
    // 2^63 is exact as a double; anything from there on has no int64.
    constexpr double limite = 9223372036854775808.0;
    if (!(v >= -limite && v < limite))
        throw ErroConversao("'" + std::to_string(v) + "' não é um valor inteiro válido");
    return std::llround(v);
}

std::string textoReal(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string textoReal(float v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::int64_t inteiroDeTexto(const std::string& texto) {
    const std::string_view s = apara(texto);
    std::int64_t v = 0;
    const char* inicio = s.data();
    if (!s.empty() && s.front() == '+') ++inicio;
    const auto r = std::from_chars(inicio, s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size())
        throw ErroConversao("'" + texto + "' não é um valor inteiro válido");
    return v;
}

double realDeTexto(const std::string& texto) {
    std::string s(apara(texto));
    // The clinic's Windows writes decimals with a comma.
    for (char& c : s)
        if (c == ',') c = '.';
    double v = 0;
    const char* inicio = s.data();
    if (!s.empty() && s.front() == '+') ++inicio;
    const auto r = std::from_chars(inicio, s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size())
        throw ErroConversao("'" + texto + "' não é um valor de ponto flutuante válido");
    return v;
}

std::int16_t indicadorNulo(const std::vector<unsigned char>& dados, unsigned deslocamento) {
    std::int16_t indicador = 0;
    std::memcpy(&indicador, dados.data() + deslocamento, sizeof indicador);
    return indicador;
}

std::string leBlob(Firebird::IAttachment* anexo, Firebird::ITransaction* transacao, ISC_QUAD id,
                   Vigia& vigia) {
    auto& st = status();
    Posse<Firebird::IBlob> blob(anexo->openBlob(&st, transacao, &id, 0, nullptr));
    std::string conteudo;
    char pedaco[16384];
    for (;;) {
        unsigned lidos = 0;
        // A segment longer than the buffer comes in pieces, each one counted in `lidos`.
        if (blob->getSegment(&status(), sizeof pedaco, pedaco, &lidos) ==
            Firebird::IStatus::RESULT_NO_DATA)
            break;
        conteudo.append(pedaco, lidos);
        vigia.avanca();
    }
    blob.encerra([](auto* b) { b->close(&status()); });
    return conteudo;
}

std::atomic<std::uint64_t> execucoes{0};

struct ValorNulo {};
using Valor = std::variant<ValorNulo, std::string, std::int64_t, std::chrono::year_month_day>;

}  // namespace

// The columns of a statement's result, and where their values sit in a row's bytes; shared by
// the statement and every row it gave.
struct FormatoLinha {
    struct Coluna {
        std::string nome;
        unsigned tipo = 0;
        int escala = 0;
        unsigned charset = 0;
        // Where the value comes from, when it is a table's column: for the operator to find it.
        std::string tabela;
        std::string campo;
        unsigned deslocamento = 0;
        unsigned deslocamentoNulo = 0;
        unsigned tamanho = 0;
        // Where the column's text is in Linha::blobs, for a BLOB column.
        std::size_t indiceBlob = 0;
    };

    std::vector<Coluna> colunas;
    // Looked up by a string_view, so that a name needs no string of its own to be found.
    struct HashDeNome {
        using is_transparent = void;
        std::size_t operator()(std::string_view nome) const {
            return std::hash<std::string_view>{}(nome);
        }
    };
    std::unordered_map<std::string, std::size_t, HashDeNome, std::equal_to<>>
        indice;  // upper-case name -> column
    unsigned tamanho = 0;
    std::size_t blobs = 0;
};

struct Linha::Campo {
    const FormatoLinha::Coluna& coluna;
    const Linha& linha;

    bool nulo() const { return indicadorNulo(linha.dados, coluna.deslocamentoNulo) != 0; }

    template <typename T>
    T valor() const {
        T v{};
        std::memcpy(&v, linha.dados.data() + coluna.deslocamento, sizeof v);
        return v;
    }

    std::int64_t inteiroNativo() const {
        switch (coluna.tipo) {
            case SQL_SHORT:
                return valor<std::int16_t>();
            case SQL_LONG:
                return valor<std::int32_t>();
            default:
                return valor<std::int64_t>();
        }
    }

    // The value as text; the caller has seen it is not NULL.
    std::string texto() const {
        const char* dado = reinterpret_cast<const char*>(linha.dados.data() + coluna.deslocamento);
        auto doBanco = [&](std::string_view bruto) {
            return coluna.charset == kCharsetOctets || coluna.charset == kCharsetUtf8
                       ? std::string(bruto)
                       : cp1252ParaUtf8(bruto);
        };
        switch (coluna.tipo) {
            case SQL_TEXT: {
                std::string_view bruto(dado, coluna.tamanho);
                // In UTF-8 a CHAR is padded to four bytes a character.
                if (coluna.charset == kCharsetUtf8)
                    bruto = bruto.substr(0, bruto.find_last_not_of(' ') + 1);
                return doBanco(bruto);
            }
            case SQL_VARYING: {
                std::uint16_t tamanho = 0;
                std::memcpy(&tamanho, dado, sizeof tamanho);
                return doBanco({dado + sizeof tamanho, tamanho});
            }
            case SQL_BLOB:
                return doBanco(linha.blobs[coluna.indiceBlob]);
            case SQL_SHORT:
            case SQL_LONG:
            case SQL_INT64:
                return textoEscalado(inteiroNativo(), coluna.escala);
            case SQL_FLOAT:
                return textoReal(valor<float>());
            case SQL_DOUBLE:
            case SQL_D_FLOAT:
                return textoReal(valor<double>());
            case SQL_TYPE_DATE:
                return textoData(decodifica(valor<ISC_DATE>()));
            case SQL_TYPE_TIME:
                return textoHora(valor<ISC_TIME>());
            case SQL_TIMESTAMP: {
                const auto momento = valor<ISC_TIMESTAMP>();
                const std::string data = textoData(decodifica(momento.timestamp_date));
                const std::string hora = textoHora(momento.timestamp_time);
                return hora == "00:00:00" ? data : data + " " + hora;
            }
            case SQL_BOOLEAN:
                return valor<unsigned char>() ? "True" : "False";
            default:
                throw ErroBanco("Campo '" + coluna.nome + "' de tipo não suportado");
        }
    }
};

std::size_t Linha::procura(std::string_view nome) const {
    if (formato) {
        // Column names are ASCII and short: put in capitals on the stack, the one look-up of
        // every value a record writes. Any other name goes the long way.
        char capitais[64];
        const bool ascii = nome.size() <= sizeof capitais &&
                           std::all_of(nome.begin(), nome.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        std::string longo;
        std::string_view chave;
        if (ascii) {
            for (std::size_t i = 0; i < nome.size(); ++i)
                capitais[i] =
                    (nome[i] >= 'a' && nome[i] <= 'z') ? static_cast<char>(nome[i] - 32) : nome[i];
            chave = std::string_view(capitais, nome.size());
        } else {
            longo = maiusculas(nome);
            chave = longo;
        }
        if (auto it = formato->indice.find(chave); it != formato->indice.end()) return it->second;
    }
    return kNenhuma;
}

Linha::Campo Linha::campo(std::string_view nome) const {
    const std::size_t i = procura(nome);
    if (i == kNenhuma) throw ErroBanco("Campo '" + std::string(nome) + "' não encontrado");
    return Campo{formato->colunas[i], *this};
}

bool Linha::tem(std::string_view coluna) const {
    return procura(coluna) != kNenhuma;
}

bool Linha::nulo(std::string_view coluna) const {
    return campo(coluna).nulo();
}

std::string Linha::texto(std::string_view coluna) const {
    const Campo c = campo(coluna);
    return c.nulo() ? std::string() : c.texto();
}

std::int64_t Linha::inteiro(std::string_view coluna) const {
    const Campo c = campo(coluna);
    if (c.nulo()) return 0;
    switch (c.coluna.tipo) {
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
            if (c.coluna.escala == 0) return c.inteiroNativo();
            return c.coluna.escala < 0
                       ? inteiroEscalado(c.inteiroNativo(), c.coluna.escala)
                       : inteiroMaisProximo(realEscalado(c.inteiroNativo(), c.coluna.escala));
        case SQL_FLOAT:
            return inteiroMaisProximo(c.valor<float>());
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            return inteiroMaisProximo(c.valor<double>());
        case SQL_BOOLEAN:
            return c.valor<unsigned char>() ? 1 : 0;
        default:
            return inteiroDeTexto(c.texto());
    }
}

double Linha::real(std::string_view coluna) const {
    const Campo c = campo(coluna);
    if (c.nulo()) return 0;
    switch (c.coluna.tipo) {
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
            return realEscalado(c.inteiroNativo(), c.coluna.escala);
        case SQL_FLOAT:
            return c.valor<float>();
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            return c.valor<double>();
        case SQL_BOOLEAN:
            return c.valor<unsigned char>() ? 1 : 0;
        default:
            return realDeTexto(c.texto());
    }
}

std::optional<DataHora> Linha::dataHora(std::string_view coluna) const {
    const Campo c = campo(coluna);
    if (c.nulo()) return std::nullopt;
    switch (c.coluna.tipo) {
        case SQL_TYPE_DATE:
            return decodifica(c.valor<ISC_DATE>());
        case SQL_TYPE_TIME:
            return decodifica(c.valor<ISC_TIME>());
        case SQL_TIMESTAMP: {
            const auto momento = c.valor<ISC_TIMESTAMP>();
            DataHora d = decodifica(momento.timestamp_date);
            const DataHora h = decodifica(momento.timestamp_time);
            d.hora = h.hora, d.minuto = h.minuto, d.segundo = h.segundo;
            return d;
        }
        default: {
            const std::string texto = c.texto();
            if (auto lida = leDataHora(texto)) return lida->valor;
            throw ErroConversao("'" + texto + "' não é uma data e hora válida");
        }
    }
}

SqlPosicional traduzParametros(std::string_view sql) {
    SqlPosicional r;
    r.texto.reserve(sql.size());
    auto ehInicioNome = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    };
    auto ehNome = [&](char c) { return ehInicioNome(c) || (c >= '0' && c <= '9') || c == '$'; };
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // A quoted literal or identifier, with doubled quotes inside it.
            const std::size_t fim = sql.find(c, i + 1);
            const std::size_t ate = fim == std::string_view::npos ? sql.size() : fim + 1;
            r.texto.append(sql.substr(i, ate - i));
            i = ate;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const std::size_t fim = sql.find('\n', i);
            const std::size_t ate = fim == std::string_view::npos ? sql.size() : fim;
            r.texto.append(sql.substr(i, ate - i));
            i = ate;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const std::size_t fim = sql.find("*/", i + 2);
            const std::size_t ate = fim == std::string_view::npos ? sql.size() : fim + 2;
            r.texto.append(sql.substr(i, ate - i));
            i = ate;
        } else if (c == ':' && i + 1 < sql.size() && ehInicioNome(sql[i + 1])) {
            std::size_t fim = i + 1;
            while (fim < sql.size() && ehNome(sql[fim])) ++fim;
            r.nomes.push_back(minusculas(sql.substr(i + 1, fim - i - 1)));
            r.texto += '?';
            i = fim;
        } else {
            r.texto += c;
            ++i;
        }
    }
    return r;
}

struct Consulta::Impl {
    Impl(Transacao& transacao, std::string_view sql, bool posicional)
        : transacao(transacao),
          sql(sql),
          posicional(posicional),
          vigia(transacao.conexao().vigia()),
          emUtf8(transacao.conexao().opcoes().textoEmUtf8) {}
    ~Impl();

    Transacao& transacao;
    const std::string sql;
    // Made with Consulta::Posicional: the text goes as written, its "?" named by position.
    const bool posicional;
    Vigia& vigia;
    // The connection's text is UTF-8 rather than Windows-1252.
    const bool emUtf8;
    // The parameter of each "?", in order.
    std::vector<std::string> nomes;
    std::unordered_map<std::string, Valor> parametros;
    Posse<Firebird::IStatement> comando;
    Posse<Firebird::IMessageMetadata> entrada;
    Posse<Firebird::IMessageMetadata> saida;
    std::shared_ptr<const FormatoLinha> formato;
    bool cursor = false;
    // A plain SELECT, which may run again without effect.
    bool soLeitura = false;
    std::vector<Linha> linhas;
    // The walk begun by percorre() and its current row; a statement without a cursor walks
    // the row it gave, kept in `linhas`.
    Posse<Firebird::IResultSet> aberto;
    Linha atual;
    std::size_t proximaGuardada = kSemPercurso;
    static constexpr std::size_t kSemPercurso = static_cast<std::size_t>(-1);

    void prepara();
    void leFormato();
    std::string doBanco(const char* texto) const {
        return emUtf8 ? std::string(texto) : cp1252ParaUtf8(texto);
    }
    // Runs calls that read the statement's rows; a text the connection cannot read is looked
    // for, to name its row and column.
    template <typename F>
    auto le(F&& f) -> decltype(f());
    [[noreturn]] void procuraTextoSemWin1252(const ErroTextoSemWin1252& original) const;
    Valor& parametro(std::string_view nome);
    std::vector<unsigned char> mensagemEntrada(Posse<Firebird::IMessageMetadata>& metadados);
    // Runs the statement; its rows go to `destino` when given.
    void corre(std::vector<Linha>* destino);
    void abreCursor();
    const Linha* proxima();
    void fechaCursor();
    void leBlobs(Linha& linha, Firebird::ITransaction* t) const;
    Linha linhaVazia() const;
};

template <typename F>
auto Consulta::Impl::le(F&& f) -> decltype(f()) {
    try {
        return vigiado(vigia, "A consulta ao banco de dados falhou", std::forward<F>(f));
    } catch (const ErroTextoSemWin1252& e) {
        procuraTextoSemWin1252(e);
    }
}

Consulta::Impl::~Impl() {
    if (!comando) return;
    // Watched as every call is: a statement is often let go on the way out of an error or of
    // the operator's stop, and a server fallen silent would hold the run here for good.
    vigia.comeca();
    try {
        if (aberto) aberto.encerra([](auto* r) { r->close(&status()); });
        comando.encerra([](auto* c) { c->free(&status()); });
    } catch (const Firebird::FbException&) {
        // The attachment is already gone (or was closed for want of an answer) and took the
        // statement with it; `comando` still releases our handle.
    }
    vigia.termina();
}

void Consulta::Impl::prepara() {
    SqlPosicional traduzido = posicional ? SqlPosicional{sql, {}} : traduzParametros(sql);
    nomes = std::move(traduzido.nomes);
    Firebird::ITransaction* t = transacao.handle();
    Firebird::IAttachment* anexo = transacao.conexao().anexo();
    const std::string texto = emUtf8 ? traduzido.texto : utf8ParaCp1252(traduzido.texto);
    vigiado(vigia, "Não foi possível preparar a consulta ao banco de dados", [&] {
        auto& st = status();
        comando = Posse(anexo->prepare(&st, t, 0, texto.c_str(), SQL_DIALECT_V6,
                                       Firebird::IStatement::PREPARE_PREFETCH_METADATA));
        const unsigned tipo = comando->getType(&st);
        cursor = tipo == isc_info_sql_stmt_select || tipo == isc_info_sql_stmt_select_for_upd;
        soLeitura = tipo == isc_info_sql_stmt_select;
        entrada = Posse(comando->getInputMetadata(&st));
        saida = Posse(comando->getOutputMetadata(&st));
        leFormato();
        if (posicional)
            for (unsigned i = 0; i < entrada->getCount(&st); ++i)
                nomes.push_back(std::to_string(i));
    });
    for (const std::string& nome : nomes) parametros.emplace(nome, ValorNulo{});
}

void Consulta::Impl::leFormato() {
    auto& st = status();
    auto f = std::make_shared<FormatoLinha>();
    const unsigned n = saida->getCount(&st);
    f->tamanho = saida->getMessageLength(&st);
    for (unsigned i = 0; i < n; ++i) {
        FormatoLinha::Coluna c;
        c.nome = maiusculas(doBanco(saida->getAlias(&st, i)));
        c.tabela = doBanco(saida->getRelation(&st, i));
        c.campo = doBanco(saida->getField(&st, i));
        c.tipo = saida->getType(&st, i) & ~1u;
        c.escala = saida->getScale(&st, i);
        c.charset = saida->getCharSet(&st, i);
        c.deslocamento = saida->getOffset(&st, i);
        c.deslocamentoNulo = saida->getNullOffset(&st, i);
        c.tamanho = saida->getLength(&st, i);
        if (c.tipo == SQL_BLOB) c.indiceBlob = f->blobs++;
        // The first column of a name wins, as the clinical system's reads expect.
        f->indice.emplace(c.nome, f->colunas.size());
        f->colunas.push_back(std::move(c));
    }
    formato = std::move(f);
}

Valor& Consulta::Impl::parametro(std::string_view nome) {
    auto it = parametros.find(minusculas(nome));
    if (it == parametros.end())
        throw ErroBanco("Parâmetro '" + std::string(nome) + "' não encontrado no comando SQL");
    return it->second;
}

std::vector<unsigned char> Consulta::Impl::mensagemEntrada(
    Posse<Firebird::IMessageMetadata>& metadados) {
    auto& st = status();
    const unsigned n = entrada->getCount(&st);
    if (n == 0) return {};

    // Each value travels in a type of its own (text as WIN1252 of its length); a NULL keeps
    // the type the server gave the parameter.
    std::vector<const Valor*> valores(n, nullptr);
    std::vector<std::string> textos(n);
    {
        Posse<Firebird::IMetadataBuilder> construtor(entrada->getBuilder(&st));
        for (unsigned i = 0; i < n; ++i) {
            if (i < nomes.size()) valores[i] = &parametros.at(nomes[i]);
            const Valor* v = valores[i];
            if (!v || std::holds_alternative<ValorNulo>(*v)) continue;
            construtor->setScale(&st, i, 0);
            construtor->setSubType(&st, i, 0);
            if (auto* t = std::get_if<std::string>(v)) {
                textos[i] = utf8ParaCp1252(*t);
                construtor->setType(&st, i, SQL_VARYING | 1);
                construtor->setCharSet(&st, i, kCharsetWin1252);
                construtor->setLength(
                    &st, i, static_cast<unsigned>(std::max<std::size_t>(1, textos[i].size())));
            } else if (std::holds_alternative<std::int64_t>(*v)) {
                construtor->setType(&st, i, SQL_INT64 | 1);
                construtor->setLength(&st, i, sizeof(ISC_INT64));
            } else {
                construtor->setType(&st, i, SQL_TYPE_DATE | 1);
                construtor->setLength(&st, i, sizeof(ISC_DATE));
            }
        }
        metadados = Posse(construtor->getMetadata(&st));
    }

    std::vector<unsigned char> buffer(metadados->getMessageLength(&st));
    for (unsigned i = 0; i < n; ++i) {
        const Valor* v = valores[i];
        const std::int16_t indicador = v && !std::holds_alternative<ValorNulo>(*v) ? 0 : -1;
        std::memcpy(buffer.data() + metadados->getNullOffset(&st, i), &indicador, sizeof indicador);
        if (indicador) continue;
        unsigned char* dado = buffer.data() + metadados->getOffset(&st, i);
        if (std::holds_alternative<std::string>(*v)) {
            const auto tamanho = static_cast<std::uint16_t>(textos[i].size());
            std::memcpy(dado, &tamanho, sizeof tamanho);
            std::memcpy(dado + sizeof tamanho, textos[i].data(), textos[i].size());
        } else if (auto* numero = std::get_if<std::int64_t>(v)) {
            std::memcpy(dado, numero, sizeof *numero);
        } else {
            const auto& d = std::get<std::chrono::year_month_day>(*v);
            const ISC_DATE data = firebird::util()->encodeDate(
                static_cast<unsigned>(static_cast<int>(d.year())), static_cast<unsigned>(d.month()),
                static_cast<unsigned>(d.day()));
            std::memcpy(dado, &data, sizeof data);
        }
    }
    return buffer;
}

Linha Consulta::Impl::linhaVazia() const {
    Linha l;
    l.formato = formato;
    l.dados.resize(formato->tamanho);
    return l;
}

void Consulta::Impl::leBlobs(Linha& linha, Firebird::ITransaction* t) const {
    if (formato->blobs == 0) return;
    linha.blobs.assign(formato->blobs, {});
    for (const auto& c : formato->colunas) {
        if (c.tipo != SQL_BLOB || indicadorNulo(linha.dados, c.deslocamentoNulo)) continue;
        ISC_QUAD id;
        std::memcpy(&id, linha.dados.data() + c.deslocamento, sizeof id);
        linha.blobs[c.indiceBlob] = leBlob(transacao.conexao().anexo(), t, id, vigia);
    }
}

void Consulta::Impl::fechaCursor() {
    proximaGuardada = kSemPercurso;
    if (aberto) aberto.encerra([](auto* r) { r->close(&status()); });
}

void Consulta::Impl::corre(std::vector<Linha>* destino) {
    linhas.clear();
    Firebird::ITransaction* t = transacao.handle();
    le([&] {
        fechaCursor();
        ++execucoes;
        auto& st = status();
        Posse<Firebird::IMessageMetadata> metadados;
        std::vector<unsigned char> mensagem = mensagemEntrada(metadados);
        void* dadosEntrada = mensagem.empty() ? nullptr : mensagem.data();
        Linha linha = linhaVazia();
        if (cursor) {
            Posse<Firebird::IResultSet> resultado(
                comando->openCursor(&st, t, metadados.get(), dadosEntrada, saida.get(), 0));
            if (destino) {
                while (resultado->fetchNext(&status(), linha.dados.data()) ==
                       Firebird::IStatus::RESULT_OK) {
                    vigia.avanca();
                    leBlobs(linha, t);
                    destino->push_back(linha);
                }
            }
            resultado.encerra([](auto* r) { r->close(&status()); });
        } else {
            // A statement with one row of output at most (EXECUTE PROCEDURE, RETURNING).
            const bool temSaida = !formato->colunas.empty();
            comando->execute(&st, t, metadados.get(), dadosEntrada,
                             temSaida ? saida.get() : nullptr,
                             temSaida ? linha.dados.data() : nullptr);
            if (temSaida && destino) {
                leBlobs(linha, t);
                destino->push_back(std::move(linha));
            }
        }
    });
}

void Consulta::Impl::abreCursor() {
    if (!cursor) {
        // EXECUTE PROCEDURE and RETURNING give their one row at once.
        corre(&linhas);
        proximaGuardada = 0;
        return;
    }
    linhas.clear();
    Firebird::ITransaction* t = transacao.handle();
    le([&] {
        fechaCursor();
        ++execucoes;
        auto& st = status();
        Posse<Firebird::IMessageMetadata> metadados;
        std::vector<unsigned char> mensagem = mensagemEntrada(metadados);
        atual = linhaVazia();
        aberto = Posse(comando->openCursor(
            &st, t, metadados.get(), mensagem.empty() ? nullptr : mensagem.data(), saida.get(), 0));
    });
}

const Linha* Consulta::Impl::proxima() {
    if (!aberto) return proximaGuardada < linhas.size() ? &linhas[proximaGuardada++] : nullptr;
    return le([&]() -> const Linha* {
        if (aberto->fetchNext(&status(), atual.dados.data()) == Firebird::IStatus::RESULT_OK) {
            leBlobs(atual, transacao.handle());
            return &atual;
        }
        fechaCursor();
        return nullptr;
    });
}

namespace {

// The error for the first text of `linha` that Windows-1252 cannot hold, if any. The row comes
// through a UTF-8 connection, where every text that the server had to convert is UTF-8.
std::optional<ErroTextoSemWin1252> textoSemWin1252(const Linha& linha, const FormatoLinha& f) {
    for (const FormatoLinha::Coluna& c : f.colunas) {
        if (c.charset != kCharsetUtf8) continue;
        const std::string valor = linha.texto(c.nome);
        const std::vector<std::string> fora = foraDoCp1252(valor);
        if (fora.empty()) continue;
        std::string caracteres;
        for (const std::string& um : fora) caracteres += (caracteres.empty() ? "" : " ") + um;
        const std::string onde = c.tabela.empty() || c.campo.empty()
                                     ? "da coluna " + c.nome + " da consulta"
                                     : "da coluna " + c.campo + " da tabela " + c.tabela;
        return ErroTextoSemWin1252("o texto '" + valor + "' " + onde +
                                       " tem caracteres que o Windows-1252, a codificação da "
                                       "conexão com o banco de dados, não representa (" +
                                       caracteres +
                                       "); corrija-o no sistema da clínica e exporte de novo",
                                   linha, c.nome);
    }
    return std::nullopt;
}

}  // namespace

void Consulta::Impl::procuraTextoSemWin1252(const ErroTextoSemWin1252& original) const {
    // Found already, or a statement that would change rows again, or a connection whose text is
    // UTF-8 already.
    if (original.linha() || !soLeitura || emUtf8) throw original;
    std::optional<ErroTextoSemWin1252> achado;
    try {
        const Conexao& conexao = transacao.conexao();
        OpcoesConexao opcoes = conexao.opcoes();
        opcoes.cancelamento = nullptr;
        opcoes.textoEmUtf8 = true;
        Conexao emUtf8;
        emUtf8.abre(conexao.caminho(), opcoes);
        Transacao t(emUtf8);
        Consulta leitura = posicional ? Consulta(t, sql, Posicional{}) : Consulta(t, sql);
        leitura.impl->parametros = parametros;
        leitura.percorre();
        while (!achado) {
            const Linha* l = leitura.proxima();
            if (!l) break;
            achado = textoSemWin1252(*l, *leitura.impl->formato);
        }
    } catch (const ErroBanco&) {
        // Finding the row only helps the operator: when it cannot be done (the server went
        // away meanwhile), the error stands as the server gave it.
    }
    if (achado) throw *achado;
    throw original;
}

Consulta::Consulta(Transacao& transacao, std::string_view sql)
    : impl(std::make_unique<Impl>(transacao, sql, false)) {
    impl->prepara();
}

Consulta::Consulta(Transacao& transacao, std::string_view sql, Posicional)
    : impl(std::make_unique<Impl>(transacao, sql, true)) {
    impl->prepara();
}

Consulta::~Consulta() = default;
Consulta::Consulta(Consulta&&) noexcept = default;
Consulta& Consulta::operator=(Consulta&&) noexcept = default;

const std::string& Consulta::texto() const {
    return impl->sql;
}

void Consulta::parametro(std::string_view nome, std::string_view valor) {
    impl->parametro(nome) = std::string(valor);
}

void Consulta::parametro(std::string_view nome, std::int64_t valor) {
    impl->parametro(nome) = valor;
}

void Consulta::parametro(std::string_view nome, const std::chrono::year_month_day& data) {
    Valor& destino = impl->parametro(nome);
    if (!data.ok() || data.year() < std::chrono::year{1} || data.year() > std::chrono::year{9999})
        throw ErroConversao("Data inválida para o parâmetro '" + std::string(nome) + "'");
    destino = data;
}

void Consulta::parametroNulo(std::string_view nome) {
    impl->parametro(nome) = ValorNulo{};
}

const std::vector<Linha>& Consulta::abre() {
    std::vector<Linha> novas;
    impl->corre(&novas);
    impl->linhas = std::move(novas);
    return impl->linhas;
}

void Consulta::executa() {
    impl->corre(nullptr);
}

void Consulta::percorre() {
    impl->abreCursor();
}

const Linha* Consulta::proxima() {
    return impl->proxima();
}

const std::vector<Linha>& Consulta::linhas() const {
    return impl->linhas;
}

std::uint64_t comandosExecutados() {
    return execucoes;
}

}  // namespace cds
