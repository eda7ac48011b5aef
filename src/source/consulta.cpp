#include "source/consulta.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <variant>

#include "comum/cp1252.hpp"
#include "comum/erro.hpp"
#include "source/conexao.hpp"
#include "source/firebird.hpp"

namespace cds {

using firebird::protegido;
using firebird::status;

namespace {

constexpr unsigned kCharsetOctets = 1;
constexpr unsigned kCharsetWin1252 = 53;

std::string maiusculas(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

std::string minusculas(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string_view apara(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string doisDigitos(unsigned v) {
    return {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

std::string textoData(ISC_DATE data) {
    unsigned a = 0, m = 0, d = 0;
    firebird::util()->decodeDate(data, &a, &m, &d);
    std::string ano = std::to_string(a);
    if (ano.size() < 4) ano.insert(0, 4 - ano.size(), '0');
    return doisDigitos(d) + "/" + doisDigitos(m) + "/" + ano;
}

std::string textoHora(ISC_TIME hora) {
    unsigned h = 0, m = 0, s = 0, f = 0;
    firebird::util()->decodeTime(hora, &h, &m, &s, &f);
    return doisDigitos(h) + ":" + doisDigitos(m) + ":" + doisDigitos(s);
}

// A scaled integer in its shortest decimal form: 1250 with scale -2 is "12.5", 300 is "3".
std::string textoEscalado(std::int64_t valor, int escala) {
    const bool negativo = valor < 0;
    // Magnitude as unsigned so that the smallest int64 has one too.
    std::uint64_t magnitude =
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

std::string textoReal(double v) {
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

// "dd/mm/yyyy", "hh:mm[:ss]" or both separated by blanks.
DataHora dataHoraDeTexto(const std::string& texto) {
    DataHora dh;
    std::string_view s = apara(texto);
    auto numero = [&](std::size_t maxDigitos) -> std::optional<int> {
        std::size_t n = 0;
        int v = 0;
        while (n < s.size() && n < maxDigitos && s[n] >= '0' && s[n] <= '9')
            v = v * 10 + (s[n++] - '0');
        if (n == 0) return std::nullopt;
        s.remove_prefix(n);
        return v;
    };
    auto separador = [&](char c) {
        if (s.empty() || s.front() != c) return false;
        s.remove_prefix(1);
        return true;
    };
    auto falha = [&]() -> ErroConversao {
        return ErroConversao("'" + texto + "' não é uma data e hora válida");
    };
    const bool temData = s.find('/') != std::string_view::npos;
    if (temData) {
        auto d = numero(2);
        if (!d || !separador('/')) throw falha();
        auto m = numero(2);
        if (!m || !separador('/')) throw falha();
        auto a = numero(4);
        if (!a) throw falha();
        dh.dia = *d, dh.mes = *m, dh.ano = *a;
        s = apara(s);
    }
    if (!s.empty()) {
        auto h = numero(2);
        if (!h || !separador(':')) throw falha();
        auto mi = numero(2);
        if (!mi) throw falha();
        dh.hora = *h, dh.minuto = *mi;
        if (separador(':')) {
            auto se = numero(2);
            if (!se) throw falha();
            dh.segundo = *se;
        }
        if (!apara(s).empty()) throw falha();
    }
    if ((temData && (dh.mes < 1 || dh.mes > 12 || dh.dia < 1 || dh.dia > 31)) || dh.hora > 23 ||
        dh.minuto > 59 || dh.segundo > 59)
        throw falha();
    return dh;
}

// A column of a prepared statement's result, and where its value sits in a row.
struct Coluna {
    std::string nome;
    unsigned tipo = 0;
    int escala = 0;
    unsigned charset = 0;
    unsigned deslocamento = 0;
    unsigned deslocamentoNulo = 0;
    unsigned tamanho = 0;
    int indiceBlob = -1;
};

struct Preparado {
    Firebird::IStatement* comando = nullptr;
    Firebird::IMessageMetadata* entrada = nullptr;
    Firebird::IMessageMetadata* saida = nullptr;
    std::vector<std::string> nomes;
    std::vector<Coluna> colunas;
    std::unordered_map<std::string, std::size_t> indice;  // upper-case name -> column
    unsigned tamanhoLinha = 0;
    int blobs = 0;
    bool cursor = false;

    ~Preparado() {
        if (entrada) entrada->release();
        if (saida) saida->release();
        if (comando) {
            try {
                comando->free(&status());
            } catch (const Firebird::FbException&) {
                // The attachment is already gone; only our handle remains to release.
                comando->release();
            }
        }
    }
};

struct Linha {
    std::vector<unsigned char> dados;
    std::vector<std::string> blobs;
};

struct ValorNulo {};
struct ValorData {
    int ano, mes, dia;
};
using Valor = std::variant<ValorNulo, std::string, std::int64_t, ValorData>;

std::string leBlob(Firebird::IAttachment* anexo, Firebird::ITransaction* transacao, ISC_QUAD* id) {
    auto& st = status();
    Firebird::IBlob* blob = anexo->openBlob(&st, transacao, id, 0, nullptr);
    std::string conteudo;
    char pedaco[16384];
    for (;;) {
        unsigned lidos = 0;
        const int r = blob->getSegment(&st, sizeof pedaco, pedaco, &lidos);
        if (r == Firebird::IStatus::RESULT_NO_DATA) break;
        conteudo.append(pedaco, lidos);
    }
    blob->close(&st);
    return conteudo;
}

}  // namespace

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
    explicit Impl(Conexao& c) : conexao(c) {}

    Conexao& conexao;
    unsigned long geracao = 0;
    std::unordered_map<std::string, std::unique_ptr<Preparado>> preparados;
    Preparado* atual = nullptr;
    std::unordered_map<std::string, Valor> parametros;
    std::vector<Linha> linhas;
    std::size_t posicao = 0;
    bool ativa = false;

    Preparado& prepara(const std::string& sql);
    std::vector<unsigned char> mensagemEntrada(Preparado& p,
                                               Firebird::IMessageMetadata*& metadados);
    void busca(Preparado& p, Firebird::IResultSet* cursor);

    const Coluna& coluna(std::string_view nome) const;
    // The current row, or none when there is no row; past the end it stays on the last.
    const Linha* linha() const {
        if (linhas.empty()) return nullptr;
        return &linhas[posicao < linhas.size() ? posicao : linhas.size() - 1];
    }
    bool nulo(const Coluna& c) const {
        const Linha* l = linha();
        if (!l) return true;
        std::int16_t indicador = 0;
        std::memcpy(&indicador, l->dados.data() + c.deslocamentoNulo, sizeof indicador);
        return indicador != 0;
    }
    template <typename T>
    T valor(const Coluna& c) const {
        T v{};
        std::memcpy(&v, linha()->dados.data() + c.deslocamento, sizeof v);
        return v;
    }
    std::string texto(const Coluna& c) const;
    std::int64_t inteiroNativo(const Coluna& c) const;
};

Preparado& Consulta::Impl::prepara(const std::string& sql) {
    if (geracao != conexao.geracao()) {
        preparados.clear();
        geracao = conexao.geracao();
    }
    if (auto it = preparados.find(sql); it != preparados.end()) return *it->second;

    auto p = std::make_unique<Preparado>();
    SqlPosicional posicional = traduzParametros(sql);
    p->nomes = std::move(posicional.nomes);
    protegido([&] {
        auto& st = status();
        p->comando = conexao.anexo()->prepare(
            &st, conexao.transacaoAtiva(), 0, utf8ParaCp1252(posicional.texto).c_str(),
            SQL_DIALECT_V6, Firebird::IStatement::PREPARE_PREFETCH_METADATA);
        const unsigned tipo = p->comando->getType(&st);
        p->cursor = tipo == isc_info_sql_stmt_select || tipo == isc_info_sql_stmt_select_for_upd;
        p->entrada = p->comando->getInputMetadata(&st);
        p->saida = p->comando->getOutputMetadata(&st);
        const unsigned n = p->saida->getCount(&st);
        p->tamanhoLinha = p->saida->getMessageLength(&st);
        for (unsigned i = 0; i < n; ++i) {
            Coluna c;
            c.nome = maiusculas(cp1252ParaUtf8(p->saida->getAlias(&st, i)));
            c.tipo = p->saida->getType(&st, i) & ~1u;
            c.escala = p->saida->getScale(&st, i);
            c.charset = p->saida->getCharSet(&st, i);
            c.deslocamento = p->saida->getOffset(&st, i);
            c.deslocamentoNulo = p->saida->getNullOffset(&st, i);
            c.tamanho = p->saida->getLength(&st, i);
            if (c.tipo == SQL_BLOB) c.indiceBlob = p->blobs++;
            // The first column of a name wins, as the clinical system's reads expect.
            p->indice.emplace(c.nome, p->colunas.size());
            p->colunas.push_back(std::move(c));
        }
    });
    return *preparados.emplace(sql, std::move(p)).first->second;
}

std::vector<unsigned char> Consulta::Impl::mensagemEntrada(Preparado& p,
                                                           Firebird::IMessageMetadata*& metadados) {
    for (const auto& [nome, valor] : parametros) {
        (void)valor;
        if (std::find(p.nomes.begin(), p.nomes.end(), nome) == p.nomes.end())
            throw ErroBanco("Parâmetro '" + nome + "' não encontrado no comando SQL");
    }
    metadados = nullptr;
    if (p.nomes.empty()) return {};

    auto& st = status();
    std::vector<const Valor*> valores;
    std::vector<std::string> textos(p.nomes.size());
    Firebird::IMetadataBuilder* construtor = p.entrada->getBuilder(&st);
    try {
        for (unsigned i = 0; i < p.nomes.size(); ++i) {
            auto it = parametros.find(p.nomes[i]);
            const Valor* v = it == parametros.end() ? nullptr : &it->second;
            valores.push_back(v);
            if (!v || std::holds_alternative<ValorNulo>(*v)) continue;  // declared type, NULL
            construtor->setScale(&st, i, 0);
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
        metadados = construtor->getMetadata(&st);
    } catch (...) {
        construtor->release();
        throw;
    }
    construtor->release();

    std::vector<unsigned char> buffer(metadados->getMessageLength(&st));
    for (unsigned i = 0; i < p.nomes.size(); ++i) {
        unsigned char* dado = buffer.data() + metadados->getOffset(&st, i);
        const std::int16_t indicador =
            valores[i] && !std::holds_alternative<ValorNulo>(*valores[i]) ? 0 : -1;
        std::memcpy(buffer.data() + metadados->getNullOffset(&st, i), &indicador, sizeof indicador);
        if (indicador) continue;
        if (std::holds_alternative<std::string>(*valores[i])) {
            const auto tamanho = static_cast<std::uint16_t>(textos[i].size());
            std::memcpy(dado, &tamanho, sizeof tamanho);
            std::memcpy(dado + sizeof tamanho, textos[i].data(), textos[i].size());
        } else if (auto* n = std::get_if<std::int64_t>(valores[i])) {
            std::memcpy(dado, n, sizeof *n);
        } else {
            const auto& d = std::get<ValorData>(*valores[i]);
            const ISC_DATE data = firebird::util()->encodeDate(static_cast<unsigned>(d.ano),
                                                               static_cast<unsigned>(d.mes),
                                                               static_cast<unsigned>(d.dia));
            std::memcpy(dado, &data, sizeof data);
        }
    }
    return buffer;
}

void Consulta::Impl::busca(Preparado& p, Firebird::IResultSet* cursor) {
    auto& st = status();
    Linha l;
    l.dados.resize(p.tamanhoLinha);
    while (cursor->fetchNext(&st, l.dados.data()) == Firebird::IStatus::RESULT_OK) {
        if (p.blobs) {
            l.blobs.assign(static_cast<std::size_t>(p.blobs), {});
            for (const Coluna& c : p.colunas) {
                if (c.indiceBlob < 0) continue;
                std::int16_t indicador = 0;
                std::memcpy(&indicador, l.dados.data() + c.deslocamentoNulo, sizeof indicador);
                if (indicador) continue;
                ISC_QUAD id;
                std::memcpy(&id, l.dados.data() + c.deslocamento, sizeof id);
                l.blobs[static_cast<std::size_t>(c.indiceBlob)] =
                    leBlob(conexao.anexo(), conexao.transacaoAtiva(), &id);
            }
        }
        linhas.push_back(l);
    }
}

const Coluna& Consulta::Impl::coluna(std::string_view nome) const {
    if (atual) {
        if (auto it = atual->indice.find(maiusculas(nome)); it != atual->indice.end())
            return atual->colunas[it->second];
    }
    throw ErroBanco("Campo '" + std::string(nome) + "' não encontrado");
}

std::string Consulta::Impl::texto(const Coluna& c) const {
    if (nulo(c)) return {};
    const unsigned char* dado = linha()->dados.data() + c.deslocamento;
    auto doBanco = [&](std::string_view bruto) {
        return c.charset == kCharsetOctets ? std::string(bruto) : cp1252ParaUtf8(bruto);
    };
    switch (c.tipo) {
        case SQL_TEXT:
            return doBanco({reinterpret_cast<const char*>(dado), c.tamanho});
        case SQL_VARYING: {
            std::uint16_t tamanho = 0;
            std::memcpy(&tamanho, dado, sizeof tamanho);
            return doBanco({reinterpret_cast<const char*>(dado) + sizeof tamanho, tamanho});
        }
        case SQL_BLOB:
            return doBanco(linha()->blobs[static_cast<std::size_t>(c.indiceBlob)]);
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
            return textoEscalado(inteiroNativo(c), c.escala);
        case SQL_FLOAT:
            return textoReal(valor<float>(c));
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            return textoReal(valor<double>(c));
        case SQL_TYPE_DATE:
            return textoData(valor<ISC_DATE>(c));
        case SQL_TYPE_TIME:
            return textoHora(valor<ISC_TIME>(c));
        case SQL_TIMESTAMP: {
            const auto ts = valor<ISC_TIMESTAMP>(c);
            std::string t = textoData(ts.timestamp_date);
            const std::string hora = textoHora(ts.timestamp_time);
            return hora == "00:00:00" ? t : t + " " + hora;
        }
        case SQL_BOOLEAN:
            return valor<unsigned char>(c) ? "True" : "False";
        default:
            throw ErroBanco("Campo '" + c.nome + "' de tipo não suportado");
    }
}

std::int64_t Consulta::Impl::inteiroNativo(const Coluna& c) const {
    switch (c.tipo) {
        case SQL_SHORT:
            return valor<std::int16_t>(c);
        case SQL_LONG:
            return valor<std::int32_t>(c);
        default:
            return valor<std::int64_t>(c);
    }
}

Consulta::Consulta(Conexao& conexao) : impl(std::make_unique<Impl>(conexao)) {}

Consulta::~Consulta() = default;

void Consulta::limpa() {
    fecha();
    sql.clear();
    impl->parametros.clear();
}

void Consulta::adiciona(std::string_view linha) {
    fecha();
    if (!sql.empty()) sql += '\n';
    sql += linha;
    impl->parametros.clear();
}

void Consulta::defineTexto(std::string_view texto) {
    fecha();
    sql = texto;
    impl->parametros.clear();
}

void Consulta::parametro(std::string_view nome, std::string_view valor) {
    impl->parametros[minusculas(nome)] = std::string(valor);
}

void Consulta::parametro(std::string_view nome, std::int64_t valor) {
    impl->parametros[minusculas(nome)] = valor;
}

void Consulta::parametroData(std::string_view nome, int ano, int mes, int dia) {
    impl->parametros[minusculas(nome)] = ValorData{ano, mes, dia};
}

void Consulta::parametroNulo(std::string_view nome) {
    impl->parametros[minusculas(nome)] = ValorNulo{};
}

void Consulta::prepara() {
    impl->atual = &impl->prepara(sql);
}

std::size_t Consulta::comandosPreparados() const {
    return impl->preparados.size();
}

void Consulta::abre() {
    fecha();
    Preparado& p = impl->prepara(sql);
    impl->atual = &p;
    protegido([&] {
        auto& st = status();
        Firebird::IMessageMetadata* entrada = nullptr;
        std::vector<unsigned char> mensagem = impl->mensagemEntrada(p, entrada);
        struct Libera {
            Firebird::IMessageMetadata*& m;
            ~Libera() {
                if (m) m->release();
            }
        } libera{entrada};
        Firebird::ITransaction* transacao = impl->conexao.transacaoAtiva();
        if (p.cursor) {
            Firebird::IResultSet* cursor = p.comando->openCursor(
                &st, transacao, entrada, mensagem.empty() ? nullptr : mensagem.data(), p.saida, 0);
            try {
                impl->busca(p, cursor);
            } catch (...) {
                cursor->release();
                throw;
            }
            cursor->close(&st);
        } else {
            // A statement with one row of output at most (EXECUTE PROCEDURE, RETURNING).
            Linha l;
            l.dados.resize(p.tamanhoLinha);
            p.comando->execute(&st, transacao, entrada,
                               mensagem.empty() ? nullptr : mensagem.data(),
                               p.colunas.empty() ? nullptr : p.saida,
                               p.colunas.empty() ? nullptr : l.dados.data());
            if (!p.colunas.empty()) impl->linhas.push_back(std::move(l));
        }
    });
    impl->ativa = true;
    impl->posicao = 0;
}

void Consulta::executa() {
    abre();
    fecha();
}

void Consulta::fecha() {
    impl->linhas.clear();
    impl->posicao = 0;
    impl->ativa = false;
}

bool Consulta::ativa() const {
    return impl->ativa;
}

void Consulta::primeiro() {
    impl->posicao = 0;
}

void Consulta::proximo() {
    if (impl->posicao < impl->linhas.size()) ++impl->posicao;
}

bool Consulta::fim() const {
    return impl->posicao >= impl->linhas.size();
}

std::size_t Consulta::quantidade() const {
    return impl->linhas.size();
}

bool Consulta::nulo(std::string_view coluna) const {
    return impl->nulo(impl->coluna(coluna));
}

std::string Consulta::texto(std::string_view coluna) const {
    return impl->texto(impl->coluna(coluna));
}

std::int64_t Consulta::inteiro(std::string_view coluna) const {
    const Coluna& c = impl->coluna(coluna);
    if (impl->nulo(c)) return 0;
    switch (c.tipo) {
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
            if (c.escala == 0) return impl->inteiroNativo(c);
            return std::llround(real(coluna));
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            return std::llround(real(coluna));
        case SQL_BOOLEAN:
            return impl->valor<unsigned char>(c) ? 1 : 0;
        default:
            return inteiroDeTexto(impl->texto(c));
    }
}

double Consulta::real(std::string_view coluna) const {
    const Coluna& c = impl->coluna(coluna);
    if (impl->nulo(c)) return 0;
    switch (c.tipo) {
        case SQL_SHORT:
        case SQL_LONG:
        case SQL_INT64:
            return static_cast<double>(impl->inteiroNativo(c)) * std::pow(10.0, c.escala);
        case SQL_FLOAT:
            return impl->valor<float>(c);
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
            return impl->valor<double>(c);
        default:
            return realDeTexto(impl->texto(c));
    }
}

DataHora Consulta::dataHora(std::string_view coluna) const {
    const Coluna& c = impl->coluna(coluna);
    if (impl->nulo(c)) return {};
    unsigned a = 0, m = 0, d = 0, h = 0, mi = 0, s = 0, f = 0;
    switch (c.tipo) {
        case SQL_TYPE_DATE:
            firebird::util()->decodeDate(impl->valor<ISC_DATE>(c), &a, &m, &d);
            break;
        case SQL_TYPE_TIME:
            firebird::util()->decodeTime(impl->valor<ISC_TIME>(c), &h, &mi, &s, &f);
            break;
        case SQL_TIMESTAMP: {
            const auto ts = impl->valor<ISC_TIMESTAMP>(c);
            firebird::util()->decodeDate(ts.timestamp_date, &a, &m, &d);
            firebird::util()->decodeTime(ts.timestamp_time, &h, &mi, &s, &f);
            break;
        }
        default:
            return dataHoraDeTexto(impl->texto(c));
    }
    return {static_cast<int>(a), static_cast<int>(m),  static_cast<int>(d),
            static_cast<int>(h), static_cast<int>(mi), static_cast<int>(s)};
}

}  // namespace cds
